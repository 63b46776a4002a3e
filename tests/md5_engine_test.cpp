// The compression, the final-block builder and both digests, against published
// MD5 test values and an independent MD5, for every variant of the compression.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/md5_digest.h"
#include "engine/md5_internal.h"
#include "engine/md5_variants.h"
#include "runtime/processor_features.h"
#include "support/oracle_md5.h"
#include "tests/recording_file.h"
#include "tests/test_support.h"

namespace {

// The engine's body, whose parts these tests check one by one.
using namespace md5_detail;

std::vector<Md5Variant> SupportedVariants()
{
    std::vector<Md5Variant> variants;
    for (Md5Variant v : {Md5Variant::Portable, Md5Variant::Avx512})
        if (Md5VariantSupported(v))
            variants.push_back(v);
    return variants;
}

class EachVariant : public ::testing::TestWithParam<Md5Variant> {
protected:
    void SetUp() override { ASSERT_TRUE(Md5ForceVariant(GetParam())); }
    void TearDown() override { Md5ForceVariant(Md5Variant::Portable); }
};

std::string BufferDigest(const void* data, uint64_t length)
{
    Md5Digest digest{};
    EXPECT_EQ(1, Md5OfBuffer(data, length, digest));
    return HexOf(digest);
}

std::string TransformFromInitialState(const unsigned char* block)
{
    uint32_t a = kMd5InitialState.a, b = kMd5InitialState.b, c = kMd5InitialState.c, d = kMd5InitialState.d;
    Md5Transform(a, b, c, d, block);
    Md5Digest digest{};
    Md5StoreDigest({a, b, c, d}, digest);
    return HexOf(digest);
}

TEST_P(EachVariant, TransformOfPaddedBlocksGivesPublishedDigests)
{
    unsigned char empty[64] = {0x80};
    EXPECT_EQ("D41D8CD98F00B204E9800998ECF8427E", TransformFromInitialState(empty));

    unsigned char abc[64] = {0x61, 0x62, 0x63, 0x80};
    abc[56] = 0x18;
    EXPECT_EQ("900150983CD24FB0D6963F7D28E17F72", TransformFromInitialState(abc));
}

TEST_P(EachVariant, TransformReadsBlockAtAnyAddressAndLeavesItUnchanged)
{
    const std::vector<unsigned char> block = RandomBytes(64, 7);
    alignas(16) unsigned char storage[64 + 16];
    std::memcpy(storage, block.data(), 64);
    const std::string aligned = TransformFromInitialState(storage);
    for (int shift = 1; shift < 16; ++shift) {
        std::memmove(storage + shift, block.data(), 64);
        EXPECT_EQ(aligned, TransformFromInitialState(storage + shift)) << "shift " << shift;
        EXPECT_EQ(0, std::memcmp(storage + shift, block.data(), 64));
    }
}

TEST_P(EachVariant, TransformUpdatesWordsThatLieApart)
{
    const std::vector<unsigned char> block = RandomBytes(64, 11);
    uint32_t a = 1, b = 2, c = 3, d = 4;
    Md5Transform(a, b, c, d, block.data());

    struct Spread {
        uint32_t d;
        char gap1[24];
        uint32_t b;
        char gap2[8];
    } spread{4, {}, 2, {}};
    std::vector<uint32_t> heapWords{3, 99, 1};
    Md5Transform(heapWords[2], spread.b, heapWords[0], spread.d, block.data());
    EXPECT_EQ(a, heapWords[2]);
    EXPECT_EQ(b, spread.b);
    EXPECT_EQ(c, heapWords[0]);
    EXPECT_EQ(d, spread.d);
    EXPECT_EQ(99u, heapWords[1]);
}

TEST_P(EachVariant, BufferDigestMatchesRfc1321TestSuite)
{
    const std::pair<std::string, std::string> suite[] = {
        {"", "D41D8CD98F00B204E9800998ECF8427E"},
        {"a", "0CC175B9C0F1B6A831C399E269772661"},
        {"abc", "900150983CD24FB0D6963F7D28E17F72"},
        {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
        {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "D174AB98D277D9F5A5611C2C9F419D9F"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57EDF4A22BE3C955AC49DA2E2107B67A"},
    };
    for (const auto& [input, expected] : suite)
        EXPECT_EQ(expected, BufferDigest(input.data(), input.size())) << '"' << input << '"';
}

TEST_P(EachVariant, BufferDigestMatchesOracleAtEveryLengthAndAlignment)
{
    const std::vector<unsigned char> source = RandomBytes(2048 + 8, 1234);
    std::vector<unsigned char> shifted(2048 + 16);
    for (size_t length = 0; length <= 2048; ++length) {
        const std::string expected = OracleMd5Hex(source.data(), length);
        ASSERT_EQ(expected, BufferDigest(source.data(), length)) << "length " << length;
        const size_t odd = 1 + length % 7;
        std::memcpy(shifted.data() + odd, source.data(), length);
        ASSERT_EQ(expected, BufferDigest(shifted.data() + odd, length)) << "length " << length << " at +" << odd;
    }
}

TEST_P(EachVariant, BufferDigestMatchesOracleOnRandomLengthsUpToOneMebibyte)
{
    std::mt19937 generator(77);
    const std::vector<unsigned char> source = RandomBytes((1 << 20) + 3, 99);
    for (int round = 0; round < 40; ++round) {
        const size_t length = generator() % ((1 << 20) + 1);
        const size_t offset = generator() % 4;
        ASSERT_EQ(OracleMd5Hex(source.data() + offset, length), BufferDigest(source.data() + offset, length))
            << "length " << length << " at +" << offset;
    }
}

Md5BlocksFunction OwnFunctionOf(Md5Variant variant)
{
    if (variant == Md5Variant::Avx512)
        return Md5TransformBlocksAvx512;
    return variant == Md5Variant::Portable ? Md5TransformBlocksPortable : nullptr;
}

TEST_P(EachVariant, IsTheFunctionInUseAndMatchesOracleWhenCalledItself)
{
    const Md5BlocksFunction own = OwnFunctionOf(GetParam());
    ASSERT_NE(nullptr, own);
    EXPECT_EQ(own, Md5ActiveBlocksFunction());
    // Messages padded here, so that nothing but the variant's own function compresses them.
    for (size_t length : {size_t{0}, size_t{55}, size_t{119}, size_t{64 * 20 + 3}}) {
        std::vector<unsigned char> padded = RandomBytes(length, static_cast<uint32_t>(length));
        padded.push_back(0x80);
        padded.resize((length + 8) / 64 * 64 + 56);
        for (int i = 0; i < 8; ++i)
            padded.push_back(static_cast<unsigned char>((uint64_t{length} * 8) >> (8 * i)));
        DigestState state = kMd5InitialState;
        own(state, padded.data(), padded.size() / 64);
        Md5Digest digest{};
        Md5StoreDigest(state, digest);
        EXPECT_EQ(OracleMd5Hex(padded.data(), length), HexOf(digest)) << "length " << length;
    }
}

INSTANTIATE_TEST_SUITE_P(Md5, EachVariant, ::testing::ValuesIn(SupportedVariants()),
                         [](const auto& info) { return std::string(Md5VariantName(info.param)); });

TEST(VariantChoice, Avx512RunsWhereTheProcessorHasItAndTheSystemSavesItsState)
{
    const uint64_t all = 0xE7;    // x87, SSE, AVX, opmask, both halves of ZMM
    const uint64_t noZmm = 0x07;  // x87, SSE, AVX
    // CPUID 1 EAX, SSE, OSXSAVE, XCR0, AVX-512F, AVX-512VL; whether it runs.
    const struct {
        const char* processor;
        ProcessorFeatures cpu;
        bool runs;
    } table[] = {
        {"Zen 5, EPYC 9005", {0x00B00F21, true, true, all, true, true}, true},
        {"Zen 4, EPYC 9004", {0x00A10F11, true, true, all, true, true}, true},
        {"Zen 3, no AVX-512", {0x00A20F10, true, true, all, false, false}, false},
        {"Sapphire Rapids", {0x000806F8, true, true, all, true, true}, true},
        {"Rocket Lake", {0x000A0671, true, true, all, true, true}, true},
        {"Alder Lake, no AVX-512", {0x00090672, true, true, all, false, false}, false},
        {"Knights Landing, AVX-512F without VL", {0x00050671, true, true, all, true, false}, false},
        {"Sapphire Rapids, system saves no ZMM state", {0x000806F8, true, true, noZmm, true, true}, false},
        {"Sapphire Rapids, system without OSXSAVE", {0x000806F8, true, false, 0, true, true}, false},
        {"Pentium 4", {0x00000F29, true, false, 0, false, false}, false},
        {"Pentium", {0x00010543, false, false, 0, false, false}, false},
    };
    for (const auto& row : table)
        EXPECT_EQ(row.runs, Md5Avx512RunsOn(row.cpu)) << row.processor;
}

TEST(VariantChoice, Avx512OnlyWhenClearlyFasterThanPortable)
{
    // Portable ticks, AVX-512 ticks (0: not timed); the choice.
    const struct {
        Md5VariantTimes times;
        Md5Variant chosen;
    } table[] = {
        {{24000, 18000}, Md5Variant::Avx512},    // 0.75
        {{24000, 23500}, Md5Variant::Avx512},    // 0.979
        {{24000, 23520}, Md5Variant::Portable},  // 0.98: a tie
        {{24000, 24000}, Md5Variant::Portable},
        {{20000, 23500}, Md5Variant::Portable},  // Zen 4 and Zen 5: the vector step is the slower
        {{24000, 0}, Md5Variant::Portable},      // AVX-512 cannot run
        {{0, 0}, Md5Variant::Portable},
        {{UINT64_MAX, 1}, Md5Variant::Avx512},   // no overflow at the ends
        {{UINT64_MAX, UINT64_MAX - 1}, Md5Variant::Portable},
    };
    for (const auto& row : table)
        EXPECT_STREQ(Md5VariantName(row.chosen), Md5VariantName(Md5FasterVariant(row.times)))
            << row.times.portable << " against " << row.times.avx512;
}

TEST(VariantChoice, TheChoiceAtStartFollowsItsTimes)
{
    const Md5Choice choice = Md5ChoiceAtStart();
    EXPECT_EQ(choice.variant, Md5FasterVariant(choice.times));
    if (!Md5VariantSupported(Md5Variant::Avx512)) {
        // Nothing to choose between: nothing timed.
        EXPECT_EQ(0u, choice.times.portable + choice.times.avx512 + choice.ticksSpent);
        return;
    }
    EXPECT_GT(choice.times.portable, 0u);
    EXPECT_GT(choice.times.avx512, 0u);
    EXPECT_GE(choice.ticksSpent, choice.times.portable + choice.times.avx512);
}

// One row of the final-block table: where the 0x80 and the bit count go, how many
// whole blocks precede the final area, and which reads the file digest makes.
struct FinalBlockRow {
    uint64_t length;
    uint64_t markerAt;
    uint64_t count;
    std::vector<std::pair<uint64_t, uint32_t>> reads;
};

class FinalBlocks : public ::testing::TestWithParam<FinalBlockRow> {};

TEST_P(FinalBlocks, LayoutCountAndReadsAreAsTabled)
{
    const FinalBlockRow& row = GetParam();
    const std::vector<unsigned char> input = RandomBytes(row.length, static_cast<uint32_t>(row.length));
    const bool oneBlock = row.length < 56;

    unsigned char tailCopy[128] = {};
    const uint64_t tailStart = row.length > 128 ? row.length - 128 : 0;
    if (row.length != 0)
        std::memcpy(tailCopy, input.data() + tailStart, row.length - tailStart);
    unsigned char finalArea[128];
    std::memset(finalArea, 0xEE, sizeof finalArea);
    const uint64_t count = BuildFinalBlocks(tailCopy, row.length, finalArea);

    EXPECT_EQ(oneBlock ? kOneBlockLayout : row.count, count);
    const uint64_t bitCountAt = oneBlock ? 56 : 120;
    uint64_t bitCount = 0;
    for (int i = 7; i >= 0; --i)
        bitCount = (bitCount << 8) | finalArea[bitCountAt + i];
    EXPECT_EQ(row.length * 8, bitCount);
    EXPECT_EQ(0x80, finalArea[row.markerAt]);
    // Before the 0x80: the input bytes that follow the leading whole blocks.
    const uint64_t firstInFinal = oneBlock ? 0 : row.count * 64;
    EXPECT_EQ(row.markerAt, row.length - firstInFinal);
    if (row.markerAt != 0) {
        EXPECT_EQ(0, std::memcmp(finalArea, input.data() + firstInFinal, row.markerAt));
    }
    for (uint64_t i = row.markerAt + 1; i < bitCountAt; ++i)
        ASSERT_EQ(0, finalArea[i]) << "byte " << i;
    if (oneBlock) {
        for (int i = 64; i < 128; ++i)
            ASSERT_EQ(0, finalArea[i]) << "byte " << i;
    }

    RecordingFile file;
    file.bytes = input;
    Md5Digest digest{};
    EXPECT_EQ(1, Md5OfMappedFile(file, digest));
    EXPECT_EQ(row.reads, file.reads);
    EXPECT_EQ(OracleMd5Hex(input.data(), input.size()), HexOf(digest));
}

INSTANTIATE_TEST_SUITE_P(
    Md5, FinalBlocks,
    ::testing::Values(FinalBlockRow{0, 0, 0, {{0, 0}}}, FinalBlockRow{55, 55, 0, {{0, 55}}},
                      FinalBlockRow{56, 56, 0, {{0, 56}}}, FinalBlockRow{63, 63, 0, {{0, 63}}},
                      FinalBlockRow{64, 64, 0, {{0, 64}}}, FinalBlockRow{119, 119, 0, {{0, 119}}},
                      FinalBlockRow{120, 56, 1, {{0, 120}, {0, 64}}}, FinalBlockRow{127, 63, 1, {{0, 127}, {0, 64}}},
                      FinalBlockRow{128, 64, 1, {{0, 128}, {0, 64}}}, FinalBlockRow{129, 65, 1, {{1, 128}, {0, 64}}}),
    [](const auto& info) { return "length" + std::to_string(info.param.length); });

TEST(FinalBlocks, BitCountWrapsModulo2To64)
{
    const std::pair<uint64_t, uint64_t> lengthsAndBitCounts[] = {
        {uint64_t{1} << 61, 0},
        {(uint64_t{1} << 61) + 3, 24},
        {~uint64_t{0}, ~uint64_t{0} - 7},
        {(uint64_t{1} << 32) + 5, 0x0000000800000028},
    };
    for (const auto& [length, expected] : lengthsAndBitCounts) {
        unsigned char tailCopy[128] = {};
        unsigned char finalArea[128];
        const uint64_t count = BuildFinalBlocks(tailCopy, length, finalArea);
        uint64_t bitCount = 0;
        for (int i = 7; i >= 0; --i)
            bitCount = (bitCount << 8) | finalArea[120 + i];
        EXPECT_EQ(expected, bitCount) << length;
        const uint64_t r = length % 64;
        EXPECT_EQ(r <= 55 ? length / 64 - 1 : length / 64, count) << length;
    }
}

TEST(FileDigest, StopsAndReportsWhenAReadFails)
{
    const std::vector<unsigned char> input = RandomBytes(1000, 5);
    for (size_t failing : {size_t{0}, size_t{1}, size_t{7}, size_t{14}}) {
        RecordingFile file;
        file.bytes = input;
        file.failingRead = failing;
        Md5Digest digest;
        std::memset(digest.bytes, 0x5A, sizeof digest.bytes);
        EXPECT_EQ(0, Md5OfMappedFile(file, digest)) << "read " << failing;
        EXPECT_EQ(failing + 1, file.reads.size()) << "no read after the failed one";
        EXPECT_EQ("00000000000000000000000000000000", HexOf(digest));
    }
}

TEST(FileDigest, EmptyFileGivesEmptyDigestWhateverItsZeroReadAnswers)
{
    for (bool zeroReadFails : {false, true}) {
        RecordingFile file;
        file.zeroReadFails = zeroReadFails;
        Md5Digest digest{};
        EXPECT_EQ(1, Md5OfMappedFile(file, digest));
        EXPECT_EQ("D41D8CD98F00B204E9800998ECF8427E", HexOf(digest));
        EXPECT_EQ((std::vector<std::pair<uint64_t, uint32_t>>{{0, 0}}), file.reads);
    }
}

TEST(FileDigest, ReadsTailThenEveryBlockUpwards)
{
    const std::vector<unsigned char> input = RandomBytes(64 * 50 + 17, 3);
    RecordingFile file;
    file.bytes = input;
    Md5Digest digest{};
    ASSERT_EQ(1, Md5OfMappedFile(file, digest));
    ASSERT_EQ(50u, file.reads.size());
    EXPECT_EQ((std::pair<uint64_t, uint32_t>{input.size() - 128, 128}), file.reads[0]);
    for (size_t i = 1; i < file.reads.size(); ++i)
        EXPECT_EQ((std::pair<uint64_t, uint32_t>{64 * (i - 1), 64}), file.reads[i]);
    EXPECT_EQ(OracleMd5Hex(input.data(), input.size()), HexOf(digest));
}

}  // namespace
