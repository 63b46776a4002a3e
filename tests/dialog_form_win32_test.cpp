// Calc MD5 through real edit fields: the texts go in and out with
// GetDlgItemTextA and SetDlgItemTextA, and files through the real file system.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <string>

#include "app/calculate_on_main_window_win32.h"
#include "res/resource.h"
#include "support/oracle_md5.h"
#include "tests/md5_field_texts.h"
#include "tests/test_support.h"

namespace {

// A plain window holding the three fields the command uses.
class FieldsWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = CreateWindowExA(0, "STATIC", "fields", WS_OVERLAPPED, 0, 0, 400, 200, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, window);
        for (int id : {IDC_SOURCE, IDC_FILE, IDC_MD5})
            ASSERT_NE(nullptr, CreateWindowExA(0, "EDIT", "", WS_CHILD | ES_AUTOHSCROLL, 0, 0, 300, 20, window,
                                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                               GetModuleHandleA(nullptr), nullptr));
    }
    void TearDown() override { DestroyWindow(window); }

    void Set(int id, const std::string& text) { SetDlgItemTextA(window, id, text.c_str()); }
    void Set(int id, const std::wstring& text) { SetDlgItemTextW(window, id, text.c_str()); }
    std::string Get(int id)
    {
        char text[8192];
        const UINT length = GetDlgItemTextA(window, id, text, sizeof text);
        return std::string(text, length);
    }

    HWND window = nullptr;
    ScratchFolder folder;
};

TEST_F(FieldsWindow, TypedTextIsHashedAndEmptiesFile)
{
    Set(IDC_SOURCE, "abc");
    Set(IDC_FILE, "C:\\somewhere\\file.bin");
    EXPECT_TRUE(CalculateOnMainWindow(window));
    EXPECT_EQ("900150983CD24FB0D6963F7D28E17F72", Get(IDC_MD5));
    EXPECT_EQ("", Get(IDC_FILE));
    EXPECT_EQ("abc", Get(IDC_SOURCE));
}

// Typed as a user types it, in wide characters: the digest is of the text's bytes in
// the code page of the run (their published values; null where the code page lacks
// a character), and the limit counts those bytes.
TEST_F(FieldsWindow, TypedTextIsHashedAsItsBytesInTheCodePage)
{
    const std::wstring doubleByte(2047, L'\u4F60');
    std::string doubleByteIn936;
    for (int i = 0; i < 2047; ++i)
        doubleByteIn936 += "\xC4\xE3";
    const struct {
        std::wstring typed;
        const char* cp1252;
        const char* cp936;
    } rows[] = {
        {L"\u4F60\u597D", nullptr, "\xC4\xE3\xBA\xC3"},
        {L"caf\u00E9", "caf\xE9", "caf\xA8\xA6"},
        {doubleByte, nullptr, doubleByteIn936.c_str()},  // 4094 bytes in 936
    };
    const bool chinese = GetACP() == 936;
    for (const auto& row : rows) {
        const char* bytes = chinese ? row.cp936 : row.cp1252;
        if (!bytes)
            continue;
        Set(IDC_SOURCE, row.typed);
        Set(IDC_FILE, "C:\\somewhere\\file.bin");
        EXPECT_TRUE(CalculateOnMainWindow(window)) << bytes;
        EXPECT_EQ(OracleMd5Hex(bytes, std::strlen(bytes)), Get(IDC_MD5)) << bytes;
        EXPECT_EQ("", Get(IDC_FILE));
    }

    if (chinese) {
        Set(IDC_SOURCE, doubleByte + L"\u4F60");
        EXPECT_FALSE(CalculateOnMainWindow(window)) << "2048 double-byte characters";
        EXPECT_EQ(kTooLong, Get(IDC_MD5));
    }
}

TEST_F(FieldsWindow, OverlongTextIsRefusedWithTheMessageBytes)
{
    Set(IDC_SOURCE, std::string(6000, 'z'));
    Set(IDC_FILE, "kept");
    EXPECT_FALSE(CalculateOnMainWindow(window));
    EXPECT_EQ(kTooLong, Get(IDC_MD5));
    EXPECT_EQ("kept", Get(IDC_FILE));

    Set(IDC_SOURCE, std::string(4094, 'z'));
    EXPECT_TRUE(CalculateOnMainWindow(window));
    const std::string longest(4094, 'z');
    EXPECT_EQ(OracleMd5Hex(longest.data(), longest.size()), Get(IDC_MD5));
}

TEST_F(FieldsWindow, NothingToHashLeavesTheWaitingText)
{
    EXPECT_FALSE(CalculateOnMainWindow(window));
    EXPECT_EQ(kWaiting, Get(IDC_MD5));
}

TEST_F(FieldsWindow, FileIsHashedTimedAndReleased)
{
    const std::string path = folder.Write("data.bin", RandomBytes(100000, 8));
    Set(IDC_FILE, path);
    EXPECT_TRUE(CalculateOnMainWindow(window));
    const std::string shown = Get(IDC_MD5);
    EXPECT_TRUE(std::regex_match(shown, std::regex(OracleMd5HexOfFile(path) + ":[0-9]+ ms used"))) << shown;
    EXPECT_EQ(path, Get(IDC_FILE));
    EXPECT_TRUE(DeleteFileA(path.c_str())) << "the file is still held after the command";
}

TEST_F(FieldsWindow, EmptyFileIsNotAFailure)
{
    Set(IDC_FILE, folder.Write("empty", std::string()));
    EXPECT_TRUE(CalculateOnMainWindow(window));
    EXPECT_TRUE(std::regex_match(Get(IDC_MD5), std::regex("D41D8CD98F00B204E9800998ECF8427E:[0-9]+ ms used")))
        << Get(IDC_MD5);
}

TEST_F(FieldsWindow, FilesThatCannotBeOpenedAreSaidSo)
{
    const std::string locked = folder.Write("locked", RandomBytes(1000, 9));
    // Another program holds it without letting others read.
    HANDLE holder = CreateFileA(locked.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    const std::string paths[] = {locked, folder.PathOf("missing"), folder.PathOf("."),
                                 folder.PathOf(std::string(300, 'n'))};
    for (const std::string& path : paths) {
        Set(IDC_FILE, path);
        EXPECT_FALSE(CalculateOnMainWindow(window)) << path;
        EXPECT_EQ(kCannotOpen, Get(IDC_MD5)) << path;
        EXPECT_EQ(path, Get(IDC_FILE));
    }
    CloseHandle(holder);
    Set(IDC_FILE, locked);
    EXPECT_TRUE(CalculateOnMainWindow(window));
    EXPECT_EQ(OracleMd5HexOfFile(locked), Get(IDC_MD5).substr(0, 32));
}

}  // namespace
