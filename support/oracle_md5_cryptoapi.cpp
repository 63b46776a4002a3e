#include <windows.h>
#include <wincrypt.h>

#include <stdexcept>
#include <vector>

#include "support/oracle_md5.h"
#include "support/report.h"

namespace {

class CryptoApiMd5 {
public:
    CryptoApiMd5()
    {
        if (!CryptCreateHash(Provider(), CALG_MD5, 0, 0, &hash))
            throw std::runtime_error("CryptCreateHash failed");
    }
    ~CryptoApiMd5() { CryptDestroyHash(hash); }
    void Add(const void* data, size_t length)
    {
        const BYTE* bytes = static_cast<const BYTE*>(data);
        while (length > 0) {
            const DWORD piece = length > (1u << 30) ? (1u << 30) : static_cast<DWORD>(length);
            if (!CryptHashData(hash, bytes, piece, 0))
                throw std::runtime_error("CryptHashData failed");
            bytes += piece;
            length -= piece;
        }
    }
    std::string Hex()
    {
        BYTE digest[16];
        DWORD length = sizeof digest;
        if (!CryptGetHashParam(hash, HP_HASHVAL, digest, &length, 0))
            throw std::runtime_error("CryptGetHashParam failed");
        return HexOfBytes(digest, length);
    }

private:
    // Acquiring the provider is slow; one serves every hash of the test program.
    static HCRYPTPROV Provider()
    {
        static HCRYPTPROV provider = [] {
            HCRYPTPROV acquired = 0;
            if (!CryptAcquireContextA(&acquired, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
                throw std::runtime_error("CryptAcquireContext failed");
            return acquired;
        }();
        return provider;
    }

    HCRYPTHASH hash = 0;
};

}  // namespace

std::string OracleMd5Hex(const void* data, size_t length)
{
    CryptoApiMd5 md5;
    md5.Add(data, length);
    return md5.Hex();
}

std::string OracleMd5HexOfFile(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot open " + path);
    CryptoApiMd5 md5;
    std::vector<unsigned char> buffer(1 << 20);
    DWORD got = 0;
    BOOL read;
    while ((read = ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) && got > 0)
        md5.Add(buffer.data(), got);
    CloseHandle(file);
    // A read that failed part way would give the digest of a part as the file's.
    if (!read)
        throw std::runtime_error("cannot read " + path);
    return md5.Hex();
}

const char* OracleName()
{
    return "CryptoAPI";
}
