#!/usr/bin/env bash
# The main job: build the updater and start it under Wine with the usual command line.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
root="${BUILD_ROOT:-$repo/build}"
export BUILD_ROOT="$root"
"$repo/scripts/setup.sh"
"$repo/scripts/build.sh"
"$repo/scripts/wine-prefix.sh" "$root/wineprefix"
export WINEPREFIX="$root/wineprefix"
. "$repo/scripts/wine-env.sh"
run() { "$WINE" "$repo/out/win64/Refreshor.exe" "http://127.0.0.1:18080/UpdataDll.xml" auto; }
if [ -n "${DISPLAY:-}" ]; then run; else xvfb-run -a -s "-screen 0 1024x768x24" bash -c "$(declare -f run); WINE=$WINE repo=$repo run"; fi
