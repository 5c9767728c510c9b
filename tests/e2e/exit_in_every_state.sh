#!/usr/bin/env bash
# End to end: the real program ends cleanly however it is ended, in every state. Each
# case starts the program under a virtual display, brings it into a state (a run playing
# or paused, the help window open or hidden, the About box open), with or without a
# sound server, and ends it by QUIT, by the main window's close box (the message a
# window manager sends) or by SIGTERM (a desktop logout). Each time the process must
# end within a second with exit code 0, print no abort or error from the sound library,
# leave no process behind and no stream or client on the sound server.
#
#   exit_in_every_state.sh PROGRAM
set -uo pipefail
program=$1
source "$(dirname "$0")/headless_session.sh"

require_tools pulseaudio pacat pactl Xvfb xdotool python3
# Leaks are the unit tests' business; here a sanitizer build must only run and end cleanly.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0

session_begin
trap session_end EXIT
start_sound_server
start_display
server=$PULSE_SERVER

# What a window manager sends when the user clicks a window's close box: a
# WM_DELETE_WINDOW client message. There is no window manager here, so it is sent
# directly, with Xlib through Python's ctypes.
close_window() {
    python3 - "$1" <<'PY'
import ctypes, sys
x = ctypes.CDLL("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XOpenDisplay.argtypes = [ctypes.c_char_p]
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]
class Event(ctypes.Union):
    _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]
x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                         ctypes.POINTER(Event)]
x.XCloseDisplay.argtypes = [ctypes.c_void_p]
display = x.XOpenDisplay(None)
event = Event()
event.xclient.type = 33  # ClientMessage
event.xclient.window = int(sys.argv[1])
event.xclient.message_type = x.XInternAtom(display, b"WM_PROTOCOLS", 0)
event.xclient.format = 32
event.xclient.data[0] = x.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
x.XSendEvent(display, event.xclient.window, 0, 0, ctypes.byref(event))
x.XCloseDisplay(display)
PY
}

window_named() { xdotool search --onlyvisible --name "$1" | head -n 1; }
help_shown() { [ -n "$(window_named '^Help$')" ]; }
help_hidden() { ! help_shown; }
about_shown() { [ -n "$(window_named '^About$')" ]; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# The sound notice of a run without a server stands over STOP and PAUSE; the user
# closes it first.
sound_notice() { xdotool search --onlyvisible --name '^Tavro Metronome$' | grep -v -x "$main_id"; }
close_sound_notice() {
    wait_until 5 sound_notice || return 1
    close_window "$(sound_notice | head -n 1)"
    wait_until 5 sound_notice_gone
}
sound_notice_gone() { ! sound_notice; }

open_help_menu_item() {  # 1: Instructions, 2: About
    click_at 68 $((-menu_height / 2))
    sleep 0.3
    xdotool key --delay 60 $(printf 'Down %.0s' $(seq "$1")) Return
}

# Brings the program into a state; returns non-zero when it could not.
enter_state() {
    press START
    [ "$sound" = server ] || close_sound_notice || return 1
    case $1 in
    running) ;;
    paused) press PAUSE ;;
    help-open) open_help_menu_item 1 && wait_until 5 help_shown ;;
    help-hidden)
        open_help_menu_item 1 && wait_until 5 help_shown || return 1
        local X Y WIDTH HEIGHT WINDOW SCREEN
        eval "$(xdotool getwindowgeometry --shell "$(window_named '^Help$')")"
        xdotool mousemove $((X + 52)) $((Y + 300)) click 1   # OK
        wait_until 5 help_hidden && press PAUSE ;;
    about-open) open_help_menu_item 2 && wait_until 5 about_shown ;;
    esac
}

failures=()
case_failed() { failures+=("$name: $*"); session_log "FAIL $name: $*"; }

run_case() {
    local state=$1 ending=$2 sound=$3 failed=${#failures[@]}
    name="$state, $ending, $sound"
    local mark="tavro-exit-$RANDOM$RANDOM"
    if [ "$sound" = server ]; then export PULSE_SERVER=$server; else export PULSE_SERVER=unix:$session_dir/absent; fi
    # The mark follows every process the program may start, to find any left behind.
    TAVRO_EXIT_MARK=$mark start_program "$program"
    main_id=$(main_window)
    enter_state "$state" || { case_failed "could not reach the state"; stop_pid "$program_pid"; return; }
    sleep 0.3
    if [ "$sound" = server ] && ! wait_until 5 stream_open; then
        case_failed "no stream was open during the run"
    fi

    # The clock starts once the click, the message or the signal has been sent. Before
    # QUIT the main window comes up above the help window, as a click on it would bring it.
    case $ending in
    QUIT) xdotool windowraise "$main_id"; sleep 0.1; click_at ${control_at[QUIT]} ;;
    close) close_window "$main_id" ;;
    SIGTERM) kill -TERM "$program_pid" ;;
    esac
    local began=$(now_ms)
    until program_ended || [ $(($(now_ms) - began)) -gt 3000 ]; do sleep 0.02; done
    local took=$(($(now_ms) - began)) status=0
    if ! program_ended; then
        case_failed "still running after 3 s"
        stop_pid "$program_pid"
        return
    fi
    wait "$program_pid" || status=$?
    [ "$took" -le 1000 ] || case_failed "took $took ms to end"
    [ "$status" -eq 0 ] || case_failed "exit code $status"
    if grep -n -i -E 'assert|abort|AddressSanitizer|runtime error|pulse.*(fail|error)' \
            "$session_dir/program.log" >&2; then
        case_failed "the log above shows an error"
    fi
    local left
    left=$(grep -l -a -s -- "TAVRO_EXIT_MARK=$mark" /proc/[0-9]*/environ || true)
    [ -z "$left" ] || case_failed "processes left behind: $left"
    if [ "$sound" = server ]; then
        wait_until 2 no_stream_open || case_failed "a stream is left on the server"
        ! pactl list clients | grep -q "application.process.id = \"$program_pid\"" ||
            case_failed "a client is left on the server"
    fi
    [ ${#failures[@]} -gt "$failed" ] || session_log "ok   $name: ended in $took ms"
}

# Every state with every ending, with and without a sound server in turn, so each
# ending and each state meets both. While the modal About box is open, the main window
# takes no clicks and no close box: only a logout can end the program then.
states=(running paused help-open help-hidden)
endings=(QUIT close SIGTERM)
sounds=(server none)
for i in "${!states[@]}"; do
    for j in "${!endings[@]}"; do
        run_case "${states[i]}" "${endings[j]}" "${sounds[(i + j) % 2]}"
    done
done
run_case about-open SIGTERM server
run_case about-open SIGTERM none

if [ ${#failures[@]} -gt 0 ]; then
    printf 'FAILED: %s\n' "${failures[@]}" >&2
    exit 1
fi
echo "all $(( ${#states[@]} * ${#endings[@]} + 2 )) cases ended cleanly"
