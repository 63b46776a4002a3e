// POSIX files and mappings: open, fstat, mmap, munmap.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "fileio/file_platform.h"

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

NativeFilePlatform::MappingHandle NativeFilePlatform::CreateMapping(FileHandle file, uint64_t)
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

bool NativeFilePlatform::CopyFromView(void* destination, const unsigned char* source, uint32_t length)
{
    std::memcpy(destination, source, length);
    return true;
}
