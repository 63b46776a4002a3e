// Throughput of the digest engine beside OpenSSL's MD5, measured in one run:
//   - Md5OfBuffer for each compression variant against OpenSSL's EVP one-shot and
//     streaming digests, from 64 bytes to 64 MiB;
//   - Md5OfMappedFile over a 1 GiB file in the page cache against Md5OfBuffer over
//     the same bytes in memory and OpenSSL fed by read(); the mapped window's reads
//     alone (no compression), and as their floor the same views with every block
//     copied out by memcpy, unguarded; and the floor's steps (mapping, a first and a
//     second copy of each view, unmapping) timed apart;
//   - the core clock, from a chain of dependent additions (one per cycle), so that
//     every throughput is also shown in cycles per byte.
// Google Benchmark prints its own report; a summary with the medians, the ratios and
// cycles per byte follows it. Every digest timed, ours and OpenSSL's, is checked
// against support/'s oracle after its runs; one that differs fails the tool.
//
// Options besides Google Benchmark's: --file=PATH uses that file (kept) instead of a
// 1 GiB file made and removed in $TMPDIR; --file_size_mib=N sets the made file's size;
// --file_cache=mapped drops the file from the page cache and reads it back once
// through the mapped window first, so that the cache holds it in the huge pages the
// window's views ask for, rather than in the small pieces that writing it left.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <map>
#include <string>
#include <vector>

#include "bench/choice_at_start.h"
#include "engine/md5_digest.h"
#include "engine/md5_variants.h"
#include "fileio/native_mapped_file.h"
#include "support/oracle_md5.h"
#include "support/report.h"

namespace {


constexpr uint64_t kMiB = uint64_t{1} << 20;
const uint64_t kBufferSizes[] = {64, 1024, 16 * 1024, kMiB, 64 * kMiB};
// Each measured run digests about this much, so that one run takes a few tenths of a second.
constexpr uint64_t kBytesPerRun = 128 * kMiB;

// Every measured run, by benchmark: bytes per second, and minor faults per run.
struct Runs {
    std::vector<double> bytesPerSecond;
    std::vector<double> minorFaults;
};
std::map<std::string, Runs> results;

std::string fileUnderTest;
std::string fileCache = "written";
// The oracle's digest of the file, which every digest of it must equal.
std::string fileDigest;
// The benchmarks whose digest differed from the oracle's: their figures measure
// something else, and the tool fails.
std::vector<std::string> wrongDigests;

long MinorFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// The measuring thread's own CPU time: on a machine shared with other work, time
// spent waiting for a core is not counted, while the kernel's work for the thread
// (page faults, mapping) is.
double ThreadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Times the benchmark loop itself, so that the summary can be built without a
// reporter of its own. Iteration counts are fixed, so every call is a measured run.
struct RunTimer {
    benchmark::State& state;
    std::string key;
    uint64_t bytesPerIteration;
    double start = ThreadSeconds();
    long faultsAtStart = MinorFaults();

