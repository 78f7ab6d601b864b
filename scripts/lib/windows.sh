#!/usr/bin/env bash
# The pieces of scripts/windows: packages, the cross build, the tests under Wine and the checks
# of the packed program.

RINGLARK_WINDOWS_PACKAGES=(
    cmake ninja-build ccache patch xz-utils unzip dpkg-dev
    mingw-w64 g++-mingw-w64-x86-64-posix wine wine64 nsis icu-devtools meson publicsuffix
    qt6-base-dev qt6-base-dev-tools
    fonts-noto-cjk xvfb xauth imagemagick
    dovecot-core dovecot-pop3d python3 python3-aiosmtpd openssl
)

ringlark_windows_deps() {
    local missing
    missing=$(ringlark_missing_packages "${RINGLARK_WINDOWS_PACKAGES[@]}")
    [ -z "$missing" ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Building for Windows needs these Debian packages. Install them with:" >&2
        echo "  sudo apt-get update && sudo apt-get install -y $missing" >&2
        return 1
    fi
    echo "Installing: $missing" >&2
    apt-get update -qq >&2
    # shellcheck disable=SC2086 # a list of package names
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing >&2
}

# Configures and builds the program and its tests for Windows into $2. CTest runs every test
# through the Wine runner.
ringlark_windows_build() {
    local root="$1" build="$2"
    local args=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DRINGLARK_BENCH=OFF
        -DCMAKE_TOOLCHAIN_FILE="$RINGLARK_WINQT_PREFIX/lib/cmake/Qt6/qt.toolchain.cmake"
        -DCMAKE_CROSSCOMPILING_EMULATOR="$root/scripts/lib/wine-run")
    command -v ccache >/dev/null && args+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    [ "${CI:-}" = "true" ] && args+=(-DRINGLARK_WERROR=ON)
    cmake -S "$root" -B "$build" "${args[@]}" >&2 || return 1
    cmake --build "$build" -j"$(nproc)" >&2
}

# The program's imports, one DLL name a line, lower case.
ringlark_pe_imports() {
    x86_64-w64-mingw32-objdump -p "$1" | awk '/DLL Name:/ {print tolower($3)}'
}

# Every DLL that a program or plugin in folder $1 imports must be in the folder itself or be
# part of Windows (Wine's system32 stands in for it), so that the zip runs on a bare machine.
ringlark_check_self_contained() {
    local dir="$1" system="$WINEPREFIX/drive_c/windows/system32" f dll status=0
    while IFS= read -r f; do
        while IFS= read -r dll; do
            case "$dll" in api-ms-win-*|ext-ms-*) continue ;; esac
            [ -n "$(find "$dir" -maxdepth 1 -iname "$dll" -print -quit)" ] && continue
            [ -e "$system/$dll" ] && continue
            echo "$(basename "$f") needs $dll, which the package lacks" >&2
            status=1
        done < <(ringlark_pe_imports "$f")
    done < <(find "$dir" -type f \( -iname '*.exe' -o -iname '*.dll' \))
    return $status
}

# Tests left out of the Windows run, each with the reason. Everything else in the suite runs
# under Wine. (The Dovecot, NetworkManager, INI-file and Debian-package tests are not even
# built for Windows; their build files say why.)
RINGLARK_WINE_EXCLUDED=(
    "tst_process_launcher: its test programs are POSIX shell scripts"
    "tst_instance_lock: ages the held lock file and links folders, which Windows does not allow"
)

# Test cases that skip themselves under Wine for a fault of Wine's, each with the reason.
RINGLARK_WINE_SKIPPED=(
    "tst_hostile_tls certificateForAnotherHost: the test's own TLS server would run on Wine's schannel, which fails to load its certificate chain (\"Failed to load certificate chain!\")"
    "tst_pop3_socket plainServerOnTlsPortNeverGetsCredentials, tst_tls_wire rows 'plain POP3 greeting' and 'plain answers to everything': Wine's schannel (GnuTLS) takes a plain greeting's first five bytes as a TLS record header and waits for the 8 KB it claims, where Windows refuses at once"
)

