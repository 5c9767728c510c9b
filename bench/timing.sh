#!/usr/bin/env bash
# Timing benchmark of the real program: a private sound server with a null sink, the
# program under a virtual display set up and started with xdotool as a user would, the
# sink's monitor recorded and every click compared, to the sample, with the grid that
# metronome-trace expects for the same settings. Also CPU and memory. See bench/README.md.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

usage() {
    cat <<'EOF'
usage: bench/timing.sh [OPTIONS]
  --timing 44|34|24     time signature                        (default 44)
  --length N --intro N --repeat N                             (default 2, 0, 2)
  --start BPM --max BPM --linear BPM --skip BPM               (default 60, 350, 5, 30)
  --increase linear|skip                                      (default linear)
  --volume high|medium|low                                    (default medium)
  --duration S          seconds recorded after START          (default 600)
  --stopped S           seconds of CPU measured after STOP    (default 20)
  --load                two busy loops, one per core, for the whole run
  --hogs N              N busy loops instead of two (implies --load)
  --server NAME         sound server: pulseaudio or pipewire  (default pulseaudio)
  --route pulse         on PipeWire, the program plays through PipeWire's PulseAudio server
                        (libpulse), as where only that server's socket can be reached
  --server-log          keep the sound server's debug log (underruns) in the run's directory
  --stall-every S       stop the whole program for 150 ms every S seconds (SIGSTOP/SIGCONT);
                        up to two clicks lost per stall are allowed, no click may move
  --faults              a third into the run: the program stopped for 200 ms and for 60 ms,
                        and on PipeWire its PulseAudio server stopped for 40 ms and the
                        graph's quantum forced to 256 and freed; no click may move
  --cycle N             on PipeWire, the recorder asks the graph for N-frame cycles, as a
                        program beside the metronome may (a call, a browser); --faults then
                        forces the quantum to N/2 rather than 256
  --keep                keep the recording in the run's directory
Builds in build/bench (or $TAVRO_BUILD_DIR); results go to <build>/runs/<time>-<server>-<tag>/.
EOF
    exit 2
}

declare -A box=([length]=2 [intro]=0 [repeat]=2 [startspeed]=60 [maxspeed]=350 [linear]=5 [skip]=30)
timing=44 increase=linear volume=medium duration=600 stopped=20 load=0 hogs=2 stall_every=0 keep=0
faults=0 route="" cycle=""
server=pulseaudio
command_line="bench/timing.sh $*"
while [ $# -gt 0 ]; do
    case $1 in
        --timing) timing=$2 ;;
        --length|--intro|--repeat|--linear|--skip) box[${1#--}]=$2 ;;
        --start) box[startspeed]=$2 ;;
        --max) box[maxspeed]=$2 ;;
        --increase) increase=$2 ;;
        --volume) volume=$2 ;;
        --duration) duration=$2 ;;
        --stopped) stopped=$2 ;;
        --load) load=1; shift; continue ;;
        --hogs) load=1; hogs=$2 ;;
        --stall-every) stall_every=$2 ;;
        --server) server=$2 ;;
        --route) route=$2 ;;
        --cycle) cycle=$2 ;;
        --server-log) export TAVRO_SERVER_DEBUG_LOG=1; shift; continue ;;
        --keep) keep=1; shift; continue ;;
        --faults) faults=1; shift; continue ;;
        *) usage ;;
    esac
    [ $# -ge 2 ] || usage
    shift 2
done
case $timing in
    44) time_option=fourfour ;; 34) time_option=threefour ;; 24) time_option=twofour ;; *) usage ;;
esac
case $increase in linear|skip) increase_option=inc$increase ;; *) usage ;; esac
case $volume in high|medium|low) ;; *) usage ;; esac
case $server in pulseaudio|pipewire) export TAVRO_SOUND_SERVER=$server ;; *) usage ;; esac
if [ -n "$cycle" ]; then
    [ "$server" = pipewire ] || usage
    export TAVRO_GRAPH_CYCLE=$cycle TAVRO_FORCED_CYCLE=$((cycle / 2))
fi
[ -z "$route" ] || [ "$route" = pulse ] || usage
[[ $duration =~ ^[0-9]+$ && $stopped =~ ^[0-9]+$ && $duration -ge 10 && $hogs =~ ^[1-9][0-9]*$ &&
   $stall_every =~ ^[0-9]+$ ]] ||
    usage

