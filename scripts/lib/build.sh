#!/usr/bin/env bash
# Configures and builds into build/. In CI (CI=true) warnings are errors and the address and
# undefined-behaviour sanitizers are on. RINGLARK_TARGET limits the build to one target.

ringlark_build() {
    local root="$1"; shift
    local build="$root/build"
    local args=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo)
    command -v ccache >/dev/null && args+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    if [ "${CI:-}" = "true" ]; then
        args+=(-DRINGLARK_WERROR=ON -DRINGLARK_SANITIZE=ON)
    fi
    cmake -S "$root" -B "$build" "${args[@]}" "$@" >&2 || return 1
    cmake --build "$build" -j"$(nproc)" ${RINGLARK_TARGET:+--target "$RINGLARK_TARGET"} >&2
}
