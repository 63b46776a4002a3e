// Finding top-level windows, of this process or another, for the tests that drive
// the program from outside and for the bench's window driver. No test framework here.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <functional>

// A wait of `milliseconds`, times HARNOX_TIMEOUT_SCALE where CTest sets it: under
// qemu-i386 emulation a Wine program takes the better part of a minute to start.
inline DWORD ScaledWait(DWORD milliseconds)
{
    char text[8] = {};
    const DWORD length = GetEnvironmentVariableA("HARNOX_TIMEOUT_SCALE", text, sizeof text);
    const int scale = length > 0 && length < sizeof text ? std::atoi(text) : 1;
    return scale > 1 ? milliseconds * static_cast<DWORD>(scale) : milliseconds;
}

namespace window_search_detail {
inline BOOL CALLBACK AskAboutWindow(HWND candidate, LPARAM context)
{
    const auto& wanted = *reinterpret_cast<const std::function<bool(HWND)>*>(context);
    return wanted(candidate) ? FALSE : TRUE;
}
}  // namespace window_search_detail

// The first top-level window, of any process, for which `wanted` is true, or null.
inline HWND FindTopLevelWindow(const std::function<bool(HWND)>& wanted)
{
    HWND found = nullptr;
    const std::function<bool(HWND)> remember = [&](HWND candidate) {
        if (!wanted(candidate))
            return false;
        found = candidate;
        return true;
    };
    EnumWindows(window_search_detail::AskAboutWindow, reinterpret_cast<LPARAM>(&remember));
    return found;
}

// Asks every 50 ms, for up to 30 s (scaled), until `find` gives a window; null after that.
inline HWND WaitForWindow(const std::function<HWND()>& find)
{
    HWND found = nullptr;
    const DWORD attempts = ScaledWait(30000) / 50;
    for (DWORD attempt = 0; attempt < attempts && !(found = find()); ++attempt)
        Sleep(50);
    return found;
}

// The shown main window of the Harnox started as `process`, waited for as above.
inline HWND WaitForProgramWindow(DWORD process)
{
    return WaitForWindow([process] {
        return FindTopLevelWindow([process](HWND candidate) {
            DWORD owner = 0;
            GetWindowThreadProcessId(candidate, &owner);
            char caption[64] = {};
            GetWindowTextA(candidate, caption, sizeof caption);
            return owner == process && std::strcmp(caption, "Harnox") == 0 && IsWindowVisible(candidate);
        });
    });
}