    ~RunTimer()
    {
        if (state.error_occurred())
            return;
        const double seconds = ThreadSeconds() - start;
        const double bytes = static_cast<double>(bytesPerIteration) * static_cast<double>(state.iterations());
        Runs& runs = results[key];
        runs.bytesPerSecond.push_back(bytes / seconds);
        runs.minorFaults.push_back(static_cast<double>(MinorFaults() - faultsAtStart) /
                                   static_cast<double>(state.iterations()));
        state.SetBytesProcessed(static_cast<int64_t>(bytes));
    }
};

// One dependent addition per cycle: the empty asm keeps each addition, and keeps
// the compiler from folding the chain into one multiply. The loop counter runs
// beside the chain. Best of many short measurements, since a measurement can only
// be slowed by other work on the machine.
double MeasureCoreHz()
{
    double best = 0;
    for (int attempt = 0; attempt < 25; ++attempt) {
        constexpr uint64_t kRounds = 4'000'000;
        uint64_t x = 0;
        // Added from a register: some cores fold the adding of a small constant
        // into register renaming, at no cycle on the chain.
        uint64_t one = 1;
        __asm__ volatile("" : "+r"(one));
        const double start = ThreadSeconds();
        for (uint64_t i = 0; i < kRounds; ++i) {
#define HARNOX_ADD1 x += one; __asm__ volatile("" : "+r"(x));
#define HARNOX_ADD4 HARNOX_ADD1 HARNOX_ADD1 HARNOX_ADD1 HARNOX_ADD1
            HARNOX_ADD4 HARNOX_ADD4 HARNOX_ADD4 HARNOX_ADD4
#undef HARNOX_ADD4
#undef HARNOX_ADD1
        }
        const double seconds = ThreadSeconds() - start;
        benchmark::DoNotOptimize(x);
        best = std::max(best, 16.0 * kRounds / seconds);
    }
    return best;
}

// Pseudo-random bytes, 64 MiB and one more so that an odd start can be taken too.
const unsigned char* TestBytes()
{
    static std::vector<unsigned char> bytes = [] {
        std::vector<unsigned char> made(64 * kMiB + 64);
        uint64_t x = 0x9E3779B97F4A7C15u;
        for (auto& byte : made) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            byte = static_cast<unsigned char>(x >> 24);
        }
        return made;
    }();
    return bytes.data();
}

const EVP_MD* FetchedMd5()
{
    // Fetched once: EVP_md5() alone would look the implementation up on every init.
    static EVP_MD* md5 = EVP_MD_fetch(nullptr, "MD5", nullptr);
    return md5;
}

// The oracle's digest of the first `size` test bytes, made once for each size.
const std::string& DigestOfTestBytes(uint64_t size)
{
    static std::map<uint64_t, std::string> made;
    auto found = made.find(size);
    if (found == made.end())
        found = made.emplace(size, OracleMd5Hex(TestBytes(), size)).first;
    return found->second;
}

// Checked after the timed runs: the last run's digest against the oracle's.
void CheckDigest(benchmark::State& state, const std::string& key, const std::string& hex, const std::string& expected)
{
    if (state.error_occurred() || hex == expected)
        return;
    wrongDigests.push_back(key + ": " + (hex.empty() ? "no digest" : hex) + ", " + OracleName() + " " + expected);
    state.SkipWithError("the digest differs from the oracle's");
}

std::string SizeName(uint64_t size)
{
    if (size >= kMiB)
        return std::to_string(size / kMiB) + " MiB";
    if (size >= 1024)
        return std::to_string(size / 1024) + " KiB";
    return std::to_string(size) + " B";
}

int64_t IterationsFor(uint64_t size)
{
    return static_cast<int64_t>(std::max<uint64_t>(1, kBytesPerRun / size));
}

void BufferHarnox(benchmark::State& state, Md5Variant variant)
{
    const uint64_t size = static_cast<uint64_t>(state.range(0));
    if (!Md5ForceVariant(variant)) {
        state.SkipWithError("this processor cannot run the variant");
        return;
    }
    const unsigned char* data = TestBytes();
    const std::string key = std::string("buffer/") + Md5VariantName(variant) + "/" + std::to_string(size);
    Md5Digest digest{};
    {
        RunTimer timer{state, key, size};
        for (auto _ : state) {
            Md5OfBuffer(data, size, digest);
            benchmark::DoNotOptimize(digest);
        }
    }
    CheckDigest(state, key, HexOfBytes(digest.bytes, sizeof digest.bytes), DigestOfTestBytes(size));
}

void BufferOpensslOneShot(benchmark::State& state)
{
    const uint64_t size = static_cast<uint64_t>(state.range(0));
    const unsigned char* data = TestBytes();
    const std::string key = "buffer/openssl-oneshot/" + std::to_string(size);
    unsigned char digest[EVP_MAX_MD_SIZE] = {};
    {
        RunTimer timer{state, key, size};
        for (auto _ : state) {
            EVP_Digest(data, size, digest, nullptr, FetchedMd5(), nullptr);
            benchmark::DoNotOptimize(digest);
        }
    }
    CheckDigest(state, key, HexOfBytes(digest, 16), DigestOfTestBytes(size));
}

