#!/usr/bin/env bash
# Installs the build into a scratch prefix and packages it as a .deb, then
# checks that both hold every file a desktop needs, in the standard places:
# the programs, the pictures (and none of them in bin/), the menu entry, the
# icons, the AppStream metainfo, the man page. The menu entry must pass
# desktop-file-validate, the metainfo appstreamcli validate, the man page
# groff without a warning, and the package must install under /usr with its
# library dependencies filled in by dpkg-shlibdeps, its man page compressed,
# and pass lintian without an error.
#
#   check_install.sh BUILD_DIR
set -uo pipefail

build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# --- cmake --install
prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1 ||
    { cat "$scratch/install.log"; fail "cmake --install failed"; }

expected=(
    bin/tessel-audio-player
    bin/tessel-play
    share/applications/tessel-audio-player.desktop
    share/icons/hicolor/scalable/apps/tessel-audio-player.svg
    share/metainfo/org.tesselprograms.TesselAudioPlayer.metainfo.xml
    share/man/man1/tessel-play.1
)
for size in 16 22 24 32 48 64 128 256 512; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/tessel-audio-player.png")
done
# Every picture the build draws beside the programs, at every scale.
pictures=0
while IFS= read -r -d '' picture; do
    expected+=("share/tessel-audio-player/pictures/$(basename "$picture")")
    pictures=$((pictures + 1))
done < <(find "$build/bin" -maxdepth 1 -name '*.png' -print0)
[ $pictures -gt 100 ] || fail "only $pictures pictures in $build/bin: is the build complete?"
for f in "${expected[@]}"; do
    [ -f "$prefix/$f" ] || fail "cmake --install did not install $f"
done
for f in "${expected[@]:0:2}"; do
    [ -x "$prefix/$f" ] || fail "$f is not executable"
done
stray=$(find "$prefix/bin" -type f ! -name 'tessel-*')
[ -z "$stray" ] || fail "files in bin/ that are no programs: $stray"

for size in 16 256 512; do
    png=$prefix/share/icons/hicolor/${size}x${size}/apps/tessel-audio-player.png
    # PNG width and height, big-endian at bytes 16 and 20.
    read -r w h < <(od -An -tu1 -j16 -N8 "$png" |
        awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
    [ "$w x $h" = "$size x $size" ] || fail "the ${size} px icon is $w x $h"
done

desktop-file-validate "$prefix/share/applications/tessel-audio-player.desktop" ||
    fail "desktop-file-validate rejects the menu entry"

metainfo=$prefix/share/metainfo/org.tesselprograms.TesselAudioPlayer.metainfo.xml
appstreamcli validate --no-net "$metainfo" >"$scratch/appstream.log" 2>&1 ||
    { cat "$scratch/appstream.log"; fail "appstreamcli validate rejects the metainfo"; }
# The metainfo and the menu entry must name each other's application.
launchable=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "$metainfo")
[ -f "$prefix/share/applications/$launchable" ] ||
    fail "the metainfo launches '$launchable', which is not installed"

warnings=$(groff -man -ww -z "$prefix/share/man/man1/tessel-play.1" 2>&1)
[ -z "$warnings" ] || fail "groff warns about the man page: $warnings"
grep -q '@VERSION@' "$prefix/share/man/man1/tessel-play.1" &&
    fail "the man page still says @VERSION@"

# --- cpack -G DEB
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/package" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log"; fail "cpack -G DEB failed"; }
deb=$(find "$scratch/package" -maxdepth 1 -name '*.deb' | head -n1)
if [ -z "$deb" ]; then
    fail "cpack made no .deb"
else
    contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
    outside=$(grep -v -E '^\./(usr/.*)?$' <<<"$contents")
    [ -z "$outside" ] || fail "the package installs outside /usr: $outside"
    for f in "${expected[@]}"; do
        # Debian compresses man pages; the installed tree keeps them plain.
        [[ $f == share/man/* ]] && f=$f.gz
        grep -qx "./usr/$f" <<<"$contents" || fail "the package lacks /usr/$f"
    done
    for f in copyright changelog.gz; do
        grep -qx "./usr/share/doc/tessel-audio-player/$f" <<<"$contents" ||
            fail "the package lacks /usr/share/doc/tessel-audio-player/$f"
    done
    # Errors only: warnings and notes are for the maintainer to weigh.
    lintian --fail-on error "$deb" >"$scratch/lintian.log" 2>&1 ||
        { cat "$scratch/lintian.log"; fail "lintian finds errors in the package"; }
    depends=$(dpkg-deb -f "$deb" Depends)
    for lib in libqt6widgets6 libqt6dbus6 libqt6network6 libavformat libsdl2 libc6; do
        grep -q "$lib" <<<"$depends" || fail "the package does not depend on $lib: $depends"
    done
fi

if [ $failures -gt 0 ]; then
    echo "$failures problem(s)"
    exit 1
fi
echo "install tree and package complete"
