#!/usr/bin/env bash
# Exits 0 when this machine runs 32-bit x86 Linux programs, which wine32 needs to
# run the 32-bit Windows program. Otherwise prints why not and exits 1.
#
# Whether it does depends on the kernel, not on the packages: so a tiny 32-bit
# program is run and must end with its own exit code, 42. It is 93 bytes of
# i386 ELF: one loadable segment whose code is exit(42) through int 0x80.
set -uo pipefail

probe=$(mktemp "${TMPDIR:-/tmp}/harnox-x86-32.XXXXXX")
trap 'rm -f "$probe"' EXIT
printf '%b' \
    '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
    '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' \
    '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' \
    '\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08' \
    '\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00' \
    '\x00\x10\x00\x00' \
    '\x31\xdb\xb3\x2a\x31\xc0\x40\xcd\x80' >"$probe"
chmod +x "$probe"

output=$( ("$probe") 2>&1)
status=$?
if [ "$status" -eq 42 ]; then
    exit 0
fi
reason=${output##*: }
echo "this machine's kernel does not run 32-bit x86 programs (a 32-bit test program ended with status $status${reason:+: $reason})"
exit 1
