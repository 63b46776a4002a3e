// The shipped programs themselves: this build's one (the 32-bit program in the i686
// build, the 64-bit one in the x86_64 build) run as its own process and driven
// through its window; both files' headers, imports and resources inspected.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "harnox_version.h"
#include "res/resource.h"
#include "runtime/stack_guard.h"
#include "support/oracle_md5.h"
#include "tests/dialog_shell_support.h"
#include "tests/md5_field_texts.h"
#include "tests/test_support.h"

namespace {

const WORD kChinesePrc = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);

const std::string kX64Program = WindowsPath(HARNOX_X64_EXE);
const std::string kI686Program = WindowsPath(HARNOX_I686_EXE);
const std::string kOwnProgram = sizeof(void*) == 8 ? kX64Program : kI686Program;

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// ---- this build's program, run ----

class RunningProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Exists(kOwnProgram)) << kOwnProgram;
        std::string why;
        ASSERT_TRUE(StartProgram(kOwnProgram, program, why)) << why;
        window = program.window;
    }
    void TearDown() override { CloseProgram(program); }

    // The exit code once the process has ended, or STILL_ACTIVE after 30 s (scaled).
    DWORD ExitCode() { return WaitForExit(program, ScaledWait(30000)); }

    StartedProgram program;
    HWND window = nullptr;
};

