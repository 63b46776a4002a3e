// The processor's display family and model, by which vendors name processors, for the
// measuring tools' reports: the one place that asks the engine for them.
#pragma once

#include <cstdint>

#include "engine/md5_transform.h"

struct ProcessorModel {
    uint32_t family;
    uint32_t model;
    uint32_t signature;  // CPUID 1, EAX
};

inline ProcessorModel ThisProcessorModel()
{
    const Md5CpuReport& cpu = Md5ThisProcessor();
    return {Md5CpuFamily(cpu), Md5CpuModel(cpu), cpu.signature};
}
