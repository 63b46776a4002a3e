// AVX-512 MD5 compression on one 32-bit lane. Only this file is compiled with
// AVX-512 enabled; the dispatch calls it only where CPUID and XGETBV allow it.
//
// MD5 is one long dependency chain, so nothing is gained from wide vectors. What
// AVX-512 offers is a shorter chain per step: VPTERNLOGD computes any round function
// of b, c, d in one instruction and VPROLD rotates, so every step costs four
// single-cycle operations on the chain (function, add, rotate, add b), where the
// scalar F and I steps need five.
#include "engine/md5_internal.h"

#include <immintrin.h>

#include <cstring>

namespace {

// Message word plus step constant, computed in a general register off the chain.
// The empty asm keeps it there: otherwise the compiler may turn the addition into a
// vector add of a constant loaded from memory.
inline __m128i WordPlusConstant(const unsigned char* block, int index, uint32_t constant)
{
    uint32_t word;
    std::memcpy(&word, block + 4 * index, sizeof word);
    word += constant;
    __asm__("" : "+r"(word));
    return _mm_cvtsi32_si128(static_cast<int>(word));
}

// Truth tables of the round functions for VPTERNLOGD with the operands (b, c, d):
// b is 0xF0, c 0xCC, d 0xAA.
constexpr int kF = 0xCA;  // (b AND c) OR (NOT b AND d)
constexpr int kG = 0xE4;  // (b AND d) OR (c AND NOT d)
constexpr int kH = 0x96;  // b XOR c XOR d
constexpr int kI = 0x39;  // c XOR (b OR NOT d)

// The word-plus-constant is added to a first; the function, which waits on b from
// the step before, joins last. The empty asm stops the compiler from regrouping the
// sums so that two additions would follow the function.
#define MD5_STEP(fn, a, b, c, d, k, t, s)                                             \
    a = _mm_add_epi32(a, WordPlusConstant(block, k, t));                              \
    __asm__("" : "+v"(a));                                                            \
    a = _mm_add_epi32(a, _mm_ternarylogic_epi32(b, c, d, fn));                        \
    a = _mm_add_epi32(_mm_rol_epi32(a, s), b)

}  // namespace

