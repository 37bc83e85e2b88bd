#!/usr/bin/env bash
# The long reliability runs: the script fuzzer and the multithreaded soak, for SECONDS each
# (default 600), on every architecture this machine can run:
#   scripts/stress.sh [SECONDS]
# CI runs both briefly as part of the suite; this runs them for as long as asked, each in a
# fresh prefix of its own, with the same crash and heap judgement as the suite.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VRK_BUILD_DIR:-$root/build}
seconds=${1:-600}
# shellcheck source=architectures.sh
. "$root/scripts/architectures.sh"

"$root/scripts/bootstrap.sh"
"$root/scripts/build.sh" x86 x64

failed=0
for arch in x64 x86; do
    if ! can_run_architecture "$arch"; then
        echo "== $arch: skipped, $cannot_run_reason"
        continue
    fi
    tree=$build/$arch
    prefix=$tree/stress-wineprefix
    WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
    rm -rf "$prefix"
    echo "== $arch: script fuzzer, $seconds s"
    (cd "$tree/bin" && VRK_FUZZ_CASES=4000000000 VRK_FUZZ_SECONDS=$seconds \
        "$root/cmake/run-gtest.sh" "$tree/wine-run.sh" "$prefix" ./script_fuzzer.exe) || failed=1
    echo "== $arch: soak, $seconds s"
    (cd "$tree/bin" && VRK_SOAK_SECONDS=$seconds VRK_WINEDEBUG=-all,warn+heap,err+heap \
        "$root/cmake/run-gtest.sh" "$tree/wine-run.sh" "$prefix" ./soak_tests.exe) || failed=1
    WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
done
exit "$failed"
