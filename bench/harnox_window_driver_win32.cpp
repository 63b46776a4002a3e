// Starts harnox.exe, digests one file through its window as a user would, and prints
// what the window showed, so that the program's own shown time can be set beside
// other commands (bench/compare_commands.sh). A measuring tool only.
//
//   harnox_window_driver PROGRAM FILE [TIMES]
//
// Puts FILE into the File field, presses Calc MD5 TIMES times (default 1) and prints
// one line per press, "<32 hex digits> <milliseconds>", from the MD5 field's
// "<digits>:<n> ms used"; then closes the window. Exits 1 when the window is not
// found, the field does not read as a digest, or the program does not end.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "res/resource.h"
#include "tests/window_search_win32.h"

namespace {

// "<32 hex digits>:<n> ms used" into its two parts; false for anything else.
bool ParseShown(const std::string& shown, std::string& digits, long& milliseconds)
{
    if (shown.size() < 34 || shown[32] != ':' || shown.compare(shown.size() - 8, 8, " ms used") != 0)
        return false;
    digits = shown.substr(0, 32);
    for (char c : digits)
        if (!std::strchr("0123456789ABCDEF", c))
            return false;
    const std::string number = shown.substr(33, shown.size() - 8 - 33);
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos)
        return false;
    milliseconds = std::strtol(number.c_str(), nullptr, 10);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: harnox_window_driver PROGRAM FILE [TIMES]\n");
        return 2;
    }
    const int times = argc == 4 ? std::atoi(argv[3]) : 1;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string commandLine = std::string("\"") + argv[1] + "\"";
    if (!CreateProcessA(argv[1], &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        std::fprintf(stderr, "harnox_window_driver: cannot start %s (%lu)\n", argv[1], GetLastError());
        return 1;
    }
    WaitForInputIdle(process.hProcess, 30000);
    const HWND window = WaitForProgramWindow(process.dwProcessId);
    int status = window ? 0 : 1;
    if (!window)
        std::fprintf(stderr, "harnox_window_driver: no window captioned Harnox\n");
    for (int i = 0; window && i < times; ++i) {
        SendMessageA(GetDlgItem(window, IDC_FILE), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[2]));
        SendMessageA(GetDlgItem(window, IDC_CALC), BM_CLICK, 0, 0);
        char text[256] = {};
        SendMessageA(GetDlgItem(window, IDC_MD5), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
        std::string digits;
        long milliseconds = 0;
        if (!ParseShown(text, digits, milliseconds)) {
            std::fprintf(stderr, "harnox_window_driver: the MD5 field shows \"%s\"\n", text);
            status = 1;
            break;
        }
        std::printf("%s %ld\n", digits.c_str(), milliseconds);
        std::fflush(stdout);
    }
    if (window)
        PostMessageA(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) {
        std::fprintf(stderr, "harnox_window_driver: the program did not end\n");
        TerminateProcess(process.hProcess, 99);
        status = 1;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return status;
}
