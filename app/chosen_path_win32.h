// The path of a chosen file (through the Open dialog or dropped), as the ANSI code page
// holds it: the fields, the calculate command and the file reader all take ANSI text.
//
// The dialog and the drop are asked in wide characters, as the platform holds names,
// because their ANSI answers are made with Windows' best-fit conversion: a character
// the code page lacks becomes a look-alike (U+0101 and U+FF41 become "a", U+2215
// "/"), so that the path can name another file beside the chosen one. Here a path is
// taken only where its conversion is exact.
//
// The conversion runs over any text platform of this shape (all static):
//   ToAnsiExactly(wide, ansi, size) -> bool: `wide` in the ANSI code page, with its
//       zero, into `size` bytes; false where a character has no exact form there or
//       the text does not fit
//   ShortPath(path, shortPath, size) -> DWORD: as GetShortPathNameW, the 8.3 form of
//       an existing file's path: its length, 0 on failure, more than size when the
//       buffer is too small
#pragma once

#include <windows.h>

// Characters of the Open dialog's buffers; bytes of the path handed on.
inline constexpr int kChosenPathSize = 2048;

struct Win32PathText {
    static bool ToAnsiExactly(const wchar_t* wide, char* ansi, int size);
    static DWORD ShortPath(const wchar_t* path, wchar_t* shortPath, DWORD size)
    {
        return GetShortPathNameW(path, shortPath, size);
    }
};

// The chosen path in the ANSI code page; where the name itself cannot be held
// exactly, the short (8.3) path of the same file, where the volume keeps one and it
// converts exactly. False when neither serves: then no path names the file in ANSI.
template <class PathText = Win32PathText>
bool AnsiPathOfChosenFile(const wchar_t* path, char (&ansi)[kChosenPathSize])
{
    if (PathText::ToAnsiExactly(path, ansi, kChosenPathSize))
        return true;
    wchar_t shortPath[kChosenPathSize];
    const DWORD length = PathText::ShortPath(path, shortPath, kChosenPathSize);
    if (length == 0 || length >= static_cast<DWORD>(kChosenPathSize))
        return false;
    return PathText::ToAnsiExactly(shortPath, ansi, kChosenPathSize);
}

// Takes `path`, a file the user chose or dropped, into the window's fields: File
// shows its ANSI path, Source and MD5 are emptied and the focus goes to Calc MD5.
// Returns 1; or 0 where no ANSI path names the file, and then File keeps its text
// and the MD5 field says so.
int TakeChosenFile(HWND window, const wchar_t* path);
