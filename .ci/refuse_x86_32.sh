#!/usr/bin/env bash
# A CI and developer step, never part of the README's commands: makes this machine
# refuse 32-bit x86 programs while a command runs, as kernels without IA-32 emulation
# do, so that a machine which runs them can also show how Harnox builds, tests and runs
# on one which does not.
#   .ci/refuse_x86_32.sh run COMMAND...   runs COMMAND with 32-bit programs refused,
#                                         and lets them run again however it ends
#   .ci/refuse_x86_32.sh status           says whether they are refused now
# How: a binfmt_misc entry for i386 ELF programs, whose interpreter prints the shell's
# "Exec format error" and exits 126. The kernel tries binfmt_misc entries before its
# own ELF loader, so this holds for shells, Wine's 32-bit loader and tests that start
# themselves again alike. It changes the whole machine while it is on: root only.
set -euo pipefail

dir=/proc/sys/fs/binfmt_misc
entry=$dir/harnox-refuse-i386
stub=/usr/local/libexec/harnox-refuse-i386
probe=$(cd "$(dirname "$0")/.." && pwd)/scripts/runs_x86_32.sh

on() {
    [ -f "$dir/register" ] || mount -t binfmt_misc binfmt_misc "$dir"
    [ -e "$entry" ] && return 0
    mkdir -p "$(dirname "$stub")"
    printf '#!/bin/sh\necho "$1: cannot execute binary file: Exec format error" >&2\nexit 126\n' >"$stub"
    chmod 755 "$stub"
    # The ELF header of an i386 executable (class 32-bit, little-endian, machine 3);
    # the mask lets shared objects and any OS/ABI byte through as well.
    printf '%s' ':harnox-refuse-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$stub"':' \
        >"$dir/register"
}

off() {
    if [ -e "$entry" ]; then echo -1 >"$entry"; fi
}

case "${1:-status}" in
status)
    if [ -e "$entry" ]; then echo "refuse_x86_32: on"; else echo "refuse_x86_32: off"; fi
    ;;
run)
    shift
    [ $# -gt 0 ] || { echo "usage: $0 run COMMAND..." >&2; exit 2; }
    was_on=0
    [ -e "$entry" ] && was_on=1
    if [ "$was_on" = 0 ]; then
        trap off EXIT
        trap 'exit 130' INT
        trap 'exit 143' TERM
        on
    fi
    # The refusal must really hold, or the run would show nothing of the other kind.
    if "$probe" >/dev/null; then
        echo "refuse_x86_32: 32-bit x86 programs still run; the refusal did not take" >&2
        exit 1
    fi
    echo "refuse_x86_32: 32-bit x86 programs are refused while this runs: $*"
    status=0
    "$@" || status=$?
    exit $status
    ;;
*)
    echo "usage: $0 run COMMAND... | status" >&2
    exit 2
    ;;
esac
