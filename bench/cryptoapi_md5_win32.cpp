// The digest of a file by Windows' own CryptoAPI, fed by ReadFile in 1 MiB pieces:
// the plain Windows way to digest a file, timed beside harnox.exe under the same
// Wine by bench/compare_commands.sh. A measuring tool only.
//
//   cryptoapi_md5 FILE
//
// Prints "<32 lower-case hex digits> <milliseconds>": the time from opening the file
// to the finished digest, as harnox.exe times its own. Exits 1 on any failure.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: cryptoapi_md5 FILE\n");
        return 2;
    }
    std::vector<unsigned char> piece(1 << 20);
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
        std::fprintf(stderr, "cryptoapi_md5: no provider (%lu)\n", GetLastError());
        return 1;
    }
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);

    bool ok = false;
    unsigned char digest[16];
    DWORD digestLength = sizeof digest;
    HCRYPTHASH hash = 0;
    const HANDLE file = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file != INVALID_HANDLE_VALUE && CryptCreateHash(provider, CALG_MD5, 0, 0, &hash)) {
        DWORD got = 0;
        while ((ok = ReadFile(file, piece.data(), static_cast<DWORD>(piece.size()), &got, nullptr) != 0) && got != 0) {
            if (!CryptHashData(hash, piece.data(), got, 0)) {
                ok = false;
                break;
            }
        }
        ok = ok && CryptGetHashParam(hash, HP_HASHVAL, digest, &digestLength, 0) && digestLength == 16;
    }
    QueryPerformanceCounter(&end);
    if (hash)
        CryptDestroyHash(hash);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    CryptReleaseContext(provider, 0);
    if (!ok) {
        std::fprintf(stderr, "cryptoapi_md5: cannot digest %s (%lu)\n", argv[1], GetLastError());
        return 1;
    }
    for (unsigned char byte : digest)
        std::printf("%02x", byte);
    std::printf(" %lld\n", static_cast<long long>((end.QuadPart - start.QuadPart) * 1000 / frequency.QuadPart));
    return 0;
}
