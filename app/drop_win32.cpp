// Files dragged onto the window: one file is taken as Browse... takes a chosen one.
#include <windows.h>
#include <shellapi.h>

#include "app/chosen_path_win32.h"
#include "app/dialog_shell_win32.h"
#include "app/field_texts.h"
#include "res/resource.h"

namespace {

// Source's own edit procedure, which every message but a drop goes on to.
WNDPROC sourceEditProc;

// Puts the one file dropped into `path`; returns null, or the message to show where
// the drop is not one file whose name the platform gives.
const char* DroppedFile(HDROP drop, wchar_t (&path)[kChosenPathSize])
{
    // One File field holds one file: of several, none is picked for the user.
    if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) != 1)
        return kDroppedSeveralText;
    // Asked first, as a name too long for the buffer would be handed over cut.
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    if (length == 0 || length >= static_cast<UINT>(kChosenPathSize) ||
        DragQueryFileW(drop, 0, path, kChosenPathSize) != length)
        return kDroppedNamelessText;
    const DWORD attributes = GetFileAttributesW(path);
    // A name that cannot be looked at is taken still: Calc MD5 then says it cannot be opened.
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return kDroppedFolderText;
    return nullptr;
}

LRESULT CALLBACK SourceProc(HWND source, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DROPFILES) {
        TakeDroppedFiles(GetParent(source), reinterpret_cast<HDROP>(wParam));
        return 0;  // handled
    }
    return CallWindowProcA(sourceEditProc, source, message, wParam, lParam);
}

}  // namespace

void AcceptDroppedFiles(HWND window)
{
    // Source accepts files by its template, so a drop over it reaches Source itself;
    // one over any other control, the disabled File among them, reaches the window.
    DragAcceptFiles(window, TRUE);
    // Fails only where the window has no Source; then SourceProc never runs.
    sourceEditProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(GetDlgItem(window, IDC_SOURCE), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SourceProc)));
}

void TakeDroppedFiles(HWND window, HDROP drop)
{
    if (!drop)
        return;  // a message of no drop, which any program may send: nothing to take or release
    // While the About box or the Open dialog is up the window is disabled, and a drop
    // must not change what stands behind it.
    if (IsWindowEnabled(window)) {
        wchar_t path[kChosenPathSize];
        if (const char* refusal = DroppedFile(drop, path))
            SetDlgItemTextA(window, IDC_MD5, refusal);
        else
            TakeChosenFile(window, path);
    }
    DragFinish(drop);
}
