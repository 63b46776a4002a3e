// Faults while a mapped view is read: a file cut short by another program, pages
// that cannot be read, device errors. The faulting read returns kReadFaulted and
// writes nothing, and the object goes on serving; every other fault still reaches
// whoever would have handled it without us.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <vector>

#include "engine/md5_digest.h"
#include "fileio/native_mapped_file.h"
#include "support/oracle_md5.h"
#include "tests/call_keeping_registers_x86.h"
#include "tests/test_support.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

constexpr unsigned char kUntouched = 0xA5;

// A few pages of memory filled with known bytes, any of which can be made unreadable
// or read-only.
class Pages {
public:
    explicit Pages(size_t count) : count(count)
    {
#ifdef _WIN32
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        pageSize = info.dwPageSize;
        base = static_cast<unsigned char*>(
            VirtualAlloc(nullptr, count * pageSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
#else
        pageSize = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        void* memory = mmap(nullptr, count * pageSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        base = memory == MAP_FAILED ? nullptr : static_cast<unsigned char*>(memory);
#endif
        if (base == nullptr)
            throw std::runtime_error("no memory for the pages");
        bytes = RandomBytes(count * pageSize, 77);
        std::memcpy(base, bytes.data(), bytes.size());
    }
    ~Pages()
    {
#ifdef _WIN32
        VirtualFree(base, 0, MEM_RELEASE);
#else
        munmap(base, count * pageSize);
#endif
    }
    Pages(const Pages&) = delete;
    Pages& operator=(const Pages&) = delete;

    void MakeUnreadable(size_t page) { Protect(page, false); }
    void MakeReadOnly(size_t page) { Protect(page, true); }
    unsigned char* Page(size_t page) const { return base + page * pageSize; }
    size_t PageSize() const { return pageSize; }
    // What the pages held when they were made.
    std::vector<unsigned char> Expected(const unsigned char* from, size_t length) const
    {
        const size_t at = static_cast<size_t>(from - base);
        return std::vector<unsigned char>(bytes.begin() + at, bytes.begin() + at + length);
    }

private:
    void Protect(size_t page, bool readable)
    {
#ifdef _WIN32
        DWORD previous;
        VirtualProtect(Page(page), pageSize, readable ? PAGE_READONLY : PAGE_NOACCESS, &previous);
#else
        mprotect(Page(page), pageSize, readable ? PROT_READ : PROT_NONE);
#endif
    }

    size_t count;
    size_t pageSize;
    unsigned char* base;
    std::vector<unsigned char> bytes;
};

// Copies through the guard into a buffer one byte longer than asked, and checks that
// a failed copy wrote nothing and that no copy wrote past its length.
bool GuardedCopy(const unsigned char* source, uint32_t length, std::vector<unsigned char>& out)
{
    out.assign(length + 1, kUntouched);
    EXPECT_TRUE(NativeFilePlatform::GuardViewCopies());
    const bool copied = NativeFilePlatform::CopyFromMappedView(out.data(), source, length);
    if (!copied) {
        for (unsigned char byte : out)
            EXPECT_EQ(kUntouched, byte) << "a failed copy wrote into its destination";
    }
    EXPECT_EQ(kUntouched, out[length]) << "a copy wrote past its length";
    out.resize(length);
    return copied;
}

// The guard's tests run over each block copy this processor can run: on i686 the
// XMM one and the x87 one, which the processor chooses between.
class ViewCopyGuard : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(NativeFilePlatform::GuardViewCopies());
#if defined(__i386__)
        chosen = viewBlockCopyUsesXmm;
        const bool xmm = std::strcmp(GetParam(), "xmm") == 0;
        if (xmm && !chosen)
            GTEST_SKIP() << "this processor or system has no XMM registers";
        viewBlockCopyUsesXmm = xmm;
#endif
    }
    void TearDown() override
    {
#if defined(__i386__)
        viewBlockCopyUsesXmm = chosen;
#endif
    }
    bool chosen = false;
};

#if defined(__i386__)
INSTANTIATE_TEST_SUITE_P(BlockCopy, ViewCopyGuard, ::testing::Values("xmm", "x87"),
                         [](const auto& info) { return std::string(info.param); });
#else
INSTANTIATE_TEST_SUITE_P(BlockCopy, ViewCopyGuard, ::testing::Values("default"),
                         [](const auto& info) { return std::string(info.param); });
#endif

TEST_P(ViewCopyGuard, CopiesThatRunIntoUnreadableMemoryFailAndWriteNothing)
{
    Pages pages(6);
    const size_t page = pages.PageSize();
    pages.MakeUnreadable(2);
    pages.MakeUnreadable(5);
    const unsigned char* fence = pages.Page(2);
    std::vector<unsigned char> got;

    // Short copies go through a buffer of their own.
    EXPECT_FALSE(GuardedCopy(fence - 8, 16, got));
    EXPECT_FALSE(GuardedCopy(fence, 1, got));
    EXPECT_FALSE(GuardedCopy(fence + page - 1, 1, got));
    ASSERT_TRUE(GuardedCopy(fence - 16, 16, got));
    EXPECT_EQ(pages.Expected(fence - 16, 16), got);

    // Long copies: an unreadable page anywhere in the range, in the middle, at the
    // last byte, or right at the start.
    const uint32_t twoPages = static_cast<uint32_t>(2 * page);
    EXPECT_FALSE(GuardedCopy(pages.Page(1) + 100, twoPages, got));
    EXPECT_FALSE(GuardedCopy(pages.Page(3) + 1, twoPages, got));
    EXPECT_FALSE(GuardedCopy(fence, twoPages, got));
    EXPECT_FALSE(GuardedCopy(pages.Page(0), static_cast<uint32_t>(2 * page + 1), got));
    ASSERT_TRUE(GuardedCopy(pages.Page(0), twoPages, got));
    EXPECT_EQ(pages.Expected(pages.Page(0), twoPages), got);
    ASSERT_TRUE(GuardedCopy(pages.Page(3), twoPages, got));
    EXPECT_EQ(pages.Expected(pages.Page(3), twoPages), got);
}

TEST_P(ViewCopyGuard, EveryShortLengthFaultingAtEitherEndWritesNothing)
{
    // A copy up to 2 KiB is loaded whole before anything is stored, a 64-byte block
    // into registers and any other length into a buffer on the stack: a fault in the
    // last byte or in the first must still leave the destination as it was.
    Pages pages(4);
    pages.MakeUnreadable(2);
    const unsigned char* fence = pages.Page(2);
    const unsigned char* after = pages.Page(3);
    std::vector<unsigned char> got;
    for (uint32_t length = 1; length <= 160; ++length) {
        EXPECT_FALSE(GuardedCopy(fence - length + 1, length, got)) << length;
        EXPECT_FALSE(GuardedCopy(after - 1, length, got)) << length;
        ASSERT_TRUE(GuardedCopy(fence - length, length, got)) << length;
        EXPECT_EQ(pages.Expected(fence - length, length), got) << length;
        ASSERT_TRUE(GuardedCopy(after + length % 7, length, got)) << length;
        EXPECT_EQ(pages.Expected(after + length % 7, length), got) << length;
    }
}

TEST_P(ViewCopyGuard, SurvivesFaultAfterFault)
{
    // Each recovery must leave the thread ready for the next fault.
    Pages pages(2);
    pages.MakeUnreadable(1);
    std::vector<unsigned char> got;
    for (int i = 0; i < 200; ++i)
        ASSERT_FALSE(GuardedCopy(pages.Page(1) - 3, 64, got)) << "fault " << i;
    ASSERT_TRUE(GuardedCopy(pages.Page(1) - 64, 64, got));
    EXPECT_EQ(pages.Expected(pages.Page(1) - 64, 64), got);
}

TEST_P(ViewCopyGuard, ThreadsFaultingAtOnceEachRecoverTheirOwnCopy)
{
    Pages pages(3);
    pages.MakeUnreadable(1);
    std::atomic<int> failed{0};
    auto faultALot = [&] {
        unsigned char out[64];
        for (int i = 0; i < 300; ++i)
            failed += !NativeFilePlatform::CopyFromMappedView(out, pages.Page(1) - 10, sizeof out);
    };
    std::thread other(faultALot);
    faultALot();
    other.join();
    EXPECT_EQ(600, failed.load());
}

TEST_P(ViewCopyGuard, BlockFaultingInAnyOfItsLoadsWritesNothingAndTheNextCopiesRight)
{
    // A fault in the first, a middle or the last load of a block, each followed by
    // blocks that must come out whole: a recovery that left a load behind in a
    // register (the x87 stack) would spoil them.
    Pages pages(3);
    pages.MakeUnreadable(1);
    const unsigned char* fence = pages.Page(1);
    std::vector<unsigned char> got;
    for (uint32_t before = 0; before < 64; before += 7) {
        EXPECT_FALSE(GuardedCopy(fence - before, 64, got)) << before;
        for (uint32_t at = 64; at <= 128; at += 64) {
            ASSERT_TRUE(GuardedCopy(fence - at - before, 64, got)) << before;
            EXPECT_EQ(pages.Expected(fence - at - before, 64), got) << before;
        }
    }
}

TEST_P(ViewCopyGuard, BlocksKeepEveryBitPattern)
{
    // The x87 copy goes through 64-bit integer loads and stores: no pattern of eight
    // bytes may come out changed, the smallest integer and all ones among them.
    alignas(64) unsigned char source[64 * 4];
    const uint64_t patterns[] = {0x8000000000000000u, 0xFFFFFFFFFFFFFFFFu, 0, 1, 0x7FFFFFFFFFFFFFFFu,
                                 0x8000000000000001u, 0x7FF0000000000001u, 0xFFF8000000000000u};
    for (size_t i = 0; i < sizeof source / 8; ++i) {
        uint64_t value = patterns[i % 8] ^ (i >= 8 ? 0x0123456789ABCDEFu * (i / 8) : 0);
        std::memcpy(source + 8 * i, &value, 8);
    }
    std::vector<unsigned char> got;
    for (size_t at = 0; at + 64 <= sizeof source; at += 8) {
        ASSERT_TRUE(GuardedCopy(source + at, 64, got));
        EXPECT_EQ(0, std::memcmp(source + at, got.data(), 64)) << at;
    }
}

// Each copy of view_copy.cpp, with the length it is called for.
struct CopyUnderTest {
    const char* name;
    const void* entry;
    uint32_t length;
};

std::vector<CopyUnderTest> CopiesUnderTest()
{
#if defined(__x86_64__)
    return {{"block", reinterpret_cast<const void*>(&HarnoxCopyBlockFromView), 64},
            {"range", reinterpret_cast<const void*>(&HarnoxCopyRangeFromView), 100}};
#else
    std::vector<CopyUnderTest> copies = {{"x87 block", reinterpret_cast<const void*>(&HarnoxCopyBlockFromViewX87), 64},
                                         {"range", reinterpret_cast<const void*>(&HarnoxCopyRangeFromView), 100}};
    EXPECT_TRUE(NativeFilePlatform::GuardViewCopies());
    if (viewBlockCopyUsesXmm)
        copies.push_back({"xmm block", reinterpret_cast<const void*>(&HarnoxCopyBlockFromViewXmm), 64});
    return copies;
#endif
}

TEST(ViewCopyRegisters, CopiesKeepWhatTheirCallerKeepsWhetherTheyFinishOrFault)
{
    Pages pages(3);
    pages.MakeUnreadable(1);
    ASSERT_TRUE(NativeFilePlatform::GuardViewCopies());
    for (const CopyUnderTest& copy : CopiesUnderTest()) {
        unsigned char out[128];
        int result = -1;
        EXPECT_EQ(0u, CallKeepingRegisters(copy.entry, out, pages.Page(0), copy.length, &result)) << copy.name;
        EXPECT_EQ(1, result) << copy.name;
        EXPECT_EQ(0, std::memcmp(out, pages.Page(0), copy.length)) << copy.name;
        result = -1;
        EXPECT_EQ(0u, CallKeepingRegisters(copy.entry, out, pages.Page(1) - 10, copy.length, &result))
            << copy.name << ", faulting";
        EXPECT_EQ(0, result) << copy.name << ", faulting";
    }
}

#if defined(__SANITIZE_ADDRESS__)
TEST(ViewCopySanitizerDeathTest, OverflowOfTheDestinationIsReported)
{
    // The copies store from assembly; AddressSanitizer must still see a destination
    // too short for the block or for the tail.
    static unsigned char source[128];
    for (uint32_t length : {64u, 100u}) {
        EXPECT_DEATH(
            {
                std::vector<unsigned char> sixteen(16);
                NativeFilePlatform::GuardViewCopies();
                NativeFilePlatform::CopyFromMappedView(sixteen.data(), source, length);
            },
            "heap-buffer-overflow")
            << length;
    }
}
#endif

class ViewFaultTest : public ::testing::Test {
protected:
    // Reads and checks that a failed read wrote nothing.
    int32_t Read(MappedFile& file, uint64_t offset, uint32_t length)
    {
        got.assign(length + 1, kUntouched);
        const int32_t result = file.ReadAt(offset, length, got.data());
        if (result < 0) {
            for (unsigned char byte : got)
                EXPECT_EQ(kUntouched, byte) << "a failed read wrote into the destination";
        }
        got.resize(length);
        return result;
    }
    std::vector<unsigned char> Bytes(uint64_t offset, uint32_t length) const
    {
        return std::vector<unsigned char>(bytes.begin() + offset, bytes.begin() + offset + length);
    }

