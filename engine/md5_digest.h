// Tail-first MD5 over a memory buffer or over a mapped file.
//
// Before any block is compressed, the last bytes of the input (at most 128) are
// copied and turned into the padded final block or blocks; then every whole block
// before them is compressed straight from the input, and the final blocks last.
#pragma once

#include <cstdint>

#include "engine/md5_transform.h"

// The leading block count that marks the one-block layout (lengths 0 to 55).
inline constexpr uint64_t kOneBlockLayout = ~uint64_t{0};

// Turns the tail copy (the input's last 128 bytes, or the whole input of at most
// 128 bytes at its start) into the final area's one or two padded blocks. Returns
// the number of whole blocks that come before them, or kOneBlockLayout.
uint64_t BuildFinalBlocks(unsigned char (&tailCopy)[128], uint64_t length, unsigned char (&finalArea)[128]);

// The digest of `length` bytes at `data` (any alignment). Always returns 1.
int Md5OfBuffer(const void* data, uint64_t length, Md5Digest& digest);

// The digest of every byte of an open file, read through file.Size() and
// file.ReadAt(offset, count, destination): the tail first, then the whole blocks
// from offset 0 upwards, 64 bytes at a time. Returns 1 when every read delivered
// its bytes; 0 when one failed, in which case the reading stops there and the
// digest is zero-filled, since it would not be the file's.
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
