#!/usr/bin/env bash
# What a screen reader hears of a run, over AT-SPI on a private accessibility bus: the
# real program on a virtual display, and a listener that receives the events as a
# screen reader does. At 60 beats per minute every step and pass is announced; at 350,
# where a short plan changes speed and pass several times a second, announcements keep
# at least 2 s apart, leave out the passes, and end with the maximum.
#   screen_reader.sh PROGRAM
set -uo pipefail
program=$1
here=$(dirname "$0")
source "$here/headless_session.sh"
# Leaks are the unit tests' business; here a sanitizer build must only run and end cleanly.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0
for tool in Xvfb xdotool $(sound_server_tools); do
    command -v "$tool" > /dev/null ||
        { echo "skipped: the screen-reader run ($tool is not installed)"; exit 0; }
done
missing=$(accessibility_missing)
[ -z "$missing" ] || { echo "skipped: the screen-reader run ($missing)"; exit 0; }

trap session_end EXIT
session_begin
start_sound_server   # without one, a notice would stand over the boxes
start_display
start_accessibility_bus
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1

failures=0
fail() { session_log "FAIL: $*"; failures=$((failures + 1)); }

# Plays a run of 2/4, `bars` a pass, two passes a speed, for `seconds`; the
# notifications heard go to $heard, "seconds<TAB>name" from START.
play() {
    local start=$1 max=$2 linear=$3 bars=$4 seconds=$5
    heard=$session_dir/heard-$start
    LISTEN_SECONDS=$((seconds + 30)) /usr/bin/python3 "$here/atspi_listener.py" \
        object:state-changed:showing > "$session_dir/events" 2>&1 &
    local listener=$!
    started "$listener"
    wait_until 10 grep -q listening "$session_dir/events" || session_fail "the listener did not start"
    start_program "$program"
    click_at ${control_at[twofour]}
    set_box length "$bars"
    set_box intro 0
    set_box repeat 2
    set_box startspeed "$start"
    set_box maxspeed "$max"
    set_box skip 60   # larger than any linear increase, as START asks
    set_box linear "$linear"
    press START
    sleep "$seconds"
    press STOP
    click_at ${control_at[QUIT]}
    wait_until 5 program_ended || { fail "QUIT did not end the program"; stop_pid "$program_pid"; }
    kill "$listener" 2> /dev/null
    awk -F'\t' '$3 == "notification" { print $1 "\t" $4 }' "$session_dir/events" > "$heard"
    session_log "heard at $start to $max beats per minute, $seconds s:"
    sed 's/^/    /' "$heard" >&2
}

# Every announcement is a speed, a pass, or both, as the status shows them.
well_formed='^(Speed [0-9]+ beats per minute(, the maximum)?(, pass [0-9]+ of 2)?|Pass [0-9]+ of 2)$'
# The fewest seconds between two announcements.
closest() { awk -F'\t' 'NR > 1 { d = $1 - last; if (min == "" || d < min) min = d } { last = $1 } END { print (min == "" ? 99 : min) }' "$1"; }

said() { cut -f2 "$heard"; }

# 4 s a pass, 8 s a speed.
play 60 300 5 2 13
said | grep -v -E -q "$well_formed" && fail "60: an announcement out of form: $(said | grep -v -E "$well_formed" | head -1)"
[ "$(said | head -n 3 | tr '\n' '|')" = "Speed 60 beats per minute, pass 1 of 2|Pass 2 of 2|Speed 65 beats per minute, pass 1 of 2|" ] ||
    fail "60: not each step and pass said"
[ "$(wc -l < "$heard")" -le 4 ] || fail "60: $(wc -l < "$heard") announcements in 13 s"

# 0.34 s a pass, a step each 0.69 s until the maximum.
play 250 350 40 1 10
said | grep -v -E -q "$well_formed" && fail "350: an announcement out of form: $(said | grep -v -E "$well_formed" | head -1)"
count=$(wc -l < "$heard")
[ "$count" -ge 2 ] && [ "$count" -le 6 ] || fail "350: $count announcements in 10 s"
awk -v m="$(closest "$heard")" 'BEGIN { exit !(m >= 1.9) }' || fail "350: announcements $(closest "$heard") s apart"
said | tail -n +2 | grep -q -i "pass" && fail "350: passes of 0.34 s were said"
[ "$(said | tail -n 1)" = "Speed 351 beats per minute, the maximum" ] ||
    fail "350: the last announcement is not the maximum: $(said | tail -n 1)"

[ "$failures" -eq 0 ] || exit 1
echo "the screen reader hears the run: all checks passed"
