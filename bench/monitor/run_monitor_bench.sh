#!/usr/bin/env bash
# CPU time and memory of the real build/ringlark while it monitors, beside an empty Qt
# window run the same way. Four processes run side by side for the same period:
#   checking   TIMEINTERVAL=1 against a local Dovecot with a few everyday mails, no trigger
#   idle       TIMEINTERVAL=3600: monitoring on, waiting for the next check
#   imap_idle  TIMEINTERVAL=3600 over imap://: connected, in IMAP IDLE
#   silent     TIMEINTERVAL=1 against a server that accepts and never answers: the check
#              waits for its session until the watchdog ends it, again and again
#   bare       bench_bare_window, one empty QWidget
#   bare+text  the same with one label of Japanese text (the CJK fonts loaded)
# CPU (utime+stime) and memory (VmRSS/VmHWM) come from bench_process_figures, each thread's run
# time and context switches from /proc/<pid>/task/*/{schedstat,status}; all read before and
# after the period. Prints a table; never fails on the figures.
#
#   bench/monitor/run_monitor_bench.sh [--seconds N] [--xvfb]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
seconds=60
use_xvfb=0
while [ $# -gt 0 ]; do
    case "$1" in
        --seconds) seconds="$2"; shift 2 ;;
        --xvfb) use_xvfb=1; shift ;;
        *) echo "usage: $0 [--seconds N] [--xvfb]" >&2; exit 2 ;;
    esac
done

echo "Building ringlark, bench_bare_window and bench_process_figures..." >&2
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j2 --target ringlark bench_bare_window bench_process_figures >/dev/null

. "$root/bench/support/processes.sh"
bench_start ringlark-monitor-bench
bench_dovecot "$root"

# A server that accepts connections and never says a word.
/usr/bin/python3 - >"$work/silent.port" <<'PY' &
import socket, sys, time
s = socket.socket()
s.bind(("127.0.0.1", 0))
s.listen(16)
print(s.getsockname()[1], flush=True)
held = []
while True:
    conn, _ = s.accept()
    held.append(conn)
PY
pids+=($!)
bench_wait_for "$work/silent.port" '^[0-9]+' 10
silent_port=$(head -n 1 "$work/silent.port")

bench_nm_mock "$root"

if [ $use_xvfb = 1 ]; then
    Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp 9>"$work/display" 2>/dev/null &
    pids+=($!)
    bench_wait_for "$work/display" '^[0-9]+' 15
    export DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb
else
    export QT_QPA_PLATFORM=offscreen
fi
export QT_LOGGING_RULES="ringlark.log.info=true;ringlark.status.info=true;ringlark.pop3.debug=false"

bench_ringlark "$root/build/ringlark" checking "127.0.0.1:$port" 1
bench_ringlark "$root/build/ringlark" idle "127.0.0.1:$port" 3600
bench_ringlark "$root/build/ringlark" imap_idle "imap://127.0.0.1:$imap_port" 3600
bench_ringlark "$root/build/ringlark" silent "127.0.0.1:$silent_port" 1
"$root/build/bench/monitor/bench_bare_window" 2>"$work/bare.err" &
pids+=($!)
pid_bare=$!
"$root/build/bench/monitor/bench_bare_window" --text 2>"$work/bare_text.err" &
pids+=($!)
pid_bare_text=$!
for name in checking idle imap_idle silent; do bench_wait_for "$work/$name.err" '初期化終了しました' 30; done
# Past start-up: the first checks have run, caches are warm.
sleep 3

