#!/usr/bin/env bash
# Takes the pictures in docs/screenshots/ from the real program, driven from outside as
# a user would drive it: under a virtual X display (Xvfb) with a small window manager
# for title bars, xdotool for the mouse and keys, and ImageMagick's import to capture.
#
#   scripts/screenshots.sh            builds tavro-metronome and writes the PNGs
#   TAVRO_BUILD_DIR=dir scripts/...   builds in another directory (default build/screenshots)
#   TAVRO_SCREENSHOT_DIR=dir scripts/...   writes the PNGs there instead
#
# The controls are clicked where the window's layout table puts them (read through
# form1-geometry, tests/e2e/headless_session.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=${TAVRO_SCREENSHOT_DIR:-$root/docs/screenshots}
mkdir -p "$out" && out=$(cd "$out" && pwd)

if [ "${1:-}" != "--on-display" ]; then
    scripts/install-deps.sh --tests x11-utils imagemagick openbox
    build=${TAVRO_BUILD_DIR:-build/screenshots}
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" -j 2 --target tavro-metronome form1-geometry
    exec xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" \
        "$0" --on-display "$(cd "$build" && pwd)/app/tavro-metronome"
fi

program=$2
source tests/e2e/headless_session.sh
read_layout "$program"
export QT_QPA_PLATFORM=xcb
unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS

# A blank desktop background, so the captured windows stand out cleanly.
xsetroot -solid '#3a5f7a' 2>/dev/null || true
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
sleep 1
"$program" &
app=$!
trap 'kill "$app" "$wm" 2>/dev/null || true' EXIT

window_of() { xdotool search --sync --onlyvisible --name "$1" | head -n 1; }

# Left, top, width and height of a window's client area on the screen. (xwininfo's
# absolute position stays right under a reparenting window manager.)
geometry() {
    xwininfo -id "$1" | awk '
        /Absolute upper-left X/ {x = $4}
        /Absolute upper-left Y/ {y = $4}
        /Width:/  {w = $2}
        /Height:/ {h = $2}
        END {print x, y, w, h}'
}

# Captures the screen area of window $1 with its frame and title bar.
capture() {
    local id=$1 file=$2
    local ax ay w h left right top bottom
    read -r ax ay w h < <(geometry "$id")
    read -r left right top bottom < <(xprop -id "$id" _NET_FRAME_EXTENTS |
        sed 's/.*= //; s/,//g')
    import -window root \
        -crop "$((w + left + right))x$((h + top + bottom))+$((ax - left))+$((ay - top))" \
        +repage "$out/$file"
    echo "wrote $out/$file"
}

main=$(window_of '^Tavro Metronome$')
sleep 1
read -r mainX mainY mainW mainH < <(geometry "$main")
menu_height=$((mainH - client_height))
client_x=$mainX client_y=$((mainY + menu_height))   # where click_at counts from

# A run at 120 beats per minute, caught in the piece after the introduction.
click_at ${control_at[startspeed]}
xdotool key ctrl+a type --delay 40 "120"
click_at ${control_at[START]}
sleep 5.8
capture "$main" main-window-running.png

# The Volume menu, open over the window.
click_at 24 $((-menu_height / 2))
sleep 0.8
capture "$main" volume-menu.png
xdotool key Escape
sleep 0.3

# The About box, from the Help menu.
click_at 72 $((-menu_height / 2))
sleep 0.5
xdotool key Down Down Return
about=$(window_of '^About$')
sleep 0.8
capture "$about" about-box.png
xdotool key Return
sleep 0.3

# The help window on one topic, scrolled down by two pages.
click_at 72 $((-menu_height / 2))
sleep 0.5
xdotool key Down Return
help=$(window_of '^Help$')
sleep 0.8
read -r X Y WIDTH HEIGHT < <(geometry "$help")
xdotool mousemove $((X + 52)) $((Y + 100)) click 1          # "Building Speed"
sleep 0.3
xdotool mousemove $((X + WIDTH - 12)) $((Y + HEIGHT - 60)) click 1 sleep 0.3 click 1
sleep 0.8
capture "$help" help-window-scrolled.png
