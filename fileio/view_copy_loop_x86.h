// The guarded copies out of a view, in x86 assembly. A fault in one of their loads
// is resumed by the platform's handler at harnox_copy_view_recover, which returns 0;
// a finished copy returns 1.
//
// The x86-64 bodies are shared by the Windows and the POSIX file platforms: they use
// only registers that are volatile in both calling conventions, and no stack, so that
// each handler finds the destination in r9, the first source byte not yet copied in
// r10 and the source end in r11. Each platform's entry moves its arguments there
// (the length too, in r8) and falls into a body. The i686 copy (Windows only) is
// written out in file_platform_win32.cpp, with the same labels.
//
// Two copies:
//   - harnox_copy_view, a loop for any length, which stores as it goes;
//   - harnox_copy_view_short (x86-64), for at most kShortViewCopy bytes, which loads
//     the whole range into registers before it stores a byte, so that a fault leaves
//     the destination untouched. Its loads are anchored at the source's start (r10)
//     and end (r11) and overlap where the length is not a size of theirs; all of them
//     lie between harnox_copy_view_short_loads and harnox_copy_view_short_loads_end,
//     where no other instruction touches memory.
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

// 128 bytes need every volatile register of Win64 that can hold them: xmm0 to xmm5
// and four general ones (xmm6 and up are the caller's there). The destination's end
// replaces the source's in r11 once every load is done.
#define HARNOX_COPY_VIEW_SHORT_BODY           \
    "    cmpl $64, %r8d\n"                    \
    "    je 10f\n"                            \
    "    ja 11f\n"                            \
    "    cmpl $32, %r8d\n"                    \
    "    jae 12f\n"                           \
    "    cmpl $16, %r8d\n"                    \
    "    jae 13f\n"                           \
    "    cmpl $8, %r8d\n"                     \
    "    jae 14f\n"                           \
    "    cmpl $4, %r8d\n"                     \
    "    jae 15f\n"                           \
    "    cmpl $2, %r8d\n"                     \
    "    jae 16f\n"                           \
    "    testl %r8d, %r8d\n"                  \
    "    jne 17f\n"                           \
    "    movl $1, %eax\n"                     \
    "    ret\n"                               \
    "harnox_copy_view_short_loads:\n"         \
    "10: movdqu (%r10), %xmm0\n"              \
    "    movdqu 16(%r10), %xmm1\n"            \
    "    movdqu 32(%r10), %xmm2\n"            \
    "    movdqu 48(%r10), %xmm3\n"            \
    "    jmp 20f\n"                           \
    "11: movdqu (%r10), %xmm0\n"              \
    "    movdqu 16(%r10), %xmm1\n"            \
    "    movdqu 32(%r10), %xmm2\n"            \
    "    movdqu 48(%r10), %xmm3\n"            \
    "    movdqu -64(%r11), %xmm4\n"           \
    "    movdqu -48(%r11), %xmm5\n"           \
    "    movq -32(%r11), %rax\n"              \
    "    movq -24(%r11), %rcx\n"              \
    "    movq -16(%r11), %rdx\n"              \
    "    movq -8(%r11), %r8\n"                \
    "    jmp 21f\n"                           \
    "12: movdqu (%r10), %xmm0\n"              \
    "    movdqu 16(%r10), %xmm1\n"            \
    "    movdqu -32(%r11), %xmm2\n"           \
    "    movdqu -16(%r11), %xmm3\n"           \
    "    jmp 22f\n"                           \
    "13: movdqu (%r10), %xmm0\n"              \
    "    movdqu -16(%r11), %xmm1\n"           \
    "    jmp 23f\n"                           \
    "14: movq (%r10), %rax\n"                 \
    "    movq -8(%r11), %rcx\n"               \
    "    jmp 24f\n"                           \
    "15: movl (%r10), %eax\n"                 \
    "    movl -4(%r11), %ecx\n"               \
    "    jmp 25f\n"                           \
    "16: movzwl (%r10), %eax\n"               \
    "    movzwl -2(%r11), %ecx\n"             \
    "    jmp 26f\n"                           \
    "17: movzbl (%r10), %eax\n"               \
    "harnox_copy_view_short_loads_end:\n"     \
    "    movb %al, (%r9)\n"                   \
    "    movl $1, %eax\n"                     \
    "    ret\n"                               \
    "20: movdqu %xmm0, (%r9)\n"               \
    "    movdqu %xmm1, 16(%r9)\n"             \
    "    movdqu %xmm2, 32(%r9)\n"             \
    "    movdqu %xmm3, 48(%r9)\n"             \
    "    movl $1, %eax\n"                     \
    "    ret\n"                               \
    "21: subq %r10, %r11\n"                   \
    "    addq %r9, %r11\n"                    \
    "    movdqu %xmm0, (%r9)\n"               \
    "    movdqu %xmm1, 16(%r9)\n"             \
    "    movdqu %xmm2, 32(%r9)\n"             \
    "    movdqu %xmm3, 48(%r9)\n"             \
    "    movdqu %xmm4, -64(%r11)\n"           \
    "    movdqu %xmm5, -48(%r11)\n"           \
    "    movq %rax, -32(%r11)\n"              \
    "    movq %rcx, -24(%r11)\n"              \
    "    movq %rdx, -16(%r11)\n"              \
    "    movq %r8, -8(%r11)\n"                \
    "    movl $1, %eax\n"                     \
    "    ret\n"                               \
    "22: subq %r10, %r11\n"                   \
    "    addq %r9, %r11\n"                    \
    "    movdqu %xmm0, (%r9)\n"               \
    "    movdqu %xmm1, 16(%r9)\n"             \
    "    movdqu %xmm2, -32(%r11)\n"           \
    "    movdqu %xmm3, -16(%r11)\n"           \
    "    movl $1, %eax\n"                     \
    "    ret\n"                               \
    "23: subq %r10, %r11\n"                   \
    "    addq %r9, %r11\n"                    \
    "    movdqu %xmm0, (%r9)\n"               \
    "    movdqu %xmm1, -16(%r11)\n"           \
    "    movl $1, %eax\n"                     \
    "    ret\n"                               \
    "24: subq %r10, %r11\n"                   \
    "    addq %r9, %r11\n"                    \
    "    movq %rax, (%r9)\n"                  \
    "    movq %rcx, -8(%r11)\n"               \
    "    movl $1, %eax\n"                     \
    "    ret\n"                               \
    "25: subq %r10, %r11\n"                   \
    "    addq %r9, %r11\n"                    \
    "    movl %eax, (%r9)\n"                  \
    "    movl %ecx, -4(%r11)\n"               \
    "    movl $1, %eax\n"                     \
    "    ret\n"                               \
    "26: subq %r10, %r11\n"                   \
    "    addq %r9, %r11\n"                    \
    "    movw %ax, (%r9)\n"                   \
    "    movw %cx, -2(%r11)\n"                \
    "    movl $1, %eax\n"                     \
    "    ret\n"

