#!/usr/bin/env bash
# The main job: installs what is missing, builds, and runs the whole flow under Wine in a
# private prefix inside the build tree: the server and the substitute components
# registered, then both questions asked in each situation, early- and late-bound.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VRK_BUILD_DIR:-$root/build}

"$root/scripts/bootstrap.sh"
"$root/scripts/build.sh" >/dev/null
"$root/scripts/run-demo.sh" "$build"