scripts/install-deps.sh --tests
# The tree the program is built from (the summary is written at the end of the run).
commit="$(git log -1 --format=%h 2>/dev/null || echo '?')$(
    git diff --quiet HEAD 2>/dev/null || echo ' + uncommitted changes')"
build=${TAVRO_BUILD_DIR:-build/bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j 2 --target tavro-metronome metronome-trace click-onsets form1-geometry \
    graph-record
build=$(cd "$build" && pwd)
# A directory of the run's own: runs started in the same second (a pair side by side)
# must not record into one file.
mkdir -p "$build/runs"
runs=$(mktemp -d "$build/runs/$(date -u +%Y%m%d-%H%M%S)-$server-XXXX")

# The expected grid: enough ticks to cover the recording at the fastest possible speed.
script=$runs/run.trace
{
    printf 'option %s\noption %s\nvolume %s\n' "$time_option" "$increase_option" "$volume"
    for name in "${!box[@]}"; do printf 'text %s "%s"\n' "$name" "${box[$name]}"; done
    printf 'start\ntick %d\n' $((duration * 351 / 60 + 100))
} > "$script"
"$build/tools/metronome-trace/metronome-trace" "$script" > "$runs/grid.txt"
if grep '^message' "$runs/grid.txt" || ! grep -q '^tick ' "$runs/grid.txt"; then
    echo "START refuses these settings" >&2
    exit 2
fi
# The interval of the maximum speed (nearest integer, ties to even), and the seconds after
# START of the first beat that follows it, if the run gets there.
top_interval=$(awk -v max="${box[maxspeed]}" 'BEGIN { printf "%.0f", 60000 / max }')
top_reached=$(awk -v top="$top_interval" '
    /^interval/ { interval = $2; if (!started) { time = $2; started = 1 } }
    /^tick/ { if (last) time += ($2 - last) * after; last = $2; after = interval
              if (interval == top) { printf "%.3f\n", time / 1000; exit } }' "$runs/grid.txt")
top_reached=${top_reached:-never}
top="the maximum speed (${top_interval} ms)"
reached="$top $([ "$top_reached" = never ] && echo "not reached" || echo "from $top_reached s")"

source tests/e2e/headless_session.sh
graph_record=$build/tools/graph-record/graph-record
load_pids=()
finish() {
    local pid
    for pid in "${load_pids[@]}"; do stop_pid "$pid"; done
    [ -z "$session_dir" ] || cp "$session_dir"/*.log "$runs/" 2>/dev/null || true
    session_end
}
session_begin
trap finish EXIT
trap 'exit 130' INT TERM

now() { date +%s.%N; }
sleep_until() { sleep "$(awk -v t="$1" -v n="$(now)" 'BEGIN { printf "%.3f", (t > n ? t - n : 0) }')"; }
# CPU of process $1 between two samples "ticks time", as % of one core.
cpu_percent() {
    awk -v a="$2" -v b="$3" -v hz="$(getconf CLK_TCK)" 'BEGIN {
        split(a, x, " "); split(b, y, " ")
        printf "%.2f", (y[1] - x[1]) / hz / (y[2] - x[2]) * 100 }'
}
sample() { echo "$(cpu_ticks "$1") $(now)"; }
server_sample() { echo "$(server_cpu_ticks) $(now)"; }

start_sound_server
server_name=$(pactl info | sed -n 's/^Server Name: //p')
start_display
if [ "$load" = 1 ]; then
    for ((hog = 0; hog < hogs; hog++)); do
        nice -n 0 bash -c 'while :; do :; done' & load_pids+=($!)
    done
fi
if [ "$route" = pulse ]; then
    # No PipeWire socket where the program looks: it takes PipeWire's PulseAudio server.
    mkdir -p "$session_dir/no-pipewire"
    PIPEWIRE_RUNTIME_DIR=$session_dir/no-pipewire start_program "$build/app/tavro-metronome"
else
    start_program "$build/app/tavro-metronome"
fi
rss_start=$(resident_kib "$program_pid")
stream_before=$(stream_open && echo yes || echo no)

click_at ${control_at[$time_option]}
click_at ${control_at[$increase_option]}
for name in "${!box[@]}"; do set_box "$name" "${box[$name]}"; done
choose_volume "$volume"

sleep 2   # the monitor capture has settled the null sink's latency
start_recording "$runs/clicks.wav" $((duration + 120))
load_before=()
for pid in "${load_pids[@]}"; do load_before+=("$(sample "$pid")"); done
loadavg_start=$(cut -d ' ' -f 1-3 /proc/loadavg)
press START
started_at=$(now)
# Which way the stream went: PipeWire's PulseAudio server lists its own clients' streams
# with client.api "pipewire-pulse", the program's native stream without.
stream_route=libpulse
if [ "$server" = pipewire ]; then
    wait_until 5 stream_open || true
    LC_ALL=C pactl list sink-inputs | grep -q 'client.api = "pipewire-pulse"' ||
        stream_route="native PipeWire stream"
fi
echo "running: $duration s from START; $reached" >&2
stall_pid="" stalls=0
if [ "$stall_every" -gt 0 ]; then
    stalls=$((duration / stall_every))
    (for ((i = 0; i < stalls; i++)); do
        sleep "$stall_every"
        stall_program 0.15
    done) &
    stall_pid=$!; started "$stall_pid"
fi
fault_pid=""
if [ "$faults" = 1 ]; then
    stalls=$((stalls + 2))
    [ "$server" != pipewire ] || stalls=$((stalls + 2))
    (sleep $((duration / 3))
     stall_program 0.2; sleep 2
     stall_program 0.06; sleep 2
     if [ "$server" = pipewire ]; then
         kill -STOP "$(pipewire_pulse_pid)"; sleep 0.04; kill -CONT "$(pipewire_pulse_pid)"; sleep 2
         force_quantum "${TAVRO_FORCED_CYCLE:-256}"; sleep 2
         force_quantum 0
     fi) &
    fault_pid=$!; started "$fault_pid"
fi
# Memory once the run has settled, to tell growth from start-up.
rss_minute=""
if [ "$duration" -ge 120 ]; then
    sleep_until "$(awk -v s="$started_at" 'BEGIN { printf "%.3f", s + 60 }')"
    rss_minute=$(resident_kib "$program_pid")
fi

# CPU at the top speed: from 5 s after the plan reached it to the end of the recording.
window_from=$(awk -v s="$started_at" -v r="$top_reached" 'BEGIN { printf "%.3f", s + r + 5 }')
[ "$top_reached" != never ] ||
    window_from=$(awk -v s="$started_at" -v d="$duration" 'BEGIN { printf "%.3f", s + d }')
window_to=$(awk -v s="$started_at" -v d="$duration" 'BEGIN { printf "%.3f", s + d - 1 }')
cpu_top="n/a (not reached)" server_top="n/a" server_parts="" thread_parts=""
if awk -v a="$window_from" -v b="$window_to" 'BEGIN { exit !(b - a >= 10) }'; then
    sleep_until "$window_from"
    program_a=$(sample "$program_pid") server_a=$(server_sample)
    declare -A part_a=()
    for pid in $(pgrep -P "$server_pid"); do part_a[$pid]=$(sample "$pid"); done
    declare -A thread_a=()
    for task in /proc/"$program_pid"/task/*; do
        thread_a[${task##*/}]=$(sample "$program_pid/task/${task##*/}")
    done
    sleep_until "$window_to"
    program_b=$(sample "$program_pid") server_b=$(server_sample)
    server_parts=""
    for pid in "${!part_a[@]}"; do
        server_parts+=" $(cat "/proc/$pid/comm" 2>/dev/null) $(cpu_percent "$pid" "${part_a[$pid]}" "$(sample "$pid")") %,"
    done
    window=$(awk -v a="$window_from" -v b="$window_to" 'BEGIN { printf "%.0f", b - a }')
    cpu_top="$(cpu_percent "$program_pid" "$program_a" "$program_b") % of one core (over $window s)"
    thread_parts=""
    for task in /proc/"$program_pid"/task/*; do
        tid=${task##*/}
        [ -n "${thread_a[$tid]:-}" ] || continue
        thread_parts+=" $(cat "$task/comm" 2>/dev/null) $(cpu_percent "$program_pid/task/$tid" "${thread_a[$tid]}" "$(sample "$program_pid/task/$tid")") %,"
    done
    server_top="$(cpu_percent "$server_pid" "$server_a" "$server_b") % of one core"