ringlark_wine_exclude_regex() {
    local entry names=()
    for entry in "${RINGLARK_WINE_EXCLUDED[@]}"; do
        names+=("${entry%%:*}")
        echo "Not under Wine: $entry" >&2
    done
    for entry in "${RINGLARK_WINE_SKIPPED[@]}"; do echo "Skipped under Wine: $entry" >&2; done
    [ ${#names[@]} -eq 0 ] && { echo '^$'; return; }
    local IFS='|'
    echo "^(${names[*]})\$"
}

# Prints "<tests> <failed>" from CTest's JUnit report; a missing report is one failure.
ringlark_junit_counts() {
    /usr/bin/python3 - "$1" <<'PY' || echo "1 1"
import sys, xml.etree.ElementTree as ET
s = ET.parse(sys.argv[1]).getroot()
print(int(s.get("tests", 0)), int(s.get("failures", 0)) + int(s.get("errors", 0)))
PY
}

ringlark_check_version() {
    local exe="$1" version="$2" out
    out=$(RINGLARK_WINE_BARE=1 timeout 60 "$(dirname "${BASH_SOURCE[0]}")/wine-run" "$exe" --version 2>&1) \
        || { echo "$out" >&2; return 1; }
    echo "$out" >&2
    grep -qx "RINGLARK $version"$'\r'"\?" <<<"$out"
}

# wait_for FILE PATTERN SECONDS: until a line of FILE matches PATTERN.
ringlark_wait_for() {
    local deadline=$(( $(date +%s) + $3 ))
    until grep -qE "$2" "$1" 2>/dev/null; do
        [ "$(date +%s)" -lt "$deadline" ] || { echo "Timed out waiting for: $2" >&2; return 1; }
        sleep 0.3
    done
}

# One unattended run of the packed program against a private Dovecot and SMTP server. The
# newest mail is a trigger whose subject is an ISO-2022-JP encoded word, as Japanese mail
# programs send it, and the subject setting is Japanese: the program must decode it, dial,
# store LASTDATE, reply to the sender, and write its Japanese log lines readably. The settings
# go into Wine's registry, where the program keeps them on Windows.
ringlark_headless_run() {
    local root="$1" app="$2" work="$3" status=0 pop smtp app_pid
    local subject="至急電話ください" wanted="電話" entry="事務所"
    mkdir -p "$work/e2e"
    cat >"$work/e2e/trigger.eml" <<MAIL
Date: $(LC_ALL=C date -R)
From: Owner <owner@example.com>
To: ringlark@example.com
Subject: $(/usr/bin/python3 -c 'import sys, email.header; print(email.header.Header(sys.argv[1], "iso-2022-jp").encode())' "$subject")
Message-ID: <$(date +%s).windows@example.com>
MIME-Version: 1.0
Content-Type: text/plain; charset=us-ascii

Bring the office PC online, please.
MAIL
    /usr/bin/python3 "$root/tests/support/dovecot_fixture.py" --dir "$work/e2e/pop" \
        --user ringlark --password secret \
        $(for m in "$root"/scripts/demo-mails/*.eml "$work/e2e/trigger.eml"; do printf -- '--mail %s ' "$m"; done) \
        </dev/null >"$work/e2e/pop.out" 2>"$work/e2e/pop.err" &
    pop=$!
    if ! ringlark_wait_for "$work/e2e/pop.out" '^READY' 30; then
        cat "$work/e2e/pop.err" >&2; kill "$pop" 2>/dev/null; return 1
    fi
    # The reply to the trigger goes through libcurl to a real SMTP server.
    mkdir -p "$work/e2e/smtp"
    /usr/bin/python3 "$root/tests/support/smtp_fixture.py" --dir "$work/e2e/smtp" \
        </dev/null >"$work/e2e/smtp.out" 2>"$work/e2e/smtp.err" &
    smtp=$!
    if ! ringlark_wait_for "$work/e2e/smtp.out" '^PORT' 30; then
        cat "$work/e2e/smtp.err" >&2; kill "$pop" "$smtp" 2>/dev/null; return 1
    fi
    local port mails smtp_port
    port=$(awk '$1 == "PORT" {print $2}' "$work/e2e/pop.out")
    smtp_port=$(awk '$1 == "PORT" {print $2}' "$work/e2e/smtp.out")
    mails=$(ls "$root"/scripts/demo-mails/*.eml | wc -l); mails=$((mails + 1))

    # Japanese values need a Unicode .reg file: UTF-16 with a byte-order mark.
    { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE <<REG; } >"$work/e2e/settings.reg"
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\TERNCALL\\STARTUP]
"POP3SERVER"="127.0.0.1:$port"
"USERNAME"="ringlark"
"PASSWORD"="secret"
"FROM"="owner@example.com"
"FROM_CHECK"="1"
"SUBJECT"="$wanted"
"SUBJECT_CHECK"="1"
"DIALUPNETWORK"="$entry"
"TIMEINTERVAL"="3"
"AUTOSTART"="1"
"LASTDATE"=""
"REPLY_CHECK"="1"
"REPLY_FROM"="ringlark@example.com"
"SMTPSERVER"="smtp://127.0.0.1:$smtp_port"
REG
    local regfile
    regfile="$(printf 'Z:%s' "${work//\//\\}")\\e2e\\settings.reg"
    RINGLARK_WINE_BARE=1 "$root/scripts/lib/wine-run" reg import "$regfile" >&2 2>/dev/null

    QT_LOGGING_RULES="ringlark.*=true" \
        RINGLARK_WINE_BARE=1 "$root/scripts/lib/wine-run" "$app/ringlark.exe" --headless \
        >"$work/e2e/ringlark.out" 2>"$work/e2e/ringlark.err" &
    app_pid=$!
    # Wine's RasEnumEntries lists no entries, so the program dials the stored name; Wine's
    # InternetDial is a stub that answers "connected" at once.
    local done_line="${entry}へ接続しました。"
    if ! ringlark_wait_for "$work/e2e/ringlark.err" "^ringlark\.log: .*${done_line}" 90; then
        echo "The dial was not reached" >&2; status=1
    fi
    # The trigger's date is stored once the dial has answered, so the same mail does not dial
    # again. Read while the program and Wine's server still run.
    local lastdate="" deadline=$(( $(date +%s) + 20 ))
    while [ "$status" -eq 0 ] && [ "$(date +%s)" -lt "$deadline" ]; do
        lastdate=$(RINGLARK_WINE_BARE=1 "$root/scripts/lib/wine-run" reg query \
            'HKCU\Software\VB and VBA Program Settings\TERNCALL\STARTUP' /v LASTDATE 2>/dev/null \
            | tr -d '\r' | awk '$1 == "LASTDATE" {print $3, $4}')
        [[ "$lastdate" =~ ^[0-9]{4}/[0-9]{2}/[0-9]{2}\ [0-9]{2}:[0-9]{2}:[0-9]{2}$ ]] && break
        sleep 1
    done
    # The reply to the owner: sent after the dial, through libcurl and Windows' sockets.
    if [ "$status" -eq 0 ] && ringlark_wait_for "$work/e2e/smtp/001.json" "へ接続しました" 60; then
        echo "  The reply as it arrived:" >&2
        tr -d '\r' <"$work/e2e/smtp/001.eml" | sed 's/^/    /' >&2
        grep -q '"rcpt_tos": \["owner@example.com"\]' "$work/e2e/smtp/001.json" \
            || { echo "The reply did not go to the trigger's sender" >&2; status=1; }
    else
        echo "No reply reached the SMTP server" >&2; cat "$work/e2e/smtp.err" >&2; status=1
    fi
    kill "$app_pid" 2>/dev/null || true
    wineserver -k 2>/dev/null || true
    kill "$pop" "$smtp" 2>/dev/null || true
    wait "$pop" "$smtp" "$app_pid" 2>/dev/null || true
    grep -E '^ringlark\.(log|dialup)|^ringlark\.pop3: C: (TOP|STAT)' "$work/e2e/ringlark.err" \
        | tr -d '\r' | sed 's/^/  /' | tail -n 30 >&2
    # Every mail was counted, and the trigger mail, the newest, was read.
    grep -qE "\+OK $mails " "$work/e2e/ringlark.err" || { echo "The mailbox's $mails mails were not seen" >&2; status=1; }
    grep -qE "TOP $mails " "$work/e2e/ringlark.err" || { echo "The newest mail was not read" >&2; status=1; }
    # The log reads as Japanese, in UTF-8, from the first line on.
    grep -q '^ringlark\.log: 初期化終了しました' "$work/e2e/ringlark.err" \
        || { echo "The log lines are not readable Japanese" >&2; status=1; }
    if [[ "$lastdate" =~ ^[0-9]{4}/ ]]; then
        echo "  LASTDATE stored: $lastdate" >&2
    else
        echo "LASTDATE was not stored (\"$lastdate\")" >&2; status=1
    fi
    return $status
}
