#!/usr/bin/env bash
# check_package.sh BUILD_DIR: cpack -G DEB, then look inside the package: the program and
# its desktop files, its papers (copyright, changelog, manual page), the systemd user unit,
# dependencies from the shared libraries, and no lintian errors.
set -euo pipefail
build="$1"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
cd "$build"
cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log"; exit 1; }
deb=$(ls "$out"/ringlark_*.deb)
contents=$(dpkg-deb -c "$deb")
status=0
fail() { echo "$*"; status=1; }
for want in ./usr/bin/ringlark \
            ./usr/share/applications/ringlark.desktop \
            ./usr/share/icons/hicolor/16x16/apps/ringlark.png \
            ./usr/share/icons/hicolor/32x32/apps/ringlark.png \
            ./usr/share/doc/ringlark/copyright \
            ./usr/share/doc/ringlark/changelog.gz \
            ./usr/share/doc/ringlark/README.md.gz \
            ./usr/share/man/man1/ringlark.1.gz \
            ./usr/lib/systemd/user/ringlark.service \
            ./usr/share/ringlark/autostart/ringlark.desktop; do
    if grep -q " $want\$" <<<"$contents"; then
        echo "ok: $want"
    else
        fail "MISSING: $want"
    fi
done
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libqt6widgets6 libqt6network6 libqt6dbus6 libqrencode4; do
    grep -q "$lib" <<<"$depends" || fail "MISSING dependency: $lib"
done
grep -q fonts-noto-cjk <<<"$(dpkg-deb -f "$deb" Recommends)" || fail "MISSING: Recommends fonts-noto-cjk"

mkdir "$out/root"
dpkg-deb -x "$deb" "$out/root"
exec_start=$(grep '^ExecStart=' "$out/root/usr/lib/systemd/user/ringlark.service" || true)
[ "$exec_start" = "ExecStart=/usr/bin/ringlark --headless" ] || fail "unit: $exec_start"
grep -qx 'RestartPreventExitStatus=3 4' "$out/root/usr/lib/systemd/user/ringlark.service" \
    || fail "unit: restarts after status 3 or 4"
version=$(dpkg-deb -f "$deb" Version)
zcat "$out/root/usr/share/doc/ringlark/changelog.gz" | head -n 1 | grep -qF "ringlark ($version)" \
    || fail "changelog does not start with version $version"

if command -v lintian >/dev/null; then
    # --no-tag-display-limit: every error shown, not the first few of each kind.
    lintian --no-tag-display-limit "$deb" >"$out/lintian.log" 2>&1 || true
    cat "$out/lintian.log"
    grep -q '^E: ' "$out/lintian.log" && fail "lintian reports errors"
elif [ "${CI:-}" = true ]; then
    fail "lintian is not installed"
else
    echo "lintian is not installed: errors not checked"
fi
exit $status