TEST_F(RunningProgram, StartsWithFocusInSourceDigestsTypedTextAndQuitsWithZero)
{
    EXPECT_EQ(nullptr, GetWindow(window, GW_OWNER));
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    ASSERT_TRUE(GetGUIThreadInfo(program.process.dwThreadId, &gui));
    EXPECT_EQ(GetDlgItem(window, IDC_SOURCE), gui.hwndFocus);

    // Escape goes through the program's own loop and must not close anything.
    PostMessageA(GetDlgItem(window, IDC_SOURCE), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageA(GetDlgItem(window, IDC_SOURCE), WM_KEYUP, VK_ESCAPE, 0xC0010001);

    const std::string text = "Harnox out of process";
    EXPECT_EQ(OracleMd5Hex(text.data(), text.size()), CalcThroughWindow(window, IDC_SOURCE, text));
    EXPECT_TRUE(IsWindow(window));

    SendMessageA(GetDlgItem(window, IDC_QUIT), BM_CLICK, 0, 0);
    EXPECT_EQ(0u, ExitCode());
}

TEST_F(RunningProgram, BrowseChoosesAFileInTheOpenDialogAndCalcDigestsIt)
{
    ScratchFolder folder;
    const std::vector<unsigned char> bytes = RandomBytes(3 * 65536 + 77, 10);
    const std::string path = folder.Write("chosen.bin", bytes);
    SendMessageA(GetDlgItem(window, IDC_SOURCE), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("typed before"));

    // The Open dialog is modal inside the program's handler: the click is posted.
    PostMessageA(GetDlgItem(window, IDC_BROWSE), BM_CLICK, 0, 0);
    const HWND dialog = WaitForWindow([this] { return FindOwnedDialog(window); });
    ASSERT_NE(nullptr, dialog) << "no Open dialog appeared";
    EXPECT_FALSE(IsWindowEnabled(window)) << "the Open dialog is modal";
    OpenDialogSeen seen;
    AnswerOpenDialog(dialog, seen, path);
    EXPECT_EQ(1, seen.filterCount);
    EXPECT_EQ(kFileFilter, seen.filter);
    EXPECT_EQ(0, seen.selectedFilter);
    EXPECT_EQ("", seen.proposedName);

    for (DWORD attempt = 0; attempt < ScaledWait(20000) / 50 && TextOf(GetDlgItem(window, IDC_FILE)) != path; ++attempt)
        Sleep(50);
    ASSERT_EQ(path, TextOf(GetDlgItem(window, IDC_FILE)));
    EXPECT_EQ("", TextOf(GetDlgItem(window, IDC_SOURCE)));
    EXPECT_EQ("", TextOf(GetDlgItem(window, IDC_MD5)));
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    ASSERT_TRUE(GetGUIThreadInfo(program.process.dwThreadId, &gui));
    EXPECT_EQ(GetDlgItem(window, IDC_CALC), gui.hwndFocus);

    SendMessageA(GetDlgItem(window, IDC_CALC), BM_CLICK, 0, 0);
    const std::string shown = TextOf(GetDlgItem(window, IDC_MD5));
    std::string digits;
    long milliseconds = -1;
    EXPECT_TRUE(SplitFileResult(shown, digits, milliseconds)) << shown;
    EXPECT_EQ(OracleMd5Hex(bytes.data(), bytes.size()), digits);

    SendMessageA(GetDlgItem(window, IDC_QUIT), BM_CLICK, 0, 0);
    EXPECT_EQ(0u, ExitCode());
}

// A file dragged from the X server's side onto the running program, over Source and
// over the disabled File, by tests/xdnd_drag.py, a Linux program that Wine starts as
// one (without a handle to wait on): Wine turns the drop into WM_DROPFILES.
TEST_F(RunningProgram, FileDraggedOverSourceOrFileIsTakenAndCalcDigestsIt)
{
    using ToUnix = char*(CDECL*)(LPCWSTR);
    const auto toUnix = reinterpret_cast<ToUnix>(  // through the plain function type, which GCC lets stand for any
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    ASSERT_NE(nullptr, toUnix);
    ScratchFolder folder;
    for (const int over : {IDC_SOURCE, IDC_FILE}) {
        const std::vector<unsigned char> bytes = RandomBytes(65536, over);
        const std::string path = folder.Write("dragged" + std::to_string(over) + ".bin", bytes);
        RECT rect{};
        GetWindowRect(GetDlgItem(window, over), &rect);
        // Wine hands a Linux program its arguments split at spaces: the paths have none.
        std::string command = "python3 " HARNOX_XDND_DRAG " " + std::to_string((rect.left + rect.right) / 2) + " " +
                              std::to_string((rect.top + rect.bottom) / 2) + " " +
                              toUnix(std::wstring(path.begin(), path.end()).c_str());
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        ASSERT_TRUE(CreateProcessA(WindowsPath("/usr/bin/python3").c_str(), command.data(), nullptr, nullptr, FALSE, 0,
                                   nullptr, nullptr, &startup, &started));
        for (DWORD waited = 0; waited < ScaledWait(30000) && TextOf(GetDlgItem(window, IDC_FILE)) != path; waited += 50)
            Sleep(50);
        EXPECT_STRCASEEQ(path.c_str(), TextOf(GetDlgItem(window, IDC_FILE)).c_str()) << "over " << over;
        SendMessageA(GetDlgItem(window, IDC_CALC), BM_CLICK, 0, 0);
        std::string digits;
        long milliseconds = -1;
        EXPECT_TRUE(SplitFileResult(TextOf(GetDlgItem(window, IDC_MD5)), digits, milliseconds));
        EXPECT_EQ(OracleMd5Hex(bytes.data(), bytes.size()), digits);
    }
}

// The copy of what the MD5 field shows reads back in this other program, as Unicode,
// as the same characters: in code page 936 its A3 AC is the full-width comma.
TEST_F(RunningProgram, CopiedMessageReadsBackAsUnicodeAsTheFieldShowsIt)
{
    const bool chinese = GetACP() == 936;
    const HWND md5 = GetDlgItem(window, IDC_MD5);
    // 2048 double-byte characters in 936; a text as long in bytes in 1252.
    const std::wstring overLimit = chinese ? std::wstring(2048, L'\u4F60') : std::wstring(4096, L'\u00E9');
    SendMessageW(GetDlgItem(window, IDC_SOURCE), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(overLimit.c_str()));
    SendMessageA(GetDlgItem(window, IDC_CALC), BM_CLICK, 0, 0);
    SendMessageA(GetDlgItem(window, IDC_COPY), BM_CLICK, 0, 0);
    EXPECT_EQ(kTooLong, ClipboardText());
    EXPECT_EQ(chinese ? kTooLongIn936 : kTooLongIn1252, WideTextOf(md5));
    EXPECT_EQ(WideTextOf(md5), ClipboardWideText());
}

TEST_F(RunningProgram, CloseBoxEndsItWithZero)
{
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(0u, ExitCode());
}

// ---- both programs, inspected ----

class ProgramFile : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        path = GetParam() ? kX64Program : kI686Program;
        ASSERT_TRUE(Exists(path)) << path << " (scripts/build_programs.sh builds it)";
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, module) << GetLastError();
    }
    void TearDown() override
    {
        if (module)
            FreeLibrary(module);
    }

    template <class T>
    T At(size_t offset) const
    {
        T value{};
        if (offset + sizeof(T) <= bytes.size())
            std::memcpy(&value, bytes.data() + offset, sizeof(T));
        else
            ADD_FAILURE() << "read past the file's end at " << offset;
        return value;
    }

    struct Section {
        std::string name;
        uint32_t address;  // relative virtual address
        uint32_t size;     // in memory
        size_t offset;     // of its bytes in the file
        uint32_t fileSize;
        uint32_t flags;
    };
    std::vector<Section> Sections() const
    {
        const size_t header = At<uint32_t>(0x3C);
        const size_t table = header + 24 + At<uint16_t>(header + 20);
        std::vector<Section> sections;
        for (int i = 0; i < At<uint16_t>(header + 6); ++i) {
            const size_t entry = table + 40 * static_cast<size_t>(i);
            sections.push_back({std::string(bytes.data() + entry, strnlen(bytes.data() + entry, 8)),
                                At<uint32_t>(entry + 12), At<uint32_t>(entry + 8), At<uint32_t>(entry + 20),
                                At<uint32_t>(entry + 16), At<uint32_t>(entry + 36)});
        }
        return sections;
    }

    // The file offset of a relative virtual address, through the section table.
    size_t OffsetOf(uint32_t rva) const
    {
        for (const Section& section : Sections()) {
            const uint32_t size = section.size ? section.size : section.fileSize;
            if (rva >= section.address && rva < section.address + size)
                return rva - section.address + section.offset;
        }
        ADD_FAILURE() << "address " << rva << " lies in no section";
        return 0;
    }

    // Where the optional header's data directory `index` (its address, then its size)
    // lies in the file.
    size_t DataDirectory(int index) const
    {
        const size_t optional = At<uint32_t>(0x3C) + 24;
        const bool wide = At<uint16_t>(optional) == 0x20B;
        return optional + (wide ? 112 : 96) + 8 * static_cast<size_t>(index);
    }

    // Every import, as the upper-case DLL name and the function's name, or "#n" for
    // one imported by ordinal.
    std::vector<std::pair<std::string, std::string>> Imports() const
    {
        const bool wide = At<uint16_t>(At<uint32_t>(0x3C) + 24) == 0x20B;
        const uint32_t imports = At<uint32_t>(DataDirectory(IMAGE_DIRECTORY_ENTRY_IMPORT));
        auto name = [&](uint32_t rva) { return std::string(bytes.data() + OffsetOf(rva)); };
        std::vector<std::pair<std::string, std::string>> found;
        for (size_t entry = OffsetOf(imports); At<uint32_t>(entry + 12) != 0; entry += 20) {
            std::string dll = name(At<uint32_t>(entry + 12));
            for (char& c : dll)
                c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
            // The lookup table, or the address table where a linker left no lookup table.
            const uint32_t table = At<uint32_t>(entry) ? At<uint32_t>(entry) : At<uint32_t>(entry + 16);
            for (size_t at = OffsetOf(table);; at += wide ? 8 : 4) {
                const uint64_t slot = wide ? At<uint64_t>(at) : At<uint32_t>(at);
                if (slot == 0)
                    break;
                const bool byOrdinal = (slot >> (wide ? 63 : 31)) != 0;
                found.emplace_back(dll, byOrdinal ? "#" + std::to_string(slot & 0xFFFF)
                                                  : name(static_cast<uint32_t>(slot & 0x7FFFFFFF) + 2));
            }
        }
        return found;
    }

    // A resource's bytes, found only in the language 2052.
    std::vector<unsigned char> Resource(LPCSTR type, LPCSTR name) const
    {
        const HRSRC found = FindResourceExA(module, type, name, kChinesePrc);
        if (!found)
            return {};
        const auto* data = static_cast<const unsigned char*>(LockResource(LoadResource(module, found)));
        return std::vector<unsigned char>(data, data + SizeofResource(module, found));
    }

    std::string path;
    std::vector<char> bytes;
    HMODULE module = nullptr;
};

