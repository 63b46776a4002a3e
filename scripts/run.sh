#!/usr/bin/env bash
# Sets up, builds and starts Harnox (dist/x64/harnox.exe) under wine64, on the
# current display, or on a virtual X server when there is none.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
# Only the 64-bit Windows program is needed, configured as scripts/build.sh does.
[ -f build/mingw64/build.ninja ] ||
    cmake -S . -B build/mingw64 -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake >/dev/null
cmake --build build/mingw64 --target harnox -j "$(nproc)"

# build/mingw64/wine-run.sh uses the build tree's Wine prefix and starts a virtual
# X server itself when DISPLAY is not set.
if [ -z "${DISPLAY:-}" ]; then
    echo "run: no display, so Harnox runs under Xvfb, a virtual X server: its window cannot be seen."
    echo "run: end it with Ctrl+C."
fi
exec build/mingw64/wine-run.sh dist/x64/harnox.exe
