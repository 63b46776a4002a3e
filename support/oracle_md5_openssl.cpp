#include <openssl/evp.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <vector>

#include "support/oracle_md5.h"
#include "support/report.h"

std::string OracleMd5Hex(const void* data, size_t length)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned digestLength = 0;
    if (EVP_Digest(data, length, digest, &digestLength, EVP_md5(), nullptr) != 1)
        throw std::runtime_error("EVP_Digest failed");
    return HexOfBytes(digest, digestLength);
}

std::string OracleMd5HexOfFile(const std::string& path)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file)
        throw std::runtime_error("cannot open " + path);
    std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) != 1)
        throw std::runtime_error("EVP_DigestInit_ex failed");
    std::vector<unsigned char> buffer(1 << 20);
    size_t got;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), file.get())) > 0)
        if (EVP_DigestUpdate(context.get(), buffer.data(), got) != 1)
            throw std::runtime_error("EVP_DigestUpdate failed");
    // A read that failed part way would give the digest of a part as the file's.
    if (std::ferror(file.get()))
        throw std::runtime_error("cannot read " + path);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned digestLength = 0;
    if (EVP_DigestFinal_ex(context.get(), digest, &digestLength) != 1)
        throw std::runtime_error("EVP_DigestFinal_ex failed");
    return HexOfBytes(digest, digestLength);
}

const char* OracleName()
{
    return "OpenSSL";
}
