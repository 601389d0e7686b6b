#!/usr/bin/env python3
"""Prints labelling and whole-program figures for lca.

usage: bench/run.py BUILD_DIR [--quick]

BUILD_DIR must hold bench/label_bench (configure with -DLCA_BENCH=ON) and lca.
--quick runs every step once on small inputs, to see that it works.
"""
import json
import os
import random
import subprocess
import sys
import tempfile
import time


def label_figures(bench, quick):
    args = [bench, "--benchmark_format=json"]
    if quick:
        args += ["--benchmark_filter=growth/fast/random/1000/"]
    runs = json.loads(subprocess.run(args, check=True, capture_output=True,
                                     text=True).stdout)["benchmarks"]
    ms = {}
    for r in runs:
        if r.get("aggregate_name", "median") == "median":
            ms[r["run_name"].split("/iterations")[0].split("/min_time")[0]] \
                = r["real_time"]
    print("labelling, ms (median of 3 for 100000 nodes)")
    for shape in ["random", "chain", "star"]:
        fast = ms.get("label/fast/%s/100000" % shape)
        plain = ms.get("label/plain/%s/100000" % shape)
        if fast and plain:
            print("  %-6s  fast %7.1f  plain %7.1f  plain/fast %5.1fx"
                  % (shape, fast, plain, plain / fast))
    sweep, fast = ms.get("label/sweep/random/100000"), \
        ms.get("label/fast/random/100000")
    if sweep and fast:
        print("  bare sweep of the table once per node %7.1f ms: "
              "fast runs at %.0f%% of it" % (sweep, 100 * sweep / fast))
    print("growth (random trees)")
    for n in [1000, 10000, 30000, 100000]:
        t = ms.get("growth/fast/random/%d" % n)
        if t:
            print("  n=%6d  %9.3f ms  %6.2f ns per n^2" % (n, t, t * 1e6 / n / n))


def tree_input(shape, n, q, rng):
    name = [1] + rng.sample(range(2, n + 1), n - 1)
    fathers = [0] * (n + 1)
    for k in range(1, n):
        f = k - 1 if shape == "chain" else rng.randrange(k)
        fathers[name[k]] = name[f]
    pairs = ("%d %d" % (rng.randint(1, n), rng.randint(1, n))
             for _ in range(q))
    return "%d %d\n%s\n%s\n" % (n, q, " ".join(map(str, fathers[2:])),
                                "\n".join(pairs))


# GNU time reports the peak of the program alone; a parent's own
# getrusage() would count the interpreter it was forked from.
TIME = ["/usr/bin/time", "-f", "%M"] if os.path.exists("/usr/bin/time") else []


def whole_program(lca, quick):
    n = 2000 if quick else 100000
    rng = random.Random(11)
    print("whole program, %d nodes: wall time and peak memory" % n)
    for shape in ["random", "chain"]:
        for q in [0, n]:
            with tempfile.TemporaryFile() as f:
                f.write(tree_input(shape, n, q, rng).encode())
                f.seek(0)
                start = time.perf_counter()
                p = subprocess.run(TIME + [lca], stdin=f, check=True,
                                   stdout=subprocess.DEVNULL,
                                   stderr=subprocess.PIPE, text=True)
                wall = time.perf_counter() - start
            peak = "%6.1f MiB" % (int(p.stderr) / 1024) if TIME else "n/a"
            print("  %-6s %6d queries  %7.3f s  %s" % (shape, q, wall, peak))


def main():
    build = sys.argv[1]
    quick = "--quick" in sys.argv
    label_figures(os.path.join(build, "bench", "label_bench"), quick)
    whole_program(os.path.join(build, "lca"), quick)


if __name__ == "__main__":
    main()
