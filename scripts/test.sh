#!/usr/bin/env bash
# The whole check: installs what is missing, builds all four trees and runs every test
# (native ones directly, Windows ones under wine64 inside one Xvfb display).
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
root="${BUILD_ROOT:-$repo/build}"
export BUILD_ROOT="$root"

"$repo/scripts/prepare.sh"

# One ctest run over both test trees, so that the last line is the one summary.
printf 'subdirs("native" "win64")\n' > "$root/CTestTestfile.cmake"

cd "$root"
xvfb-run -a -s "-screen 0 1024x768x24" bash "$repo/scripts/ctest-under-wine.sh" "$@"
