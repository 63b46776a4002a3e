// Stack cookies of the Windows programs: the guard value that every function with a
// local array (or a local whose address it hands out) stores in its frame on entry
// and compares before it returns; the compiler emits both, under these names.
#pragma once

#include <cstdint>

// What the guard holds in the program file, until the process draws its own value
// as it starts; a 32-bit program holds the low half. Not zero, so that a cookie
// stored before the draw still stops a string overrun; and a value of its own, by
// which tests find the guard in the file.
inline constexpr uint64_t kStackGuardInFile = 0x7C3A9E54D1B2F068ull;

extern "C" uintptr_t __stack_chk_guard;

// Called by a function whose cookie no longer matches: its frame was overrun.
// Ends the process at once with STATUS_STACK_BUFFER_OVERRUN (0xC0000409).
extern "C" [[noreturn]] void __stack_chk_fail();
