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
    // Copies from a mapped view; false, with the destination untouched, when reading
    // the view faults (the file shrank, or its device failed). A fault anywhere else
    // is not caught. Reads longer than 2 KiB find lost pages before writing; only a
    // fault that begins during their copy leaves the destination written in part.
    // The same on every platform (view_copy.cpp), over GuardedCopy.
    static bool CopyFromView(void* destination, const unsigned char* source, uint32_t length);
    // Copies under the platform's fault guard: false after a fault in the source,
    // with the destination possibly written in part.
    static bool GuardedCopy(void* destination, const unsigned char* source, uint32_t length);
};