    ScratchFolder folder;
    std::vector<unsigned char> bytes;
    std::vector<unsigned char> got;
};

TEST_F(ViewFaultTest, FileCutShortByAnotherProgramWhileOpen)
{
    MappedFile file;
    const uint64_t g = file.Granularity();
    const uint64_t window = 64 * g;
    bytes = RandomBytes(window + 2 * g, 11);
    const std::string path = folder.Write("cut", bytes);
    ASSERT_TRUE(file.Open(path));

#ifdef _WIN32
    // Windows refuses to cut a file that is open with read sharing only, or mapped:
    // every read goes on serving the whole file.
    EXPECT_ANY_THROW(TruncateFile(path, g));
    EXPECT_EQ(64, Read(file, 2 * g, 64));
    EXPECT_EQ(Bytes(2 * g, 64), got);
    Md5Digest digest{};
    EXPECT_EQ(1, Md5OfMappedFile(file, digest));
    EXPECT_EQ(OracleMd5Hex(bytes.data(), bytes.size()), HexOf(digest));
#else
    TruncateFile(path, g);
    EXPECT_EQ(window + 2 * g, file.Size()) << "the size is the one Open took";

    // Whole pages past the new end are gone from the view.
    EXPECT_EQ(kReadFaulted, Read(file, 2 * g, 64));
    EXPECT_EQ(kReadFaulted, Read(file, g - 8, 16));
    EXPECT_EQ(kReadFaulted, Read(file, 0, static_cast<uint32_t>(g + 1)));
    EXPECT_EQ(kReadFaulted, Read(file, g + 5, static_cast<uint32_t>(3 * g)));
    // What is left is still served, by short and by long reads.
    ASSERT_EQ(64, Read(file, 0, 64));
    EXPECT_EQ(Bytes(0, 64), got);
    ASSERT_EQ(16, Read(file, g - 16, 16));
    EXPECT_EQ(Bytes(g - 16, 16), got);
    ASSERT_EQ(static_cast<int32_t>(g), Read(file, 0, static_cast<uint32_t>(g)));
    EXPECT_EQ(Bytes(0, static_cast<uint32_t>(g)), got);

    // A move onto the lost part maps, then faults; moving back serves again.
    EXPECT_EQ(kReadFaulted, Read(file, window + g, 64));
    EXPECT_EQ(window + g, file.WindowStart());
    ASSERT_EQ(64, Read(file, 100, 64));
    EXPECT_EQ(Bytes(100, 64), got);

    Md5Digest digest;
    std::memset(&digest, 0x5A, sizeof digest);
    EXPECT_EQ(0, Md5OfMappedFile(file, digest));
    EXPECT_EQ(std::string(32, '0'), HexOf(digest));
#endif
}

#ifdef _WIN32

// Vectored handlers of the test's own, around the guard's.
class VectoredHandler {
public:
    VectoredHandler(bool first, PVECTORED_EXCEPTION_HANDLER handler)
        : handle(AddVectoredExceptionHandler(first ? 1 : 0, handler))
    {
    }
    ~VectoredHandler() { RemoveVectoredExceptionHandler(handle); }

private:
    void* handle;
};

// The pages the handlers below act on, and what they saw.
unsigned char* watchedBegin = nullptr;
unsigned char* watchedEnd = nullptr;
std::atomic<int> translated{0};
std::atomic<int> passedOn{0};

bool Watched(const EXCEPTION_RECORD* record)
{
    if (record->NumberParameters < 2)
        return false;
    const auto* address = reinterpret_cast<unsigned char*>(record->ExceptionInformation[1]);
    return address >= watchedBegin && address < watchedEnd;
}

// Ahead of the guard: makes an access violation on the watched pages look like the
// in-page error a failing disk or network drive raises, which Wine never does.
LONG CALLBACK AsInPageError(EXCEPTION_POINTERS* pointers)
{
    EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    if (record->ExceptionCode == EXCEPTION_ACCESS_VIOLATION && Watched(record)) {
        record->ExceptionCode = EXCEPTION_IN_PAGE_ERROR;
        record->NumberParameters = 3;
        record->ExceptionInformation[2] = static_cast<ULONG_PTR>(0xC000009C);  // STATUS_DEVICE_DATA_ERROR
        ++translated;
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

// After the guard: takes what the guard passed on, makes the watched pages
// accessible and lets the faulting instruction run again.
LONG CALLBACK CatchPassedOn(EXCEPTION_POINTERS* pointers)
{
    EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    if ((record->ExceptionCode != EXCEPTION_ACCESS_VIOLATION && record->ExceptionCode != EXCEPTION_IN_PAGE_ERROR) ||
        !Watched(record))
        return EXCEPTION_CONTINUE_SEARCH;
    DWORD previous;
    VirtualProtect(watchedBegin, static_cast<SIZE_T>(watchedEnd - watchedBegin), PAGE_READWRITE, &previous);
    ++passedOn;
    return EXCEPTION_CONTINUE_EXECUTION;
}

TEST(ViewCopyGuardWin32, InPageErrorsOfTheCopyAreSurvived)
{
    Pages pages(4);
    std::vector<unsigned char> got;
    ASSERT_TRUE(GuardedCopy(pages.Page(0), 8, got));  // the guard is in place
    pages.MakeUnreadable(2);
    watchedBegin = pages.Page(2);
    watchedEnd = pages.Page(3);
    translated = 0;
    {
        VectoredHandler translator(true, AsInPageError);
        EXPECT_FALSE(GuardedCopy(pages.Page(2) - 20, 64, got));
        EXPECT_FALSE(GuardedCopy(pages.Page(1), static_cast<uint32_t>(2 * pages.PageSize()), got));
        ASSERT_TRUE(GuardedCopy(pages.Page(1), static_cast<uint32_t>(pages.PageSize()), got));
        EXPECT_EQ(pages.Expected(pages.Page(1), pages.PageSize()), got);
    }
    EXPECT_EQ(2, translated.load());
}

TEST(ViewCopyGuardWin32, FaultsOutsideTheGuardedSourceGoOnToLaterHandlers)
{
    Pages pages(5);
    std::vector<unsigned char> got;
    ASSERT_TRUE(GuardedCopy(pages.Page(0), 8, got));  // the guard is in place
    VectoredHandler catcher(false, CatchPassedOn);
    watchedBegin = pages.Page(2);
    watchedEnd = pages.Page(5);
    passedOn = 0;

    // A read of an unreadable page by anyone but the copy.
    pages.MakeUnreadable(2);
    const volatile unsigned char* fence = pages.Page(2);
    EXPECT_EQ(pages.Expected(pages.Page(2), 1)[0], fence[0]);
    EXPECT_EQ(1, passedOn.load());

    // A long copy whose destination cannot be written: the fault is the copy's, but
    // not in its source.
    pages.MakeReadOnly(3);
    const uint32_t length = static_cast<uint32_t>(2 * pages.PageSize());
    EXPECT_TRUE(NativeFilePlatform::CopyFromMappedView(pages.Page(3), pages.Page(0), length));
    EXPECT_EQ(2, passedOn.load());
    EXPECT_EQ(0, std::memcmp(pages.Page(3), pages.Expected(pages.Page(0), length).data(), length));

    // A block whose destination cannot be written.
    pages.MakeReadOnly(4);
    EXPECT_TRUE(NativeFilePlatform::CopyFromMappedView(pages.Page(4) + 64, pages.Page(0), 64));
    EXPECT_EQ(3, passedOn.load());
    EXPECT_EQ(0, std::memcmp(pages.Page(4) + 64, pages.Page(0), 64));

    // An in-page error raised by other code.
    const ULONG_PTR information[3] = {0, reinterpret_cast<ULONG_PTR>(pages.Page(2)), 0xC000009C};
    RaiseException(EXCEPTION_IN_PAGE_ERROR, 0, 3, information);
    EXPECT_EQ(4, passedOn.load());
}

#else

// Installs the guard's handler, as MappedFile's Open does before it maps a file's first view.
void InstallGuard()
{
    unsigned char byte = 1;
    unsigned char out;
    if (!NativeFilePlatform::GuardViewCopies() || !NativeFilePlatform::CopyFromMappedView(&out, &byte, 1))
        _exit(3);
}

void ReadUnreadablePage()
{
    Pages pages(1);
    pages.MakeUnreadable(0);
    const volatile unsigned char* page = pages.Page(0);
    (void)page[0];
}

// A shared mapping of a file of some pages, which is then cut to nothing: reading any
// of its pages is a bus error.
class CutMapping {
public:
    explicit CutMapping(size_t pages) : length(pages * 4096)
    {
        const std::string path = folder.Write("cut", RandomBytes(length, 1));
        fd = open(path.c_str(), O_RDONLY);
        void* mapped = mmap(nullptr, length, PROT_READ, MAP_SHARED, fd, 0);
        view = mapped == MAP_FAILED ? nullptr : static_cast<const unsigned char*>(mapped);
        TruncateFile(path, 0);
    }
    ~CutMapping()
    {
        if (view != nullptr)
            munmap(const_cast<unsigned char*>(view), length);
        if (fd >= 0)
            close(fd);
    }
    CutMapping(const CutMapping&) = delete;
    CutMapping& operator=(const CutMapping&) = delete;

    // Null when the file could not be mapped.
    const volatile unsigned char* Page(size_t page) const { return view == nullptr ? nullptr : view + page * 4096; }

private:
    ScratchFolder folder;
    size_t length;
    int fd = -1;
    const unsigned char* view = nullptr;
};

// Reads a page of a file mapping after the file was cut short: a bus error.
void ReadCutMapping()
{
    CutMapping cut(3);
    if (cut.Page(2) == nullptr)
        _exit(4);
    (void)*cut.Page(2);
}

TEST(ViewCopyGuardDeathTest, FaultsOutsideTheGuardStillKill)
{
    EXPECT_DEATH(
        {
            InstallGuard();
            ReadUnreadablePage();
        },
        "");
    // The copy's own fault, but in its destination.
    EXPECT_DEATH(
        {
            Pages pages(6);
            pages.MakeReadOnly(5);
            InstallGuard();
            NativeFilePlatform::CopyFromMappedView(pages.Page(4), pages.Page(0),
                                                   static_cast<uint32_t>(2 * pages.PageSize()));
        },
        "");
    // The same for a block: its stores fault after its loads succeeded.
    EXPECT_DEATH(
        {
            Pages pages(2);
            pages.MakeReadOnly(1);
            InstallGuard();
            NativeFilePlatform::CopyFromMappedView(pages.Page(1), pages.Page(0), 64);
        },
        "");
    // A bus error in a cut mapping read by anyone but the copy, and one sent.
    EXPECT_DEATH(
        {
            InstallGuard();
            ReadCutMapping();
        },
        "");
    EXPECT_DEATH(
        {
            InstallGuard();
            raise(SIGBUS);
        },
        "");
}

// These cases need a process in which no view has been mapped and no guard installed
// yet. Each runs as a test entry of its own, started the way every test program of
// its build is (through the emulator, where the tests run under one), and skips itself
// when other tests share its process.
class ViewCopyGuardFreshProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::testing::UnitTest::GetInstance()->test_to_run_count() != 1)
            GTEST_SKIP() << "needs a process of its own: run it alone, with --gtest_filter";
    }
};

