// The real main window in the test's own process, built by the program's code from
// the resources linked into the test, and helpers to drive it and its modal boxes.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/dialog_shell_win32.h"
#include "res/resource.h"
#include "support/dialog_templates.h"
#include "support/program_window_win32.h"

// A template rectangle's x, y, width and height, each converted from dialog units to
// pixels on its own: left, top, right and bottom hold the four results.
RECT DialogUnitsToPixels(HWND dialog, int x, int y, int width, int height);

// A control's rectangle in its parent's client coordinates.
RECT ChildRect(HWND control);

std::string ClassOf(HWND window);

// A window's text in wide characters, as the platform holds it (WM_GETTEXT, which
// also asks a control of another process).
std::wstring WideTextOf(HWND window);

// Handles every waiting message of the thread through the program's DeliverMessage,
// with the dialog keyboard interface of `dialog`. A quit message is kept out of the
// way and counted; its exit code is recorded.
struct MessagePump {
    int quitMessages = 0;
    WPARAM quitCode = 0xDEAD;
    void Run(HWND dialog);
};

// Calls `action` from inside the next modal loop, once `find` returns a window (it
// is asked every 50 ms). An action that returns false is called again on the next
// tick, so that what it started can be seen to happen. Gives up after about 20 s
// (ScaledWait) without a window.
class ModalDriver {
public:
    ModalDriver(std::function<HWND()> find, std::function<bool(HWND)> action);
    ~ModalDriver();
    ModalDriver(const ModalDriver&) = delete;
    ModalDriver& operator=(const ModalDriver&) = delete;
    bool Ran() const { return ran; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD);
    std::function<HWND()> find;
    std::function<bool(HWND)> action;
    UINT_PTR timer = 0;
    int ticks = 0;
    bool ran = false;
};

// A visible dialog box (class #32770) owned by `owner`, or null. The owner may be a
// window of another process.
HWND FindOwnedDialog(HWND owner);

// What the platform's Open dialog offered when it was answered.
struct OpenDialogSeen {
    int filterCount = -1;
    std::string filter;
    int selectedFilter = -1;
    std::string proposedName = "<not seen>";
};

// Notes what the Open dialog `dialog` offers, then confirms `path` in it, or cancels
// it when `path` is empty. The dialog may belong to another process. The path is
// typed in wide characters, as a user types a name the ANSI code page may lack.
void AnswerOpenDialog(HWND dialog, OpenDialogSeen& seen, const std::wstring& path);
void AnswerOpenDialog(HWND dialog, OpenDialogSeen& seen, const std::string& path);

// Presses Browse... (with an unusual notification code), notes what the Open dialog
// offers and confirms `path` in it, or cancels it when `path` is empty; then handles
// what the window was sent. Returns the command's result.
INT_PTR BrowseThroughOpenDialog(HWND window, MessagePump& pump, const std::wstring& path, OpenDialogSeen& seen);
INT_PTR BrowseThroughOpenDialog(HWND window, MessagePump& pump, const std::string& path, OpenDialogSeen& seen);

// Makes the clipboard's plain text `text`, through a window of its own.
void PutClipboardText(const std::string& text);
// The clipboard's CF_TEXT, or "<none>" when it has none.
std::string ClipboardText();
// The clipboard's text as a program that reads Unicode takes it (CF_UNICODETEXT,
// which the clipboard makes from CF_TEXT in the code page of the copy), or L"<none>".
std::wstring ClipboardWideText();

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    HWND Item(int id) const { return GetDlgItem(window, id); }
    std::string Text(int id) const { return TextOf(Item(id)); }
    void SetText(int id, const std::string& text) const { SetDlgItemTextA(window, id, text.c_str()); }
    int FocusId() const { return GetFocus() ? GetDlgCtrlID(GetFocus()) : 0; }

    // Sends a key, down and up, to the focused control and lets the window handle it.
    void Press(UINT key);
    // Drops `names` on `target` (Source or the window itself) as the shell does, in a
    // movable DROPFILES block of wide names, each with its zero, and one zero more;
    // `slack` bytes follow. Then lets the window handle it.
    void Drop(HWND target, const std::vector<std::wstring>& names, size_t slack = 0);

    HWND window = nullptr;
    MessagePump pump;
};
