#!/usr/bin/env bash
# Builds the project on Debian 13 (trixie), whose PipeWire (1.4) is newer than the one
# bookworm has, in a chroot of its own, and runs tests or installs a package there.
# As root:
#   scripts/newer-pipewire.sh [OPTIONS] [DIR]
#     DIR            the chroot (default: build/trixie), made with debootstrap on the first
#                    run and reused after; its mirror is the one this machine's apt uses
#     --jobs N       build with N jobs (default 1); everything runs under nice -n 19
#     --werror       build with -DTAVRO_WERROR=ON (-Wall -Wextra are always on)
#     --no-build     neither configure nor build (with --test, --list, --package)
#     --rev REV      build the committed REV (git archive) rather than the working tree,
#                    in /build-rev rather than /build, e.g. while the tree is half edited
#     --list REGEX   list the tests ctest sees whose names match REGEX
#     --test REGEX   run them: ctest -R REGEX --output-on-failure, e.g. 'PipeWire|pipewire'
#     --package DEB  install DEB in the chroot with apt-get, show what each of its
#                    dependencies resolved to, play a run with the installed program on
#                    a private PipeWire (the end-to-end test, with the build's tools),
#                    then purge it again
#     --shell        a shell in the chroot, with everything mounted, once the rest is done
# The source tree is mounted read-only at /src in the chroot and built in /build
# (DIR/build here), as a RelWithDebInfo build with the tests; build.log there keeps the
# compiler's output of the last build. Leave DIR with `rm -rf` only while no run of
# this script is under way (it unmounts /proc, /dev, /sys and /src when it ends).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

usage() { sed -n '2,/^set -euo/{/^set -euo/d;s/^# \{0,1\}//;p}' "$0"; exit "${1:-0}"; }

dir="" jobs=1 werror=OFF build=1 list="" test="" deb="" shell=0 rev=""
while [ $# -gt 0 ]; do
    case $1 in
    --jobs) jobs=${2:?--jobs N}; shift ;;
    --jobs=*) jobs=${1#*=} ;;
    --werror) werror=ON ;;
    --no-build) build=0 ;;
    --rev) rev=${2:?--rev REV}; shift ;;
    --list) list=${2:?--list REGEX}; shift ;;
    --test) test=${2:?--test REGEX}; shift ;;
    --package) deb=${2:?--package DEB}; shift ;;
    --shell) shell=1 ;;
    -h | --help) usage ;;
    -*) echo "newer-pipewire.sh: unknown option $1" >&2; usage 2 >&2 ;;
    *) [ -z "$dir" ] || usage 2 >&2; dir=$1 ;;
    esac
    shift
done
[[ $jobs =~ ^[1-9][0-9]*$ ]] || { echo "--jobs takes a number" >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || { echo "run as root (debootstrap, chroot and mount need it)" >&2; exit 2; }
if [ -n "$deb" ]; then
    [ -f "$deb" ] || { echo "no such package: $deb" >&2; exit 2; }
    deb=$(realpath "$deb")
fi
dir=$(realpath -m "${dir:-$root/build/trixie}")
source=$root bdir=/build
if [ -n "$rev" ]; then
    commit=$(git -C "$root" rev-parse --verify "$rev^{commit}")
    source=$dir/src-rev bdir=/build-rev
fi

# Low priority for the processor and the disk: others measure timing on this machine.
renice -n 19 -p $$ >/dev/null
ionice -c3 -p $$ 2>/dev/null || true

# What building and testing take, by their names on trixie (scripts/install-deps.sh has
# bookworm's): the fuzz targets' clang is left out, this script does not build them.
# util-linux (setpriv), bsdutils (script) and procps (pgrep) are no longer essential.
packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev libpulse-dev libpipewire-0.3-dev libqt6svg6 qt6-svg-plugins
    fonts-liberation
    libgtest-dev libgmock-dev libbenchmark-dev
    pulseaudio pulseaudio-utils
    pipewire pipewire-bin pipewire-pulse wireplumber dbus-daemon
    xvfb xauth xdotool python3
    dpkg-dev file librsvg2-bin desktop-file-utils appstream
    util-linux bsdutils procps
)
# The versions this script reports.
reported=(pipewire libpipewire-0.3-dev wireplumber qt6-base-dev g++ cmake)

