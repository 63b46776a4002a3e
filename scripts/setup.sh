#!/usr/bin/env bash
# Installs, from Debian's packages, everything Harnox needs to build, test and run.
# Run as root on Debian 12. Does nothing when all of it is already there.
#
# The portable core is also built as Linux i686 code (g++ -m32, with the i386
# OpenSSL for the oracle), so that 32-bit code is tested on every machine: natively
# where the kernel runs it, under qemu-i386 where it does not. Where this machine
# runs 32-bit x86 programs (scripts/runs_x86_32.sh), it also installs wine32, so
# that the shipped 32-bit program and its tests can run. Both need Debian's i386
# architecture.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    cmake ninja-build g++ pkg-config
    mingw-w64 binutils-mingw-w64
    wine wine64 xvfb xauth x11-utils
    googletest libgtest-dev libssl-dev libbenchmark-dev
    clang-14 libclang-rt-14-dev
    coreutils openssl python3
    g++-multilib libssl-dev:i386 qemu-user
)

if scripts/runs_x86_32.sh >/dev/null; then
    packages+=(wine32:i386)
fi
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "setup: adding the i386 architecture, for the 32-bit libraries"
    dpkg --add-architecture i386
fi

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    # A mirror in the middle of a sync serves index files that do not match their
    # release file for a while: try again before going on with what did arrive.
    updated=0
    for attempt in 1 2 3 4 5; do
        apt-get update -qq && { updated=1; break; }
        [ "$attempt" -lt 5 ] || { echo "setup: the package lists did not all update; going on with what arrived"; break; }
        echo "setup: the package lists did not all update; trying again in $((attempt * 30)) s"
        sleep $((attempt * 30))
    done
    # With the recommended packages: Wine's own fonts and X libraries among them,
    # which the window tests were made with.
    if ! apt-get install -y -qq "${missing[@]}" >/dev/null; then
        [ "$updated" = 0 ] || exit 1
        # With one architecture's security list missing, a library's i386 and amd64
        # halves, which must be of one version, come from different suites: then
        # both are taken from the release itself, installed ones included.
        echo "setup: installing again from the release's own suites, which hold both architectures"
        preferences=$(mktemp)
        trap 'rm -f "$preferences"' EXIT
        printf '%s\n' 'Package: *' 'Pin: release l=Debian-Security' 'Pin-Priority: -1' '' \
            'Package: *' 'Pin: release n=bookworm, l=Debian' 'Pin-Priority: 1001' >"$preferences"
        apt-get install -y -qq --allow-downgrades -o Dir::Etc::Preferences="$preferences" "${missing[@]}" >/dev/null
    fi
fi
