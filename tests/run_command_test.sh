#!/usr/bin/env bash
# The README's run command as a user starts it: scripts/run.sh must bring up the
# Harnox window, of the shipped 32-bit program where this machine's kernel runs 32-bit
# x86 code and of the 64-bit program elsewhere, and closing the window with Alt+F4
# must end the command with status 0, having printed only its own lines: Wine's (such
# as "wine: failed to open ... c0000135" while it makes its prefix) read as a failure
# to a newcomer. On a virtual X server of its own, where the window can be found and
# the keys pressed. The last line printed is the outcome.
set -uo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != --on-display ]; then
    exec scripts/with_display.sh --new --screen 1024x768x24 "$0" --on-display
fi

if scripts/runs_x86_32.sh >/dev/null; then
    expected_class=1 program="the shipped 32-bit program" prefix=build/program32/wineprefix
else
    expected_class=2 program="the 64-bit program" prefix=build/program64/wineprefix
fi
log=$(mktemp)
cleanup() {
    WINEPREFIX="$PWD/$prefix" /usr/lib/wine/wineserver -k 2>/dev/null
    rm -f "$log"
}
trap cleanup EXIT
fail() {
    echo "--- what scripts/run.sh printed:"
    cat "$log"
    echo "failed: $*"
    exit 1
}

scripts/run.sh >"$log" 2>&1 &
run=$!

# The first start makes the Wine prefix, which takes up to a minute or so. The window
# is named as soon as it is made, before it takes keys; its icon (Wine's _NET_WM_ICON)
# is set once the dialog is made and shown, so the keys wait for that.
window=
for _ in $(seq 900); do
    window=$(xdotool search --name '^Harnox$' 2>/dev/null | head -n 1)
    [ -n "$window" ] && xprop -id "$window" _NET_WM_ICON 2>/dev/null | grep -q Icon && break
    kill -0 "$run" 2>/dev/null || { wait "$run"; fail "scripts/run.sh ended with status $? before the Harnox window came up"; }
    sleep 0.2
done
[ -n "$window" ] || fail "the Harnox window did not come up within 180 s"

# Which loader runs the window's process: the ELF class of its executable, 1 for
# 32-bit and 2 for 64-bit.
pid=$(xdotool getwindowpid "$window" 2>/dev/null)
class=$(od -An -j4 -N1 -tu1 "/proc/$pid/exe" 2>/dev/null | tr -d ' ')
loader=$(readlink "/proc/$pid/exe" 2>/dev/null)
[ "$class" = "$expected_class" ] ||
    fail "the window is of a process of ELF class ${class:-unknown} (${loader:-no executable}), not of $program"

# The keys go to the window under the pointer.
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
xdotool key alt+F4
for _ in $(seq 150); do
    kill -0 "$run" 2>/dev/null || break
    sleep 0.2
done
kill -0 "$run" 2>/dev/null && fail "Alt+F4 did not end the program within 30 s"
wait "$run"
code=$?
[ "$code" = 0 ] || fail "closing the window ended scripts/run.sh with status $code, not 0"
wine_lines=$(grep -Ev '^(run|setup|build): ' "$log")
[ -z "$wine_lines" ] || fail "scripts/run.sh printed lines of Wine's own on a good run: $(head -n 1 <<<"$wine_lines")"
echo "the window of $program came up under ${loader} and closing it ended the command with status 0"
