// The performance counter.
#include <windows.h>

#include "app/system_clock.h"

int64_t SystemClock::Frequency()
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

int64_t SystemClock::Counter()
{
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return count.QuadPart;
}