#if defined(__i386__)
// 32-bit Windows callers may hand over a stack aligned to 4 bytes only.
__attribute__((force_align_arg_pointer))
#endif
void Md5TransformBlocksAvx512(md5_detail::DigestState& state, const unsigned char* blocks, uint64_t count)
{
    __m128i a = _mm_cvtsi32_si128(static_cast<int>(state.a));
    __m128i b = _mm_cvtsi32_si128(static_cast<int>(state.b));
    __m128i c = _mm_cvtsi32_si128(static_cast<int>(state.c));
    __m128i d = _mm_cvtsi32_si128(static_cast<int>(state.d));

    for (uint64_t i = 0; i < count; ++i) {
        const unsigned char* block = blocks + 64 * i;
        const __m128i oldA = a, oldB = b, oldC = c, oldD = d;

        MD5_STEP(kF, a, b, c, d, 0, 0xd76aa478u, 7);
        MD5_STEP(kF, d, a, b, c, 1, 0xe8c7b756u, 12);
        MD5_STEP(kF, c, d, a, b, 2, 0x242070dbu, 17);
        MD5_STEP(kF, b, c, d, a, 3, 0xc1bdceeeu, 22);
        MD5_STEP(kF, a, b, c, d, 4, 0xf57c0fafu, 7);
        MD5_STEP(kF, d, a, b, c, 5, 0x4787c62au, 12);
        MD5_STEP(kF, c, d, a, b, 6, 0xa8304613u, 17);
        MD5_STEP(kF, b, c, d, a, 7, 0xfd469501u, 22);
        MD5_STEP(kF, a, b, c, d, 8, 0x698098d8u, 7);
        MD5_STEP(kF, d, a, b, c, 9, 0x8b44f7afu, 12);
        MD5_STEP(kF, c, d, a, b, 10, 0xffff5bb1u, 17);
        MD5_STEP(kF, b, c, d, a, 11, 0x895cd7beu, 22);
        MD5_STEP(kF, a, b, c, d, 12, 0x6b901122u, 7);
        MD5_STEP(kF, d, a, b, c, 13, 0xfd987193u, 12);
        MD5_STEP(kF, c, d, a, b, 14, 0xa679438eu, 17);
        MD5_STEP(kF, b, c, d, a, 15, 0x49b40821u, 22);

        MD5_STEP(kG, a, b, c, d, 1, 0xf61e2562u, 5);
        MD5_STEP(kG, d, a, b, c, 6, 0xc040b340u, 9);
        MD5_STEP(kG, c, d, a, b, 11, 0x265e5a51u, 14);
        MD5_STEP(kG, b, c, d, a, 0, 0xe9b6c7aau, 20);
        MD5_STEP(kG, a, b, c, d, 5, 0xd62f105du, 5);
        MD5_STEP(kG, d, a, b, c, 10, 0x02441453u, 9);
        MD5_STEP(kG, c, d, a, b, 15, 0xd8a1e681u, 14);
        MD5_STEP(kG, b, c, d, a, 4, 0xe7d3fbc8u, 20);
        MD5_STEP(kG, a, b, c, d, 9, 0x21e1cde6u, 5);
        MD5_STEP(kG, d, a, b, c, 14, 0xc33707d6u, 9);
        MD5_STEP(kG, c, d, a, b, 3, 0xf4d50d87u, 14);
        MD5_STEP(kG, b, c, d, a, 8, 0x455a14edu, 20);
        MD5_STEP(kG, a, b, c, d, 13, 0xa9e3e905u, 5);
        MD5_STEP(kG, d, a, b, c, 2, 0xfcefa3f8u, 9);
        MD5_STEP(kG, c, d, a, b, 7, 0x676f02d9u, 14);
        MD5_STEP(kG, b, c, d, a, 12, 0x8d2a4c8au, 20);

        MD5_STEP(kH, a, b, c, d, 5, 0xfffa3942u, 4);
        MD5_STEP(kH, d, a, b, c, 8, 0x8771f681u, 11);
        MD5_STEP(kH, c, d, a, b, 11, 0x6d9d6122u, 16);
        MD5_STEP(kH, b, c, d, a, 14, 0xfde5380cu, 23);
        MD5_STEP(kH, a, b, c, d, 1, 0xa4beea44u, 4);
        MD5_STEP(kH, d, a, b, c, 4, 0x4bdecfa9u, 11);
        MD5_STEP(kH, c, d, a, b, 7, 0xf6bb4b60u, 16);
        MD5_STEP(kH, b, c, d, a, 10, 0xbebfbc70u, 23);
        MD5_STEP(kH, a, b, c, d, 13, 0x289b7ec6u, 4);
        MD5_STEP(kH, d, a, b, c, 0, 0xeaa127fau, 11);
        MD5_STEP(kH, c, d, a, b, 3, 0xd4ef3085u, 16);
        MD5_STEP(kH, b, c, d, a, 6, 0x04881d05u, 23);
        MD5_STEP(kH, a, b, c, d, 9, 0xd9d4d039u, 4);
        MD5_STEP(kH, d, a, b, c, 12, 0xe6db99e5u, 11);
        MD5_STEP(kH, c, d, a, b, 15, 0x1fa27cf8u, 16);
        MD5_STEP(kH, b, c, d, a, 2, 0xc4ac5665u, 23);

        MD5_STEP(kI, a, b, c, d, 0, 0xf4292244u, 6);
        MD5_STEP(kI, d, a, b, c, 7, 0x432aff97u, 10);
        MD5_STEP(kI, c, d, a, b, 14, 0xab9423a7u, 15);
        MD5_STEP(kI, b, c, d, a, 5, 0xfc93a039u, 21);
        MD5_STEP(kI, a, b, c, d, 12, 0x655b59c3u, 6);
        MD5_STEP(kI, d, a, b, c, 3, 0x8f0ccc92u, 10);
        MD5_STEP(kI, c, d, a, b, 10, 0xffeff47du, 15);
        MD5_STEP(kI, b, c, d, a, 1, 0x85845dd1u, 21);
        MD5_STEP(kI, a, b, c, d, 8, 0x6fa87e4fu, 6);
        MD5_STEP(kI, d, a, b, c, 15, 0xfe2ce6e0u, 10);
        MD5_STEP(kI, c, d, a, b, 6, 0xa3014314u, 15);
        MD5_STEP(kI, b, c, d, a, 13, 0x4e0811a1u, 21);
        MD5_STEP(kI, a, b, c, d, 4, 0xf7537e82u, 6);
        MD5_STEP(kI, d, a, b, c, 11, 0xbd3af235u, 10);
        MD5_STEP(kI, c, d, a, b, 2, 0x2ad7d2bbu, 15);
        MD5_STEP(kI, b, c, d, a, 9, 0xeb86d391u, 21);

        a = _mm_add_epi32(a, oldA);
        b = _mm_add_epi32(b, oldB);
        c = _mm_add_epi32(c, oldC);
        d = _mm_add_epi32(d, oldD);
    }

    state.a = static_cast<uint32_t>(_mm_cvtsi128_si32(a));
    state.b = static_cast<uint32_t>(_mm_cvtsi128_si32(b));
    state.c = static_cast<uint32_t>(_mm_cvtsi128_si32(c));
    state.d = static_cast<uint32_t>(_mm_cvtsi128_si32(d));
}