# The mirror, and the security archive, that this machine's apt sources name: the
# first archive whose path ends in /debian, and the first one of debian-security.
host_uris() {
    local f
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] && sed -n 's/^URIs:[[:space:]]*//p' "$f" | tr ' ' '\n'
    done
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$f" ] && awk '$1 == "deb" { for (i = 2; i <= NF; i++) if ($i ~ /^[a-z+]+:\/\//) { print $i; break } }' "$f"
    done
    return 0
}
mirror=$(host_uris | grep -E '/debian/?$' | head -n 1 || true)
security=$(host_uris | grep -E '/debian-security/?$' | head -n 1 || true)
[ -n "$mirror" ] || { echo "no Debian mirror in /etc/apt/sources*" >&2; exit 1; }
keyring=/usr/share/keyrings/debian-archive-keyring.gpg

mkdir -p "$dir"
exec 9>"$dir.lock"
flock -n 9 || { echo "another run uses $dir" >&2; exit 1; }

# In the chroot: a clean environment, and neither services nor questions.
in_chroot() {
    chroot "$dir" /usr/bin/env -i \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        HOME=/root LANG=C.UTF-8 TERM="${TERM:-dumb}" DEBIAN_FRONTEND=noninteractive "$@"
}
took() { echo "   ($1: $(($(date +%s) - $2)) s)"; }

# ---- the chroot ------------------------------------------------------------------------
if [ ! -e "$dir/.trixie-ready" ]; then
    if [ -n "$(ls -A "$dir")" ]; then
        echo "$dir is neither empty nor a finished chroot: remove it (rm -rf) and run again" >&2
        exit 1
    fi
    if ! command -v debootstrap >/dev/null; then
        apt-get update -q
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends debootstrap
    fi
    echo "== debootstrap: trixie (minbase) into $dir"
    start=$(date +%s)
    debootstrap --variant=minbase --keyring="$keyring" trixie "$dir" "$mirror"
    {
        printf 'Types: deb\nURIs: %s\nSuites: trixie trixie-updates\nComponents: main\nSigned-By: %s\n' \
            "$mirror" "$keyring"
        [ -z "$security" ] ||
            printf '\nTypes: deb\nURIs: %s\nSuites: trixie-security\nComponents: main\nSigned-By: %s\n' \
                "$security" "$keyring"
    } >"$dir/etc/apt/sources.list.d/debian.sources"
    rm -f "$dir/etc/apt/sources.list"
    # Packages start no services here (pipewire, dbus).
    printf '#!/bin/sh\nexit 101\n' >"$dir/usr/sbin/policy-rc.d"
    chmod 755 "$dir/usr/sbin/policy-rc.d"
    touch "$dir/.trixie-ready"
    took "chroot made" "$start"
fi
cp -L --remove-destination /etc/resolv.conf "$dir/etc/resolv.conf" 2>/dev/null || true

# ---- the mounts, undone however the script ends -------------------------------------------
mounted=()
unmount_all() {
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        umount -R "${mounted[i]}" 2>/dev/null || umount -R -l "${mounted[i]}" 2>/dev/null ||
            echo "could not unmount ${mounted[i]}" >&2
    done
    mounted=()
}
trap unmount_all EXIT
trap 'exit 130' INT TERM HUP
mount_at() { # TARGET MOUNT-ARGUMENTS...
    local target=$dir$1
    shift
    mkdir -p "$target"
    # One left by a run that was killed is made afresh.
    if mountpoint -q "$target"; then umount -R "$target" 2>/dev/null || umount -R -l "$target"; fi
    mount "$@" "$target"
    mounted+=("$target")
}
mount_at /proc -t proc proc
mount_at /sys --rbind /sys
mount --make-rslave "$dir/sys"
mount_at /dev --rbind /dev  # with /dev/pts and /dev/shm, which PipeWire's buffers use
mount --make-rslave "$dir/dev"
if [ -n "$rev" ] && [ "$(cat "$source/.commit" 2>/dev/null)" != "$commit" ]; then
    # Its files dated now, so that the build takes in every change from the last one.
    echo "== source: $rev ($commit)"
    rm -rf "$source"
    mkdir -p "$source"
    git -C "$root" archive "$commit" | tar -x -m -C "$source"
    echo "$commit" >"$source/.commit"
fi
mount_at /src --bind "$source"
mount -o remount,bind,ro "$dir/src"

# ---- the packages ------------------------------------------------------------------------
missing=()
for p in "${packages[@]}"; do
    in_chroot dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "== installing in the chroot: ${missing[*]}"
    start=$(date +%s)
    in_chroot apt-get update -q
    in_chroot apt-get install -y -q --no-install-recommends "${missing[@]}"
    in_chroot apt-get clean
    took "packages installed" "$start"
