#!/usr/bin/env bash
# Measures how many deliberate faults the test suite catches. Each mutation of
# scripts/mutations.list is applied in turn to one scratch copy of the sources, built
# incrementally and put through the suite under Wine in fresh prefixes; it is killed when a
# test fails, survives when every test passes, is invalid when it does not build, and times out
# when the suite overruns its limit or a test hangs.
#   scripts/mutation-check.sh [--arch x64|x86] [--full] [--kill-sets] [--tests REGEX] [--exclude REGEX]
#                             [--only ID...] [--resume] [--list FILE] [--check] [--jobs N]
#                             [--limit SECONDS] [--results FILE]
# --full       also runs the reliability programs (fuzzer, soak, fault sweep) and the demo, which
#              the default run leaves out for time (the registry round trip is part of the MSI
#              test, which always runs)
# --kill-sets  runs every selected test against each mutation instead of stopping at the first
#              failure, and reports every test that fails (the mutation's kill set); the results
#              then say, per test program and script, which mutations it kills and which of
#              them nothing else kills, and which tests alone kill a mutation
# --tests      runs only the tests that this CTest regular expression matches
# --exclude    also leaves out the tests that this CTest regular expression matches
# --only       runs the named mutations only (every entry is still checked against the sources)
# --resume     keeps the rows already in the results of an interrupted run of the same sources
#              and selection, and runs only the mutations that have none
# --check      only checks the list against the sources
# --jobs       how many tests CTest runs at once in a kill-set run (tests that share a prefix
#              still wait for each other); default 1
# --limit      the time limit of one mutation's test run (default 600 s, 1200 s with --kill-sets)
# The scratch copy, its build tree, one log per mutation and the results (a Markdown table,
# results-ARCH.md, and a tab-separated results-ARCH.tsv, written a row at a time) are in
# build/mutation.
#
# The list: one mutation a line, "ID | FILE | TEXT | REPLACEMENT | FAULT [| FIRST]". TEXT must
# occur exactly once in FILE. In TEXT and REPLACEMENT "\n" is a line break, "\|" a bar and "\\"
# a backslash (so a C++ "\n" is written "\\n"); whitespace around a field is not part of it.
# FIRST optionally names (a CTest regular expression) the tests to run before the rest; without
# it, the tests of the mutated file's subsystem go first. Order changes only how soon a killed
# mutation stops, never which tests a surviving one passes; a kill-set run ignores it.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VRK_BUILD_DIR:-$root/build}
# shellcheck source=architectures.sh
. "$root/scripts/architectures.sh"

arch=x64
full=0
kill_sets=0
resume=0
check_only=0
only=()
list=$root/scripts/mutations.list
limit=""
jobs=1
results=""
tests_regex=""
extra_exclude=""
while [ $# -gt 0 ]; do
    case $1 in
        --arch) arch=$2; shift 2 ;;
        --full) full=1; shift ;;
        --kill-sets) kill_sets=1; shift ;;
        --resume) resume=1; shift ;;
        --tests) tests_regex=$2; shift 2 ;;
        --exclude) extra_exclude=$2; shift 2 ;;
        --jobs) jobs=$2; shift 2 ;;
        --check) check_only=1; shift ;;
        --list) list=$(realpath "$2"); shift 2 ;;
        --limit) limit=$2; shift 2 ;;
        --results) results=$(realpath -m "$2"); shift 2 ;;
        --only)
            shift
            while [ $# -gt 0 ] && [ "${1#--}" = "$1" ]; do only+=("$1"); shift; done
            ;;
        -h | --help) sed -n '2,35p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "mutation-check.sh: unknown argument '$1'" >&2; exit 2 ;;
    esac
done
case $arch in
    x86) toolchain=$root/cmake/toolchain-i686-w64-mingw32.cmake ;;
    x64) toolchain=$root/cmake/toolchain-x86_64-w64-mingw32.cmake ;;
    *) echo "mutation-check.sh: unknown architecture '$arch' (x86 or x64)" >&2; exit 2 ;;
