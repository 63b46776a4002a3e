// The guarded copy out of a view, in x86 assembly. A fault in one of its two loads
// is resumed by the platform's handler at harnox_copy_view_recover, which returns 0;
// a finished copy returns 1.
//
// The x86-64 body is shared by the Windows and the POSIX file platforms: it uses only
// registers that are volatile in both calling conventions, and no stack, so that each
// handler finds the destination in r9, the source cursor in r10 and the source end in
// r11. Each platform's entry moves its arguments there and falls into the body. The
// i686 copy (Windows only) is written out in file_platform_win32.cpp, with the same labels.
#pragma once

#include <cstdint>

#if defined(__x86_64__)
#define HARNOX_COPY_VIEW_BODY                 \
    "1:  movq %r11, %rax\n"                   \
    "    subq %r10, %rax\n"                   \
    "    cmpq $16, %rax\n"                    \
    "    jb 2f\n"                             \
    "harnox_copy_view_load_wide:\n"           \
    "    movdqu (%r10), %xmm0\n"              \
    "    movdqu %xmm0, (%r9)\n"               \
    "    addq $16, %r10\n"                    \
    "    addq $16, %r9\n"                     \
    "    jmp 1b\n"                            \
    "2:  cmpq %r10, %r11\n"                   \
    "    je 3f\n"                             \
    "harnox_copy_view_load_byte:\n"           \
    "    movzbl (%r10), %eax\n"               \
    "    movb %al, (%r9)\n"                   \
    "    incq %r10\n"                         \
    "    incq %r9\n"                          \
    "    jmp 2b\n"                            \
    "3:  movl $1, %eax\n"                     \
    "    ret\n"                               \
    "harnox_copy_view_recover:\n"             \
    "    xorl %eax, %eax\n"                   \
    "    ret\n"
#endif

// The copy's entry, its two loads and its recovery point.
extern "C" int HarnoxCopyView(void* destination, const void* source, uint32_t length) asm("harnox_copy_view");
extern "C" const char harnoxCopyViewLoadWide[] asm("harnox_copy_view_load_wide");
extern "C" const char harnoxCopyViewLoadByte[] asm("harnox_copy_view_load_byte");
extern "C" const char harnoxCopyViewRecover[] asm("harnox_copy_view_recover");

// True when the instruction is one of the copy's two loads.
inline bool IsCopyViewLoad(uintptr_t instruction)
{
    return instruction == reinterpret_cast<uintptr_t>(harnoxCopyViewLoadWide) ||
           instruction == reinterpret_cast<uintptr_t>(harnoxCopyViewLoadByte);
}