TEST_P(ProgramFile, IsAGuiProgramForItsProcessorThatImportsOnlyWindowsOwnDlls)
{
    ASSERT_EQ('M', bytes.at(0));
    ASSERT_EQ('Z', bytes.at(1));
    const size_t header = At<uint32_t>(0x3C);
    ASSERT_EQ(0x00004550u, At<uint32_t>(header));
    EXPECT_EQ(GetParam() ? 0x8664 : 0x014C, At<uint16_t>(header + 4));
    EXPECT_EQ(GetParam() ? 0x20B : 0x10B, At<uint16_t>(header + 24)) << "PE32+ or PE32";
    EXPECT_EQ(IMAGE_SUBSYSTEM_WINDOWS_GUI, At<uint16_t>(header + 24 + 68));

    std::set<std::string> dlls;
    for (const auto& import : Imports())
        dlls.insert(import.first);
    EXPECT_EQ((std::set<std::string>{"COMDLG32.DLL", "KERNEL32.DLL", "MSVCRT.DLL", "SHELL32.DLL", "USER32.DLL"}), dlls);
}

// Functions checked, one by one, to exist in the DLLs of Windows XP SP3 (and of XP x64
// and Server 2003 SP1, the 64-bit Windows of its time). A program that imports one
// function more than its Windows has is refused at start, so before a name is added
// here its lowest Windows version must be looked up: Vista's GetTickCount64, once
// pulled in by a thread library, is the kind of import this stops.
const std::map<std::string, std::set<std::string>> kFunctionsOfWindowsXp = {
    {"COMDLG32.DLL", {"GetOpenFileNameA", "GetOpenFileNameW"}},
    {"KERNEL32.DLL",
     {"AddVectoredExceptionHandler", "CloseHandle", "CreateFileA", "CreateFileMappingA", "CreateSemaphoreW",
      "DeleteCriticalSection", "EnterCriticalSection", "FreeLibrary", "GetCurrentProcess", "GetCurrentProcessId",
      "GetACP", "GetFileAttributesW", "GetCurrentThreadId", "GetFileSize", "GetLastError", "GetModuleHandleA",
      "GetModuleHandleW",
      "GetProcAddress", "GetShortPathNameW", "GetStartupInfoA", "GetSystemInfo", "GetSystemTimeAsFileTime",
      "GetTickCount",
      "GlobalAlloc", "GlobalFree", "GlobalLock", "GlobalUnlock", "InitializeCriticalSection", "IsDBCSLeadByteEx",
      "IsProcessorFeaturePresent", "LeaveCriticalSection", "LoadLibraryA", "LoadLibraryW", "MapViewOfFile",
      "MultiByteToWideChar", "QueryPerformanceCounter", "QueryPerformanceFrequency", "RaiseException",
      "ReleaseSemaphore", "RemoveVectoredExceptionHandler", "RtlCaptureContext", "SetLastError",
      "SetUnhandledExceptionFilter", "Sleep", "TerminateProcess", "TlsAlloc", "TlsFree", "TlsGetValue", "TlsSetValue",
      "UnmapViewOfFile", "VirtualProtect", "VirtualQuery", "WaitForSingleObject", "WideCharToMultiByte", "lstrcpyA"}},
    {"SHELL32.DLL", {"DragAcceptFiles", "DragFinish", "DragQueryFileW"}},
    {"MSVCRT.DLL",
     {"___lc_codepage_func", "___mb_cur_max_func", "__getmainargs", "__initenv", "__iob_func", "__mb_cur_max",
      "__p__acmdln", "__p__commode", "__p__fmode", "__set_app_type", "__setusermatherr", "_acmdln", "_amsg_exit",
      "_cexit", "_close", "_commode", "_errno", "_fmode", "_initterm", "_iob", "_onexit", "_read", "abort", "atoi",
      "calloc", "exit", "fprintf", "fputc", "fputs", "free", "fwrite", "localeconv", "malloc", "memchr", "memcmp",
      "memcpy", "memmove", "memset", "realloc", "setlocale", "signal", "strchr", "strcmp", "strerror", "strlen",
      "strncmp", "vfprintf", "wcscmp", "wcslen"}},
    {"USER32.DLL",
     {"AppendMenuA", "CallWindowProcA", "CloseClipboard", "CreateDialogParamA", "DestroyWindow", "DialogBoxParamA",
      "DispatchMessageA", "EmptyClipboard", "EndDialog", "GetDlgItem", "GetDlgItemTextA", "GetMessageA", "GetParent",
      "GetSystemMenu", "IsDialogMessageA", "IsWindowEnabled", "LoadIconA", "LoadStringA", "LoadStringW",
      "OpenClipboard", "PostMessageA", "PostQuitMessage", "SendMessageA", "SetClipboardData", "SetDlgItemTextA",
      "SetFocus", "SetWindowLongA", "TranslateMessage"}},
};
// The 64-bit program's own imports, in every 64-bit Windows: unwinding, and USER32's
// pointer-sized SetWindowLongA.
const std::set<std::string> kFunctionsOfWindowsXpX64 = {"RtlLookupFunctionEntry", "RtlUnwindEx", "RtlVirtualUnwind",
                                                        "__C_specific_handler", "SetWindowLongPtrA"};

