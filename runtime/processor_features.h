// What the processor and the operating system report through CPUID and XGETBV, read
// once for the whole program: the engine chooses its compression by it, and the
// 32-bit view copy chooses between XMM registers and the x87 unit.
#pragma once

#include <cstdint>

struct ProcessorFeatures {
    uint32_t signature;   // CPUID 1, EAX: stepping, model, family, extended model and family
    bool sse;             // CPUID 1, EDX bit 25: the XMM registers and MOVUPS
    bool osxsave;         // CPUID 1, ECX bit 27: the system manages XSAVE state and allows XGETBV
    uint64_t savedState;  // XCR0 by XGETBV: the register states the system saves (0 without OSXSAVE)
    bool avx512f;         // CPUID 7.0, EBX bit 16
    bool avx512vl;        // CPUID 7.0, EBX bit 31
};

// XCR0's bit for the XMM registers.
inline constexpr uint64_t kSavedXmmState = uint64_t{1} << 1;

// Read on first use, then kept; all zero on a processor without CPUID.
const ProcessorFeatures& ThisProcessor();