fi
echo "== trixie's versions"
for p in "${reported[@]}"; do
    printf '   %-22s %s\n' "$p" "$(in_chroot dpkg-query -W -f='${Version}' "$p")"
done
printf '   %-22s %s\n' "g++ -dumpfullversion" "$(in_chroot g++ -dumpfullversion)"

# ---- the build ---------------------------------------------------------------------------
mkdir -p "$dir$bdir"
if [ "$build" = 1 ]; then
    echo "== build: RelWithDebInfo, tests on, -Werror $werror, $jobs job(s)"
    start=$(date +%s)
    in_chroot cmake -S /src -B "$bdir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTAVRO_TESTS=ON -DTAVRO_WERROR="$werror"
    status=0
    in_chroot nice -n 19 cmake --build "$bdir" -j "$jobs" 2>&1 | tee "$dir$bdir/build.log" ||
        status=$?
    warnings=$(grep -c 'warning:' "$dir$bdir/build.log" || true)
    echo "   compiler warnings in this build: $warnings ($dir$bdir/build.log)"
    took "build" "$start"
    [ "$status" -eq 0 ] || { echo "the build failed" >&2; exit "$status"; }
fi

# ---- the tests -----------------------------------------------------------------------------
if [ -n "$list" ]; then
    in_chroot ctest --test-dir "$bdir" -N -R "$list"
fi
if [ -n "$test" ]; then
    echo "== tests: $test"
    in_chroot QT_QPA_PLATFORM=offscreen ctest --test-dir "$bdir" -R "$test" --output-on-failure
fi

# ---- a package -----------------------------------------------------------------------------
if [ -n "$deb" ]; then
    name=$(dpkg-deb -f "$deb" Package)
    echo "== package: $(basename "$deb") ($name)"
    echo "   Depends: $(dpkg-deb -f "$deb" Depends)"
    echo "   Recommends: $(dpkg-deb -f "$deb" Recommends)"
    cp "$deb" "$dir/tmp/"
    inside=/tmp/$(basename "$deb")
    in_chroot apt-get update -q >/dev/null
    echo "   what apt-get would install besides (with the Recommends):"
    in_chroot apt-get install -s "$inside" | sed -n 's/^Inst /     /p'
    in_chroot apt-get install -y -q "$inside"
    # Each dependency, and the package and version on trixie that meets it.
    echo "   resolved:"
    dpkg-deb -f "$deb" Depends Recommends | sed 's/^[A-Za-z]*: //' | tr ',' '\n' |
        sed 's/^ *//;s/ *$//' | grep -v '^$' | while read -r clause; do
        found=""
        IFS='|' read -ra alternatives <<<"$clause"
        for alternative in "${alternatives[@]}"; do
            p=$(sed 's/^ *//;s/[ (].*//;s/:any$//' <<<"$alternative")
            # A package of that name, or an installed one that provides it (t64 libraries).
            v=$(in_chroot dpkg-query -W -f='${Status} ${Version}' "$p" 2>/dev/null |
                sed -n 's/^install ok installed //p')
            if [ -n "$v" ]; then found="$p $v"; break; fi
            by=$(in_chroot dpkg-query -W -f='${Package} ${Version} ${Status} ${Provides}\n' |
                awk -v p="$p" '!found && /install ok installed/ && $0 ~ ("(^| |,)" p "( |,|$)") { print $1, $2; found = 1 }')
            if [ -n "$by" ]; then found="$by (provides $p)"; break; fi
        done
        printf '     %-55s -> %s\n' "$clause" "${found:-NOT INSTALLED}"
    done
    in_chroot dpkg-query -W -f='   installed: ${Package} ${Version} ${Status}\n' "$name"
    echo "   a run of the installed program on PipeWire:"
    play=0
    tools=$bdir/tools
    in_chroot TAVRO_SOUND_SERVER=pipewire TAVRO_FORM1_GEOMETRY="$bdir/tests/support/form1-geometry" \
        bash /src/tests/e2e/play_on_null_sink.sh \
        /usr/bin/tavro-metronome "$tools/metronome-trace/metronome-trace" \
        "$tools/click-onsets/click-onsets" "$tools/graph-record/graph-record" || play=$?
    echo "   the run: $([ "$play" -eq 0 ] && echo passed || echo "failed ($play)")"
    in_chroot apt-get purge -y -q "$name" >/dev/null
    in_chroot apt-get autoremove --purge -y -q >/dev/null
    rm -f "$dir$inside"
    echo "   purged again"
fi

if [ "$shell" = 1 ]; then
    in_chroot bash -l || true
fi
