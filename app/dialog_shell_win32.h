// The dialog shell: the main window, its message loop, the About box, the actions
// behind the Browse... and Copyto clipboard buttons, and files dropped on the window.
#pragma once

#include <windows.h>
#include <shellapi.h>

// The program module: every resource (templates, icon, filter string) is loaded
// through it. The entry function stores it before the window is created.
extern HINSTANCE programInstance;

// Creates the modeless main window from its template, lets files be dropped on it
// and gives it the program's icon, big and small.
HWND CreateMainWindow();

// Runs the thread's messages, each through DeliverMessage, until the quit message;
// returns that message's exit code.
int RunMessageLoop(HWND mainWindow);
// Hands one message of the thread on, with the main window's keyboard interface first.
void DeliverMessage(HWND mainWindow, MSG& message);

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Lets the user pick an existing file; 1 when one was chosen and the fields were
// set, 0 when the Open dialog was cancelled or failed (then no field is touched) or
// when no path in the ANSI code page names the chosen file (then the MD5 field says so).
int BrowseForFile(HWND window);

// Puts the MD5 field's whole text on the clipboard as plain text.
void CopyResultToClipboard(HWND window);

// Lets files be dropped anywhere on the window, Source included; once for each window.
void AcceptDroppedFiles(HWND window);
// Takes a drop on the window: one file as Browse... takes a chosen one; anything else
// leaves File and Source as they are and says why in the MD5 field, and a window
// disabled under a modal box is left as it is. Always releases the drop.
void TakeDroppedFiles(HWND window, HDROP drop);