sigjmp_buf backFromTheHandler;
volatile sig_atomic_t earlierHandlerRan;

void EarlierHandler(int)
{
    earlierHandlerRan = 1;
    siglongjmp(backFromTheHandler, 1);
}

void EarlierHandlerWithInfo(int, siginfo_t*, void*)
{
    earlierHandlerRan = 2;
    siglongjmp(backFromTheHandler, 1);
}

struct sigaction ActionOf(void (*handler)(int))
{
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    sigemptyset(&action.sa_mask);
    action.sa_handler = handler;
    return action;
}

struct sigaction ActionOf(void (*handler)(int, siginfo_t*, void*))
{
    struct sigaction action = ActionOf(SIG_DFL);
    action.sa_sigaction = handler;
    action.sa_flags = SA_SIGINFO;
    return action;
}

// The function that a signal's handler runs now, whichever kind of handler it is.
void* HandlerOf(int signal)
{
    struct sigaction now;
    sigaction(signal, nullptr, &now);
    return (now.sa_flags & SA_SIGINFO) ? reinterpret_cast<void*>(now.sa_sigaction)
                                       : reinterpret_cast<void*>(now.sa_handler);
}

// Reads `address`, which faults; the handler that takes the fault comes back here.
void ReadAndComeBack(const volatile unsigned char* address)
{
    if (sigsetjmp(backFromTheHandler, 1) == 0)
        (void)*address;
}

