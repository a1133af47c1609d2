#!/usr/bin/env bash
# Configures and builds the trees: win32 (shipped release), win64 (Windows tests, run under
# Wine), native (portable parts with sanitizers, for the tests; its binaries stay in the tree) and
# native-release (the optimised Linux tools shipped in out/native). BUILD_ROOT moves them
# elsewhere.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
root="${BUILD_ROOT:-$repo/build}"
jobs="${JOBS:-2}"
werror=OFF
[[ "${CI:-}" == "true" ]] && werror=ON

configure() { # dir, extra cmake args...
    local dir="$1"; shift
    if [ ! -f "$root/$dir/build.ninja" ]; then
        cmake -S "$repo" -B "$root/$dir" -G Ninja -DHALVENPORT_WERROR=$werror "$@" >/dev/null
    fi
}

configure win32 -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DHALVENPORT_TESTS=OFF
configure win64 -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHALVENPORT_WINEPREFIX="$root/wineprefix"
configure native -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHALVENPORT_SANITIZE=ON
configure native-release -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=Release -DHALVENPORT_TESTS=OFF

for dir in win32 win64 native native-release; do
    echo "== building $dir"
    cmake --build "$root/$dir" -j "$jobs"
done
