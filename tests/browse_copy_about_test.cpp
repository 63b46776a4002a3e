// Browse... through the platform's real Open dialog, files dropped on the window,
// Copyto clipboard (also when the clipboard or the memory fails it) and the About
// box, all on the real main window.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cwchar>
#include <functional>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <utility>

#include "app/chosen_path_win32.h"
#include "app/clipboard_copy_win32.h"
#include "support/oracle_md5.h"
#include "tests/dialog_shell_support.h"
#include "tests/md5_field_texts.h"
#include "tests/test_support.h"

namespace {


// A file name, and its exact bytes in code pages 1252 and 936 as their published
// tables give them; null where the code page lacks one of its characters. Where it
// does, Windows' best-fit conversion makes a look-alike of the name, which may name
// another file: lookAlike is that one.
struct NameInCodePages {
    const wchar_t* name;
    const char* cp1252;
    const char* cp936;
    const wchar_t* lookAlike;
};
const NameInCodePages kNames[] = {
    {L"plain.bin", "plain.bin", "plain.bin", nullptr},
    {L"\u00E9t\u00E9.bin", "\xE9t\xE9.bin", "\xA8\xA6t\xA8\xA6.bin", nullptr},  // e acute: in both
    {L"\u0101.bin", nullptr, "\xA8\xA1.bin", L"a.bin"},                        // a with macron
    {L"\uFF41.bin", nullptr, "\xA3\xE1.bin", L"a.bin"},                        // full-width a
    {L"\u2215.bin", nullptr, "\xA8\x4D.bin", L".bin"},                         // division slash, "/" in best fit
    {L"\u4F60\u597D.bin", nullptr, "\xC4\xE3\xBA\xC3.bin", nullptr},          // ni hao
};

// The name's exact bytes in the code page of this run, which is 1252 or 936.
const char* ExactInThisCodePage(const NameInCodePages& row)
{
    EXPECT_TRUE(GetACP() == 1252 || GetACP() == 936) << GetACP();
    return GetACP() == 936 ? row.cp936 : row.cp1252;
}

// ---- the chosen path into the ANSI code page ----

// The platform's conversion over a volume of the test's own: its short (8.3) names
// are what the row says.
struct ScriptedShortNames : Win32PathText {
    static inline const wchar_t* shortPath = nullptr;  // null: the volume keeps none
    static inline int asked = 0;
    static DWORD ShortPath(const wchar_t*, wchar_t* out, DWORD size)
    {
        ++asked;
        if (!shortPath)
            return 0;
        const auto length = static_cast<DWORD>(std::wcslen(shortPath));
        if (length >= size)
            return length + 1;
        std::wcscpy(out, shortPath);
        return length;
    }
};

TEST(ChosenPath, ShortPathServesOnlyWhereItConvertsExactly)
{
    // Half a surrogate pair converts exactly in no code page.
    const wchar_t* inexact = L"C:\\d\\\xD800.bin";
    const std::wstring tooLong(3000, L'A');
    const std::wstring noRoomForTheZero = L"C:\\" + std::wstring(kChosenPathSize - 3, L'a');
    struct Row {
        const wchar_t* path;
        const wchar_t* shortPath;
        const char* expected;  // null: no path is handed on
        int shortPathsAsked;
    } rows[] = {
        {L"C:\\d\\plain.bin", L"C:\\d\\OTHER.BIN", "C:\\d\\plain.bin", 0},
        {inexact, L"C:\\d\\_~1.BIN", "C:\\d\\_~1.BIN", 1},
        {inexact, nullptr, nullptr, 1},                    // the volume keeps no short names
        {inexact, L"C:\\\xD800\\_~1.BIN", nullptr, 1},   // a folder of the path has none
        {inexact, tooLong.c_str(), nullptr, 1},
        {noRoomForTheZero.c_str(), L"C:\\AAAAAA~1", "C:\\AAAAAA~1", 1},  // the long name fits no ANSI buffer
    };
    for (const Row& row : rows) {
        ScriptedShortNames::shortPath = row.shortPath;
        ScriptedShortNames::asked = 0;
        char ansi[kChosenPathSize] = "untouched";
        const bool chosen = AnsiPathOfChosenFile<ScriptedShortNames>(row.path, ansi);
        EXPECT_EQ(row.expected != nullptr, chosen) << (row.expected ? row.expected : "(none)");
        if (row.expected && chosen) {
            EXPECT_EQ(std::string(row.expected), ansi);
        }
        EXPECT_EQ(row.shortPathsAsked, ScriptedShortNames::asked);
    }
}

// ---- Browse... and drops ----

class ChoosingTest : public MainWindowTest {
protected:
    // `choose` chooses the file, by Browse... or a drop; 1 when it was taken.
    void ExpectEveryNameIsTheChosenFileOrNone(const std::function<INT_PTR(const std::wstring&)>& choose);
};

class BrowseTest : public ChoosingTest {
protected:
    INT_PTR Browse(const std::string& path) { return BrowseThroughOpenDialog(window, pump, path, seen); }
    INT_PTR Browse(const std::wstring& path) { return BrowseThroughOpenDialog(window, pump, path, seen); }

