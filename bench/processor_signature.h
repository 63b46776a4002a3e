// The display family and model that vendors name processors by, from CPUID 1's EAX
// (extended fields included), which the measuring tools print beside their figures.
#pragma once

#include <cstdint>

#include "runtime/processor_features.h"

inline uint32_t ProcessorFamily(const ProcessorFeatures& cpu)
{
    const uint32_t family = (cpu.signature >> 8) & 0xF;
    return family == 0xF ? family + ((cpu.signature >> 20) & 0xFF) : family;
}

inline uint32_t ProcessorModel(const ProcessorFeatures& cpu)
{
    const uint32_t family = (cpu.signature >> 8) & 0xF;
    const uint32_t model = (cpu.signature >> 4) & 0xF;
    return family == 0x6 || family == 0xF ? model + (((cpu.signature >> 16) & 0xF) << 4) : model;
}
