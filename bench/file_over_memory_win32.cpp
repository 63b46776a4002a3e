// Md5OfMappedFile over a file beside Md5OfBuffer over the same bytes in memory, in
// one Windows process (under Wine here, where Google Benchmark is not built), the
// runs interleaved; prints the fastest and the median of each and their ratios. Both
// digests must equal CryptoAPI's. A measuring tool only.
//
//   harnox_file_over_memory FILE [RUNS] [--variant=portable|avx512]
#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/md5_digest.h"
#include "fileio/mapped_file.h"

namespace {

double Seconds()
{
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::string Hex(const unsigned char* bytes, size_t length)
{
    std::string text;
    char pair[3];
    for (size_t i = 0; i < length; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        text += pair;
    }
    return text;
}

std::string CryptoApiDigest(const std::vector<unsigned char>& bytes)
{
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    unsigned char digest[16];
    DWORD length = sizeof digest;
    std::string text;
    if (CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
        CryptCreateHash(provider, CALG_MD5, 0, 0, &hash)) {
        bool ok = true;
        for (size_t at = 0; ok && at < bytes.size(); at += 1 << 20) {
            const DWORD piece = static_cast<DWORD>(std::min<size_t>(1 << 20, bytes.size() - at));
            ok = CryptHashData(hash, bytes.data() + at, piece, 0) != 0;
        }
        if (ok && CryptGetHashParam(hash, HP_HASHVAL, digest, &length, 0))
            text = Hex(digest, length);
    }
    if (hash)
        CryptDestroyHash(hash);
    if (provider)
        CryptReleaseContext(provider, 0);
    return text;
}

bool ReadWhole(const char* name, std::vector<unsigned char>& bytes)
{
    const HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    LARGE_INTEGER size;
    if (file == INVALID_HANDLE_VALUE || !GetFileSizeEx(file, &size)) {
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        return false;
    }
    bytes.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    DWORD got = 0;
    while (done < bytes.size() &&
           ReadFile(file, bytes.data() + done, static_cast<DWORD>(std::min<size_t>(1 << 24, bytes.size() - done)), &got,
                    nullptr) &&
           got != 0)
        done += got;
    CloseHandle(file);
    return done == bytes.size();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

int main(int argc, char** argv)
{
    const char* name = nullptr;
    int runs = 7;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--variant=", 10) == 0) {
            const std::string variant = argv[i] + 10;
            if ((variant != "portable" && variant != "avx512") ||
                !Md5ForceVariant(variant == "avx512" ? Md5Variant::Avx512 : Md5Variant::Portable)) {
                std::fprintf(stderr, "harnox_file_over_memory: variant %s not available here\n", variant.c_str());
                return 2;
            }
        } else if (name == nullptr) {
            name = argv[i];
        } else {
            runs = std::max(1, std::atoi(argv[i]));
        }
    }
    if (name == nullptr) {
        std::fprintf(stderr, "usage: harnox_file_over_memory FILE [RUNS] [--variant=portable|avx512]\n");
        return 2;
    }
    std::vector<unsigned char> bytes;
    if (!ReadWhole(name, bytes) || bytes.empty()) {
        std::fprintf(stderr, "harnox_file_over_memory: cannot read %s\n", name);
        return 1;
    }
    const std::string expected = CryptoApiDigest(bytes);

    std::vector<double> mapped, memory;
    for (int run = 0; run < runs; ++run) {
        // Each round in the other order, so that neither always follows the other.
        for (int step = 0; step < 2; ++step) {
            Md5Digest digest{};
            double start;
            const bool mappedStep = (step == 0) == (run % 2 == 0);
            if (mappedStep) {
                start = Seconds();
                MappedFile file;
                file.Open(name);
                Md5OfMappedFile(file, digest);
                mapped.push_back(static_cast<double>(bytes.size()) / (Seconds() - start));
            } else {
                start = Seconds();
                Md5OfBuffer(bytes.data(), bytes.size(), digest);
                memory.push_back(static_cast<double>(bytes.size()) / (Seconds() - start));
            }
            if (Hex(digest.bytes, 16) != expected) {
                std::fprintf(stderr, "harnox_file_over_memory: %s digest %s, CryptoAPI's %s\n",
                             mappedStep ? "the file" : "the memory", Hex(digest.bytes, 16).c_str(), expected.c_str());
                return 1;
            }
        }
    }
    const double mappedBest = *std::max_element(mapped.begin(), mapped.end());
    const double memoryBest = *std::max_element(memory.begin(), memory.end());
    std::printf("%s compression, %d interleaved runs each over %zu MiB, wall time, MB/s\n",
                Md5VariantName(Md5ActiveVariant()), runs, bytes.size() >> 20);
    std::printf("Md5OfMappedFile  best %7.1f  median %7.1f\n", mappedBest / 1e6, Median(mapped) / 1e6);
    std::printf("Md5OfBuffer      best %7.1f  median %7.1f\n", memoryBest / 1e6, Median(memory) / 1e6);
    std::printf("file over memory best %6.3fx median %6.3fx\n", mappedBest / memoryBest, Median(mapped) / Median(memory));
    return 0;
}
