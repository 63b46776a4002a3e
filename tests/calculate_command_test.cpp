// Calc MD5 against a form and a clock of the test's own, over real files.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/calculate_command.h"
#include "app/system_clock.h"
#include "engine/md5_variants.h"
#include "support/oracle_md5.h"
#include "tests/fake_form.h"
#include "tests/flaky_file_platform.h"
#include "tests/md5_field_texts.h"
#include "tests/test_support.h"

namespace {

const std::string kEmptyDigest = "D41D8CD98F00B204E9800998ECF8427E";

std::string OracleOf(const std::string& text)
{
    return OracleMd5Hex(text.data(), text.size());
}

TEST(CalculateCommand, SourceIsHashedAndEmptiesFile)
{
    FakeForm form("abc", "some path");
    FakeClock clock;
    EXPECT_TRUE(CalculateCommand(form, clock));
    EXPECT_EQ("900150983CD24FB0D6963F7D28E17F72", form.md5);
    EXPECT_EQ((std::vector<std::string>{kWaiting, form.md5}), form.md5Writes);
    EXPECT_EQ("", form.file);
    EXPECT_EQ(0, form.fileReads);
}

TEST(CalculateCommand, SourceWinsOverAFileThatWouldNotOpen)
{
    FakeForm form("x", "/no/such/folder/file");
    FakeClock clock;
    EXPECT_TRUE(CalculateCommand(form, clock));
    EXPECT_EQ(OracleOf("x"), form.md5);
    EXPECT_EQ("", form.file);
}

TEST(CalculateCommand, SourceLengthLimitCountsBytes)
{
    const std::string longest(4094, 'q');
    FakeForm form(longest, "path");
    FakeClock clock;
    EXPECT_TRUE(CalculateCommand(form, clock));
    EXPECT_EQ(OracleOf(longest), form.md5);

    // 2047 double-byte characters make 4094 bytes, read as bytes or, as Windows
    // reads them, in whole characters.
    std::string doubleByte;
    for (int i = 0; i < 2047; ++i)
        doubleByte += "\xC4\xE3";
    for (const Reads reads : {Reads::Bytes, Reads::WholeCharactersIn936}) {
        form = FakeForm(doubleByte, "path", reads);
        EXPECT_TRUE(CalculateCommand(form, clock));
        EXPECT_EQ(OracleOf(doubleByte), form.md5);
    }

    const auto utf8 = [](const char* start, const char* character, int count) {
        std::string text = start;
        while (count-- > 0)
            text += character;
        return text;
    };
    const char* const threeBytes = "\xE4\xBD\xA0";     // U+4F60
    const char* const fourBytes = "\xF0\x9F\x98\x80";  // U+1F600
    constexpr Reads bytes = Reads::Bytes, whole936 = Reads::WholeCharactersIn936;
    constexpr Reads utf8Whole = Reads::WholeCharactersInUtf8;
    struct Refused {
        std::string source;
        Reads reads;
    };
    const Refused refused[] = {
        {std::string(4095, 'q'), bytes},
        {std::string(4096, 'q'), bytes},
        {std::string(10000, 'q'), bytes},
        // Read in whole characters within 4096 bytes, each of these would stop at 4094
        // or 4095 bytes, one character short: all must be refused however the read stops.
        {doubleByte + "\xC4\xE3", whole936},
        {"a" + doubleByte, whole936},
        {"ab" + doubleByte, whole936},
        {"abc" + doubleByte, whole936},
        {doubleByte + doubleByte, whole936},
        // Where the code page is UTF-8, each of these would stop at 4094 bytes or fewer.
        {utf8("ab", threeBytes, 1365), utf8Whole},  // 4097 bytes
        {utf8("ab", threeBytes, 1366), utf8Whole},  // 4100
        {utf8("a", fourBytes, 1024), utf8Whole},   // 4097
        {utf8("ab", fourBytes, 1024), utf8Whole},  // 4098
    };
    for (const Refused& row : refused) {
        form = FakeForm(row.source, "path kept", row.reads);
        EXPECT_FALSE(CalculateCommand(form, clock)) << row.source.size() << " bytes";
        EXPECT_EQ((std::vector<std::string>{kWaiting, kTooLong}), form.md5Writes);
        EXPECT_EQ("path kept", form.file);
        EXPECT_EQ(0, form.fileReads);
    }
}

TEST(CalculateCommand, SourceIsHashedAsTyped)
{
    for (const std::string source : {"   ", " abc ", "a\tb", "\xA3\xAC"}) {
        FakeForm form(source, "");
        FakeClock clock;
        EXPECT_TRUE(CalculateCommand(form, clock));
        EXPECT_EQ(OracleOf(source), form.md5) << '"' << source << '"';
    }
}

TEST(CalculateCommand, NothingToHashLeavesTheWaitingText)
{
    FakeForm form;
    FakeClock clock;
    EXPECT_FALSE(CalculateCommand(form, clock));
    EXPECT_EQ((std::vector<std::string>{kWaiting}), form.md5Writes);
    EXPECT_EQ(1, form.fileReads);
    EXPECT_EQ(2u, clock.readings.size()) << "nothing was timed";
}

TEST(CalculateCommand, FileDigestShowsItsTime)
{
    ScratchFolder folder;
    const std::vector<unsigned char> bytes = RandomBytes(300000, 42);
    const std::string path = folder.Write("data.bin", bytes);
    FakeForm form("", path);
    FakeClock clock{10000, {500, 519}};  // 1.9 ms
    EXPECT_TRUE(CalculateCommand(form, clock));
    EXPECT_EQ(OracleMd5HexOfFile(path) + ":1 ms used", form.md5);
    EXPECT_EQ((std::vector<std::string>{kWaiting, form.md5}), form.md5Writes);
    EXPECT_EQ(path, form.file);
    EXPECT_TRUE(clock.readings.empty());
}

// Nothing in this test program forces a compression, as nothing in the program does:
// the one in use, which every digest takes, is the one chosen at start by its timings.
TEST(VariantChoice, TheOneChosenAtStartIsInUseWhereNothingForcesAnother)
{
    const Md5Choice choice = Md5ChoiceAtStart();
    EXPECT_EQ(choice.variant, Md5ActiveVariant());
    EXPECT_EQ(choice.variant, Md5FasterVariant(choice.times));
}

TEST(CalculateCommand, EmptyFileShowsTheDigestOfNothing)
{
    ScratchFolder folder;
    FakeForm form("", folder.Write("empty", std::string()));
    FakeClock clock;
    EXPECT_TRUE(CalculateCommand(form, clock));
    EXPECT_EQ(kEmptyDigest + ":0 ms used", form.md5);
}

TEST(CalculateCommand, FileThatCannotBeOpenedIsSaidSo)
{
    ScratchFolder folder;
    const std::string paths[] = {folder.PathOf("missing"), folder.PathOf(""), folder.PathOf("."),
                                 std::string(5000, 'x'), folder.PathOf("missing") + std::string(300, 'y')};
    for (const std::string& path : paths) {
        FakeForm form("", path);
        FakeClock clock;
        EXPECT_FALSE(CalculateCommand(form, clock)) << path;
        EXPECT_EQ((std::vector<std::string>{kWaiting, kCannotOpen}), form.md5Writes);
        EXPECT_EQ(path, form.file) << "the File field keeps its text";
    }
}

TEST(CalculateCommand, FileThatFailsWhileReadIsSaidSo)
{
    ScratchFolder folder;
    FlakyFilePlatform::Reset();
    const std::string path = folder.Write("big", RandomBytes(64 * 64 * 1024 + 1, 3));
    FlakyFilePlatform::mapsBeforeFailure = 1;  // the first view maps, no later one does
    FakeForm form("", path);
    FakeClock clock;
    EXPECT_FALSE(CalculateCommand<BasicMappedFile<FlakyFilePlatform>>(form, clock));
    EXPECT_EQ((std::vector<std::string>{kWaiting, kCannotRead}), form.md5Writes);
    EXPECT_EQ(path, form.file);
    EXPECT_EQ(0, FlakyFilePlatform::filesHeld);
    EXPECT_EQ(0, FlakyFilePlatform::viewsHeld);
    FlakyFilePlatform::Reset();
}

#ifndef _WIN32
// True when a descriptor of this process refers to the file or a view of it is mapped.
bool ProcessHolds(const std::string& path)
{
    const std::string target = std::filesystem::canonical(path).string();
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code gone;
        if (std::filesystem::read_symlink(entry.path(), gone).string() == target)
            return true;
    }
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);)
        if (line.size() >= target.size() && line.compare(line.size() - target.size(), target.size(), target) == 0)
            return true;
    return false;
}
#endif

