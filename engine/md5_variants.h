// The implementations of the compression and the choice between them, for tests and
// measuring tools. Where more than one can run, each is timed once when the program
// starts and the faster is used; the program itself never asks, and tools may force
// another.
#pragma once

#include <cstdint>

struct ProcessorFeatures;

enum class Md5Variant {
    Portable,
    Avx512,
};

const char* Md5VariantName(Md5Variant variant);
// True when this processor and operating system can run the variant.
bool Md5VariantSupported(Md5Variant variant);
// The variant in use now.
Md5Variant Md5ActiveVariant();
// Makes every later digest use `variant`; false (and nothing changed) when it is not supported.
bool Md5ForceVariant(Md5Variant variant);

// How long each variant took over the same bytes, in time-stamp counter ticks; 0 for
// one that was not timed because it cannot run here.
struct Md5VariantTimes {
    uint64_t portable;
    uint64_t avx512;
};
// The choice made when the program started, and the times it was made from.
struct Md5Choice {
    Md5Variant variant;
    Md5VariantTimes times;
    uint64_t ticksSpent;  // the whole choice, timing included
};
Md5Choice Md5ChoiceAtStart();

// Whether such a processor, under such a system, can run the AVX-512 compression.
bool Md5Avx512RunsOn(const ProcessorFeatures& cpu);
// The variant such times choose: AVX-512 only when it took under 0.98 of the portable
// time, so that a near tie, within what a measurement can tell, stays portable.
Md5Variant Md5FasterVariant(const Md5VariantTimes& times);