    void ExpectOfferedOneFilterAndNoName() const
    {
        EXPECT_EQ(1, seen.filterCount);
        EXPECT_EQ(kFileFilter, seen.filter);
        EXPECT_EQ(0, seen.selectedFilter);
        EXPECT_EQ("", seen.proposedName);
    }

    ScratchFolder folder;
    OpenDialogSeen seen;
};

TEST_F(BrowseTest, ChosenFileFillsFileEmptiesTheOthersAndTheNextCalcDigestsIt)
{
    const std::vector<unsigned char> content = RandomBytes(300001, 11);
    const std::string path = folder.Write("chosen file.bin", content);
    SetText(IDC_SOURCE, "typed before");
    SetText(IDC_MD5, "an older result");

    EXPECT_EQ(1, Browse(path));
    ExpectOfferedOneFilterAndNoName();
    EXPECT_STRCASEEQ(path.c_str(), Text(IDC_FILE).c_str());
    EXPECT_EQ("", Text(IDC_SOURCE));
    EXPECT_EQ("", Text(IDC_MD5));
    EXPECT_EQ(IDC_CALC, FocusId());

    // Space on the focused button is the user's next step.
    Press(VK_SPACE);
    const std::string result = Text(IDC_MD5);
    EXPECT_EQ(OracleMd5HexOfFile(path), result.substr(0, 32));
    EXPECT_TRUE(std::regex_match(result.substr(32), std::regex(":[0-9]+ ms used"))) << result;
}

// Where the code page holds the name, the File field shows it; where it does not,
// the File field is the short path of the same file, or is left alone with a
// message: never the look-alike, and Calc MD5 never shows another file's digest.
void ChoosingTest::ExpectEveryNameIsTheChosenFileOrNone(const std::function<INT_PTR(const std::wstring&)>& choose)
{
    for (const NameInCodePages& row : kNames) {
        ScratchFolder rowFolder;
        const std::vector<unsigned char> content = RandomBytes(5000, 21);
        const std::wstring path = rowFolder.Write(row.name, content);
        std::string lookAlikeDigest = "<none>";
        if (row.lookAlike) {
            const std::vector<unsigned char> other = RandomBytes(5000, 22);
            rowFolder.Write(row.lookAlike, other);
            lookAlikeDigest = OracleMd5Hex(other.data(), other.size());
        }
        SetText(IDC_FILE, "C:\\earlier\\choice.txt");
        SetText(IDC_MD5, "");

        const INT_PTR chose = choose(path);
        const char* exact = ExactInThisCodePage(row);
        if (exact) {
            EXPECT_EQ(1, chose) << exact;
            EXPECT_STRCASEEQ((rowFolder.PathOf("") + exact).c_str(), Text(IDC_FILE).c_str());
        }
        if (chose == 1) {
            EXPECT_EQ(1, MainDialogProc(window, WM_COMMAND, IDC_CALC, 0)) << Text(IDC_FILE);
            const std::string shown = Text(IDC_MD5);
            EXPECT_EQ(OracleMd5Hex(content.data(), content.size()), shown.substr(0, 32)) << Text(IDC_FILE);
            EXPECT_NE(lookAlikeDigest, shown.substr(0, 32));
        } else {
            EXPECT_EQ(kNameUnusable, Text(IDC_MD5));
            EXPECT_EQ("C:\\earlier\\choice.txt", Text(IDC_FILE));
        }
    }
}

TEST_F(BrowseTest, NameBeyondAsciiIsTheChosenFileOrNone)
{
    ExpectEveryNameIsTheChosenFileOrNone([this](const std::wstring& path) { return Browse(path); });
}

// Over Source, which takes the drop itself, and anywhere else, where the window does.
TEST_F(ChoosingTest, DroppedNameBeyondAsciiIsTheDroppedFileOrNone)
{
    for (const HWND target : {Item(IDC_SOURCE), window}) {
        ExpectEveryNameIsTheChosenFileOrNone([&](const std::wstring& path) -> INT_PTR {
            SetText(IDC_SOURCE, "typed before");  // which Calc MD5 would digest, were it left
            Drop(target, {path});
            return Text(IDC_FILE) != "C:\\earlier\\choice.txt";
        });
    }
}

// What is not one file changes neither File nor Source, and the MD5 field says why;
// under a modal box, which disables the window, nothing changes at all.
TEST_F(MainWindowTest, DropOfAnythingButOneFileLeavesFileAndSource)
{
    ScratchFolder folder;
    const std::wstring one = folder.Write(std::wstring(L"one.bin"), {'1'});
    const std::wstring subfolder = one.substr(0, one.rfind(L'\\'));
    const struct {
        std::vector<std::wstring> names;
        BOOL windowEnabled;
        std::string shown;
    } rows[] = {
        {{subfolder}, TRUE, kDroppedFolder},
        {{one, one}, TRUE, kDroppedSeveral},
        {{}, TRUE, kDroppedNameless},  // the platform counts an empty list as one item of no name
        {{L"C:\\" + std::wstring(3000, L'n')}, TRUE, kDroppedNameless},  // longer than any path taken
        {{one}, FALSE, "an older result"},
    };
    for (const auto& row : rows) {
        SetText(IDC_FILE, "C:\\earlier\\choice.txt");
        SetText(IDC_SOURCE, "typed before");
        SetText(IDC_MD5, "an older result");
        EnableWindow(window, row.windowEnabled);
        Drop(window, row.names);
        EnableWindow(window, TRUE);
        EXPECT_EQ(row.shown, Text(IDC_MD5)) << row.names.size() << " names";
        EXPECT_EQ("C:\\earlier\\choice.txt", Text(IDC_FILE));
        EXPECT_EQ("typed before", Text(IDC_SOURCE));
    }
}

TEST_F(BrowseTest, CancelLeavesEveryFieldExactlyAsItWas)
{
    SetText(IDC_FILE, "C:\\earlier\\choice.txt");
    SetText(IDC_SOURCE, "typed text");
    SetText(IDC_MD5, "900150983CD24FB0D6963F7D28E17F72");
    SetFocus(Item(IDC_COPY));

    EXPECT_EQ(0, Browse(""));
    ExpectOfferedOneFilterAndNoName();
    EXPECT_EQ("C:\\earlier\\choice.txt", Text(IDC_FILE));
    EXPECT_EQ("typed text", Text(IDC_SOURCE));
    EXPECT_EQ("900150983CD24FB0D6963F7D28E17F72", Text(IDC_MD5));
}

// ---- Copyto clipboard ----

class CopyTest : public MainWindowTest {
protected:
    void Calc() { MainDialogProc(window, WM_COMMAND, IDC_CALC, 0); }
    void Copy() { EXPECT_EQ(0, MainDialogProc(window, WM_COMMAND, MAKEWPARAM(IDC_COPY, BN_CLICKED), 0)); }
    ScratchFolder folder;
};

TEST_F(CopyTest, TextDigestGoesToTheClipboardAsPlainText)
{
    PutClipboardText("earlier");
    SetText(IDC_SOURCE, "abc");
    Calc();
    Copy();
    EXPECT_EQ(OracleMd5Hex("abc", 3), ClipboardText());
    EXPECT_EQ(32, clipboardCount);
}

TEST_F(CopyTest, FileDigestGoesWithItsTimingTail)
{
    const std::string path = folder.Write("data.bin", RandomBytes(70000, 5));
    SetText(IDC_FILE, path);
    Calc();
    Copy();
    const std::string copied = ClipboardText();
    EXPECT_EQ(Text(IDC_MD5), copied);
    EXPECT_EQ(OracleMd5HexOfFile(path), copied.substr(0, 32));
    EXPECT_TRUE(std::regex_match(copied.substr(32), std::regex(":[0-9]+ ms used"))) << copied;
}

TEST_F(CopyTest, MessagesAreCopiedAsTheyStandWithTheirCodePageBytes)
{
    Calc();  // nothing to hash: the waiting text stays
    Copy();
    EXPECT_EQ(kWaiting, ClipboardText());

    SetText(IDC_SOURCE, std::string(5000, 'x'));
    Calc();
    Copy();
    EXPECT_EQ(kTooLong, ClipboardText());
}

TEST_F(CopyTest, EmptyFieldLeavesTheClipboardAlone)
{
    PutClipboardText("earlier text");
    Copy();
    EXPECT_EQ("earlier text", ClipboardText());
    EXPECT_EQ(0, clipboardCount);
}

TEST_F(CopyTest, LongestFieldTextIsCutAt4094Characters)
{
    SetText(IDC_MD5, std::string(5000, '7'));
    Copy();
    EXPECT_EQ(std::string(4094, '7'), ClipboardText());
    EXPECT_EQ(4094, clipboardCount);
}

// The platform's clipboard and memory, counted, each step able to fail on demand.
struct CountingClipboard {
    static inline int allocated, freed, locked, opened, closed, handedOver;
    static inline bool failAllocate, failLock, refuseBlock;

