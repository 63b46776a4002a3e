// The mapped file window on real files: opening, every ReadAt answer, the moves
// of the window, and the platform failing on purpose.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "engine/md5_digest.h"
#include "fileio/native_mapped_file.h"
#include "support/oracle_md5.h"
#include "tests/flaky_file_platform.h"
#include "tests/test_support.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

using FlakyMappedFile = BasicMappedFile<FlakyFilePlatform>;

class MappedFileTest : public ::testing::Test {
protected:
    void SetUp() override { FlakyFilePlatform::Reset(); }
    void TearDown() override
    {
        EXPECT_EQ(0, FlakyFilePlatform::filesHeld);
        EXPECT_EQ(0, FlakyFilePlatform::mappingsHeld);
        EXPECT_EQ(0, FlakyFilePlatform::viewsHeld);
        FlakyFilePlatform::Reset();
    }

    // Reads and checks that a failed read wrote nothing.
    static int32_t Read(FlakyMappedFile& file, uint64_t offset, uint32_t length, std::vector<unsigned char>& out)
    {
        out.assign(length + 1, 0xA5);
        const int32_t result = file.ReadAt(offset, length, out.data());
        if (result < 0) {
            for (unsigned char byte : out)
                EXPECT_EQ(0xA5, byte) << "a failed read wrote into the destination";
        }
        EXPECT_EQ(0xA5, out[length]) << "a read wrote past its length";
        out.resize(length);
        return result;
    }

    uint32_t Granularity() const { return FlakyMappedFile().Granularity(); }

    ScratchFolder folder;
    std::vector<unsigned char> got;
};

TEST_F(MappedFileTest, MissingDirectoryAndEmptyFilesDoNotOpenAndSayWhy)
{
    const std::string empty = folder.Write("empty", std::string());
    const std::pair<std::string, OpenOutcome> cases[] = {
        {folder.PathOf("missing"), OpenOutcome::Failed},
        {folder.PathOf(""), OpenOutcome::Failed},
        {empty, OpenOutcome::EmptyFile},
        {"", OpenOutcome::Failed},
    };
    for (const auto& [path, outcome] : cases) {
        FlakyMappedFile file;
        EXPECT_EQ(OpenOutcome::NotOpened, file.LastOpen());
        EXPECT_FALSE(file.Open(path)) << path;
        EXPECT_EQ(outcome, file.LastOpen()) << path;
        EXPECT_EQ(0u, file.Size());
        EXPECT_EQ(kReadNoFileOpen, Read(file, 0, 0, got));
        EXPECT_EQ(kReadLongerThanWindow, Read(file, 0, 1, got));
        EXPECT_EQ(0, FlakyFilePlatform::filesHeld) << "a failed open holds nothing";
    }
}

TEST_F(MappedFileTest, OneByteFile)
{
    FlakyMappedFile file;
    ASSERT_TRUE(file.Open(folder.Write("one", std::string("Z"))));
    EXPECT_EQ(OpenOutcome::Mapped, file.LastOpen());
    EXPECT_EQ(1u, file.Size());
    EXPECT_EQ(1u, file.WindowLength());
    EXPECT_EQ(1, Read(file, 0, 1, got));
    EXPECT_EQ('Z', got[0]);
    EXPECT_EQ(kReadLongerThanWindow, Read(file, 0, 2, got));
    EXPECT_EQ(kReadPastEndOfFile, Read(file, 1, 1, got));
    EXPECT_EQ(0, Read(file, 1, 0, got));
}

TEST_F(MappedFileTest, RangesAtTheEndOfTheFileAndNearTheTopOfTheOffsets)
{
    const std::vector<unsigned char> bytes = RandomBytes(300, 1);
    FlakyMappedFile file;
    ASSERT_TRUE(file.Open(folder.Write("f", bytes)));
    EXPECT_EQ(1, Read(file, 299, 1, got));
    EXPECT_EQ(bytes[299], got[0]);
    EXPECT_EQ(kReadPastEndOfFile, Read(file, 300, 1, got));
    EXPECT_EQ(kReadPastEndOfFile, Read(file, 299, 2, got));
    EXPECT_EQ(0, Read(file, 300, 0, got));
    EXPECT_EQ(kReadPastEndOfFile, Read(file, 301, 0, got));
    // Offsets whose sum with the length wraps past 2^64 must not pass as inside the file.
    EXPECT_EQ(kReadPastEndOfFile, Read(file, ~uint64_t{0}, 1, got));
    EXPECT_EQ(kReadPastEndOfFile, Read(file, ~uint64_t{0} - 10, 64, got));
    EXPECT_EQ(kReadPastEndOfFile, Read(file, uint64_t{0} - 300, 300, got));
    EXPECT_EQ(kReadPastEndOfFile, Read(file, ~uint64_t{0}, 0, got));
    EXPECT_EQ(300, Read(file, 0, 300, got));
    EXPECT_EQ(bytes, got);
}

