// A chosen file's path into the fields, however it was chosen: through the Open
// dialog or dropped on the window.
#include "app/chosen_path_win32.h"

#include <cwchar>

#include "app/field_texts.h"
#include "res/resource.h"

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

int TakeChosenFile(HWND window, const wchar_t* path)
{
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