extern "C" const char harnoxCopyViewShortLoads[] asm("harnox_copy_view_short_loads");
extern "C" const char harnoxCopyViewShortLoadsEnd[] asm("harnox_copy_view_short_loads_end");
#endif

// The loop's entry, its two loads and the recovery point of both copies.
extern "C" int HarnoxCopyView(void* destination, const void* source, uint32_t length) asm("harnox_copy_view");
extern "C" const char harnoxCopyViewLoadWide[] asm("harnox_copy_view_load_wide");
extern "C" const char harnoxCopyViewLoadByte[] asm("harnox_copy_view_load_byte");
extern "C" const char harnoxCopyViewRecover[] asm("harnox_copy_view_recover");

// True when the instruction is one of the copies' loads.
inline bool IsCopyViewLoad(uintptr_t instruction)
{
#if defined(__x86_64__)
    if (instruction >= reinterpret_cast<uintptr_t>(harnoxCopyViewShortLoads) &&
        instruction < reinterpret_cast<uintptr_t>(harnoxCopyViewShortLoadsEnd))
        return true;
#endif
    return instruction == reinterpret_cast<uintptr_t>(harnoxCopyViewLoadWide) ||
           instruction == reinterpret_cast<uintptr_t>(harnoxCopyViewLoadByte);
}
