// Md5OfMappedFile over a file beside Md5OfBuffer over the same bytes in memory, in
// one Windows process (under Wine here, where Google Benchmark is not built), the
// runs interleaved; prints the fastest and the median of each and their ratios. Both
// digests must equal CryptoAPI's. A measuring tool only.
//
//   harnox_file_over_memory FILE [RUNS] [--variant=portable|avx512]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/calculate_command.h"
#include "engine/md5_digest.h"
#include "fileio/mapped_file.h"
#include "tests/oracle_md5.h"

namespace {

double Seconds()
{
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// As the program's MD5 field shows it, upper-case, to compare with the oracle's.
std::string TextOf(const Md5Digest& digest)
{
    char text[kFieldBufferSize];
    FormatDigestText(digest, text);
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
    const std::string expected = OracleMd5Hex(bytes.data(), bytes.size());

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
            if (TextOf(digest) != expected) {
                std::fprintf(stderr, "harnox_file_over_memory: %s digest %s, CryptoAPI's %s\n",
                             mappedStep ? "the file" : "the memory", TextOf(digest).c_str(), expected.c_str());
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
