// Calls a copy of view_copy.cpp with every register that the calling convention has
// the callee keep set to a known value, and reports which of them the copy changed:
// one bit per register, as numbered below. On i686, bit 4 also reports a value left
// on the x87 stack, which the caller must find empty.
#pragma once

#include <cstdint>

extern "C" uint32_t CallKeepingRegisters(const void* copy, void* destination, const void* source, uint32_t length,
                                         int* result) asm("harnox_test_call_keeping_registers");

#if defined(__x86_64__)
// Each kept register n holds n * 0x0101010101010101 + 0x0123456789ABCDEF during the call.
asm(R"(
    .macro HARNOX_SET register, n
    movabsq $(\n * 0x0101010101010101 + 0x0123456789ABCDEF), %\register
    .endm
    .macro HARNOX_CHECK register, n
    movabsq $(\n * 0x0101010101010101 + 0x0123456789ABCDEF), %rcx
    cmpq %rcx, %\register
    je 1f
    orl $(1 << \n), %eax
1:
    .endm
    .macro HARNOX_SET_XMM register, n
    movabsq $(\n * 0x0101010101010101 + 0x0123456789ABCDEF), %r10
    movq %r10, %\register
    punpcklqdq %\register, %\register
    .endm
    .macro HARNOX_CHECK_XMM register, n
    HARNOX_SET_XMM xmm0, \n
    pcmpeqb %\register, %xmm0
    pmovmskb %xmm0, %ecx
    cmpl $0xffff, %ecx
    je 1f
    orl $(1 << \n), %eax
1:
    .endm
    .text
    .p2align 4
harnox_test_call_keeping_registers:
)"
#if defined(_WIN64)
    // Win64: rbx, rbp, rdi, rsi, r12 to r15 (bits 0 to 7), xmm6 to xmm15 (bits 8 to
    // 17). Arguments in rcx, rdx, r8, r9 and the result pointer at 40(%rsp); the
    // callee gets 32 bytes of home space. Entry rsp is 8 mod 16: 8 pushes and 200
    // bytes (home, ten saved xmm, the result pointer) align it.
    R"(
    pushq %rbx; pushq %rbp; pushq %rdi; pushq %rsi; pushq %r12; pushq %r13; pushq %r14; pushq %r15
    subq $200, %rsp
    .irp n, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15
    movdqu %xmm\n, (32 + 16 * (\n - 6))(%rsp)
    HARNOX_SET_XMM xmm\n, (\n + 2)
    .endr
    movq 304(%rsp), %rax
    movq %rax, 192(%rsp)
    movq %rcx, %rax
    movq %rdx, %rcx
    movq %r8, %rdx
    movl %r9d, %r8d
    HARNOX_SET rbx, 0; HARNOX_SET rbp, 1; HARNOX_SET rdi, 2; HARNOX_SET rsi, 3
    HARNOX_SET r12, 4; HARNOX_SET r13, 5; HARNOX_SET r14, 6; HARNOX_SET r15, 7
    callq *%rax
    movq 192(%rsp), %r8
    movl %eax, (%r8)
    xorl %eax, %eax
    HARNOX_CHECK rbx, 0; HARNOX_CHECK rbp, 1; HARNOX_CHECK rdi, 2; HARNOX_CHECK rsi, 3
    HARNOX_CHECK r12, 4; HARNOX_CHECK r13, 5; HARNOX_CHECK r14, 6; HARNOX_CHECK r15, 7
    .irp n, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15
    HARNOX_CHECK_XMM xmm\n, (\n + 2)
    movdqu (32 + 16 * (\n - 6))(%rsp), %xmm\n
    .endr
    addq $200, %rsp
    popq %r15; popq %r14; popq %r13; popq %r12; popq %rsi; popq %rdi; popq %rbp; popq %rbx
    ret
)");
#else
    // System V: rbx, rbp, r12 to r15 (bits 0 to 5). Arguments in rdi, rsi, rdx, rcx,
    // r8; six pushes and the result pointer align the stack for the call.
    R"(
    pushq %rbx; pushq %rbp; pushq %r12; pushq %r13; pushq %r14; pushq %r15
    pushq %r8
    movq %rdi, %rax
    movq %rsi, %rdi
    movq %rdx, %rsi
    movl %ecx, %edx
    HARNOX_SET rbx, 0; HARNOX_SET rbp, 1; HARNOX_SET r12, 2
    HARNOX_SET r13, 3; HARNOX_SET r14, 4; HARNOX_SET r15, 5
    callq *%rax
    popq %r8
    movl %eax, (%r8)
    xorl %eax, %eax
    HARNOX_CHECK rbx, 0; HARNOX_CHECK rbp, 1; HARNOX_CHECK r12, 2
    HARNOX_CHECK r13, 3; HARNOX_CHECK r14, 4; HARNOX_CHECK r15, 5
    popq %r15; popq %r14; popq %r13; popq %r12; popq %rbp; popq %rbx
    ret
)");
#endif
#elif defined(__i386__)
// cdecl: ebx, esi, edi, ebp (bits 0 to 3), each holding n * 0x11111111 + 0x01234567;
// the x87 tag word must show every register empty afterwards (bit 4).
asm(R"(
    .macro HARNOX_CHECK register, n
    cmpl $(\n * 0x11111111 + 0x01234567), %\register
    je 1f
    orl $(1 << \n), %eax
1:
    .endm
    .text
    .p2align 4
harnox_test_call_keeping_registers:
    pushl %ebx; pushl %esi; pushl %edi; pushl %ebp
    movl 20(%esp), %eax
    pushl 32(%esp); pushl 32(%esp); pushl 32(%esp)
    movl $0x01234567, %ebx
    movl $(0x11111111 + 0x01234567), %esi
    movl $(2 * 0x11111111 + 0x01234567), %edi
    movl $(3 * 0x11111111 + 0x01234567), %ebp
    call *%eax
    addl $12, %esp
    movl 36(%esp), %ecx
    movl %eax, (%ecx)
    xorl %eax, %eax
    HARNOX_CHECK ebx, 0; HARNOX_CHECK esi, 1; HARNOX_CHECK edi, 2; HARNOX_CHECK ebp, 3
    subl $28, %esp
    fnstenv (%esp)
    movl 8(%esp), %ecx
    fldenv (%esp)
    addl $28, %esp
    cmpw $0xffff, %cx
    je 1f
    orl $16, %eax
1:
    popl %ebp; popl %edi; popl %esi; popl %ebx
    ret
)");
#endif
