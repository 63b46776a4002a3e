// The processor and the compression the engine chose at start, from which times, as
// every measuring tool reports them beside its figures.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>

#include "bench/processor_signature.h"
#include "engine/md5_variants.h"
#include "runtime/processor_features.h"

// The choice is timed in time-stamp counter ticks: their rate, against the clock, to
// show it in milliseconds too.
inline double TicksPerSecond()
{
    using Clock = std::chrono::steady_clock;
    auto ticks = [] {
        uint32_t low, high;
        __asm__ volatile("rdtsc" : "=a"(low), "=d"(high));
        return (static_cast<uint64_t>(high) << 32) | low;
    };
    auto seconds = [](Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); };
    const Clock::time_point start = Clock::now();
    const uint64_t first = ticks();
    while (seconds(start) < 0.1) {
    }
    return static_cast<double>(ticks() - first) / seconds(start);
}

inline void PrintChoiceAtStart()
{
    const ProcessorFeatures& processor = ThisProcessor();
    const Md5Choice choice = Md5ChoiceAtStart();
    const double tickRate = TicksPerSecond();
    std::printf("processor: family %02Xh, model %02Xh (CPUID 1 EAX %08X)\n", static_cast<unsigned>(ProcessorFamily(processor)),
                static_cast<unsigned>(ProcessorModel(processor)), static_cast<unsigned>(processor.signature));
    std::printf("chosen at start: %s, from %llu ticks portable and %llu ticks avx512 over 4 KiB;"
                " the choice took %llu ticks (%.3f ms)\n",
                Md5VariantName(choice.variant), static_cast<unsigned long long>(choice.times.portable),
                static_cast<unsigned long long>(choice.times.avx512),
                static_cast<unsigned long long>(choice.ticksSpent),
                tickRate > 0 ? 1e3 * static_cast<double>(choice.ticksSpent) / tickRate : 0.0);
}