// Installs a handler for `signal`, then the guard over it, and reads `address` outside
// any copy. Returns which earlier handler the fault reached: 1 the plain one, 2 the one
// that takes the signal's details, 0 none.
int ReadUnderAnEarlierHandler(int signal, bool withInfo, const volatile unsigned char* address)
{
    const struct sigaction earlier = withInfo ? ActionOf(EarlierHandlerWithInfo) : ActionOf(EarlierHandler);
    sigaction(signal, &earlier, nullptr);
    void* const earlierHandler = HandlerOf(signal);
    InstallGuard();
    EXPECT_NE(earlierHandler, HandlerOf(signal)) << "the guard was not installed over the earlier handler";
    earlierHandlerRan = 0;
    ReadAndComeBack(address);
    return earlierHandlerRan;
}

TEST_F(ViewCopyGuardFreshProcess, SegmentationFaultOutsideACopyReachesTheHandlerInstalledBefore)
{
    Pages pages(1);
    pages.MakeUnreadable(0);
    EXPECT_EQ(1, ReadUnderAnEarlierHandler(SIGSEGV, false, pages.Page(0)));
}

TEST_F(ViewCopyGuardFreshProcess, SegmentationFaultOutsideACopyReachesTheSiginfoHandlerInstalledBefore)
{
    Pages pages(1);
    pages.MakeUnreadable(0);
    EXPECT_EQ(2, ReadUnderAnEarlierHandler(SIGSEGV, true, pages.Page(0)));
}

