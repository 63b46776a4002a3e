// Chooses the compression once, from what the processor and the operating system offer.
#include <atomic>
#include <cstring>

#include "engine/md5_transform.h"
#include "engine/md5_transform_avx512.h"
#include "engine/md5_transform_portable.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace {

#if defined(__i386__) || defined(__x86_64__)
// XGETBV is issued as raw bytes so that this file needs no extra instruction-set flags.
uint64_t ReadExtendedControlRegister0()
{
    uint32_t low, high;
    __asm__ volatile(".byte 0x0f, 0x01, 0xd0" : "=a"(low), "=d"(high) : "c"(0));
    return (static_cast<uint64_t>(high) << 32) | low;
}

Md5CpuReport ReadCpuReport()
{
    Md5CpuReport cpu{};
    unsigned eax, ebx, ecx, edx;
    if (__get_cpuid(0, &eax, &ebx, &ecx, &edx))
        cpu.amd = ebx == 0x68747541u && edx == 0x69746e65u && ecx == 0x444d4163u;  // "AuthenticAMD"
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx))
        return cpu;
    cpu.signature = eax;
    cpu.osxsave = (ecx & (1u << 27)) != 0;
    // XGETBV faults unless the system has enabled it.
    if (cpu.osxsave)
        cpu.savedState = ReadExtendedControlRegister0();
    if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) {
        cpu.avx512f = (ebx & (1u << 16)) != 0;
        cpu.avx512vl = (ebx & (1u << 31)) != 0;
    }
    return cpu;
}
#else
Md5CpuReport ReadCpuReport()
{
    return Md5CpuReport{};
}
#endif

const Md5CpuReport& ThisCpu()
{
    static const Md5CpuReport cpu = ReadCpuReport();
    return cpu;
}

bool CpuAndOsSupportAvx512FVl(const Md5CpuReport& cpu)
{
    // The system must save XMM, YMM, the opmask registers and both halves of the ZMM state.
    const uint64_t needed = (1u << 1) | (1u << 2) | (1u << 5) | (1u << 6) | (1u << 7);
    return cpu.osxsave && (cpu.savedState & needed) == needed && cpu.avx512f && cpu.avx512vl;
}

// AMD's family 1Ah (Zen 5) takes two cycles for each simple vector integer
// operation, so the four-operation vector step costs eight cycles where the scalar
// steps cost four or five: there the portable compression is the faster one.
bool VectorStepIsSlowerThanScalar(const Md5CpuReport& cpu)
{
    unsigned family = (cpu.signature >> 8) & 0xF;
    if (family == 0xF)
        family += (cpu.signature >> 20) & 0xFF;
    return cpu.amd && family >= 0x1A;
}

Md5BlocksFunction FunctionOf(Md5Variant variant)
{
#if HARNOX_HAVE_AVX512
    if (variant == Md5Variant::Avx512)
        return Md5TransformBlocksAvx512;
#endif
    (void)variant;
    return Md5TransformBlocksPortable;
}

Md5Variant BestVariant()
{
    const Md5Variant best = Md5VariantFor(ThisCpu());
    return Md5VariantSupported(best) ? best : Md5Variant::Portable;
}

struct Selection {
    std::atomic<Md5Variant> variant;
    std::atomic<Md5BlocksFunction> function;
};

Selection& CurrentSelection()
{
    static Selection selection{{BestVariant()}, {FunctionOf(BestVariant())}};
    return selection;
}

}  // namespace

bool Md5VariantSupported(Md5Variant variant)
{
    switch (variant) {
    case Md5Variant::Portable:
        return true;
    case Md5Variant::Avx512:
#if HARNOX_HAVE_AVX512
        return CpuAndOsSupportAvx512FVl(ThisCpu());
#else
        return false;
#endif
    }
    return false;
}

Md5Variant Md5VariantFor(const Md5CpuReport& cpu)
{
    return CpuAndOsSupportAvx512FVl(cpu) && !VectorStepIsSlowerThanScalar(cpu) ? Md5Variant::Avx512
                                                                               : Md5Variant::Portable;
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

Md5BlocksFunction Md5ActiveBlocksFunction()
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

void Md5StoreDigest(const DigestState& state, Md5Digest& digest)
{
    const uint32_t words[4] = {state.a, state.b, state.c, state.d};
    for (int w = 0; w < 4; ++w)
        for (int i = 0; i < 4; ++i)
            digest.bytes[4 * w + i] = static_cast<unsigned char>(words[w] >> (8 * i));
}