    static void Reset()
    {
        allocated = freed = locked = opened = closed = handedOver = 0;
        failAllocate = failLock = refuseBlock = false;
    }
    static HGLOBAL Allocate(UINT flags, SIZE_T bytes)
    {
        if (failAllocate)
            return nullptr;
        ++allocated;
        return GlobalAlloc(flags, bytes);
    }
    static void* Lock(HGLOBAL block)
    {
        if (failLock)
            return nullptr;
        ++locked;
        return GlobalLock(block);
    }
    static void Unlock(HGLOBAL block) { GlobalUnlock(block); }
    static void Free(HGLOBAL block)
    {
        ++freed;
        GlobalFree(block);
    }
    static BOOL Open(HWND owner)
    {
        const BOOL result = OpenClipboard(owner);
        opened += result ? 1 : 0;
        return result;
    }
    static void Empty() { EmptyClipboard(); }
    static HANDLE SetText(HGLOBAL block)
    {
        if (refuseBlock)
            return nullptr;
        const HANDLE result = SetClipboardData(CF_TEXT, block);
        handedOver += result ? 1 : 0;
        return result;
    }
    static void Close()
    {
        ++closed;
        CloseClipboard();
    }
};

// Another window, on a thread of its own, keeps the clipboard open while it lives.
class ClipboardHolder {
public:
    ClipboardHolder()
        : thread([this] {
              const HWND holder = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
              const BOOL opened = OpenClipboard(holder);
              std::unique_lock<std::mutex> lock(mutex);
              state = opened ? 1 : -1;
              changed.notify_all();
              changed.wait(lock, [this] { return state == 2; });
              if (opened)
                  CloseClipboard();
              DestroyWindow(holder);
          })
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return state != 0; });
        holding = state == 1;
    }
    ~ClipboardHolder()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            state = 2;
        }
        changed.notify_all();
        thread.join();
    }
    bool holding = false;

