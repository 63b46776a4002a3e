// What the window's fields hold and show: the sizes of their reads and every message
// the MD5 field can show. Every field text is a zero-terminated byte string in the
// ANSI code page, and every limit counts bytes.
#pragma once

// The full-width comma in these texts is stored as its code page 936 bytes, A3 AC,
// and written unchanged whatever the system's code page.
inline constexpr char kWaitingText[] = "Running MD5 Calc\xA3\xACPlease Waiting...";
inline constexpr char kSourceTooLongFormat[] = "Sorry\xA3\xACthe source string cannot over %d bytes length";
inline constexpr char kFileCannotBeOpenedText[] = "Sorry\xA3\xACthe file cannot be opened";
inline constexpr char kFileCannotBeReadText[] = "Sorry\xA3\xACthe file cannot be read";
// A chosen or dropped file that no path in the ANSI code page names.
inline constexpr char kFileNameUnusableText[] = "Sorry\xA3\xACthe file name cannot be used on this system";
// Dropped items that are not one file: File and Source keep their texts.
inline constexpr char kDroppedFolderText[] = "Sorry\xA3\xAC" "a folder cannot be dropped, only a file";
inline constexpr char kDroppedSeveralText[] = "Sorry\xA3\xAConly one file can be dropped at a time";
inline constexpr char kDroppedNamelessText[] = "Sorry\xA3\xACthe dropped file's name cannot be read";

// The buffer of every field read but the Source's, its terminating zero included.
inline constexpr int kFieldBufferSize = 4096;
// A Source of up to this many bytes is hashed; a longer one is refused.
inline constexpr int kLongestSource = 4094;
// The most bytes one character takes in any ANSI code page: 2 in 936 and 1252, up
// to 4 where the code page is UTF-8.
inline constexpr int kWidestCharacter = 4;
// The command's one text buffer: the Source is read into it, then the File, and what
// the MD5 field shows is written in it. Windows' read of a field into the ANSI code
// page copies whole characters only, so a read of `size` stops up to
// kWidestCharacter - 1 bytes short of size - 1; with this much room a text of
// kLongestSource + 1 bytes or more always reads as at least that many, however the
// read stops, and cannot pass for one within the limit.
inline constexpr int kTextBufferSize = kLongestSource + kWidestCharacter + 1;
