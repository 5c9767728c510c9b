#!/usr/bin/env bash
# Builds the Debian package: a release build of its own in build/package, then CPack,
# which writes build/package/tavro-metronome_<version>_<arch>.deb. Install it with
#   sudo apt-get install ./build/package/tavro-metronome_*.deb
set -euo pipefail
cd "$(dirname "$0")"

# dpkg-dev and file: dpkg-shlibdeps works out the package's Depends from the programs;
# librsvg2-bin: rsvg-convert draws the PNG icons from the SVG.
scripts/install-deps.sh dpkg-dev file librsvg2-bin

build=build/package
# Debian's own compiler and linker flags, with every hardening feature: -O2, fortified
# functions, stack protection, read-only relocations bound at start-up, and no build
# paths in the binaries. (The release type adds only NDEBUG, not its own -O3.)
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVRO_TESTS=OFF \
    -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG \
    -DCMAKE_EXE_LINKER_FLAGS="$ldflags" -DCMAKE_STRIP="$PWD/packaging/strip-program.sh"
cmake --build "$build" -j "$(nproc)"
rm -f "$build"/*.deb
cpack --config "$build/CPackConfig.cmake" -B "$build"
ls "$build"/*.deb
