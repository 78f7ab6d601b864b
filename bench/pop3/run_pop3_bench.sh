#!/usr/bin/env bash
# How the mailbox check fares with a far-away server, and what the program costs in memory
# while it waits, all in one run:
#   1. bench_pop3_walk for 1,000 and 10,000 mails at 0, 50 and 150 ms round trip: the
#      session's whole check, Python one TOP at a time, and every TOP written at once (the
#      floor), each through delay_relay.py.
#   2. Idle memory: ringlark monitoring a local Dovecot every 5 s, sampled between checks
#      once the first check has ended, beside bench_bare_window --widgets (a Japanese label, a button and
#      a text box), both offscreen; VmRSS of each and where the difference lies, by mapping,
#      from /proc/PID/smaps. Prints figures; never fails on them.
#
#   bench/pop3/run_pop3_bench.sh [--build DIR] [--mails "1000 10000"] [--rtt 0,50,150]
#                                [--rounds N] [--slow-limit S] [--only walk|memory]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$root/build-bench"
mails_list="1000 10000"
rtt=0,50,150
rounds=3
slow_limit=600
only=
while [ $# -gt 0 ]; do
    case "$1" in
        --build) build="$2"; shift 2 ;;
        --mails) mails_list="$2"; shift 2 ;;
        --rtt) rtt="$2"; shift 2 ;;
        --rounds) rounds="$2"; shift 2 ;;
        --slow-limit) slow_limit="$2"; shift 2 ;;
        --only) only="$2"; shift 2 ;;
        *) sed -n '2,14p' "$0" >&2; exit 2 ;;
    esac
done

echo "Building in $build..." >&2
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target ringlark bench_bare_window bench_pop3_walk \
    bench_process_figures >/dev/null

if [ "$only" != memory ]; then
    for mails in $mails_list; do
        echo
        "$build/bench/pop3/bench_pop3_walk" --mails "$mails" --rtt "$rtt" --rounds "$rounds" \
            --slow-limit "$slow_limit" || echo "(the session did not walk every mail: see above)"
    done
fi
[ "$only" = walk ] && exit 0

. "$root/bench/support/processes.sh"
bench_start ringlark-pop3-bench
bench_dovecot "$root"
bench_nm_mock "$root"
export QT_QPA_PLATFORM=offscreen
export QT_LOGGING_RULES="ringlark.log.info=true;ringlark.status.info=true"

bench_ringlark "$build/ringlark" ringlark "127.0.0.1:$port" 5
"$build/bench/monitor/bench_bare_window" --widgets 2>"$work/bare.err" &
pids+=($!)
pid_bare=$!
# The first check has run its session to the end; the next is 5 s later.
bench_wait_for "$work/ringlark.err" '状況：アイドル' 60
sleep 2

rss() { "$build/bench/support/bench_process_figures" "$1" | cut -d' ' -f1; }
r=$(rss "$pid_ringlark"); b=$(rss "$pid_bare")
echo
echo "Idle memory, offscreen (VmRSS):"
printf '  %-52s %7d KiB\n' "ringlark, monitoring, between checks" "$r" \
    "bare window: Japanese label, button, text box" "$b"
awk -v r="$r" -v b="$b" 'BEGIN {printf "  ratio %.3f (goal: at most 1.25)\n", r / b}'
echo
echo "Where the difference lies (resident KiB by mapping, largest differences first):"
/usr/bin/python3 - "$pid_ringlark" "$pid_bare" <<'PY'
import collections, sys

def resident(pid):
    by_name, name = collections.Counter(), None
    with open("/proc/%s/smaps" % pid) as f:
        for line in f:
            parts = line.split()
            if "-" in parts[0] and not parts[0].endswith(":"):
                name = parts[5] if len(parts) > 5 else "[anonymous]"
            elif parts[0] == "Rss:":
                by_name[name] += int(parts[1])
    return by_name

a, b = resident(sys.argv[1]), resident(sys.argv[2])
print("  %9s %9s %9s  %s" % ("ringlark", "bare", "diff", "mapping"))
rows = sorted(set(a) | set(b), key=lambda k: -(a[k] - b[k]))
for k in rows:
    if abs(a[k] - b[k]) >= 64:
        print("  %9d %9d %+9d  %s" % (a[k], b[k], a[k] - b[k], k.rsplit("/", 1)[-1]))
print("  %9d %9d %+9d  total" % (sum(a.values()), sum(b.values()),
                                 sum(a.values()) - sum(b.values())))
tls = [k for k in a if "libssl" in k or "libcrypto" in k or "openssl" in k]
print("  TLS libraries mapped in ringlark: %s" % (", ".join(sorted(tls)) or "none"))
PY
