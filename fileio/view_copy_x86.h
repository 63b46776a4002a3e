// Where the x86 copies of view_copy.cpp load from their source, and where a fault in
// each load resumes: the platform's handler moves a faulting load's instruction
// pointer to its recovery point, which returns 0. No other instruction between a
// range's bounds touches memory.
#pragma once

#include <cstdint>

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
