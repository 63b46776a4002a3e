// Bad input through the real window: files that vanish, are locked, turn into
// folders or have overlong names, and an overlong pasted text. Each shows its
// message, and the next Calc MD5 on a good file is right.
#include <gtest/gtest.h>

#include <string>

#include "support/oracle_md5.h"
#include "tests/dialog_shell_support.h"
#include "tests/md5_field_texts.h"
#include "tests/test_support.h"

namespace {


class BadInputTest : public MainWindowTest {
protected:
    void Browse(const std::string& path)
    {
        OpenDialogSeen seen;
        ASSERT_EQ(1, BrowseThroughOpenDialog(window, pump, path, seen));
        ASSERT_STRCASEEQ(path.c_str(), Text(IDC_FILE).c_str());
    }

    INT_PTR Calc()
    {
        const INT_PTR result = MainDialogProc(window, WM_COMMAND, MAKEWPARAM(IDC_CALC, BN_CLICKED), 0);
        pump.Run(window);
        return result;
    }

    // The window still works: a good file chosen next is digested right.
    void ExpectNextGoodFileIsRight()
    {
        ASSERT_TRUE(IsWindow(window));
        ++goodFiles;
        const std::string good = folder.Write("good " + std::to_string(goodFiles), RandomBytes(70000, goodFiles));
        Browse(good);
        EXPECT_EQ(1, Calc());
        EXPECT_EQ(OracleMd5HexOfFile(good), Text(IDC_MD5).substr(0, 32));
        EXPECT_NE(std::string::npos, Text(IDC_MD5).find(" ms used"));
    }

    ScratchFolder folder;
    uint32_t goodFiles = 0;
};

TEST_F(BadInputTest, FileHeldWithoutReadSharing)
{
    const std::string path = folder.Write("held", RandomBytes(5000, 1));
    Browse(path);
    HANDLE holder = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    EXPECT_EQ(0, Calc());
    EXPECT_EQ(kCannotOpen, Text(IDC_MD5));
    EXPECT_STRCASEEQ(path.c_str(), Text(IDC_FILE).c_str());
    CloseHandle(holder);
    ExpectNextGoodFileIsRight();
}

TEST_F(BadInputTest, FileDeletedOrReplacedByAFolderAfterBrowsing)
{
    const std::string path = folder.Write("gone", RandomBytes(5000, 2));
    Browse(path);
    ASSERT_TRUE(DeleteFileA(path.c_str()));
    EXPECT_EQ(0, Calc());
    EXPECT_EQ(kCannotOpen, Text(IDC_MD5));

    ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr));
    EXPECT_EQ(0, Calc());
    EXPECT_EQ(kCannotOpen, Text(IDC_MD5));
    ExpectNextGoodFileIsRight();
}

TEST_F(BadInputTest, PathLongerThanMaxPath)
{
    const std::string path = folder.PathOf(std::string(MAX_PATH + 20, 'L'));
    ASSERT_GT(path.size(), static_cast<size_t>(MAX_PATH));
    SetText(IDC_FILE, path);
    EXPECT_EQ(0, Calc());
    EXPECT_EQ(kCannotOpen, Text(IDC_MD5));
    EXPECT_EQ(path, Text(IDC_FILE));
    ExpectNextGoodFileIsRight();
}

TEST_F(BadInputTest, OverlongTextPastedIntoSource)
{
    PutClipboardText(std::string(4095, 'p'));
    SendMessageA(Item(IDC_SOURCE), WM_PASTE, 0, 0);
    ASSERT_EQ(4095u, Text(IDC_SOURCE).size());
    EXPECT_EQ(0, Calc());
    EXPECT_EQ(kTooLong, Text(IDC_MD5));

    SetText(IDC_SOURCE, "");
    ExpectNextGoodFileIsRight();
}

}  // namespace
