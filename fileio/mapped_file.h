// A read-only window over one file: serves copies of byte ranges at 64-bit
// offsets through one mapped view of at most 64 allocation granularities, moved
// over the file as the reads require, so that files of any size can be read by a
// 32-bit process. Written over any platform of file_platform.h's shape and knowing
// none: the program's own, MappedFile, is bound in native_mapped_file.h.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

// What the last Open found; lets a caller tell an existing empty file, which
// Open also answers with false, from a file that could not be opened or mapped.
enum class OpenOutcome {
    NotOpened,   // no Open yet
    Mapped,      // open, first view mapped
    EmptyFile,   // the file exists and is empty: nothing to map
    Failed,      // the file could not be opened, sized or mapped, or its reads not guarded
};

// ReadAt's negative results.
enum : int32_t {
    kReadLongerThanWindow = -1,
    kReadNoFileOpen = -2,
    kReadPastEndOfFile = -3,
    kReadWindowMoveFailed = -4,
    kReadFaulted = -5,  // the view could not be read: the file shrank or its device failed
};

template <class Platform>
class BasicMappedFile {
public:
    BasicMappedFile() : granularity(Platform::AllocationGranularity()) {}
    ~BasicMappedFile() { Release(); }
    BasicMappedFile(const BasicMappedFile&) = delete;
    BasicMappedFile& operator=(const BasicMappedFile&) = delete;

    // Opens the named file and maps its first view. False for a file that cannot be
    // opened or mapped, when the platform cannot guard the copies out of its views,
    // and for an empty file; LastOpen() tells which.
    bool Open(const std::string& name);

    // Copies `length` bytes at `offset` into `destination` and returns `length`, or
    // returns one of the negative codes above with nothing copied.
    int32_t ReadAt(uint64_t offset, uint32_t length, void* destination);

    uint64_t Size() const { return fileSize; }
    OpenOutcome LastOpen() const { return lastOpen; }

    // The window, for tests and measurements.
    uint64_t WindowStart() const { return windowStart; }
    uint32_t WindowLength() const { return windowLength; }
    uint32_t ViewLength() const { return viewLength; }
    uint32_t Granularity() const { return granularity; }

private:
    void Release();
    bool Remap(uint64_t offset);
    // ReadAt's two ends: after moving the window, and the copy out of the view.
    int32_t MoveAndRead(uint64_t offset, uint32_t length, void* destination);
    int32_t CopyOut(uint64_t offset, uint32_t length, void* destination);

    std::string fileName;
    typename Platform::FileHandle fileHandle = Platform::kNoFile;
    typename Platform::MappingHandle mappingHandle = Platform::kNoMapping;
    uint64_t windowStart = 0;
    uint64_t fileSize = 0;
    uint32_t windowLength = 0;
    uint32_t granularity;
    const unsigned char* view = nullptr;
    // How many bytes the current view maps: windowLength, or less for a view
    // that ends at the end of the file. Unmapping needs it on POSIX.
    uint32_t viewLength = 0;
    OpenOutcome lastOpen = OpenOutcome::NotOpened;
};

template <class Platform>
void BasicMappedFile<Platform>::Release()
{
    if (view != nullptr)
        Platform::UnmapView(view, viewLength);
    view = nullptr;
    if (mappingHandle != Platform::kNoMapping)
        Platform::CloseMapping(mappingHandle);
    mappingHandle = Platform::kNoMapping;
    if (fileHandle != Platform::kNoFile)
        Platform::CloseFile(fileHandle);
    fileHandle = Platform::kNoFile;
    fileName.clear();
    fileSize = 0;
    windowStart = 0;
    windowLength = 0;
    viewLength = 0;
}

template <class Platform>
bool BasicMappedFile<Platform>::Open(const std::string& name)
{
    // A failed Open must never leave an earlier file open.
    Release();
    lastOpen = OpenOutcome::Failed;

    fileHandle = Platform::OpenForReading(name.c_str());
    if (fileHandle == Platform::kNoFile)
        return false;

    uint64_t size = 0;
    if (!Platform::QuerySize(fileHandle, size)) {
        Release();
        return false;
    }
    if (size == 0) {
        Release();
        lastOpen = OpenOutcome::EmptyFile;
        return false;
    }

    mappingHandle = Platform::CreateMapping(fileHandle);
    if (mappingHandle == Platform::kNoMapping) {
        Release();
        return false;
    }

    // Without the guard, a fault in a copy out of the view would end the program
    // instead of failing the read. Asked here alone, before the first view: every
    // later view belongs to an object that got past this point.
    if (!Platform::GuardViewCopies()) {
        Release();
        return false;
    }

    // A file of at most 64 granularities is mapped whole; where address space is
    // short, ever smaller first views are tried.
    const uint64_t fullWindow = 64 * uint64_t{granularity};
    uint32_t length = static_cast<uint32_t>(size < fullWindow ? size : fullWindow);
    const unsigned char* firstView = nullptr;
    for (; length != 0; length >>= 1) {
        firstView = Platform::MapView(mappingHandle, 0, length);
        if (firstView != nullptr)
            break;
    }
    if (firstView == nullptr) {
        Release();
        return false;
    }

    fileName = name;
    windowStart = 0;
    fileSize = size;
    windowLength = length;
    viewLength = length;
    view = firstView;
    lastOpen = OpenOutcome::Mapped;
    return true;
}

template <class Platform>
bool BasicMappedFile<Platform>::Remap(uint64_t offset)
{
    const uint64_t start = offset / granularity * granularity;
    const uint64_t rest = fileSize - start;
    const uint32_t length = rest < windowLength ? static_cast<uint32_t>(rest) : windowLength;
    // The new view is mapped before the old one goes, so a failure leaves the old one serving.
    const unsigned char* newView = Platform::MapView(mappingHandle, start, length);
    if (newView == nullptr)
        return false;
    Platform::UnmapView(view, viewLength);
    view = newView;
    viewLength = length;
    windowStart = start;
    return true;
}

// Inline, so that a read inside the window costs its tests and its copy; a read that
// moves the window goes out of line.
template <class Platform>
inline int32_t BasicMappedFile<Platform>::ReadAt(uint64_t offset, uint32_t length, void* destination)
{
    if (length > windowLength)
        return kReadLongerThanWindow;
    if (windowLength == 0 || fileName.empty() || view == nullptr)
        return kReadNoFileOpen;
    // Written so that it cannot wrap, whatever the offset.
    if (offset > fileSize || length > fileSize - offset)
        return kReadPastEndOfFile;
    if (offset < windowStart || offset - windowStart > windowLength - length)
        return MoveAndRead(offset, length, destination);
    return CopyOut(offset, length, destination);
}

template <class Platform>
__attribute__((noinline)) int32_t BasicMappedFile<Platform>::MoveAndRead(uint64_t offset, uint32_t length,
                                                                         void* destination)
{
    if (!Remap(offset))
        return kReadWindowMoveFailed;
    // Only a first view halved below a granularity can leave the range uncovered.
    if (length > viewLength || offset - windowStart > viewLength - length)
        return kReadWindowMoveFailed;
    return CopyOut(offset, length, destination);
}

template <class Platform>
inline int32_t BasicMappedFile<Platform>::CopyOut(uint64_t offset, uint32_t length, void* destination)
{
    if (!Platform::CopyFromMappedView(destination, view + (offset - windowStart), length))
        return kReadFaulted;
    return static_cast<int32_t>(length);
}