TEST(CalculateCommand, FileIsReleasedAfterEveryCall)
{
    ScratchFolder folder;
    const std::string path = folder.Write("held", RandomBytes(5000, 4));
#ifndef _WIN32
    {
        MappedFile held;
        ASSERT_TRUE(held.Open(path));
        ASSERT_TRUE(ProcessHolds(path)) << "an open file must show";
    }
#endif
    FakeForm form("", path);
    FakeClock clock;
    ASSERT_TRUE(CalculateCommand(form, clock));
#ifndef _WIN32
    EXPECT_FALSE(ProcessHolds(path));
#endif
    // Windows lets no file that is open without delete sharing be renamed or deleted.
    const std::string renamed = folder.PathOf("renamed");
    EXPECT_EQ(0, std::rename(path.c_str(), renamed.c_str()));
    EXPECT_EQ(0, std::remove(renamed.c_str()));
}

TEST(CalculateCommand, FileTimeDividesByTheFrequencyBeforeItMultiplies)
{
    // 2.01 s on a 10 MHz counter: 2.01 as a double lies just below it, so dividing
    // first shows 2009 where multiplying first would show 2010.
    ScratchFolder folder;
    FakeForm form("", folder.Write("empty", std::string()));
    FakeClock clock{10000000, {5000, 5000 + 20100000}};
    EXPECT_TRUE(CalculateCommand(form, clock));
    EXPECT_EQ(kEmptyDigest + ":2009 ms used", form.md5);
}

