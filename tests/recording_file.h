// Stands in for the mapped file in digest tests: serves bytes from memory and
// records every read as (offset, count); can be told to fail one read.
#pragma once

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "fileio/mapped_file.h"

struct RecordingFile {
    std::vector<unsigned char> bytes;
    std::vector<std::pair<uint64_t, uint32_t>> reads;
    size_t failingRead = SIZE_MAX;   // index of the read that fails
    int32_t failureCode = kReadWindowMoveFailed;
    bool zeroReadFails = false;      // a closed file answers a read of 0 bytes with kReadNoFileOpen

    uint64_t Size() const { return bytes.size(); }

    int32_t ReadAt(uint64_t offset, uint32_t count, void* destination)
    {
        reads.emplace_back(offset, count);
        if (reads.size() - 1 == failingRead)
            return failureCode;
        if (count == 0 && zeroReadFails)
            return kReadNoFileOpen;
        if (offset > bytes.size() || count > bytes.size() - offset)
            return kReadPastEndOfFile;
        if (count != 0)
            std::memcpy(destination, bytes.data() + offset, count);
        return static_cast<int32_t>(count);
    }
};
