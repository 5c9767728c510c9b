#!/usr/bin/env bash
# For a throwaway machine only: installs and purges a system package, as root.
# Installs the package that ./package.sh made with apt-get, opens the metronome from its
# desktop entry's Exec line under a virtual display and waits for its window, runs
# tavro-plan --version, then purges the package together with whatever its installation
# pulled in, and checks that the system's files are as they were before. ./test.sh never
# runs it.
#   scripts/install-test.sh [DEB]     (default: build/package/tavro-metronome_*.deb)
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = "--on-display" ]; then
    # Under xvfb-run: the entry's command line, its field codes (%f, %U, ...) dropped.
    entry=$2
    command=$(sed -n 's/^Exec=//p' "$entry" | head -n 1 | sed 's/ %[a-zA-Z]//g')
    echo "Exec line: $command"
    export QT_QPA_PLATFORM=xcb
    home=$(mktemp -d)
    HOME=$home XDG_CONFIG_HOME=$home/.config XDG_CACHE_HOME=$home/.cache \
        XDG_DATA_HOME=$home/.local/share XDG_RUNTIME_DIR=$home/run \
        sh -c "exec $command" &
    app=$!
    trap 'kill "$app" 2>/dev/null || true; rm -rf "$home"' EXIT
    window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Tavro Metronome$' | head -n 1)
    [ -n "$window" ] || { echo "FAIL: no window of the metronome appeared" >&2; exit 1; }
    echo "window $window: '$(xdotool getwindowname "$window")'," \
        "$(xdotool getwindowgeometry "$window" | sed -n 's/^ *Geometry: //p') pixels"
    # SIGTERM ends the program as its close box does.
    kill -TERM "$app"
    status=0
    wait "$app" || status=$?
    echo "the metronome ended with status $status"
    [ "$status" -eq 0 ]
    exit 0
fi

[ "$(id -u)" -eq 0 ] || { echo "run as root, on a throwaway machine" >&2; exit 2; }
if [ $# -ge 1 ]; then
    deb=$1
else
    debs=(build/package/tavro-metronome_*.deb)
    deb=${debs[0]}
fi
[ -f "$deb" ] || { echo "no package: run ./package.sh first" >&2; exit 2; }
deb=$(realpath "$deb")
scripts/install-deps.sh xvfb xauth xdotool

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The system's files, apart from what changes by itself or holds no installed file.
snapshot() {
    find / -xdev \( -path /proc -o -path /sys -o -path /dev -o -path /run -o -path /tmp \
        -o -path /var/tmp -o -path /var/log -o -path /var/cache -o -path /var/lib/apt \
        -o -path /var/lib/dpkg -o -path /var/lib/systemd -o -path /root -o -path /home \
        -o -path /work \) -prune -o -print | sort
    # dpkg's own records of the installed packages, which a purge removes too.
    find /var/lib/dpkg/info | sort
}
packages() { dpkg-query -W -f '${Package}\n' | sort; }

snapshot >"$work/files.before"
packages >"$work/packages.before"

echo "== apt-get install $deb"
DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$deb"
packages >"$work/packages.installed"
added=$(comm -13 "$work/packages.before" "$work/packages.installed" | tr '\n' ' ')
echo "installed: $added"
dpkg-query -W -f 'Depends: ${Depends}\nRecommends: ${Recommends}\nInstalled-Size: ${Installed-Size} KiB\n' tavro-metronome

id=$(dpkg -L tavro-metronome | sed -n 's|^/usr/share/applications/\(.*\)\.desktop$|\1|p')
echo "== the metronome from the desktop entry $id.desktop"
xvfb-run -a -s "-screen 0 1024x768x24" "$0" --on-display "/usr/share/applications/$id.desktop"
echo "== tavro-plan --version"
tavro-plan --version
echo "== man -w"
man -w tavro-metronome tavro-plan

echo "== apt-get purge $added"
# shellcheck disable=SC2086  # one word per package
DEBIAN_FRONTEND=noninteractive apt-get purge -y -q $added
snapshot >"$work/files.after"
if ! diff "$work/files.before" "$work/files.after"; then
    echo "FAIL: the files above differ from before the installation" >&2
    exit 1
fi
packages | diff "$work/packages.before" - || { echo "FAIL: packages differ" >&2; exit 1; }
echo "== nothing left behind: $(wc -l <"$work/files.before") paths as before"