esac
[ -n "$limit" ] || limit=$((kill_sets ? 1200 : 600))
if ! can_run_architecture "$arch"; then
    echo "mutation-check.sh: $arch programs cannot run here ($cannot_run_reason)" >&2
    exit 2
fi

work=$build/mutation
src=$work/src
tree=$work/build-$arch
logs=$work/logs-$arch
results=${results:-$work/results-$arch.md}
tsv=${results%.md}.tsv
mkdir -p "$work" "$logs"

# Tests that no source mutation can tell apart: formatting (a fault is not a style question)
# and the harness's own crash probe, which runs no code of the project.
exclude='^(Sources\.AreFormatted|Harness\.|Reproducible\.)'
excluded_note="left out always: the format check, the harness self-test and the second build (no mutation can change their verdict: the second build copies the mutated sources too)"
if [ "$full" -eq 0 ]; then
    exclude+='|^(faults|script_fuzzer|soak_tests)\.|^Demo\.'
    excluded_note+="; left out for time (--full runs them): the script fuzzer, the soak, the allocation fault sweep and the demo"
fi
if [ -n "$extra_exclude" ]; then
    exclude+="|$extra_exclude"
    excluded_note+="; left out on request: $extra_exclude"
fi
selection_note="every test"
[ -z "$tests_regex" ] || selection_note="the tests matching $tests_regex"
# ctest_select: the CTest arguments that choose this run's tests.
ctest_select=(-E "$exclude")
[ -z "$tests_regex" ] || ctest_select+=(-R "$tests_regex")

