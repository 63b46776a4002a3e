#!/usr/bin/env bash
# Installs, from Debian's packages, everything Harnox needs to build, test and run.
# Run as root on Debian 12. Does nothing when all of it is already there.
#
# Where this machine runs 32-bit x86 programs (scripts/runs_x86_32.sh), it also
# installs wine32, so that the shipped 32-bit program and its tests can run; that
# needs Debian's i386 architecture added first.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    cmake ninja-build g++ pkg-config
    mingw-w64 binutils-mingw-w64
    wine wine64 xvfb xauth x11-utils
    googletest libgtest-dev libssl-dev libbenchmark-dev
    clang-14 libclang-rt-14-dev
    coreutils openssl python3
)

if scripts/runs_x86_32.sh >/dev/null; then
    packages+=(wine32:i386)
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        echo "setup: adding the i386 architecture, for wine32"
        dpkg --add-architecture i386
    fi
fi

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    # With the recommended packages: Wine's own fonts and X libraries among them,
    # which the window tests were made with.
    apt-get install -y -qq "${missing[@]}" >/dev/null
fi
