#!/usr/bin/env bash
# Compiles the Qt-free Windows files (*_win32.cpp) with mingw-w64, so that a broken Windows
# file fails here instead of rotting unseen.

ringlark_mingw_check() {
    local root="$1" cxx=x86_64-w64-mingw32-g++ f status=0
    command -v "$cxx" >/dev/null || { echo "mingw-w64 is missing" >&2; return 1; }
    local includes=()
    for d in "$root"/src/*/; do includes+=(-I"$d"); done
    while IFS= read -r f; do
        echo "mingw: $f" >&2
        "$cxx" -std=c++20 -Wall -Wextra -Werror -c "${includes[@]}" -o /dev/null "$f" || status=1
    done < <(find "$root/src" -name '*_win32.cpp' | sort)
    return $status
}
