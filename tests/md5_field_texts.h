// Every text the MD5 field shows but digests, written out on the tests' side rather
// than taken from the program's own constants, so that a typo in the program fails.
// The full-width comma is the code page 936 bytes A3 AC, whatever the code page.
#pragma once

#include <string>

inline const std::string kWaiting = "Running MD5 Calc\xA3\xACPlease Waiting...";
inline const std::string kTooLong = "Sorry\xA3\xACthe source string cannot over 4094 bytes length";
inline const std::string kCannotOpen = "Sorry\xA3\xACthe file cannot be opened";
inline const std::string kCannotRead = "Sorry\xA3\xACthe file cannot be read";
inline const std::string kNameUnusable = "Sorry\xA3\xACthe file name cannot be used on this system";
inline const std::string kDroppedFolder = "Sorry\xA3\xAC" "a folder cannot be dropped, only a file";
inline const std::string kDroppedSeveral = "Sorry\xA3\xAConly one file can be dropped at a time";
inline const std::string kDroppedNameless = "Sorry\xA3\xACthe dropped file's name cannot be read";
// The over-length message as a program reading wide text takes it: in code page 936
// A3 AC is the full-width comma, in 1252 the two characters they are there.
inline const std::wstring kTooLongIn936 = L"Sorry\uFF0Cthe source string cannot over 4094 bytes length";
inline const std::wstring kTooLongIn1252 = L"Sorry\u00A3\u00ACthe source string cannot over 4094 bytes length";