figures() { "$root/build/bench/support/bench_process_figures" "$1"; }
per_thread() { # per live thread: "tid context-switches run-ns"
    local t
    for t in /proc/"$1"/task/*; do
        awk -v tid="${t##*/}" '$1 ~ /ctxt_switches:/ {n += $2} END {printf "%s %d ", tid, n}' \
            "$t/status" 2>/dev/null && awk '{print $1}' "$t/schedstat" 2>/dev/null
    done
}
# Sums over threads alive at the end: their growth since the first sample, or all of it
# for threads started since. Column 2: context switches; column 3: ns on a CPU.
thread_delta() { # BEFORE-FILE AFTER-FILE COLUMN
    awk -v c="$3" 'NR == FNR {before[$1] = $c; next} {d += $c - ($1 in before ? before[$1] : 0)}
        END {print d + 0}' "$1" "$2"
}
checks_done() { grep -c '状況：アイドル\|状況：メールサーバーが応答しません' "$work/$1.err" || true; }

names=(checking idle imap_idle silent bare bare_text)
declare -A cpu0 rss0 chk0
for n in "${names[@]}"; do
    pid_var="pid_$n"; pid=${!pid_var}
    read -r rss0[$n] _ cpu0[$n] < <(figures "$pid")
    per_thread "$pid" >"$work/$n.threads0"
    [ "${n%_text}" = bare ] && chk0[$n]=0 || chk0[$n]=$(grep -c '状況：チェック中' "$work/$n.err" || true)
done
echo "Measuring for $seconds s (QT_QPA_PLATFORM=$QT_QPA_PLATFORM)..." >&2
sleep "$seconds"

printf '\n%-9s %-34s %7s %9s %7s %9s %9s %9s %9s %7s\n' program run "CPU ms" "on-CPU ms" \
    "CPU %" "RSS0 KiB" "RSS1 KiB" "HWM KiB" wake-ups checks
for n in "${names[@]}"; do
    pid_var="pid_$n"; pid=${!pid_var}
    if ! kill -0 "$pid" 2>/dev/null; then echo "$n: the process has ended" >&2; continue; fi
    read -r rss1 hwm cpu1 < <(figures "$pid")
    per_thread "$pid" >"$work/$n.threads1"
    wakeups=$(thread_delta "$work/$n.threads0" "$work/$n.threads1" 2)
    oncpu=$(thread_delta "$work/$n.threads0" "$work/$n.threads1" 3 | awk '{printf "%.1f", $1 / 1e6}')
    ms=$(( cpu1 - cpu0[$n] ))
    pct=$(awk -v ms="$ms" -v s="$seconds" 'BEGIN {printf "%.2f", ms / (s * 10)}')
    if [ "${n%_text}" = bare ]; then checks=-; else
        checks=$(( $(grep -c '状況：チェック中' "$work/$n.err" || true) - chk0[$n] )); fi
    case $n in
        checking) what="ringlark, every 1 s, Dovecot" ;;
        idle) what="ringlark, every 3600 s (waiting)" ;;
        imap_idle) what="ringlark, imap:// IDLE, 3600 s" ;;
        silent) what="ringlark, every 1 s, silent server" ;;
        bare) what="empty QWidget" ;;
        bare_text) what="QWidget with a Japanese label" ;;
    esac
    printf '%-9s %-34s %7d %9s %7s %9d %9d %9d %9d %7s\n' "$n" "$what" "$ms" "$oncpu" "$pct" \
        "${rss0[$n]}" "$rss1" "$hwm" "$wakeups" "$checks"
done
echo
echo "CPU ms: utime+stime of the whole process over ${seconds} s, in steps of $(( 1000 / $(getconf CLK_TCK) )) ms."
echo "on-CPU ms and wake-ups: run time (schedstat, ns) and context switches of the threads alive"
echo "at the end. RSS0/RSS1: VmRSS before and after the period; HWM: VmHWM."
echo "checks: ticks that reached 状況：チェック中 in the period."
for n in checking idle imap_idle silent; do
    printf '%s: log lines after start-up %d, watchdog endings %d, warnings %d\n' "$n" \
        $(( $(grep -c '^ringlark\.log' "$work/$n.err" || true) - 2 )) \
        "$(grep -c '状況：メールサーバーが応答しません' "$work/$n.err" || true)" \
        "$(grep -vc '^ringlark\.\|^QStandardPaths\|propagateSizeHints' "$work/$n.err" || true)"
done
