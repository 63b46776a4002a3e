// The About box, opened from the system menu: a picture and two lines, no button.
#include <windows.h>

#include "app/dialog_shell_win32.h"

namespace {

INT_PTR OnAboutClose(HWND window)
{
    return EndDialog(window, 0);
}

}  // namespace

INT_PTR CALLBACK AboutDialogProc(HWND window, UINT message, WPARAM, LPARAM)
{
    // No button: IDCANCEL from Escape is left alone, only a close request ends the box.
    switch (message) {
    case WM_INITDIALOG:
        return 1;
    case WM_CLOSE:
        return OnAboutClose(window);
    default:
        return 0;
    }
}
