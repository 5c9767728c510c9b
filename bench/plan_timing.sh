#!/usr/bin/env bash
# Times tavro-plan where it has to be fast: the longest plan the window accepts (999 bars,
# 8 introduction bars, 999 passes, 4/4, 30 up to 350 in steps of 1: over a billion beats)
# printed as a table and as CSV, and a 60-minute click track written to a WAV file.
#   bench/plan_timing.sh [PATH/TO/tavro-plan]
# Without a path it builds tavro-plan (RelWithDebInfo, no windows) in build/plan-bench,
# or in $TAVRO_BUILD_DIR. Prints the best and the median of several runs.
set -euo pipefail
cd "$(dirname "$0")/.."

plan=${1:-}
if [ -z "$plan" ]; then
    build=${TAVRO_BUILD_DIR:-build/plan-bench}
    launcher=()
    command -v ccache > /dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRO_GUI=OFF \
        "${launcher[@]}" > /dev/null
    cmake --build "$build" --target tavro-plan > /dev/null
    plan=$build/plan/tavro-plan
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Milliseconds of wall-clock time for each of $1 runs of the rest, sorted.
times_of() {
    local runs=$1; shift
    for _ in $(seq "$runs"); do
        local began ended
        began=$(date +%s%N)
        "$@" > /dev/null
        ended=$(date +%s%N)
        echo $(((ended - began) / 1000000))
    done | sort -n
}

report() {
    local label=$1; shift
    local times
    mapfile -t times < <(times_of "$@")
    printf '%-44s best %6d ms, median %6d ms of %d runs\n' "$label" "${times[0]}" \
        "${times[$((${#times[@]} / 2))]}" "${#times[@]}"
}

longest=(--length 999 --intro 8 --repeat 999 --time 4/4 --start 30 --max 350 --linear 1)
echo "tavro-plan: $plan ($(git rev-parse --short HEAD 2>/dev/null || echo '?'))"
"$plan" "${longest[@]}" | tail -2
report "longest plan, table and summary:" 9 "$plan" "${longest[@]}"
report "longest plan, CSV:" 9 "$plan" "${longest[@]}" --csv
report "longest plan as a skip plan (skip 60), table:" 9 "$plan" "${longest[@]}" --increase skip --skip 60
report "60-minute click track (default plan):" 5 "$plan" --wav "$scratch/hour.wav" --seconds 3600
echo "click track: $(stat -c %s "$scratch/hour.wav") bytes, written to $(df --output=source,fstype "$scratch" | tail -1)"
