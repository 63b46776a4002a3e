// Copyto clipboard: the MD5 field's whole text as the clipboard's CF_TEXT.
//
// The copy runs over any clipboard of this shape (all static):
//   Allocate(flags, bytes) -> HGLOBAL, Lock(block) -> void*, Unlock(block),
//   Free(block), Open(window) -> BOOL, Empty(), SetText(block) -> HANDLE, Close().
#pragma once

#include <windows.h>

#include <cstring>

#include "app/field_texts.h"
#include "res/resource.h"

// The text that the latest copy read from the MD5 field, and its length. Program-wide,
// so they hold it after the copy returns; each copy clears them and reads the field
// afresh, so no copy uses what an earlier one read.
extern char clipboardText[kFieldBufferSize];
extern int clipboardCount;

// The platform's own clipboard and global memory.
struct Win32Clipboard {
    static HGLOBAL Allocate(UINT flags, SIZE_T bytes) { return GlobalAlloc(flags, bytes); }
    static void* Lock(HGLOBAL block) { return GlobalLock(block); }
    static void Unlock(HGLOBAL block) { GlobalUnlock(block); }
    static void Free(HGLOBAL block) { GlobalFree(block); }
    static BOOL Open(HWND owner) { return OpenClipboard(owner); }
    static void Empty() { EmptyClipboard(); }
    static HANDLE SetText(HGLOBAL block) { return SetClipboardData(CF_TEXT, block); }
    static void Close() { CloseClipboard(); }
};

template <class Clipboard>
void CopyFieldToClipboard(HWND window)
{
    std::memset(clipboardText, 0, sizeof clipboardText);
    // One byte short of the buffer: at most 4094 characters and the zero.
    clipboardCount = static_cast<int>(GetDlgItemTextA(window, IDC_MD5, clipboardText, sizeof clipboardText - 1));
    if (clipboardCount == 0)
        return;  // an empty field leaves the clipboard as it was

    const HGLOBAL block = Clipboard::Allocate(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(clipboardCount) + 2);
    if (!block)
        return;
    char* const bytes = static_cast<char*>(Clipboard::Lock(block));
    if (!bytes) {
        Clipboard::Free(block);
        return;
    }
    lstrcpyA(bytes, clipboardText);
    Clipboard::Unlock(block);

    // The block belongs to the clipboard only once it is accepted; until then it is ours to free.
    if (!Clipboard::Open(window)) {
        Clipboard::Free(block);
        return;
    }
    Clipboard::Empty();
    if (!Clipboard::SetText(block))
        Clipboard::Free(block);
    Clipboard::Close();
}
