#!/usr/bin/env bash
# Configures and builds every configuration into build/:
#   native       Linux, GCC: unit tests and benchmarks
#   native-asan  Linux, GCC, AddressSanitizer and UndefinedBehaviorSanitizer
#   native32     Linux i686 (g++ -m32, x87 floating point): the portable core's
#                tests as the shipped program's processor runs them; natively where
#                the kernel runs 32-bit code, else under qemu-i386 (also when
#                HARNOX_I686_EMULATE=1)
#   mingw64      x86_64 Windows with its tests, which run under wine64
#   mingw32      i686 Windows with its tests, which run under wine32: natively where
#                this machine runs 32-bit x86 code; elsewhere, with the test command's
#                --emulate-x86-32, under qemu-i386 (HARNOX_WINE_EMULATED: longer time
#                limits, the cases that cannot run emulated left out)
#   program32    the shipped programs: i686 into dist/harnox.exe and x86_64 into
#   program64    dist/x64/harnox.exe (scripts/build_programs.sh)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/build_programs.sh

jobs=$(nproc)
configure() {
    local dir=$1
    shift
    cmake -S . -B "build/$dir" -G Ninja "$@" >/dev/null
}

configure native -DCMAKE_BUILD_TYPE=RelWithDebInfo
configure native-asan -DCMAKE_BUILD_TYPE=Debug -DHARNOX_SANITIZE=ON
i686_emulator=
wine_emulated=OFF
if ! scripts/runs_x86_32.sh >/dev/null; then
    i686_emulator=qemu-i386
    wine_emulated=ON
fi
if [ "${HARNOX_I686_EMULATE:-0}" = 1 ]; then
    i686_emulator=qemu-i386
fi
configure native32 -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-linux-i686.cmake \
    -DHARNOX_BENCH=OFF -DHARNOX_I686_EMULATOR="$i686_emulator"
configure mingw64 -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake
configure mingw32 -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake -DHARNOX_TESTS=ON \
    -DHARNOX_WINE_EMULATED="$wine_emulated"

for dir in native native-asan native32 mingw64 mingw32; do
    echo "build: $dir"
    cmake --build "build/$dir" -j "$jobs"
done
