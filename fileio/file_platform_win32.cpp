// Windows files and mappings: CreateFileA, GetFileSize, CreateFileMappingA, MapViewOfFile;
// copies out of a view (view_copy.cpp) survive an in-page error or access violation
// in the view.
#include <windows.h>

#include <cstring>

#include "fileio/file_platform.h"
#include "fileio/view_copy.h"
#include "fileio/view_copy_x86.h"
#include "runtime/processor_features.h"

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

NativeFilePlatform::MappingHandle NativeFilePlatform::CreateMapping(FileHandle file)
{
    HANDLE mapping = CreateFileMappingA(AsHandle(file), nullptr, PAGE_READONLY, 0, 0, nullptr);
    return reinterpret_cast<intptr_t>(mapping);
}

const unsigned char* NativeFilePlatform::MapView(MappingHandle mapping, uint64_t offset, uint32_t length)
{
    // MapViewOfFile would map a length of 0 to the end of the file.
    if (length == 0)
        return nullptr;
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

namespace {
// Resumes the guarded copy after an in-page error (the file's device failed) or an
// access violation, when the faulting instruction was one of the copy's loads and
// the address lies in what remained of its source. Everything else goes on.
LONG CALLBACK OnViewFault(EXCEPTION_POINTERS* pointers)
{
    const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    const DWORD code = record->ExceptionCode;
    if (code != EXCEPTION_IN_PAGE_ERROR && code != EXCEPTION_ACCESS_VIOLATION)
        return EXCEPTION_CONTINUE_SEARCH;
    if (record->NumberParameters < 2 || record->ExceptionInformation[0] != 0)  // not a read
        return EXCEPTION_CONTINUE_SEARCH;
    CONTEXT* context = pointers->ContextRecord;
#ifdef _WIN64
    DWORD64& instruction = context->Rip;
    const uintptr_t next = context->R10;
    const uintptr_t end = context->R11;
#else
    DWORD& instruction = context->Eip;
    const uintptr_t next = context->Edx;
    const uintptr_t end = context->Ecx;
#endif
    const uintptr_t recovery = RecoveryPointOf(instruction);
    if (recovery == 0)
        return EXCEPTION_CONTINUE_SEARCH;
    // The bytes not yet copied run from next to end.
    const uintptr_t address = record->ExceptionInformation[1];
    if (address < next || address >= end)
        return EXCEPTION_CONTINUE_SEARCH;
    instruction = recovery;
    return EXCEPTION_CONTINUE_EXECUTION;
}
}  // namespace

bool NativeFilePlatform::GuardViewCopies()
{
    static const bool installed = [] {
#ifndef _WIN64
        // Windows reports SSE only where it saves the XMM registers of each thread.
        viewBlockCopyUsesXmm = ThisProcessor().sse && IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE);
#endif
        // First in line, so that only faults of the copies are taken.
        return AddVectoredExceptionHandler(1, OnViewFault) != nullptr;
    }();
    return installed;
}
