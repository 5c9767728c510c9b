#!/usr/bin/env bash
# Installs the Debian packages the project needs, and only those that are missing, so a
# second run costs nothing.
#   scripts/install-deps.sh            what building and running the metronome need
#   scripts/install-deps.sh --tests    that, and what the tests need besides
# Further arguments name extra packages (the screenshots and the benchmarks need a few).
set -euo pipefail

# Building and running: the compiler and build tools, Qt Widgets, libpulse for the
# sound stream, libpipewire for the native PipeWire stream, the SVG plugin that draws the icon and the font the layout is drawn for.
packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libpulse-dev libpipewire-0.3-dev libqt6svg6
  fonts-liberation
)
# The tests: GoogleTest, private sound servers (PulseAudio, and PipeWire with its
# PulseAudio server, its session manager and a session bus), a virtual display driven
# from outside, clang with its sanitizer runtime for the fuzz targets, Google Benchmark
# for the engine benchmark, what packing and checking the Debian package takes, the
# tools that set a file's extended attributes and ACLs (which tavro-plan's track keeps),
# an accessibility bus with AT-SPI for Python (a screen reader's view of a run), and a
# headless Wayland compositor with Qt's Wayland plugin (the window as a Wayland client).
test_packages=(
  libgtest-dev libgmock-dev
  pulseaudio pulseaudio-utils
  pipewire pipewire-bin pipewire-pulse wireplumber dbus-daemon
  xvfb xauth xdotool python3
  clang libclang-rt-14-dev libbenchmark-dev
  dpkg-dev file librsvg2-bin desktop-file-utils appstream
  attr acl
  at-spi2-core python3-gi gir1.2-atspi-2.0
  weston qt6-wayland
)

if [ "${1:-}" = "--tests" ]; then
  shift
  packages+=("${test_packages[@]}")
fi
packages+=("$@")

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
