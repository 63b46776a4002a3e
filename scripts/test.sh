#!/usr/bin/env bash
# Sets up, builds every configuration and runs every test: native, under the
# sanitizers, and the Windows build under wine64; then the fuzz targets (fuzz/run.sh).
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

run_ctest native
run_ctest native-asan -E large_file_test
if [ -n "${DISPLAY:-}" ]; then
    run_ctest mingw64
else
    # One virtual X server for every Windows test.
    echo
    echo "=== tests: mingw64 (under Xvfb)"
    (cd build/mingw64 && xvfb-run -a -s '-screen 0 1280x1024x24' ctest --output-on-failure -j "$(nproc)") || status=1
fi

# libFuzzer, about a minute per target; a crash fails the run.
echo
echo "=== fuzzing"
fuzz/run.sh || status=1
exit $status
