// A command-line digest over the program's engine and mapped window, for measuring:
// whole commands beside md5sum and openssl (bench/compare_commands.sh), each
// compression's speed, and the file digest beside the memory digest. Builds natively
// and for Windows, so that it runs under Wine too. A measuring tool only.
//
//   harnox_md5sum [--variant=NAME] [--peak-rss] FILE...
//       "<32 lower-case hex digits>  FILE" per file, as md5sum prints; with --peak-rss
//       (Linux only), the process's peak resident set afterwards on standard error.
//   harnox_md5sum --repeat=N [--variant=NAME] [--memory] FILE
//       The processor and the compression chosen at start, then N runs, interleaved,
//       of Md5OfMappedFile over FILE (opening included) and, with --memory, of
//       Md5OfBuffer over its bytes read into memory beforehand: the fastest and the
//       median of each in MB/s of wall time, and their ratios. Every digest must equal
//       the oracle's (OpenSSL natively, CryptoAPI on Windows).
//   harnox_md5sum --which-variant
//       The compression chosen at start on this processor.
//
// NAME is default (the one chosen at start, which is used when none is named),
// portable, avx512, or, with --repeat, each: the default and every compression that
// runs here, taking turns.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "bench/choice_at_start.h"
#include "engine/md5_digest.h"
#include "engine/md5_variants.h"
#include "fileio/native_mapped_file.h"
#include "support/oracle_md5.h"
#include "support/report.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

bool ReadWhole(const char* path, std::vector<unsigned char>& bytes)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return false;
    bytes.resize(static_cast<size_t>(in.tellg()));
    in.seekg(0);
    return static_cast<bool>(in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())));
}

// The digest of the file through a MappedFile, as the program makes it; false when
// the file cannot be opened or read.
bool DigestOfFile(const char* path, Md5Digest& digest)
{
    MappedFile file;
    // An empty file fails to open but has a digest: that of no bytes.
    if (!file.Open(path) && file.LastOpen() != OpenOutcome::EmptyFile)
        return false;
    return Md5OfMappedFile(file, digest) == 1;
}

int PrintDigests(const std::vector<const char*>& files)
{
    int status = 0;
    for (const char* path : files) {
        Md5Digest digest{};
        if (!DigestOfFile(path, digest)) {
            std::fprintf(stderr, "harnox_md5sum: cannot digest %s\n", path);
            status = 1;
            continue;
        }
        std::printf("%s  %s\n", HexOfBytes(digest.bytes, sizeof digest.bytes, HexCase::Lower).c_str(), path);
    }
    return status;
}

// One measured column: a compression, over the file or over its bytes in memory.
struct Column {
    std::string label;
    Md5Variant variant;
    bool memory;
    std::vector<double> rates;  // bytes per second, one per run
    double Best() const { return *std::max_element(rates.begin(), rates.end()); }
    double Middle() const { return Median(rates); }
};

