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
    static MappingHandle CreateMapping(FileHandle file);
    // A read-only view of `length` bytes at `offset` (a multiple of the granularity);
    // null on failure. A length of 0 maps nothing and fails on every platform (Windows'
    // own 0, "to the end of the file", is never asked for): unmapping and the window
    // need the view's length. The guard below must be in place before the first view.
    static const unsigned char* MapView(MappingHandle mapping, uint64_t offset, uint32_t length);
    static void UnmapView(const unsigned char* view, uint32_t length);
    static void CloseMapping(MappingHandle mapping);
    static void CloseFile(FileHandle file);

    // Puts the fault guard of CopyFromMappedView in place, once per process, over
    // whatever handlers the process has by then; true when it is in place. Without
    // it a fault in a copy would end the program, so the mapped file's Open, its one
    // caller in the program, maps no view until it is in place.
    static bool GuardViewCopies();
    // Copies out of a view that MapView returned (or any memory, once the guard is in
    // place); false, with the destination untouched, when reading the source faults
    // (the file shrank, or its device failed). A fault anywhere else is not caught.
    // Inline, in native_mapped_file.h, over the copies of view_copy.h it chooses between.
    static bool CopyFromMappedView(void* destination, const unsigned char* source, uint32_t length);
};
