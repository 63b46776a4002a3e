#!/usr/bin/env bash
# Installs, from Debian's packages, everything Harnox needs to build, test and run.
# Run as root on Debian 12. Does nothing when all of it is already there.
#   scripts/setup.sh                  installs what is missing
#   scripts/setup.sh --emulate-x86-32 also installs wine32 where the kernel does not
#                                     run 32-bit x86 code, for the test command's pass
#                                     of the 32-bit Windows tests under qemu-i386
# Sourced (as tests/setup_choices_test.sh does), it only sets its choices: packages,
# keep_out and choice, and the function apt_install.
#
# The portable core is also built as Linux i686 code (g++ -m32, with the i386
# OpenSSL for the oracle), so that 32-bit code is tested on every machine: natively
# where the kernel runs it, under qemu-i386 where it does not. Both need Debian's
# i386 architecture.
#
# wine32 runs the shipped 32-bit program and its tests, natively where the kernel runs
# 32-bit x86 programs (scripts/runs_x86_32.sh). Elsewhere it is kept out, also of
# wine64's recommends, unless asked for the emulated pass: it could not run there on
# its own. Where it is installed already it is left alone; the 64-bit programs are
# always run through wine64's own loader.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

packages=(
    cmake ninja-build g++ pkg-config
    mingw-w64 binutils-mingw-w64
    wine wine64 xvfb xauth x11-utils xdotool python3-xlib
    googletest libgtest-dev libssl-dev libbenchmark-dev
    clang-14 libclang-rt-14-dev
    coreutils openssl python3 osslsigncode
    g++-multilib libssl-dev:i386 qemu-user
    locales fonts-wqy-microhei
)
keep_out=()
if why_not=$(scripts/runs_x86_32.sh); then
    packages+=(wine32:i386)
    choice="wine32 is installed, since this machine's kernel runs 32-bit x86 programs"
elif [ "${1:-}" = --emulate-x86-32 ]; then
    packages+=(wine32:i386)
    choice="wine32 is installed for the pass under qemu-i386, since $why_not"
else
    keep_out=(wine32:i386-)
    choice="wine32 is left out, since $why_not"
fi
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# apt_install [apt-get options...] PACKAGE...: installs with the recommended packages
# (Wine's own fonts and X libraries among them, which the window tests were made
# with). When a library's i386 and amd64 halves, which must be of one version, come
# from different suites, because one architecture's security list is missing or
# stale, both are taken from the release itself, installed ones included; not when
# every list updated ($lists_updated), where a failure is a failure.
lists_updated=0
apt_install() {
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y -qq "$@" && return 0
    [ "$lists_updated" = 0 ] || return 1
    echo "setup: installing again from the release's own suites, which hold both architectures" >&2
    local preferences
    preferences=$(mktemp)
    printf '%s\n' 'Package: *' 'Pin: release l=Debian-Security' 'Pin-Priority: -1' '' \
        'Package: *' 'Pin: release n=bookworm, l=Debian' 'Pin-Priority: 1001' >"$preferences"
    local status=0
    apt-get install -y -qq --allow-downgrades -o Dir::Etc::Preferences="$preferences" "$@" || status=$?
    rm -f "$preferences"
    return $status
}

# Sourced: the choices above are all that is wanted.
if [ "${BASH_SOURCE[0]}" != "$0" ]; then
    return 0
fi
case "${1:-}" in
"" | --emulate-x86-32) ;;
*) echo "usage: $0 [--emulate-x86-32]" >&2; exit 2 ;;
esac

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "setup: adding the i386 architecture, for the 32-bit libraries"
    dpkg --add-architecture i386
fi
# The Chinese (PRC) locale, in which Wine gives programs the ANSI code page 936 of
# Harnox's users (the tests' second code page and the screenshot's); a CJK font draws it.
make_chinese_locale() {
    locale -a 2>/dev/null | grep -qix 'zh_CN.utf8' && return 0
    echo "setup: making the locale zh_CN.UTF-8"
    localedef -i zh_CN -c -f UTF-8 zh_CN.UTF-8
}

missing=()
for package in "${packages[@]}"; do
    installed "$package" || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
    make_chinese_locale
    exit 0
fi

echo "setup: $choice"
echo "setup: installing ${missing[*]}"
# A mirror in the middle of a sync serves index files that do not match their release
# file for a while, sometimes for days: one short retry, then on with what did arrive.
lists_updated=1
if ! apt-get update -qq; then
    echo "setup: the package lists did not all update; trying once more in 10 s"
    sleep 10
    apt-get update -qq || { lists_updated=0; echo "setup: the package lists did not all update; going on with what arrived"; }
fi
if [ ${#keep_out[@]} -gt 0 ] && installed wine32:i386; then
    keep_out=()
fi
apt_install "${missing[@]}" "${keep_out[@]}" >/dev/null
make_chinese_locale
