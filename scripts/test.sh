#!/usr/bin/env bash
# Sets up, builds every configuration and runs every test: native, under the
# sanitizers, as Linux i686 code (natively where this machine runs 32-bit x86 code,
# under qemu-i386 elsewhere), the Windows builds under Wine (the x86_64 one under
# wine64 always, the i686 one, the shipped program's, under wine32 where this
# machine runs 32-bit x86 code); then the fuzz targets (fuzz/run.sh). One line
# before each says what ran how.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build.sh

status=0
# run_ctest TREE "what runs how" [ctest arguments]
run_ctest() {
    local dir=$1 how=$2
    shift 2
    echo
    echo "=== tests: $dir: $how"
    (cd "build/$dir" && ctest --output-on-failure -j "$(nproc)" "$@") || status=1
}
# The Windows tests, under one virtual X server when there is no display.
run_windows_ctest() {
    local dir=$1 how=$2
    if [ -n "${DISPLAY:-}" ]; then
        run_ctest "$dir" "$how"
        return
    fi
    echo
    echo "=== tests: $dir: $how, under Xvfb"
    (cd "build/$dir" && xvfb-run -a -s '-screen 0 1280x1024x24' ctest --output-on-failure -j "$(nproc)") || status=1
}

run_ctest native "x86-64 Linux code, natively"
run_ctest native-asan "x86-64 Linux code under AddressSanitizer and UBSan, natively; large_file_test left out" \
    -E large_file_test
# The shipped program's processor, x87 floating point and the 32-bit copy of views
# included, on every machine.
if [ -n "$(sed -n 's/^HARNOX_I686_EMULATOR:STRING=//p' build/native32/CMakeCache.txt)" ]; then
    run_ctest native32 "i686 Linux code under qemu-i386 emulation; two cases left out there,\
 ViewFaultTest.FileCutShortByAnotherProgramWhileOpen (qemu-user reports a cut file's bus error one page off)\
 and ViewCopyGuard.ThreadsFaultingAtOnceEachRecoverTheirOwnCopy (qemu-user returns from a signal handler\
 with the thread pointer of the thread started last)"
else
    run_ctest native32 "i686 Linux code, natively (this machine's kernel runs 32-bit x86 programs)"
fi
run_windows_ctest mingw64 "x86-64 Windows code under wine64"
if why_not=$(scripts/runs_x86_32.sh); then
    run_windows_ctest mingw32 "i686 Windows code, the shipped program's, under wine32"
else
    echo
    echo "=== tests: mingw32: not run: the 32-bit Windows program and its tests were built but not run, since $why_not"
fi

# libFuzzer, about a minute per target; a crash fails the run.
echo
echo "=== fuzzing"
fuzz/run.sh || status=1
exit $status
