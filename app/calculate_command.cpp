#include "app/calculate_command.h"

#include <cmath>
#include <cstring>

namespace {
#if defined(__i386__) && !defined(__SSE2_MATH__)
// The x87 unit rounds every result as its control word says, and runtimes leave it
// at 64-bit mantissas: a quotient kept at that precision can come out 1 ms higher
// once multiplied. While one lives, results are rounded as in double arithmetic:
// 53-bit mantissas, to nearest; the caller's control word is restored afterwards.
class DoubleRounding {
public:
    DoubleRounding()
    {
        __asm__ volatile("fnstcw %0" : "=m"(saved) : : "memory");
        const uint16_t doubleToNearest = static_cast<uint16_t>((saved & ~0x0F00u) | 0x0200u);
        __asm__ volatile("fldcw %0" : : "m"(doubleToNearest) : "memory");
    }
    ~DoubleRounding() { __asm__ volatile("fldcw %0" : : "m"(saved) : "memory"); }
    DoubleRounding(const DoubleRounding&) = delete;
    DoubleRounding& operator=(const DoubleRounding&) = delete;

private:
    uint16_t saved;
};
#else
// SSE2 and other units compute doubles as doubles.
struct DoubleRounding {};
#endif
}  // namespace

int32_t ElapsedMilliseconds(int64_t start, int64_t end, int64_t frequency)
{
    double milliseconds;
    {
        [[maybe_unused]] const DoubleRounding rounding;
        // Each step is stored as a double, so that none is carried on in a wider register.
        volatile double span = static_cast<double>(end - start);
        volatile double countsPerSecond = static_cast<double>(frequency);
        volatile double seconds = span / countsPerSecond;
        volatile double product = seconds * 1000.0;
        milliseconds = product;
    }
    // Converting a double outside the 32-bit range is undefined; such times (weeks,
    // or a clock that reports no frequency) are held at the ends of the range.
    if (std::isnan(milliseconds))
        return 0;
    if (milliseconds >= 2147483647.0)
        return INT32_MAX;
    if (milliseconds <= -2147483648.0)
        return INT32_MIN;
    return static_cast<int32_t>(milliseconds);
}

void FormatDigestText(const Md5Digest& digest, char (&text)[kTextBufferSize])
{
    for (int i = 0; i < 16; ++i)
        std::snprintf(text + 2 * i, sizeof text - 2 * i, "%02X", digest.bytes[i]);
}

void AppendTiming(int32_t milliseconds, char (&text)[kTextBufferSize])
{
    const size_t used = std::strlen(text);
    std::snprintf(text + used, sizeof text - used, ":%0d ms used", static_cast<int>(milliseconds));
}
