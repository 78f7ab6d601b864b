#!/usr/bin/env bash
# Builds and runs the long run: 5,000 checks in one process against a local Dovecot, every
# second one finding a fresh trigger mail, one dial in three failed by the NetworkManager
# mock. Prints memory, descriptors and windows every 500 checks, then the totals.
#
#   bench/longrun/run_longrun_bench.sh [checks [sample-every [interval-seconds [trigger-every]]]]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
echo "Building bench_longrun..." >&2
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j2 --target bench_longrun >/dev/null
# Qt's notes about the offscreen platform are not figures.
QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" "$root/build/bench/longrun/bench_longrun" "$@" \
    2> >(grep -v 'XDG_RUNTIME_DIR\|propagateSizeHints' >&2)