TEST_F(MappedFileTest, SmallFileIsMappedWholeAndNeverMoves)
{
    const uint64_t size = 64 * uint64_t{Granularity()};
    const std::vector<unsigned char> bytes = RandomBytes(size, 2);
    FlakyMappedFile file;
    ASSERT_TRUE(file.Open(folder.Write("f", bytes)));
    EXPECT_EQ(size, file.WindowLength());
    Md5Digest digest{};
    EXPECT_EQ(1, Md5OfMappedFile(file, digest));
    EXPECT_EQ(OracleMd5Hex(bytes.data(), bytes.size()), HexOf(digest));
    EXPECT_EQ(1, FlakyFilePlatform::viewsMapped);
    EXPECT_EQ(0u, file.WindowStart());
}

// Records where the window stands after each read of a digest.
struct WindowWatcher {
    FlakyMappedFile& file;
    std::vector<uint64_t> starts;
    uint64_t Size() const { return file.Size(); }
    int32_t ReadAt(uint64_t offset, uint32_t count, void* destination)
    {
        const int32_t result = file.ReadAt(offset, count, destination);
        starts.push_back(file.WindowStart());
        return result;
    }
};

TEST_F(MappedFileTest, FileOneByteLongerThanTheWindowMovesTwice)
{
    const uint64_t granularity = Granularity();
    const std::vector<unsigned char> bytes = RandomBytes(64 * granularity + 1, 3);
    FlakyMappedFile file;
    ASSERT_TRUE(file.Open(folder.Write("f", bytes)));
    WindowWatcher watcher{file, {}};
    Md5Digest digest{};
    EXPECT_EQ(1, Md5OfMappedFile(watcher, digest));
    EXPECT_EQ(OracleMd5Hex(bytes.data(), bytes.size()), HexOf(digest));
    ASSERT_GE(watcher.starts.size(), 3u);
    EXPECT_EQ(63 * granularity, watcher.starts[0]) << "the tail read moves to the last granularity";
    for (size_t i = 1; i < watcher.starts.size(); ++i)
        ASSERT_EQ(0u, watcher.starts[i]) << "read " << i;
    EXPECT_EQ(3, FlakyFilePlatform::viewsMapped);
    EXPECT_EQ(64 * granularity, file.ViewLength());
}

TEST_F(MappedFileTest, ReadsAcrossAndBeforeTheWindowMoveIt)
{
    const uint64_t window = 64 * uint64_t{Granularity()};
    const std::vector<unsigned char> bytes = RandomBytes(2 * window + 1000, 4);
    FlakyMappedFile file;
    ASSERT_TRUE(file.Open(folder.Write("f", bytes)));

    EXPECT_EQ(100, Read(file, window - 100, 100, got));  // ends exactly at the window's end
    EXPECT_EQ(1, FlakyFilePlatform::viewsMapped);
    EXPECT_EQ(200, Read(file, window - 100, 200, got));  // straddles it
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin() + window - 100, bytes.begin() + window + 100), got);
    EXPECT_EQ(2, FlakyFilePlatform::viewsMapped);
    EXPECT_EQ(window - Granularity(), file.WindowStart());
    EXPECT_EQ(10, Read(file, 5, 10, got));  // before it
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin() + 5, bytes.begin() + 15), got);
    EXPECT_EQ(0u, file.WindowStart());
    EXPECT_EQ(1000, Read(file, 2 * window, 1000, got));  // the short last view
    EXPECT_EQ(std::vector<unsigned char>(bytes.end() - 1000, bytes.end()), got);
    EXPECT_EQ(2 * window, file.WindowStart());
    EXPECT_EQ(1000u, file.ViewLength());
    EXPECT_EQ(window, file.WindowLength());
}

TEST_F(MappedFileTest, FailedMoveKeepsTheOldViewServing)
{
    const uint64_t window = 64 * uint64_t{Granularity()};
    const std::vector<unsigned char> bytes = RandomBytes(window + 5000, 5);
    FlakyMappedFile file;
    ASSERT_TRUE(file.Open(folder.Write("f", bytes)));
    FlakyFilePlatform::mapsBeforeFailure = 0;
    EXPECT_EQ(kReadWindowMoveFailed, Read(file, window + 10, 64, got));
    EXPECT_EQ(0u, file.WindowStart());
    EXPECT_EQ(64, Read(file, 1000, 64, got));
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin() + 1000, bytes.begin() + 1064), got);
    FlakyFilePlatform::mapsBeforeFailure = -1;
    EXPECT_EQ(64, Read(file, window + 10, 64, got));
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin() + window + 10, bytes.begin() + window + 74), got);
}

