#!/usr/bin/env bash
# Builds, then runs every benchmark program under Wine for each architecture that this machine
# runs (x64 always, x86 where 32-bit programs run), and prints one table of the figures: server,
# peer, their ratio (median over the repetitions) and its spread, per architecture. Figure 7,
# the surrogate, runs where both architectures run. Then prints, one line each, the figures that
# are worse than in the baseline of the last accepted run (bench/baseline.tsv) by more than
# their spread; --accept makes this run the baseline.
#   scripts/bench.sh [--repetitions N] [--min-time SECONDS] [--no-build] [--accept] [--only PROGRAM...]
# --only runs the named programs alone (figure 7 needs surrogate_bench named); --accept then
# replaces only their figures in the baseline.
# Figure 8 compares the creation of a connected object with the previous release's DLL, built
# from that release's sources (VRK_BENCH_PREVIOUS_RELEASE, a commit; by default the last release
# before the components' integrity check) into build/bench-previous.
# Writes into build/bench/ (VRK_BENCH_OUT): <arch>/*.json (Google Benchmark's results),
# figures.md (the table), machine.txt, scaling.png (figures 4 and 5 as plots).
# The server and its peers run in the same process, their repetitions interleaved in random
# order, so that a change of the machine's load during the run touches both alike.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VRK_BUILD_DIR:-$root/build}
out=${VRK_BENCH_OUT:-$build/bench}
# shellcheck source=architectures.sh
. "$root/scripts/architectures.sh"

repetitions=12
min_time=0.1
run_build=1
accept=()
only=()
while [ $# -gt 0 ]; do
    case $1 in
        --repetitions) repetitions=$2; shift 2 ;;
        --min-time) min_time=$2; shift 2 ;;
        --no-build) run_build=0; shift ;;
        --accept) accept=(--accept); shift ;;
        --only)
            shift
            only=()
            while [ $# -gt 0 ] && [ "${1#--}" = "$1" ]; do only+=("$1"); shift; done
            ;;
        *) echo "bench.sh: unknown argument '$1'" >&2; exit 2 ;;
    esac
done
# Wine's drive Z: is the Linux root.
winepath_of() {
    printf 'Z:%s' "${1//\//\\}"
}

programs=(authenticate_bench dispatch_bench factory_bench registration_bench apartment_bench creation_bench)
previous_release=${VRK_BENCH_PREVIOUS_RELEASE:-ba4c82bc3aa901f48b88300401291637c49c46cc}

# gnuplot draws the plot; python3 reads the JSON results.
"$root/scripts/bootstrap.sh" gnuplot-nox
command -v python3 >/dev/null || "$root/scripts/bootstrap.sh" python3

architectures=()
for arch in x64 x86; do
    if can_run_architecture "$arch"; then
        architectures+=("$arch")
    else
        echo "bench.sh: $arch skipped, $cannot_run_reason" >&2
    fi
done
if [ "$run_build" = 1 ]; then
    "$root/scripts/build.sh" "${architectures[@]}"
