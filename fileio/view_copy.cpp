// Copies out of a mapped view that leave the destination untouched when the view
// fails under them, over each platform's guarded copy.
#include "fileio/file_platform.h"

#include <cstring>

namespace {
// Reads up to this long that are not copied inline go through a buffer on the stack,
// so that a fault part way through leaves the caller's destination untouched.
constexpr uint32_t kBounceLength = 2048;
// Longer reads first touch every page of their range; 4 KiB is the smallest page size.
constexpr uint64_t kProbeStride = 4096;
}  // namespace

bool NativeFilePlatform::CopyFromView(void* destination, const unsigned char* source, uint32_t length)
{
    GuardViewCopies();
    return CopyFromMappedView(destination, source, length);
}

bool NativeFilePlatform::CopyLongFromView(void* destination, const unsigned char* source, uint32_t length)
{
    if (length == 0)
        return true;
    if (length <= kBounceLength) {
        unsigned char bounce[kBounceLength];
        if (!GuardedCopy(bounce, source, length))
            return false;
        std::memcpy(destination, bounce, length);
        return true;
    }
    // Too long for the stack: lost pages are found before a byte is written, so only
    // a fault that begins during the copy itself can leave the destination written in part.
    unsigned char probe;
    for (uint64_t at = 0; at < length; at += kProbeStride)
        if (!GuardedCopy(&probe, source + at, 1))
            return false;
    return GuardedCopy(&probe, source + length - 1, 1) && GuardedCopy(destination, source, length);
}
