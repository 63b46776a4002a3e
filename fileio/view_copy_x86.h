// Where the x86 copies of view_copy.cpp load from their source, and where a fault in
// each load resumes: the platform's handler moves a faulting load's instruction
// pointer to its recovery point, which returns 0. No other instruction between a
// range's bounds touches memory.
#pragma once

#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
extern "C" const char harnoxCopyRangeLoadWide[] asm("harnox_copy_range_load_wide");
extern "C" const char harnoxCopyRangeLoadByte[] asm("harnox_copy_range_load_byte");
extern "C" const char harnoxCopyRecover[] asm("harnox_copy_recover");
#if defined(__x86_64__)
extern "C" const char harnoxCopyBlockLoads[] asm("harnox_copy_block_loads");
extern "C" const char harnoxCopyBlockLoadsEnd[] asm("harnox_copy_block_loads_end");
#else
extern "C" const char harnoxCopyBlockXmmLoads[] asm("harnox_copy_block_xmm_loads");
extern "C" const char harnoxCopyBlockXmmLoadsEnd[] asm("harnox_copy_block_xmm_loads_end");
extern "C" const char harnoxCopyBlockX87Loads[] asm("harnox_copy_block_x87_loads");
extern "C" const char harnoxCopyBlockX87LoadsEnd[] asm("harnox_copy_block_x87_loads_end");
extern "C" const char harnoxCopyX87Recover[] asm("harnox_copy_x87_recover");
extern "C" const char harnoxCopyRangeRecover[] asm("harnox_copy_range_recover");
#endif

// The recovery point of the load at `instruction`, or 0 when it is none of the copies' loads.
inline uintptr_t RecoveryPointOf(uintptr_t instruction)
{
    auto at = [](const char* label) { return reinterpret_cast<uintptr_t>(label); };
    const bool rangeLoad = instruction == at(harnoxCopyRangeLoadWide) || instruction == at(harnoxCopyRangeLoadByte);
#if defined(__x86_64__)
    if (rangeLoad || (instruction >= at(harnoxCopyBlockLoads) && instruction < at(harnoxCopyBlockLoadsEnd)))
        return at(harnoxCopyRecover);
#else
    if (rangeLoad)
        return at(harnoxCopyRangeRecover);
    if (instruction >= at(harnoxCopyBlockXmmLoads) && instruction < at(harnoxCopyBlockXmmLoadsEnd))
        return at(harnoxCopyRecover);
    if (instruction >= at(harnoxCopyBlockX87Loads) && instruction < at(harnoxCopyBlockX87LoadsEnd))
        return at(harnoxCopyX87Recover);
#endif
    return 0;
}

#if defined(__i386__)
// CPUID's SSE bit: the processor has the XMM registers and MOVUPS, all the block
// copy needs of them. The system must also save them, which each platform asks.
inline bool ProcessorReportsSse()
{
    uint32_t eax, ebx, ecx, edx;
    asm("cpuid" : "=a"(eax), "=b"(ebx), "=c"(ecx), "=d"(edx) : "a"(1), "c"(0));
    return (edx >> 25) & 1;
}

// False only where the system uses XSAVE and leaves the XMM registers out of it.
inline bool SystemEnabledXmmThroughXsave()
{
    uint32_t eax, ebx, ecx, edx;
    asm("cpuid" : "=a"(eax), "=b"(ebx), "=c"(ecx), "=d"(edx) : "a"(1), "c"(0));
    if (!((ecx >> 27) & 1))  // OSXSAVE: no XSAVE in use, nothing more to ask
        return true;
    uint32_t low, high;
    asm("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (low >> 1) & 1;
}
#endif
#endif
