#!/usr/bin/env bash
# Builds Qt for Windows (mingw-w64) once, from Debian's own qtbase source package, and installs
# it into the user's cache. Debian ships no Qt for mingw; building the same 6.4.2 that the Linux
# side uses lets Debian's host Qt serve as moc/rcc/uic for the cross build.

RINGLARK_WINQT_VERSION=6.4.2
RINGLARK_WINQT_CACHE="${XDG_CACHE_HOME:-$HOME/.cache}/ringlark"
RINGLARK_WINQT_PREFIX="$RINGLARK_WINQT_CACHE/qt-$RINGLARK_WINQT_VERSION-mingw"

# The options were measured: Debian strips 3rdparty/wintab (hence no tablet events); the windows
# platform plugin needs direct2d for its DirectWrite font database, so only direct2d1_1 goes;
# TLS is Windows' own schannel, so there is no OpenSSL to carry along; ICU (built below) brings the
# text codecs that Linux has.
RINGLARK_WINQT_OPTIONS=(
    -xplatform win32-g++ -release -shared -nomake examples -nomake tests
    -no-opengl -icu -schannel -no-openssl -no-feature-sql -no-feature-printsupport -no-dbus
    -qt-zlib -qt-pcre -qt-harfbuzz -qt-freetype -qt-libpng -qt-libjpeg -no-zstd
    -no-feature-tabletevent -no-feature-direct2d1_1 -no-feature-concurrent -no-feature-xml
)

# apt-get source needs deb-src entries; the image's sources often carry only binary ones. They
# are made from the machine's own binary sources (same URIs, suites and components), so the
# source matches the packages installed here.
RINGLARK_DEB_SRC_FILE=/etc/apt/sources.list.d/ringlark-deb-src.sources

ringlark_deb_src_entries() {
    local f
    # deb822 files: each stanza whose types include deb, again as deb-src.
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -e "$f" ] && [ "$f" != "$RINGLARK_DEB_SRC_FILE" ] || continue
        awk 'BEGIN { RS = ""; ORS = "\n\n" }
            /(^|\n)Types:[^\n]*(^|[ \t])deb([ \t]|\n|$)/ && !/(^|\n)Enabled: *no/ {
                sub(/(^|\n)Types:[^\n]*/, "\nTypes: deb-src"); sub(/^\n/, ""); print }' "$f"
    done
    # One-line files: "deb [options] URI suite components".
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -e "$f" ] || continue
        awk '$1 == "deb" {
                opts = ""; i = 2
                if ($2 ~ /^\[/) { while ($i !~ /\]$/) { opts = opts " " $i; i++ } opts = opts " " $i; i++ }
                gsub(/[][]/, "", opts)
                printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents:", $i, $(i + 1)
                for (j = i + 2; j <= NF && $j !~ /^#/; j++) printf " %s", $j
                printf "\n"
                n = split(opts, o, " ")
                for (k = 1; k <= n; k++) if (o[k] ~ /^signed-by=/) printf "Signed-By: %s\n", substr(o[k], 11)
                printf "\n" }' "$f"
    done
}

