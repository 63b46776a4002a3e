// Finding top-level windows, of this process or another, and starting and driving the
// built program through its window, as the program tests and the bench's timing of
// harnox.exe do. No test framework here.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// A wait of `milliseconds`, times HARNOX_TIMEOUT_SCALE where CTest sets it: under
// qemu-i386 emulation a Wine program takes the better part of a minute to start.
DWORD ScaledWait(DWORD milliseconds);

// The first top-level window, of any process, for which `wanted` is true, or null.
HWND FindTopLevelWindow(const std::function<bool(HWND)>& wanted);

// Asks every 50 ms, for up to 30 s (scaled), until `find` gives a window; null after that.
HWND WaitForWindow(const std::function<HWND()>& find);

// A window's text through WM_GETTEXT, which, unlike GetWindowTextA, asks a control
// of another process for it.
std::string TextOf(HWND window);

// A Harnox started as a process of its own, and its shown main window.
struct StartedProgram {
    PROCESS_INFORMATION process{};
    HWND window = nullptr;
};

// Starts the program at `path` and waits, up to 30 s (scaled), for its main window to show.
// False, with the reason in `why`, when it did not start or showed no window.
bool StartProgram(const std::string& path, StartedProgram& program, std::string& why);
// The program's exit code once it has ended, waiting up to `milliseconds` for that;
// STILL_ACTIVE while it runs.
DWORD WaitForExit(const StartedProgram& program, DWORD milliseconds);
// Ends the program if it still runs (exit code 99) and closes its handles.
void CloseProgram(StartedProgram& program);

// Puts `text` into the window's field `field` (IDC_SOURCE or IDC_FILE), presses Calc
// MD5 and returns what the MD5 field then shows.
std::string CalcThroughWindow(HWND window, int field, const std::string& text);
// A file's result as the MD5 field shows it, "<32 hex digits>:<n> ms used", into its
// digits and milliseconds; false for any other text.
bool SplitFileResult(const std::string& shown, std::string& digits, long& milliseconds);