TEST_F(MappedFileTest, FirstViewIsHalvedUntilItMapsAndBoundsEveryLaterRead)
{
    const uint64_t window = 64 * uint64_t{Granularity()};
    const std::vector<unsigned char> bytes = RandomBytes(window + 777, 6);
    FlakyFilePlatform::longestMappableView = static_cast<uint32_t>(window * 3 / 4);
    FlakyMappedFile file;
    ASSERT_TRUE(file.Open(folder.Write("f", bytes)));
    EXPECT_EQ(window / 2, file.WindowLength());
    EXPECT_EQ(kReadLongerThanWindow, Read(file, 0, static_cast<uint32_t>(window / 2 + 1), got));
    Md5Digest digest{};
    EXPECT_EQ(1, Md5OfMappedFile(file, digest));
    EXPECT_EQ(OracleMd5Hex(bytes.data(), bytes.size()), HexOf(digest));
    EXPECT_EQ(window / 2, file.WindowLength());
}

TEST_F(MappedFileTest, WindowHalvedBelowAGranularityNeverReadsOutsideItsView)
{
    const uint32_t granularity = Granularity();
    const std::vector<unsigned char> bytes = RandomBytes(3 * granularity, 7);
    FlakyFilePlatform::longestMappableView = 1000;
    FlakyMappedFile file;
    ASSERT_TRUE(file.Open(folder.Write("f", bytes)));
    ASSERT_LT(file.WindowLength(), 1000u);
    const uint32_t length = file.WindowLength();
    // The granularity boundary below this range is far from it: the view cannot reach it.
    EXPECT_EQ(kReadWindowMoveFailed, Read(file, granularity - 10, 20, got));
    EXPECT_EQ(kReadWindowMoveFailed, Read(file, granularity + 5 * uint64_t{length}, 8, got));
    EXPECT_EQ(8, Read(file, granularity + 3, 8, got));
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin() + granularity + 3, bytes.begin() + granularity + 11), got);
    Md5Digest digest{};
    EXPECT_EQ(0, Md5OfMappedFile(file, digest)) << "such a window cannot serve every read of a digest";
}

TEST_F(MappedFileTest, FailuresWhileOpeningLeaveItClosedAndHoldingNothing)
{
    const std::string path = folder.Write("f", RandomBytes(5000, 8));
    {
        FlakyFilePlatform::sizeQueryFails = true;
        FlakyMappedFile file;
        EXPECT_FALSE(file.Open(path));
        EXPECT_EQ(OpenOutcome::Failed, file.LastOpen());
        EXPECT_EQ(0u, file.Size());
        EXPECT_EQ(0, FlakyFilePlatform::filesHeld);
        FlakyFilePlatform::sizeQueryFails = false;
    }
    {
        FlakyFilePlatform::mappingFails = true;
        FlakyMappedFile file;
        EXPECT_FALSE(file.Open(path));
        EXPECT_EQ(OpenOutcome::Failed, file.LastOpen());
        FlakyFilePlatform::mappingFails = false;
    }
    {
        FlakyFilePlatform::mapsBeforeFailure = 0;
        FlakyMappedFile file;
        EXPECT_FALSE(file.Open(path));
        EXPECT_EQ(OpenOutcome::Failed, file.LastOpen());
        EXPECT_EQ(kReadLongerThanWindow, Read(file, 0, 1, got));
        EXPECT_EQ(0, FlakyFilePlatform::mappingsHeld);
        FlakyFilePlatform::mapsBeforeFailure = -1;
    }
    {
        // No view may be read without the guard: a fault in it would end the program.
        FlakyFilePlatform::guardFails = true;
        FlakyMappedFile file;
        EXPECT_FALSE(file.Open(path));
        EXPECT_EQ(OpenOutcome::Failed, file.LastOpen());
        EXPECT_EQ(0, FlakyFilePlatform::viewsMapped);
        EXPECT_EQ(0, FlakyFilePlatform::mappingsHeld);
    }
}

TEST_F(MappedFileTest, OpeningAgainReleasesTheFirstFile)
{
    const std::vector<unsigned char> first = RandomBytes(100, 9);
    const std::vector<unsigned char> second = RandomBytes(50, 10);
    FlakyMappedFile file;
    ASSERT_TRUE(file.Open(folder.Write("first", first)));
    ASSERT_TRUE(file.Open(folder.Write("second", second)));
    EXPECT_EQ(1, FlakyFilePlatform::filesHeld);
    EXPECT_EQ(50u, file.Size());
    EXPECT_EQ(50, Read(file, 0, 50, got));
    EXPECT_EQ(second, got);
    EXPECT_FALSE(file.Open(folder.PathOf("missing")));
    EXPECT_EQ(0, FlakyFilePlatform::filesHeld);
    EXPECT_EQ(0u, file.Size());
    EXPECT_EQ(kReadLongerThanWindow, Read(file, 0, 1, got));
}

