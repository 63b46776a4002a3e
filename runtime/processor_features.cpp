// Reads CPUID and XGETBV once (runtime/processor_features.h).
#include "runtime/processor_features.h"

#include <cpuid.h>

namespace {

// XCR0. Written as the mnemonic in inline assembly, which the assembler takes
// whatever instruction sets the compiler is told of; only the _xgetbv intrinsic
// would need -mxsave. It faults unless the system has set OSXSAVE.
uint64_t ReadExtendedControlRegister0()
{
    uint32_t low, high;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (static_cast<uint64_t>(high) << 32) | low;
}

ProcessorFeatures Read()
{
    ProcessorFeatures cpu{};
    unsigned eax, ebx, ecx, edx;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx))
        return cpu;
    cpu.signature = eax;
    cpu.sse = (edx & (1u << 25)) != 0;
    cpu.osxsave = (ecx & (1u << 27)) != 0;
    if (cpu.osxsave)
        cpu.savedState = ReadExtendedControlRegister0();
    if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) {
        cpu.avx512f = (ebx & (1u << 16)) != 0;
        cpu.avx512vl = (ebx & (1u << 31)) != 0;
    }
    return cpu;
}

}  // namespace

const ProcessorFeatures& ThisProcessor()
{
    static const ProcessorFeatures cpu = Read();
    return cpu;
}
