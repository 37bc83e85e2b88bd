#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test under Wine.
#   scripts/test.sh [extra ctest arguments]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VRK_BUILD_DIR:-$root/build}

"$root/scripts/bootstrap.sh"
"$root/scripts/build.sh"

# Every test run gets a fresh Wine prefix inside the build tree; the first test creates it.
prefix=$build/wineprefix
stop_wine() { WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true; }
stop_wine
rm -rf "$prefix"
trap stop_wine EXIT

ctest --test-dir "$build" --output-on-failure --timeout 300 "$@"
