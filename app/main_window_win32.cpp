// The main window: its creation, the message loop and the main dialog procedure.
#include "app/dialog_shell_win32.h"

#include "app/calculate_on_main_window_win32.h"
#include "res/resource.h"

HINSTANCE programInstance;

namespace {

INT_PTR OnInitDialog(HWND window)
{
    // Appended right after Close, with no separator; the result only tells the
    // platform to leave the initial focus to it.
    return AppendMenuA(GetSystemMenu(window, FALSE), MF_STRING, IDM_ABOUT, "About...");
}

INT_PTR OnShowWindow(HWND window)
{
    // Source has no tab stop, so this is how the keyboard reaches it.
    SetFocus(GetDlgItem(window, IDC_SOURCE));
    return 1;
}

INT_PTR OnCommand(HWND window, WPARAM wParam)
{
    // The notification code in the high word does not matter.
    switch (LOWORD(wParam)) {
    case IDC_BROWSE:
        return BrowseForFile(window);
    case IDC_COPY:
        CopyResultToClipboard(window);
        return 0;
    case IDC_QUIT:
        return PostMessageA(window, WM_CLOSE, 0, 0);
    case IDC_CALC:
        return CalculateOnMainWindow(window);
    default:
        // Includes IDOK and IDCANCEL, which Enter and Escape produce: neither does anything.
        return 0;
    }
}

INT_PTR OnSysCommand(HWND window, WPARAM wParam)
{
    if (LOWORD(wParam) == IDM_ABOUT)
        DialogBoxParamA(programInstance, MAKEINTRESOURCEA(IDD_ABOUT), window, AboutDialogProc, 0);
    // Always 0, so every system command also gets the platform's default handling.
    return 0;
}

INT_PTR OnDropFiles(HWND window, WPARAM wParam)
{
    TakeDroppedFiles(window, reinterpret_cast<HDROP>(wParam));
    // The platform's default does nothing with a drop, so it may have its turn.
    return 0;
}

INT_PTR OnClose(HWND window)
{
    DestroyWindow(window);
    return 0;
}

INT_PTR OnDestroy()
{
    PostQuitMessage(0);
    return 0;
}

}  // namespace

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(window);
    case WM_SHOWWINDOW:
        return OnShowWindow(window);
    case WM_COMMAND:
        return OnCommand(window, wParam);
    case WM_SYSCOMMAND:
        return OnSysCommand(window, wParam);
    case WM_DROPFILES:
        return OnDropFiles(window, wParam);
    case WM_CLOSE:
        return OnClose(window);
    case WM_DESTROY:
        return OnDestroy();
    default:
        return 0;
    }
}

HWND CreateMainWindow()
{
    // The template is visible and centred: nothing else shows or places the window.
    const HWND window = CreateDialogParamA(programInstance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);
    // Here rather than on WM_INITDIALOG, which may come again: Source's procedure is
    // taken over once.
    AcceptDroppedFiles(window);
    const HICON icon = LoadIconA(programInstance, MAKEINTRESOURCEA(IDI_APP));
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    return window;
}

int RunMessageLoop(HWND mainWindow)
{
    MSG message{};
    // GetMessageA gives -1 on an error; that must end the loop, not spin it.
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DeliverMessage(mainWindow, message);
    return static_cast<int>(message.wParam);
}

void DeliverMessage(HWND mainWindow, MSG& message)
{
    if (!IsDialogMessageA(mainWindow, &message)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
