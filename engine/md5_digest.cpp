// The final-block builder and the memory digest.
#include "engine/md5_internal.h"

#include <cstring>

uint64_t md5_detail::BuildFinalBlocks(unsigned char (&tailCopy)[128], uint64_t length, unsigned char (&finalArea)[128])
{
    const uint64_t bitCount = length * 8;  // modulo 2^64, as MD5 appends it
    uint64_t padLength = (0 - 8 - length) & 63;
    if (padLength == 0)
        padLength = 64;
    std::memset(finalArea, 0, sizeof finalArea);

    auto storeBitCount = [&](unsigned at) {
        for (unsigned i = 0; i < 8; ++i)
            finalArea[at + i] = static_cast<unsigned char>(bitCount >> (8 * i));
    };

    if (length < 56) {
        std::memcpy(finalArea, tailCopy, static_cast<size_t>(length));
        storeBitCount(56);
        finalArea[length] = 0x80;
        return kOneBlockLayout;
    }

    // From here on the tail copy must end with the input's last byte at index 127.
    if (length < 128)
        std::memmove(tailCopy + (128 - length), tailCopy, static_cast<size_t>(length));
    storeBitCount(120);
    const uint64_t tailBytes = 120 - padLength;  // 56 to 119
    finalArea[tailBytes] = 0x80;
    std::memcpy(finalArea, tailCopy + (128 - tailBytes), static_cast<size_t>(tailBytes));
    return (length - tailBytes) / 64;
}

int Md5OfBuffer(const void* data, uint64_t length, Md5Digest& digest)
{
    using namespace md5_detail;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    unsigned char tailCopy[128] = {};
    unsigned char finalArea[128];
    DigestState state = kMd5InitialState;

    if (length > 128)
        std::memcpy(tailCopy, bytes + (length - 128), 128);
    else if (length != 0)
        std::memcpy(tailCopy, bytes, static_cast<size_t>(length));

    const uint64_t count = BuildFinalBlocks(tailCopy, length, finalArea);
    if (count == kOneBlockLayout) {
        Md5TransformBlocks(state, finalArea, 1);
    } else {
        Md5TransformBlocks(state, bytes, count);
        Md5TransformBlocks(state, finalArea, 2);
    }
    Md5StoreDigest(state, digest);
    return 1;
}
