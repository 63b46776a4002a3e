// Starts harnox.exe, digests one file through its window as a user would, and prints
// what the window showed, so that the program's own shown time can be set beside
// other commands (bench/compare_commands.sh). A measuring tool only.
//
//   harnox_window_driver PROGRAM FILE
//
// Puts FILE into the File field, presses Calc MD5 and prints "<32 hex digits>
// <milliseconds>" from the MD5 field's "<digits>:<n> ms used"; then closes the
// window. Exits 1 when there is no window, the field does not show a file's digest,
// or the program does not end.
#include <windows.h>

#include <cstdio>
#include <string>

#include "res/resource.h"
#include "support/program_window_win32.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: harnox_window_driver PROGRAM FILE\n");
        return 2;
    }
    StartedProgram program;
    std::string why;
    if (!StartProgram(argv[1], program, why)) {
        std::fprintf(stderr, "harnox_window_driver: %s\n", why.c_str());
        CloseProgram(program);
        return 1;
    }
    int status = 0;
    const std::string shown = CalcThroughWindow(program.window, IDC_FILE, argv[2]);
    std::string digits;
    long milliseconds = 0;
    if (SplitFileResult(shown, digits, milliseconds)) {
        std::printf("%s %ld\n", digits.c_str(), milliseconds);
    } else {
        std::fprintf(stderr, "harnox_window_driver: the MD5 field shows \"%s\"\n", shown.c_str());
        status = 1;
    }
    PostMessageA(program.window, WM_CLOSE, 0, 0);
    if (WaitForExit(program, 30000) == STILL_ACTIVE) {
        std::fprintf(stderr, "harnox_window_driver: the program did not end\n");
        status = 1;
    }
    CloseProgram(program);
    return status;
}
