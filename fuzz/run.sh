#!/usr/bin/env bash
# Builds the three fuzz targets with clang and runs each for a short while on a copy
# of its seed corpus.  Usage: fuzz/run.sh [SECONDS_PER_TARGET]   (default 10)
# FUZZ_BUILD_DIR chooses the build directory (default build/fuzz). Inputs that break a
# property are kept in $FUZZ_BUILD_DIR/artifacts; the exit status is that of the
# first target that failed.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-10}
build=${FUZZ_BUILD_DIR:-build/fuzz}
targets=(number_text start_press trace_script)

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTAVRO_FUZZ=ON -DTAVRO_GUI=OFF >/dev/null
cmake --build "$build" -j 2 --target "${targets[@]/#/fuzz_}"

mkdir -p "$build/artifacts"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for target in "${targets[@]}"; do
  echo "== fuzz_$target: $seconds s"
  cp -r "fuzz/corpus/$target" "$work/$target"
  if ! "$build/fuzz/fuzz_$target" "$work/$target" -max_total_time="$seconds" -timeout=10 \
      -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
      2>"$work/$target.log"; then
    tail -n 40 "$work/$target.log"
    [ "$status" -ne 0 ] || status=1
  fi
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$work/$target.log" || true
done
exit "$status"