TEST_F(ViewCopyGuardFreshProcess, BusErrorOutsideACopyReachesTheHandlerInstalledBefore)
{
    CutMapping cut(3);
    ASSERT_NE(nullptr, cut.Page(2));
    EXPECT_EQ(1, ReadUnderAnEarlierHandler(SIGBUS, false, cut.Page(2)));
}

volatile const void* reportedBusErrorAddress;

void RecordBusErrorAddress(int, siginfo_t* info, void*)
{
    reportedBusErrorAddress = info->si_addr;
    siglongjmp(backFromTheHandler, 1);
}

// Whether a bus error reports the address that faulted. qemu-user reports the one a
// page later, outside what any copy was reading, so that no copy can recover there.
bool BusErrorsReportTheirAddress()
{
    CutMapping cut(1);
    if (cut.Page(0) == nullptr) {
        ADD_FAILURE() << "the probe's file could not be mapped";
        return false;
    }
    const volatile unsigned char* byte = cut.Page(0) + 100;
    const struct sigaction record = ActionOf(RecordBusErrorAddress);
    struct sigaction before;
    sigaction(SIGBUS, &record, &before);
    reportedBusErrorAddress = nullptr;
    ReadAndComeBack(byte);
    sigaction(SIGBUS, &before, nullptr);
    return reportedBusErrorAddress == byte;
}

