// The engine's internals: the block compression and its variants' own functions,
// besides what the file digest's body needs (md5_file_digest.h). Only the engine's
// own sources and tests include this header.
#pragma once

#include <cstdint>

#include "engine/md5_digest.h"

// Compresses one 64-byte block, which may lie at any address, into the four words.
void Md5Transform(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, const unsigned char* block);

// Compresses `count` consecutive blocks starting at `blocks`; the same as calling
// Md5Transform on each in turn, but the state stays in registers between blocks.
void Md5TransformBlocks(md5_detail::DigestState& state, const unsigned char* blocks, uint64_t count);

// The variants' own functions. The portable one, which every other must agree with,
// writes out the 64 steps with their constants and rotations as immediates.
void Md5TransformBlocksPortable(md5_detail::DigestState& state, const unsigned char* blocks, uint64_t count);
// AVX-512 (F + VL) on one 32-bit lane: VPROLD rotates, VPTERNLOGD computes each
// round function in one instruction.
void Md5TransformBlocksAvx512(md5_detail::DigestState& state, const unsigned char* blocks, uint64_t count);
