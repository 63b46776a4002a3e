#include "tests/dialog_shell_support.h"

#include <shlobj.h>

#include <cstring>
#include <vector>

#include "support/program_window_win32.h"
#include "tests/test_support.h"

RECT DialogUnitsToPixels(HWND dialog, int x, int y, int width, int height)
{
    RECT rect{x, y, width, height};
    MapDialogRect(dialog, &rect);
    return rect;
}

RECT ChildRect(HWND control)
{
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::string ClassOf(HWND window)
{
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::wstring WideTextOf(HWND window)
{
    wchar_t text[4096] = {};
    SendMessageW(window, WM_GETTEXT, sizeof text / sizeof text[0], reinterpret_cast<LPARAM>(text));
    return text;
}

void MessagePump::Run(HWND dialog)
{
    // Not RunMessageLoop, which waits for messages and ends at the quit: a test needs its turn back.
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            ++quitMessages;
            quitCode = message.wParam;
            continue;
        }
        DeliverMessage(dialog, message);
    }
}

namespace {

ModalDriver* activeDriver = nullptr;

}  // namespace

ModalDriver::ModalDriver(std::function<HWND()> findWindow, std::function<bool(HWND)> act)
    : find(std::move(findWindow)), action(std::move(act))
{
    activeDriver = this;
    timer = SetTimer(nullptr, 0, 50, Tick);
}

ModalDriver::~ModalDriver()
{
    if (timer)
        KillTimer(nullptr, timer);
    activeDriver = nullptr;
}

void CALLBACK ModalDriver::Tick(HWND, UINT, UINT_PTR id, DWORD)
{
    ModalDriver* driver = activeDriver;
    if (!driver || driver->timer != id)
        return;
    const HWND found = driver->find();
    if (!found && ++driver->ticks < static_cast<int>(ScaledWait(20000) / 50))
        return;
    if (found) {
        driver->ran = true;
        if (!driver->action(found))
            return;
    }
    KillTimer(nullptr, id);
    driver->timer = 0;
}

HWND FindOwnedDialog(HWND owner)
{
    return FindTopLevelWindow([owner](HWND candidate) {
        return GetWindow(candidate, GW_OWNER) == owner && IsWindowVisible(candidate) && ClassOf(candidate) == "#32770";
    });
}

void PutClipboardText(const std::string& text)
{
    const HWND holder = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(OpenClipboard(holder));
    EmptyClipboard();
    const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    std::memcpy(GlobalLock(block), text.c_str(), text.size() + 1);
    GlobalUnlock(block);
    EXPECT_NE(nullptr, SetClipboardData(CF_TEXT, block));
    CloseClipboard();
    DestroyWindow(holder);
}

namespace {

template <class Char>
std::basic_string<Char> ClipboardTextOf(UINT format, const Char* none, const Char* busy)
{
    if (!OpenClipboard(nullptr))
        return busy;
    std::basic_string<Char> text = none;
    if (const HANDLE data = GetClipboardData(format)) {
        text = static_cast<const Char*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

}  // namespace

std::string ClipboardText()
{
    return ClipboardTextOf<char>(CF_TEXT, "<none>", "<clipboard busy>");
}

std::wstring ClipboardWideText()
{
    return ClipboardTextOf<wchar_t>(CF_UNICODETEXT, L"<none>", L"<clipboard busy>");
}

void MainWindowTest::SetUp()
{
    programInstance = GetModuleHandleA(nullptr);  // as the entry function does
    window = CreateMainWindow();
    ASSERT_NE(nullptr, window);
    pump.Run(window);
}

void MainWindowTest::TearDown()
{
    if (IsWindow(window))
        DestroyWindow(window);
    pump.Run(window);
}

void MainWindowTest::Press(UINT key)
{
    const HWND target = GetFocus() ? GetFocus() : window;
    const UINT scan = MapVirtualKeyA(key, 0);
    PostMessageA(target, WM_KEYDOWN, key, 1 | (scan << 16));
    PostMessageA(target, WM_KEYUP, key, 1 | (scan << 16) | (1u << 30) | (1u << 31));
    pump.Run(window);
}

void MainWindowTest::Drop(HWND target, const std::vector<std::wstring>& names, size_t slack)
{
    std::wstring list;
    for (const std::wstring& name : names)
        list += name + L'\0';
    const size_t listBytes = (list.size() + 1) * sizeof(wchar_t);
    const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + listBytes + slack);
    auto* const drop = static_cast<DROPFILES*>(GlobalLock(block));
    ASSERT_NE(nullptr, drop) << "no memory for a drop";
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(drop + 1, list.c_str(), listBytes);
    GlobalUnlock(block);
    // Posted, as the system posts it, so that it goes through the program's loop.
    EXPECT_TRUE(PostMessageW(target, WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0));
    pump.Run(window);
}

namespace {

// Controls of the platform's Open dialog: the file-type list and the file-name field.
const int kFileTypes = 0x470;      // cmb1
const int kFileNameEdit = 0x480;   // edt1
const int kFileNameCombo = 0x47C;  // cmb13

HWND FileNameField(HWND dialog)
{
    if (const HWND edit = GetDlgItem(dialog, kFileNameEdit))
        return edit;
    const HWND combo = GetDlgItem(dialog, kFileNameCombo);
    const HWND inner = combo ? FindWindowExA(combo, nullptr, "Edit", nullptr) : nullptr;
    return inner ? inner : combo;
}

}  // namespace

void AnswerOpenDialog(HWND dialog, OpenDialogSeen& seen, const std::string& path)
{
    AnswerOpenDialog(dialog, seen, WideOf(path));
}

void AnswerOpenDialog(HWND dialog, OpenDialogSeen& seen, const std::wstring& path)
{
    const HWND types = GetDlgItem(dialog, kFileTypes);
    seen.filterCount = static_cast<int>(SendMessageA(types, CB_GETCOUNT, 0, 0));
    // The wide form, which Wine also passes intact to a dialog of another process.
    wchar_t wide[256] = {};
    SendMessageW(types, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(wide));
    char text[512] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    seen.filter = text;
    seen.selectedFilter = static_cast<int>(SendMessageA(types, CB_GETCURSEL, 0, 0));
    seen.proposedName = TextOf(FileNameField(dialog));
    const int button = path.empty() ? IDCANCEL : IDOK;
    if (!path.empty())
        SetWindowTextW(FileNameField(dialog), path.c_str());
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

INT_PTR BrowseThroughOpenDialog(HWND window, MessagePump& pump, const std::string& path, OpenDialogSeen& seen)
{
    return BrowseThroughOpenDialog(window, pump, WideOf(path), seen);
}

INT_PTR BrowseThroughOpenDialog(HWND window, MessagePump& pump, const std::wstring& path, OpenDialogSeen& seen)
{
    ModalDriver driver([window] { return FindOwnedDialog(window); },
                       [&](HWND dialog) {
                           AnswerOpenDialog(dialog, seen, path);
                           return true;
                       });
    const INT_PTR result = MainDialogProc(window, WM_COMMAND, MAKEWPARAM(IDC_BROWSE, 0x4242), 0);
    EXPECT_TRUE(driver.Ran()) << "no Open dialog appeared";
    pump.Run(window);
    return result;
}