# --- the list ---------------------------------------------------------------------------
# Parsed once by perl into NUL-separated records: id, file, text, replacement, fault, first.
parsed=$work/mutations.parsed
if ! perl -e '
    use strict; use warnings;
    my ($list, $out) = @ARGV;
    open my $in, "<", $list or die "cannot read $list: $!\n";
    open my $o, ">", $out or die "cannot write $out: $!\n";
    my %seen; my $bad = 0;
    sub unescape { my $t = shift; $t =~ s/\\(n|\||\\)/$1 eq "n" ? "\n" : $1/ge; return $t; }
    while (my $line = <$in>) {
        chomp $line;
        next if $line =~ /^\s*(#|$)/;
        my @fields = map { s/^\s+|\s+$//gr } split /(?<!\\)\|/, $line, -1;
        if (@fields < 5 || @fields > 6) { print STDERR "mutations.list:$.: expected 5 or 6 fields, found ", scalar @fields, "\n"; $bad = 1; next; }
        my ($id, $file, $text, $replacement, $fault, $first) = @fields;
        $first //= "";
        if ($id !~ /^[A-Za-z0-9][A-Za-z0-9._-]*$/) { print STDERR "mutations.list:$.: bad id \"$id\"\n"; $bad = 1; next; }
        if ($seen{$id}++) { print STDERR "mutations.list:$.: id $id given twice\n"; $bad = 1; next; }
        print $o join("\0", $id, $file, unescape($text), unescape($replacement), $fault, $first), "\0";
    }
    exit $bad;' "$list" "$parsed"; then
    echo "mutation-check.sh: $list has errors" >&2
    exit 2
fi

ids=() files=() texts=() replacements=() faults=() firsts=()
while IFS= read -r -d '' id && IFS= read -r -d '' file && IFS= read -r -d '' text &&
    IFS= read -r -d '' replacement && IFS= read -r -d '' fault && IFS= read -r -d '' first; do
    ids+=("$id") files+=("$file") texts+=("$text") replacements+=("$replacement") faults+=("$fault") firsts+=("$first")
done <"$parsed"

# count_occurrences FILE TEXT: how often TEXT occurs in FILE, exactly.
count_occurrences() {
    TEXT=$2 perl -0777 -ne 'my $t = $ENV{TEXT}; my $n = 0; my $p = 0;
        while (($p = index($_, $t, $p)) >= 0) { $n++; $p += length $t; } print $n;' "$1"
}

# Every entry must still name its text exactly once, in the sources as they are now.
stale=0
for i in "${!ids[@]}"; do
    path=$root/${files[$i]}
    if [ ! -f "$path" ]; then
        echo "STALE ${ids[$i]}: ${files[$i]} does not exist" >&2
        stale=1
        continue
    fi
    n=$(count_occurrences "$path" "${texts[$i]}")
    if [ "$n" != 1 ]; then
        echo "STALE ${ids[$i]}: its text occurs $n times in ${files[$i]}, not once" >&2
        stale=1
    fi
done
[ "$stale" -eq 0 ] || { echo "mutation-check.sh: stale entries in $list; fix them first" >&2; exit 2; }
if [ "$check_only" -eq 1 ]; then
    echo "${#ids[@]} mutations, every one names its text exactly once"
    exit 0
fi

selected=()
if [ ${#only[@]} -gt 0 ]; then
    for wanted in "${only[@]}"; do
        found=""
        for i in "${!ids[@]}"; do [ "${ids[$i]}" = "$wanted" ] && found=$i; done
        [ -n "$found" ] || { echo "mutation-check.sh: no mutation '$wanted' in $list" >&2; exit 2; }
        selected+=("$found")
    done
else
    selected=("${!ids[@]}")
fi

# --- the scratch copy and its build tree -------------------------------------------------
# The tracked files as they are in the worktree. A file is copied only when its content
# differs, with the current time, so that the build tree rebuilds exactly what changed.
echo "== scratch copy of the sources: $src"
mkdir -p "$src"
changed=0
while IFS= read -r -d '' file; do
    if ! cmp -s "$root/$file" "$src/$file"; then
        mkdir -p "$(dirname "$src/$file")"
        cp "$root/$file" "$src/$file"
        [ -x "$root/$file" ] && chmod +x "$src/$file"
        changed=$((changed + 1))
    fi
done < <(git -C "$root" ls-files -z)
echo "   $changed files brought up to date"

current_file=""
current_backup=""
# restore_current: puts the mutated file back, newer than anything built from the mutant.
restore_current() {
    if [ -n "$current_file" ]; then
        cp "$current_backup" "$src/$current_file"
        touch "$src/$current_file"
        current_file=""
    fi
}
stop_wine() {
    local prefix
    for prefix in "$tree"/*wineprefix; do
        [ -d "$prefix" ] || continue
        WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
        WINEPREFIX=$prefix wineserver -w >/dev/null 2>&1 || true
    done
}
fresh_prefixes() {
    local prefix
    stop_wine
    for prefix in "$tree"/*wineprefix; do
        [ -d "$prefix" ] && rm -rf "$prefix"
    done
}
trap 'restore_current; stop_wine' EXIT
trap 'exit 130' INT TERM

if [ ! -f "$tree/CMakeCache.txt" ]; then
    echo "== configuring $tree"
    nice cmake -S "$src" -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        >"$logs/configure.log" 2>&1 || { cat "$logs/configure.log"; exit 2; }
fi
build_tree() { nice cmake --build "$tree" -j"$(nproc)"; }

# run_suite LOG FIRST: the selected tests, FIRST's before the rest, stopping at the first failure.
# Returns 0 when every test passed, 1 on a failure, 3 when a test or the whole run timed out.
run_suite() {
    local log=$1 first=$2 rc=0 deadline
    fresh_prefixes
    deadline=$((SECONDS + limit))
    : >"$log"
    if [ -n "$first" ]; then
        nice timeout --kill-after=20 "$limit" ctest --test-dir "$tree" --output-on-failure --stop-on-failure \
            -R "$first" "${ctest_select[@]}" >>"$log" 2>&1 || rc=$?
    fi
    if [ "$rc" -eq 0 ] && [ $((deadline - SECONDS)) -gt 0 ]; then
        local rest=("${ctest_select[@]}")
        [ -z "$first" ] || rest[1]+="|$first"
        nice timeout --kill-after=20 $((deadline - SECONDS)) ctest --test-dir "$tree" --output-on-failure \
            --stop-on-failure "${rest[@]}" >>"$log" 2>&1 || rc=$?
    elif [ "$rc" -eq 0 ]; then
        rc=124
    fi
    stop_wine
    if [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then
        return 3
    fi
    if [ "$rc" -ne 0 ]; then
        # A hang that CTest cut short is a time-out, not a caught fault.
        if grep -q '\*\*\*Timeout' "$log" && ! grep -Eq '\*\*\*(Failed|Exception)|Not Run|No tests were found' "$log"; then
            return 3
        fi
        return 1
    fi
    grep -q '100% tests passed' "$log" || return 1
    return 0
}

# run_kill_set LOG: every selected test, whatever fails. Returns 0 when every test passed, 1 when
# some failed (failed_tests lists them), 3 when the run overran its limit before it ended.
run_kill_set() {
    local log=$1 rc=0
    fresh_prefixes
    nice timeout --kill-after=20 "$limit" ctest --test-dir "$tree" --output-on-failure -j"$jobs" \
        "${ctest_select[@]}" >"$log" 2>&1 || rc=$?
    stop_wine
    [ "$rc" -ne 124 ] && [ "$rc" -ne 137 ] || return 3
    grep -q '100% tests passed' "$log" && [ "$rc" -eq 0 ] && return 0
    return 1
}

# The tests that failed, as CTest lists them at the end of its run, in run order; a test that
# hung is marked "(timeout)".
failed_tests() {
    perl -ne 'print $1, ($2 eq "Timeout" ? " (timeout)" : ""), "\n" if /^\s*\d+ - (.*) \(([^()]*)\)\s*$/' "$1"
}
failed_test() { failed_tests "$1" | head -n 1; }

subsystem_tests() {
    case $1 in
        Common/Utility/*) echo '^(toolbox_tests|toolbox_registry_tests|error_reporting_tests)\.' ;;
        Common/Registry/*) echo '^toolbox_registry_tests\.' ;;
        registrar/*) echo '^registrar_tests\.' ;;
        authenticator/*) echo '^(authenticator_tests|error_reporting_tests)\.' ;;
        server/*) echo '^(frame_tests|dispatch_tests)\.' ;;
        simulator/*) echo '^simulator_tests\.' ;;
        tools/vrkauth/*) echo '^vrkauth\.' ;;
        *) echo '' ;;
    esac
}

echo "== $excluded_note"
echo "== building the unmutated tree"
if ! build_tree >"$logs/baseline-build.log" 2>&1; then
    tail -n 30 "$logs/baseline-build.log"
    echo "mutation-check.sh: the unmutated sources do not build" >&2
    exit 2
fi
# A suite that fails unmutated measures nothing. Its pass is remembered for these very sources
# and this selection of tests.
fingerprint=$( (cd "$src" && git -C "$root" ls-files -z | xargs -0 sha1sum; echo "$exclude $tests_regex") | sha1sum | cut -c1-40)
if [ "$(cat "$work/baseline-$arch.ok" 2>/dev/null)" = "$fingerprint" ]; then
    echo "== the unmutated suite passed before on these sources; not run again"
else
    echo "== the unmutated suite"
    start=$SECONDS
    if [ "$kill_sets" -eq 1 ]; then run_kill_set "$logs/baseline.log"; else run_suite "$logs/baseline.log" ""; fi
    status=$?
    if [ "$status" -ne 0 ]; then
        tail -n 40 "$logs/baseline.log"
        echo "mutation-check.sh: the unmutated suite does not pass ($logs/baseline.log)" >&2
        exit 2
    fi
    echo "$fingerprint" >"$work/baseline-$arch.ok"
    echo "   passed in $((SECONDS - start)) s ($(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\)/\1/p' "$logs/baseline.log" | awk '{ n += $1 } END { print n }') tests)"
fi

# --- the mutations -----------------------------------------------------------------------
# One row a mutation, written as soon as it is known, so that an interrupted run can resume:
# id, file, outcome, seconds, and the tests that failed ("; " between them; in a run that stops
# at the first failure, that one test).
mode=$([ "$kill_sets" -eq 1 ] && echo kill-sets || echo first-failure)
tsv_header="# sources $fingerprint, $mode; $excluded_note; $selection_note"
declare -A done_rows=()
if [ "$resume" -eq 1 ] && [ -f "$tsv" ] && [ "$(head -n 1 "$tsv")" = "$tsv_header" ]; then
    while IFS=$'\t' read -r id _; do
        [ "${id:0:1}" = "#" ] || [ "$id" = id ] || done_rows[$id]=1
    done <"$tsv"
    echo "== resuming: ${#done_rows[@]} mutations already have results in $tsv"
else
    printf '%s\nid\tfile\toutcome\tseconds\tfailing_tests\n' "$tsv_header" >"$tsv"
fi

total=${#selected[@]}
number=0
for i in "${selected[@]}"; do
    number=$((number + 1))
    id=${ids[$i]} file=${files[$i]}
    [ -z "${done_rows[$id]:-}" ] || continue
    log=$logs/$id.log
    start=$SECONDS
    printf '[%d/%d] %-34s ' "$number" "$total" "$id"

    current_backup=$work/original.tmp
    cp "$src/$file" "$current_backup"
    current_file=$file
    TEXT=${texts[$i]} REPLACEMENT=${replacements[$i]} perl -0777 -i -pe \
        'my $p = index($_, $ENV{TEXT}); substr($_, $p, length $ENV{TEXT}) = $ENV{REPLACEMENT} if $p >= 0;' "$src/$file"
    touch "$src/$file"

    killers=""
    {
        echo "# $id: ${faults[$i]}"
        echo "# $file"
        diff -u "$current_backup" "$src/$file" --label original --label mutant
    } >"$log"
    if ! timeout 900 nice cmake --build "$tree" -j"$(nproc)" >>"$log" 2>&1; then
        outcome=invalid
    else
        if [ "$kill_sets" -eq 1 ]; then
            run_kill_set "$log.tests"
        else
            first=""
            [ -n "$tests_regex" ] || first=${firsts[$i]:-$(subsystem_tests "$file")}
            run_suite "$log.tests" "$first"
        fi
        case $? in
            0) outcome=survived ;;
            1) outcome=killed ;;
            *) outcome="timed out" ;;
        esac
        if [ "$kill_sets" -eq 1 ]; then
            killers=$(failed_tests "$log.tests" | paste -sd ';' | sed 's/;/; /g')
        else
            killers=$(failed_test "$log.tests")
        fi
        # A kill set made only of tests that hung is a time-out.
        [ "$outcome" != killed ] || [ -n "$(failed_tests "$log.tests" | grep -v ' (timeout)$')" ] ||
            outcome="timed out"
        cat "$log.tests" >>"$log"
        rm -f "$log.tests"
    fi
    restore_current
    elapsed=$((SECONDS - start))
    printf '%s\t%s\t%s\t%d\t%s\n' "$id" "$file" "$outcome" "$elapsed" "$killers" >>"$tsv"
    printf '%-9s %4d s  %s\n' "$outcome" "$elapsed" "$(printf '%s' "$killers" | cut -c1-100)"
done

# --- the results -------------------------------------------------------------------------
sources="$(git -C "$root" rev-parse --short HEAD)$(git -C "$root" diff --quiet HEAD || echo ' with uncommitted changes')"
"$root/scripts/mutation-report.pl" --arch "$arch" --sources "$sources" --mode "$mode" \
    --note "$excluded_note; $selection_note" "$parsed" "$tsv" >"$results"
sed -n '/^## Survivors/,$p' "$results" | head -n 40
sed -n 's/^Killed \(.*\)/killed \1/p' "$results"
echo "results: $results"
! grep -Eq $'\t(survived|timed out|invalid)\t' "$tsv"
