// The thin seam between the mapped file window and the operating system's files
// and mappings. One implementation per platform: file_platform_win32.cpp and
// file_platform_posix.cpp. Tests stand in for it with a struct of the same shape.
#pragma once

#include <cstdint>

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
    // Copies from a mapped view; false, with the destination untouched, when reading
    // the view faults (the file shrank, or its device failed). A fault anywhere else
    // is not caught. Reads longer than 2 KiB find lost pages before writing; only a
    // fault that begins during their copy leaves the destination written in part.
    // For any memory: puts the guard in place first.
    static bool CopyFromView(void* destination, const unsigned char* source, uint32_t length);
    // The same, for a view that MapView returned, when the guard is in place already:
    // the copy of every read of the mapped window, inline up to kShortViewCopy bytes
    // on x86-64.
    static bool CopyFromMappedView(void* destination, const unsigned char* source, uint32_t length);
    // CopyFromMappedView for the lengths that it does not copy inline (view_copy.cpp,
    // the same on every platform, over GuardedCopy).
    static bool CopyLongFromView(void* destination, const unsigned char* source, uint32_t length);
    // Copies under the platform's fault guard: false after a fault in the source,
    // with the destination possibly written in part.
    static bool GuardedCopy(void* destination, const unsigned char* source, uint32_t length);
};

#if defined(__x86_64__)
// Up to this length a copy loads its whole range before it stores anything, so that
// a fault leaves the destination untouched at no extra cost (view_copy_loop_x86.h).
inline constexpr uint32_t kShortViewCopy = 128;
extern "C" int HarnoxCopyViewShort(void* destination, const void* source, uint32_t length) asm("harnox_copy_view_short");
#endif

inline bool NativeFilePlatform::CopyFromMappedView(void* destination, const unsigned char* source, uint32_t length)
{
#if defined(__x86_64__)
    if (length <= kShortViewCopy)
        return HarnoxCopyViewShort(destination, source, length) != 0;
#endif
    return CopyLongFromView(destination, source, length);
}
