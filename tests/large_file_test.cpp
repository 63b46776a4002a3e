// Files of 4 GiB and more, made sparse so that they take no disk, digested through
// the mapped window and compared with an independent digest of the same file.
#include <gtest/gtest.h>

#include <vector>

#include "engine/md5_digest.h"
#include "fileio/native_mapped_file.h"
#include "support/oracle_md5.h"
#include "tests/test_support.h"

namespace {

constexpr uint64_t k4GiB = uint64_t{1} << 32;

// Passes reads through and remembers the first two, the last and how many.
struct ReadCounter {
    MappedFile& file;
    std::vector<std::pair<uint64_t, uint32_t>> firstReads;
    std::pair<uint64_t, uint32_t> lastRead{};
    uint64_t reads = 0;
    uint64_t Size() const { return file.Size(); }
    int32_t ReadAt(uint64_t offset, uint32_t count, void* destination)
    {
        if (firstReads.size() < 2)
            firstReads.emplace_back(offset, count);
        lastRead = {offset, count};
        ++reads;
        return file.ReadAt(offset, count, destination);
    }
};

std::vector<FilePiece> Landmarks(uint64_t size)
{
    return {{0, RandomBytes(4096, 1)},
            {k4GiB - 4096 - 77, RandomBytes(4096, 2)},
            {size - 200, RandomBytes(200, 3)}};
}

TEST(LargeFile, FourGibPlusFiveBytes)
{
    ScratchFolder folder;
    const uint64_t size = k4GiB + 5;
    const std::string path = folder.PathOf("big");
    MakeSparseFile(path, size, Landmarks(size));

    MappedFile file;
    ASSERT_TRUE(file.Open(path));
    EXPECT_EQ(size, file.Size());
    EXPECT_EQ(64u * file.Granularity(), file.WindowLength());
    ReadCounter counter{file, {}, {}, 0};
    Md5Digest digest{};
    ASSERT_EQ(1, Md5OfMappedFile(counter, digest));
    EXPECT_EQ((std::pair<uint64_t, uint32_t>{k4GiB - 123, 128}), counter.firstReads[0]);
    EXPECT_EQ((std::pair<uint64_t, uint32_t>{0, 64}), counter.firstReads[1]);
    EXPECT_EQ((std::pair<uint64_t, uint32_t>{k4GiB - 128, 64}), counter.lastRead);
    EXPECT_EQ((uint64_t{1} << 26) - 1 + 1, counter.reads);
    EXPECT_EQ(OracleMd5HexOfFile(path), HexOf(digest));

    // Bytes above 4 GiB come from the right place.
    const std::vector<unsigned char> expected = RandomBytes(200, 3);
    std::vector<unsigned char> got(200);
    ASSERT_EQ(200, file.ReadAt(size - 200, 200, got.data()));
    EXPECT_EQ(expected, got);
}

TEST(LargeFile, ExactlyFourGib)
{
    ScratchFolder folder;
    const std::string path = folder.PathOf("big");
    MakeSparseFile(path, k4GiB, Landmarks(k4GiB));
    MappedFile file;
    ASSERT_TRUE(file.Open(path));
    EXPECT_EQ(k4GiB, file.Size());
    Md5Digest digest{};
    ASSERT_EQ(1, Md5OfMappedFile(file, digest));
    EXPECT_EQ(OracleMd5HexOfFile(path), HexOf(digest));
}

TEST(LargeFile, SizeWithAllOnesInItsLowHalfIsASize)
{
    ScratchFolder folder;
    const std::string path = folder.PathOf("big");
    MakeSparseFile(path, k4GiB - 1, {});
    MappedFile file;
    ASSERT_TRUE(file.Open(path));
    EXPECT_EQ(k4GiB - 1, file.Size());
    unsigned char last = 0xFF;
    EXPECT_EQ(1, file.ReadAt(k4GiB - 2, 1, &last));
    EXPECT_EQ(0, last);
}

}  // namespace
