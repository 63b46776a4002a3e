// The MD5 engine as the program calls it: the digest of bytes in memory or of a
// mapped file. Which compression computes them is for tests and measuring tools to
// see and to force, in engine/md5_variants.h.
//
// Both digests work tail-first: before any block is compressed, the last bytes of the
// input (at most 128) are copied and turned into the padded final block or blocks;
// then every whole block before them is compressed straight from the input, and the
// final blocks last.
#pragma once

#include <cstdint>

// A, B, C, D, each little-endian: the byte order in which MD5 results are written.
struct Md5Digest {
    unsigned char bytes[16];
};

// The digest of `length` bytes at `data` (any alignment). Always returns 1.
int Md5OfBuffer(const void* data, uint64_t length, Md5Digest& digest);

// The digest of every byte of an open file, read through file.Size() (once) and
// file.ReadAt(offset, count, destination): the tail first, then the whole blocks
// from offset 0 upwards, 64 bytes at a time. Returns 1 when every read delivered
// its bytes; 0 when one failed, in which case the reading stops there and the
// digest is zero-filled, since it would not be the file's.
template <class File>
int Md5OfMappedFile(File& file, Md5Digest& digest);

// The body is compiled in its callers, so it and the internals it calls are in this header alone.
#include "engine/md5_file_digest.h"
