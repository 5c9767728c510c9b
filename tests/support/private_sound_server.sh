#!/usr/bin/env bash
# A private sound server for the tests: one null sink, "metro_null" (48 kHz), the default
# sink, and a PulseAudio socket in a directory of the caller's. The server sees only the
# environment it is given, so the caller points HOME and the XDG directories at private
# ones first.
#
# TAVRO_SOUND_SERVER picks the server:
#   pulseaudio  (the default) PulseAudio itself;
#   pipewire    PipeWire as desktops run it: pipewire, the session manager wireplumber
#               and pipewire-pulse (its PulseAudio server) on a session bus of their
#               own, the sink made with pactl as a user would. PipeWire's own socket is
#               DIR/pipewire-0 (PIPEWIRE_RUNTIME_DIR=DIR for its clients and pw-metadata).
#   pipewire-nosink
#               PipeWire as a desktop that runs PulseAudio may run it beside, for screen
#               sharing: pipewire and wireplumber, no sound device, no PulseAudio server.
#
#   private_sound_server.sh address DIR          prints the server's address (PULSE_SERVER)
#   private_sound_server.sh run DIR              becomes the server, in the foreground:
#                                                the caller owns the process and ends it
#                                                (TERM or INT; PipeWire's processes end
#                                                with it)
#   private_sound_server.sh wait DIR [SECONDS]   waits until the server answers with
#                                                metro_null as its default sink (20 s at
#                                                most), then prints its address
#   private_sound_server.sh programs             the programs that server needs
#
# TAVRO_SERVER_DEBUG_LOG=1: the server logs to standard error at debug level, which names
# every underrun of a stream (PipeWire: pipewire-pulse at debug level, the rest at info).
set -euo pipefail
command=${1:?command}
server=${TAVRO_SOUND_SERVER:-pulseaudio}
case $server in
pulseaudio | pipewire | pipewire-nosink) ;;
*)
    echo "private_sound_server.sh: unknown server $server (pulseaudio, pipewire or pipewire-nosink)" >&2
    exit 2 ;;
esac

if [ "$command" = programs ]; then
    case $server in
    pulseaudio) echo pulseaudio pactl pacat parecord ;;
    pipewire) echo pipewire wireplumber pipewire-pulse dbus-daemon pactl pw-metadata ;;
    pipewire-nosink) echo pipewire wireplumber dbus-daemon ;;
    esac
    exit 0
fi

dir=${2:?directory}
address="unix:$dir/native"

run_pulseaudio() {
    exec pulseaudio -n --daemonize=no --use-pid-file=no --exit-idle-time=-1 --log-target=stderr \
        ${TAVRO_SERVER_DEBUG_LOG:+--log-level=debug --log-time=1} \
        -L "module-null-sink sink_name=metro_null rate=48000 channels=2 format=s16le" \
        -L "module-native-protocol-unix auth-anonymous=1 socket=$dir/native"
}

# Four processes under this shell, which ends them all however it is ended (but KILL);
# if one of them ends, the server has failed and the rest are ended too.
pids=()  # global: the exit trap may run after the function has returned
run_pipewire() {
    local pid
    stop_all() {
        trap - EXIT TERM INT HUP
        for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill -TERM "${pids[i]}" 2>/dev/null || true; done
        for pid in "${pids[@]}"; do
            for _ in $(seq 20); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
            kill -KILL "$pid" 2>/dev/null || true
        done
    }
    trap stop_all EXIT
    trap 'exit 0' TERM INT HUP
    appears() { # PATH SECONDS: waits until the path exists
        local deadline=$((SECONDS + $2))
        until [ -e "$1" ]; do
            [ "$SECONDS" -lt "$deadline" ] || { echo "no $1" >&2; exit 1; }
            sleep 0.02
        done
    }

    export DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/bus" PIPEWIRE_RUNTIME_DIR=$dir
    export PIPEWIRE_LOG_SYSTEMD=false
    # Warnings only; in the debug log, pipewire-pulse tells every cycle a stream found
    # empty ("underrun read:... avail:..."), and the graph each change of its quantum.
    if [ -n "${TAVRO_SERVER_DEBUG_LOG:-}" ]; then
        export PIPEWIRE_DEBUG=3,mod.protocol-pulse:4
    else
        export PIPEWIRE_DEBUG=2
    fi
    # Each dies with this shell (setpriv), also when it is killed and cannot end them.
    setpriv --pdeathsig KILL dbus-daemon --session --nofork --nopidfile --address="$DBUS_SESSION_BUS_ADDRESS" &
    pids+=($!)
    appears "$dir/bus" 10
    setpriv --pdeathsig KILL pipewire &
    pids+=($!)
    appears "$dir/pipewire-0" 10
    setpriv --pdeathsig KILL wireplumber &
    pids+=($!)
    if [ "$server" = pipewire-nosink ]; then
        wait -n "${pids[@]}" || true
        echo "private_sound_server.sh: a process of the PipeWire server ended" >&2
        exit 1
    fi
    # The PulseAudio socket where the caller expects it, not in XDG_RUNTIME_DIR/pulse.
    sed "s|\"unix:native\"|\"$address\"|" /usr/share/pipewire/pipewire-pulse.conf \
        > "$dir/pipewire-pulse.conf"
    setpriv --pdeathsig KILL pipewire-pulse -c "$dir/pipewire-pulse.conf" &
    pids+=($!)
    appears "$dir/native" 10
    # The socket is there before the server has taken in the graph: until then it
    # refuses to make a sink ("Not supported"); and it cannot name a default sink before
    # the session manager has made the "default" metadata (also "Not supported"), which
    # takes seconds on a busy machine.
    retried() { # WHAT COMMAND...: runs the command until it succeeds, 15 s at most
        local what=$1 deadline=$((SECONDS + 15))
        shift
        until "$@" >/dev/null 2>&1; do
            [ "$SECONDS" -lt "$deadline" ] || { echo "no $what" >&2; exit 1; }
            sleep 0.1
        done
    }
    retried "null sink" env PULSE_SERVER="$address" pactl load-module module-null-sink \
        sink_name=metro_null rate=48000 channels=2 format=s16le
    retried "default sink" env PULSE_SERVER="$address" pactl set-default-sink metro_null
    wait -n "${pids[@]}" || true
    echo "private_sound_server.sh: a process of the PipeWire server ended" >&2
    exit 1
}

case $command in
address)
    echo "$address" ;;
run)
    "run_${server%-nosink}" ;;
wait)
    if [ "$server" = pipewire-nosink ]; then
        deadline=$((SECONDS + ${3:-20}))
        until [ -S "$dir/pipewire-0" ]; do
            [ "$SECONDS" -lt "$deadline" ] || exit 1
            sleep 0.01
        done
        echo "$dir/pipewire-0"
        exit 0
    fi
    # The socket appears while the server is still starting; it is ready once it names
    # metro_null its default sink. Tests wait on this while their clock runs, so it
    # polls finely.
    deadline=$((SECONDS + ${3:-20}))
    until [ -S "$dir/native" ] &&
        [ "$(PULSE_SERVER=$address pactl get-default-sink 2>/dev/null)" = metro_null ]; do
        [ "$SECONDS" -lt "$deadline" ] || exit 1
        sleep 0.01
    done
    echo "$address" ;;
*)
    echo "private_sound_server.sh: unknown command $command" >&2
    exit 2 ;;
esac
