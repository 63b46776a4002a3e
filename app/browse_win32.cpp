// Browse...: the platform's Open dialog, and the chosen path into the File field.
#include <windows.h>
#include <commdlg.h>

#include <cstring>

#include "app/chosen_path_win32.h"
#include "app/dialog_shell_win32.h"
#include "res/resource.h"

// The record's own size for the platform built for: 88 bytes in the 32-bit program
// (the full record, not the older 76-byte form), larger with 64-bit pointers.
#ifndef _WIN64
static_assert(sizeof(OPENFILENAMEW) == 88, "the 32-bit open-file record is 88 bytes");
#endif

int BrowseForFile(HWND window)
{
    wchar_t filter[kChosenPathSize];
    wchar_t path[kChosenPathSize];
    wchar_t fileTitle[kChosenPathSize];
    OPENFILENAMEW record;
    std::memset(filter, 0, sizeof filter);
    std::memset(path, 0, sizeof path);
    std::memset(fileTitle, 0, sizeof fileTitle);
    std::memset(&record, 0, sizeof record);

    // "All Files(*.*)", its inner NUL, "*.*" and the NUL the load appends; the
    // zero-filled character after them closes the filter list.
    LoadStringW(programInstance, IDS_FILE_FILTER, filter, kChosenPathSize);

    record.lStructSize = sizeof record;
    record.hwndOwner = window;
    record.lpstrFilter = filter;
    record.nFilterIndex = 1;
    record.lpstrFile = path;  // empty: no proposed name
    record.nMaxFile = kChosenPathSize;
    record.lpstrFileTitle = fileTitle;
    record.nMaxFileTitle = kChosenPathSize;
    record.Flags = OFN_FILEMUSTEXIST;
    if (!GetOpenFileNameW(&record))
        return 0;  // cancelled, closed or failed: every field keeps its text

    return TakeChosenFile(window, path);
}
