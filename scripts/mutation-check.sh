#!/usr/bin/env bash
# Measures how many deliberate faults the test suite catches. Each mutation of
# scripts/mutations.list is applied in turn to one scratch copy of the sources; both
# architectures' scratch trees are configured as scripts/build.sh configures its trees and built
# incrementally, and the tests that the mutation can reach run under Wine in fresh prefixes, the
# x64 and the x86 suite side by side. A mutation is killed when a test fails, survives when every
# test passes, is invalid when it does not build, and times out when the suite overruns its limit
# or a test hangs. A failure counts when the test fails again, run once more alone: one that does
# not repeat (Wine under load) is noted in the row, and the run goes on.
#   scripts/mutation-check.sh [--arch x64|x86|both] [--kill-sets] [--tests REGEX] [--exclude REGEX]
#                             [--only ID...] [--resume] [--list FILE] [--check] [--jobs N]
#                             [--limit SECONDS] [--results FILE]
# --arch       the suites to measure: x64, x86 or both (default: each one this machine can run).
#              Both trees are built whatever is measured: the x64 tree's package and its
#              side-by-side test use the x86 tree's files.
# --kill-sets  runs every reached test against each mutation instead of stopping at the first
#              failure, and reports every test that fails (the mutation's kill set); the results
#              then say, per test program and script, which mutations it kills and which of
#              them nothing else kills, and which tests alone kill a mutation
# --tests      runs only the tests that this CTest regular expression matches
# --exclude    also leaves out the tests that this CTest regular expression matches
# --only       runs the named mutations only (every entry is still checked against the sources)
# --resume     keeps the rows already in the results of an interrupted run of the same sources
#              and selection, and runs only the mutations that lack one
# --check      only checks the list against the sources
# --jobs       how many tests CTest runs at once in a kill-set run (tests that share a prefix
#              still wait for each other); default 1
# --limit      the time limit of one architecture's test run of a mutation (default 600 s, 1200 s
#              with --kill-sets)
# --results    the report (default build/mutation/results.md); the rows of each architecture go
#              beside it, to RESULTS-ARCH.tsv, written a row at a time
# Which tests a mutation reaches is read from the build, not from names: a test reaches the
# mutation when a file it uses differs, after the mutant's build, from the unmutated build's (the
# mutated source itself included); scripts/mutation-reach.pl says what each test uses. A
# mutation that changes no file a test uses survives with no test run, and its row says so.
# The scratch copy, both trees, the logs and the results are in build/mutation.
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

arch_choice=""
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
        --arch) arch_choice=$2; shift 2 ;;
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
        -h | --help) sed -n '2,43p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "mutation-check.sh: unknown argument '$1'" >&2; exit 2 ;;
    esac
done
[ -n "$limit" ] || limit=$((kill_sets ? 1200 : 600))

# The trees, in build order: the x64 tree packages the x86 tree's signed files.
trees=(x86 x64)
measured=()
case $arch_choice in
    "")
        for arch in x64 x86; do
            if can_run_architecture "$arch"; then measured+=("$arch"); else echo "== $arch not measured: $cannot_run_reason"; fi
        done
        ;;
    x64 | x86) measured=("$arch_choice") ;;
    both) measured=(x64 x86) ;;
    *) echo "mutation-check.sh: unknown architecture '$arch_choice' (x64, x86 or both)" >&2; exit 2 ;;
esac
for arch in "${measured[@]}"; do
    if ! can_run_architecture "$arch"; then
        echo "mutation-check.sh: $arch programs cannot run here ($cannot_run_reason)" >&2
        exit 2
    fi