// Times `repeat` runs of each column, interleaved, and prints them with their ratios.
int Measure(const char* path, const std::vector<std::pair<std::string, Md5Variant>>& variants, bool memory,
            int repeat)
{
    PrintChoiceAtStart();
    double size = 0;
    {
        MappedFile probe;
        if (!probe.Open(path)) {
            std::fprintf(stderr, "harnox_md5sum: cannot open %s, or it is empty\n", path);
            return 1;
        }
        size = static_cast<double>(probe.Size());
    }
    // Also brings the file into the page cache before the first run.
    const std::string expected = OracleMd5HexOfFile(path);
    std::vector<unsigned char> bytes;
    if (memory && !ReadWhole(path, bytes)) {
        std::fprintf(stderr, "harnox_md5sum: cannot read %s into memory\n", path);
        return 1;
    }
    std::vector<Column> columns;
    for (const auto& [label, variant] : variants) {
        columns.push_back({label + ", file", variant, false, {}});
        if (memory)
            columns.push_back({label + ", memory", variant, true, {}});
    }
    for (int run = 0; run < repeat; ++run) {
        // Each run starts one column later, so that no column always follows the same one.
        for (size_t k = 0; k < columns.size(); ++k) {
            Column& column = columns[(run + k) % columns.size()];
            Md5ForceVariant(column.variant);
            Md5Digest digest{};
            const Clock::time_point start = Clock::now();
            const bool digested =
                column.memory ? Md5OfBuffer(bytes.data(), bytes.size(), digest) == 1 : DigestOfFile(path, digest);
            column.rates.push_back(size / SecondsSince(start));
            const std::string got = digested ? HexOfBytes(digest.bytes, sizeof digest.bytes) : "no digest";
            if (got != expected) {
                std::fprintf(stderr, "harnox_md5sum: %s gave %s, %s %s\n", column.label.c_str(), got.c_str(),
                             OracleName(), expected.c_str());
                return 1;
            }
        }
    }
    std::printf("%s: %.0f MiB, %d runs of each, interleaved; every digest equal to %s's, %s\n", path,
                size / (1 << 20), repeat, OracleName(), expected.c_str());
    std::printf("%-40s %8s %7s\n", "MB/s of wall time", "best", "median");
    for (const Column& column : columns)
        std::printf("%-40s %8.0f %7.0f\n", column.label.c_str(), column.Best() / 1e6, column.Middle() / 1e6);
    const size_t kinds = memory ? 2 : 1;
    for (size_t i = 0; memory && i < columns.size(); i += 2)
        std::printf("file over memory, %s: best %.3fx, median %.3fx\n", variants[i / 2].first.c_str(),
                    columns[i].Best() / columns[i + 1].Best(), columns[i].Middle() / columns[i + 1].Middle());
    for (size_t kind = 0; variants.size() > 1 && kind < kinds; ++kind) {
        double fastest = 0;
        for (size_t i = kinds + kind; i < columns.size(); i += kinds)
            fastest = std::max(fastest, columns[i].Best());
        std::printf("default over the fastest compression, %s: best %.3fx\n", kind ? "memory" : "file",
                    columns[kind].Best() / fastest);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string variantName = "default";
    bool memory = false;
    bool peakRss = false;
    int repeat = 0;
    std::vector<const char*> files;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--which-variant") == 0) {
            std::printf("%s\n", Md5VariantName(Md5ActiveVariant()));
            return 0;
        } else if (std::strcmp(argument, "--peak-rss") == 0) {
            peakRss = true;
        } else if (std::strcmp(argument, "--memory") == 0) {
            memory = true;
        } else if (std::strncmp(argument, "--variant=", 10) == 0) {
            variantName = argument + 10;
        } else if (std::strncmp(argument, "--repeat=", 9) == 0) {
            repeat = std::atoi(argument + 9);
        } else {
            files.push_back(argument);
        }
    }
    const Md5Variant chosen = Md5ChoiceAtStart().variant;
    std::vector<std::pair<std::string, Md5Variant>> variants;
    if (variantName == "default" || variantName == "each")
        variants.push_back({std::string("default (") + Md5VariantName(chosen) + ")", chosen});
    for (Md5Variant variant : {Md5Variant::Portable, Md5Variant::Avx512}) {
        const bool named = variantName == Md5VariantName(variant);
        if (named && !Md5VariantSupported(variant)) {
            std::fprintf(stderr, "harnox_md5sum: the %s compression cannot run here\n", variantName.c_str());
            return 2;
        }
        if (named || (variantName == "each" && Md5VariantSupported(variant)))
            variants.push_back({Md5VariantName(variant), variant});
    }
    const bool measuring = repeat > 0;
    const char* wrong = variants.empty()                              ? "--variant is default, portable, avx512 or each"
                        : files.empty()                               ? "no file named"
                        : measuring && files.size() > 1               ? "--repeat measures one file"
                        : !measuring && (memory || variants.size() > 1) ? "--memory and --variant=each need --repeat"
                                                                      : nullptr;
#ifdef _WIN32
    wrong = peakRss ? "--peak-rss is measured on Linux only" : wrong;
#endif
    if (wrong) {
        std::fprintf(stderr, "harnox_md5sum: %s\n", wrong);
        return 2;
    }
    if (measuring)
        return Measure(files[0], variants, memory, repeat);
    Md5ForceVariant(variants[0].second);
    const int status = PrintDigests(files);
#ifndef _WIN32
    if (peakRss) {
        std::fflush(stdout);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::fprintf(stderr, "peak RSS: %ld KiB\n", usage.ru_maxrss);
    }
#endif
    return status;
}