fi
sleep_until "$(awk -v s="$started_at" -v d="$duration" 'BEGIN { printf "%.3f", s + d }')"
rss_end=$(resident_kib "$program_pid")
loadavg_end=$(cut -d ' ' -f 1-3 /proc/loadavg)
load_cpu=""
for i in "${!load_pids[@]}"; do
    load_cpu+=" $(cpu_percent "${load_pids[i]}" "${load_before[i]}" "$(sample "${load_pids[i]}")")%"
done
stop_recording
if [ -n "$stall_pid" ]; then
    stop_pid "$stall_pid"
    kill -CONT "$program_pid"
fi

press STOP
stream_after_stop=$(wait_until 5 no_stream_open && echo no || echo yes)
sleep 2
program_a=$(sample "$program_pid")
sleep "$stopped"
cpu_stopped=$(cpu_percent "$program_pid" "$program_a" "$(sample "$program_pid")")
stream_stopped_end=$(stream_open && echo yes || echo no)

press QUIT
quit_status="did not end within 10 s"
if wait_until 10 program_ended; then
    status=0; wait "$program_pid" || status=$?
    quit_status="ended, status $status"
fi

analysis=0
"$build/tools/click-onsets/click-onsets" --tolerance 0 --lost-clicks $((2 * stalls)) \
    "$runs/clicks.wav" "$runs/grid.txt" \
    > "$runs/onsets.txt" || analysis=$?
