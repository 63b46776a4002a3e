#!/usr/bin/env bash
# Times whole commands on one 1 GiB file in the page cache, the runs interleaved in
# a rotating order, and shows the median and the fastest run of each with the ratios.
# Every command's digest must equal md5sum's.
#
#   bash bench/compare_commands.sh [runs]          runs per command and state, default 7
#   bash bench/compare_commands.sh --wine [runs]
#
# Natively: harnox_md5sum (the program's engine and mapped window behind a command
# line) against coreutils md5sum and `openssl md5`, in two cache states: as written
# (the page cache holds the file in the small pieces that writing made), and after it
# was dropped from the cache and read once by harnox_md5sum, whose views ask for huge
# pages. Last, the peak resident set of harnox_md5sum over a 5 GiB sparse file.
#
# With --wine: the 64-bit harnox.exe under wine64 and, where this machine runs
# 32-bit x86 code, the shipped 32-bit one under wine32, each by the time its window
# shows (harnox_window_driver presses Calc MD5 on the file, through the helpers the
# program tests drive it with), against cryptoapi_md5 under the same Wine (the tests'
# oracle, CryptoAPI's MD5 over ReadFile in 1 MiB pieces, by its own time from opening
# the file to the digest; 64-bit, and 32-bit beside the 32-bit program) and the wall
# times of md5sum and `openssl md5`, on the file as written.
# Under a virtual X server when there is no display.
#
# HARNOX_MD5SUM names the native driver (default build/perf/bench/harnox_md5sum,
# built when missing); HARNOX_WIN64_BUILD and HARNOX_WIN32_BUILD the mingw64 and
# mingw32 build trees holding the Wine runners and the two tools (default
# build/mingw64 and build/mingw32), HARNOX_EXE and HARNOX_EXE32 the programs (default
# dist/x64/harnox.exe and dist/harnox.exe). The files are made in a folder of their
# own under $TMPDIR (or /tmp) and removed afterwards.
set -euo pipefail
# A step that fails ends the run; say which, rather than stop without a word.
trap 'echo "compare_commands: the command at line $LINENO failed" >&2' ERR
cd "$(dirname "$0")/.."
export LC_ALL=C

wine=0
if [ "${1:-}" = "--wine" ]; then
    wine=1
    shift
fi
runs=${1:-7}

if [ "$wine" = 1 ] && [ -z "${DISPLAY:-}" ]; then
    # One virtual X server for every run.
    exec scripts/with_display.sh bash "$0" --wine "$runs"
fi

driver=${HARNOX_MD5SUM:-build/perf/bench/harnox_md5sum}
win64=${HARNOX_WIN64_BUILD:-build/mingw64}
program=${HARNOX_EXE:-dist/x64/harnox.exe}
win32=${HARNOX_WIN32_BUILD:-build/mingw32}
program32=${HARNOX_EXE32:-dist/harnox.exe}
with32=0
if [ "$wine" = 1 ]; then
    for needed in "$win64/wine-run.sh" "$win64/bench/cryptoapi_md5.exe" "$win64/bench/harnox_window_driver.exe" "$program"; do
        [ -e "$needed" ] || { echo "compare_commands: $needed is missing (build $win64 first)" >&2; exit 1; }
    done
    if why_not=$(scripts/runs_x86_32.sh); then
        for needed in "$win32/wine-run.sh" "$win32/bench/cryptoapi_md5.exe" "$win32/bench/harnox_window_driver.exe" \
            "$program32"; do
            [ -e "$needed" ] || { echo "compare_commands: $needed is missing (build $win32 first)" >&2; exit 1; }
        done
        with32=1
    else
        echo "the 32-bit harnox.exe is left out: $why_not"
    fi
elif [ ! -x "$driver" ]; then
    echo "building $driver"
    cmake -S . -B build/perf -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build build/perf --target harnox_md5sum >/dev/null
fi
for tool in md5sum openssl dd truncate; do
    command -v "$tool" >/dev/null || { echo "compare_commands: $tool is missing" >&2; exit 1; }
done

folder=$(mktemp -d "${TMPDIR:-/tmp}/harnox-compare.XXXXXX")
trap 'rm -rf "$folder"' EXIT
file=$folder/one-gib.bin
sparse=$folder/five-gib-sparse.bin

digest_of() {  # the first field of a command's output: its digest
    "$@" | awk '{ print $1; exit }'
}

