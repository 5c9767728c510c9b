#!/usr/bin/env bash
# A private PulseAudio server for the tests: one null sink, "metro_null" (48 kHz), and a
# socket in a directory of the caller's. The server sees only the environment it is
# given, so the caller points HOME and the XDG directories at private ones first.
#
#   private_sound_server.sh address DIR          prints the server's address (PULSE_SERVER)
#   private_sound_server.sh run DIR              becomes the server, in the foreground:
#                                                the caller owns the process and ends it
#   private_sound_server.sh wait DIR [SECONDS]   waits until the server answers (20 s at
#                                                most), then prints its address
#
# TAVRO_SERVER_DEBUG_LOG=1: the server logs at debug level (underruns of each stream).
set -euo pipefail
command=${1:?command} dir=${2:?directory}
address="unix:$dir/native"

case $command in
address)
    echo "$address" ;;
run)
    exec pulseaudio -n --daemonize=no --use-pid-file=no --exit-idle-time=-1 --log-target=stderr \
        ${TAVRO_SERVER_DEBUG_LOG:+--log-level=debug --log-time=1} \
        -L "module-null-sink sink_name=metro_null rate=48000 channels=2 format=s16le" \
        -L "module-native-protocol-unix auth-anonymous=1 socket=$dir/native" ;;
wait)
    # The socket appears with the server's last module; the server answers once it is
    # through starting. Tests wait on this while their clock runs, so it polls finely.
    deadline=$((SECONDS + ${3:-20}))
    until [ -S "$dir/native" ] && PULSE_SERVER=$address pactl info >/dev/null 2>&1; do
        [ "$SECONDS" -lt "$deadline" ] || exit 1
        sleep 0.01
    done
    echo "$address" ;;
*)
    echo "private_sound_server.sh: unknown command $command" >&2
    exit 2 ;;
esac
