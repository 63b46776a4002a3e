#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-14 under AddressSanitizer in build/fuzz and
# runs each one for a bounded time (60 seconds, or the number of seconds given),
# starting from its seeds in fuzz/corpus/<target>. Inputs found along the way are
# kept in build/fuzz/corpus/<target>, never in the repository. Fails when a target
# crashes; the input is left in build/fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
out=build/fuzz

[ -f "$out/build.ninja" ] ||
    CC=clang-14 CXX=clang++-14 cmake -S fuzz -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$out" -j "$(nproc)"

status=0
for name in md5_buffer mapped_file; do
    mkdir -p "$out/corpus/$name" "$out/artifacts"
    log=$out/$name.log
    if "$out/${name}_fuzz" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$out/artifacts/$name-" \
        "$out/corpus/$name" "fuzz/corpus/$name" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        echo "fuzz: $name: ${runs:-?} inputs in ${seconds} s, no failure"
    else
        echo "fuzz: $name: FAILED (full log in $log)"
        grep -v '^INFO:\|^#[0-9]' "$log" | tail -40
        status=1
    fi
done
exit $status
