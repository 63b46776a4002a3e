// The stack guard's value for this run, and the end of a process whose cookie check
// failed (runtime/stack_guard.h).
#include <windows.h>

#include "runtime/stack_guard.h"

uintptr_t __stack_chk_guard = static_cast<uintptr_t>(kStackGuardInFile);

void __stack_chk_fail()
{
    // A frame was overrun, and what lies above it may be too: no more of the program
    // may run, so no exception is raised for its handlers and no atexit function is
    // called. Not Windows 8's fail-fast instruction: XP lacks it, and it hands the
    // process to error reporting, which may hold it behind a dialog.
    TerminateProcess(GetCurrentProcess(), STATUS_STACK_BUFFER_OVERRUN);
    // Not reached: TerminateProcess of the calling process does not return.
    for (;;)
        __builtin_trap();
}

namespace {

// Spreads every bit of the input over every bit of the result, so that a source that
// moves only in its low bits moves them all.
__attribute__((no_stack_protector)) uint64_t Scramble(uint64_t x)
{
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// Draws the guard from what changes from run to run and every Windows since XP
// offers: the time to 100 ns, the performance counter, the process and thread ids,
// the milliseconds since boot, and where the stack and the program were placed.
// Not protected itself, since the guard changes while it runs.
__attribute__((no_stack_protector)) void DrawStackGuard()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    const uint64_t sources[] = {
        static_cast<uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime,
        static_cast<uint64_t>(counter.QuadPart),
        static_cast<uint64_t>(GetCurrentProcessId()) << 32 | GetCurrentThreadId(),
        GetTickCount(),
        reinterpret_cast<uintptr_t>(&now),
        reinterpret_cast<uintptr_t>(&__stack_chk_guard),
    };
    uint64_t mixed = 0;
    for (const uint64_t source : sources)
        mixed = Scramble(mixed ^ source);
    __stack_chk_guard = static_cast<uintptr_t>(mixed ^ (sizeof(uintptr_t) < 8 ? mixed >> 32 : 0));
}

// Among the C initialisers, which the start-up code calls before the C++ constructors
// and main: no function with a cookie is running yet, so none finds the guard
// changed between its entry and its return.
__attribute__((section(".CRT$XIB"), used)) void (*const drawStackGuardAtStart)() = DrawStackGuard;

}  // namespace
