#!/usr/bin/env bash
# The real program as a native Wayland client, under Weston's headless backend (no X
# display at all): its window's title, app id (the desktop entry's) and size, its menus
# and the help window, and QUIT. A headless compositor has no input device, so the
# controls are worked over AT-SPI, as a screen reader user works them; what the program
# asks of the compositor is read from its Wayland log (WAYLAND_DEBUG).
#   wayland_window.sh PROGRAM
set -uo pipefail
program=$1
here=$(dirname "$0")
source "$here/headless_session.sh"
# Leaks are the unit tests' business; here a sanitizer build must only run and end cleanly.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0
plugin=$(find /usr/lib/*/qt6/plugins/platforms -name 'libqwayland-generic.so' 2> /dev/null | head -n 1)
command -v weston > /dev/null || { echo "skipped: the Wayland run (weston is not installed)"; exit 0; }
[ -n "$plugin" ] || { echo "skipped: the Wayland run (no Qt Wayland plugin: qt6-wayland)"; exit 0; }
missing=$(accessibility_missing)
[ -z "$missing" ] || { echo "skipped: the Wayland run ($missing)"; exit 0; }

trap session_end EXIT
session_begin
unset DISPLAY
export PULSE_SERVER=unix:$session_dir/absent
weston --backend=headless-backend.so --socket=tavro-wayland --idle-time=0 --width=1024 \
    --height=768 > "$session_dir/weston.log" 2>&1 &
started $!
wait_until 10 test -S "$XDG_RUNTIME_DIR/tavro-wayland" ||
    { cat "$session_dir/weston.log" >&2; session_fail "weston did not start"; }
export WAYLAND_DISPLAY=tavro-wayland
start_accessibility_bus

failures=0
fail() { session_log "FAIL: $*"; failures=$((failures + 1)); }
do_() { /usr/bin/python3 "$here/atspi_do.py" "$@"; }
log=$session_dir/wayland.log

# Wayland is the only display, and no platform is chosen: the program takes Wayland. No
# window decorations of Qt's own: the window's geometry is then its client area and menu
# bar alone, whatever the compositor draws around it.
unset QT_QPA_PLATFORM
QT_WAYLAND_DISABLE_WINDOWDECORATION=1 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
    WAYLAND_DEBUG=client "$program" > "$log" 2>&1 &
program_pid=$!
started "$program_pid"
wait_until 20 grep -q 'set_window_geometry' "$log" || { tail -n 20 "$log" >&2; session_fail "no window"; }
wait_until 10 do_ states "push button" QUIT || session_fail "the window's controls are not there"

grep -q 'set_title("Tavro Metronome")' "$log" || fail "the main window's title"
grep -q 'set_app_id("io.github.tavro.Metronome")' "$log" || fail "the app id: $(grep -o 'set_app_id([^)]*)' "$log")"
grep -q -i 'could not\|wayland.*fail\|abort' "$log" && fail "the log tells a failure: $(grep -i -m1 'could not\|fail\|abort' "$log")"
# The client area, 427 by 366 pixels, below the menu bar.
read -r width height < <(grep -o 'set_window_geometry(0, 0, [0-9]*, [0-9]*)' "$log" | head -n 1 |
    sed 's/.*(0, 0, \([0-9]*\), \([0-9]*\))/\1 \2/')
client=$("${TAVRO_FORM1_GEOMETRY:-$(dirname "$program")/../tests/support/form1-geometry}" | awk '$1 == "client" { print $4, $5 }')
[ "$width" = "${client% *}" ] && [ "$height" -gt "${client#* }" ] && [ "$height" -lt $((${client#* } + 60)) ] ||
    fail "the window is $width x $height, its client area $client"

# The Volume menu: High takes the check mark from Medium.
do_ press "menu item" High
sleep 0.3
do_ states "menu item" High | grep -q -w checked && ! do_ states "menu item" Medium | grep -q -w checked ||
    fail "Volume, High: $(do_ states "menu item" High) / Medium: $(do_ states "menu item" Medium)"
# Help, Instructions: a second window, the help window.
do_ press "menu item" Instructions
wait_until 10 grep -q 'set_title("Help")' "$log" || fail "the help window did not open"
wait_until 10 do_ states frame Help || fail "the help window is not on the accessibility bus"

# QUIT ends the program, help window and all, at once and with status 0.
began=$(date +%s%N)
do_ press "push button" QUIT
wait_until 5 program_ended || fail "QUIT did not end the program"
took=$((($(date +%s%N) - began) / 1000000))
wait "$program_pid"
status=$?
[ "$status" -eq 0 ] || { fail "QUIT: exit status $status"; grep -v "^\[" "$log" | tail -n 30 >&2; }
[ "$took" -lt 1000 ] || fail "QUIT took $took ms to end the program"
session_log "QUIT ended the program in $took ms (an AT-SPI call included)"

[ "$failures" -eq 0 ] || exit 1
echo "the Wayland window: all checks passed"
