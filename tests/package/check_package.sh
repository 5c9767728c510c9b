#!/usr/bin/env bash
# Makes the Debian package from an existing build with CPack (no second build: a few
# seconds) and checks what it holds: exactly the two programs, the desktop entry, the
# metadata, the icons, the manual pages, the copyright file and the changelog, under the
# desktop id (so no metronome-trace, and nothing from the build tree); the dependencies
# the tools cannot work out; and that the validators accept the entry and the metadata.
#   check_package.sh BUILD_DIR WORK_DIR APP_ID VERSION
set -euo pipefail
build=$(realpath "$1") work=$2 id=$3 version=$4

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

rm -rf "$work" && mkdir -p "$work" && work=$(realpath "$work")
if ! cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    exit 1
fi
debs=("$work"/tavro-metronome_"$version"_*.deb)
[ -f "${debs[0]}" ] || { echo "no tavro-metronome_${version}_*.deb in $work" >&2; exit 1; }
deb=${debs[0]}

# The files (directories aside) and nothing else.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort >"$work/files"
{
    printf '%s\n' ./usr/bin/tavro-metronome ./usr/bin/tavro-plan \
        "./usr/share/applications/$id.desktop" "./usr/share/metainfo/$id.metainfo.xml" \
        "./usr/share/icons/hicolor/scalable/apps/$id.svg" \
        ./usr/share/man/man1/tavro-metronome.1.gz ./usr/share/man/man1/tavro-plan.1.gz \
        ./usr/share/doc/tavro-metronome/copyright ./usr/share/doc/tavro-metronome/changelog.gz
    for size in 16 24 32 48 64 128 256; do
        echo "./usr/share/icons/hicolor/${size}x${size}/apps/$id.png"
    done
} | sort >"$work/expected"
diff -u "$work/expected" "$work/files" >&2 || fail "the package's files differ from the expected list (above)"

root="$work/root"
dpkg-deb -x "$deb" "$root"

# No text file names the build or the source tree.
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
if grep -rlIF -e "$build" -e "$source_dir" "$root" >&2; then
    fail "files above name the build or source tree"
fi

# The control fields the tools cannot work out.
depends=$(dpkg-deb -f "$deb" Depends)
for wanted in "fonts-liberation | fonts-liberation2" "qt6-svg-plugins | libqt6svg6 (<< 6.7.2-5)" \
    libqt6widgets6 libpulse0 \
    libpipewire-0.3-0; do
    case ", $depends," in
        *", $wanted"[\ ,\(]*) ;;
        *) fail "Depends lacks $wanted: $depends" ;;
    esac
done
[ "$(dpkg-deb -f "$deb" Recommends)" = "pipewire-pulse | pulseaudio, qt6-wayland" ] ||
    fail "Recommends: $(dpkg-deb -f "$deb" Recommends)"

# Every place that names the release or the desktop id agrees with the package.
[ "$(zcat "$root/usr/share/doc/tavro-metronome/changelog.gz" | head -n 1 | cut -d' ' -f1-2)" = \
  "tavro-metronome ($version)" ] || fail "the changelog's newest entry is not $version"
metainfo="$root/usr/share/metainfo/$id.metainfo.xml"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metadata has no release $version"
grep -q "<launchable type=\"desktop-id\">$id.desktop<" "$metainfo" || fail "launchable is not $id.desktop"
entry="$root/usr/share/applications/$id.desktop"
grep -qx "Icon=$id" "$entry" || fail "the desktop entry's icon is not $id"
[ "$("$root/usr/bin/tavro-plan" --version)" = "tavro-plan $version" ] || fail "tavro-plan --version"

# The icons are the sizes their folders say.
for size in 16 24 32 48 64 128 256; do
    file "$root/usr/share/icons/hicolor/${size}x${size}/apps/$id.png" | grep -q "PNG image data, $size x $size," ||
        fail "the ${size}px icon is not ${size}x${size}"
done

desktop-file-validate "$entry" >&2 || fail "desktop-file-validate"
appstreamcli validate --no-net --no-color "$metainfo" >"$work/appstream.log" 2>&1 ||
    { cat "$work/appstream.log" >&2; fail "appstreamcli validate"; }
for page in tavro-metronome tavro-plan; do
    warnings=$(man --warnings -l "$root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man page $page: $warnings"
done

[ "$failures" -eq 0 ] || { echo "$failures check(s) of the package failed" >&2; exit 1; }
echo "package $(basename "$deb"): $(wc -l <"$work/files") files, Depends: $depends"
