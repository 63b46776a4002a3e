// Copyto clipboard over the platform's clipboard.
#include "app/clipboard_copy_win32.h"

#include "app/dialog_shell_win32.h"

char clipboardText[kFieldBufferSize];
int clipboardCount;

void CopyResultToClipboard(HWND window)
{
    CopyFieldToClipboard<Win32Clipboard>(window);
}
