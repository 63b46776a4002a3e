// The real file platform, with failures that tests switch on, and counts of what
// is held so that leaks show.
#pragma once

#include <cstdint>

#include "fileio/native_mapped_file.h"

struct FlakyFilePlatform : NativeFilePlatform {
    static inline uint32_t longestMappableView = UINT32_MAX;  // longer views fail to map
    static inline int mapsBeforeFailure = -1;                 // -1: never fail; else fail after this many
    static inline bool sizeQueryFails = false;
    static inline bool mappingFails = false;
    static inline bool guardFails = false;  // as if the copies' fault handler could not be installed
    static inline int filesHeld = 0;
    static inline int mappingsHeld = 0;
    static inline int viewsHeld = 0;
    static inline int viewsMapped = 0;

    static void Reset()
    {
        longestMappableView = UINT32_MAX;
        mapsBeforeFailure = -1;
        sizeQueryFails = mappingFails = guardFails = false;
        filesHeld = mappingsHeld = viewsHeld = viewsMapped = 0;
    }

    static FileHandle OpenForReading(const char* name)
    {
        const FileHandle file = NativeFilePlatform::OpenForReading(name);
        filesHeld += file != kNoFile;
        return file;
    }
    static bool QuerySize(FileHandle file, uint64_t& size)
    {
        return !sizeQueryFails && NativeFilePlatform::QuerySize(file, size);
    }
    static MappingHandle CreateMapping(FileHandle file)
    {
        if (mappingFails)
            return kNoMapping;
        const MappingHandle mapping = NativeFilePlatform::CreateMapping(file);
        mappingsHeld += mapping != kNoMapping;
        return mapping;
    }
    static bool GuardViewCopies() { return !guardFails && NativeFilePlatform::GuardViewCopies(); }
    static const unsigned char* MapView(MappingHandle mapping, uint64_t offset, uint32_t length)
    {
        if (length > longestMappableView)
            return nullptr;
        if (mapsBeforeFailure == 0)
            return nullptr;
        if (mapsBeforeFailure > 0)
            --mapsBeforeFailure;
        const unsigned char* view = NativeFilePlatform::MapView(mapping, offset, length);
        viewsHeld += view != nullptr;
        viewsMapped += view != nullptr;
        return view;
    }
    static void UnmapView(const unsigned char* view, uint32_t length)
    {
        --viewsHeld;
        NativeFilePlatform::UnmapView(view, length);
    }
    static void CloseMapping(MappingHandle mapping)
    {
        --mappingsHeld;
        NativeFilePlatform::CloseMapping(mapping);
    }
    static void CloseFile(FileHandle file)
    {
        --filesHeld;
        NativeFilePlatform::CloseFile(file);
    }
};
