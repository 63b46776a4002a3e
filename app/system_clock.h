// The high-resolution clock that times file digests.
#pragma once

#include <cstdint>

struct SystemClock {
    // Counts per second.
    int64_t Frequency();
    // The current count; it never decreases.
    int64_t Counter();
};
