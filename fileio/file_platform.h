// The thin seam between the mapped file window and the operating system's files
// and mappings. One implementation per platform: file_platform_win32.cpp and
// file_platform_posix.cpp. Tests stand in for it with a struct of the same shape.
#pragma once

#include <cstdint>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

struct NativeFilePlatform {
    // Opaque handles: a Windows HANDLE or a POSIX descriptor, held as an integer
    // so that no platform header leaks into the rest of the program.
    using FileHandle = intptr_t;
    using MappingHandle = intptr_t;

    static const FileHandle kNoFile;
    static const MappingHandle kNoMapping;

    // The unit to which every view's file offset is aligned.
    static uint32_t AllocationGranularity();
    // Opens an existing file read-only, letting others only read it; kNoFile on failure.
    static FileHandle OpenForReading(const char* name);
    // The file's size; false when the size cannot be taken.
    static bool QuerySize(FileHandle file, uint64_t& size);
    // A read-only mapping of the whole file; kNoMapping on failure.
    static MappingHandle CreateMapping(FileHandle file, uint64_t size);
    // A read-only view of `length` bytes at `offset` (a multiple of the granularity); null on failure.
    static const unsigned char* MapView(MappingHandle mapping, uint64_t offset, uint32_t length);
    static void UnmapView(const unsigned char* view, uint32_t length);
    static void CloseMapping(MappingHandle mapping);
    static void CloseFile(FileHandle file);
    // Puts the fault guard of the copies below in place, once per process, over
    // whatever handlers the process has by then. MapView does it before it returns
    // its first view.
    static void GuardViewCopies();
    // Copies out of a view that MapView returned (or any memory, once the guard is in
    // place); false, with the destination untouched, when reading the source faults
    // (the file shrank, or its device failed). A fault anywhere else is not caught.
    // A 64-byte block, the digest's every read but the tail, is loaded whole into
    // registers and then stored; other lengths take CopyFromViewAnyLength.
    static bool CopyFromMappedView(void* destination, const unsigned char* source, uint32_t length);
    // The same for any length (view_copy.cpp): through a buffer on the stack up to
    // 2 KiB; longer reads find lost pages before writing, so that only a fault that
    // begins during their copy leaves the destination written in part.
    static bool CopyFromViewAnyLength(void* destination, const unsigned char* source, uint32_t length);
};

// The guarded copies under CopyFromMappedView, in view_copy.cpp; each returns 1, or
// 0 after a fault in its source that the platform's handler resumed.
// Any length, storing as it goes (written in C++ over a jump buffer where x86 is not).
extern "C" int HarnoxCopyRangeFromView(void* destination, const void* source, uint32_t length)
    asm("harnox_copy_range_from_view");
#if defined(__x86_64__)
extern "C" int HarnoxCopyBlockFromView(void* destination, const void* source) asm("harnox_copy_block_from_view");
#elif defined(__i386__)
// Through four XMM registers, or where the processor or the system lacks them
// through the x87 unit's eight exact 64-bit integer loads and stores.
extern "C" int HarnoxCopyBlockFromViewXmm(void* destination, const void* source)
    asm("harnox_copy_block_from_view_xmm");
extern "C" int HarnoxCopyBlockFromViewX87(void* destination, const void* source)
    asm("harnox_copy_block_from_view_x87");
// Set by GuardViewCopies; false until then, which is right on every processor.
extern bool viewBlockCopyUsesXmm;
#endif

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
#elif defined(__i386__)
    if (length == 64)
        return (viewBlockCopyUsesXmm ? HarnoxCopyBlockFromViewXmm(destination, source)
                                     : HarnoxCopyBlockFromViewX87(destination, source)) != 0;
#endif
    return CopyFromViewAnyLength(destination, source, length);
}