[ "$keep" = 1 ] || rm -f "$runs/clicks.wav"
field() { sed -n "s/^$1: //p" "$runs/onsets.txt"; }

{
    echo "== Tavro Metronome timing, $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores," \
        "commit $commit"
    echo "command: $command_line"
    echo "sound server: $server_name, null sink metro_null; the program's stream: $stream_route"
    [ -z "$cycle" ] || echo "graph: the recorder asks $cycle-frame cycles$([ "$faults" = 1 ] && echo " (the faults force $((cycle / 2)))")"
    echo "load: $([ "$load" = 1 ] && echo "$hogs busy loops, CPU$load_cpu" || echo none);" \
        "$([ "$stall_every" -gt 0 ] && echo "program stopped for 150 ms every $stall_every s;")" \
        "$([ "$faults" = 1 ] && echo "faults a third into the run (--faults);")" \
        "machine load average $loadavg_start at START, $loadavg_end at the end"
    echo "plan: ${timing:0:1}/${timing:1} length ${box[length]} intro ${box[intro]}" \
        "repeat ${box[repeat]}, start ${box[startspeed]} max ${box[maxspeed]}" \
        "linear ${box[linear]} skip ${box[skip]} ($increase), volume $volume;" \
        "$reached"
    echo "recording: $(field recording)"
    echo "clicks: $(field 'clicks found') found, $(field 'clicks expected') expected"
    echo "max deviation: $(field 'max deviation')"
    echo "drift: $(field drift)"
    echo "late clicks: $(field 'late clicks (> 1 ms)'), early: $(field 'early clicks (< -1 ms)')," \
        "missing: $(field 'missing clicks'), extra onsets: $(field 'extra onsets')"
    # The first few clicks off the grid, then every spacing between two clicks that is off
    # (a slip of the stream shows once there, however many clicks it moves).
    awk '/^extra onsets:/ { on = 1; next } /^spacing faults:/ { on = 0 } on && n++ < 5' "$runs/onsets.txt"
    echo "spacing faults (clicks off from the one before): $(field 'spacing faults')," \
        "adding up to $(field 'shift from spacing faults')"
    awk '/^shift from spacing faults:/ { on = 1; next } /^[^ ]/ { on = 0 } on' "$runs/onsets.txt"
    echo "CPU, program at $top: $cpu_top"
    echo "CPU, program's threads at $top:${thread_parts%,}"
    echo "CPU, sound server at $top: $server_top (all its processes:${server_parts%,})"
    [ "$server" != pipewire ] || echo "recorder: $(tail -n 1 "$session_dir/recorder.log" 2>/dev/null)"
    echo "CPU, program stopped: $cpu_stopped % of one core (over $stopped s, from 2 s after STOP)"
    echo "audio stream open: before START $stream_before, 5 s after STOP $stream_after_stop," \
        "at the end of the stopped time $stream_stopped_end"
    echo "resident memory: $rss_start KiB at start,${rss_minute:+ $rss_minute KiB 60 s after START,}" \
        "$rss_end KiB after the run"
    echo "QUIT: $quit_status"
    echo "result: $(field result)"
} | tee "$runs/summary.txt"
echo "details in $runs" >&2
exit "$analysis"
