#!/usr/bin/env bash
# Makes docs/harnox.png, a picture of the real window: the 64-bit program under
# wine64 on a virtual X server, after typing a text and pressing Calc MD5 with the
# keyboard; then docs/harnox-about.png, the About box opened from the system menu;
# then docs/harnox-cp936.png, the window as a user of Chinese (PRC) Windows sees it,
# in code page 936 with a CJK font: Chinese text typed into Source, too long by one
# character, and the message that refuses it. Needs imagemagick, xdotool and xclip,
# which it installs when missing.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != --on-display ]; then
    scripts/setup.sh
    missing=()
    for package in imagemagick xdotool xclip; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    fi
    # A build tree and program of its own, out of the way of scripts/build.sh's.
    [ -f build/screenshot/mingw64/build.ninja ] ||
        cmake -S . -B build/screenshot/mingw64 -G Ninja -DCMAKE_BUILD_TYPE=Release -DHARNOX_TESTS=OFF \
            -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake -DHARNOX_MINGW_THREADS=win32 \
            -DHARNOX_DIST_DIR="$PWD/build/screenshot/dist" >/dev/null
    cmake --build build/screenshot/mingw64 --target harnox -j "$(nproc)"
    exec scripts/with_display.sh --new --screen 1024x400x24 "$0" --on-display
fi

# Through the tree's runner (build/screenshot/mingw64/wine-run.sh): wine64's own loader
# and a Wine prefix of the tree's own. With no window manager on the virtual display,
# Wine draws the caption and frame itself only for windows it manages itself.
tree=build/screenshot/mingw64
wine=$tree/wine-run.sh
mkdir -p docs
"$wine" wineboot --init >/dev/null 2>&1
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

# Waits up to 20 s for the window with this caption and prints its id.
wait_for_window() {
    local found
    for _ in $(seq 100); do
        found=$(xdotool search --name "^$1\$" 2>/dev/null | head -n 1) && [ -n "$found" ] && { echo "$found"; return; }
        sleep 0.2
    done
    echo "screenshot: the window \"$1\" did not appear" >&2
    return 1
}

"$wine" build/screenshot/dist/x64/harnox.exe &
window=$(wait_for_window Harnox)
eval "$(xdotool getwindowgeometry --shell "$window")"

# The keys go to the window under the pointer: the focus starts in Source, and four
# Tabs reach Calc MD5.
xdotool mousemove $((X + WIDTH / 2)) $((Y + 8))
sleep 0.5
xdotool type --delay 30 'The quick brown fox jumps over the lazy dog'
xdotool key --delay 100 Tab Tab Tab Tab space
sleep 1
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage docs/harnox.png
echo "screenshot: docs/harnox.png (${WIDTH}x${HEIGHT})"

# About... is the system menu's last entry: Alt+Space opens the menu, Up wraps to it.
xdotool key --delay 200 alt+space Up Return
about=$(wait_for_window 'About Harnox Velkora')
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$about")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage docs/harnox-about.png
echo "screenshot: docs/harnox-about.png (${WIDTH}x${HEIGHT})"
WINEPREFIX="$PWD/$tree/wineprefix" /usr/lib/wine/wineserver -k
wait

# In the Chinese (PRC) locale, which setup makes, Wine gives the program code page 936.
LC_ALL=zh_CN.UTF-8 "$wine" build/screenshot/dist/x64/harnox.exe &
window=$(wait_for_window Harnox)
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + 8))
sleep 0.5
# Pasted, as a user brings in a long text (Wine makes no Chinese characters of the
# virtual keyboard's keys): 2048 characters, 4096 bytes in code page 936, two more
# than a Source may have.
text=
for _ in $(seq 256); do text+='你好世界再见世界'; done
printf '%s' "$text" | xclip -selection clipboard
xdotool key --delay 200 ctrl+v Home Tab Tab Tab Tab space
sleep 1
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage docs/harnox-cp936.png
echo "screenshot: docs/harnox-cp936.png (${WIDTH}x${HEIGHT})"
WINEPREFIX="$PWD/$tree/wineprefix" /usr/lib/wine/wineserver -k
