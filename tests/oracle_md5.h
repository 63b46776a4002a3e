// An MD5 that is not ours: OpenSSL's libcrypto natively, Windows' CryptoAPI under Wine.
// Every expected digest in the tests comes from here or from published test vectors.
#pragma once

#include <cstddef>
#include <string>

// 32 upper-case hex digits of the MD5 of the bytes.
std::string OracleMd5Hex(const void* data, size_t length);
// 32 upper-case hex digits of the MD5 of the file's contents, read with plain reads.
std::string OracleMd5HexOfFile(const std::string& path);
