#!/usr/bin/env bash
# The main job: installs what is missing, builds both architectures, and runs the whole
# flow under Wine in a private prefix inside each build tree: the server and the
# substitute components registered, then both questions asked in each situation, early-
# and late-bound. The 64-bit server runs on every machine; the 32-bit one where this
# machine can execute 32-bit programs.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VRK_BUILD_DIR:-$root/build}
# shellcheck source=architectures.sh
. "$root/scripts/architectures.sh"

"$root/scripts/bootstrap.sh"
"$root/scripts/build.sh" x86 x64 >/dev/null

status=0
shown=()
for arch in x86 x64; do
    if can_run_architecture "$arch"; then
        printf '\n######## The %s server\n' "$arch"
        "$root/scripts/run-demo.sh" "$build/$arch" || status=1
        shown+=("$arch: shown")
    else
        shown+=("$arch: not shown, $cannot_run_reason")
    fi
done
echo
printf '%s\n' "${shown[@]}"
exit "$status"
