#!/usr/bin/env bash
# End to end: the real program plays a short run through a private null sink under a
# virtual display, set up and started by a user's clicks and keys. Every click recorded
# from the sink's monitor must lie exactly on the grid that metronome-trace gives for
# the same settings, across the speed steps up to the maximum, also after the whole
# program was stopped for 150 ms mid-run (a click or two may be lost then, and on a busy
# machine the server may drop the head of another one, but no later click may move). Also: no audio stream before START or after STOP, and QUIT ends the
# program cleanly.
#
# On PipeWire the program plays its own native stream, recorded by graph-record at its
# graph positions, and the run goes through more faults: the program stopped for 200 ms
# and for 60 ms, the PulseAudio server stopped for 40 ms, and the graph's quantum forced
# down (to TAVRO_FORCED_CYCLE frames, 256 unless told) and freed again. No click may move
# for any of them. With TAVRO_GRAPH_CYCLE=N the recorder asks the graph for N-frame
# cycles throughout, as a program beside the metronome may, and the graph is made to run
# its longest cycles for a while too, as when that program leaves.
#
#   [TAVRO_SOUND_SERVER=pulseaudio|pipewire] [TAVRO_GRAPH_CYCLE=N] [TAVRO_FORCED_CYCLE=N] \
#       play_on_null_sink.sh PROGRAM METRONOME_TRACE CLICK_ONSETS [GRAPH_RECORD]
set -euo pipefail
program=$1 trace_tool=$2 click_onsets=$3 graph_record_tool=${4:-}
source "$(dirname "$0")/headless_session.sh"
graph_record=$graph_record_tool
pipewire=false
[ "${TAVRO_SOUND_SERVER:-pulseaudio}" = pipewire ] && pipewire=true

require_tools $(sound_server_tools) Xvfb xdotool
# Leaks are the unit tests' business; here a sanitizer build must only run and end cleanly.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0

session_begin
trap session_end EXIT
start_sound_server
start_display
start_program "$program"
no_stream_open || session_fail "an audio stream is open before START"

# One bar of 4/4 per speed from 120 up by 30 to the cap at 350: eight speed steps in
# about 10 s, then the fastest speed. (The skip increase must exceed the linear one.)
declare -A settings=([length]=1 [intro]=0 [repeat]=1 [startspeed]=120 [maxspeed]=350 [linear]=30
                     [skip]=40)
script=$session_dir/run.trace
for box in "${!settings[@]}"; do
    set_box "$box" "${settings[$box]}"
    printf 'text %s "%s"\n' "$box" "${settings[$box]}" >> "$script"
done
printf 'start\ntick 100\n' >> "$script"
"$trace_tool" "$script" > "$session_dir/grid.txt"
! grep '^message' "$session_dir/grid.txt" || session_fail "START refuses these settings"

sleep 2   # the monitor capture has settled the null sink's latency
start_recording "$session_dir/clicks.wav"
press START
if $pipewire; then
    sleep 4
    stall_program 0.2
    sleep 2
    stall_program 0.06
    sleep 2
    kill -STOP "$(pipewire_pulse_pid)"; sleep 0.04; kill -CONT "$(pipewire_pulse_pid)"
    sleep 2
    force_quantum "${TAVRO_FORCED_CYCLE:-256}"
    sleep 2
    force_quantum 0
    sleep 3
    if [ -n "${TAVRO_GRAPH_CYCLE:-}" ]; then
        # The graph goes over to the longest cycle, as when the program that asked for
        # short ones leaves: the stream began on short cycles, and the next clicks must
        # still be published in time.
        force_quantum 2048
        sleep 3
        force_quantum 0
        sleep 2
    fi
else
    sleep 6
    stall_program 0.15
    sleep 6
fi
# The recording ends while the run still plays, so every beat it spans was due.
stop_recording
press STOP
wait_until 5 no_stream_open || session_fail "an audio stream is still open after STOP"

press QUIT
wait_until 10 program_ended || session_fail "the program did not end on QUIT"
status=0
wait "$program_pid" || status=$?
if [ "$status" -ne 0 ]; then
    cat "$session_dir/program.log" >&2
    session_fail "the program ended with status $status"
fi

"$click_onsets" --tolerance 0 --lost-clicks 4 "$session_dir/clicks.wav" "$session_dir/grid.txt"
