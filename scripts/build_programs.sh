#!/usr/bin/env bash
# Builds the two shipped programs, from the tree this script is in:
#   build/program32  ->  dist/harnox.exe      (PE32, i686)
#   build/program64  ->  dist/x64/harnox.exe  (PE32+, x86_64)
# Release, statically linked, with the C++ runtime's win32 thread model: the
# programs use no threads, and the posix model's runtime needs Windows Vista.
set -euo pipefail
cd "$(dirname "$0")/.."

for arch in i686:32 x86_64:64; do
    dir=build/program${arch#*:}
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DHARNOX_TESTS=OFF \
        -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-mingw-${arch%:*}.cmake" -DHARNOX_MINGW_THREADS=win32 \
        -DHARNOX_DIST_DIR="$PWD/dist" >/dev/null
    echo "build: $dir"
    cmake --build "$dir" --target harnox -j "$(nproc)"
done
