#!/usr/bin/env bash
# Sets up, builds and starts Harnox under Wine, on the current display, or on a
# virtual X server when there is none: the shipped 32-bit program dist/harnox.exe
# under wine32 where this machine runs 32-bit x86 code, else the 64-bit program
# dist/x64/harnox.exe under wine64.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build_programs.sh >/dev/null

# Each build tree's wine-run.sh has its own Wine prefix, made when it first runs, and
# starts a virtual X server itself when DISPLAY is not set.
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
exec "$tree/wine-run.sh" "$program"
