#!/usr/bin/env bash
# Sets up, builds and starts Harnox under Wine, on the current display, or on a
# virtual X server when there is none: the shipped 32-bit program dist/harnox.exe
# under wine32 where this machine runs 32-bit x86 code, else the 64-bit program
# dist/x64/harnox.exe under wine64.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build_programs.sh >/dev/null

# Each build tree's wine-run.sh has its own Wine prefix, and starts a virtual X server
# itself when DISPLAY is not set.
if why_not=$(scripts/runs_x86_32.sh); then
    echo "run: the shipped 32-bit program, dist/harnox.exe, under wine32"
    program=dist/harnox.exe
    tree=build/program32
else
    echo "run: the 64-bit program, dist/x64/harnox.exe, under wine64, since $why_not"
    program=dist/x64/harnox.exe
    tree=build/program64
fi
if [ -z "${DISPLAY:-}" ]; then
    echo "run: no display, so Harnox runs under Xvfb, a virtual X server: its window cannot be seen."
    echo "run: end it with Ctrl+C."
fi

# Wine prints lines of its own as it makes a prefix and runs a program, errors among
# them on a good run (a 64-bit prefix without wine32 misses syswow64's programs):
# they are shown only when something fails.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# Wine stamps a prefix once it has made it.
if [ ! -f "$tree/wineprefix/.update-timestamp" ]; then
    echo "run: making the Wine prefix $tree/wineprefix (on the first run only; about a minute)"
    if ! "$tree/wine-run.sh" wineboot --init >"$log" 2>&1; then
        cat "$log" >&2
        echo "run: making the Wine prefix failed; Wine's own lines are above" >&2
        exit 1
    fi
fi
echo "run: starting $program"
status=0
"$tree/wine-run.sh" "$program" >"$log" 2>&1 || status=$?
if [ "$status" != 0 ]; then
    cat "$log" >&2
    echo "run: Harnox ended with status $status; Wine's own lines are above" >&2
fi
exit $status