TEST_P(ProgramFile, ImportsOnlyFunctionsThatWindowsXpHas)
{
    const auto imports = Imports();
    ASSERT_FALSE(imports.empty());
    for (const auto& [dll, function] : imports) {
        const auto known = kFunctionsOfWindowsXp.find(dll);
        const bool onXp = known != kFunctionsOfWindowsXp.end() && known->second.count(function) != 0;
        const bool onXpX64 = GetParam() && kFunctionsOfWindowsXpX64.count(function) != 0;
        EXPECT_TRUE(onXp || onXpX64) << dll << " " << function << " is not known to exist on Windows XP";
    }
}

TEST_P(ProgramFile, HeaderAsksForNoWindowsLaterThanXpAndCarriesNoTimeStamp)
{
    const size_t header = At<uint32_t>(0x3C);
    const size_t optional = header + 24;
    // Windows XP is 5.1; XP x64 and Server 2003 are 5.2.
    const uint32_t newest = GetParam() ? 0x00050002u : 0x00050001u;
    const uint32_t system = uint32_t{At<uint16_t>(optional + 40)} << 16 | At<uint16_t>(optional + 42);
    const uint32_t subsystem = uint32_t{At<uint16_t>(optional + 48)} << 16 | At<uint16_t>(optional + 50);
    EXPECT_LE(system, newest) << std::hex << system;
    EXPECT_LE(subsystem, newest) << std::hex << subsystem;
    EXPECT_GE(subsystem, 0x00040000u) << std::hex << subsystem;
    EXPECT_EQ(0u, At<uint32_t>(header + 8)) << "a time stamp in the file header";
}

