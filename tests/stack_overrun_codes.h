// The exit codes by which tests/stack_overrun_win32.cpp tells what ran.
#pragma once

#include <cstdint>

enum : uint32_t {
    kReturnedFromFrame = 0x0DEF0001,   // the code after the array's function returned
    kRanExceptionHandler = 0x0DEF0002,
    kRanUnhandledFilter = 0x0DEF0003,
    kRanAtExit = 0x0DEF0004,
    kUnknownMode = 0x0DEF0005,
};
