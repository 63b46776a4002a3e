// Browse...: the platform's Open dialog, and the chosen path into the File field.
#include <windows.h>
#include <commdlg.h>

#include <cstring>
#include <cwchar>

#include "app/chosen_path_win32.h"
#include "app/dialog_shell_win32.h"
#include "res/resource.h"

namespace {

// In the style of the calculate command's messages, its full-width comma as the
// code page 936 bytes A3 AC.
constexpr char kFileNameUnusableText[] = "Sorry\xA3\xACthe file name cannot be used on this system";

}  // namespace

// The record's own size for the platform built for: 88 bytes in the 32-bit program
// (the full record, not the older 76-byte form), larger with 64-bit pointers.
#ifndef _WIN64
static_assert(sizeof(OPENFILENAMEW) == 88, "the 32-bit open-file record is 88 bytes");
#endif

bool Win32PathText::ToAnsiExactly(const wchar_t* wide, char* ansi, int size)
{
    // Where the ANSI code page is UTF-8 it holds every character, and Windows refuses
    // both the flag and the question for it.
    const bool utf8 = GetACP() == CP_UTF8;
    BOOL usedDefault = FALSE;
    if (!WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide, -1, ansi, size, nullptr,
                             utf8 ? nullptr : &usedDefault) ||
        usedDefault)
        return false;
    // Back again it must be the same text, so that nothing was put in another's place.
    // The bytes came from at most kChosenPathSize characters, so they go back into as many.
    wchar_t back[kChosenPathSize];
    return MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi, -1, back, kChosenPathSize) > 0 &&
           std::wcscmp(back, wide) == 0;
}

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

    char ansiPath[kChosenPathSize];
    if (!AnsiPathOfChosenFile(path, ansiPath)) {
        // No ANSI path names this file: the File field keeps its text rather than
        // take one that names another file or none.
        SetDlgItemTextA(window, IDC_MD5, kFileNameUnusableText);
        return 0;
    }
    SetDlgItemTextA(window, IDC_FILE, ansiPath);
    SetDlgItemTextA(window, IDC_SOURCE, "");
    SetDlgItemTextA(window, IDC_MD5, "");
    // A key press on the focused button now digests the chosen file.
    SetFocus(GetDlgItem(window, IDC_CALC));
    return 1;
}