done
[ ${#measured[@]} -gt 0 ] || { echo "mutation-check.sh: no architecture's programs run here" >&2; exit 2; }

work=$build/mutation
src=$work/src
logs=$work/logs
results=${results:-$work/results.md}
tree_of() { echo "$work/build-$1"; }
tsv_of() { echo "${results%.md}-$1.tsv"; }
mkdir -p "$work" "$logs"

# Tests that no source mutation can tell apart: formatting (a fault is not a style question) and
# the second build, which builds a copy of the same mutated sources and compares the two.
exclude='^(Sources\.AreFormatted|Reproducible\.)'
excluded_note="left out always: the format check and the second build (no mutation can change their verdict)"
if [ -n "$extra_exclude" ]; then
    exclude+="|$extra_exclude"
    excluded_note+="; left out on request: $extra_exclude"
fi
selection_note="every test that the mutation reaches"
[ -z "$tests_regex" ] || selection_note="the tests matching $tests_regex that the mutation reaches"

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

# --- the scratch copy and its build trees ------------------------------------------------
# The tracked files as they are in the worktree. A file is copied only when its content
# differs, with the current time, so that the build trees rebuild exactly what changed.
run_started=$SECONDS
sources="$(git -C "$root" rev-parse --short HEAD)$(git -C "$root" diff --quiet HEAD || echo ' with uncommitted changes')"
echo "== scratch copy of the sources ($sources): $src"
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
prefixes_of() {
    local prefix
    for prefix in "$(tree_of "$1")"/*wineprefix; do [ -d "$prefix" ] && echo "$prefix"; done
}
stop_wine() {
    local prefix
    for prefix in $(prefixes_of "$1"); do
        WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
        WINEPREFIX=$prefix wineserver -w >/dev/null 2>&1 || true
    done
}
fresh_prefixes() {
    local prefix
    stop_wine "$1"
    for prefix in $(prefixes_of "$1"); do rm -rf "$prefix"; done
}
# The suites that run side by side: each a subshell whose test run is a timeout(1), which leads
# its own process group and passes a signal on to it.
background=()
end_background() {
    local pid child
    for pid in "${background[@]}"; do
        for child in $(pgrep -P "$pid"); do kill "$child" 2>/dev/null; done
        kill "$pid" 2>/dev/null
    done
    background=()
}
trap 'end_background; restore_current; for arch in "${trees[@]}"; do stop_wine "$arch"; done' EXIT
trap 'exit 130' INT TERM

# Configured as scripts/build.sh configures build/x86 and build/x64: one TEST certificate for
# both, and the x64 tree's ZIP carrying the x86 tree's files, which defines the side-by-side test.
# Each tree answers CMake's file API, from which scripts/mutation-reach.pl reads the targets.
for arch in "${trees[@]}"; do
    tree=$(tree_of "$arch")
    package_with=""
    [ "$arch" != x64 ] || package_with=$(tree_of x86)
    mkdir -p "$tree/.cmake/api/v1/query"
    touch "$tree/.cmake/api/v1/query/codemodel-v2"
    echo "== configuring $tree"
    case $arch in
        x86) toolchain=$src/cmake/toolchain-i686-w64-mingw32.cmake ;;
        x64) toolchain=$src/cmake/toolchain-x86_64-w64-mingw32.cmake ;;
    esac
    cmake -S "$src" -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DVRK_PACKAGE_WITH="$package_with" -DVRK_TEST_CERTIFICATE_DIR="$work/signing" \
        >"$logs/configure-$arch.log" 2>&1 || { cat "$logs/configure-$arch.log"; exit 2; }
done

# build_tree ARCH LOG: builds one tree, within 900 s.
build_tree() {
    echo "== building $1" >>"$2"
    timeout 900 cmake --build "$(tree_of "$1")" -j"$(nproc)" >>"$2" 2>&1
}

# built_files ARCH [FIND TESTS]: the files the tree's build writes, apart from its intermediates
# (objects, static and import libraries, CMake's own records) and what tests leave in the tree
# (prefixes, CTest's records).
built_files() {
    local tree
    tree=$(tree_of "$1")
    shift
    find "$tree" \( -name CMakeFiles -o -name .cmake -o -name Testing -o -name '*wineprefix' \) -prune \
        -o -type f ! -name '*.a' "$@" -print0
}
baseline_files=$work/baseline-files.sha1
marker=$work/build-started
# changed_files ARCH: the files of the tree that its last build wrote and that differ from the
# unmutated build's, one a line.
changed_files() {
    built_files "$1" -newer "$marker" | xargs -0 -r sha1sum |
        perl -e 'my %old; open my $b, "<", $ARGV[0] or die; while (<$b>) { chomp; my ($h, $p) = split / +/, $_, 2; $old{$p} = $h; }
            while (<STDIN>) { chomp; my ($h, $p) = split / +/, $_, 2; print "$p\n" if ($old{$p} // "") ne $h; }' "$baseline_files"
}

echo "== $excluded_note"
echo "== building the unmutated trees"
: >"$logs/baseline-build.log"
for arch in "${trees[@]}"; do
    if ! build_tree "$arch" "$logs/baseline-build.log"; then
        tail -n 30 "$logs/baseline-build.log"
        echo "mutation-check.sh: the unmutated sources do not build ($arch)" >&2
        exit 2
    fi
done
for arch in "${trees[@]}"; do built_files "$arch"; done | xargs -0 -r sha1sum >"$baseline_files"

# The selected tests of each measured tree and the files each uses.
for arch in "${measured[@]}"; do
    tree=$(tree_of "$arch")
    select=(-E "$exclude")
    [ -z "$tests_regex" ] || select+=(-R "$tests_regex")
    ctest --test-dir "$tree" --show-only=json-v1 >"$work/tests-$arch.json" 2>"$logs/tests-$arch.log" &&
        ctest --test-dir "$tree" -N "${select[@]}" 2>>"$logs/tests-$arch.log" |
        sed -n 's/^ *Test *#[0-9]*: //p' >"$work/selected-$arch.txt" &&
        "$root/scripts/mutation-reach.pl" uses "$tree" "$work/tests-$arch.json" "$work/selected-$arch.txt" \
            >"$work/uses-$arch.tsv" || { cat "$logs/tests-$arch.log"; exit 2; }
    [ -s "$work/selected-$arch.txt" ] || { echo "mutation-check.sh: no test of $arch is selected" >&2; exit 2; }
    echo "== $arch: $(wc -l <"$work/selected-$arch.txt") tests selected"
done

# names_regex FILE: a CTest regular expression that matches exactly the test names in FILE.
names_regex() {
    perl -e 'my @n; while (<STDIN>) { chomp; next unless length; s/([^A-Za-z0-9_\/-])/\\$1/g; push @n, $_; }
        print "^(", join("|", @n), ")\$" if @n;' <"$1"
}

# The tests that failed, as CTest lists them at the end of its run, in run order; a test that
# hung is marked "(timeout)".
failed_tests() {
    perl -ne 'print $1, ($2 eq "Timeout" ? " (timeout)" : ""), "\n" if /^\s*\d+ - (.*) \(([^()]*)\)\s*$/' "$1"
}
# The tests that passed or skipped themselves in a CTest run.
passed_tests() {
    perl -ne 'print "$1\n" if /^\s*\d+\/\d+ Test\s+#\d+: (.*?) \.+\s*(?:\*\*\*)?(?:Passed|Skipped)\b/' "$1"
}

# ctest_run ARCH LOG NAMES [CTEST ARGUMENTS]: the tests of the file NAMES, within what is left of
# $deadline; appends CTest's output to LOG and returns its status (124 or 137: out of time).
ctest_run() {
    local arch=$1 log=$2 names=$3 rc=0
    shift 3
    [ $((deadline - SECONDS)) -gt 0 ] || return 124
    timeout --kill-after=20 $((deadline - SECONDS)) ctest --test-dir "$(tree_of "$arch")" --output-on-failure \
        --no-tests=error -R "$(names_regex "$names")" "$@" >>"$log" 2>&1 || rc=$?
    return "$rc"
}

# confirmed ARCH LOG TEST: whether TEST fails again when it runs once more, alone, in fresh
# prefixes; a failure counts only when it repeats (Wine under load fails now and then).
confirmed() {
    local arch=$1 log=$2 rc=0
    printf '%s\n' "${3% (timeout)}" >"$log.again"
    echo "== $3 failed; once more, alone" >>"$log"
    fresh_prefixes "$arch"
    ctest_run "$arch" "$log" "$log.again" || rc=$?
    [ "$rc" -ne 0 ]
}

# run_suite ARCH LOG FIRST REST: the tests of the files FIRST and then REST (names, one a line),
# stopping at the first failure that repeats. Returns 0 when every test passed, 1 on a failure,
# 3 when a test or the whole run timed out. The failing test goes to LOG.killers, a failure that
# did not repeat to LOG.unconfirmed.
run_suite() {
    local arch=$1 log=$2 rc=0 group failed
    fresh_prefixes "$arch"
    deadline=$((SECONDS + limit))
    : >"$log"
    : >"$log.killers"
    : >"$log.unconfirmed"
    for group in "$3" "$4"; do
        cp "$group" "$log.left"
        while [ -s "$log.left" ]; do
            : >"$log.part"
            rc=0
            ctest_run "$arch" "$log.part" "$log.left" --stop-on-failure || rc=$?
            cat "$log.part" >>"$log"
            [ "$rc" -ne 0 ] || break
            [ "$rc" -ne 124 ] && [ "$rc" -ne 137 ] || break 2
            failed=$(failed_tests "$log.part" | head -n 1)
            [ -n "$failed" ] || break 2
            if confirmed "$arch" "$log" "$failed"; then
                echo "$failed" >"$log.killers"
                break 2
            fi
            echo "$failed" >>"$log.unconfirmed"
            rc=0
            # On with the tests that have not run yet.
            { passed_tests "$log.part"; cat "$log.again"; } | grep -vxFf - "$log.left" >"$log.rest"
            mv "$log.rest" "$log.left"
        done
    done
    rm -f "$log.part" "$log.left" "$log.again"
    stop_wine "$arch"
    if [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then
        return 3
    fi
    if [ "$rc" -ne 0 ]; then
        # A hang that CTest cut short is a time-out, not a caught fault; so is a run that named no test.
        grep -q . "$log.killers" || return 1
        [[ $(cat "$log.killers") != *" (timeout)" ]] || return 3
        return 1
    fi
    return 0
}

# run_kill_set ARCH LOG NAMES: every test of the file NAMES, whatever fails; each failing test runs
# once more, alone. Returns 0 when no failure repeated, 1 when some did (listed in LOG.killers),
# 3 when the run overran its limit. Failures that did not repeat go to LOG.unconfirmed.
run_kill_set() {
    local arch=$1 log=$2 rc=0 failed
    fresh_prefixes "$arch"
    deadline=$((SECONDS + limit))
    : >"$log"
    : >"$log.killers"
    : >"$log.unconfirmed"
    ctest_run "$arch" "$log" "$3" -j"$jobs" || rc=$?
    [ "$rc" -ne 124 ] && [ "$rc" -ne 137 ] || { stop_wine "$arch"; return 3; }
    failed_tests "$log" >"$log.failed"
    while IFS= read -r failed; do
        if confirmed "$arch" "$log" "$failed"; then echo "$failed" >>"$log.killers"; else echo "$failed" >>"$log.unconfirmed"; fi
    done <"$log.failed"
    rm -f "$log.failed" "$log.again"
    stop_wine "$arch"
    [ $((deadline - SECONDS)) -gt 0 ] || return 3
    [ -s "$log.killers" ] && return 1
    [ "$rc" -eq 0 ] || [ -s "$log.unconfirmed" ] || return 1
    return 0
}

subsystem_tests() {
    case $1 in
        Common/Utility/*) echo '^(toolbox_registry_tests|error_reporting_tests)\.' ;;
        Common/Registry/*) echo '^toolbox_registry_tests\.' ;;
        registrar/*) echo '^registrar_tests\.' ;;
        authenticator/*) echo '^(authenticator_tests|error_reporting_tests)\.' ;;
        integrity/*) echo '^authenticator_tests\.' ;;
        server/*) echo '^(frame_tests|dispatch_tests)\.' ;;
        simulator/*) echo '^simulator_tests\.' ;;
        tools/vrkauth/*) echo '^vrkauth\.' ;;
        *) echo '' ;;
    esac
}

# A suite that fails unmutated measures nothing. Its pass is remembered for these very sources
# and this selection of tests.
fingerprint=$( (cd "$src" && git -C "$root" ls-files -z | xargs -0 sha1sum; echo "$exclude $tests_regex") | sha1sum | cut -c1-40)
baseline_arches=()
for arch in "${measured[@]}"; do
    if [ "$(cat "$work/baseline-$arch.ok" 2>/dev/null)" = "$fingerprint" ]; then
        echo "== $arch: the unmutated suite passed before on these sources; not run again"
    else
        baseline_arches+=("$arch")
    fi
done
if [ ${#baseline_arches[@]} -gt 0 ]; then
    echo "== the unmutated suite: ${baseline_arches[*]}"
    start=$SECONDS
    for arch in "${baseline_arches[@]}"; do
        (
            if [ "$kill_sets" -eq 1 ]; then
                run_kill_set "$arch" "$logs/baseline-$arch.log" "$work/selected-$arch.txt"
            else
                run_suite "$arch" "$logs/baseline-$arch.log" /dev/null "$work/selected-$arch.txt"
            fi
            echo $? >"$work/baseline-$arch.status"
        ) &
        background+=("$!")
    done
    wait
    background=()
    for arch in "${baseline_arches[@]}"; do
        if [ "$(cat "$work/baseline-$arch.status")" != 0 ]; then
            tail -n 40 "$logs/baseline-$arch.log"
            echo "mutation-check.sh: the unmutated $arch suite does not pass ($logs/baseline-$arch.log)" >&2
            exit 2
        fi
        if [ -s "$logs/baseline-$arch.log.unconfirmed" ]; then
            echo "   $arch: failed once and passed again: $(paste -sd ' ' "$logs/baseline-$arch.log.unconfirmed")"
        fi
        echo "$fingerprint" >"$work/baseline-$arch.ok"
        echo "   $arch passed ($(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\)/\1/p' "$logs/baseline-$arch.log" |
            awk '{ n += $1 } END { print n }') tests)"
    done
    echo "   in $((SECONDS - start)) s"
fi

# --- the mutations -----------------------------------------------------------------------
# One row a mutation and architecture, written once both architectures are done with it, so
# that an interrupted run can resume: id, file, outcome, seconds (this architecture's test run),
# build (the seconds until its tests could start: its tree built, and for x64 the x86 tree
# before it), tests (how many tests the mutation reached), the tests that failed twice ("; "
# between them; in a run that stops at the first failure, that one test), and those that failed
# once and passed when run again (unrepeated).
mode=$([ "$kill_sets" -eq 1 ] && echo kill-sets || echo first-failure)
tsv_header="# sources $fingerprint ($sources), $mode; $excluded_note; $selection_note"
declare -A done_rows=()
wall=${results%.md}.wall
if [ "$resume" -eq 1 ]; then
    resumable=1
    for arch in "${measured[@]}"; do
        [ -f "$(tsv_of "$arch")" ] && [ "$(head -n 1 "$(tsv_of "$arch")")" = "$tsv_header" ] || resumable=0
    done
fi
if [ "$resume" -eq 1 ] && [ "$resumable" -eq 1 ]; then
    for arch in "${measured[@]}"; do
        while IFS=$'\t' read -r id _; do
            [ "${id:0:1}" = "#" ] || [ "$id" = id ] || done_rows[$id]=$((${done_rows[$id]:-0} + 1))
        done <"$(tsv_of "$arch")"
    done
    # A mutation with rows for some architectures only runs again for all of them.
    for id in "${!done_rows[@]}"; do
        [ "${done_rows[$id]}" -eq ${#measured[@]} ] && continue
        unset "done_rows[$id]"
        for arch in "${measured[@]}"; do ID=$id perl -i -ne 'print unless /^\Q$ENV{ID}\E\t/' "$(tsv_of "$arch")"; done
    done
    echo "== resuming: ${#done_rows[@]} mutations already have results"
else
    for arch in "${measured[@]}"; do
        printf '%s\nid\tfile\toutcome\tseconds\tbuild\ttests\tfailing_tests\tunrepeated\n' "$tsv_header" >"$(tsv_of "$arch")"
    done
    echo 0 >"$wall"
fi
wall_before=$(cat "$wall" 2>/dev/null || echo 0)
mutations_started=$SECONDS

total=${#selected[@]}
number=0
for i in "${selected[@]}"; do
    number=$((number + 1))
    id=${ids[$i]} file=${files[$i]}
    [ -z "${done_rows[$id]:-}" ] || continue
    log=$logs/$id.log
    start=$SECONDS
    printf '[%d/%d] %-34s' "$number" "$total" "$id"

    # The marker first: a build step that keeps the source's time still writes a newer file.
    touch "$marker"
    sleep 0.2
    current_backup=$work/original.tmp
    cp "$src/$file" "$current_backup"
    current_file=$file
    TEXT=${texts[$i]} REPLACEMENT=${replacements[$i]} perl -0777 -i -pe \
        'my $p = index($_, $ENV{TEXT}); substr($_, $p, length $ENV{TEXT}) = $ENV{REPLACEMENT} if $p >= 0;' "$src/$file"
    touch "$src/$file"
    {
        echo "# $id: ${faults[$i]}"
        echo "# $file"
        diff -u "$current_backup" "$src/$file" --label original --label mutant
    } >"$log"

    declare -A outcome=() seconds=() build_seconds=() reached=() killers=() unconfirmed=()
    first=""
    [ "$kill_sets" -eq 1 ] || first=${firsts[$i]:-$(subsystem_tests "$file")}
    # Each architecture's suite starts once what it uses is built: the x86 suite after the x86
    # tree, the x64 suite after both (its package and side-by-side test use the x86 tree's files).
    echo "$src/$file" >"$work/changed.txt"
    failed_tree=""
    for tree_arch in "${trees[@]}"; do
        if [ -z "$failed_tree" ] && build_tree "$tree_arch" "$log"; then
            changed_files "$tree_arch" >>"$work/changed.txt"
        else
            failed_tree=${failed_tree:-$tree_arch}
        fi
        for arch in "${measured[@]}"; do
            [ "$arch" = "$tree_arch" ] || continue
            build_seconds[$arch]=$((SECONDS - start)) seconds[$arch]=0 reached[$arch]=0 killers[$arch]="" unconfirmed[$arch]=""
            if [ -n "$failed_tree" ]; then
                outcome[$arch]=invalid
                [ "$failed_tree" = "$arch" ] || killers[$arch]="(the $failed_tree tree, whose files this tree uses, did not build)"
                continue
            fi
            "$root/scripts/mutation-reach.pl" reached "$work/uses-$arch.tsv" "$work/changed.txt" "$first" \
                >"$work/reached-$arch.txt"
            reached[$arch]=$(wc -l <"$work/reached-$arch.txt")
            if [ "${reached[$arch]}" -eq 0 ]; then
                outcome[$arch]=survived
                killers[$arch]="(no test reached: no file that a test uses changed)"
                continue
            fi
            sed -n 's/^first\t//p' "$work/reached-$arch.txt" >"$work/first-$arch.txt"
            sed -n 's/^rest\t//p' "$work/reached-$arch.txt" >"$work/rest-$arch.txt"
            sed 's/^[a-z]*\t//' "$work/reached-$arch.txt" >"$work/all-$arch.txt"
            (
                started=$SECONDS
                if [ "$kill_sets" -eq 1 ]; then
                    run_kill_set "$arch" "$log.$arch" "$work/all-$arch.txt"
                else
                    run_suite "$arch" "$log.$arch" "$work/first-$arch.txt" "$work/rest-$arch.txt"
                fi
                echo "$? $((SECONDS - started))" >"$work/status-$arch"
            ) &
            background+=("$!")
            outcome[$arch]=running
        done
    done
    {
        echo "== built files that differ from the unmutated build's, and the mutated source"
        cat "$work/changed.txt"
    } >>"$log"
    wait
    background=()
    for arch in "${measured[@]}"; do
        [ "${outcome[$arch]}" = running ] || continue
        read -r status seconds[$arch] <"$work/status-$arch"
        case $status in
            0) outcome[$arch]=survived ;;
            1) outcome[$arch]=killed ;;
            *) outcome[$arch]="timed out" ;;
        esac
        killers[$arch]=$(paste -sd ';' "$log.$arch.killers" | sed 's/;/; /g')
        unconfirmed[$arch]=$(paste -sd ';' "$log.$arch.unconfirmed" | sed 's/;/; /g')
        # A kill set made only of tests that hung is a time-out.
        [ "${outcome[$arch]}" != killed ] || grep -qv ' (timeout)$' "$log.$arch.killers" || outcome[$arch]="timed out"
        {
            echo "== $arch: ${reached[$arch]} tests reached"
            cat "$log.$arch"
        } >>"$log"
        rm -f "$log.$arch" "$log.$arch.killers" "$log.$arch.unconfirmed"
    done
    restore_current
    line=""
    for arch in "${measured[@]}"; do
        printf '%s\t%s\t%s\t%d\t%d\t%d\t%s\t%s\n' "$id" "$file" "${outcome[$arch]}" "${seconds[$arch]}" \
            "${build_seconds[$arch]}" "${reached[$arch]}" "${killers[$arch]}" "${unconfirmed[$arch]}" >>"$(tsv_of "$arch")"
        line+=$(printf '  %s %-9s %3d+%3d s %s' "$arch" "${outcome[$arch]}" "${build_seconds[$arch]}" "${seconds[$arch]}" \
            "$(printf '%s' "${killers[$arch]}" | cut -c1-60)")
    done
    echo $((wall_before + SECONDS - mutations_started)) >"$wall"
    printf '%s\n' "$line"
done

# --- the results -------------------------------------------------------------------------
report_args=()
for arch in "${measured[@]}"; do report_args+=(--arch "$arch"); done
tsvs=()
for arch in "${measured[@]}"; do tsvs+=("$(tsv_of "$arch")"); done
"$root/scripts/mutation-report.pl" "${report_args[@]}" --sources "$sources" --mode "$mode" \
    --wall "$(cat "$wall")" --note "$excluded_note; $selection_note" "$parsed" "${tsvs[@]}" >"$results"
sed -n '/^## Survivors/,/^## [^S]/p' "$results" | head -n 60
grep '^Killed ' "$results"
echo "whole run: $((SECONDS - run_started)) s; results: $results"
! cat "${tsvs[@]}" | grep -Eq $'\t(survived|timed out|invalid)\t'
