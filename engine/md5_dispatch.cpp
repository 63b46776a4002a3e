// Chooses the compression once, as the program starts: among the variants that the
// processor and the operating system can run, the one that runs faster here.
#include <atomic>

#include "engine/md5_internal.h"
#include "engine/md5_variants.h"
#include "runtime/processor_features.h"

using md5_detail::DigestState;
using md5_detail::Md5BlocksFunction;

namespace {

Md5BlocksFunction FunctionOf(Md5Variant variant)
{
    return variant == Md5Variant::Avx512 ? Md5TransformBlocksAvx512 : Md5TransformBlocksPortable;
}

// Only read where AVX-512 runs, so LFENCE (SSE2) is there too: it holds the count
// back until the work before it is done.
uint64_t ReadTimeStampCounter()
{
    uint32_t low, high;
    __asm__ volatile("lfence\n\trdtsc" : "=a"(low), "=d"(high) : : "memory");
    return (static_cast<uint64_t>(high) << 32) | low;
}

// Each variant over the same 4 KiB, eight times, taking turns and alternating which
// goes first; the fastest run of each counts, since other work only slows a run.
// About 20,000 ticks a run: a tenth of a millisecond in all.
Md5VariantTimes TimeVariants()
{
    alignas(64) static unsigned char blocks[4096];
    uint64_t fastest[2] = {UINT64_MAX, UINT64_MAX};
    for (int round = 0; round < 8; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            const int which = (round + turn) % 2;
            const Md5BlocksFunction compress = FunctionOf(which == 0 ? Md5Variant::Portable : Md5Variant::Avx512);
            DigestState state = md5_detail::kMd5InitialState;
            const uint64_t start = ReadTimeStampCounter();
            compress(state, blocks, sizeof blocks / 64);
            const uint64_t ticks = ReadTimeStampCounter() - start;
            if (ticks < fastest[which])
                fastest[which] = ticks;
        }
    }
    return {fastest[0], fastest[1]};
}

Md5Choice ChooseByTiming()
{
    Md5Choice choice{Md5Variant::Portable, {0, 0}, 0};
    if (Md5VariantSupported(Md5Variant::Avx512)) {
        const uint64_t start = ReadTimeStampCounter();
        choice.times = TimeVariants();
        choice.variant = Md5FasterVariant(choice.times);
        choice.ticksSpent = ReadTimeStampCounter() - start;
    }
    return choice;
}

struct Selection {
    explicit Selection(const Md5Choice& made) : choice(made), variant(made.variant), function(FunctionOf(made.variant))
    {
    }
    const Md5Choice choice;
    std::atomic<Md5Variant> variant;
    std::atomic<Md5BlocksFunction> function;
};

Selection& CurrentSelection()
{
    static Selection selection(ChooseByTiming());
    return selection;
}

// Made as the program starts, so that no digest, and no time the program shows,
// includes the choice; a digest asked for earlier still finds it made.
const Selection& selectionAtStart = CurrentSelection();

}  // namespace

bool Md5VariantSupported(Md5Variant variant)
{
    switch (variant) {
    case Md5Variant::Portable:
        return true;
    case Md5Variant::Avx512:
        return Md5Avx512RunsOn(ThisProcessor());
    }
    return false;
}

bool Md5Avx512RunsOn(const ProcessorFeatures& cpu)
{
    // The system must save XMM, YMM, the opmask registers and both halves of the ZMM state.
    const uint64_t needed = (1u << 1) | (1u << 2) | (1u << 5) | (1u << 6) | (1u << 7);
    return cpu.osxsave && (cpu.savedState & needed) == needed && cpu.avx512f && cpu.avx512vl;
}

Md5Variant Md5FasterVariant(const Md5VariantTimes& times)
{
    const bool clearlyFaster = times.avx512 != 0 && times.avx512 < times.portable - times.portable / 50;
    return clearlyFaster ? Md5Variant::Avx512 : Md5Variant::Portable;
}

Md5Choice Md5ChoiceAtStart()
{
    return CurrentSelection().choice;
}

Md5Variant Md5ActiveVariant()
{
    return CurrentSelection().variant.load(std::memory_order_relaxed);
}

bool Md5ForceVariant(Md5Variant variant)
{
    if (!Md5VariantSupported(variant))
        return false;
    Selection& selection = CurrentSelection();
    selection.function.store(FunctionOf(variant), std::memory_order_relaxed);
    selection.variant.store(variant, std::memory_order_relaxed);
    return true;
}

const char* Md5VariantName(Md5Variant variant)
{
    return variant == Md5Variant::Avx512 ? "avx512" : "portable";
}

Md5BlocksFunction md5_detail::Md5ActiveBlocksFunction()
{
    return CurrentSelection().function.load(std::memory_order_relaxed);
}

void Md5TransformBlocks(DigestState& state, const unsigned char* blocks, uint64_t count)
{
    CurrentSelection().function.load(std::memory_order_relaxed)(state, blocks, count);
}

void Md5Transform(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, const unsigned char* block)
{
    DigestState state{a, b, c, d};
    Md5TransformBlocks(state, block, 1);
    a = state.a;
    b = state.b;
    c = state.c;
    d = state.d;
}

void md5_detail::Md5StoreDigest(const DigestState& state, Md5Digest& digest)
{
    const uint32_t words[4] = {state.a, state.b, state.c, state.d};
    for (int w = 0; w < 4; ++w)
        for (int i = 0; i < 4; ++i)
            digest.bytes[4 * w + i] = static_cast<unsigned char>(words[w] >> (8 * i));
}
