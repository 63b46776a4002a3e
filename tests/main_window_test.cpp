// The main window as the program creates it, in the test's process: the template,
// the system menu, every row of the message table and Calc MD5 through the window.
#include <gtest/gtest.h>

#include <string>

#include "support/oracle_md5.h"
#include "tests/dialog_shell_support.h"

namespace {

bool QueuedClose(HWND window)
{
    MSG message;
    return PeekMessageA(&message, window, WM_CLOSE, WM_CLOSE, PM_REMOVE) != 0;
}

using MainWindowTemplate = MainWindowTest;

TEST_F(MainWindowTemplate, WindowIsTheCentredTopLevelDialogOfTheTemplate)
{
    EXPECT_EQ("#32770", ClassOf(window));
    EXPECT_EQ(kMainTemplate.caption, TextOf(window));
    EXPECT_EQ(nullptr, GetWindow(window, GW_OWNER));
    EXPECT_EQ(nullptr, GetParent(window));
    EXPECT_EQ(nullptr, GetMenu(window));
    EXPECT_TRUE(IsWindowVisible(window));

    // The platform adds WS_CLIPSIBLINGS to every top-level window; nothing else may differ.
    const DWORD style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
    EXPECT_EQ(kMainTemplate.style, style & ~static_cast<DWORD>(WS_CLIPSIBLINGS)) << std::hex << style;
    EXPECT_EQ(0u, style & (WS_POPUP | WS_CHILD | WS_MAXIMIZEBOX | WS_THICKFRAME));
    // DS_MODALFRAME shows as WS_EX_DLGMODALFRAME; every dialog is a control parent.
    // The window accepts dropped files from when it is made, which the template does
    // not ask for.
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE));
    EXPECT_EQ(kMainTemplate.exStyle | WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT | WS_EX_ACCEPTFILES, exStyle)
        << std::hex << exStyle;

    RECT client{};
    GetClientRect(window, &client);
    const RECT units = DialogUnitsToPixels(window, 0, 0, kMainTemplate.width, kMainTemplate.height);
    EXPECT_EQ(units.right, client.right);
    EXPECT_EQ(units.bottom, client.bottom);

    RECT frame{}, work{};
    GetWindowRect(window, &frame);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR((work.left + work.right) / 2, (frame.left + frame.right) / 2, 1);
    EXPECT_NEAR((work.top + work.bottom) / 2, (frame.top + frame.bottom) / 2, 1);

    // The icon, sent big and small, is the one of the resources.
    const LPARAM big = SendMessageA(window, WM_GETICON, ICON_BIG, 0);
    EXPECT_NE(0, big);
    EXPECT_EQ(big, SendMessageA(window, WM_GETICON, ICON_SMALL, 0));
    EXPECT_EQ(reinterpret_cast<LPARAM>(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_APP))), big);
}

TEST_F(MainWindowTemplate, ControlsAreCreatedInTemplateOrderWithEveryAttribute)
{
    HWND control = GetWindow(window, GW_CHILD);
    for (const TemplateControl& row : kMainControls) {
        SCOPED_TRACE(row.text[0] ? row.text : std::to_string(row.id));
        ASSERT_NE(nullptr, control);
        EXPECT_EQ(row.id, static_cast<int>(GetWindowLongPtrA(control, GWLP_ID)));
        EXPECT_STRCASEEQ(row.className, ClassOf(control).c_str());
        EXPECT_EQ(row.text, TextOf(control));
        const DWORD style = static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE));
        const DWORD exStyle = static_cast<DWORD>(GetWindowLongA(control, GWL_EXSTYLE));
        EXPECT_EQ(row.style, style) << std::hex << style;
        // The dialog manager gives every control it creates WS_EX_NOPARENTNOTIFY.
        EXPECT_EQ(row.exStyle | WS_EX_NOPARENTNOTIFY, exStyle) << std::hex << exStyle;
        // Position and size are converted each on its own, as the dialog manager does.
        const RECT expected = DialogUnitsToPixels(window, row.x, row.y, row.width, row.height);
        const RECT actual = ChildRect(control);
        EXPECT_EQ(expected.left, actual.left);
        EXPECT_EQ(expected.top, actual.top);
        EXPECT_EQ(expected.right, actual.right - actual.left);
        EXPECT_EQ(expected.bottom, actual.bottom - actual.top);
        control = GetWindow(control, GW_HWNDNEXT);
    }
    EXPECT_EQ(nullptr, control) << "more controls than the template's ten";
}