void BufferOpensslStreaming(benchmark::State& state)
{
    const uint64_t size = static_cast<uint64_t>(state.range(0));
    const unsigned char* data = TestBytes();
    const std::string key = "buffer/openssl-streaming/" + std::to_string(size);
    unsigned char digest[EVP_MAX_MD_SIZE] = {};
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    {
        RunTimer timer{state, key, size};
        for (auto _ : state) {
            EVP_DigestInit_ex(context, FetchedMd5(), nullptr);
            EVP_DigestUpdate(context, data, size);
            EVP_DigestFinal_ex(context, digest, nullptr);
            benchmark::DoNotOptimize(digest);
        }
    }
    EVP_MD_CTX_free(context);
    CheckDigest(state, key, HexOfBytes(digest, 16), DigestOfTestBytes(size));
}

// OpenSSL over plain read() of the file, 64 KiB at a time, as a reference to time
// beside the window; empty when the file cannot be read.
std::string OpensslDigestOfFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    static std::vector<unsigned char> chunk(64 * 1024);
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    EVP_DigestInit_ex(context, FetchedMd5(), nullptr);
    ssize_t got;
    while ((got = ::read(fd, chunk.data(), chunk.size())) > 0)
        EVP_DigestUpdate(context, chunk.data(), static_cast<size_t>(got));
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    EVP_DigestFinal_ex(context, digest, &length);
    EVP_MD_CTX_free(context);
    ::close(fd);
    return got < 0 ? std::string() : HexOfBytes(digest, length);
}

uint64_t SizeOfFileUnderTest()
{
    MappedFile file;
    file.Open(fileUnderTest);
    return file.Size();
}

void FileHarnox(benchmark::State& state, Md5Variant variant)
{
    if (!Md5ForceVariant(variant)) {
        state.SkipWithError("this processor cannot run the variant");
        return;
    }
    const std::string key = std::string("file/") + Md5VariantName(variant);
    std::string hex;
    {
        RunTimer timer{state, key, SizeOfFileUnderTest()};
        for (auto _ : state) {
            // Opened for every digest, as the program does.
            MappedFile file;
            file.Open(fileUnderTest);
            Md5Digest digest{};
            if (Md5OfMappedFile(file, digest) != 1) {
                state.SkipWithError("a read of the file failed");
                break;
            }
            hex = HexOfBytes(digest.bytes, sizeof digest.bytes);
        }
    }
    CheckDigest(state, key, hex, fileDigest);
}

void FileOpenssl(benchmark::State& state)
{
    std::string hex;
    {
        RunTimer timer{state, "file/openssl-read", SizeOfFileUnderTest()};
        for (auto _ : state)
            hex = OpensslDigestOfFile(fileUnderTest);
    }
    CheckDigest(state, "file/openssl-read", hex, fileDigest);
}

// The window's share of the file digest: the same reads, without the compression.
void FileReadsAlone(benchmark::State& state)
{
    uint64_t moves = 0;
    {
        RunTimer timer{state, "file/reads-alone", SizeOfFileUnderTest()};
        for (auto _ : state) {
            MappedFile file;
            file.Open(fileUnderTest);
            const uint64_t blocks = file.Size() / 64;
            unsigned char block[64];
            unsigned char sum = 0;
            uint64_t lastStart = file.WindowStart();
            moves = 0;
            for (uint64_t i = 0; i < blocks; ++i) {
                file.ReadAt(64 * i, 64, block);
                sum = static_cast<unsigned char>(sum + block[i & 63]);
                if (file.WindowStart() != lastStart) {
                    ++moves;
                    lastStart = file.WindowStart();
                }
            }
            benchmark::DoNotOptimize(sum);
        }
    }
    state.counters["window_moves"] = static_cast<double>(moves);
}

