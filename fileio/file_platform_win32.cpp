// Windows files and mappings: CreateFileA, GetFileSize, CreateFileMappingA, MapViewOfFile.
#include <windows.h>

#include <cstring>

#include "fileio/file_platform.h"

const NativeFilePlatform::FileHandle NativeFilePlatform::kNoFile =
    reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE);
const NativeFilePlatform::MappingHandle NativeFilePlatform::kNoMapping = 0;

namespace {
HANDLE AsHandle(intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}
}  // namespace

uint32_t NativeFilePlatform::AllocationGranularity()
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwAllocationGranularity;
}

NativeFilePlatform::FileHandle NativeFilePlatform::OpenForReading(const char* name)
{
    HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_READONLY, nullptr);
    return reinterpret_cast<intptr_t>(file);
}

bool NativeFilePlatform::QuerySize(FileHandle file, uint64_t& size)
{
    DWORD high = 0;
    // All ones in the low half is a real size too; only with an error set is it a failure.
    SetLastError(NO_ERROR);
    const DWORD low = GetFileSize(AsHandle(file), &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return false;
    size = (static_cast<uint64_t>(high) << 32) | low;
    return true;
}

NativeFilePlatform::MappingHandle NativeFilePlatform::CreateMapping(FileHandle file, uint64_t)
{
    HANDLE mapping = CreateFileMappingA(AsHandle(file), nullptr, PAGE_READONLY, 0, 0, nullptr);
    return reinterpret_cast<intptr_t>(mapping);
}

const unsigned char* NativeFilePlatform::MapView(MappingHandle mapping, uint64_t offset, uint32_t length)
{
    void* view = MapViewOfFile(AsHandle(mapping), FILE_MAP_READ, static_cast<DWORD>(offset >> 32),
                               static_cast<DWORD>(offset), length);
    return static_cast<const unsigned char*>(view);
}

void NativeFilePlatform::UnmapView(const unsigned char* view, uint32_t)
{
    UnmapViewOfFile(view);
}

void NativeFilePlatform::CloseMapping(MappingHandle mapping)
{
    CloseHandle(AsHandle(mapping));
}

void NativeFilePlatform::CloseFile(FileHandle file)
{
    CloseHandle(AsHandle(file));
}

bool NativeFilePlatform::CopyFromView(void* destination, const unsigned char* source, uint32_t length)
{
    std::memcpy(destination, source, length);
    return true;
}
