#!/usr/bin/env bash
# Installs what is missing, builds both architectures and runs every test under Wine:
#   scripts/test.sh [extra ctest arguments]
# The 64-bit suite runs under 64-bit Wine everywhere; the 32-bit suite runs where this
# machine can execute 32-bit programs, and otherwise only its checks that need no Wine.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VRK_BUILD_DIR:-$root/build}
# shellcheck source=architectures.sh
. "$root/scripts/architectures.sh"

"$root/scripts/bootstrap.sh"
"$root/scripts/build.sh" x86 x64

summary=()
failed=0
# The suites of the architectures that run go side by side: each has its own prefixes and
# wineserver, and most of a test's time is Wine starting up, not this machine's cores.
running=()
for arch in x64 x86; do
    tree=$build/$arch
    if can_run_architecture "$arch"; then
        # Every run gets fresh Wine prefixes inside the build tree; the first test creates one.
        for prefix in "$tree/wineprefix" "$tree/demo-test-wineprefix" "$tree/side-by-side-wineprefix" "$tree/bench-wineprefix"; do
            # The server writes its registry when it ends: wait for that before removing.
            WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
            WINEPREFIX=$prefix wineserver -w >/dev/null 2>&1 || true
            rm -rf "$prefix"
        done
        echo "== $arch: the whole suite under Wine (output in $tree/suite.log until it ends)"
        (
            rc=0
            ctest --test-dir "$tree" --output-on-failure --timeout 300 "$@" >"$tree/suite.log" 2>&1 || rc=$?
            WINEPREFIX=$tree/wineprefix wineserver -k >/dev/null 2>&1 || true
            exit "$rc"
        ) &
        running+=("$arch:$!")
    fi
done

for entry in "${running[@]}"; do
    arch=${entry%%:*}
    tree=$build/$arch
    if wait "${entry#*:}"; then
        outcome="$arch: every test passed ($(ctest --test-dir "$tree" -N | sed -n 's/^Total Tests: //p') tests)"
        # The tests that need both architectures (side by side, the surrogate) skip themselves
        # where 32-bit programs cannot run: said in the same line.
        skipped=$(sed -n 's/^.*Test *#[0-9]*: \([^ ]*\) .*\*\*\*Skipped.*$/\1/p' "$tree/suite.log" | paste -sd ' ' -)
        [ -z "$skipped" ] || outcome="${outcome%)}; skipped: $skipped, since ${cannot_run_reason:-it could not run})"
    else
        outcome="$arch: FAILED (see above)"
        failed=1
    fi
    echo "== $arch: the whole suite under Wine"
    cat "$tree/suite.log"
    summary+=("$outcome")
done

for arch in x64 x86; do
    tree=$build/$arch
    if ! can_run_architecture "$arch"; then
        echo "== $arch: only the checks that need no Wine"
        if ctest --test-dir "$tree" --output-on-failure -L static "$@"; then
            summary+=("$arch: suite skipped, $cannot_run_reason; its $(ctest --test-dir "$tree" -N -L static | sed -n 's/^Total Tests: //p') static checks passed")
        else
            summary+=("$arch: static checks FAILED (see above); suite skipped, $cannot_run_reason")
            failed=1
        fi
    fi
done

echo
printf '%s\n' "${summary[@]}"
exit "$failed"
