// The digest of a file by Windows' own CryptoAPI, fed by ReadFile in 1 MiB pieces (the
// tests' oracle): the plain Windows way to digest a file, timed beside harnox.exe
// under the same Wine by bench/compare_commands.sh. A measuring tool only.
//
//   cryptoapi_md5 FILE
//
// Prints "<32 hex digits> <milliseconds>": the time from opening the file to the
// finished digest, as harnox.exe times its own. A failure ends it with the reason.
#include <windows.h>

#include <cstdio>
#include <string>

#include "support/oracle_md5.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: cryptoapi_md5 FILE\n");
        return 2;
    }
    // The first digest acquires CryptoAPI's provider, before the clock starts.
    OracleMd5Hex("", 0);
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const std::string digest = OracleMd5HexOfFile(argv[1]);
    QueryPerformanceCounter(&end);
    std::printf("%s %lld\n", digest.c_str(),
                static_cast<long long>((end.QuadPart - start.QuadPart) * 1000 / frequency.QuadPart));
    return 0;
}
