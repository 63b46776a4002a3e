#!/bin/sh
# Runs a command on an X display: the current one where DISPLAY is set, else a
# virtual X server (Xvfb) made for the command alone and gone when it ends. With
# --new, on a virtual one of its own even where DISPLAY is set: for scripts that find
# windows and press keys on them, which must reach no user's desktop. Every script
# and build tree that shows Wine's windows makes its virtual display here.
#   scripts/with_display.sh [--new] [--screen WIDTHxHEIGHTxDEPTH] COMMAND [ARGUMENT...]
# A virtual display's screen is 1280x1024x24 unless --screen names another.
set -eu

usage="usage: $0 [--new] [--screen WIDTHxHEIGHTxDEPTH] COMMAND [ARGUMENT...]"
new=0
screen=1280x1024x24
while [ $# -gt 0 ]; do
    case $1 in
    --new) new=1; shift ;;
    --screen)
        [ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }
        screen=$2
        shift 2
        ;;
    *) break ;;
    esac
done
[ $# -gt 0 ] || { echo "$usage" >&2; exit 2; }

if [ "$new" = 0 ] && [ -n "${DISPLAY:-}" ]; then
    exec "$@"
fi
# -a: the first free display number, so that commands side by side each get their own.
exec xvfb-run -a -s "-screen 0 $screen" "$@"