TEST_P(ProgramFile, AsksForWindowsProtectionsAndCarriesTheRelocationsThatLetItsBaseMove)
{
    const size_t header = At<uint32_t>(0x3C);
    const size_t optional = header + 24;
    const uint16_t flags = At<uint16_t>(optional + 70);
    EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE) << "ASLR";
    EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_NX_COMPAT) << "DEP";
    EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE) << "terminal-server aware";
    // 64-bit only: a base anywhere in the 64-bit address space.
    EXPECT_EQ(GetParam(), (flags & IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA) != 0) << "high-entropy ASLR";

    for (const Section& section : Sections()) {
        EXPECT_FALSE((section.flags & IMAGE_SCN_MEM_WRITE) && (section.flags & IMAGE_SCN_MEM_EXECUTE))
            << section.name << " is writable and executable";
    }

    // Without its relocations a program that asks for a moving base stays where it was linked.
    EXPECT_EQ(0, At<uint16_t>(header + 22) & IMAGE_FILE_RELOCS_STRIPPED);
    const size_t directory = DataDirectory(IMAGE_DIRECTORY_ENTRY_BASERELOC);
    const uint32_t tableSize = At<uint32_t>(directory + 4);
    ASSERT_GT(tableSize, 8u) << "no relocation table";
    // Blocks of one page each: its address, the block's size, then 16-bit entries whose
    // top four bits give the kind; the program's own pointers are 32 or 64 bits wide.
    const uint16_t pointerKind = GetParam() ? IMAGE_REL_BASED_DIR64 : IMAGE_REL_BASED_HIGHLOW;
    const size_t table = OffsetOf(At<uint32_t>(directory));
    size_t pointers = 0;
    for (size_t block = table; block < table + tableSize;) {
        const uint32_t blockSize = At<uint32_t>(block + 4);
        ASSERT_GE(blockSize, 8u) << "a broken relocation block";
        for (size_t entry = block + 8; entry < block + blockSize; entry += 2)
            pointers += At<uint16_t>(entry) >> 12 == pointerKind;
        block += blockSize;
    }
    EXPECT_GT(pointers, 0u) << "a relocation table without the program's pointers";
}

