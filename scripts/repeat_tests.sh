#!/usr/bin/env bash
# Runs the Windows trees' tests again and again, each run as on a newcomer's first:
# the tree's Wine prefix made anew, and on some runs fontconfig's cache for the tree's
# processor removed first (le32d4 files for mingw32, le64 for mingw64), so that the
# first Wine process with a display builds it again. For anyone who suspects a test of
# failing by chance; not part of the test command. As root (the cache is the system's),
# once scripts/test.sh has built the trees.
#   scripts/repeat_tests.sh [--runs N] [--cold-fonts-every K] TREE...
# N runs of each TREE in turn (default 20), every K-th without the font cache (default
# 4; 0 never). One line per run, then the failures, by test. Exits 1 if any run failed.
# Where the kernel refuses 32-bit code, mingw32 runs under qemu-i386 as the test
# command's --emulate-x86-32 does.
set -uo pipefail
cd "$(dirname "$0")/.."

runs=20
cold_every=4
while [ $# -gt 0 ]; do
    case $1 in
    --runs) runs=$2; shift 2 ;;
    --cold-fonts-every) cold_every=$2; shift 2 ;;
    -*) echo "usage: $0 [--runs N] [--cold-fonts-every K] TREE..." >&2; exit 2 ;;
    *) break ;;
    esac
done
[ $# -gt 0 ] || { echo "usage: $0 [--runs N] [--cold-fonts-every K] TREE..." >&2; exit 2; }

declare -A failures=()
failed_runs=0
for tree in "$@"; do
    dir=build/$tree
    [ -f "$dir/wine-run.sh" ] || { echo "repeat_tests: $dir is not a built Windows tree" >&2; exit 2; }
    case $tree in
    *32*) cache=le32d4 ;;
    *) cache=le64 ;;
    esac
    runner=()
    if [ "$tree" = mingw32 ] && ! scripts/runs_x86_32.sh >/dev/null; then
        runner=("$PWD/scripts/emulate_x86_32.sh" run)
    fi
    # Each run under a virtual X server of its own, even where there is a display.
    runner+=("$PWD/scripts/with_display.sh" --new)
    for ((run = 1; run <= runs; run++)); do
        WINEPREFIX=$PWD/$dir/wineprefix /usr/lib/wine/wineserver -k 2>/dev/null
        rm -rf "$dir/wineprefix"
        fonts=warm
        if [ "$cold_every" -gt 0 ] && [ $(((run - 1) % cold_every)) = 0 ]; then
            rm -f /var/cache/fontconfig/*-"$cache".cache-*
            fonts="cold ($cache cache removed)"
        fi
        mkdir -p "$dir/Testing"
        log=$dir/Testing/Temporary/LastTestsFailed.log
        rm -f "$log"
        started=$SECONDS
        if (cd "$dir" && "${runner[@]}" ctest --output-on-failure -j "$(nproc)" >"Testing/repeat-$run.log" 2>&1); then
            outcome=passed
        else
            failed_runs=$((failed_runs + 1))
            names=$( [ -s "$log" ] && cut -d: -f2- "$log" | paste -sd' ' - )
            outcome="FAILED: ${names:-before any test ended} (see $dir/Testing/repeat-$run.log)"
            for name in ${names:-ctest}; do failures[$tree/$name]=$((${failures[$tree/$name]:-0} + 1)); done
        fi
        echo "$tree run $run/$runs, fonts $fonts: $((SECONDS - started)) s, $outcome"
    done
done
echo "=== $failed_runs of $((runs * $#)) runs failed"
for name in "${!failures[@]}"; do echo "$name: failed ${failures[$name]} times"; done
[ "$failed_runs" = 0 ]
