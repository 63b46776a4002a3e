// Keeps a test tree's Wine desktop up from the first test to the last.
//
// Wine closes a desktop a second after the last program on it ends, and the next
// program starts it again. The new desktop's clipboard manager then opens and empties
// the clipboard at a moment of its own, which can fall in the middle of a test that
// has just copied: the test finds the clipboard busy, or empty.
//
//   desktop_keeper          starts a holder and returns 0 once it holds the desktop
//                           and the desktop's clipboard manager has taken the
//                           clipboard, so that no test starts before that emptying
//   desktop_keeper --hold   the holder: a thread on the desktop until the Wine
//                           server is stopped
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

const char kHeldEventName[] = "harnox_desktop_held";
// Each wait gives up well before the fixture's own time limit, so that its message is seen.
const DWORD kPatienceMs = 60000;
const DWORD kPollMs = 100;

int Fail(const char* what)
{
    std::fprintf(stderr, "desktop_keeper: %s (error %lu)\n", what, GetLastError());
    return 1;
}

int Hold(HANDLE held)
{
    // A message-only window puts this thread on the desktop, shown nowhere and never
    // taking the focus.
    if (!CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr))
        return Fail("no window on the desktop");
    if (!SetEvent(held))
        return Fail("could not tell that the desktop is held");
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}

// The clipboard is the desktop's clipboard manager's once it has emptied it on starting.
bool ClipboardManagerHasTakenTheClipboard()
{
    const HWND owner = GetClipboardOwner();
    char className[64] = "";
    if (!owner || !GetClassNameA(owner, className, sizeof className))
        return false;
    DWORD ownerProcess = 0, desktopProcess = 0;
    return std::strcmp(className, "__wine_clipboard_manager") == 0 && GetWindowThreadProcessId(owner, &ownerProcess) &&
           GetWindowThreadProcessId(GetDesktopWindow(), &desktopProcess) && ownerProcess == desktopProcess;
}

int StartHolder(HANDLE held)
{
    char self[MAX_PATH];
    if (!GetModuleFileNameA(nullptr, self, sizeof self))
        return Fail("no name for this program");
    char commandLine[] = "desktop_keeper --hold";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION holder;
    if (!CreateProcessA(self, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &holder))
        return Fail("the holder did not start");
    CloseHandle(holder.hThread);
    const HANDLE waits[] = {held, holder.hProcess};
    const DWORD woken = WaitForMultipleObjects(2, waits, FALSE, kPatienceMs);
    CloseHandle(holder.hProcess);
    if (woken != WAIT_OBJECT_0)
        return Fail("the holder ended, or never came onto the desktop");
    for (DWORD waited = 0; waited < kPatienceMs; waited += kPollMs, Sleep(kPollMs)) {
        if (ClipboardManagerHasTakenTheClipboard())
            return 0;
    }
    return Fail("the desktop's clipboard manager never took the clipboard");
}

}  // namespace

int main(int argc, char** argv)
{
    const HANDLE held = CreateEventA(nullptr, TRUE, FALSE, kHeldEventName);
    if (!held)
        return Fail("no event to tell when the desktop is held");
    return argc > 1 && std::strcmp(argv[1], "--hold") == 0 ? Hold(held) : StartHolder(held);
}
