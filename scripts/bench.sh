#!/usr/bin/env bash
# Builds, then runs every benchmark program under Wine for each architecture that this machine
# runs (x64 always, x86 where 32-bit programs run), and prints one table of the figures: server,
# peer, their ratio (median over the repetitions) and its spread, per architecture.
#   scripts/bench.sh [--repetitions N] [--min-time SECONDS] [--no-build]
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
while [ $# -gt 0 ]; do
    case $1 in
        --repetitions) repetitions=$2; shift 2 ;;
        --min-time) min_time=$2; shift 2 ;;
        --no-build) run_build=0; shift ;;
        *) echo "bench.sh: unknown argument '$1'" >&2; exit 2 ;;
    esac
done
# Wine's drive Z: is the Linux root.
winepath_of() {
    printf 'Z:%s' "${1//\//\\}"
}

programs=(authenticate_bench dispatch_bench factory_bench registration_bench)

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

report_arguments=()
for arch in "${architectures[@]}"; do
    tree=$build/$arch
    prefix=$tree/bench-wineprefix
    mkdir -p "$out/$arch"
    for program in "${programs[@]}"; do
        echo "== $arch: $program"
        (cd "$tree/bin" && "$tree/wine-run.sh" "$prefix" "$program.exe" \
            --benchmark_repetitions="$repetitions" \
            --benchmark_enable_random_interleaving=true \
            --benchmark_min_time="$min_time" \
            --benchmark_display_aggregates_only=true \
            --benchmark_out="$(winepath_of "$out/$arch/$program.json")" \
            --benchmark_out_format=json) | grep -E '_median|_cv' || true
        [ -s "$out/$arch/$program.json" ] || { echo "bench.sh: $program wrote no results" >&2; exit 1; }
    done
    WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
    report_arguments+=("$arch=$out/$arch")
done
echo "load average after the run: $(cut -d' ' -f1-3 /proc/loadavg)" >>"$out/machine.txt"

echo
python3 "$root/scripts/bench-report.py" "$out" "${report_arguments[@]}"
gnuplot -e "dir='$out'" "$root/scripts/bench-plot.gp"
echo
echo "results: $out (figures.md, machine.txt, scaling.png, <arch>/*.json)"
