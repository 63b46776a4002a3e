// MD5 chaining state, the 16-byte digest and the block compression.
#pragma once

#include <cstddef>
#include <cstdint>

// The four chaining words A, B, C, D, in that order.
struct DigestState {
    uint32_t a;
    uint32_t b;
    uint32_t c;
    uint32_t d;
};

// A, B, C, D, each little-endian: the byte order in which MD5 results are written.
struct Md5Digest {
    unsigned char bytes[16];
};

inline constexpr DigestState kMd5InitialState = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u};

// Compresses one 64-byte block, which may lie at any address, into the four words.
void Md5Transform(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, const unsigned char* block);

// Compresses `count` consecutive blocks starting at `blocks`; the same as calling
// Md5Transform on each in turn, but the state stays in registers between blocks.
void Md5TransformBlocks(DigestState& state, const unsigned char* blocks, uint64_t count);

// The implementations of the compression. Where more than one can run, each is
// timed once when the program starts and the faster is used; tests may force another.
enum class Md5Variant {
    Portable,
    Avx512,
};

// True when this processor and operating system can run the variant.
bool Md5VariantSupported(Md5Variant variant);
// The variant in use now.
Md5Variant Md5ActiveVariant();
// Makes every later transform use `variant`; false (and nothing changed) when it is not supported.
bool Md5ForceVariant(Md5Variant variant);
const char* Md5VariantName(Md5Variant variant);

// What the processor and the operating system report through CPUID and XGETBV, as
// far as the choice of compression needs it.
struct Md5CpuReport {
    uint32_t signature;   // CPUID 1, EAX: stepping, model, family, extended model and family
    bool osxsave;         // CPUID 1, ECX bit 27: the system manages XSAVE state and allows XGETBV
    uint64_t savedState;  // XCR0 by XGETBV: the register states the system saves (0 without OSXSAVE)
    bool avx512f;         // CPUID 7.0, EBX bit 16
    bool avx512vl;        // CPUID 7.0, EBX bit 31
};
// Read once, on first use.
const Md5CpuReport& Md5ThisProcessor();
// The display family and model that vendors name processors by (extended fields included).
uint32_t Md5CpuFamily(const Md5CpuReport& cpu);
uint32_t Md5CpuModel(const Md5CpuReport& cpu);
// Whether such a processor, under such a system, can run the AVX-512 compression.
bool Md5Avx512RunsOn(const Md5CpuReport& cpu);

// How long each variant took over the same bytes, in time-stamp counter ticks; 0 for
// one that was not timed because it cannot run here.
struct Md5VariantTimes {
    uint64_t portable;
    uint64_t avx512;
};
// The variant such times choose: AVX-512 only when it took under 0.98 of the portable
// time, so that a near tie, within what a measurement can tell, stays portable.
Md5Variant Md5FasterVariant(const Md5VariantTimes& times);
// The choice made when the program started, and the times it was made from.
struct Md5Choice {
    Md5Variant variant;
    Md5VariantTimes times;
    uint64_t ticksSpent;  // the whole choice, timing included
};
Md5Choice Md5ChoiceAtStart();

using Md5BlocksFunction = void (*)(DigestState&, const unsigned char*, uint64_t);
// The function that every transform calls now; a loop that compresses block by block
// may fetch it once, though a later Md5ForceVariant does not reach a copy already taken.
Md5BlocksFunction Md5ActiveBlocksFunction();

// Writes A, B, C, D little-endian into the digest.
void Md5StoreDigest(const DigestState& state, Md5Digest& digest);
