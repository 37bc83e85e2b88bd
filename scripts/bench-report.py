#!/usr/bin/env python3
"""Turns the benchmark programs' JSON results into the table of figures and the plot data, and
compares the figures with the baseline of the last accepted run.

    bench-report.py OUT_DIR ARCH=RESULTS_DIR... [--baseline FILE [--accept]] [--partial]

Each RESULTS_DIR holds one architecture's *.json files (Google Benchmark's --benchmark_out).
Writes OUT_DIR/figures.md (the table, also printed), OUT_DIR/scaling.dat and
OUT_DIR/growth.dat (for bench-plot.gp). Exits 1 when a figure's results are missing.

Every ratio is taken per repetition (the server's repetition i against the peer's repetition i;
the repetitions of both ran interleaved in random order) and summarised by its median, with
the spread from the first to the third quartile of those ratios.

With --baseline, prints one line for each figure whose ratio is worse than the baseline's by
more than the spread (third minus first quartile) of the baseline run or of this one, whichever
is wider; "worse" is what the goal says (higher for "<=", lower for ">=", further from the middle
of a band; without a goal, higher for times and lower for throughputs). --accept then writes
this run's ratios into FILE, keeping the lines of figures that this run did not measure.
"""

import argparse
import glob
import json
import os
import statistics
import sys

UNIT_NANOSECONDS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}

# figure, server run, peer run, what the ratio is, goal (operator, bound or (low, high)), measure
FIGURES = [
    ("1 Authenticate, early-bound", "F1.Authenticate.server/real_time", "F1.Authenticate.peer/real_time",
     "server / direct", ("<=", 1.10), "time"),
    ("2 GetIDsOfNames(\"Authenticate\")", "F2.GetIDsOfNames.server/real_time", "F2.GetIDsOfNames.peer/real_time",
     "standard / server", (">=", 20.0), "speedup"),
    ("2 Invoke(Authenticate)", "F2.Invoke.server/real_time", "F2.Invoke.peer/real_time",
     "server / standard", ("<=", 1.05), "time"),
    ("3 DllGetClassObject, cached", "F3.GetClassObject.server/real_time", "F3.GetClassObject.peer/real_time",
     "server / bare QI", ("<=", 1.20), "time"),
    ("4 Authenticate, 2 threads", "F4.AuthenticateScaling/real_time/threads:2",
     "F4.AuthenticateScaling/real_time/threads:1", "throughput 2 / 1", (">=", 1.8), "throughput"),
    ("4 Authenticate, 4 threads", "F4.AuthenticateScaling/real_time/threads:4",
     "F4.AuthenticateScaling/real_time/threads:1", "throughput 4 / 1", None, "throughput"),
    ("5 DllRegisterServer", "F5.DllRegisterServer.server/real_time", "F5.DllRegisterServer.peer/real_time",
     "server / by hand", ("<=", 1.50), "time"),
    ("5 Script, 100 / 10 keys", "F5.ScriptGrowth/100/real_time", "F5.ScriptGrowth/10/real_time",
     "time 100 / 10", ("in", (8.0, 12.0)), "time"),
    ("5 Script, 1000 / 100 keys", "F5.ScriptGrowth/1000/real_time", "F5.ScriptGrowth/100/real_time",
     "time 1000 / 100", ("in", (8.0, 12.0)), "time"),
    ("6 IsInstalled, cross-apartment", "F6.CrossApartment.server/real_time", "F6.CrossApartment.peer/real_time",
     "proxy / direct", None, "time"),
    ("7 IsInstalled, surrogate", "F7.Surrogate.server/real_time", "F7.Surrogate.peer/real_time",
     "dllhost / in process", None, "time"),
    ("8 CreateInstance, connected", "F8.Create.server/real_time", "F8.Create.peer/real_time",
     "this release / previous", ("<=", 1.30), "time"),
    ("8 CreateInstance, first in the DLL's life", "F8.CreateFirst.server/real_time",
     "F8.CreateFirst.peer/real_time", "this release / previous", None, "time"),
]

# Figures that a run may lack: 4 threads where there are fewer processors, and the surrogate
# (x64 only, and only where the x86 tree runs too).
OPTIONAL_FIGURES = ("4 Authenticate, 4 threads", "7 IsInstalled, surrogate")


