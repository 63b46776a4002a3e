// Copies out of a mapped view that leave the destination untouched when the view
// fails under them (fileio/view_copy.h). The copies are written in assembly, the
// same for Windows and POSIX, so that a fault in one of their loads can be resumed
// at a known point: each platform's handler (file_platform_*.cpp) asks RecoveryPointOf
// in view_copy_x86.h where, and checks the address against the source registers.
#include "fileio/view_copy.h"

#include <cstring>

namespace {
// Reads up to this long that are not whole blocks go through a buffer on the stack,
// so that a fault part way through leaves the caller's destination untouched.
constexpr uint32_t kBounceLength = 2048;
// Longer reads first touch every page of their range; 4 KiB is the smallest page size.
constexpr uint64_t kProbeStride = 4096;
}  // namespace

bool CopyFromViewAnyLength(void* destination, const unsigned char* source, uint32_t length)
{
    if (length <= kBounceLength) {
        unsigned char bounce[kBounceLength];
        if (!HarnoxCopyRangeFromView(bounce, source, length))
            return false;
        std::memcpy(destination, bounce, length);
        return true;
    }
    unsigned char probe;
    for (uint64_t at = 0; at < length; at += kProbeStride)
        if (!HarnoxCopyRangeFromView(&probe, source + at, 1))
            return false;
    return HarnoxCopyRangeFromView(&probe, source + length - 1, 1) &&
           HarnoxCopyRangeFromView(destination, source, length);
}

#if defined(__x86_64__)
// x86-64: every copy keeps the destination in r9, the first source byte not yet
// copied in r10 and the source's end in r11, registers volatile in both calling
// conventions, and touches no stack; the entries move their arguments there.
#if defined(_WIN64)
#define HARNOX_BLOCK_ENTRY "movq %rcx, %r9\n movq %rdx, %r10\n"
#define HARNOX_RANGE_ENTRY "movq %rcx, %r9\n movq %rdx, %r10\n movl %r8d, %r11d\n"
#else
#define HARNOX_BLOCK_ENTRY "movq %rdi, %r9\n movq %rsi, %r10\n"
#define HARNOX_RANGE_ENTRY "movq %rdi, %r9\n movq %rsi, %r10\n movl %edx, %r11d\n"
#endif
asm(".text\n"
    ".p2align 4\n"
    ".globl harnox_copy_block_from_view\n"
    "harnox_copy_block_from_view:\n"
    HARNOX_BLOCK_ENTRY
    "    leaq 64(%r10), %r11\n"
    ".globl harnox_copy_block_loads\n"
    "harnox_copy_block_loads:\n"
    "    movdqu (%r10), %xmm0\n"
    "    movdqu 16(%r10), %xmm1\n"
    "    movdqu 32(%r10), %xmm2\n"
    "    movdqu 48(%r10), %xmm3\n"
    ".globl harnox_copy_block_loads_end\n"
    "harnox_copy_block_loads_end:\n"
    "    movdqu %xmm0, (%r9)\n"
    "    movdqu %xmm1, 16(%r9)\n"
    "    movdqu %xmm2, 32(%r9)\n"
    "    movdqu %xmm3, 48(%r9)\n"
    "    movl $1, %eax\n"
    "    ret\n"
    "    .p2align 4\n"
    ".globl harnox_copy_range_from_view\n"
    "harnox_copy_range_from_view:\n"
    HARNOX_RANGE_ENTRY
    "    addq %r10, %r11\n"
    "1:  movq %r11, %rax\n"
    "    subq %r10, %rax\n"
    "    cmpq $16, %rax\n"
    "    jb 2f\n"
    ".globl harnox_copy_range_load_wide\n"
    "harnox_copy_range_load_wide:\n"
    "    movdqu (%r10), %xmm0\n"
    "    movdqu %xmm0, (%r9)\n"
    "    addq $16, %r10\n"
    "    addq $16, %r9\n"
    "    jmp 1b\n"
    "2:  cmpq %r10, %r11\n"
    "    je 3f\n"
    ".globl harnox_copy_range_load_byte\n"
    "harnox_copy_range_load_byte:\n"
    "    movzbl (%r10), %eax\n"
    "    movb %al, (%r9)\n"
    "    incq %r10\n"
    "    incq %r9\n"
    "    jmp 2b\n"
    "3:  movl $1, %eax\n"
    "    ret\n"
    ".globl harnox_copy_recover\n"
    "harnox_copy_recover:\n"
    "    xorl %eax, %eax\n"
    "    ret\n");