private:
    std::mutex mutex;
    std::condition_variable changed;
    int state = 0;
    std::thread thread;
};

class CopyFailureTest : public CopyTest {
protected:
    void SetUp() override
    {
        CopyTest::SetUp();
        CountingClipboard::Reset();
        PutClipboardText("earlier");
        SetText(IDC_MD5, "900150983CD24FB0D6963F7D28E17F72");
    }
};

TEST_F(CopyFailureTest, ClipboardHeldByAnotherWindowFreesTheBlockAndCopiesNothing)
{
    {
        ClipboardHolder holder;
        ASSERT_TRUE(holder.holding);
        CopyFieldToClipboard<CountingClipboard>(window);
        CopyResultToClipboard(window);  // the program's own path: no crash, nothing copied
    }
    EXPECT_EQ(1, CountingClipboard::allocated);
    EXPECT_EQ(1, CountingClipboard::freed) << "the block leaked";
    EXPECT_EQ(0, CountingClipboard::opened);
    EXPECT_EQ(0, CountingClipboard::closed);
    EXPECT_EQ("earlier", ClipboardText());
}

TEST_F(CopyFailureTest, RefusedBlockIsFreedAndTheClipboardClosed)
{
    CountingClipboard::refuseBlock = true;
    CopyFieldToClipboard<CountingClipboard>(window);
    EXPECT_EQ(1, CountingClipboard::allocated);
    EXPECT_EQ(1, CountingClipboard::freed);
    EXPECT_EQ(1, CountingClipboard::opened);
    EXPECT_EQ(1, CountingClipboard::closed);
    EXPECT_EQ("<none>", ClipboardText()) << "emptied, then nothing taken";
}

