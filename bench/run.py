#!/usr/bin/env python3
# SPDX-License-Identifier: ISC
"""Prints each phase of lca beside the limit the machine sets it.

usage: bench/run.py BUILD_DIR [--quick]

BUILD_DIR must hold lca and the programs of bench/ (configure with
-DLCA_BENCH=ON).  --quick runs every step once on small inputs, to see that
it works; its figures mean nothing.
"""
import json
import os
import platform
import random
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests"))
import trees  # noqa: E402


def runs(quick):
    return 1 if quick else 5


def medians(bench, pattern, quick):
    """{benchmark name: (median ms, counters)} for the benchmarks matching."""
    # Repetitions run interleaved, so that a phase and its limit see the
    # same moods of a shared machine.
    out = subprocess.run([bench] + ["--quick"] * quick + [
        "--benchmark_format=json",
        "--benchmark_enable_random_interleaving=true",
        "--benchmark_filter=" + pattern], check=True, capture_output=True,
        text=True).stdout
    ms = {}
    for r in json.loads(out)["benchmarks"]:
        if r.get("aggregate_name", "median") == "median":
            name = r["run_name"].split("/iterations")[0].split("/min_time")[0]
            ms[name] = (r["real_time"], r)
    return ms


def processor(build, quick):
    """The processor's name and the clock its core runs at."""
    name = platform.processor() or platform.machine()
    fields = {}
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                key, _, value = line.partition(":")
                fields.setdefault(key.strip(), value.strip())
        name = "%s (family %s, model %s)" % (
            fields["model name"], fields["cpu family"], fields["model"])
    except (OSError, KeyError):
        pass
    clock = "clock not measured"
    if platform.machine() == "x86_64":
        t, r = medians(bench_path(build), "clock", quick)["clock/%d" % (
            1000000 if quick else 200000000)]
        clock = "%.2f GHz, from a chain of dependent multiplies" % (
            3 * r["multiplies"] / (t * 1e6))
    print("processor: %s, %s" % (name, clock))


def bench_path(build):
    return os.path.join(build, "bench", "lca_bench")


def labelling(build, quick):
    n = 2000 if quick else 100000
    ms = medians(bench_path(build), "label/", quick)
    layers = [name for name in layer_names(build)
              if "label/sweep16/" + name in ms]
    # The limit of the work at each layer's width: the best number of
    # values compared at once with every block.
    limit = {}
    for name, (t, _) in ms.items():
        if name.startswith("label/compare/"):
            layer, values = name[len("label/compare/"):].split("/")
            if layer not in limit or t < limit[layer][0]:
                limit[layer] = (t, int(values))
    print("labelling, %d nodes, ms (median of %d)" % (n, runs(quick)))
    rows = [(shape, layer, n) for layer in reversed(layers)
            for shape in ("random", "chain", "star")]
    rows.insert(3, ("aliasing", layers[-1], 100000))
    for shape, layer, size in rows:
        name = "label/%s/%s/%d" % (layer, shape, size)
        if shape == "aliasing":
            name = "label/aliasing/100000"
        if name not in ms:
            continue
        t = ms[name][0]
        plain = ms.get("label/plain/%s/%d" % (shape, size))
        print("  %-8s  %-8s %6.1f  %s  %3.0f%% of the %s limit" % (
            shape, layer, t, "plain %7.1f  plain/scan %4.1fx" % (
                plain[0], plain[0] / t) if plain else " " * 29,
            100 * limit[layer][0] / t, layer))
    print("  limit: K values at once compared with every block, in nodes / K "
          "passes: %s" % "; ".join("%s, best K=%d, %.1f ms" % (
              layer, limit[layer][1], limit[layer][0]) for layer in layers))
    print("  a bare sweep of a 16-bit table once per node, %s; of the 32-bit "
          "father table, %s" % tuple(", ".join(
              "%s %.1f ms" % (layer, ms["label/sweep%d/%s" % (bits, layer)][0])
              for layer in layers) for bits in (16, 32)))


def climb(build, quick):
    ms = medians(bench_path(build), "(climb|chase|climb_all|chases/[0-9]+)/",
                 quick)
    print("climb on a %d-node chain, ns a step (median of %d)"
          % (2000 if quick else 100000, runs(quick)))

    def ns(name):
        t, r = ms[name]
        return t * 1e6 / r["steps"]
    for shape, order in [("in-order", "in-order"), ("chain", "shuffled")]:
        step, chase = ns("climb/" + shape), ns("chase/" + shape)
        print("  %-8s  one query   climb %5.2f  one chase %5.2f  "
              "%3.0f%% of the limit" % (order, step, chase,
                                        100 * chase / step))
        k, chases = min(((int(name.split("/")[1]), ns(name))
                         for name in ms if name.startswith("chases/")
                         and name.endswith("/" + shape)),
                        key=lambda kc: kc[1])
        together = ns("climb_all/" + shape)
        print("  %-8s  1024 queries together %5.2f  %2d chases together "
              "%5.2f  %3.0f%% of the limit" % (order, together, k, chases,
                                                100 * chases / together))


