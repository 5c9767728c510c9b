#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, and only
# those that are missing, so a second run costs nothing. Scripts that need more (the
# screenshots, the benchmarks) name their extra packages as arguments.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev
  qt6-base-dev qt6-multimedia-dev libpulse-dev pulseaudio pulseaudio-utils
  libqt6svg6
  fonts-liberation
  xvfb xauth xdotool python3
  clang libclang-rt-14-dev libbenchmark-dev
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
