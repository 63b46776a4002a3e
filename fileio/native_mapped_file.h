// The mapped file window bound to this system's files: MappedFile, as the program
// and the tests of the real platform use it, and the guarded copy out of its views,
// inline so that a block's read costs one call of the copy.
#pragma once

#include <cstdint>

#include "fileio/file_platform.h"
#include "fileio/mapped_file.h"
#include "fileio/view_copy.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

// A 64-byte block, the digest's every read but the tail, is loaded whole into
// registers and then stored; other lengths take CopyFromViewAnyLength.
inline bool NativeFilePlatform::CopyFromMappedView(void* destination, const unsigned char* source, uint32_t length)
{
#if defined(__SANITIZE_ADDRESS__)
    // The copies store from assembly, which AddressSanitizer does not see.
    if (void* overflow = __asan_region_is_poisoned(destination, length))
        __asan_report_error(__builtin_return_address(0), __builtin_frame_address(0), __builtin_frame_address(0),
                            overflow, 1, length);
#endif
#if defined(__x86_64__)
    if (length == 64)
        return HarnoxCopyBlockFromView(destination, source) != 0;
#else
    if (length == 64)
        return (viewBlockCopyUsesXmm ? HarnoxCopyBlockFromViewXmm(destination, source)
                                     : HarnoxCopyBlockFromViewX87(destination, source)) != 0;
#endif
    return CopyFromViewAnyLength(destination, source, length);
}

using MappedFile = BasicMappedFile<NativeFilePlatform>;
