// A command-line digest over the program's engine and mapped window, so that whole
// commands can be timed against md5sum and openssl (bench/compare_commands.sh).
// A measuring tool only.
//
//   harnox_md5sum [--variant=portable|avx512] [--peak-rss] FILE...
//   harnox_md5sum --which-variant
//
// Prints "<32 lower-case hex digits>  FILE" per file, as md5sum does; with
// --peak-rss, the process's peak resident set afterwards on standard error.
// --which-variant prints the compression chosen for this processor.
#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/md5_digest.h"
#include "fileio/mapped_file.h"

int main(int argc, char** argv)
{
    bool peakRss = false;
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--which-variant") == 0) {
            std::printf("%s\n", Md5VariantName(Md5ActiveVariant()));
            return 0;
        }
        if (std::strcmp(argument, "--peak-rss") == 0) {
            peakRss = true;
            continue;
        }
        if (std::strncmp(argument, "--variant=", 10) == 0) {
            const std::string name = argument + 10;
            const Md5Variant variant = name == "avx512" ? Md5Variant::Avx512 : Md5Variant::Portable;
            if ((name != "avx512" && name != "portable") || !Md5ForceVariant(variant)) {
                std::fprintf(stderr, "harnox_md5sum: variant %s not available here\n", name.c_str());
                return 2;
            }
            continue;
        }
        MappedFile file;
        // An empty file fails to open but has a digest: that of no bytes.
        if (!file.Open(argument) && file.LastOpen() != OpenOutcome::EmptyFile) {
            std::fprintf(stderr, "harnox_md5sum: cannot open %s\n", argument);
            status = 1;
            continue;
        }
        Md5Digest digest{};
        if (Md5OfMappedFile(file, digest) != 1) {
            std::fprintf(stderr, "harnox_md5sum: cannot read %s\n", argument);
            status = 1;
            continue;
        }
        for (unsigned char byte : digest.bytes)
            std::printf("%02x", byte);
        std::printf("  %s\n", argument);
    }
    if (peakRss) {
        std::fflush(stdout);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::fprintf(stderr, "peak RSS: %ld KiB\n", usage.ru_maxrss);
    }
    return status;
}
