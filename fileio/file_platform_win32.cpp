// Windows files and mappings: CreateFileA, GetFileSize, CreateFileMappingA, MapViewOfFile;
// copies out of a view survive an in-page error or access violation in the view.
#include <windows.h>

#include <cstring>

#include "fileio/file_platform.h"
#include "fileio/view_copy_loop_x86.h"

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
    // Before the first view exists, so that no read of a view goes unguarded.
    GuardViewCopies();
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

// The guarded copy is written in assembly so that a fault in it can be resumed at a
// known point: the handler below sends a fault in one of its loads to the recovery
// point, which returns 0. The source cursor and the source end stay in registers,
// for the handler to check the address. (A short `rep movsb` costs several times
// this loop.)
#ifdef _WIN64
// The copies of view_copy_loop_x86.h; the entries take destination rcx, source rdx,
// length r8d. Both are leaves that touch no stack and only volatile registers.
asm(".text\n"
    ".p2align 4\n"
    "harnox_copy_view:\n"
    "    movq %rcx, %r9\n"
    "    movq %rdx, %r10\n"
    "    movl %r8d, %r11d\n"
    "    addq %r10, %r11\n"
    HARNOX_COPY_VIEW_BODY
    "    .p2align 4\n"
    "    .globl harnox_copy_view_short\n"
    "harnox_copy_view_short:\n"
    "    movq %rcx, %r9\n"
    "    movq %rdx, %r10\n"
    "    movl %r8d, %r8d\n"
    "    leaq (%r10,%r8), %r11\n"
    HARNOX_COPY_VIEW_SHORT_BODY);
#else
// cdecl: destination, source, length on the stack; the source end in esi, saved.
asm(R"(
    .text
    .p2align 4
harnox_copy_view:
    pushl %esi
    movl 8(%esp), %ecx
    movl 12(%esp), %edx
    movl 16(%esp), %esi
    addl %edx, %esi
1:  movl %esi, %eax
    subl %edx, %eax
    cmpl $4, %eax
    jb 2f
harnox_copy_view_load_wide:
    movl (%edx), %eax
    movl %eax, (%ecx)
    addl $4, %edx
    addl $4, %ecx
    jmp 1b
2:  cmpl %edx, %esi
    je 3f
harnox_copy_view_load_byte:
    movzbl (%edx), %eax
    movb %al, (%ecx)
    incl %edx
    incl %ecx
    jmp 2b
3:  movl $1, %eax
    popl %esi
    ret
harnox_copy_view_recover:
    xorl %eax, %eax
    popl %esi
    ret
)");
#endif

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
    const uintptr_t end = context->Esi;
#endif
    if (!IsCopyViewLoad(instruction))
        return EXCEPTION_CONTINUE_SEARCH;
    // The bytes not yet copied run from next to end.
    const uintptr_t address = record->ExceptionInformation[1];
    if (address < next || address >= end)
        return EXCEPTION_CONTINUE_SEARCH;
    instruction = reinterpret_cast<uintptr_t>(harnoxCopyViewRecover);
    return EXCEPTION_CONTINUE_EXECUTION;
}
}  // namespace

void NativeFilePlatform::GuardViewCopies()
{
    // First in line, so that only faults of the copies are taken.
    static const bool installed = AddVectoredExceptionHandler(1, OnViewFault) != nullptr;
    (void)installed;
}

bool NativeFilePlatform::GuardedCopy(void* destination, const unsigned char* source, uint32_t length)
{
    return HarnoxCopyView(destination, source, length) != 0;
}
