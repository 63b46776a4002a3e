// Files and texts the tests need on both platforms.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/md5_digest.h"

// 32 upper-case hex digits.
std::string HexOf(const Md5Digest& digest);

// Deterministic pseudo-random bytes.
std::vector<unsigned char> RandomBytes(size_t length, uint32_t seed);

// A folder of its own for one test, removed with everything in it afterwards.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The full path of `name` inside the folder.
    std::string PathOf(const std::string& name) const;
    // Writes the bytes as the file `name` and returns its full path.
    std::string Write(const std::string& name, const std::vector<unsigned char>& bytes) const;
    std::string Write(const std::string& name, const std::string& text) const;
#ifdef _WIN32
    // The same for a name in wide characters, which the ANSI code page may lack.
    std::wstring Write(const std::wstring& name, const std::vector<unsigned char>& bytes) const;
#endif

private:
    std::string root;
};

// Makes `path` a file of `size` bytes that takes almost no disk: zeros, but for the
// given pieces written at their offsets.
struct FilePiece {
    uint64_t offset;
    std::vector<unsigned char> bytes;
};
void MakeSparseFile(const std::string& path, uint64_t size, const std::vector<FilePiece>& pieces);

// Cuts the file down to `size` bytes, through a handle of its own.
void TruncateFile(const std::string& path, uint64_t size);

#ifdef _WIN32
// A path the build hands over, as a Windows program under Wine sees it: a POSIX path
// lives on drive Z:.
std::string WindowsPath(std::string path);

// Text of the ANSI code page in wide characters.
std::wstring WideOf(const std::string& text);
#endif