// Each function with a cookie reads the stack guard as it starts and again before it
// returns. The guard is found in the file by the value it holds until the process
// draws its own; the 32-bit code reads it at its address, the 64-bit code through a
// read-only slot holding that address.
TEST_P(ProgramFile, ItsOwnFunctionsCheckStackCookies)
{
    const size_t optional = At<uint32_t>(0x3C) + 24;
    const uint64_t imageBase = GetParam() ? At<uint64_t>(optional + 24) : At<uint32_t>(optional + 28);
    const size_t width = GetParam() ? 8 : 4;
    auto value = [&](size_t at) { return GetParam() ? At<uint64_t>(at) : At<uint32_t>(at); };
    // Every aligned place in the sections' data holding `wanted`, as addresses.
    auto addressesOf = [&](uint64_t wanted) {
        std::vector<uint64_t> found;
        for (const Section& section : Sections()) {
            if (section.flags & IMAGE_SCN_MEM_EXECUTE)
                continue;
            const uint32_t length = section.fileSize < section.size ? section.fileSize : section.size;
            for (size_t at = 0; at + width <= length; at += width)
                if (value(section.offset + at) == wanted)
                    found.push_back(imageBase + section.address + at);
        }
        return found;
    };
    const std::vector<uint64_t> guard =
        addressesOf(GetParam() ? kStackGuardInFile : static_cast<uint32_t>(kStackGuardInFile));
    ASSERT_EQ(1u, guard.size()) << "the stack guard's value is not in the file once";
    const std::vector<uint64_t> slots = GetParam() ? addressesOf(guard[0]) : guard;

    size_t reads = 0;
    for (const Section& code : Sections()) {
        if (!(code.flags & IMAGE_SCN_MEM_EXECUTE))
            continue;
        for (size_t at = 3; at + 4 <= code.fileSize; ++at) {
            const size_t place = code.offset + at;
            if (!GetParam()) {
                reads += At<uint32_t>(place) == guard[0];
                continue;
            }
            // mov reg64, [rip + disp32]: REX.W, 8B, a ModRM of mode 0 and base 5, then disp32.
            const auto* opcode = reinterpret_cast<const unsigned char*>(bytes.data() + place - 3);
            if ((opcode[0] & 0xFB) != 0x48 || opcode[1] != 0x8B || (opcode[2] & 0xC7) != 0x05)
                continue;
            const uint64_t target = imageBase + code.address + at + 4 + static_cast<int32_t>(At<uint32_t>(place));
            reads += std::count(slots.begin(), slots.end(), target) != 0;
        }
    }
    // At the least the copy's bounce buffer, the typed text's and the Open dialog's
    // buffers and the memory digest's tail, each read once by the 64-bit code.
    EXPECT_GE(reads, 4u) << "the program's functions do not check stack cookies";
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR languages)
{
    reinterpret_cast<std::vector<WORD>*>(languages)->push_back(language);
    return TRUE;
}

BOOL CALLBACK ReportManifest(HMODULE, LPCSTR, LPSTR name, LONG_PTR)
{
    ADD_FAILURE() << "a manifest " << reinterpret_cast<uintptr_t>(name);
    return TRUE;
}

TEST_P(ProgramFile, HoldsEveryResourceInChineseOnlyAndNoManifest)
{
    const std::pair<LPCSTR, LPCSTR> resources[] = {
        {RT_DIALOG, MAKEINTRESOURCEA(IDD_MAIN)},   {RT_DIALOG, MAKEINTRESOURCEA(IDD_ABOUT)},
        {RT_GROUP_ICON, MAKEINTRESOURCEA(IDI_APP)}, {RT_BITMAP, MAKEINTRESOURCEA(IDB_ABOUT)},
        {RT_STRING, MAKEINTRESOURCEA(IDS_FILE_FILTER / 16 + 1)}, {RT_VERSION, MAKEINTRESOURCEA(1)},
    };
    for (const auto& [type, name] : resources) {
        std::vector<WORD> languages;
        EnumResourceLanguagesA(module, type, name, CollectLanguage, reinterpret_cast<LONG_PTR>(&languages));
        EXPECT_EQ(std::vector<WORD>{kChinesePrc}, languages) << reinterpret_cast<uintptr_t>(type) << "/"
                                                              << reinterpret_cast<uintptr_t>(name);
    }
    EnumResourceNamesA(module, RT_MANIFEST, ReportManifest, 0);
}

// Reads a classic dialog template: header, then each item's style, class atom and id.
struct TemplateItem {
    DWORD style;
    DWORD exStyle;
    WORD id;
    WORD classAtom;  // 0 when the class is a name
    WORD textOrdinal;  // 0 when the text is a string
};
struct DialogTemplate {
    DWORD style;
    DWORD exStyle;
    std::vector<TemplateItem> items;
};

