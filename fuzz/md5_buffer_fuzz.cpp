// Md5OfBuffer against OpenSSL's MD5 on arbitrary input, at every alignment and with
// every compression the processor can run.
#include <openssl/evp.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/md5_digest.h"
#include "engine/md5_variants.h"

namespace {

void Fail(const char* variant, size_t length, const unsigned char* got, const unsigned char* expected)
{
    std::fprintf(stderr, "Md5OfBuffer (%s) of %zu bytes: ", variant, length);
    for (int i = 0; i < 16; ++i)
        std::fprintf(stderr, "%02X", got[i]);
    std::fprintf(stderr, ", OpenSSL: ");
    for (int i = 0; i < 16; ++i)
        std::fprintf(stderr, "%02X", expected[i]);
    std::fprintf(stderr, "\n");
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte places the message at one of 16 offsets from an aligned start;
    // the buffer ends where the message does, so that a read past it is caught.
    const size_t shift = data[0] % 16;
    const size_t length = size - 1;
    std::vector<unsigned char> buffer(shift + length);
    unsigned char* message = buffer.data() + shift;
    if (length != 0)
        std::memcpy(message, data + 1, length);

    unsigned char expected[16];
    unsigned int expectedLength = 0;
    if (EVP_Digest(message, length, expected, &expectedLength, EVP_md5(), nullptr) != 1 || expectedLength != 16)
        std::abort();

    for (Md5Variant variant : {Md5Variant::Portable, Md5Variant::Avx512}) {
        if (!Md5ForceVariant(variant))
            continue;
        Md5Digest digest;
        std::memset(&digest, 0x5A, sizeof digest);
        if (Md5OfBuffer(message, length, digest) != 1 || std::memcmp(digest.bytes, expected, 16) != 0)
            Fail(Md5VariantName(variant), length, digest.bytes, expected);
    }
    return 0;
}
