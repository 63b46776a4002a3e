// Portable MD5 compression: 64 steps written out, constants and rotations as immediates.
#include "engine/md5_internal.h"

#include <cstring>

// Every build is x86: the message words are loaded in the processor's own order.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "MD5's words are little-endian, as the processor's");

namespace {

// Little-endian load from any address; compilers turn this into one plain load.
inline uint32_t LoadWord(const unsigned char* p)
{
    uint32_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

inline uint32_t RotateLeft(uint32_t x, int s)
{
    return (x << s) | (x >> (32 - s));
}

// Each step takes the message word and constant first, so that only the
// b-dependent part of the round function stays on the critical path.
#define MD5_STEP_F(a, b, c, d, x, t, s)                 \
    a += (x) + (t) + ((((c) ^ (d)) & (b)) ^ (d));       \
    a = RotateLeft(a, s) + (b)

// G = (b AND d) + (c AND NOT d): the two terms never share a set bit, so the sum
// equals the OR, and the term that waits on b is added last.
#define MD5_STEP_G(a, b, c, d, x, t, s)                 \
    a += (x) + (t) + ((c) & ~(d));                      \
    a += (b) & (d);                                     \
    a = RotateLeft(a, s) + (b)

#define MD5_STEP_H(a, b, c, d, x, t, s)                 \
    a += (x) + (t) + ((b) ^ (c) ^ (d));                 \
    a = RotateLeft(a, s) + (b)

#define MD5_STEP_I(a, b, c, d, x, t, s)                 \
    a += (x) + (t) + ((c) ^ ((b) | ~(d)));              \
    a = RotateLeft(a, s) + (b)

void CompressBlock(uint32_t& stateA, uint32_t& stateB, uint32_t& stateC, uint32_t& stateD,
                   const unsigned char* block)
{
    const uint32_t x0 = LoadWord(block + 0), x1 = LoadWord(block + 4), x2 = LoadWord(block + 8),
                   x3 = LoadWord(block + 12), x4 = LoadWord(block + 16), x5 = LoadWord(block + 20),
                   x6 = LoadWord(block + 24), x7 = LoadWord(block + 28), x8 = LoadWord(block + 32),
                   x9 = LoadWord(block + 36), x10 = LoadWord(block + 40), x11 = LoadWord(block + 44),
                   x12 = LoadWord(block + 48), x13 = LoadWord(block + 52), x14 = LoadWord(block + 56),
                   x15 = LoadWord(block + 60);
    uint32_t a = stateA, b = stateB, c = stateC, d = stateD;

    MD5_STEP_F(a, b, c, d, x0, 0xd76aa478u, 7);
    MD5_STEP_F(d, a, b, c, x1, 0xe8c7b756u, 12);
    MD5_STEP_F(c, d, a, b, x2, 0x242070dbu, 17);
    MD5_STEP_F(b, c, d, a, x3, 0xc1bdceeeu, 22);
    MD5_STEP_F(a, b, c, d, x4, 0xf57c0fafu, 7);
    MD5_STEP_F(d, a, b, c, x5, 0x4787c62au, 12);
    MD5_STEP_F(c, d, a, b, x6, 0xa8304613u, 17);
    MD5_STEP_F(b, c, d, a, x7, 0xfd469501u, 22);
    MD5_STEP_F(a, b, c, d, x8, 0x698098d8u, 7);
    MD5_STEP_F(d, a, b, c, x9, 0x8b44f7afu, 12);
    MD5_STEP_F(c, d, a, b, x10, 0xffff5bb1u, 17);
    MD5_STEP_F(b, c, d, a, x11, 0x895cd7beu, 22);
    MD5_STEP_F(a, b, c, d, x12, 0x6b901122u, 7);
    MD5_STEP_F(d, a, b, c, x13, 0xfd987193u, 12);
    MD5_STEP_F(c, d, a, b, x14, 0xa679438eu, 17);
    MD5_STEP_F(b, c, d, a, x15, 0x49b40821u, 22);

    MD5_STEP_G(a, b, c, d, x1, 0xf61e2562u, 5);
    MD5_STEP_G(d, a, b, c, x6, 0xc040b340u, 9);
    MD5_STEP_G(c, d, a, b, x11, 0x265e5a51u, 14);
    MD5_STEP_G(b, c, d, a, x0, 0xe9b6c7aau, 20);
    MD5_STEP_G(a, b, c, d, x5, 0xd62f105du, 5);
    MD5_STEP_G(d, a, b, c, x10, 0x02441453u, 9);
    MD5_STEP_G(c, d, a, b, x15, 0xd8a1e681u, 14);
    MD5_STEP_G(b, c, d, a, x4, 0xe7d3fbc8u, 20);
    MD5_STEP_G(a, b, c, d, x9, 0x21e1cde6u, 5);
    MD5_STEP_G(d, a, b, c, x14, 0xc33707d6u, 9);
    MD5_STEP_G(c, d, a, b, x3, 0xf4d50d87u, 14);
    MD5_STEP_G(b, c, d, a, x8, 0x455a14edu, 20);
    MD5_STEP_G(a, b, c, d, x13, 0xa9e3e905u, 5);
    MD5_STEP_G(d, a, b, c, x2, 0xfcefa3f8u, 9);
    MD5_STEP_G(c, d, a, b, x7, 0x676f02d9u, 14);
    MD5_STEP_G(b, c, d, a, x12, 0x8d2a4c8au, 20);

    MD5_STEP_H(a, b, c, d, x5, 0xfffa3942u, 4);
    MD5_STEP_H(d, a, b, c, x8, 0x8771f681u, 11);
    MD5_STEP_H(c, d, a, b, x11, 0x6d9d6122u, 16);
    MD5_STEP_H(b, c, d, a, x14, 0xfde5380cu, 23);
    MD5_STEP_H(a, b, c, d, x1, 0xa4beea44u, 4);
    MD5_STEP_H(d, a, b, c, x4, 0x4bdecfa9u, 11);
    MD5_STEP_H(c, d, a, b, x7, 0xf6bb4b60u, 16);
    MD5_STEP_H(b, c, d, a, x10, 0xbebfbc70u, 23);
    MD5_STEP_H(a, b, c, d, x13, 0x289b7ec6u, 4);
    MD5_STEP_H(d, a, b, c, x0, 0xeaa127fau, 11);
    MD5_STEP_H(c, d, a, b, x3, 0xd4ef3085u, 16);
    MD5_STEP_H(b, c, d, a, x6, 0x04881d05u, 23);
    MD5_STEP_H(a, b, c, d, x9, 0xd9d4d039u, 4);
    MD5_STEP_H(d, a, b, c, x12, 0xe6db99e5u, 11);
    MD5_STEP_H(c, d, a, b, x15, 0x1fa27cf8u, 16);
    MD5_STEP_H(b, c, d, a, x2, 0xc4ac5665u, 23);

    MD5_STEP_I(a, b, c, d, x0, 0xf4292244u, 6);
    MD5_STEP_I(d, a, b, c, x7, 0x432aff97u, 10);
    MD5_STEP_I(c, d, a, b, x14, 0xab9423a7u, 15);
    MD5_STEP_I(b, c, d, a, x5, 0xfc93a039u, 21);
    MD5_STEP_I(a, b, c, d, x12, 0x655b59c3u, 6);
    MD5_STEP_I(d, a, b, c, x3, 0x8f0ccc92u, 10);
    MD5_STEP_I(c, d, a, b, x10, 0xffeff47du, 15);
    MD5_STEP_I(b, c, d, a, x1, 0x85845dd1u, 21);
    MD5_STEP_I(a, b, c, d, x8, 0x6fa87e4fu, 6);
    MD5_STEP_I(d, a, b, c, x15, 0xfe2ce6e0u, 10);
    MD5_STEP_I(c, d, a, b, x6, 0xa3014314u, 15);
    MD5_STEP_I(b, c, d, a, x13, 0x4e0811a1u, 21);
    MD5_STEP_I(a, b, c, d, x4, 0xf7537e82u, 6);
    MD5_STEP_I(d, a, b, c, x11, 0xbd3af235u, 10);
    MD5_STEP_I(c, d, a, b, x2, 0x2ad7d2bbu, 15);
    MD5_STEP_I(b, c, d, a, x9, 0xeb86d391u, 21);

    stateA += a;
    stateB += b;
    stateC += c;
    stateD += d;
}

}  // namespace

void Md5TransformBlocksPortable(md5_detail::DigestState& state, const unsigned char* blocks, uint64_t count)
{
    uint32_t a = state.a, b = state.b, c = state.c, d = state.d;
    for (uint64_t i = 0; i < count; ++i)
        CompressBlock(a, b, c, d, blocks + 64 * i);
    state = {a, b, c, d};
}
