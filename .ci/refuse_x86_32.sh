#!/usr/bin/env bash
# A CI and developer step, never part of the README's commands: makes this machine
# refuse 32-bit x86 programs while a command runs, as kernels without IA-32 emulation
# do, so that a machine which runs them can also show how Harnox builds, tests and runs
# on one which does not.
#   .ci/refuse_x86_32.sh run COMMAND...   runs COMMAND with 32-bit programs refused,
#                                         and lets them run again however it ends
#   .ci/refuse_x86_32.sh status           says whether they are refused now
# How: a binfmt_misc entry for i386 ELF programs (scripts/binfmt_i386.sh, as for the
# emulated pass), whose interpreter prints the shell's "Exec format error" and exits
# 126. The kernel tries binfmt_misc entries before its own ELF loader, so this holds
# for shells, Wine's 32-bit loader and tests that start themselves again alike. It
# changes the whole machine while it is on: root only.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/binfmt_i386.sh"
name=harnox-refuse-i386
entry=$binfmt_dir/$name
stub=/usr/local/libexec/harnox-refuse-i386
probe=$root/scripts/runs_x86_32.sh

on() {
    binfmt_mounted
    [ -e "$entry" ] && return 0
    mkdir -p "$(dirname "$stub")"
    printf '#!/bin/sh\necho "$1: cannot execute binary file: Exec format error" >&2\nexit 126\n' >"$stub"
    chmod 755 "$stub"
    binfmt_register_i386 "$name" "$stub"
}

off() {
    binfmt_remove "$name"
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