DialogTemplate ReadTemplate(const std::vector<unsigned char>& data)
{
    DialogTemplate result{};
    if (data.size() < 18)
        return result;
    auto word = [&](size_t at) { return static_cast<WORD>(data.at(at) | data.at(at + 1) << 8); };
    auto dword = [&](size_t at) { return static_cast<DWORD>(word(at) | word(at + 2) << 16); };
    // A name or ordinal field: returns the ordinal, or 0 after skipping a string.
    auto field = [&](size_t& at) -> WORD {
        if (word(at) == 0xFFFF) {
            const WORD ordinal = word(at + 2);
            at += 4;
            return ordinal;
        }
        while (word(at) != 0)
            at += 2;
        at += 2;
        return 0;
    };
    result.style = dword(0);
    result.exStyle = dword(4);
    const WORD count = word(8);
    size_t at = 18;
    field(at);  // menu
    field(at);  // class
    field(at);  // caption
    if (result.style & DS_SETFONT) {
        at += 2;
        field(at);
    }
    for (WORD i = 0; i < count; ++i) {
        at = (at + 3) & ~size_t{3};
        TemplateItem item{};
        item.style = dword(at);
        item.exStyle = dword(at + 4);
        item.id = word(at + 16);
        at += 18;
        item.classAtom = field(at);
        item.textOrdinal = field(at);
        at += 2 + word(at);
        result.items.push_back(item);
    }
    return result;
}

TEST_P(ProgramFile, DialogTemplatesAreClassicWithTheirStylesAndPredefinedClassAtoms)
{
    const std::vector<unsigned char> mainData = Resource(RT_DIALOG, MAKEINTRESOURCEA(IDD_MAIN));
    ASSERT_FALSE(mainData.empty());
    ASSERT_NE(0xFFFF0001u, mainData[0] | mainData[1] << 8 | mainData[2] << 16 | static_cast<unsigned>(mainData[3]) << 24)
        << "an extended template";
    const DialogTemplate main = ReadTemplate(mainData);
    EXPECT_EQ(kMainTemplate.style, main.style);
    EXPECT_EQ(kMainTemplate.exStyle, main.exStyle);
    ASSERT_EQ(std::size(kMainControls), main.items.size());
    for (size_t i = 0; i < main.items.size(); ++i) {
        EXPECT_EQ(kMainControls[i].id, main.items[i].id) << i;
        EXPECT_EQ(kMainControls[i].classAtom, main.items[i].classAtom) << i;
    }

    const DialogTemplate about = ReadTemplate(Resource(RT_DIALOG, MAKEINTRESOURCEA(IDD_ABOUT)));
    EXPECT_EQ(kAboutTemplate.style, about.style);
    EXPECT_EQ(kAboutTemplate.exStyle, about.exStyle);
    ASSERT_EQ(std::size(kAboutControls), about.items.size());
    for (size_t i = 0; i < about.items.size(); ++i) {
        EXPECT_EQ(kAboutControls[i].id, about.items[i].id) << i;
        EXPECT_EQ(kAboutControls[i].classAtom, about.items[i].classAtom) << i;
    }
    EXPECT_EQ(kAboutControls[0].style, about.items[0].style);
    EXPECT_EQ(IDB_ABOUT, about.items[0].textOrdinal) << "the picture's text is the bitmap's number";
}

TEST_P(ProgramFile, IconIsOne32PixelImageAt8BitsAndThePictureIs64PixelsAt24Bits)
{
    const std::vector<unsigned char> group = Resource(RT_GROUP_ICON, MAKEINTRESOURCEA(IDI_APP));
    ASSERT_EQ(6u + 14u, group.size()) << "one image";
    EXPECT_EQ(1, group[4] | group[5] << 8);
    EXPECT_EQ(32, group[6]);
    EXPECT_EQ(32, group[7]);
    EXPECT_EQ(8, group[12] | group[13] << 8) << "bits per pixel";
    const WORD imageId = static_cast<WORD>(group[18] | group[19] << 8);
    const std::vector<unsigned char> image = Resource(RT_ICON, MAKEINTRESOURCEA(imageId));
    BITMAPINFOHEADER icon{};
    ASSERT_GE(image.size(), sizeof icon);
    std::memcpy(&icon, image.data(), sizeof icon);
    EXPECT_EQ(32, icon.biWidth);
    EXPECT_EQ(64, icon.biHeight) << "colour and mask";
    EXPECT_EQ(8, icon.biBitCount);
    // Header, 256 colours, 32 x 32 indices, and the 1-bit mask of 32 rows of 4 bytes.
    EXPECT_EQ(40u + 1024u + 1024u + 128u, image.size());

    const std::vector<unsigned char> bitmap = Resource(RT_BITMAP, MAKEINTRESOURCEA(IDB_ABOUT));
    BITMAPINFOHEADER picture{};
    ASSERT_GE(bitmap.size(), sizeof picture);
    std::memcpy(&picture, bitmap.data(), sizeof picture);
    EXPECT_EQ(64, picture.biWidth);
    EXPECT_EQ(64, picture.biHeight);
    EXPECT_EQ(24, picture.biBitCount);
    EXPECT_EQ(static_cast<DWORD>(BI_RGB), picture.biCompression);
}

