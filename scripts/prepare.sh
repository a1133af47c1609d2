#!/usr/bin/env bash
# What every entry point needs first: the missing Debian packages, the four build trees and the
# Wine prefix. BUILD_ROOT moves the trees (default build/).
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
root="${BUILD_ROOT:-$repo/build}"
export BUILD_ROOT="$root"
"$repo/scripts/setup.sh"
"$repo/scripts/build.sh"
"$repo/scripts/wine-prefix.sh" "$root/wineprefix"