#elif defined(__i386__)
// i686, cdecl on Windows and Linux alike: every copy keeps the first source byte not
// yet copied in edx and the source's end in ecx. The block copies are leaves that
// keep the destination in eax; the range copy keeps it in esi, which it saves.
bool viewBlockCopyUsesXmm = false;

asm(R"(
    .text
    .p2align 4
    .globl harnox_copy_block_from_view_xmm
harnox_copy_block_from_view_xmm:
    movl 4(%esp), %eax
    movl 8(%esp), %edx
    leal 64(%edx), %ecx
    .globl harnox_copy_block_xmm_loads
harnox_copy_block_xmm_loads:
    movups (%edx), %xmm0
    movups 16(%edx), %xmm1
    movups 32(%edx), %xmm2
    movups 48(%edx), %xmm3
    .globl harnox_copy_block_xmm_loads_end
harnox_copy_block_xmm_loads_end:
    movups %xmm0, (%eax)
    movups %xmm1, 16(%eax)
    movups %xmm2, 32(%eax)
    movups %xmm3, 48(%eax)
    movl $1, %eax
    ret
    .globl harnox_copy_recover
harnox_copy_recover:
    xorl %eax, %eax
    ret

    .p2align 4
    .globl harnox_copy_block_from_view_x87
harnox_copy_block_from_view_x87:
    movl 4(%esp), %eax
    movl 8(%esp), %edx
    leal 64(%edx), %ecx
    .globl harnox_copy_block_x87_loads
harnox_copy_block_x87_loads:
    fildq (%edx)
    fildq 8(%edx)
    fildq 16(%edx)
    fildq 24(%edx)
    fildq 32(%edx)
    fildq 40(%edx)
    fildq 48(%edx)
    fildq 56(%edx)
    .globl harnox_copy_block_x87_loads_end
harnox_copy_block_x87_loads_end:
    fistpq 56(%eax)
    fistpq 48(%eax)
    fistpq 40(%eax)
    fistpq 32(%eax)
    fistpq 24(%eax)
    fistpq 16(%eax)
    fistpq 8(%eax)
    fistpq (%eax)
    movl $1, %eax
    ret
# The x87 stack was empty on entry, as the calling convention has it: what the
# loads before the fault pushed is popped until the top register is empty again.
    .globl harnox_copy_x87_recover
harnox_copy_x87_recover:
1:  fxam
    fnstsw %ax
    andw $0x4500, %ax
    cmpw $0x4100, %ax
    je 2f
    fstp %st(0)
    jmp 1b
2:  xorl %eax, %eax
    ret

    .p2align 4
    .globl harnox_copy_range_from_view
harnox_copy_range_from_view:
    pushl %esi
    movl 8(%esp), %esi
    movl 12(%esp), %edx
    movl 16(%esp), %ecx
    addl %edx, %ecx
1:  movl %ecx, %eax
    subl %edx, %eax
    cmpl $4, %eax
    jb 2f
    .globl harnox_copy_range_load_wide
harnox_copy_range_load_wide:
    movl (%edx), %eax
    movl %eax, (%esi)
    addl $4, %edx
    addl $4, %esi
    jmp 1b
2:  cmpl %edx, %ecx
    je 3f
    .globl harnox_copy_range_load_byte
harnox_copy_range_load_byte:
    movzbl (%edx), %eax
    movb %al, (%esi)
    incl %edx
    incl %esi
    jmp 2b
3:  movl $1, %eax
    popl %esi
    ret
    .globl harnox_copy_range_recover
harnox_copy_range_recover:
    xorl %eax, %eax
    popl %esi
    ret
)");
#endif
