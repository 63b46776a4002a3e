// A program of the test build that overruns a local array on request; stack_guard_test
// runs it and reads its exit code. It has the shipped programs' compile and link
// options and stack guard (tests/CMakeLists.txt says what differs).
//
//   stack_overrun overrun   writes 64 bytes past a 16-byte array, then returns
//   stack_overrun fits      writes the array's 16 bytes alone, then returns
//   stack_overrun guard     ends with the low 32 bits of this run's stack guard
//
// After an overrun, whatever might still run ends the process with a code of its own:
// an exception handler, the unhandled-exception filter, an atexit function, and the
// code after the overrun frame's return.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "runtime/stack_guard.h"
#include "tests/stack_overrun_codes.h"

namespace {

LONG CALLBACK OnException(EXCEPTION_POINTERS*)
{
    TerminateProcess(GetCurrentProcess(), kRanExceptionHandler);
    return EXCEPTION_CONTINUE_SEARCH;
}

LONG CALLBACK OnUnhandledException(EXCEPTION_POINTERS*)
{
    TerminateProcess(GetCurrentProcess(), kRanUnhandledFilter);
    return EXCEPTION_CONTINUE_SEARCH;
}

void AtExit()
{
    TerminateProcess(GetCurrentProcess(), kRanAtExit);
}

// The length comes from the command line, so the compiler cannot see the overrun.
__attribute__((noinline)) int FillLocalArray(size_t length)
{
    char buffer[16];
    std::memset(buffer, 'x', length);
    // The buffer is read after the writes, so that none of them can be left out.
    __asm__ volatile("" : : "r"(buffer) : "memory");
    return buffer[0];
}

}  // namespace

int main(int argc, char** argv)
{
    // main has a cookie of its own, stored before anything else of the program ran:
    // were the guard drawn after that, main's return would fail its check.
    char mode[16] = {};
    if (argc > 1)
        std::strncpy(mode, argv[1], sizeof mode - 1);
    __asm__ volatile("" : : "r"(mode) : "memory");

    if (std::strcmp(mode, "guard") == 0)
        return static_cast<int>(static_cast<uint32_t>(__stack_chk_guard));
    if (std::strcmp(mode, "fits") == 0) {
        FillLocalArray(16);
        return 0;
    }
    if (std::strcmp(mode, "overrun") != 0)
        return kUnknownMode;
    AddVectoredExceptionHandler(1, OnException);
    SetUnhandledExceptionFilter(OnUnhandledException);
    std::atexit(AtExit);
    FillLocalArray(16 + 64);
    TerminateProcess(GetCurrentProcess(), kReturnedFromFrame);
    return kReturnedFromFrame;
}