// The file's bytes in memory, read once, for the memory digest over the same bytes.
const std::vector<unsigned char>& FileBytes()
{
    static std::vector<unsigned char> bytes = [] {
        std::vector<unsigned char> read;
        const int fd = ::open(fileUnderTest.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return read;
        read.resize(SizeOfFileUnderTest());
        size_t done = 0;
        ssize_t got = 0;
        while (done < read.size() && (got = ::read(fd, read.data() + done, read.size() - done)) > 0)
            done += static_cast<size_t>(got);
        ::close(fd);
        read.resize(done);
        return read;
    }();
    return bytes;
}

// What the file digest would cost if reading its blocks cost nothing.
void FileBytesInMemory(benchmark::State& state, Md5Variant variant)
{
    if (!Md5ForceVariant(variant)) {
        state.SkipWithError("this processor cannot run the variant");
        return;
    }
    const std::vector<unsigned char>& bytes = FileBytes();
    if (bytes.size() != SizeOfFileUnderTest()) {
        state.SkipWithError("the file could not be read into memory");
        return;
    }
    const std::string key = std::string("file/memory-") + Md5VariantName(variant);
    std::string hex;
    {
        RunTimer timer{state, key, bytes.size()};
        for (auto _ : state) {
            Md5Digest digest{};
            Md5OfBuffer(bytes.data(), bytes.size(), digest);
            hex = HexOfBytes(digest.bytes, sizeof digest.bytes);
        }
    }
    CheckDigest(state, key, hex, fileDigest);
}

// Copies every 64-byte block of a view out by memcpy, unguarded; returns a byte of
// them so that no copy can be left out.
unsigned char CopyEveryBlock(const unsigned char* view, uint32_t length)
{
    unsigned char block[64];
    unsigned char sum = 0;
    for (uint32_t at = 0; at + 64 <= length; at += 64) {
        std::memcpy(block, view + at, 64);
        benchmark::DoNotOptimize(block);
        sum = static_cast<unsigned char>(sum + block[at & 63]);
    }
    return sum;
}

// The floor of the window's reads, and where its time goes: the same views, mapped
// and moved as the window moves them, every 64-byte block copied out by memcpy with
// no guard and no checks, then copied out a second time; each step's time summed
// over the file. The floor ("file/mapped-copy") is mapping, the first copy and
// unmapping. MapView leaves every page table entry of the view in place, so a first
// copy that costs more than the second pays for something past the mapping (in a
// virtual machine, the hypervisor's own first touch of each page).
void FileViewsTouchedTwice(benchmark::State& state)
{
    const uint64_t size = SizeOfFileUnderTest();
    const uint32_t window = 64 * NativeFilePlatform::AllocationGranularity();
    RunTimer timer{state, "file/touched-twice", 2 * size};
    for (auto _ : state) {
        const long faultsAtStart = MinorFaults();
        const int fd = ::open(fileUnderTest.c_str(), O_RDONLY | O_CLOEXEC);
        double steps[4] = {};
        unsigned char sum = 0;
        for (uint64_t start = 0; fd >= 0 && start < size; start += window) {
            const uint32_t length = static_cast<uint32_t>(std::min<uint64_t>(window, size - start));
            double at = ThreadSeconds();
            auto step = [&](int index) {
                const double now = ThreadSeconds();
                steps[index] += now - at;
                at = now;
            };
            const unsigned char* view = NativeFilePlatform::MapView(fd, start, length);
            step(0);
            if (view == nullptr) {
                state.SkipWithError("a view could not be mapped");
                break;
            }
            sum = static_cast<unsigned char>(sum + CopyEveryBlock(view, length));
            step(1);
            sum = static_cast<unsigned char>(sum + CopyEveryBlock(view, length));
            step(2);
            NativeFilePlatform::UnmapView(view, length);
            step(3);
        }
        if (fd >= 0)
            ::close(fd);
        benchmark::DoNotOptimize(sum);
        if (state.error_occurred())
            break;
        const char* keys[4] = {"file/touch-map", "file/touch-first", "file/touch-second", "file/touch-unmap"};
        for (int i = 0; i < 4; ++i)
            results[keys[i]].bytesPerSecond.push_back(static_cast<double>(size) / steps[i]);
        Runs& floor = results["file/mapped-copy"];
        floor.bytesPerSecond.push_back(static_cast<double>(size) / (steps[0] + steps[1] + steps[3]));
        floor.minorFaults.push_back(static_cast<double>(MinorFaults() - faultsAtStart));
    }
}

// Fills the file with pseudo-random bytes and syncs it, so that it is clean in the page cache.
bool MakeFile(const std::string& path, uint64_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    std::vector<unsigned char> chunk(kMiB);
    uint64_t x = 0x2545F4914F6CDD1Du;
    bool ok = true;
    for (uint64_t written = 0; ok && written < size; written += chunk.size()) {
        for (size_t i = 0; i < chunk.size(); i += 8) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            std::memcpy(&chunk[i], &x, 8);
        }
        const size_t piece = static_cast<size_t>(std::min<uint64_t>(chunk.size(), size - written));
        ok = ::write(fd, chunk.data(), piece) == static_cast<ssize_t>(piece);
    }
    ok = ok && ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

double Fastest(const std::vector<double>& values)
{
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

// Leaves the file in the page cache as the mapped window reads it from disk.
bool DropFromCacheAndMapBack(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool dropped = ::fdatasync(fd) == 0 && ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0;
    ::close(fd);
    MappedFile file;
    file.Open(path);
    Md5Digest digest{};
    return dropped && Md5OfMappedFile(file, digest) == 1;
}

void PrintSummary(double hzBefore, double hzAfter)
{
    const double hz = std::max(hzBefore, hzAfter);
    auto fastest = [](const std::string& key) { return Fastest(results[key].bytesPerSecond); };
    auto median = [](const std::string& key) { return Median(results[key].bytesPerSecond); };
    auto cell = [&](double bytesPerSecond) {
        char text[64];
        if (bytesPerSecond <= 0)
            std::snprintf(text, sizeof text, "%21s", "-");
        else
            std::snprintf(text, sizeof text, "%8.1f MB/s %5.2f c/B", bytesPerSecond / 1e6, hz / bytesPerSecond);
        return std::string(text);
    };
    auto ratio = [](double ours, double theirs) {
        char text[16];
        if (ours <= 0 || theirs <= 0)
            std::snprintf(text, sizeof text, "%6s", "-");
        else
            std::snprintf(text, sizeof text, "%5.2fx", ours / theirs);
        return std::string(text);
    };
    // Every benchmark that ran did so the same number of times, whichever a filter left.
    size_t runs = 0;
    for (const auto& [key, result] : results)
        runs = std::max(runs, result.bytesPerSecond.size());

    std::printf("\nCore clock: %.3f GHz (dependent additions, the faster of %.3f before and %.3f after the runs)\n",
                hz / 1e9, hzBefore / 1e9, hzAfter / 1e9);
    std::printf("Throughput in the measuring thread's CPU time, of the fastest of %zu runs each (other work\n"
                "on the machine only slows a run); ratios are harnox over the faster of OpenSSL's two, of the\n"
                "fastest runs and of the medians.\n\n",
                runs);
    std::printf("Md5OfBuffer\n%-7s %-21s %-21s %-21s %-21s %-13s %-13s\n", "size", "harnox portable",
                "harnox avx512", "openssl one-shot", "openssl streaming", "portable", "avx512");
    std::printf("%-7s %-21s %-21s %-21s %-21s %-13s %-13s\n", "", "", "", "", "", "best median", "best median");
    for (uint64_t size : kBufferSizes) {
        const std::string suffix = "/" + std::to_string(size);
        const double opensslBest =
            std::max(fastest("buffer/openssl-oneshot" + suffix), fastest("buffer/openssl-streaming" + suffix));
        const double opensslMedian =
            std::max(median("buffer/openssl-oneshot" + suffix), median("buffer/openssl-streaming" + suffix));
        std::printf("%-7s %s %s %s %s %s %s %s %s\n", SizeName(size).c_str(),
                    cell(fastest("buffer/portable" + suffix)).c_str(), cell(fastest("buffer/avx512" + suffix)).c_str(),
                    cell(fastest("buffer/openssl-oneshot" + suffix)).c_str(),
                    cell(fastest("buffer/openssl-streaming" + suffix)).c_str(),
                    ratio(fastest("buffer/portable" + suffix), opensslBest).c_str(),
                    ratio(median("buffer/portable" + suffix), opensslMedian).c_str(),
                    ratio(fastest("buffer/avx512" + suffix), opensslBest).c_str(),
                    ratio(median("buffer/avx512" + suffix), opensslMedian).c_str());
    }

    std::printf("\nFile of %s in the page cache, %s\n", SizeName(SizeOfFileUnderTest()).c_str(),
                fileCache == "mapped" ? "as read back through the window (huge pages)" : "as written");
    std::printf("%-33s %-21s %-13s %s\n", "", "", "vs openssl", "minor faults");
    std::printf("%-33s %-21s %-13s %s\n", "", "", "best median", "per run");
    const std::pair<const char*, const char*> rows[] = {
        {"harnox Md5OfMappedFile, portable", "file/portable"},
        {"harnox Md5OfBuffer, portable", "file/memory-portable"},
        {"harnox Md5OfMappedFile, avx512", "file/avx512"},
        {"harnox Md5OfBuffer, avx512", "file/memory-avx512"},
        {"openssl over read()", "file/openssl-read"},
        {"mapped window reads alone", "file/reads-alone"},
        {"same views, memcpy of each block", "file/mapped-copy"},
    };
    for (const auto& [label, key] : rows) {
        std::printf("%-33s %s %s %s %8.0f\n", label, cell(fastest(key)).c_str(),
                    ratio(fastest(key), fastest("file/openssl-read")).c_str(),
                    ratio(median(key), median("file/openssl-read")).c_str(), Median(results[key].minorFaults));
    }
    std::printf("\n%-44s %s\n", "", "best median");
    for (const char* variant : {"portable", "avx512"}) {
        const std::string mapped = std::string("file/") + variant;
        const std::string memory = std::string("file/memory-") + variant;
        std::printf("%-44s %s %s\n", ("Md5OfMappedFile over Md5OfBuffer, " + std::string(variant)).c_str(),
                    ratio(fastest(mapped), fastest(memory)).c_str(), ratio(median(mapped), median(memory)).c_str());
    }
    // A time ratio: how many times the floor's time the window's reads take.
    std::printf("%-44s %s %s\n", "time of the reads alone over the memcpy floor",
                ratio(fastest("file/mapped-copy"), fastest("file/reads-alone")).c_str(),
                ratio(median("file/mapped-copy"), median("file/reads-alone")).c_str());
    std::printf("\nThe floor's steps, each view copied out twice, in cycles per byte of the file (fastest run)\n");
    std::printf("MapView (mmap, then page tables filled) %.2f, first copy %.2f, second copy %.2f, UnmapView %.2f\n",
                hz / fastest("file/touch-map"), hz / fastest("file/touch-first"), hz / fastest("file/touch-second"),
                hz / fastest("file/touch-unmap"));
    std::printf("\n");
    PrintChoiceAtStart();
}

}  // namespace

int main(int argc, char** argv)
{
    // Our own options first; Google Benchmark's defaults are made to suit this program
    // unless given on the command line.
    std::vector<char*> arguments(argv, argv + argc);
    uint64_t fileSizeMiB = 1024;
    bool madeFile = false;
    bool repetitionsGiven = false;
    for (auto it = arguments.begin() + 1; it != arguments.end();) {
        const std::string argument = *it;
        if (argument.rfind("--file=", 0) == 0) {
            fileUnderTest = argument.substr(7);
            it = arguments.erase(it);
        } else if (argument.rfind("--file_cache=", 0) == 0) {
            fileCache = argument.substr(13);
            it = arguments.erase(it);
        } else if (argument.rfind("--file_size_mib=", 0) == 0) {
            fileSizeMiB = std::strtoull(argument.c_str() + 16, nullptr, 10);
            it = arguments.erase(it);
        } else {
            repetitionsGiven |= argument.rfind("--benchmark_repetitions", 0) == 0;
            ++it;
        }
    }
    static char repetitions[] = "--benchmark_repetitions=5";
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    if (!repetitionsGiven)
        arguments.push_back(repetitions);
    arguments.push_back(interleave);
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data()))
        return 1;

    if (fileUnderTest.empty()) {
        const char* folder = std::getenv("TMPDIR");
        fileUnderTest = std::string(folder && *folder ? folder : "/tmp") + "/harnox-bench-" +
                        std::to_string(::getpid()) + ".bin";
        std::fprintf(stderr, "making a %llu MiB file at %s\n", static_cast<unsigned long long>(fileSizeMiB),
                     fileUnderTest.c_str());
        if (!MakeFile(fileUnderTest, fileSizeMiB * kMiB)) {
            std::fprintf(stderr, "cannot write %s\n", fileUnderTest.c_str());
            ::unlink(fileUnderTest.c_str());
            return 1;
        }
        madeFile = true;
    }
    if (fileCache == "mapped") {
        if (!DropFromCacheAndMapBack(fileUnderTest)) {
            std::fprintf(stderr, "cannot drop %s from the page cache\n", fileUnderTest.c_str());
            return 1;
        }
    } else if (fileCache != "written") {
        std::fprintf(stderr, "--file_cache is written or mapped\n");
        return 1;
    }
    try {
        fileDigest = OracleMd5HexOfFile(fileUnderTest);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "%s's digest of the file: %s\n", OracleName(), failure.what());
        if (madeFile)
            ::unlink(fileUnderTest.c_str());
        return 1;
    }
    TestBytes();
    FileBytes();

    for (Md5Variant variant : {Md5Variant::Portable, Md5Variant::Avx512}) {
        if (!Md5VariantSupported(variant))
            continue;
        const std::string name = Md5VariantName(variant);
        for (uint64_t size : kBufferSizes)
            benchmark::RegisterBenchmark(("buffer/harnox-" + name).c_str(), BufferHarnox, variant)
                ->Arg(static_cast<int64_t>(size))
                ->Iterations(IterationsFor(size))
                ->UseRealTime();
        benchmark::RegisterBenchmark(("file/harnox-" + name).c_str(), FileHarnox, variant)
            ->Iterations(1)
            ->UseRealTime();
        benchmark::RegisterBenchmark(("file/memory-" + name).c_str(), FileBytesInMemory, variant)
            ->Iterations(1)
            ->UseRealTime();
    }
    for (uint64_t size : kBufferSizes) {
        benchmark::RegisterBenchmark("buffer/openssl-oneshot", BufferOpensslOneShot)
            ->Arg(static_cast<int64_t>(size))
            ->Iterations(IterationsFor(size))
            ->UseRealTime();
        benchmark::RegisterBenchmark("buffer/openssl-streaming", BufferOpensslStreaming)
            ->Arg(static_cast<int64_t>(size))
            ->Iterations(IterationsFor(size))
            ->UseRealTime();
    }
    benchmark::RegisterBenchmark("file/openssl-read", FileOpenssl)->Iterations(1)->UseRealTime();
    benchmark::RegisterBenchmark("file/reads-alone", FileReadsAlone)->Iterations(1)->UseRealTime();
    benchmark::RegisterBenchmark("file/touched-twice", FileViewsTouchedTwice)->Iterations(1)->UseRealTime();

    const double hzBefore = MeasureCoreHz();
    benchmark::RunSpecifiedBenchmarks();
    const double hzAfter = MeasureCoreHz();
    benchmark::Shutdown();
    PrintSummary(hzBefore, hzAfter);

    if (madeFile)
        ::unlink(fileUnderTest.c_str());
    for (const std::string& wrong : wrongDigests)
        std::fprintf(stderr, "wrong digest, %s\n", wrong.c_str());
    return wrongDigests.empty() ? 0 : 1;
}
