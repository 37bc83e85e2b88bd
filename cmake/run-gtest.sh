#!/usr/bin/env bash
# Runs one GoogleTest program under Wine and decides the outcome from what the runner
# printed, not from the exit status alone: a process that crashes, is killed or exits
# early under Wine can still end with status 0.
#   run-gtest.sh WINE_RUN PREFIX PROGRAM [GTEST ARGS...]
# Passes only when the program exits 0, GoogleTest printed its closing "[  PASSED  ]"
# summary and no "[  FAILED  ]" line, and Wine reported no heap corruption (with
# VRK_WINEDEBUG=warn+heap). The listing that test discovery asks for passes straight through.
set -u
wine_run=$1
prefix=$2
shift 2

# Test discovery asks for the listing when CTest starts, also for runs that select only
# checks without Wine. Where Wine cannot execute this architecture at all, the listing
# names one stand-in test that fails with the reason when it is run, instead of stopping
# CTest before any check has run.
for argument in "$@"; do
    if [ "$argument" = --gtest_list_tests ]; then
        errors=$(mktemp)
        # The listing is no test: a run that Wine lost on the way (seen once, status 139 at
        # the exit of a program that had printed its whole list) is asked again.
        for attempt in 1 2 3; do
            listing=$("$wine_run" "$prefix" "$@" 2>"$errors")
            status=$?
            [ "$status" -eq 0 ] || grep -q 'Exec format error' "$errors" && break
            echo "run-gtest.sh: listing attempt $attempt ended with status $status" >&2
        done
        cannot_execute=$(grep -c 'Exec format error' "$errors")
        cat "$errors" >&2
        rm -f "$errors"
        if [ "$status" -ne 0 ] && [ "$cannot_execute" -ne 0 ]; then
            printf 'WineCannotRunThisArchitecture.\n  ExecFormatError\n'
            exit 0
        fi
        printf '%s\n' "$listing"
        exit "$status"
    fi
done

capture=$(mktemp)
process_file=$(mktemp)
status_file=$(mktemp)
trap 'rm -f "$capture" "$process_file" "$status_file"' EXIT
# Wine's heap checking (VRK_WINEDEBUG=+heap) traces every heap call; only its findings
# are kept. A corrupted heap usually deadlocks the process in the heap's own lock, so
# the first finding ends the run at once instead of at the test's timeout.
(
    "$wine_run" "$prefix" "$@" </dev/null 2>&1 &
    echo $! >"$process_file"
    wait $!
    echo $? >"$status_file"
) | grep --line-buffered -v ':trace:heap:' | tee "$capture" &
runner=$!
heap_corrupted=0
while kill -0 "$runner" 2>/dev/null; do
    if grep -qE '(^|:)(err|warn):heap:' "$capture"; then
        heap_corrupted=1
        sleep 1
        kill -KILL "$(cat "$process_file")" 2>/dev/null
        break
    fi
    sleep 0.2
done
wait "$runner"
status=$(cat "$status_file")
status=${status:-255}
output=$(tr -d '\r' <"$capture")

verdict() {
    echo "run-gtest: FAILED: $*"
    exit 1
}
if [ "$heap_corrupted" -eq 1 ] || printf '%s\n' "$output" | grep -qE '(^|:)(err|warn):heap:'; then
    verdict "Wine reported heap corruption (see the heap messages above)"
fi
if [ "$status" -ne 0 ]; then
    verdict "the test program exited with status $status"
fi
if printf '%s\n' "$output" | grep -q '^\[  FAILED  \]'; then
    verdict "GoogleTest reported a failed test"
fi
if ! printf '%s\n' "$output" | grep -qE '^\[  PASSED  \] [0-9]+ tests?\.'; then
    verdict "the test program ended without GoogleTest's closing summary (a crash or an early exit)"
fi
exit 0
