#!/usr/bin/env bash
# The main job: builds the server and shows a C++ client asking it both questions under
# Wine, first without the VRKsolution product and then with its installation key present.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VRK_BUILD_DIR:-$root/build}

"$root/scripts/bootstrap.sh"
"$root/scripts/build.sh" >/dev/null

export WINEPREFIX=$build/demo-wineprefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -k >/dev/null 2>&1 || true
rm -rf "$WINEPREFIX"
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
echo "== Preparing a private Wine prefix: $WINEPREFIX"
wineboot -i </dev/null >/dev/null 2>&1

client=$build/bin/EarlyBoundClient.exe
product_key='HKLM\SOFTWARE\VEYRAK Corporation\VRKSolutionClient'

echo
echo "== 1. The VRKsolution product is not installed"
wine "$client" CORP alice </dev/null || true

echo
echo "== 2. The product's installation key exists, but its components are missing here"
wine reg add "$product_key" /f </dev/null >/dev/null 2>&1
wine "$client" CORP alice </dev/null || true
wine reg delete "$product_key" /f </dev/null >/dev/null 2>&1

echo
echo "== Summary: the server loads, answers IsInstalled from the installation key, and reports"
echo "   every failure as an HRESULT with its description."