TEST_P(ProgramFile, FilterStringHasEighteenCharactersWithItsOwnNul)
{
    const std::vector<unsigned char> block = Resource(RT_STRING, MAKEINTRESOURCEA(IDS_FILE_FILTER / 16 + 1));
    ASSERT_GE(block.size(), 2u);
    // 40000 is the block's first string: a count, then that many UTF-16 characters.
    const size_t count = block[0] | block[1] << 8;
    ASSERT_EQ(kFileFilterLength, count);
    ASSERT_GE(block.size(), 2 + 2 * count);
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        EXPECT_EQ(0, block[3 + 2 * i]);
        text += static_cast<char>(block[2 + 2 * i]);
    }
    EXPECT_EQ(std::string(kFileFilter, kFileFilterLength), text);
    EXPECT_EQ('\0', text[14]);
}

// The version is written once, in the top CMakeLists.txt, and reaches the programs
// through the generated header; here it must be the release's 1.0.0.2, so that a
// version raised there is raised here too, on purpose, never by accident.
const DWORD kVersionMs = HARNOX_VERSION_MAJOR << 16 | HARNOX_VERSION_MINOR;
const DWORD kVersionLs = HARNOX_VERSION_PATCH << 16 | HARNOX_VERSION_TWEAK;

TEST(Version, IsTheReleasedOneWhereverTheProgramsTakeIt)
{
    EXPECT_EQ(0x00010000u, kVersionMs);
    EXPECT_EQ(0x00000002u, kVersionLs);
    EXPECT_STREQ("1.0.0.2", HARNOX_VERSION_TEXT);
    EXPECT_STREQ("Harnoxen    v1.02", HARNOX_ABOUT_PRODUCT_LINE);
}

TEST_P(ProgramFile, VersionBlockIsTheVersionInChineseCodePage936)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_NE(0u, size);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(kVersionMs, fixed->dwFileVersionMS);
    EXPECT_EQ(kVersionLs, fixed->dwFileVersionLS);
    EXPECT_EQ(kVersionMs, fixed->dwProductVersionMS);
    EXPECT_EQ(kVersionLs, fixed->dwProductVersionLS);
    EXPECT_EQ(0u, fixed->dwFileFlagsMask);
    EXPECT_EQ(0u, fixed->dwFileFlags);
    EXPECT_EQ(0x00040004u, fixed->dwFileOS);
    EXPECT_EQ(1u, fixed->dwFileType);
    EXPECT_EQ(0u, fixed->dwFileSubtype);
    EXPECT_EQ(0u, fixed->dwFileDateMS);
    EXPECT_EQ(0u, fixed->dwFileDateLS);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x0804, translation[0]);
    EXPECT_EQ(0x03A8, translation[1]);

    const std::pair<const char*, const char*> strings[] = {
        {"FileDescription", "MD5 Velkora"}, {"FileVersion", HARNOX_VERSION_TEXT}, {"InternalName", "Harnox"},
        {"OriginalFilename", "harnox.exe"}, {"ProductName", "Harnoxen"},          {"ProductVersion", HARNOX_VERSION_TEXT},
    };
    for (const auto& [key, expected] : strings) {
        char* value = nullptr;
        const std::string query = std::string("\\StringFileInfo\\080403A8\\") + key;
        ASSERT_TRUE(VerQueryValueA(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)) << key;
        EXPECT_STREQ(expected, value) << key;
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, ProgramFile, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "x64" : "i686"; });

}  // namespace
