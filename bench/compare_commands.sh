#!/usr/bin/env bash
# Times whole commands on one 1 GiB file in the page cache: harnox_md5sum (the
# program's engine and mapped window behind a command line) against coreutils
# md5sum and `openssl md5`. The runs are interleaved, in a rotating order, and the
# median and the fastest run of each are shown with the ratios. Every command's
# digest must equal md5sum's.
#
# The file is timed in two cache states: as written (the page cache holds it in the
# small pieces that writing made), and after it was dropped from the cache and read
# once by harnox_md5sum, whose views ask for huge pages.
#
# Last, the peak resident set of harnox_md5sum over a 5 GiB sparse file.
#
#   bash bench/compare_commands.sh [runs]          runs per command and state, default 7
#
# HARNOX_MD5SUM names the driver (default build/perf/bench/harnox_md5sum, built when
# missing); the files are made in a folder of their own under $TMPDIR (or /tmp) and
# removed afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
export LC_ALL=C

runs=${1:-7}
driver=${HARNOX_MD5SUM:-build/perf/bench/harnox_md5sum}
if [ ! -x "$driver" ]; then
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

names=("harnox_md5sum" "md5sum" "openssl md5")
commands=("$driver $file" "md5sum $file" "openssl md5 -r $file")

check_digests() {
    local expected actual i
    expected=$(digest_of md5sum "$file")
    for i in 0 2; do
        actual=$(digest_of ${commands[$i]})
        if [ "$actual" != "$expected" ]; then
            echo "compare_commands: ${names[$i]} gives $actual, md5sum $expected" >&2
            exit 1
        fi
    done
    echo "$expected"
}

time_state() {
    local title=$1 round k i
    local -a times=("" "" "")
    for ((round = 0; round < runs; ++round)); do
        for ((k = 0; k < 3; ++k)); do
            i=$(((round + k) % 3))
            times[$i]+="$(milliseconds ${commands[$i]}) "
        done
    done
    local -a medians bests
    for i in 0 1 2; do
        medians[$i]=$(tr ' ' '\n' <<<"${times[$i]}" | grep . | median)
        bests[$i]=$(tr ' ' '\n' <<<"${times[$i]}" | grep . | fastest)
    done
    echo
    echo "$title: $runs runs each"
    printf '%-16s %10s %10s %16s %16s\n' command "median ms" "best ms" "harnox, median" "harnox, best"
    for i in 0 1 2; do
        if [ "$i" = 0 ]; then
            printf '%-16s %10s %10s\n' "${names[$i]}" "${medians[$i]}" "${bests[$i]}"
        else
            printf '%-16s %10s %10s %15sx %15sx\n' "${names[$i]}" "${medians[$i]}" "${bests[$i]}" \
                "$(awk -v a="${medians[$i]}" -v b="${medians[0]}" 'BEGIN { printf "%.2f", a / b }')" \
                "$(awk -v a="${bests[$i]}" -v b="${bests[0]}" 'BEGIN { printf "%.2f", a / b }')"
        fi
    done
}

echo "making a 1 GiB file of random bytes in $folder"
head -c 1G /dev/urandom >"$file"
sync "$file"
echo "digest: $(check_digests) (harnox_md5sum, md5sum and openssl md5 agree)"
echo "harnox_md5sum uses the $("$driver" --which-variant) compression; core: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"

time_state "1 GiB file, in the page cache as written"

# Dropped from the cache (it is clean after the sync), then read back through harnox's views.
dd if="$file" iflag=nocache count=0 status=none
echo
echo "first read of the dropped file, from disk: harnox_md5sum $(milliseconds "$driver" "$file") ms"
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
