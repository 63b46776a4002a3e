#include "app/calculate_command.h"

#include <cmath>
#include <cstring>

int32_t ElapsedMilliseconds(int64_t start, int64_t end, int64_t frequency)
{
    const double milliseconds = static_cast<double>(end - start) / static_cast<double>(frequency) * 1000.0;
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

void FormatDigestText(const Md5Digest& digest, char (&text)[kFieldBufferSize])
{
    for (int i = 0; i < 16; ++i)
        std::snprintf(text + 2 * i, sizeof text - 2 * i, "%02X", digest.bytes[i]);
}

void AppendTiming(int32_t milliseconds, char (&text)[kFieldBufferSize])
{
    const size_t used = std::strlen(text);
    std::snprintf(text + used, sizeof text - used, ":%0d ms used", static_cast<int>(milliseconds));
}
