// What Calc MD5 does: which input wins, the length limit on typed text, the timing
// of file digests and which text the MD5 field shows when.
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

#include "app/field_texts.h"
#include "engine/md5_digest.h"
#include "fileio/native_mapped_file.h"

// Milliseconds between two counter readings: the 64-bit difference as a double,
// divided by the frequency first, times 1000, truncated toward zero. Times beyond
// the range of a signed 32-bit number are held at its ends, its largest or its
// smallest value; a time that is not a number (no frequency, no span) shows as 0.
int32_t ElapsedMilliseconds(int64_t start, int64_t end, int64_t frequency);

// Writes the 32 upper-case hex digits of the digest and a terminating zero.
void FormatDigestText(const Md5Digest& digest, char (&text)[kTextBufferSize]);

// Appends ":<milliseconds> ms used" after the digest text.
void AppendTiming(int32_t milliseconds, char (&text)[kTextBufferSize]);

// Returns true when a digest was computed and shown. `File` is the mapped file
// reader; tests may put one over a failing platform in its place.
template <class File = MappedFile, class Form, class Clock>
bool CalculateCommand(Form& form, Clock& clock)
{
    File file;
    Md5Digest digest{};
    char text[kTextBufferSize];  // the Source, then the File, then what the MD5 field shows

    form.WriteMd5(kWaitingText);
    const int sourceLength = form.ReadSource(text, kTextBufferSize);
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
