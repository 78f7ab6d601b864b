# Sourced by the benchmark scripts: the processes they start beside the program, and what they
# sample of them. bench_start WORK-PREFIX first; everything started is ended on exit.
#
#   bench_start PREFIX            a fresh $work folder, removed on exit with every process in $pids
#   bench_wait_for FILE PATTERN SECONDS
#   bench_dovecot ROOT            a Dovecot with the demo mails; sets $port and $imap_port
#   bench_nm_mock ROOT            the NetworkManager mock with 'Office VPN'; exports the bus
#   bench_ringlark BINARY NAME SERVER INTERVAL
#                                 the program, monitoring SERVER from settings of its own;
#                                 sets $pid_NAME, stderr in $work/NAME.err
# What they sample of a process comes from bench_process_figures (bench/support), the same
# code the long run reads itself with.

bench_start() {
    work="$(mktemp -d "/tmp/$1.XXXXXX")"
    # Dovecot's unprivileged mail user has to walk down to the Maildir.
    chmod 755 "$work"
    pids=()
    trap bench_cleanup EXIT
    trap 'exit 130' INT TERM
}

bench_cleanup() {
    trap - EXIT INT TERM
    exec 7>&- 8>&- 2>/dev/null || true
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
    rm -rf "$work"
}

bench_wait_for() {
    local deadline=$(( $(date +%s) + $3 ))
    until grep -qE "$2" "$1" 2>/dev/null; do
        [ "$(date +%s)" -lt "$deadline" ] || { echo "Timed out waiting for: $2 in $1" >&2; return 1; }
        sleep 0.2
    done
}

# Both fixtures stop when their input (file descriptors 7 and 8) closes.
bench_dovecot() {
    mkfifo "$work/pop.in"
    /usr/bin/python3 "$1/tests/support/dovecot_fixture.py" --dir "$work/pop" --watch-stdin \
        $(for m in "$1"/scripts/demo-mails/*.eml; do printf -- '--mail %s ' "$m"; done) \
        <"$work/pop.in" >"$work/pop.out" 2>"$work/pop.err" &
    pids+=($!)
    exec 7>"$work/pop.in"
    bench_wait_for "$work/pop.out" '^READY' 30
    port=$(awk '$1 == "PORT" {print $2}' "$work/pop.out")
    imap_port=$(awk '$1 == "IMAPPORT" {print $2}' "$work/pop.out")
}

bench_nm_mock() {
    mkfifo "$work/nm.in"
    /usr/bin/python3 "$1/tests/support/nm_mock.py" --exit-on-stdin-eof \
        --profile 'Office VPN,vpn' <"$work/nm.in" >"$work/nm.out" 2>"$work/nm.err" &
    pids+=($!)
    exec 8>"$work/nm.in"
    bench_wait_for "$work/nm.out" '^READY' 30
    export DBUS_SYSTEM_BUS_ADDRESS="$(head -n 1 "$work/nm.out")"
}

bench_ringlark() {
    mkdir -p "$work/$2"
    cat >"$work/$2/TERNCALL.ini" <<INI
[STARTUP]
POP3SERVER=$3
USERNAME=ringlark
PASSWORD=secret
FROM=owner@example.com
FROM_CHECK=1
SUBJECT=ring me
SUBJECT_CHECK=1
DIALUPNETWORK=Office VPN
TIMEINTERVAL=$4
AUTOSTART=1
INI
    XDG_CONFIG_HOME="$work/$2" "$1" 2>"$work/$2.err" &
    pids+=($!)
    eval "pid_$2=$!"
}
