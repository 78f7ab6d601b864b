#!/usr/bin/env bash
# check_package.sh BUILD_DIR: cpack -G DEB, then look inside the package.
set -euo pipefail
build="$1"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
cd "$build"
cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log"; exit 1; }
deb=$(ls "$out"/ringlark_*.deb)
contents=$(dpkg-deb -c "$deb")
status=0
for want in ./usr/bin/ringlark \
            ./usr/share/applications/ringlark.desktop \
            ./usr/share/icons/hicolor/16x16/apps/ringlark.png \
            ./usr/share/icons/hicolor/32x32/apps/ringlark.png; do
    if grep -q " $want\$" <<<"$contents"; then
        echo "ok: $want"
    else
        echo "MISSING: $want"; status=1
    fi
done
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libqt6widgets6 libqt6network6 libqt6dbus6; do
    grep -q "$lib" <<<"$depends" || { echo "MISSING dependency: $lib"; status=1; }
done
exit $status
