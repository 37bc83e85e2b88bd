#!/usr/bin/env bash
# check-crashes-fail.sh: the test runner (run-gtest.sh) must call every broken run of a
# test program a failure, and a sound run a pass.
#   check-crashes-fail.sh RUN_GTEST WINE_RUN PREFIX CRASH_PROBE
# Each broken case must also have started (its "[ RUN      ]" line printed), so that a probe
# that could not even be loaded does not count as a caught crash.
set -u
run_gtest=$1
wine_run=$2
prefix=$3
probe=$4
failures=0
capture=$(mktemp)
trap 'rm -f "$capture"' EXIT

# expect CASE PASS|FAIL REASON_TEXT [WINEDEBUG]
expect() {
    local name=$1 expected=$2 reason=$3 status output
    VRK_WINEDEBUG=${4:--all} "$run_gtest" "$wine_run" "$prefix" "$probe" --gtest_filter="Probe.$name" >"$capture" 2>&1
    status=$?
    output=$(tr -d '\r' <"$capture")
    if ! printf '%s\n' "$output" | grep -qxF "[ RUN      ] Probe.$name"; then
        echo "FAIL: Probe.$name never started; output:"
        printf '%s\n' "$output" | sed 's/^/      /'
        failures=$((failures + 1))
    elif [ "$expected" = PASS ] && [ "$status" -eq 0 ]; then
        echo "ok:   Probe.$name passes"
    elif [ "$expected" = FAIL ] && [ "$status" -ne 0 ] && printf '%s\n' "$output" | grep -qF "run-gtest: FAILED: $reason"; then
        echo "ok:   Probe.$name is a failure: $reason"
    else
        echo "FAIL: Probe.$name: expected $expected ($reason), runner status $status; output:"
        printf '%s\n' "$output" | sed 's/^/      /'
        failures=$((failures + 1))
    fi
}

expect HeapIsIntact PASS ""
expect WritesThroughANullPointer FAIL "the test program exited with status"
expect ExitsWithStatusZeroMidTest FAIL "the test program ended without GoogleTest's closing summary"
expect OverrunsAHeapBlock FAIL "Wine reported heap corruption" -all,+heap

# The crash's own exit status, for the record: Wine gives no guarantee that it is non-zero.
"$wine_run" "$prefix" "$probe" --gtest_filter=Probe.ExitsWithStatusZeroMidTest </dev/null >/dev/null 2>&1
echo "note: an early ExitProcess(0) ends the probe with status $?"

[ "$failures" -eq 0 ] || { echo "$failures case(s) judged wrongly"; exit 1; }
echo "all cases judged correctly"