// In a process that has copied nothing out of a view yet, the first read of a file
// that was cut short must already be guarded: opening it puts the guard in place.
TEST_F(ViewCopyGuardFreshProcess, FirstReadOfAFileCutShortIsGuarded)
{
    const bool addressesReported = BusErrorsReportTheirAddress();
    // The defaults, or a sanitizer's handlers: the guard goes in front of either.
    void* const busHandlerBefore = HandlerOf(SIGBUS);
    void* const segvHandlerBefore = HandlerOf(SIGSEGV);
    ScratchFolder folder;
    const std::string path = folder.Write("cut", RandomBytes(3 * 65536, 5));
    MappedFile file;
    ASSERT_TRUE(file.Open(path));
    EXPECT_NE(busHandlerBefore, HandlerOf(SIGBUS)) << "a view was mapped with no guard in place";
    EXPECT_NE(segvHandlerBefore, HandlerOf(SIGSEGV)) << "a view was mapped with no guard in place";
    if (!addressesReported) {
        std::printf("the read of the cut file is left out: bus errors here report another address\n");
        return;
    }
    TruncateFile(path, 0);
    unsigned char block[64];
    std::memset(block, kUntouched, sizeof block);
    EXPECT_EQ(kReadFaulted, file.ReadAt(65536, 64, block));
    for (unsigned char byte : block)
        ASSERT_EQ(kUntouched, byte) << "a failed read wrote into its destination";
}

#endif

}  // namespace