def load_runs(directory):
    """run name -> {repetition index: entry}, over every JSON file of the directory, and the
    names of the runs that reported an error."""
    runs = {}
    failed = set()
    for path in sorted(glob.glob(os.path.join(directory, "*.json"))):
        with open(path) as stream:
            document = json.load(stream)
        for entry in document.get("benchmarks", []):
            if entry.get("error_occurred"):
                failed.add(entry["run_name"])
            elif entry.get("run_type") == "iteration":
                runs.setdefault(entry["run_name"], {})[entry.get("repetition_index", 0)] = entry
    return runs, failed


def value(entry, measure):
    if measure == "throughput":
        return entry["items_per_second"]
    return entry["real_time"] * UNIT_NANOSECONDS[entry["time_unit"]]


def quartiles(values):
    if len(values) < 2:
        return values[0], values[0], values[0]
    low, middle, high = statistics.quantiles(values, n=4, method="inclusive")
    return low, middle, high


def text_of(measure, number):
    if measure == "throughput":
        return "%.1f M/s" % (number / 1e6)
    for unit, scale in (("s", 1e9), ("ms", 1e6), ("us", 1e3)):
        if number >= scale:
            return "%.3g %s" % (number / scale, unit)
    return "%.3g ns" % number


def ratio_text(ratio):
    # Three decimals, except for the calls that cross apartments or processes, which cost
    # thousands of times a direct call.
    return "%.0f" % ratio if ratio >= 1000 else "%.3f" % ratio


def goal_text(goal):
    if goal is None:
        return "(none)"
    operator, bound = goal
    if operator == "in":
        return "%g..%g" % bound
    return "%s %g" % (operator, bound)


def goal_met(goal, ratio):
    if goal is None:
        return "-"
    operator, bound = goal
    if operator == "<=":
        met = ratio <= bound
    elif operator == ">=":
        met = ratio >= bound
    else:
        met = bound[0] <= ratio <= bound[1]
    return "yes" if met else "NO"


def figure_row(arch, runs, figure):
    """The figure's table row and its ratio's (median, first quartile, third quartile), or None."""
    label, server_name, peer_name, meaning, goal, measure = figure
    server, peer = runs.get(server_name), runs.get(peer_name)
    if not server or not peer:
        return None
    pairs = [(value(server[index], measure), value(peer[index], measure))
             for index in sorted(set(server) & set(peer))]
    if measure == "speedup":
        ratios = [p / s for s, p in pairs]
        shown = "time"
    else:
        ratios = [s / p for s, p in pairs]
        shown = measure
    low, middle, high = quartiles(ratios)
    server_median = statistics.median(s for s, _ in pairs)
    peer_median = statistics.median(p for _, p in pairs)
    row = "| %s | %s | %s | %s | %s | %s | %s..%s | %s | %s |" % (
        label, arch, text_of(shown, server_median), text_of(shown, peer_median), meaning, ratio_text(middle),
        ratio_text(low), ratio_text(high), goal_text(goal), goal_met(goal, middle))
    return row, (middle, low, high)


def how_much_worse(figure, baseline, ratio):
    """By how much ratio is worse than baseline for this figure (negative: better)."""
    goal, measure = figure[4], figure[5]
    if goal and goal[0] == "in":
        middle = sum(goal[1]) / 2
        return abs(ratio - middle) - abs(baseline - middle)
    if (goal and goal[0] == ">=") or (goal is None and measure == "throughput"):
        return baseline - ratio
    return ratio - baseline


def read_baseline(path):
    """(figure, arch) -> (median, first quartile, third quartile) of a baseline file."""
    baseline = {}
    if os.path.exists(path):
        with open(path) as stream:
            for line in stream:
                fields = line.rstrip("\n").split("\t")
                if line.startswith("#") or len(fields) != 4 or fields[0] == "figure":
                    continue
                low, high = fields[3].split("..")
                baseline[(fields[0], fields[1])] = (float(fields[2]), float(low), float(high))
    return baseline


