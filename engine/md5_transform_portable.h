// The portable compression, which every other variant must agree with.
#pragma once

#include "engine/md5_transform.h"

void Md5TransformBlocksPortable(DigestState& state, const unsigned char* blocks, uint64_t count);
