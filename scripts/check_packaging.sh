#!/bin/sh
# Checks the desktop integration: builds the .deb, then validates the launcher
# and the AppStream metainfo exactly as the package ships them and makes sure
# the package holds everything a desktop install needs.
#
#   scripts/check_packaging.sh            package a Release build (scripts/package.sh)
#   scripts/check_packaging.sh BUILD_DIR  package an existing, configured build
#                                         folder instead (the test build, say)
#
# Needs desktop-file-validate (desktop-file-utils), appstreamcli (appstream)
# and dpkg-deb. Exits non-zero on the first failed check.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)

fail() {
    echo "check_packaging: FAILED: $*" >&2
    exit 1
}
for tool in desktop-file-validate appstreamcli dpkg-deb cpack; do
    command -v "$tool" >/dev/null 2>&1 || fail "$tool is not installed"
done

if [ $# -ge 1 ]; then
    build=$(cd "$1" && pwd)
    [ -f "$build/CPackConfig.cmake" ] || fail "$build is not a configured build folder"
    cmake --build "$build" -j2 --target quendle-editor quendle-pedal-sim
    rm -f "$build"/quendle-editor_*.deb
    (cd "$build" && cpack -G DEB) >/dev/null || fail "cpack could not build the package"
else
    BUILD_DIR=${BUILD_DIR:-$root/build-package} "$root/scripts/package.sh" >/dev/null ||
        fail "scripts/package.sh could not build the package"
    build=${BUILD_DIR:-$root/build-package}
fi

deb=
for candidate in "$build"/quendle-editor_*.deb; do
    [ -f "$candidate" ] && deb=$candidate
done
[ -n "$deb" ] || fail "no quendle-editor_*.deb in $build"
echo "package: $deb"

# Everything a desktop install needs, where the desktop looks for it.
contents=$(dpkg-deb --contents "$deb" | awk '{ print $NF }')
for path in \
    ./usr/bin/quendle-editor \
    ./usr/bin/quendle-pedal-sim \
    ./usr/share/applications/quendle-editor.desktop \
    ./usr/share/icons/hicolor/scalable/apps/quendle-editor.svg \
    ./usr/share/metainfo/example.quendle.editor.metainfo.xml \
    ./usr/lib/udev/rules.d/60-quendle-mk3.rules; do
    printf '%s\n' "$contents" | grep -qx "$path" || fail "the package lacks $path"
done

depends=$(dpkg-deb --field "$deb" Depends)
for package in libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 libqt6network6 \
    libqt6svg6 qt6-qpa-plugins; do
    printf '%s\n' "$depends" | grep -q "$package" || fail "the package does not depend on $package"
done
[ "$(dpkg-deb --field "$deb" Section)" = sound ] || fail "the package's section is not sound"
dpkg-deb --info "$deb" | grep -q ' postinst ' || fail "the package has no postinst"

# Validate the files as shipped, not their sources.
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb --extract "$deb" "$unpacked"
desktop-file-validate "$unpacked/usr/share/applications/quendle-editor.desktop" ||
    fail "desktop-file-validate rejects the launcher"
appstreamcli validate --no-net "$unpacked/usr/share/metainfo/example.quendle.editor.metainfo.xml" ||
    fail "appstreamcli rejects the metainfo"

echo "check_packaging: all checks passed"
