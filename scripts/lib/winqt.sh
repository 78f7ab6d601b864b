#!/usr/bin/env bash
# Builds Qt for Windows (mingw-w64) once, from Debian's own qtbase source package, and installs
# it into the user's cache. Debian ships no Qt for mingw; building the same 6.4.2 that the Linux
# side uses lets Debian's host Qt serve as moc/rcc/uic for the cross build.

RINGLARK_WINQT_VERSION=6.4.2
RINGLARK_WINQT_CACHE="${XDG_CACHE_HOME:-$HOME/.cache}/ringlark"
RINGLARK_WINQT_PREFIX="$RINGLARK_WINQT_CACHE/qt-$RINGLARK_WINQT_VERSION-mingw"

# The options were measured: Debian strips 3rdparty/wintab (hence no tablet events); the windows
# platform plugin needs direct2d for its DirectWrite font database, so only direct2d1_1 goes;
# TLS is Windows' own schannel, so there is no OpenSSL to carry along.
RINGLARK_WINQT_OPTIONS=(
    -xplatform win32-g++ -release -shared -nomake examples -nomake tests
    -no-opengl -no-icu -schannel -no-openssl -no-feature-sql -no-feature-printsupport -no-dbus
    -qt-zlib -qt-pcre -qt-harfbuzz -qt-freetype -qt-libpng -qt-libjpeg -no-zstd
    -no-feature-tabletevent -no-feature-direct2d1_1 -no-feature-concurrent -no-feature-xml
)

# apt-get source needs a deb-src line; the image's sources often carry only binary ones.
ringlark_winqt_ensure_deb_src() {
    apt-cache showsrc qt6-base >/dev/null 2>&1 && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Fetching Qt's source needs a deb-src line for bookworm main in the apt sources." >&2
        return 1
    fi
    echo "Adding a deb-src line for bookworm main" >&2
    cat >/etc/apt/sources.list.d/ringlark-deb-src.sources <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    apt-get update -qq >&2
}

# Fetches and unpacks the source into $1 and prints the source folder.
ringlark_winqt_fetch() {
    local work="$1" src
    src=$(find "$work" -maxdepth 1 -type d -name 'qt6-base-*' 2>/dev/null | head -n1)
    if [ -z "$src" ]; then
        ringlark_winqt_ensure_deb_src || return 1
        mkdir -p "$work"
        # Only the security fixes are wanted, not Debian's packaging tweaks (one of them turns
        # on Android tools for every cross build), so the series is skipped and the fixes
        # applied below.
        (cd "$work" && apt-get source -qq --download-only qt6-base >&2 \
            && dpkg-source -q -x --skip-patches qt6-base_*.dsc >&2) || return 1
        src=$(find "$work" -maxdepth 1 -type d -name 'qt6-base-*' | head -n1)
    fi
    [ -n "$src" ] || { echo "qt6-base source not found in $work" >&2; return 1; }
    ringlark_winqt_patch "$src" || return 1
    echo "$src"
}

# Applies Debian's security fixes once; a patch that already reverses cleanly is in.
ringlark_winqt_patch() {
    local src="$1" p
    for p in "$src"/debian/patches/cve-2023-*; do
        [ -e "$p" ] || continue
        if patch -d "$src" -p1 -R --dry-run -s -f <"$p" >/dev/null 2>&1; then
            continue
        fi
        echo "Applying $(basename "$p")" >&2
        patch -d "$src" -p1 -s -f <"$p" >&2 || return 1
    done
}

# Points the installed qt.toolchain.cmake at a toolchain file inside the install, so that the
# install can move (or be restored from a CI cache) without its build folder.
ringlark_winqt_relocate() {
    local prefix="$1" toolchain="$2" dir="$1/lib/cmake/Qt6"
    cp "$toolchain" "$dir/ringlark-mingw-toolchain.cmake" || return 1
    sed -i -E 's|^( *set\(__qt_chainload_toolchain_file ).*$|\1"${CMAKE_CURRENT_LIST_DIR}/ringlark-mingw-toolchain.cmake")|' \
        "$dir/qt.toolchain.cmake" || return 1
    grep -q 'CMAKE_CURRENT_LIST_DIR}/ringlark-mingw-toolchain.cmake' "$dir/qt.toolchain.cmake"
}

# libqrencode draws the QR codes of the settings window; Debian has it only for Linux, so it is
# built from Debian's source too, as a static library in the Windows Qt's folder.
ringlark_winqrencode_build() {
    local root="$1" prefix="$RINGLARK_WINQT_PREFIX" work
    [ -f "$prefix/lib/libqrencode.a" ] && return 0
    work=$(mktemp -d /tmp/ringlark-qrencode.XXXXXX)
    ringlark_winqt_ensure_deb_src || return 1
    # Only the upstream tarball is needed; a missing Debian packaging tarball does no harm.
    (cd "$work" && apt-get source -qq --download-only qrencode >&2) || true
    local tarball
    tarball=$(find "$work" -maxdepth 1 -name 'qrencode_*.orig.tar.*' | head -n1)
    [ -n "$tarball" ] || { echo "qrencode source not found" >&2; rm -rf "$work"; return 1; }
    tar -xf "$tarball" -C "$work" \
        && cmake -S "$work"/qrencode-*/ -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
            -DWITH_TOOLS=NO -DWITHOUT_PNG=YES -DBUILD_SHARED_LIBS=NO \
            -DCMAKE_INSTALL_PREFIX="$prefix" >&2 \
        && cmake --build "$work/build" >&2 && cmake --install "$work/build" >&2
    local status=$?
    rm -rf "$work"
    return $status
}

# Builds and installs Qt into $RINGLARK_WINQT_PREFIX unless it is already there. The build is
# niced and kept to two jobs: it is long and the machine is shared.
ringlark_winqt_build() {
    local root="$1" prefix="$RINGLARK_WINQT_PREFIX"
    if [ -f "$prefix/lib/cmake/Qt6/qt.toolchain.cmake" ] && [ -f "$prefix/.ringlark-complete" ]; then
        return 0
    fi
    local work="$RINGLARK_WINQT_CACHE/qt-$RINGLARK_WINQT_VERSION-work" src build start
    src=$(ringlark_winqt_fetch "$work") || return 1
    build="$work/build"
    start=$(date +%s)
    echo "Building Qt $RINGLARK_WINQT_VERSION for Windows (about 20 minutes, once)" >&2
    mkdir -p "$build"
    if [ ! -f "$build/build.ninja" ]; then
        (cd "$build" && "$src/configure" -prefix "$prefix" "${RINGLARK_WINQT_OPTIONS[@]}" \
            -qt-host-path /usr -- -G Ninja \
            -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
            -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake) >&2 || return 1
    fi
    nice -n 10 cmake --build "$build" --parallel "${RINGLARK_WINQT_JOBS:-2}" >&2 || return 1
    cmake --install "$build" >&2 || return 1
    ringlark_winqt_relocate "$prefix" "$root/cmake/mingw-w64-x86_64.cmake" || return 1
    touch "$prefix/.ringlark-complete"
    echo "Qt for Windows built in $(( $(date +%s) - start )) s" >&2
    # The source and objects are 1 GB and not needed again.
    rm -rf "$work"
}
