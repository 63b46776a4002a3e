#!/usr/bin/env bash
# Exits 0 when this machine's kernel itself runs 32-bit x86 Linux programs, which
# wine32 needs to run the 32-bit Windows program natively. Otherwise prints why not
# and exits 1 when they are refused, 2 when they run only under an emulator (a
# binfmt_misc entry, such as qemu-user-binfmt's or scripts/emulate_x86_32.sh's, that
# hands i386 programs to qemu-i386).
#
# Whether it does depends on the kernel, not on the packages: so a tiny 32-bit
# program is run and must end with its own exit code. It is 120 bytes of i386 ELF:
# one loadable segment whose code asks uname(2) for the machine and exits with 42
# when it reads "x86_...", which a 64-bit kernel reports to the 32-bit programs it
# runs itself, or 43 otherwise: qemu-i386 reports "i686".
set -uo pipefail

probe=$(mktemp "${TMPDIR:-/tmp}/harnox-x86-32.XXXXXX")
trap 'rm -f "$probe"' EXIT
printf '%b' \
    '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
    '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' \
    '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' \
    '\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08' \
    '\x00\x80\x04\x08\x78\x00\x00\x00\x78\x00\x00\x00\x05\x00\x00\x00' \
    '\x00\x10\x00\x00' \
    '\x81\xec\x90\x01\x00\x00\x89\xe3\x6a\x7a\x58\xcd\x80\x31\xdb\xb3' \
    '\x2a\x81\xbc\x24\x04\x01\x00\x00\x78\x38\x36\x5f\x74\x01\x43\x31' \
    '\xc0\x40\xcd\x80' >"$probe"
chmod +x "$probe"

output=$( ("$probe") 2>&1)
status=$?
if [ "$status" -eq 42 ]; then
    exit 0
fi
if [ "$status" -eq 43 ]; then
    # The enabled binfmt_misc entries for i386 executables (ELF class 32, machine 3).
    entries=()
    for entry in /proc/sys/fs/binfmt_misc/*; do
        [ -f "$entry" ] && grep -qx enabled "$entry" 2>/dev/null &&
            grep -Eq '^magic 7f454c460101.{24}0300' "$entry" && entries+=("${entry##*/}")
    done
    echo "this machine's kernel does not run 32-bit x86 programs itself: they run under an emulator (a 32-bit test program was told it runs on an i686, not on the kernel's x86_64${entries[*]:+; binfmt_misc: ${entries[*]}})"
    exit 2
fi
reason=${output##*: }
echo "this machine's kernel does not run 32-bit x86 programs (a 32-bit test program ended with status $status${reason:+: $reason})"
exit 1
