// The stack guard of the Windows programs, seen from outside: stack_overrun, built with
// the shipped programs' options and guard (tests/CMakeLists.txt says what differs), run
// in each of its modes as a process of its own.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "runtime/stack_guard.h"
#include "tests/stack_overrun_codes.h"
#include "tests/test_support.h"
#include "support/program_window_win32.h"

namespace {

std::string Hex(uint32_t code)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08lX", static_cast<unsigned long>(code));
    return text;
}

// The exit code, in hex, of stack_overrun run with `mode`; "still running" when it has
// not ended within 30 s, scaled (a dialog waiting for a click, say), and then it is ended.
std::string ExitCodeOfRun(const char* mode)
{
    const std::string program = WindowsPath(HARNOX_STACK_OVERRUN_EXE);
    std::string commandLine = "\"" + program + "\" " + mode;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return "not started, error " + std::to_string(GetLastError());
    std::string result = "still running";
    DWORD code = 0;
    if (WaitForSingleObject(process.hProcess, ScaledWait(30000)) == WAIT_OBJECT_0 && GetExitCodeProcess(process.hProcess, &code))
        result = Hex(code);
    else
        TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}

TEST(StackGuard, AnOverrunArrayEndsTheProcessBeforeItsFunctionReturnsAndRunsNothingElse)
{
    // The handler, the filter, the atexit function and the code after the call each
    // end the process with a code of their own.
    EXPECT_EQ(Hex(STATUS_STACK_BUFFER_OVERRUN), ExitCodeOfRun("overrun"))
        << Hex(kReturnedFromFrame) << ": returned; " << Hex(kRanExceptionHandler) << ": exception handler; "
        << Hex(kRanUnhandledFilter) << ": unhandled-exception filter; " << Hex(kRanAtExit) << ": atexit";
}

TEST(StackGuard, FunctionsThatStayInsideTheirArraysReturnAndMainEndsWithZero)
{
    EXPECT_EQ(Hex(0), ExitCodeOfRun("fits"));
}

TEST(StackGuard, EachRunDrawsAGuardOfItsOwnInPlaceOfTheFilesValue)
{
    const std::string first = ExitCodeOfRun("guard");
    const std::string second = ExitCodeOfRun("guard");
    ASSERT_EQ(8u, first.size()) << first;
    ASSERT_EQ(8u, second.size()) << second;
    EXPECT_NE(first, second);
    const std::string inFile = Hex(static_cast<uint32_t>(kStackGuardInFile));
    EXPECT_NE(inFile, first);
    EXPECT_NE(inFile, second);
}

}  // namespace