TEST_F(CopyFailureTest, NoMemoryMeansNothingCopiedAndNothingOpened)
{
    CountingClipboard::failAllocate = true;
    CopyFieldToClipboard<CountingClipboard>(window);
    EXPECT_EQ(0, CountingClipboard::locked);
    EXPECT_EQ(0, CountingClipboard::freed);
    EXPECT_EQ(0, CountingClipboard::opened);
    EXPECT_EQ("earlier", ClipboardText());
}

TEST_F(CopyFailureTest, UnlockableBlockIsFreedBeforeTheClipboardIsOpened)
{
    CountingClipboard::failLock = true;
    CopyFieldToClipboard<CountingClipboard>(window);
    EXPECT_EQ(1, CountingClipboard::allocated);
    EXPECT_EQ(1, CountingClipboard::freed);
    EXPECT_EQ(0, CountingClipboard::opened);
    EXPECT_EQ("earlier", ClipboardText());
}

TEST_F(CopyFailureTest, HandedOverBlockIsTheClipboardsAndNotFreed)
{
    CopyFieldToClipboard<CountingClipboard>(window);
    EXPECT_EQ(1, CountingClipboard::handedOver);
    EXPECT_EQ(0, CountingClipboard::freed);
    EXPECT_EQ(1, CountingClipboard::closed);
    EXPECT_EQ("900150983CD24FB0D6963F7D28E17F72", ClipboardText());
}

// ---- the About box ----

struct AboutSeen {
    HWND box = nullptr;
    bool mainEnabled = true;
    bool openAfterCancel = false;
    bool openAfterEscape = false;
};