def growth(build, quick):
    ms = medians(bench_path(build), "growth/", quick)
    print("labelling growth (random trees)")
    for n in [1000, 10000, 30000, 100000]:
        if "growth/random/%d" % n in ms:
            t = ms["growth/random/%d" % n][0]
            print("  n=%6d  %9.3f ms  %6.3f ns per n^2"
                  % (n, t, t * 1e6 / n / n))


def input_file(shape, n, q):
    """A file holding the input, read from its start."""
    rng = random.Random(11)
    f = tempfile.TemporaryFile()
    f.write(trees.tree_input(trees.fathers(shape, n, rng),
                             trees.pairs(n, q, rng)))
    f.seek(0)
    return f


def cpu_ms(command, stdin):
    """The user and system time of one run of command on the file stdin,
    the child's own, without the interpreter that forks it."""
    stdin.seek(0)
    p = subprocess.Popen(command, stdin=stdin, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(p.pid, 0)
    p.returncode = os.waitstatus_to_exitcode(status)  # reaped here
    if p.returncode != 0:
        sys.exit("%s failed" % command[0])
    return 1000 * (usage.ru_utime + usage.ru_stime)


def layer_names(build):
    """The layers that this processor runs, from the plainest, as lca's own
    table of them says."""
    return subprocess.run([os.path.join(build, "bench", "lca_read_loop"),
                           "--layers"], check=True, capture_output=True,
                          text=True).stdout.split()


def queries(build, quick):
    q = 10000 if quick else 1000000
    bench = os.path.join(build, "bench")
    programs = [
        ("lca", "lca", [os.path.join(build, "lca")]),
        ("bare", "bare loop, lca's reader and writer",
         [os.path.join(bench, "lca_bare_loop")]),
        ("iostream", "bare loop, >> and <<",
         [os.path.join(bench, "lca_iostream_loop")])] + [
        ("read " + r, "lca's reading alone, " + r,
         [os.path.join(bench, "lca_read_loop"), r])
        for r in layer_names(build)] + [
        ("tokens", "token count, nothing converted",
         [os.path.join(bench, "lca_token_loop")]),
        ("copy", "the blocks read, nothing else",
         [os.path.join(bench, "lca_copy_loop")])]
    # The star, where a query costs what reading and writing it costs,
    # and a random tree, where climbing costs too; the loops do the same
    # on either.
    runs_on = [("star", [key for key, _, _ in programs]),
               ("random", ["lca", "tokens", "copy"])]
    times = {(shape, key): [] for shape, keys in runs_on for key in keys}
    command = {key: c for key, _, c in programs}
    files = {shape: input_file(shape, 1000, q) for shape, _ in runs_on}
    for _ in range(runs(quick)):  # interleaved, as above
        for shape, keys in runs_on:
            for key in keys:
                times[shape, key].append(cpu_ms(command[key], files[shape]))
    for f in files.values():
        f.close()
    t = {k: sorted(v)[len(v) // 2] for k, v in times.items()}
    print("queries, %d random pairs on a 1000-node tree, ms of CPU "
          "(median of %d)" % (q, runs(quick)))
    for shape, keys in runs_on:
        for key, label, _ in programs:
            if key in keys:
                print("  %-6s  %-36s %6.1f  %4.2fx the token count  "
                      "%5.2fx the copy" % (
                          shape, label, t[shape, key],
                          t[shape, key] / t[shape, "tokens"],
                          t[shape, key] / t[shape, "copy"]))


def gnu_time():
    """A prefix that has GNU time report the peak memory of lca alone, or
    [] where there is none: a child's own getrusage() would count the
    interpreter that it was forked from."""
    try:
        subprocess.run(["time", "-f", "%M", "true"], check=True,
                       capture_output=True)
        return ["time", "-f", "%M"]
    except (OSError, subprocess.CalledProcessError):
        return []


def whole_program(build, quick):
    n = 2000 if quick else 100000
    peak = gnu_time()
    print("whole program: wall time and peak memory")
    for shape, nodes, q in [("random", n, 0), ("random", n, n),
                            ("chain", n, 0), ("chain", n, n),
                            ("random", 1000, 10 * n)]:
        with input_file(shape, nodes, q) as f:
            start = time.perf_counter()
            p = subprocess.run(peak + [os.path.join(build, "lca")],
                               stdin=f, check=True,
                               stdout=subprocess.DEVNULL,
                               stderr=subprocess.PIPE, text=True)
            wall = time.perf_counter() - start
        mib = "%5.1f MiB" % (int(p.stderr) / 1024) if peak else "n/a"
        print("  %-6s %6d nodes %7d queries  %7.3f s  %s"
              % (shape, nodes, q, wall, mib))


def main():
    if len(sys.argv) < 2 or sys.argv[1].startswith("-"):
        sys.exit(__doc__.strip().splitlines()[2])
    build, quick = sys.argv[1], "--quick" in sys.argv
    for phase in [processor, labelling, climb, growth, queries,
                  whole_program]:
        phase(build, quick)


if __name__ == "__main__":
    main()
