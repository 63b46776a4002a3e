// Md5OfMappedFile's body and what it calls of the engine's internals: the chaining
// state, the final-block builder and the compression in use. md5_digest.h includes
// it at its end; nothing else needs to.
#pragma once

#include <cstdint>

#include "engine/md5_digest.h"

// The engine's body alone: callers see these because the file digest is compiled in
// them, and call only what md5_digest.h declares.
namespace md5_detail {

// The four chaining words A, B, C, D, in that order.
struct DigestState {
    uint32_t a;
    uint32_t b;
    uint32_t c;
    uint32_t d;
};

inline constexpr DigestState kMd5InitialState = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u};

using Md5BlocksFunction = void (*)(DigestState&, const unsigned char*, uint64_t);
// The function that every transform calls now; a loop that compresses block by block
// may fetch it once, though a later Md5ForceVariant does not reach a copy already taken.
Md5BlocksFunction Md5ActiveBlocksFunction();

// Writes A, B, C, D little-endian into the digest.
void Md5StoreDigest(const DigestState& state, Md5Digest& digest);

// The leading block count that marks the one-block layout (lengths 0 to 55).
inline constexpr uint64_t kOneBlockLayout = ~uint64_t{0};

// Turns the tail copy (the input's last 128 bytes, or the whole input of at most
// 128 bytes at its start) into the final area's one or two padded blocks. Returns
// the number of whole blocks that come before them, or kOneBlockLayout.
uint64_t BuildFinalBlocks(unsigned char (&tailCopy)[128], uint64_t length, unsigned char (&finalArea)[128]);

}  // namespace md5_detail

template <class File>
int Md5OfMappedFile(File& file, Md5Digest& digest)
{
    unsigned char tailCopy[128] = {};
    // On a line of its own, so that neither the copy's stores nor the compression's
    // loads are split across two.
    alignas(64) unsigned char blockBuffer[64] = {};
    unsigned char finalArea[128];
    const uint64_t size = file.Size();
    md5_detail::DigestState state = md5_detail::kMd5InitialState;

    const uint64_t tailOffset = size > 128 ? size - 128 : 0;
    const uint32_t tailLength = static_cast<uint32_t>(size - tailOffset);
    // An empty file's single read of 0 bytes carries no data, whatever it answers.
    if (file.ReadAt(tailOffset, tailLength, tailCopy) != static_cast<int32_t>(tailLength) && tailLength != 0) {
        digest = Md5Digest{};
        return 0;
    }

    const uint64_t count = md5_detail::BuildFinalBlocks(tailCopy, size, finalArea);
    // Taken once, so that a block costs its read and the compression alone.
    const md5_detail::Md5BlocksFunction transform = md5_detail::Md5ActiveBlocksFunction();
    if (count == md5_detail::kOneBlockLayout) {
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
    md5_detail::Md5StoreDigest(state, digest);
    return 1;
}