TEST(ElapsedMilliseconds, DividesFirstAndTruncates)
{
    EXPECT_EQ(1, ElapsedMilliseconds(0, 19, 10000));                 // 1.9 ms
    EXPECT_EQ(0, ElapsedMilliseconds(100, 107, 10000));              // 0.7 ms
    EXPECT_EQ(2333, ElapsedMilliseconds(0, 7, 3));                   // a frequency that does not divide evenly
    EXPECT_EQ(153, ElapsedMilliseconds(1000, 1000 + 459, 3000));
    EXPECT_EQ(1000, ElapsedMilliseconds(0, 1001, 1000));             // 1.001 s, just below it as a double
    // Ten minutes on a 10 MHz counter far into its range: the full 64-bit difference counts.
    const int64_t start = int64_t{1} << 62;
    EXPECT_EQ(600000, ElapsedMilliseconds(start, start + 6000000000, 10000000));
    EXPECT_EQ(1199864, ElapsedMilliseconds(0, int64_t{1} << 32, 3579545));
}

#if defined(__i386__) && !defined(__SSE2_MATH__)
// On the x87 unit the result must not depend on the precision and rounding that
// the process has set, and the process's setting must survive the call.
TEST(ElapsedMilliseconds, IsDoubleArithmeticWhateverTheX87ControlWord)
{
    uint16_t original;
    __asm__ volatile("fnstcw %0" : "=m"(original));
    for (const uint16_t precisionAndRounding : {0x0300, 0x0B00, 0x0700, 0x0000}) {  // 64-bit mantissas to nearest, upward, downward; 24-bit
        const uint16_t controlWord = static_cast<uint16_t>((original & ~0x0F00u) | precisionAndRounding);
        __asm__ volatile("fldcw %0" : : "m"(controlWord));
        const int32_t almostOneSecond = ElapsedMilliseconds(0, 1001, 1000);
        const int32_t almostTwoSeconds = ElapsedMilliseconds(5000, 5000 + 20100000, 10000000);
        uint16_t after;
        __asm__ volatile("fnstcw %0" : "=m"(after));
        __asm__ volatile("fldcw %0" : : "m"(original));
        EXPECT_EQ(1000, almostOneSecond) << std::hex << controlWord;
        EXPECT_EQ(2009, almostTwoSeconds) << std::hex << controlWord;
        EXPECT_EQ(controlWord, after);
    }
}
#endif

TEST(ElapsedMilliseconds, TimesOutsideTheRangeAreHeldAtItsEndsAndNaNGivesZero)
{
    EXPECT_EQ(INT32_MAX, ElapsedMilliseconds(0, int64_t{1} << 62, 1));
    EXPECT_EQ(INT32_MAX, ElapsedMilliseconds(0, 5, 0));
    EXPECT_EQ(INT32_MIN, ElapsedMilliseconds(int64_t{1} << 62, 0, 1));
    EXPECT_EQ(INT32_MIN, ElapsedMilliseconds(5, 0, 0));
    EXPECT_EQ(0, ElapsedMilliseconds(0, 0, 0));  // 0 / 0 is not a number
}

TEST(SystemClock, HasAFrequencyAndNeverCountsBack)
{
    SystemClock clock;
    EXPECT_GT(clock.Frequency(), 0);
    const int64_t first = clock.Counter();
    const int64_t second = clock.Counter();
    EXPECT_LE(first, second);
}

}  // namespace