def compare_with_baseline(path, ratios):
    baseline = read_baseline(path)
    if not baseline:
        print("baseline: none in %s yet (scripts/bench.sh --accept writes it)" % path)
        return
    within = 0
    for figure in FIGURES:
        for arch in ("x64", "x86"):
            key = (figure[0], arch)
            if key not in ratios or key not in baseline:
                continue
            (middle, low, high), (base, base_low, base_high) = ratios[key], baseline[key]
            spread = max(base_high - base_low, high - low)
            worse = how_much_worse(figure, base, middle)
            if worse > spread:
                print("worse than the baseline: %s (%s): %.3f against %.3f, by %.3f, more than the spread %.3f"
                      % (figure[0], arch, middle, base, worse, spread))
            else:
                within += 1
    print("baseline %s: %d figure(s) within their spread" % (path, within))


def accept_baseline(path, ratios):
    baseline = read_baseline(path)
    baseline.update(ratios)
    order = [figure[0] for figure in FIGURES]
    lines = ["# The last accepted run of scripts/bench.sh (scripts/bench.sh --accept writes this file):",
             "# per figure and architecture, the ratio's median and its spread (first..third quartile).",
             "figure\tarch\tratio\tspread"]
    for (label, arch) in sorted(baseline, key=lambda key: (order.index(key[0]) if key[0] in order else len(order),
                                                            key[1])):
        middle, low, high = baseline[(label, arch)]
        lines.append("%s\t%s\t%.3f\t%.3f..%.3f" % (label, arch, middle, low, high))
    with open(path, "w") as stream:
        stream.write("\n".join(lines) + "\n")
    print("baseline: accepted this run into %s" % path)


def main(arguments):
    parser = argparse.ArgumentParser(description="The table of figures of a scripts/bench.sh run.")
    parser.add_argument("out_directory")
    parser.add_argument("architectures", nargs="+", metavar="ARCH=RESULTS_DIR")
    parser.add_argument("--baseline", help="compare with this file of accepted ratios")
    parser.add_argument("--accept", action="store_true", help="then write this run's ratios into it")
    parser.add_argument("--partial", action="store_true",
                        help="a run of some programs only: figures that none of its runs measured are left out")
    options = parser.parse_args(arguments)
    out_directory = options.out_directory
    architectures = [argument.split("=", 1) for argument in options.architectures]
    os.makedirs(out_directory, exist_ok=True)
    lines = ["| figure | arch | server | peer | ratio | median | spread (quartiles) | goal | met |",
             "|---|---|---|---|---|---|---|---|---|"]
    scaling = ["# arch threads items_per_second(median)"]
    growth = ["# arch keys microseconds(median)"]
    missing = []
    rows = {}
    ratios = {}
    for arch, directory in architectures:
        runs, failed = load_runs(directory)
        for figure in FIGURES:
            result = figure_row(arch, runs, figure)
            if result:
                rows.setdefault(figure[0], []).append(result[0])
                ratios[(figure[0], arch)] = result[1]
            elif options.partial and not (set(runs) | failed) & set(figure[1:3]):
                continue
            elif figure[0] not in OPTIONAL_FIGURES or failed & set(figure[1:3]):
                missing.append("%s (%s)" % (figure[0], arch))
        for threads in (1, 2, 4):
            run = runs.get("F4.AuthenticateScaling/real_time/threads:%d" % threads)
            if run:
                scaling.append("%s %d %g" % (arch, threads,
                                             statistics.median(value(e, "throughput") for e in run.values())))
        for keys in (10, 100, 1000):
            run = runs.get("F5.ScriptGrowth/%d/real_time" % keys)
            if run:
                growth.append("%s %d %g" % (arch, keys,
                                            statistics.median(value(e, "time") for e in run.values()) / 1e3))
    for figure in FIGURES:
        lines.extend(rows.get(figure[0], []))
    table = "\n".join(lines) + "\n"
    with open(os.path.join(out_directory, "figures.md"), "w") as stream:
        stream.write(table)
    for name, data in (("scaling.dat", scaling), ("growth.dat", growth)):
        with open(os.path.join(out_directory, name), "w") as stream:
            stream.write("\n".join(data) + "\n")
    sys.stdout.write(table)
    if options.baseline:
        print()
        compare_with_baseline(options.baseline, ratios)
        if options.accept and not missing:
            accept_baseline(options.baseline, ratios)
    if missing:
        sys.stderr.write("bench-report: no results for: %s\n" % ", ".join(missing))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
