// How fast each compression runs here, beside the one chosen at start: Md5OfBuffer
// over 64 MiB, the variants taking turns, best of 15 each. Builds natively and for
// Windows, so that the choice is measured under Wine too. A measuring tool only.
//
//   variant_speed [rounds]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/md5_digest.h"
#include "runtime/processor_features.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The choice's times are in time-stamp counter ticks: their rate, against the clock.
double TicksPerSecond()
{
#if defined(__i386__) || defined(__x86_64__)
    auto ticks = [] {
        uint32_t low, high;
        __asm__ volatile("rdtsc" : "=a"(low), "=d"(high));
        return (static_cast<uint64_t>(high) << 32) | low;
    };
    const Clock::time_point start = Clock::now();
    const uint64_t first = ticks();
    while (SecondsSince(start) < 0.1) {
    }
    return static_cast<double>(ticks() - first) / SecondsSince(start);
#else
    return 0;
#endif
}

}  // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 15;
    const ProcessorFeatures cpu = ThisProcessor();
    const Md5Choice choice = Md5ChoiceAtStart();
    const double tickRate = TicksPerSecond();
    std::printf("processor: family %02Xh, model %02Xh (CPUID 1 EAX %08X)\n", static_cast<unsigned>(ProcessorFamily(cpu)),
                static_cast<unsigned>(ProcessorModel(cpu)), static_cast<unsigned>(cpu.signature));
    std::printf("chosen at start: %s, from %llu ticks portable and %llu ticks avx512 over 4 KiB;"
                " the choice took %llu ticks (%.3f ms)\n",
                Md5VariantName(choice.variant), static_cast<unsigned long long>(choice.times.portable),
                static_cast<unsigned long long>(choice.times.avx512),
                static_cast<unsigned long long>(choice.ticksSpent),
                tickRate > 0 ? 1e3 * static_cast<double>(choice.ticksSpent) / tickRate : 0.0);

    std::vector<unsigned char> bytes(64u << 20);
    uint32_t x = 2026;
    for (unsigned char& byte : bytes) {
        x = x * 1664525u + 1013904223u;
        byte = static_cast<unsigned char>(x >> 24);
    }
    // The default is a column of its own, forced back to before each of its runs.
    struct Column {
        const char* label;
        Md5Variant variant;
        double best;
    };
    std::vector<Column> columns{{"default", choice.variant, 0}};
    for (Md5Variant variant : {Md5Variant::Portable, Md5Variant::Avx512})
        if (Md5VariantSupported(variant))
            columns.push_back({Md5VariantName(variant), variant, 0});
    for (int round = 0; round < rounds; ++round) {
        for (Column& column : columns) {
            Md5ForceVariant(column.variant);
            Md5Digest digest{};
            const Clock::time_point start = Clock::now();
            Md5OfBuffer(bytes.data(), bytes.size(), digest);
            const double bytesPerSecond = static_cast<double>(bytes.size()) / SecondsSince(start);
            if (bytesPerSecond > column.best)
                column.best = bytesPerSecond;
        }
    }
    double fastest = 0;
    for (size_t i = 1; i < columns.size(); ++i)
        if (columns[i].best > fastest)
            fastest = columns[i].best;
    std::printf("Md5OfBuffer over 64 MiB, best of %d: default (%s) %.0f MB/s", rounds,
                Md5VariantName(columns[0].variant), columns[0].best / 1e6);
    for (size_t i = 1; i < columns.size(); ++i)
        std::printf(", %s %.0f MB/s", columns[i].label, columns[i].best / 1e6);
    std::printf("\ndefault over the fastest variant: %.3fx\n", columns[0].best / fastest);
    return 0;
}
