# Sourced by the end-to-end test and by bench/timing.sh: the real program on a private
# sound server (PulseAudio, or PipeWire with TAVRO_SOUND_SERVER=pipewire) with a null sink
# and a virtual X display, driven from outside as a user drives it (xdotool clicks and
# keys at the layout's positions).
#
# Everything started here is ended by session_end, by process id, in reverse order;
# the caller traps it on EXIT. Nothing here touches a desktop's own sound server or
# display: the server, its clients and the program see only private directories.

session_dir=""
session_pids=()
server_pid=""
display_pid=""
keepalive_pid=""
program_pid=""
recorder_pid=""
client_x=0 client_y=0   # top-left of the main window's client area on the screen
menu_height=0

session_log() { printf '%s\n' "$*" >&2; }
session_fail() { session_log "FAIL: $*"; exit 1; }

# Fails the session unless every named tool is installed.
require_tools() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || session_fail "$tool is not installed (scripts/install-deps.sh)"
    done
}

# Runs "$@" every 0.1 s until it succeeds or `seconds` have passed.
wait_until() {
    local seconds=$1; shift
    local deadline=$((SECONDS + seconds))
    until "$@" >/dev/null 2>&1; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

# Private directories for the server and the program; an autospawned server would escape
# the clean-up, so clients may not start one.
session_begin() {
    session_dir=$(mktemp -d "${TMPDIR:-/tmp}/tavro-session.XXXXXX")
    mkdir -m 700 -p "$session_dir/run" "$session_dir/config" "$session_dir/home"
    export XDG_RUNTIME_DIR=$session_dir/run XDG_CONFIG_HOME=$session_dir/config
    export HOME=$session_dir/home
    export PULSE_SERVER=$(bash "$(sound_server_script)" address "$session_dir")
    # PipeWire's clients look for its socket here: the private server's, or none.
    export PIPEWIRE_RUNTIME_DIR=$session_dir
    unset PIPEWIRE_REMOTE
    printf 'autospawn = no\n' > "$session_dir/client.conf"
    export PULSE_CLIENTCONFIG=$session_dir/client.conf
}

stop_pid() {
    local pid=$1 i
    kill -0 "$pid" 2>/dev/null || return 0
    kill -TERM "$pid" 2>/dev/null || true
    for i in $(seq 30); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

session_end() {
    local i
    [ -z "$recorder_pid" ] || kill -INT "$recorder_pid" 2>/dev/null || true
    for ((i = ${#session_pids[@]} - 1; i >= 0; i--)); do stop_pid "${session_pids[i]}"; done
    session_pids=()
    [ -z "$session_dir" ] || rm -rf "$session_dir"
}

started() { session_pids+=("$1"); }

# The private sound server's script (its commands take the session's directory).
sound_server_script() { echo "$(dirname "${BASH_SOURCE[0]}")/../support/private_sound_server.sh"; }

# The sound server with the null sink metro_null (its log: sound-server.log). PulseAudio's
# null sink with only lazy clients renders up to 2 s ahead of the clock, so a low-latency
# capture of its monitor is held open for the whole session; PipeWire's plays in real time.
start_sound_server() {
    bash "$(sound_server_script)" run "$session_dir" 2>"$session_dir/sound-server.log" &
    server_pid=$!; started "$server_pid"   # the server, or the shell its processes run under
    bash "$(sound_server_script)" wait "$session_dir" >/dev/null ||
        { cat "$session_dir/sound-server.log" >&2; session_fail "the sound server did not start"; }
    [ "${TAVRO_SOUND_SERVER:-pulseaudio}" = pulseaudio ] || return 0
    pacat --record -d metro_null.monitor --rate=8000 --channels=1 --latency-msec=10 >/dev/null &
    keepalive_pid=$!; started "$keepalive_pid"
}

# The programs the chosen sound server and the recordings need.
sound_server_tools() { bash "$(sound_server_script)" programs; }

# A virtual display on a display number of its own choosing (no race with other servers).
start_display() {
    # -noreset: the server must not restart when the last client (a program that just
    # ended) goes, or the next program of the session may find no display.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp -noreset 3>"$session_dir/display" \
        2>"$session_dir/xvfb.log" &
    display_pid=$!; started "$display_pid"
    wait_until 20 test -s "$session_dir/display" ||
        { cat "$session_dir/xvfb.log" >&2; session_fail "Xvfb did not start"; }
    export DISPLAY=:$(head -n 1 "$session_dir/display")
}

# Why AT-SPI cannot be used here (its bus launcher, or AT-SPI for Python, is missing), or
# nothing where it can.
accessibility_missing() {
    local tool
    for tool in dbus-daemon /usr/libexec/at-spi-bus-launcher /usr/bin/python3; do
        command -v "$tool" > /dev/null || { echo "$tool is not installed"; return; }
    done
    /usr/bin/python3 -c 'import gi; gi.require_version("Atspi", "2.0")' 2> /dev/null ||
        echo "no AT-SPI for Python (python3-gi, gir1.2-atspi-2.0)"
}

# A session bus of the session's own with an accessibility bus beside it, as a desktop
# with assistive technology runs them: Qt finds the accessibility bus through it.
start_accessibility_bus() {
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$session_dir/bus"
    dbus-daemon --session --nofork --nopidfile --address="$DBUS_SESSION_BUS_ADDRESS" 2> /dev/null &
    started $!
    wait_until 10 test -S "$session_dir/bus" || session_fail "the session bus did not start"
    /usr/libexec/at-spi-bus-launcher --launch-immediately 2> /dev/null &
    started $!
}

main_window() { xdotool search --onlyvisible --name '^Tavro Metronome$' | head -n 1; }

# Where the main window's controls stand: control_at[name] is the centre of each in the
# client area, "x y" in pixels, the buttons also by their captions (START, STOP, PAUSE,
# QUIT); client_height is the client area's height. All from the window's layout table,
# as form1-geometry prints it; that helper is built with the tests in the build tree of
# PROGRAM ($1), or named by TAVRO_FORM1_GEOMETRY (an installed program has no build tree).
declare -A control_at=()
client_height=0
read_layout() {
    local geometry layout name left top width height
    geometry=${TAVRO_FORM1_GEOMETRY:-$(dirname "$1")/../tests/support/form1-geometry}
    layout=$("$geometry") || session_fail "$geometry did not run (build the target form1-geometry)"
    while read -r name left top width height; do
        control_at[$name]="$((left + width / 2)) $((top + height / 2))"
        [ "$name" != client ] || client_height=$height
    done <<< "$layout"
    local caption
    for caption in START=Command2 STOP=Command3 PAUSE=Command4 QUIT=Command1; do
        control_at[${caption%=*}]=${control_at[${caption#*=}]}
    done
}

# Starts the program and waits for its main window; finds the window's client area,
# which lies below the menu bar, and where the controls stand in it.
start_program() {
    read_layout "$1"
    QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR= QT_SCREEN_SCALE_FACTORS= QT_AUTO_SCREEN_SCALE_FACTOR=0 \
        "$1" >"$session_dir/program.log" 2>&1 &
    program_pid=$!; started "$program_pid"
    wait_until 30 main_window ||
        { cat "$session_dir/program.log" >&2; session_fail "the main window did not appear"; }
    sleep 0.5   # let it settle where it was placed
    local X Y WIDTH HEIGHT WINDOW SCREEN
    eval "$(xdotool getwindowgeometry --shell "$(main_window)")"
    menu_height=$((HEIGHT - client_height))
    client_x=$X
    client_y=$((Y + menu_height))
}

# Stops the whole program for $1 seconds (default 0.15), as a machine that swaps would:
# longer than its sound stream's buffer.
stall_program() { kill -STOP "$program_pid"; sleep "${1:-0.15}"; kill -CONT "$program_pid"; }

# Whether the program has ended (a child that has ended stays a zombie until the shell
# reaps it, which it may do at any moment: a stat file that is gone by the time it is read
# is an ended program too).
program_ended() {
    local state
    state=$(awk '{ sub(/^.*\) /, ""); print $1 }' "/proc/$program_pid/stat" 2>/dev/null) || return 0
    [ -z "$state" ] || [ "$state" = Z ]
}

# Clicks at a point of the client area, in pixels.
click_at() { xdotool mousemove $((client_x + $1)) $((client_y + $2)) click 1; }

press() { click_at ${control_at[$1]}; sleep 0.2; }

set_box() {
    click_at ${control_at[$1]}
    xdotool key --delay 30 ctrl+a BackSpace
    xdotool type --delay 30 "$2"
    sleep 0.1
}

# Chooses an item of the Volume menu with the keyboard, as the menu shows them.
choose_volume() {
    local downs
    case $1 in high) downs=1 ;; medium) downs=2 ;; low) downs=3 ;; *) return 1 ;; esac
    click_at 24 $((-menu_height / 2))
    sleep 0.4
    xdotool key --delay 80 $(printf 'Down %.0s' $(seq "$downs")) Return
    sleep 0.3
}

# Records the monitor of the null sink to a WAV file until stop_recording; returns once
# samples are arriving. On PipeWire the recorder is graph-record (its path in
# $graph_record), which places every buffer at its graph position and reports its own
# gaps (in recorder.log); on PulseAudio, parecord.
graph_record=""
start_recording() {
    if [ "${TAVRO_SOUND_SERVER:-pulseaudio}" = pipewire ]; then
        [ -x "$graph_record" ] || session_fail "graph-record is not built"
        # TAVRO_GRAPH_CYCLE: the cycle the recorder asks, as another program beside the
        # metronome (a call, a browser) would ask a short one of the graph.
        "$graph_record" --target metro_null --seconds "${2:-3700}" \
            ${TAVRO_GRAPH_CYCLE:+--latency "$TAVRO_GRAPH_CYCLE"} "$1" 2>"$session_dir/recorder.log" &
        recorder_pid=$!; started "$recorder_pid"
        wait_until 20 pw_stream_named graph-record || session_fail "the recording did not start"
        sleep 0.5
        return
    fi
    parecord -d metro_null.monitor --rate=48000 --channels=1 --format=s16le \
        --file-format=wav --latency-msec=20 "$1" 2>"$session_dir/parecord.log" &
    recorder_pid=$!; started "$recorder_pid"
    wait_until 20 holds_samples "$1" ||
        session_fail "the recording did not start"
}

# Whether a WAV file holds more than its header and 50 ms of samples.
holds_samples() { [ "$(stat -c %s "$1" 2>/dev/null || echo 0)" -gt 4844 ]; }

stop_recording() {
    kill -INT "$recorder_pid" 2>/dev/null || true
    wait "$recorder_pid" 2>/dev/null || true
    recorder_pid=""
    [ ! -s "$session_dir/recorder.log" ] || cat "$session_dir/recorder.log" >&2
}

# Whether a PipeWire stream of that application name exists (as pactl lists it).
pw_stream_named() { LC_ALL=C pactl list source-outputs | grep -q "application.name = \"$1\""; }

# The PipeWire server's PulseAudio server process, and its settings (the graph's quantum).
pipewire_pulse_pid() { pgrep -P "$server_pid" -x pipewire-pulse; }
force_quantum() { pw-metadata -n settings 0 clock.force-quantum "$1" >/dev/null; }

# Whether the program has an audio stream open on the server.
stream_open() { [ -n "$(pactl list short sink-inputs)" ]; }
no_stream_open() { ! stream_open; }

# CPU time of a process so far, in clock ticks (all its threads), and its resident memory.
cpu_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"; }
# The same for the sound server: its process and those under it (PipeWire's four).
server_cpu_ticks() {
    local pid total=0
    for pid in "$server_pid" $(pgrep -P "$server_pid"); do
        total=$((total + $(cpu_ticks "$pid" 2>/dev/null || echo 0)))
    done
    echo "$total"
}
resident_kib() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
