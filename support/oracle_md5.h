// An MD5 that is not ours: OpenSSL's libcrypto natively, Windows' CryptoAPI on Windows.
// Every expected digest of the tests and of the measuring tools comes from here or
// from published test vectors. A failure throws, ending a test or a tool with its reason.
#pragma once

#include <cstddef>
#include <string>

// 32 upper-case hex digits of the MD5 of the bytes.
std::string OracleMd5Hex(const void* data, size_t length);
// 32 upper-case hex digits of the MD5 of the file's contents, read with plain reads
// in pieces of 1 MiB (ReadFile on Windows).
std::string OracleMd5HexOfFile(const std::string& path);
// "OpenSSL" or "CryptoAPI", to name it in a report.
const char* OracleName();
