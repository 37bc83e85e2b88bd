#!/usr/bin/env bash
# The main job: builds the server and runs a C++ client against it under Wine.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VRK_BUILD_DIR:-$root/build}

"$root/scripts/bootstrap.sh"
"$root/scripts/build.sh"
echo "vrksolauth built: $build/bin/vrksolauth.dll"
