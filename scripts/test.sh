#!/usr/bin/env bash
# Sets up, builds every configuration and runs every test: native, under the
# sanitizers, the Windows builds under Wine (the x86_64 one under wine64 always, the
# i686 one, the shipped program's, under wine32 where this machine runs 32-bit x86
# code); then the fuzz targets (fuzz/run.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build.sh

status=0
run_ctest() {
    local dir=$1
    shift
    echo
    echo "=== tests: $dir"
    (cd "build/$dir" && ctest --output-on-failure -j "$(nproc)" "$@") || status=1
}
# The Windows tests, under one virtual X server when there is no display.
run_windows_ctest() {
    local dir=$1
    if [ -n "${DISPLAY:-}" ]; then
        run_ctest "$dir"
        return
    fi
    echo
    echo "=== tests: $dir (under Xvfb)"
    (cd "build/$dir" && xvfb-run -a -s '-screen 0 1280x1024x24' ctest --output-on-failure -j "$(nproc)") || status=1
}

run_ctest native
run_ctest native-asan -E large_file_test
run_windows_ctest mingw64
if why_not=$(scripts/runs_x86_32.sh); then
    run_windows_ctest mingw32
else
    echo
    echo "=== tests: mingw32 not run: the 32-bit program and its tests were built but not run, since $why_not"
fi

# libFuzzer, about a minute per target; a crash fails the run.
echo
echo "=== fuzzing"
fuzz/run.sh || status=1
exit $status