class AboutTest : public MainWindowTest {
protected:
    // Opens the box from the system menu's command; `inspect` runs once it is up,
    // then Escape is tried and a close request ends it.
    INT_PTR OpenAbout(WPARAM command, const std::function<void(HWND)>& inspect)
    {
        bool escaped = false;
        ModalDriver driver([this] { return FindOwnedDialog(window); },
                           [&](HWND box) {
                               if (!escaped) {
                                   seen.box = box;
                                   seen.mainEnabled = IsWindowEnabled(window) != 0;
                                   inspect(box);
                                   SendMessageA(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
                                   seen.openAfterCancel = IsWindow(box) && IsWindowVisible(box);
                                   // Through the box's own loop, which turns it into IDCANCEL.
                                   PostMessageA(box, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
                                   PostMessageA(box, WM_KEYUP, VK_ESCAPE, 0xC0010001);
                                   escaped = true;
                                   return false;
                               }
                               seen.openAfterEscape = box == seen.box;
                               PostMessageA(box, WM_CLOSE, 0, 0);
                               return true;
                           });
        const INT_PTR result = SendMessageA(window, WM_SYSCOMMAND, command, 0);
        EXPECT_TRUE(driver.Ran()) << "no About box appeared";
        return result;
    }

    AboutSeen seen;
};

TEST_F(AboutTest, OpensModalFromTheSystemCommandAndOnlyACloseRequestEndsIt)
{
    EXPECT_EQ(0, OpenAbout(IDM_ABOUT, [](HWND) {}));
    ASSERT_NE(nullptr, seen.box);
    EXPECT_FALSE(seen.mainEnabled) << "the main window took input while the box was open";
    EXPECT_TRUE(seen.openAfterCancel) << "IDCANCEL closed the box";
    EXPECT_TRUE(seen.openAfterEscape) << "Escape closed the box";
    EXPECT_FALSE(IsWindow(seen.box));

    // The main window works again.
    EXPECT_TRUE(IsWindowEnabled(window));
    SetText(IDC_SOURCE, "abc");
    SendMessageA(Item(IDC_CALC), BM_CLICK, 0, 0);
    pump.Run(window);
    EXPECT_EQ(OracleMd5Hex("abc", 3), Text(IDC_MD5));
}

TEST_F(AboutTest, BoxIsTheTemplateWithThePictureAndTwoLines)
{
    // Recognised on the low 16 bits of the command alone.
    OpenAbout(MAKEWPARAM(IDM_ABOUT, 1), [](HWND box) {
        EXPECT_EQ(kAboutTemplate.caption, TextOf(box));
        const DWORD style = static_cast<DWORD>(GetWindowLongA(box, GWL_STYLE));
        EXPECT_EQ(kAboutTemplate.style, style & ~static_cast<DWORD>(WS_CLIPSIBLINGS)) << std::hex << style;
        const DWORD exStyle = static_cast<DWORD>(GetWindowLongA(box, GWL_EXSTYLE));
        EXPECT_EQ(static_cast<DWORD>(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT), exStyle & ~static_cast<DWORD>(WS_EX_WINDOWEDGE))
            << std::hex << exStyle;
        RECT client{};
        GetClientRect(box, &client);
        const RECT size = DialogUnitsToPixels(box, 0, 0, kAboutTemplate.width, kAboutTemplate.height);
        EXPECT_EQ(size.right, client.right);
        EXPECT_EQ(size.bottom, client.bottom);

        HWND picture = GetWindow(box, GW_CHILD);
        ASSERT_NE(nullptr, picture);
        const HWND product = GetWindow(picture, GW_HWNDNEXT);
        ASSERT_NE(nullptr, product);
        const HWND notice = GetWindow(product, GW_HWNDNEXT);
        ASSERT_NE(nullptr, notice);
        EXPECT_EQ(nullptr, GetWindow(notice, GW_HWNDNEXT)) << "no button or other control";
        for (HWND control : {picture, product, notice}) {
            EXPECT_STRCASEEQ("Static", ClassOf(control).c_str());
            EXPECT_EQ(65535, static_cast<int>(GetWindowLongPtrA(control, GWLP_ID)));
        }

        const TemplateControl& pictureRow = kAboutControls[0];
        EXPECT_EQ(pictureRow.style, static_cast<DWORD>(GetWindowLongA(picture, GWL_STYLE)));
        const auto bitmap = reinterpret_cast<HBITMAP>(SendMessageA(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
        ASSERT_NE(nullptr, bitmap);
        BITMAP info{};
        GetObjectA(bitmap, sizeof info, &info);
        EXPECT_EQ(64, info.bmWidth);
        EXPECT_EQ(64, info.bmHeight);
        // The control takes the picture's size at the template's place.
        const RECT place = DialogUnitsToPixels(box, pictureRow.x, pictureRow.y, 0, 0);
        const RECT pictureRect = ChildRect(picture);
        EXPECT_EQ(place.left, pictureRect.left);
        EXPECT_EQ(place.top, pictureRect.top);
        GetClientRect(picture, &client);
        EXPECT_EQ(64, client.right);
        EXPECT_EQ(64, client.bottom);

        EXPECT_EQ(kAboutControls[1].text, TextOf(product));
        const std::string line = TextOf(notice);
        EXPECT_FALSE(line.empty());
        EXPECT_EQ(std::string::npos, line.find_first_of("\r\n"));
        const std::pair<HWND, TemplateControl> rows[] = {{product, kAboutControls[1]}, {notice, kAboutControls[2]}};
        for (const auto& [control, row] : rows) {
            EXPECT_EQ(row.style, static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE)));
            const RECT expected = DialogUnitsToPixels(box, row.x, row.y, row.width, row.height);
            const RECT actual = ChildRect(control);
            EXPECT_EQ(expected.left, actual.left);
            EXPECT_EQ(expected.top, actual.top);
            EXPECT_EQ(expected.right, actual.right - actual.left);
            EXPECT_EQ(expected.bottom, actual.bottom - actual.top);

            // Each line fits its control in the box's font: nothing is cut off.
            const HDC context = GetDC(control);
            const HGDIOBJ old = SelectObject(context, reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)));
            SIZE extent{};
            const std::string text = TextOf(control);
            GetTextExtentPoint32A(context, text.c_str(), static_cast<int>(text.size()), &extent);
            SelectObject(context, old);
            ReleaseDC(control, context);
            EXPECT_LE(extent.cx, actual.right - actual.left) << text;
        }
    });
    EXPECT_FALSE(IsWindow(seen.box));
}

}  // namespace