TEST_F(MainWindowTemplate, FocusStartsInSourceAndTabCyclesTheFourButtonsOnly)
{
    EXPECT_EQ(IDC_SOURCE, FocusId());
    const int cycle[] = {IDC_BROWSE, IDC_COPY, IDC_QUIT, IDC_CALC, IDC_BROWSE, IDC_COPY};
    for (int expected : cycle) {
        Press(VK_TAB);
        EXPECT_EQ(expected, FocusId());
    }
}

TEST_F(MainWindowTemplate, SystemMenuEndsWithAboutRightAfterClose)
{
    const HMENU menu = GetSystemMenu(window, FALSE);
    const int count = GetMenuItemCount(menu);
    ASSERT_GE(count, 2);
    char text[64] = {};
    GetMenuStringA(menu, count - 1, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ("About...", text);
    EXPECT_EQ(static_cast<UINT>(IDM_ABOUT), GetMenuItemID(menu, count - 1));
    EXPECT_EQ(0u, GetMenuState(menu, count - 1, MF_BYPOSITION) & (MF_SEPARATOR | MF_GRAYED | MF_DISABLED));
    // Directly after the menu's own last entry: Close on Windows (Wine adds an entry
    // of its own after Close), with no separator between.
    EXPECT_EQ(0u, GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR) << "a separator before About...";
    const UINT before = GetMenuItemID(menu, count - 2);
    EXPECT_TRUE(before == SC_CLOSE || before == 0xF141u) << std::hex << before;
}

using MainWindowMessages = MainWindowTest;

TEST_F(MainWindowMessages, InitDialogAppendsOneAboutEntryAndPassesOnTheResult)
{
    const HMENU menu = GetSystemMenu(window, FALSE);
    const int before = GetMenuItemCount(menu);
    EXPECT_NE(0, MainDialogProc(window, WM_INITDIALOG, 0, 0));
    EXPECT_EQ(before + 1, GetMenuItemCount(menu));
    EXPECT_EQ(static_cast<UINT>(IDM_ABOUT), GetMenuItemID(menu, before));
}

TEST_F(MainWindowMessages, EveryShowWindowPutsTheFocusBackOnSource)
{
    SetFocus(Item(IDC_QUIT));
    EXPECT_EQ(1, MainDialogProc(window, WM_SHOWWINDOW, FALSE, 0));
    EXPECT_EQ(IDC_SOURCE, FocusId());

    // Through the window, showing and hiding alike.
    for (WPARAM shown : {TRUE, FALSE}) {
        SetFocus(Item(IDC_CALC));
        SendMessageA(window, WM_SHOWWINDOW, shown, 0);
        EXPECT_EQ(IDC_SOURCE, FocusId()) << shown;
    }
}

TEST_F(MainWindowMessages, QuitPostsACloseWhateverTheNotificationCode)
{
    for (WPARAM code : {0u, 1u, 0x1234u}) {
        EXPECT_NE(0, MainDialogProc(window, WM_COMMAND, MAKEWPARAM(IDC_QUIT, code), 0));
        EXPECT_TRUE(IsWindow(window)) << "the close is only queued";
        EXPECT_TRUE(QueuedClose(window)) << code;
    }
}

TEST_F(MainWindowMessages, UnknownCommandsAndSystemCommandsDoNothingAndYieldZero)
{
    SetText(IDC_SOURCE, "typed");
    SetText(IDC_FILE, "C:\\some\\file");
    SetText(IDC_MD5, "result");
    for (int id : {IDOK, IDCANCEL, IDC_SOURCE, IDC_FILE, IDC_MD5, 65535, IDM_ABOUT})
        EXPECT_EQ(0, MainDialogProc(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0)) << id;
    for (WPARAM command : {WPARAM{SC_CLOSE}, WPARAM{SC_MINIMIZE}, WPARAM{SC_MOVE}, WPARAM{IDC_QUIT}})
        EXPECT_EQ(0, MainDialogProc(window, WM_SYSCOMMAND, command, 0)) << command;
    EXPECT_EQ(0, MainDialogProc(window, WM_USER + 7, 1, 2));
    EXPECT_EQ(0, MainDialogProc(window, WM_DROPFILES, 0, 0));  // a drop message without a drop

    EXPECT_FALSE(QueuedClose(window));
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ("typed", Text(IDC_SOURCE));
    EXPECT_EQ("C:\\some\\file", Text(IDC_FILE));
    EXPECT_EQ("result", Text(IDC_MD5));
}

TEST_F(MainWindowMessages, EnterAndEscapeInTheWindowDoNothing)
{
    SetText(IDC_SOURCE, "abc");
    SetFocus(Item(IDC_SOURCE));
    Press(VK_RETURN);
    Press(VK_ESCAPE);
    SetFocus(Item(IDC_BROWSE));
    Press(VK_ESCAPE);
    ASSERT_TRUE(IsWindow(window)) << "Escape closed the window";
    EXPECT_EQ("abc", Text(IDC_SOURCE));
    EXPECT_EQ("", Text(IDC_MD5)) << "Enter ran a command";
    EXPECT_EQ(0, pump.quitMessages);
}

TEST_F(MainWindowMessages, DestroyPostsQuitWithCodeZeroAndCloseDestroys)
{
    EXPECT_EQ(0, MainDialogProc(window, WM_DESTROY, 0, 0));
    EXPECT_TRUE(IsWindow(window)) << "WM_DESTROY only posts the quit";
    pump.Run(window);
    EXPECT_EQ(1, pump.quitMessages);
    EXPECT_EQ(0u, pump.quitCode);

    EXPECT_EQ(0, MainDialogProc(window, WM_CLOSE, 0, 0));
    EXPECT_FALSE(IsWindow(window));
    pump.Run(window);
    EXPECT_EQ(2, pump.quitMessages);
    EXPECT_EQ(0u, pump.quitCode);
}

TEST_F(MainWindowMessages, CloseBoxEndsInTheSameQuit)
{
    SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    pump.Run(window);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(1, pump.quitMessages);
    EXPECT_EQ(0u, pump.quitCode);
}

TEST_F(MainWindowMessages, CalcDigestsTheTypedTextWhateverTheNotificationCode)
{
    const std::string typed = "The quick brown fox jumps over the lazy dog";
    SetText(IDC_FILE, "C:\\ignored.bin");
    SetText(IDC_SOURCE, typed);
    EXPECT_EQ(1, MainDialogProc(window, WM_COMMAND, MAKEWPARAM(IDC_CALC, 0x0300), 0));
    EXPECT_EQ(OracleMd5Hex(typed.data(), typed.size()), Text(IDC_MD5));
    EXPECT_EQ("", Text(IDC_FILE)) << "a text digest empties File";
    EXPECT_EQ(typed, Text(IDC_SOURCE));

    // The button itself, clicked through the window.
    SetText(IDC_SOURCE, "abc");
    SendMessageA(Item(IDC_CALC), BM_CLICK, 0, 0);
    pump.Run(window);
    EXPECT_EQ(OracleMd5Hex("abc", 3), Text(IDC_MD5));
}

}  // namespace
