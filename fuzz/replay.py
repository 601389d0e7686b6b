#!/usr/bin/env python3
# SPDX-License-Identifier: ISC
"""Runs lca on every input a campaign kept and checks it against the model.

usage: fuzz/replay.py path/to/lca FINDINGS_DIR

A run fails if it crashes, hangs, exits with the wrong status, writes other
answers than the model (more lines than pairs read among them), or quotes
another check.  Exits 1 if any run failed.
"""
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests"))
import model  # noqa: E402


def check(lca, data):
    """What is wrong with lca's run on data, or None."""
    try:
        r = subprocess.run([lca], input=data, capture_output=True, timeout=10)
    except subprocess.TimeoutExpired:
        return "hang"
    answers, status, cond, _ = model.run(data)
    want = "".join("%d\n" % a for a in answers).encode()
    if r.returncode != status:
        return "exit status %d, not %d" % (r.returncode, status)
    if r.stdout != want:
        return "%d answer lines, not %d" % (r.stdout.count(b"\n"), len(answers))
    err = r.stderr.decode(errors="replace")
    if cond is None and err:
        return "unexpected diagnostic " + err
    if cond is not None and not model.diagnostic(cond).match(err):
        return "diagnostic %r, not %r" % (err, cond)
    return None


def main():
    lca, findings = sys.argv[1], sys.argv[2]
    files = [os.path.join(d, f) for d, _, fs in os.walk(findings)
             for f in fs if f.startswith("id:")]
    failed = 0
    for path in sorted(files):
        with open(path, "rb") as f:
            problem = check(lca, f.read())
        if problem:
            failed += 1
            print("FAIL %s: %s" % (path, problem))
    print("replayed %d inputs: %d passed, %d failed"
          % (len(files), len(files) - failed, failed))
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