ringlark_winqt_ensure_deb_src() {
    # grep reads to the end: with -q apt-cache could die of a closed pipe under pipefail.
    apt-cache showsrc qt6-base 2>/dev/null | grep '^Package:' >/dev/null && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Fetching Qt's source needs deb-src entries beside the deb ones in the apt sources." >&2
        return 1
    fi
    local entries
    entries=$(ringlark_deb_src_entries)
    [ -n "$entries" ] || { echo "No deb sources configured to derive deb-src entries from" >&2; return 1; }
    echo "Adding deb-src entries for the configured deb sources" >&2
    printf '%s\n' "$entries" >"$RINGLARK_DEB_SRC_FILE"
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

# libcurl sends the reply mails. Debian has it only for Linux, so it is built from Debian's
# source with its patches (the security fixes among them), as a static library that speaks
# SMTP only and uses Windows' own TLS (schannel) and certificate store.
ringlark_wincurl_build() {
    local root="$1" prefix="$RINGLARK_WINQT_PREFIX" work status
    [ -f "$prefix/lib/libcurl.a" ] && return 0
    work=$(mktemp -d /tmp/ringlark-curl.XXXXXX)
    ringlark_winqt_ensure_deb_src || return 1
    (cd "$work" && apt-get source -qq --download-only curl >&2 \
        && dpkg-source -q -x curl_*.dsc src >&2) || { rm -rf "$work"; return 1; }
    local off=() p
    for p in DICT FILE FTP GOPHER IMAP LDAP LDAPS MQTT POP3 RTSP SMB TELNET TFTP; do
        off+=("-DCURL_DISABLE_$p=ON")
    done
    cmake -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -DBUILD_CURL_EXE=OFF \
        -DBUILD_TESTING=OFF -DENABLE_MANUAL=OFF -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF \
        -DCURL_ZLIB=OFF -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DCURL_USE_LIBSSH2=OFF \
        -DUSE_LIBIDN2=OFF -DUSE_NGHTTP2=OFF -DENABLE_UNICODE=ON "${off[@]}" >&2 \
        && nice -n 10 cmake --build "$work/build" -j"${RINGLARK_WINQT_JOBS:-2}" >&2 \
        && cmake --install "$work/build" >&2
    status=$?
    rm -rf "$work"
    return $status
}

# libpsl gives DKIM alignment the Public Suffix List, as on Linux. Built from Debian's source
# with the list of the publicsuffix package compiled in (Windows has no system copy), without
# an IDNA library: names are compared as they come, in ASCII.
ringlark_winpsl_build() {
    local prefix="$RINGLARK_WINQT_PREFIX" work status
    [ -f "$prefix/lib/libpsl.a" ] && return 0
    work=$(mktemp -d /tmp/ringlark-psl.XXXXXX)
    ringlark_winqt_ensure_deb_src || return 1
    (cd "$work" && apt-get source -qq --download-only libpsl >&2 \
        && dpkg-source -q -x libpsl_*.dsc src >&2) || { rm -rf "$work"; return 1; }
    printf '%s\n' "[binaries]" "c = 'x86_64-w64-mingw32-gcc-posix'" \
        "ar = 'x86_64-w64-mingw32-ar'" "strip = 'x86_64-w64-mingw32-strip'" \
        "[host_machine]" "system = 'windows'" "cpu_family = 'x86_64'" "cpu = 'x86_64'" \
        "endian = 'little'" >"$work/cross.txt"
    meson setup "$work/build" "$work/src" --cross-file "$work/cross.txt" --buildtype release \
        -Ddefault_library=static -Druntime=no -Dbuiltin=true \
        -Dpsl_file=/usr/share/publicsuffix/public_suffix_list.dat >&2 \
        && meson compile -C "$work/build" src/psl:static_library >&2 \
        && mkdir -p "$prefix/lib" "$prefix/include" \
        && cp "$work/build/src/libpsl.a" "$prefix/lib/" \
        && cp "$work/build/include/libpsl.h" "$prefix/include/"
    status=$?
    rm -rf "$work"
    return $status
}

# ICU gives the Windows Qt the same text codecs as Debian's Qt on Linux (ISO-2022-JP, Shift_JIS,
# EUC-JP and the rest). It is built from Debian's own icu source, the version of the Linux side,
# whose build tools (icu-devtools) stand in for the host build that ICU's cross build wants.
ringlark_winicu_build() {
    local prefix="$RINGLARK_WINQT_PREFIX"
    [ -f "$prefix/.ringlark-icu-complete" ] && return 0
    local work="$RINGLARK_WINQT_CACHE/icu-work" start tool
    start=$(date +%s)
    rm -rf "$work"; mkdir -p "$work/host/bin" "$work/host/lib" "$work/host/config" "$work/build"
    ringlark_winqt_ensure_deb_src || return 1
    (cd "$work" && apt-get source -qq --download-only icu >&2 \
        && dpkg-source -q -x icu_*.dsc src >&2) || return 1
    local version
    version=$(dpkg-query -W -f='${Version}' icu-devtools | sed 's/-.*//')
    grep -q "^#define U_ICU_VERSION \"$version\"" "$work/src/source/common/unicode/uvernum.h" \
        || { echo "icu-devtools $version does not match the icu source" >&2; return 1; }
    while IFS= read -r tool; do ln -s "$tool" "$work/host/bin/"; done \
        < <(dpkg -L icu-devtools | grep -E '/s?bin/.')
    # What ICU's own host build would leave for the cross build: the tools run as they are.
    printf '%s\n' "CROSS_ICU_VERSION=$version" "TOOLEXEEXT=" \
        'TOOLBINDIR=$(cross_buildroot)/bin' 'TOOLLIBDIR=$(cross_buildroot)/lib' \
        'INVOKE=' 'PKGDATA_INVOKE=' >"$work/host/config/icucross.mk"
    printf '%s\n' "CURR_FULL_DIR?=\$(shell pwd | sed 's/ /\\\\ /g')" >"$work/host/config/icucross.inc"
    # Qt asks ICU for codecs, collation and time zones only. The locale display names, units,
    # currencies, number spell-out, transliteration and break dictionaries are left out of
    # the data: 16 MB instead of 31. (icupkg reads a list of items only from a .txt file.)
    local dat="$work/src/source/data/in/icudt${version%%.*}l.dat"
    icupkg -l "$dat" | grep -E '^(lang|region|curr|unit|rbnf|translit|brkitr)/' >"$work/unused.txt" \
        && mkdir "$work/data" && icupkg -r "$work/unused.txt" "$dat" "$work/data/$(basename "$dat")" \
        && mv "$work/data/$(basename "$dat")" "$dat" || return 1
    echo "Building ICU $version for Windows" >&2
    (cd "$work/build" && "$work/src/source/configure" -q --host=x86_64-w64-mingw32 \
        --build="$(dpkg-architecture -qDEB_BUILD_GNU_TYPE)" --prefix="$prefix" \
        --with-cross-build="$work/host" --disable-extras --disable-tests --disable-samples \
        --disable-layoutex --disable-icuio --disable-tools --enable-shared --disable-static \
        CC=x86_64-w64-mingw32-gcc-posix CXX=x86_64-w64-mingw32-g++-posix >&2 \
        && nice -n 10 make -j"${RINGLARK_WINQT_JOBS:-2}" >&2 && make install >&2) || return 1
    # Beside Qt's DLLs, where the Wine runner and the package look for them.
    local dll
    mkdir -p "$prefix/bin"
    for dll in "$prefix"/lib/icu*.dll; do [ ! -e "$dll" ] || mv "$dll" "$prefix/bin/"; done
    touch "$prefix/.ringlark-icu-complete"
    echo "ICU for Windows built in $(( $(date +%s) - start )) s" >&2
    rm -rf "$work"
}

# Builds and installs Qt into $RINGLARK_WINQT_PREFIX unless it is already there. The build is
# niced and kept to two jobs: it is long and the machine is shared.
ringlark_winqt_build() {
    local root="$1" prefix="$RINGLARK_WINQT_PREFIX"
    # The marker holds the options the install was built with; other options mean a new build.
    if [ -f "$prefix/lib/cmake/Qt6/qt.toolchain.cmake" ] \
        && [ "$(cat "$prefix/.ringlark-complete" 2>/dev/null)" = "${RINGLARK_WINQT_OPTIONS[*]}" ]; then
        return 0
    fi
    [ -d "$prefix" ] && [ ! -f "$prefix/.ringlark-building" ] && rm -rf "$prefix"
    mkdir -p "$prefix"; touch "$prefix/.ringlark-building"
    ringlark_winicu_build || return 1
    local work="$RINGLARK_WINQT_CACHE/qt-$RINGLARK_WINQT_VERSION-work" src build start
    src=$(ringlark_winqt_fetch "$work") || return 1
    build="$work/build"
    start=$(date +%s)
    echo "Building Qt $RINGLARK_WINQT_VERSION for Windows (about 45 minutes on two cores, once)" >&2
    mkdir -p "$build"
    if [ ! -f "$build/build.ninja" ]; then
        (cd "$build" && "$src/configure" -prefix "$prefix" "${RINGLARK_WINQT_OPTIONS[@]}" \
            -qt-host-path /usr -- -G Ninja \
            -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
            -DICU_INCLUDE_DIR="$prefix/include" -DICU_UC_LIBRARY_RELEASE="$prefix/lib/libicuuc.dll.a" \
            -DICU_I18N_LIBRARY_RELEASE="$prefix/lib/libicuin.dll.a" \
            -DICU_DATA_LIBRARY_RELEASE="$prefix/lib/libicudt.dll.a" \
            -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake) >&2 \
            || { rm -rf "$build"; return 1; }
    fi
    nice -n 10 cmake --build "$build" --parallel "${RINGLARK_WINQT_JOBS:-2}" >&2 || return 1
    cmake --install "$build" >&2 || return 1
    ringlark_winqt_relocate "$prefix" "$root/cmake/mingw-w64-x86_64.cmake" || return 1
    rm -f "$prefix/.ringlark-building"
    echo "${RINGLARK_WINQT_OPTIONS[*]}" >"$prefix/.ringlark-complete"
    echo "Qt for Windows built in $(( $(date +%s) - start )) s" >&2
    # The source and objects are 1 GB and not needed again.
    rm -rf "$work"
}