milliseconds() {  # runs the command, output discarded, and prints its wall time
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
fastest() { sort -n | head -n 1; }

windows_path() {  # a POSIX path as Wine's drive Z: shows it
    local path
    path=$(realpath "$1")
    echo "Z:${path//\//\\}"
}

# A Windows tool's own report, "<digest> <milliseconds>": the digest is checked
# against md5sum's, the milliseconds printed.
shown_milliseconds() {
    local output digest shown
    output=$("$@" | tr -d '\r' | tail -n 1)
    read -r digest shown <<<"$output"
    if [ "${digest,,}" != "$expected" ]; then
        echo "compare_commands: $* gives \"$output\", md5sum $expected" >&2
        exit 1
    fi
    echo "$shown"
}

# The commands: a name and a shell function that prints one run's milliseconds.
time_harnox_md5sum() { milliseconds "$driver" "$file"; }
time_md5sum() { milliseconds md5sum "$file"; }
time_openssl() { milliseconds openssl md5 -r "$file"; }
time_harnox_exe() {
    shown_milliseconds "$win64/wine-run.sh" "$win64/bench/harnox_window_driver.exe" "$(windows_path "$program")" \
        "$(windows_path "$file")"
}
time_cryptoapi() { shown_milliseconds "$win64/wine-run.sh" "$win64/bench/cryptoapi_md5.exe" "$(windows_path "$file")"; }
time_harnox_exe32() {
    shown_milliseconds "$win32/wine-run.sh" "$win32/bench/harnox_window_driver.exe" "$(windows_path "$program32")" \
        "$(windows_path "$file")"
}
time_cryptoapi32() { shown_milliseconds "$win32/wine-run.sh" "$win32/bench/cryptoapi_md5.exe" "$(windows_path "$file")"; }

# The first `ours` commands are Harnox's; every other one is set beside each of them.
if [ "$wine" = 1 ] && [ "$with32" = 1 ]; then
    names=("harnox.exe x64" "harnox.exe PE32" "cryptoapi_md5 x64" "cryptoapi_md5 PE32" "md5sum" "openssl md5")
    timers=(time_harnox_exe time_harnox_exe32 time_cryptoapi time_cryptoapi32 time_md5sum time_openssl)
    ours=2
elif [ "$wine" = 1 ]; then
    names=("harnox.exe x64" "cryptoapi_md5 x64" "md5sum" "openssl md5")
    timers=(time_harnox_exe time_cryptoapi time_md5sum time_openssl)
    ours=1
else
    names=("harnox_md5sum" "md5sum" "openssl md5")
    timers=(time_harnox_md5sum time_md5sum time_openssl)
    ours=1
fi
count=${#timers[@]}

check_digests() {
    local actual
    actual=$(digest_of openssl md5 -r "$file")
    if [ "$actual" != "$expected" ]; then
        echo "compare_commands: openssl md5 gives $actual, md5sum $expected" >&2
        exit 1
    fi
    if [ "$wine" = 0 ]; then
        actual=$(digest_of "$driver" "$file")
        if [ "$actual" != "$expected" ]; then
            echo "compare_commands: harnox_md5sum gives $actual, md5sum $expected" >&2
            exit 1
        fi
    fi
}

time_state() {
    local title=$1 round k i
    local -a times
    for ((i = 0; i < count; ++i)); do times[$i]=""; done
    for ((round = 0; round < runs; ++round)); do
        for ((k = 0; k < count; ++k)); do
            i=$(((round + k) % count))
            times[$i]+="$(${timers[$i]}) "
        done
    done
    local -a medians bests
    for ((i = 0; i < count; ++i)); do
        medians[$i]=$(tr ' ' '\n' <<<"${times[$i]}" | grep . | median)
        bests[$i]=$(tr ' ' '\n' <<<"${times[$i]}" | grep . | fastest)
    done
    echo
    echo "$title: $runs runs each, load average before: $load"
    echo "(harnox.exe's times are those its window shows, cryptoapi_md5's its own, the others' wall times;"
    echo " a ratio is how many times faster Harnox's program is: the other's time over its own)"
    local header j
    header=$(printf '%-20s %10s %10s' command "median ms" "best ms")
    for ((j = 0; j < ours; ++j)); do header+=$(printf ' %24s' "over ${names[$j]}"); done
    echo "$header"
    for ((i = 0; i < count; ++i)); do
        local line
        line=$(printf '%-20s %10s %10s' "${names[$i]}" "${medians[$i]}" "${bests[$i]}")
        if ((i >= ours)); then
            for ((j = 0; j < ours; ++j)); do
                line+=$(printf ' %24s' "$(awk -v a="${medians[$i]}" -v b="${medians[$j]}" -v c="${bests[$i]}" \
                    -v d="${bests[$j]}" 'BEGIN { printf "%.2fx, best %.2fx", a / b, c / d }')")
            done
        fi
        echo "$line"
    done
    echo "every time: ${times[*]}" | tr -s ' '
}

echo "making a 1 GiB file of random bytes in $folder"
head -c 1G /dev/urandom >"$file"
sync "$file"
expected=$(digest_of md5sum "$file")
check_digests
echo "digest: $expected (every command agrees with md5sum)"
echo "core: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores"
load() { cut -d' ' -f1-3 /proc/loadavg; }

if [ "$wine" = 1 ]; then
    echo "wine: $(/usr/lib/wine/wine64 --version 2>/dev/null || echo unknown)"
    # The first start of each Wine sets up its server and prefix.
    time_harnox_exe >/dev/null
    if [ "$with32" = 1 ]; then
        time_harnox_exe32 >/dev/null
    fi
    load=$(load)
    time_state "1 GiB file, in the page cache as written; Windows programs under Wine"
    exit 0
fi

echo "harnox_md5sum uses the $("$driver" --which-variant) compression"
load=$(load)
time_state "1 GiB file, in the page cache as written"

# Dropped from the cache (it is clean after the sync), then read back through harnox's views.
dd if="$file" iflag=nocache count=0 status=none
echo
echo "first read of the dropped file, from disk: harnox_md5sum $(milliseconds "$driver" "$file") ms"
load=$(load)
time_state "1 GiB file, in the page cache as read back through harnox's views"

echo
echo "5 GiB sparse file: a few bytes near the start, past 4 GiB and at the end, zeros elsewhere"
truncate -s 5G "$sparse"
for offset in 4096 $((4 * 1024 * 1024 * 1024 + 12345)) $((5 * 1024 * 1024 * 1024 - 7)); do
    printf 'harnox' | dd of="$sparse" bs=1 seek="$offset" conv=notrunc status=none
done
expected=$(digest_of md5sum "$sparse")
rss_output=$("$driver" --peak-rss "$sparse" 2>&1)
actual=$(grep -oE '^[0-9a-f]{32}' <<<"$rss_output")
if [ "$actual" != "$expected" ]; then
    echo "compare_commands: harnox_md5sum gives $actual for the sparse file, md5sum $expected" >&2
    exit 1
fi
echo "digest $actual (equal to md5sum's); $(grep 'peak RSS' <<<"$rss_output")"