TEST_F(MappedFileTest, OnlyRegularFilesOpen)
{
    std::vector<std::string> paths = {folder.PathOf(""), folder.PathOf(".")};
#ifndef _WIN32
    // None may block or be mistaken for a file: each would read as empty, and none is.
    const std::string fifo = folder.PathOf("fifo");
    ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
    paths.insert(paths.end(), {fifo, "/dev/zero", "/dev/null"});
#endif
    for (const std::string& path : paths) {
        FlakyMappedFile file;
        EXPECT_FALSE(file.Open(path)) << path;
        EXPECT_EQ(OpenOutcome::Failed, file.LastOpen()) << path;
    }
}

TEST_F(MappedFileTest, FileDigestMatchesOracleAtEveryLengthToTwoKibAndAtRandomLengths)
{
    const std::vector<unsigned char> bytes = RandomBytes(1 << 20, 31);
    std::vector<size_t> lengths;
    for (size_t length = 0; length <= 2048; ++length)
        lengths.push_back(length);
    std::mt19937 generator(32);
    for (int i = 0; i < 12; ++i)
        lengths.push_back(generator() % (bytes.size() + 1));
    for (size_t length : lengths) {
        const std::vector<unsigned char> content(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
        const std::string path = folder.Write("f" + std::to_string(length), content);
        FlakyMappedFile file;
        EXPECT_EQ(length != 0, file.Open(path));
        Md5Digest digest{};
        ASSERT_EQ(1, Md5OfMappedFile(file, digest)) << "length " << length;
        ASSERT_EQ(OracleMd5Hex(content.data(), content.size()), HexOf(digest)) << "length " << length;
    }
}

TEST(NativeFilePlatform, MappingOutlivesItsFileAndClosesNothingElse)
{
    using P = NativeFilePlatform;
    ASSERT_TRUE(P::GuardViewCopies());
    ScratchFolder folder;
    const std::vector<unsigned char> bytes = RandomBytes(5000, 12);
    const P::FileHandle file = P::OpenForReading(folder.Write("mapped", bytes).c_str());
    ASSERT_NE(P::kNoFile, file);
    const P::MappingHandle mapping = P::CreateMapping(file);
    ASSERT_NE(P::kNoMapping, mapping);
    P::CloseFile(file);
    // Opened by other code meanwhile, likely under the number the file had.
    const P::FileHandle other = P::OpenForReading(folder.Write("other", RandomBytes(77, 13)).c_str());
    ASSERT_NE(P::kNoFile, other);

    const unsigned char* view = P::MapView(mapping, 0, static_cast<uint32_t>(bytes.size()));
    ASSERT_NE(nullptr, view) << "the mapping went with the file";
    std::vector<unsigned char> got(bytes.size());
    EXPECT_TRUE(P::CopyFromMappedView(got.data(), view, static_cast<uint32_t>(got.size())));
    EXPECT_EQ(bytes, got);
    P::UnmapView(view, static_cast<uint32_t>(bytes.size()));
    P::CloseMapping(mapping);
    uint64_t size = 0;
    EXPECT_TRUE(P::QuerySize(other, size)) << "closing the mapping closed another file";
    EXPECT_EQ(77u, size);
    P::CloseFile(other);
}

// One rule on both systems: Windows would map a length of 0 to the end of the file,
// a view whose length neither unmapping on POSIX nor the window would know.
TEST(NativeFilePlatform, ViewOfLengthZeroFails)
{
    using P = NativeFilePlatform;
    ASSERT_TRUE(P::GuardViewCopies());
    ScratchFolder folder;
    const P::FileHandle file = P::OpenForReading(folder.Write("f", RandomBytes(5000, 14)).c_str());
    ASSERT_NE(P::kNoFile, file);
    const P::MappingHandle mapping = P::CreateMapping(file);
    ASSERT_NE(P::kNoMapping, mapping);
    const unsigned char* view = P::MapView(mapping, 0, 0);
    EXPECT_EQ(nullptr, view);
    if (view != nullptr)
        P::UnmapView(view, 0);
    view = P::MapView(mapping, 0, 5000);
    EXPECT_NE(nullptr, view) << "the mapping maps nothing at all";
    if (view != nullptr)
        P::UnmapView(view, 5000);
    P::CloseMapping(mapping);
    P::CloseFile(file);
}

TEST(NativeFilePlatform, SizeQueryOfAnInvalidHandleFails)
{
    uint64_t size = 12345;
    EXPECT_FALSE(NativeFilePlatform::QuerySize(NativeFilePlatform::kNoFile, size));
}

}  // namespace
