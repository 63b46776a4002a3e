#include "support/program_window_win32.h"

#include <cstdlib>
#include <cstring>

#include "res/resource.h"
#include "support/dialog_templates.h"

namespace {

BOOL CALLBACK AskAboutWindow(HWND candidate, LPARAM context)
{
    const auto& wanted = *reinterpret_cast<const std::function<bool(HWND)>*>(context);
    return wanted(candidate) ? FALSE : TRUE;
}

}  // namespace

DWORD ScaledWait(DWORD milliseconds)
{
    char text[8] = {};
    const DWORD length = GetEnvironmentVariableA("HARNOX_TIMEOUT_SCALE", text, sizeof text);
    const int scale = length > 0 && length < sizeof text ? std::atoi(text) : 1;
    return scale > 1 ? milliseconds * static_cast<DWORD>(scale) : milliseconds;
}

HWND FindTopLevelWindow(const std::function<bool(HWND)>& wanted)
{
    HWND found = nullptr;
    const std::function<bool(HWND)> remember = [&](HWND candidate) {
        if (!wanted(candidate))
            return false;
        found = candidate;
        return true;
    };
    EnumWindows(AskAboutWindow, reinterpret_cast<LPARAM>(&remember));
    return found;
}

HWND WaitForWindow(const std::function<HWND()>& find)
{
    HWND found = nullptr;
    const DWORD attempts = ScaledWait(30000) / 50;
    for (DWORD attempt = 0; attempt < attempts && !(found = find()); ++attempt)
        Sleep(50);
    return found;
}

std::string TextOf(HWND window)
{
    char text[4096] = {};
    SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

bool StartProgram(const std::string& path, StartedProgram& program, std::string& why)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + path + "\"";
    if (!CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &program.process)) {
        why = "cannot start " + path + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    // Once its loop waits for input the window exists.
    WaitForInputIdle(program.process.hProcess, ScaledWait(30000));
    const DWORD id = program.process.dwProcessId;
    program.window = WaitForWindow([id] {
        return FindTopLevelWindow([id](HWND candidate) {
            DWORD owner = 0;
            GetWindowThreadProcessId(candidate, &owner);
            // GetWindowTextA reads a top-level window's caption without sending to it.
            char caption[64] = {};
            GetWindowTextA(candidate, caption, sizeof caption);
            return owner == id && std::strcmp(caption, kMainTemplate.caption) == 0 && IsWindowVisible(candidate);
        });
    });
    if (!program.window)
        why = "no window captioned " + std::string(kMainTemplate.caption);
    return program.window != nullptr;
}

DWORD WaitForExit(const StartedProgram& program, DWORD milliseconds)
{
    WaitForSingleObject(program.process.hProcess, milliseconds);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(program.process.hProcess, &code);
    return code;
}

void CloseProgram(StartedProgram& program)
{
    if (!program.process.hProcess)
        return;
    if (WaitForSingleObject(program.process.hProcess, 0) == WAIT_TIMEOUT)
        TerminateProcess(program.process.hProcess, 99);
    CloseHandle(program.process.hThread);
    CloseHandle(program.process.hProcess);
    program.process = PROCESS_INFORMATION{};
}

std::string CalcThroughWindow(HWND window, int field, const std::string& text)
{
    SendMessageA(GetDlgItem(window, field), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageA(GetDlgItem(window, IDC_CALC), BM_CLICK, 0, 0);
    return TextOf(GetDlgItem(window, IDC_MD5));
}

bool SplitFileResult(const std::string& shown, std::string& digits, long& milliseconds)
{
    const std::string tail = " ms used";
    if (shown.size() < 32 + 1 + 1 + tail.size() || shown[32] != ':' ||
        shown.compare(shown.size() - tail.size(), tail.size(), tail) != 0)
        return false;
    const std::string number = shown.substr(33, shown.size() - tail.size() - 33);
    if (shown.find_first_not_of("0123456789ABCDEF") != 32 || number.find_first_not_of("0123456789") != std::string::npos)
        return false;
    digits = shown.substr(0, 32);
    milliseconds = std::strtol(number.c_str(), nullptr, 10);
    return true;
}
