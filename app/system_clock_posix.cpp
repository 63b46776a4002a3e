// The monotonic clock, counted in nanoseconds.
#include <time.h>

#include "app/system_clock.h"

int64_t SystemClock::Frequency()
{
    return 1000000000;
}

int64_t SystemClock::Counter()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}
