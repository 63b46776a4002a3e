// POSIX files and mappings: open, fstat, mmap, munmap; copies out of a view survive
// a SIGBUS or SIGSEGV in the view.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <ucontext.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "fileio/file_platform.h"
#include "fileio/view_copy.h"
#include "fileio/view_copy_x86.h"
#include "runtime/processor_features.h"

const NativeFilePlatform::FileHandle NativeFilePlatform::kNoFile = -1;
const NativeFilePlatform::MappingHandle NativeFilePlatform::kNoMapping = -1;

uint32_t NativeFilePlatform::AllocationGranularity()
{
    // A fixed 64 KiB: a multiple of every page size Linux uses (4, 16 and 64 KiB),
    // and the unit Windows uses, so that the window is 4 MiB and moves at the same
    // offsets on both systems.
    return 64 * 1024;
}

NativeFilePlatform::FileHandle NativeFilePlatform::OpenForReading(const char* name)
{
    // O_NONBLOCK so that a FIFO or a device never blocks the open; only regular
    // files are kept.
    int fd;
    do
        fd = ::open(name, O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return kNoFile;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return kNoFile;
    }
    return fd;
}

bool NativeFilePlatform::QuerySize(FileHandle file, uint64_t& size)
{
    struct stat info;
    if (::fstat(static_cast<int>(file), &info) != 0 || info.st_size < 0)
        return false;
    size = static_cast<uint64_t>(info.st_size);
    return true;
}

NativeFilePlatform::MappingHandle NativeFilePlatform::CreateMapping(FileHandle file)
{
    // The mapping holds its own reference to the file, as a Windows mapping object does.
    const int fd = ::fcntl(static_cast<int>(file), F_DUPFD_CLOEXEC, 0);
    return fd < 0 ? kNoMapping : fd;
}

const unsigned char* NativeFilePlatform::MapView(MappingHandle mapping, uint64_t offset, uint32_t length)
{
    if (length == 0 || offset > static_cast<uint64_t>(INT64_MAX))
        return nullptr;
    void* view = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, static_cast<int>(mapping), static_cast<off_t>(offset));
    if (view == MAP_FAILED)
        return nullptr;
    // Both are hints; a kernel that lacks one just maps as usual. Huge pages: a file
    // read from disk through the view is cached in 2 MiB pieces, and cached pieces of
    // that size are mapped whole, so that each costs one page table entry instead of
    // 512, the first touch of each being the expensive part of reading a view.
    // Then the whole window is mapped in one call rather than by a fault every few
    // pages, since it is read through from start to end.
    ::madvise(view, length, MADV_HUGEPAGE);
#ifdef MADV_POPULATE_READ
    ::madvise(view, length, MADV_POPULATE_READ);
#endif
    return static_cast<const unsigned char*>(view);
}

void NativeFilePlatform::UnmapView(const unsigned char* view, uint32_t length)
{
    ::munmap(const_cast<unsigned char*>(view), length);
}

void NativeFilePlatform::CloseMapping(MappingHandle mapping)
{
    ::close(static_cast<int>(mapping));
}

void NativeFilePlatform::CloseFile(FileHandle file)
{
    ::close(static_cast<int>(file));
}

namespace {

// The copies are those of view_copy.cpp, whose loads are known: the handler sends a
// fault in one of them to its recovery point, so a copy costs no more than its loads
// and stores.
#if defined(__x86_64__)
constexpr int kInstructionRegister = REG_RIP, kCursorRegister = REG_R10, kEndRegister = REG_R11;
#else
constexpr int kInstructionRegister = REG_EIP, kCursorRegister = REG_EDX, kEndRegister = REG_ECX;
#endif

// Resumes the copy at its recovery point when the fault came from one of its loads,
// at an address in what remained of its source.
bool ResumeGuardedCopy(const siginfo_t* info, void* context)
{
    greg_t* registers = static_cast<ucontext_t*>(context)->uc_mcontext.gregs;
    const uintptr_t recovery = RecoveryPointOf(static_cast<uintptr_t>(registers[kInstructionRegister]));
    if (recovery == 0)
        return false;
    // The bytes not yet copied run from the cursor to the end.
    const uintptr_t address = reinterpret_cast<uintptr_t>(info->si_addr);
    if (address < static_cast<uintptr_t>(registers[kCursorRegister]) ||
        address >= static_cast<uintptr_t>(registers[kEndRegister]))
        return false;
    registers[kInstructionRegister] = static_cast<greg_t>(recovery);
    return true;
}

struct sigaction previousBusAction;
struct sigaction previousSegvAction;

// A signal that is not ours goes on as if we had never been installed.
void PassOn(int signal, siginfo_t* info, void* context)
{
    const struct sigaction& previous = signal == SIGBUS ? previousBusAction : previousSegvAction;
    if (previous.sa_flags & SA_SIGINFO) {
        previous.sa_sigaction(signal, info, context);
        return;
    }
    if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
        previous.sa_handler(signal);
        return;
    }
    const bool sent = info->si_code <= 0;  // by kill() or raise(), not by a fault
    if (previous.sa_handler == SIG_IGN && sent)
        return;
    // Back to the default: a fault recurs as its instruction restarts and takes the
    // default action there (a core shows the real place); a sent signal is raised again.
    const int savedErrno = errno;
    sigaction(signal, &previous, nullptr);
    if (sent)
        raise(signal);
    errno = savedErrno;
}

void OnViewFault(int signal, siginfo_t* info, void* context)
{
    // Only a fault raised by the hardware in a guarded copy is ours, never a sent signal.
    if (info->si_code > 0 && ResumeGuardedCopy(info, context))
        return;
    PassOn(signal, info, context);
}

bool InstallFaultHandler()
{
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    sigemptyset(&action.sa_mask);
    action.sa_sigaction = OnViewFault;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    if (sigaction(SIGBUS, nullptr, &previousBusAction) != 0 || sigaction(SIGSEGV, nullptr, &previousSegvAction) != 0)
        return false;
    return sigaction(SIGBUS, &action, nullptr) == 0 && sigaction(SIGSEGV, &action, nullptr) == 0;
}

}  // namespace

bool NativeFilePlatform::GuardViewCopies()
{
    static const bool installed = [] {
#if defined(__i386__)
        // Linux has saved the XMM registers of each thread on every processor with
        // SSE since 2.4; where it uses XSAVE, XCR0 says whether they are among them.
        const ProcessorFeatures& cpu = ThisProcessor();
        viewBlockCopyUsesXmm = cpu.sse && (!cpu.osxsave || (cpu.savedState & kSavedXmmState) != 0);
#endif
        return InstallFaultHandler();
    }();
    return installed;
}
