// Browse... through the platform's Open dialog, and the About box.
#include <windows.h>
#include <commdlg.h>

#include <cstring>

#include "app/dialog_shell_win32.h"
#include "res/resource.h"

// The record's own size for the platform built for: 88 bytes in the 32-bit program
// (the full record, not the older 76-byte form), larger with 64-bit pointers.
#ifndef _WIN64
static_assert(sizeof(OPENFILENAMEA) == 88, "the 32-bit open-file record is 88 bytes");
#endif

int BrowseForFile(HWND window)
{
    char filter[2048];
    char path[2048];
    char fileTitle[2048];
    OPENFILENAMEA record;
    std::memset(filter, 0, sizeof filter);
    std::memset(path, 0, sizeof path);
    std::memset(fileTitle, 0, sizeof fileTitle);
    std::memset(&record, 0, sizeof record);

    // "All Files(*.*)", its inner NUL, "*.*" and the NUL the load appends; the
    // zero-filled byte after them closes the filter list.
    LoadStringA(programInstance, IDS_FILE_FILTER, filter, sizeof filter);

    record.lStructSize = sizeof record;
    record.hwndOwner = window;
    record.lpstrFilter = filter;
    record.nFilterIndex = 1;
    record.lpstrFile = path;  // empty: no proposed name
    record.nMaxFile = sizeof path;
    record.lpstrFileTitle = fileTitle;
    record.nMaxFileTitle = sizeof fileTitle;
    record.Flags = OFN_FILEMUSTEXIST;
    if (!GetOpenFileNameA(&record))
        return 0;  // cancelled, closed or failed: every field keeps its text

    SetDlgItemTextA(window, IDC_FILE, path);
    SetDlgItemTextA(window, IDC_SOURCE, "");
    SetDlgItemTextA(window, IDC_MD5, "");
    // A key press on the focused button now digests the chosen file.
    SetFocus(GetDlgItem(window, IDC_CALC));
    return 1;
}

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
