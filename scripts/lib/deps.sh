#!/usr/bin/env bash
# Installs the Debian packages the project needs, once. Sourced by scripts/demo and
# scripts/test. Not root: prints the exact apt-get line instead.

RINGLARK_PACKAGES=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev
    dovecot-core dovecot-pop3d dovecot-imapd openssl
    python3 python3-dbusmock python3-aiosmtpd dbus
    libcurl4-openssl-dev
    libqrencode-dev libxcb1-dev libpsl-dev publicsuffix
    xvfb xauth x11-apps imagemagick fonts-noto-cjk
    g++-mingw-w64-x86-64
    clang libclang-rt-14-dev
    dpkg-dev fakeroot file lintian
)

# Prints those of the given packages (by default RINGLARK_PACKAGES) that are not installed.
ringlark_missing_packages() {
    local missing=() p
    [ $# -gt 0 ] || set -- "${RINGLARK_PACKAGES[@]}"
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" \
            || missing+=("$p")
    done
    echo "${missing[@]}"
}

ringlark_install_deps() {
    local missing
    missing=$(ringlark_missing_packages)
    [ -z "$missing" ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "RINGLARK needs these Debian packages. Install them with:" >&2
        echo "  sudo apt-get update && sudo apt-get install -y $missing" >&2
        return 1
    fi
    echo "Installing: $missing" >&2
    apt-get update -qq >&2
    # Installing Dovecot must not leave a system mail server running on this machine.
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing >&2
}
