// The MD5 engine as the program and its tools call it: the digest of bytes in memory
// or of a mapped file, and which compression computes it.
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

// The implementations of the compression. Where more than one can run, each is
// timed once when the program starts and the faster is used; tests and measuring
// tools may force another.
enum class Md5Variant {
    Portable,
    Avx512,
};

const char* Md5VariantName(Md5Variant variant);
// True when this processor and operating system can run the variant.
bool Md5VariantSupported(Md5Variant variant);
// The variant in use now.
Md5Variant Md5ActiveVariant();
// Makes every later digest use `variant`; false (and nothing changed) when it is not supported.
bool Md5ForceVariant(Md5Variant variant);

// How long each variant took over the same bytes, in time-stamp counter ticks; 0 for
// one that was not timed because it cannot run here.
struct Md5VariantTimes {
    uint64_t portable;
    uint64_t avx512;
};
// The choice made when the program started, and the times it was made from.
struct Md5Choice {
    Md5Variant variant;
    Md5VariantTimes times;
    uint64_t ticksSpent;  // the whole choice, timing included
};
Md5Choice Md5ChoiceAtStart();

// Md5OfMappedFile's body is compiled in its callers, and it needs the engine's
// internals (the chaining state, the final-block builder, the compression in use):
// it is defined at the end of the private header, included here for it alone.
#include "engine/md5_internal.h"
