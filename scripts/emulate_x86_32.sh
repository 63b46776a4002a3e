#!/usr/bin/env bash
# Runs a command with 32-bit x86 Linux programs handed to qemu-i386, user-mode
# emulation, so that wine32 runs the i686 Windows tests on a machine whose kernel
# refuses 32-bit code. The test command's --emulate-x86-32 runs its mingw32 pass
# through it (as root).
#   scripts/emulate_x86_32.sh run COMMAND...   runs COMMAND with i386 programs
#                                              emulated; the emulation is gone
#                                              however it ends
# How: a binfmt_misc entry for i386 ELF programs whose interpreter is qemu-i386
# (scripts/binfmt_i386.sh, as for CI's pass that refuses 32-bit code).
# Wine starts its own loader again for every process, its services included, so a
# wrapper around the first start would not do: the kernel must hand each exec over.
# Flags: F, qemu-i386 is opened once as the entry is made, so it is found whatever
# the exec's root or mount namespace; not P, which needs an interpreter that takes
# argv[0] apart (plain qemu-i386 takes the program's path in its place, which Wine's
# loader is content with); not C or O, which are for set-user-ID programs.
# Where the kernel gives a user namespace a binfmt_misc of its own (Linux 6.7 on), the
# entry is made in a namespace that only COMMAND runs in: the rest of the machine never
# sees it and it ends with the namespace. Elsewhere it is the machine's for as long as
# COMMAND runs, removed however that ends.
# QEMU_RESERVED_VA: qemu-i386 reserves the guest's address space up front, so that
# Wine can map its shared user data at 0x7FFE0000 ("failed to map the shared user
# data: c0000018" without). Only 16 MiB past the 2 GiB that 32-bit Windows programs
# get: Debian's Wine has no preloader, so each process reserves all the space above
# that in 64 KiB probes, and qemu-user 7.2 answers each probe by searching the space
# page by page. Up to 0xf7000000 a process took 41 s to start, here 2.5 s; at
# 0x80000000 Wine does not start.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source "$here/binfmt_i386.sh"
name=harnox-emulate-i386
qemu=/usr/bin/qemu-i386
probe=$here/runs_x86_32.sh

# Runs COMMAND once the emulation is known to hold.
run_checked() {
    local why
    why=$("$probe") && { echo "emulate_x86_32: 32-bit x86 programs run natively here, not under qemu-i386" >&2; exit 1; }
    if [ $? -ne 2 ]; then
        echo "emulate_x86_32: 32-bit x86 programs do not run under qemu-i386: $why" >&2
        exit 1
    fi
    echo "emulate_x86_32: 32-bit x86 programs run under $qemu while this runs: $*"
    local status=0
    "$@" || status=$?
    exit $status
}

case "${1:-}" in
run)
    shift
    [ $# -gt 0 ] || { echo "usage: $0 run COMMAND..." >&2; exit 2; }
    [ -x "$qemu" ] || { echo "emulate_x86_32: $qemu is missing (Debian's qemu-user)" >&2; exit 1; }
    export QEMU_RESERVED_VA=0x81000000
    if unshare --user --map-root-user --mount sh -c "mount -t binfmt_misc binfmt_misc $binfmt_dir" 2>/dev/null; then
        exec unshare --user --map-root-user --mount -- "$0" in-namespace "$@"
    fi
    binfmt_mounted
    if [ ! -e "$binfmt_dir/$name" ]; then
        trap 'binfmt_remove "$name"' EXIT
        trap 'exit 130' INT
        trap 'exit 143' TERM
        binfmt_register_i386 "$name" "$qemu" F
    fi
    run_checked "$@"
    ;;
in-namespace)
    # A binfmt_misc of this namespace's own, which starts empty.
    shift
    mount -t binfmt_misc binfmt_misc "$binfmt_dir"
    binfmt_register_i386 "$name" "$qemu" F
    run_checked "$@"
    ;;
*)
    echo "usage: $0 run COMMAND..." >&2
    exit 2
    ;;
esac
