#!/usr/bin/env python3
# SPDX-License-Identifier: ISC
"""Prints each phase of lca beside the limit the machine sets it.

usage: bench/run.py BUILD_DIR [--quick]

BUILD_DIR must hold lca, bench/lca_bench and bench/lca_bare_loop (configure
with -DLCA_BENCH=ON).
--quick runs every step once on small inputs, to see that it works.
"""
import json
import os
import random
import subprocess
import sys
import tempfile
import time


def medians(bench, pattern):
    """{benchmark name: (median ms, steps)} for the benchmarks matching."""
    # Repetitions run interleaved, so that a phase and its limit see the
    # same moods of a shared machine.
    out = subprocess.run([bench, "--benchmark_format=json",
                          "--benchmark_enable_random_interleaving=true",
                          "--benchmark_filter=" + pattern], check=True,
                         capture_output=True, text=True).stdout
    ms = {}
    for r in json.loads(out)["benchmarks"]:
        if r.get("aggregate_name", "median") == "median":
            name = r["run_name"].split("/iterations")[0].split("/min_time")[0]
            ms[name] = (r["real_time"], r.get("steps"))
    return ms


def labelling(build, quick):
    if quick:
        return
    ms = medians(os.path.join(build, "bench", "lca_bench"), "label/")
    sweep = next(k for k in ms if k.startswith("label/sweep"))
    limit = ms[sweep][0]
    print("labelling, 100000 nodes, ms (median of 5)")
    for shape in ["random", "chain", "star"]:
        fast = ms["label/fast/%s/100000" % shape][0]
        plain = ms["label/plain/%s/100000" % shape][0]
        print("  %-6s  fast %6.1f  plain %7.1f  plain/fast %4.1fx  "
              "%3.0f%% of the limit" % (shape, fast, plain, plain / fast,
                                         100 * limit / fast))
    print("  limit: a bare %s sweep of the aligned table once per node, "
          "%.1f ms" % (sweep.split("/")[1][len("sweep-"):], limit))
    ms = medians(os.path.join(build, "bench", "lca_bench_portable"),
                 "label/(fast/random|sweep)")
    fast = ms["label/fast/random/100000"][0]
    limit = next(v[0] for k, v in ms.items() if k.startswith("label/sweep"))
    print("  portable scan, random  %6.1f  %3.0f%% of the limit "
          "(%.1f ms in its own run)" % (fast, 100 * limit / fast, limit))


def climb(build, quick):
    ms = medians(os.path.join(build, "bench", "lca_bench"),
                 "climb/in-order" if quick else "(climb|chase)/")
    print("climb on a 100000-node chain, ns a step (median of 5)")
    for order in ["in-order", "shuffled"]:
        if "climb/" + order not in ms:
            continue
        t, steps = ms["climb/" + order]
        step = t * 1e6 / steps
        line = "  %-8s  climb %5.2f" % (order, step)
        if "chase/" + order in ms:
            t, steps = ms["chase/" + order]
            chase = t * 1e6 / steps
            line += "  pointer chase %5.2f  %3.0f%% of the limit" % (
                chase, 100 * chase / step)
        print(line)


def growth(build, quick):
    ms = medians(os.path.join(build, "bench", "lca_bench"),
                 "growth/fast/random/1000/" if quick else "growth/")
    print("labelling growth (random trees)")
    for n in [1000, 10000, 30000, 100000]:
        if "growth/fast/random/%d" % n in ms:
            t = ms["growth/fast/random/%d" % n][0]
            print("  n=%6d  %9.3f ms  %6.3f ns per n^2"
                  % (n, t, t * 1e6 / n / n))


def tree_input(shape, n, q, rng):
    name = [1] + rng.sample(range(2, n + 1), n - 1)
    fathers = [0] * (n + 1)
    for k in range(1, n):
        if shape == "chain":
            f = k - 1
        elif shape == "star":
            f = 0
        else:
            f = rng.randrange(k)
        fathers[name[k]] = name[f]
    pairs = ("%d %d" % (rng.randint(1, n), rng.randint(1, n))
             for _ in range(q))
    return "%d %d\n%s\n%s\n" % (n, q, " ".join(map(str, fathers[2:])),
                                "\n".join(pairs))


def input_file(shape, n, q):
    """A file holding the input, read from its start."""
    f = tempfile.TemporaryFile()
    f.write(tree_input(shape, n, q, random.Random(11)).encode())
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


def queries(build, quick):
    q = 10000 if quick else 1000000
    runs = 1 if quick else 5
    lca = [os.path.join(build, "lca")]
    bare = [os.path.join(build, "bench", "lca_bare_loop")]
    times = {"lca": [], "bare": []}
    with input_file("star", 1000, q) as f:
        for _ in range(runs):  # interleaved, as above
            times["lca"].append(cpu_ms(lca, f))
            times["bare"].append(cpu_ms(bare, f))
    t, limit = (sorted(v)[len(v) // 2] for v in (times["lca"],
                                                 times["bare"]))
    print("queries, %d random pairs on a 1000-node star, ms of CPU "
          "(median of %d)" % (q, runs))
    print("  lca %6.1f  bare read-and-write loop %6.1f  %3.0f%% of the "
          "limit" % (t, limit, 100 * limit / t))


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
    for phase in [labelling, climb, growth, queries, whole_program]:
        phase(build, quick)


if __name__ == "__main__":
    main()
