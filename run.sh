#!/usr/bin/env bash
# Installs what is missing, builds, and opens the metronome.
# Where there is no display, run it as: xvfb-run ./run.sh
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRO_TESTS=OFF
cmake --build build/release -j "$(nproc)" --target tavro-metronome
exec build/release/app/tavro-metronome
