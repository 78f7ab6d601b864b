#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with clang into build-fuzz/ and runs each for a bounded
# time, all at once, one per core. Each run starts from a copy of the committed seed corpus and
# the kept crash inputs, made in build-fuzz/, so that the repository is never written to.
# Prints the executions per target; fails when a target crashes, leaks, times out or breaks
# an invariant, and names the input that did it.
#
#   ringlark_fuzz <root> [seconds per target, default 60]

ringlark_fuzz() {
    local root="$1" seconds="${2:-60}"
    local build="$root/build-fuzz" status=0
    command -v clang++ >/dev/null || { echo "clang is missing" >&2; return 1; }
    cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_BUILD_TYPE=Debug >&2 || return 1
    cmake --build "$build" -j"$(nproc)" >&2 || return 1

    local names=() pids=() target name work
    for target in "$build"/fuzz_*; do
        [ -f "$target" ] && [ -x "$target" ] || continue
        name="${target##*/fuzz_}"
        work="$build/run/$name"
        rm -rf "$work"
        mkdir -p "$work/corpus" "$work/crashes"
        cp "$root/fuzz/corpus/$name"/* "$work/corpus/" 2>/dev/null || true
        if [ -d "$root/fuzz/regressions/$name" ]; then
            cp "$root/fuzz/regressions/$name"/* "$work/corpus/" 2>/dev/null || true
        fi
        local dict=()
        [ -f "$root/fuzz/$name.dict" ] && dict=(-dict="$root/fuzz/$name.dict")
        # A small quarantine keeps the memory flat over a long run; use-after-free is still
        # caught for recently freed blocks, which is where the session's bugs would be.
        ASAN_OPTIONS="quarantine_size_mb=64:malloc_context_size=10:detect_leaks=1" \
        UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
            "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
            -print_final_stats=1 "${dict[@]}" -artifact_prefix="$work/crashes/" "$work/corpus" \
            >"$work/log" 2>&1 &
        names+=("$name")
        pids+=($!)
    done
    if [ ${#names[@]} -eq 0 ]; then
        echo "fuzz: no targets were built" >&2
        return 1
    fi

    local i runs secs crash
    for i in "${!names[@]}"; do
        name="${names[$i]}"
        work="$build/run/$name"
        if wait "${pids[$i]}"; then
            runs=$(sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) second.*/\1/p' "$work/log" | tail -1)
            secs=$(sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) second.*/\2/p' "$work/log" | tail -1)
            echo "fuzz $name: ${runs:-?} executions in ${secs:-?} s," \
                "$(find "$work/corpus" -type f | wc -l) corpus inputs"
        else
            status=1
            runs=$(sed -n 's/^stat::number_of_executed_units: *\([0-9]*\).*/\1/p' "$work/log" | tail -1)
            echo "fuzz $name: FAILED after ${runs:-?} executions; log: $work/log" >&2
            grep -E "ERROR:|runtime error:|invariant broken|SUMMARY" "$work/log" | head -5 >&2 || true
            for crash in "$work/crashes"/*; do
                [ -f "$crash" ] || continue
                echo "  input: $crash" >&2
                echo "  keep it: cp '$crash' '$root/fuzz/regressions/$name/'" >&2
            done
        fi
    done
    return $status
}