fi
[ ${#only[@]} -eq 0 ] || programs=("${only[@]}")

# build_previous_release ARCH: the previous release's DLL beside this tree's benchmarks, in
# bin/previous-release/, which creation_bench loads as its peer.
build_previous_release() {
    local sources=$build/bench-previous/src tree=$build/bench-previous/$1 toolchain
    if [ "$(cat "$sources/.commit" 2>/dev/null)" != "$(git -C "$root" rev-parse "$previous_release")" ]; then
        rm -rf "$sources"
        mkdir -p "$sources"
        git -C "$root" archive "$previous_release" | tar -x -C "$sources"
        git -C "$root" rev-parse "$previous_release" >"$sources/.commit"
    fi
    toolchain=$sources/cmake/toolchain-$([ "$1" = x86 ] && echo i686 || echo x86_64)-w64-mingw32.cmake
    cmake -S "$sources" -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$tree" --target vrksolauth -j"$(nproc)" >/dev/null
    mkdir -p "$build/$1/bin/previous-release"
    cp "$tree/bin/vrksolauth.dll" "$build/$1/bin/previous-release/vrksolauth.dll"
}

rm -rf "$out"
mkdir -p "$out"
{
    echo "date: $(date -u '+%Y-%m-%d %H:%M UTC')"
    echo "processors (nproc): $(nproc)"
    echo "CPU: $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)"
    echo "Wine: $(/usr/lib/wine/wine64 --version)"
    echo "load average before the run: $(cut -d' ' -f1-3 /proc/loadavg)"
    echo "repetitions: $repetitions, minimum time per repetition: ${min_time}s"
} >"$out/machine.txt"
cat "$out/machine.txt"

# run_benchmark ARCH PROGRAM PREFIX [SECONDS]: one program of the ARCH tree, its results in
# $out/ARCH, ended after SECONDS if given. Its output goes to a file, which no process that it
# leaves behind (dllhost.exe) can hold open.
run_benchmark() {
    local tree=$build/$1 log=$out/$1/$2.log
    echo "== $1: $2"
    (cd "$tree/bin" && timeout "${4:-0}" "$tree/wine-run.sh" "$3" "$2.exe" \
        --benchmark_repetitions="$repetitions" \
        --benchmark_enable_random_interleaving=true \
        --benchmark_min_time="$min_time" \
        --benchmark_display_aggregates_only=true \
        --benchmark_out="$(winepath_of "$out/$1/$2.json")" \
        --benchmark_out_format=json) </dev/null >"$log" 2>&1 || true
    grep -E '_median|_cv' "$log" || true
    [ -s "$out/$1/$2.json" ] || { echo "bench.sh: $2 wrote no results (see $log)" >&2; exit 1; }
}

stop_wineserver() {
    WINEPREFIX=$1 wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX=$1 wineserver -w >/dev/null 2>&1 || true
}

# start_com_service PREFIX: Wine starts RpcSs, the service with which a surrogate registers its
# class, on first demand; in a new prefix that first start can time out, and the first client
# then waits for a server that never registers. So it is started here, until it runs.
start_com_service() {
    local try
    for try in $(seq 30); do
        if "$build/x64/wine-run.sh" "$1" sc query RpcSs </dev/null 2>&1 | grep -q RUNNING; then
            return 0
        fi
        "$build/x64/wine-run.sh" "$1" sc start RpcSs </dev/null >/dev/null 2>&1 || sleep 1
    done
    echo "bench.sh: the COM service RpcSs did not start in $1 ($try tries)" >&2
    return 1
}

report_arguments=()
for arch in "${architectures[@]}"; do
    mkdir -p "$out/$arch"
    [[ " ${programs[*]} " != *" creation_bench "* ]] || build_previous_release "$arch"
    for program in "${programs[@]}"; do
        run_benchmark "$arch" "$program" "$build/$arch/bench-wineprefix"
    done
    stop_wineserver "$build/$arch/bench-wineprefix"
    report_arguments+=("$arch=$out/$arch")
done

# Figure 7: in a 64-bit prefix of its own, the 32-bit server registered by the 32-bit regsvr32
# and offered to 64-bit clients by the 32-bit vrkauth; the 64-bit surrogate_bench is the client.
if [ ${#architectures[@]} -eq 2 ] && [[ ${#only[@]} -eq 0 || " ${only[*]} " == *" surrogate_bench "* ]]; then
    prefix=$build/x64/bench-surrogate-wineprefix
    stop_wineserver "$prefix"
    rm -rf "$prefix"
    x86_bin=$build/x86/bin
    setup_log=$out/x64/surrogate-setup.log
    if ! VRK_WINE_ARCH=wow64 "$root/cmake/wine-run.sh" "$prefix" regsvr32 /s \
        "$(winepath_of "$x86_bin/vrksolauth.dll")" </dev/null >"$setup_log" 2>&1 ||
        ! VRK_WINE_ARCH=wow64 "$root/cmake/wine-run.sh" "$prefix" "$(winepath_of "$x86_bin/vrkauth.exe")" \
            surrogate on </dev/null >>"$setup_log" 2>&1; then
        echo "bench.sh: the surrogate could not be set up (see $setup_log)" >&2
        exit 1
    fi
    start_com_service "$prefix"
    run_benchmark x64 surrogate_bench "$prefix" 600
    # The surrogate outlives its last client for a while: its prefix's server ends it.
    stop_wineserver "$prefix"
else
    echo "bench.sh: figure 7 (the surrogate) skipped: it needs both the x64 and the x86 programs to run" >&2
fi
echo "load average after the run: $(cut -d' ' -f1-3 /proc/loadavg)" >>"$out/machine.txt"

echo
partial=()
[ ${#only[@]} -eq 0 ] || partial=(--partial)
python3 "$root/scripts/bench-report.py" "$out" "${report_arguments[@]}" \
    --baseline "$root/bench/baseline.tsv" "${accept[@]}" "${partial[@]}"
[ ${#only[@]} -gt 0 ] || gnuplot -e "dir='$out'" "$root/scripts/bench-plot.gp"
echo
echo "results: $out (figures.md, machine.txt, scaling.png, <arch>/*.json)"
