// What Calc MD5 does: which input wins, the length limit on typed text, the timing
// of file digests and every text shown in the MD5 field.
//
// The command runs against any form and clock of this shape:
//   form.ReadSource(buffer, size), form.ReadFile(buffer, size): copy at most
//       size - 1 bytes of the field's text and a terminating zero, or fewer where
//       a character would be cut; return the number of bytes copied
//   form.WriteMd5(text): replace the MD5 field's text
//   form.EmptyFile(): leave the File field empty
//   clock.Frequency(): counts per second; clock.Counter(): a count that never decreases
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/md5_digest.h"
#include "fileio/native_mapped_file.h"

// The full-width comma in these texts is stored as its code page 936 bytes, A3 AC,
// and written unchanged whatever the system's code page.
inline constexpr char kWaitingText[] = "Running MD5 Calc\xA3\xACPlease Waiting...";
inline constexpr char kSourceTooLongFormat[] = "Sorry\xA3\xACthe source string cannot over %d bytes length";
inline constexpr char kFileCannotBeOpenedText[] = "Sorry\xA3\xACthe file cannot be opened";
inline constexpr char kFileCannotBeReadText[] = "Sorry\xA3\xACthe file cannot be read";

inline constexpr int kFieldBufferSize = 4096;
// A Source of up to this many bytes is hashed; a longer one is refused.
inline constexpr int kLongestSource = 4094;
// The Source is read with one byte more of room than a field buffer. Windows' read
// of a field into the ANSI code page copies whole characters only, so within 4096
// bytes a text of 4096 bytes (2048 double-byte characters) reads as its first 4094
// and would pass for one within the limit; with 4097 bytes of room a text of 4095
// bytes or more always reads as at least 4095, however the read stops.
inline constexpr int kSourceReadSize = kFieldBufferSize + 1;

// Milliseconds between two counter readings: the 64-bit difference as a double,
// divided by the frequency first, times 1000, truncated toward zero. Times that do
// not fit a signed 32-bit number show as its largest value.
int32_t ElapsedMilliseconds(int64_t start, int64_t end, int64_t frequency);

// Writes the 32 upper-case hex digits of the digest and a terminating zero.
void FormatDigestText(const Md5Digest& digest, char (&text)[kSourceReadSize]);

// Appends ":<milliseconds> ms used" after the digest text.
void AppendTiming(int32_t milliseconds, char (&text)[kSourceReadSize]);

// Returns true when a digest was computed and shown. `File` is the mapped file
// reader; tests may put one over a failing platform in its place.
template <class File = MappedFile, class Form, class Clock>
bool CalculateCommand(Form& form, Clock& clock)
{
    File file;
    Md5Digest digest{};
    char text[kSourceReadSize];  // the Source, then the File, then what the MD5 field shows

    form.WriteMd5(kWaitingText);
    const int sourceLength = form.ReadSource(text, kSourceReadSize);
    if (sourceLength > 0) {
        if (sourceLength > kLongestSource) {
            std::snprintf(text, sizeof text, kSourceTooLongFormat, kLongestSource);
            form.WriteMd5(text);
            return false;
        }
        // Hashed in place, exactly as typed: no terminator, no trimming.
        Md5OfBuffer(text, static_cast<uint64_t>(sourceLength), digest);
        FormatDigestText(digest, text);
        form.WriteMd5(text);
        form.EmptyFile();
        return true;
    }

    const int pathLength = form.ReadFile(text, kFieldBufferSize);
    if (pathLength <= 0)
        return false;  // nothing to hash: the waiting text stays
    const std::string path(text, static_cast<size_t>(pathLength));
    file.Open(path);
    // An empty file is a file to digest; one that cannot be opened must not pass
    // for empty, which Open's own answer cannot tell apart.
    if (file.LastOpen() != OpenOutcome::Mapped && file.LastOpen() != OpenOutcome::EmptyFile) {
        form.WriteMd5(kFileCannotBeOpenedText);
        return false;
    }

    const int64_t frequency = clock.Frequency();
    const int64_t start = clock.Counter();
    const int complete = Md5OfMappedFile(file, digest);
    const int64_t end = clock.Counter();
    if (!complete) {
        form.WriteMd5(kFileCannotBeReadText);
        return false;
    }
    FormatDigestText(digest, text);
    AppendTiming(ElapsedMilliseconds(start, end, frequency), text);
    form.WriteMd5(text);
    return true;
}
