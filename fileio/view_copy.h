// The guarded copies out of a mapped view, under NativeFilePlatform::CopyFromMappedView
// (native_mapped_file.h).
// They are written in assembly for x86 (view_copy.cpp), the same for Windows and POSIX,
// so that each platform's fault handler can resume a faulting load at a known point
// (view_copy_x86.h).
#pragma once

#include <cstdint>

#if !defined(__x86_64__) && !defined(__i386__)
#error "the guarded copies out of a mapped view are written for x86 alone"
#endif

// The copies' entry points; each returns 1, or 0 after a fault in its source that the
// platform's handler resumed.
// Any length, storing as it goes.
extern "C" int HarnoxCopyRangeFromView(void* destination, const void* source, uint32_t length)
    asm("harnox_copy_range_from_view");
#if defined(__x86_64__)
extern "C" int HarnoxCopyBlockFromView(void* destination, const void* source) asm("harnox_copy_block_from_view");
#else
// Through four XMM registers, or where the processor or the system lacks them
// through the x87 unit's eight exact 64-bit integer loads and stores.
extern "C" int HarnoxCopyBlockFromViewXmm(void* destination, const void* source)
    asm("harnox_copy_block_from_view_xmm");
extern "C" int HarnoxCopyBlockFromViewX87(void* destination, const void* source)
    asm("harnox_copy_block_from_view_x87");
// Set by GuardViewCopies; false until then, which is right on every processor.
extern bool viewBlockCopyUsesXmm;
#endif

// Any length (view_copy.cpp): through a buffer on the stack up to 2 KiB; longer reads
// find lost pages before writing, so that only a fault that begins during their copy
// leaves the destination written in part.
bool CopyFromViewAnyLength(void* destination, const unsigned char* source, uint32_t length);
