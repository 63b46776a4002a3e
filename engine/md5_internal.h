// The engine's internals: the chaining state, the block compression and its variants,
// the choice between them and the final-block builder. Only the engine's own sources
// and tests include this header; everyone else calls engine/md5_digest.h, which
// includes it at its end for the file digest's body, defined here last.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/md5_digest.h"

struct ProcessorFeatures;

// The four chaining words A, B, C, D, in that order.
struct DigestState {
    uint32_t a;
    uint32_t b;
    uint32_t c;
    uint32_t d;
};

inline constexpr DigestState kMd5InitialState = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u};

// Compresses one 64-byte block, which may lie at any address, into the four words.
void Md5Transform(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, const unsigned char* block);

// Compresses `count` consecutive blocks starting at `blocks`; the same as calling
// Md5Transform on each in turn, but the state stays in registers between blocks.
void Md5TransformBlocks(DigestState& state, const unsigned char* blocks, uint64_t count);

using Md5BlocksFunction = void (*)(DigestState&, const unsigned char*, uint64_t);
// The function that every transform calls now; a loop that compresses block by block
// may fetch it once, though a later Md5ForceVariant does not reach a copy already taken.
Md5BlocksFunction Md5ActiveBlocksFunction();

// The variants' own functions. The portable one, which every other must agree with,
// writes out the 64 steps with their constants and rotations as immediates.
void Md5TransformBlocksPortable(DigestState& state, const unsigned char* blocks, uint64_t count);
#if HARNOX_HAVE_AVX512
// AVX-512 (F + VL) on one 32-bit lane: VPROLD rotates, VPTERNLOGD computes each
// round function in one instruction.
void Md5TransformBlocksAvx512(DigestState& state, const unsigned char* blocks, uint64_t count);
#endif

// Whether such a processor, under such a system, can run the AVX-512 compression.
bool Md5Avx512RunsOn(const ProcessorFeatures& cpu);
// The variant such times choose: AVX-512 only when it took under 0.98 of the portable
// time, so that a near tie, within what a measurement can tell, stays portable.
Md5Variant Md5FasterVariant(const Md5VariantTimes& times);

// Writes A, B, C, D little-endian into the digest.
void Md5StoreDigest(const DigestState& state, Md5Digest& digest);

// The leading block count that marks the one-block layout (lengths 0 to 55).
inline constexpr uint64_t kOneBlockLayout = ~uint64_t{0};

// Turns the tail copy (the input's last 128 bytes, or the whole input of at most
// 128 bytes at its start) into the final area's one or two padded blocks. Returns
// the number of whole blocks that come before them, or kOneBlockLayout.
uint64_t BuildFinalBlocks(unsigned char (&tailCopy)[128], uint64_t length, unsigned char (&finalArea)[128]);

template <class File>
int Md5OfMappedFile(File& file, Md5Digest& digest)
{
    unsigned char tailCopy[128] = {};
    // On a line of its own, so that neither the copy's stores nor the compression's
    // loads are split across two.
    alignas(64) unsigned char blockBuffer[64] = {};
    unsigned char finalArea[128];
    const uint64_t size = file.Size();
    DigestState state = kMd5InitialState;

    const uint64_t tailOffset = size > 128 ? size - 128 : 0;
    const uint32_t tailLength = static_cast<uint32_t>(size - tailOffset);
    // An empty file's single read of 0 bytes carries no data, whatever it answers.
    if (file.ReadAt(tailOffset, tailLength, tailCopy) != static_cast<int32_t>(tailLength) && tailLength != 0) {
        digest = Md5Digest{};
        return 0;
    }

    const uint64_t count = BuildFinalBlocks(tailCopy, size, finalArea);
    // Taken once, so that a block costs its read and the compression alone.
    const Md5BlocksFunction transform = Md5ActiveBlocksFunction();
    if (count == kOneBlockLayout) {
        transform(state, finalArea, 1);
    } else {
        for (uint64_t i = 0; i < count; ++i) {
            if (file.ReadAt(64 * i, 64, blockBuffer) != 64) {
                digest = Md5Digest{};
                return 0;
            }
            transform(state, blockBuffer, 1);
        }
        transform(state, finalArea, 2);
    }
    Md5StoreDigest(state, digest);
    return 1;
}
