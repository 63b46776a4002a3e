// AVX-512 (F + VL) compression on one 32-bit lane: VPROLD rotates, VPTERNLOGD
// computes each round function in one instruction.
#pragma once

#include "engine/md5_transform.h"

#if HARNOX_HAVE_AVX512
void Md5TransformBlocksAvx512(DigestState& state, const unsigned char* blocks, uint64_t count);
#endif
