#!/usr/bin/env python3
# SPDX-License-Identifier: ISC
"""Black-box tests of the lca binary.

usage: cli_test.py [EMULATOR [ARG...]] path/to/lca
"""
import os
import random
import resource
import select
import signal
import subprocess
import sys
import tempfile
import unittest

import model
import trees
from model import COUNT, FATHER, NODES, REACHED_X, REACHED_Y, X, Y

LCA = []  # the command that runs lca

SMALL = "5 3\n1 1 2 2\n4 5\n4 3\n3 3\n"


def small_queries(count, then=""):
    """SMALL's tree asked count of its pairs in turn, then pairs then."""
    pairs = ["4 5\n", "4 3\n", "3 3\n"]
    return ("5 %d\n1 1 2 2\n" % (count + then.count("\n"))
            + "".join(pairs[k % 3] for k in range(count)) + then,
            "".join("213"[k % 3] + "\n" for k in range(count)))


# More pairs than lca keeps waiting to be climbed at once.
MANY = 4096

# name, standard input, standard output, exit status, failed check or None
CASES = [
    ("worked example", SMALL, "2\n1\n3\n", 0, None),
    ("one line", SMALL.replace("\n", " "), "2\n1\n3\n", 0, None),
    ("one value a line", SMALL.replace(" ", "\n"), "2\n1\n3\n", 0, None),
    ("tabs and CRLF", SMALL.replace(" ", "\t").replace("\n", "\r\n"),
     "2\n1\n3\n", 0, None),
    ("vertical tab and form feed",
     SMALL.replace(" ", "\v").replace("\n", "\f"), "2\n1\n3\n", 0, None),
    ("no input after the last pair is read", SMALL + "junk 0 0",
     "2\n1\n3\n", 0, None),
    ("no final newline", SMALL.rstrip(), "2\n1\n3\n", 0, None),
    ("signs and leading zeros", "+5 03\n001 +1 2 02\n4 +5\n04 3\n3 003\n",
     "2\n1\n3\n", 0, None),
    ("zero queries", "3 0\n1 1\n", "", 0, None),
    ("zero queries, pairs ignored", "3 0\n1 1\n2 3\n", "", 0, None),
    ("single node", "1 1\n1 1\n", "1\n", 0, None),
    ("single node, empty after header", "1", "", 0, None),
    ("single node, no digit in count", "1 x", "", 0, None),
    ("father numbered above child", "3 3\n3 1\n2 3\n2 1\n2 2\n",
     "3\n1\n2\n", 0, None),
    ("as many pairs as wait to be climbed", *small_queries(MANY), 0, None),
    ("one pair more", *small_queries(MANY + 1), 0, None),
    # lca reads 64 KiB at a time: from a file, the first block ends inside
    # the 0001.
    ("value across two blocks", "3 1\n%s0001 1\n2 3\n" % (" " * 65530),
     "1\n", 0, None),

    ("empty input", "", "", 1, NODES),
    ("no nodes", "0 0\n", "", 1, NODES),
    ("negative nodes", "-3 0\n", "", 1, NODES),
    ("nodes one too many", "100001 0\n", "", 1, NODES),
    ("nodes beyond 32 bits", "4294967297 0\n", "", 1, NODES),
    ("nodes not a number", "abc 0\n", "", 1, NODES),
    ("nodes a lone sign", "- 0\n", "", 1, NODES),
    ("nodes checked after count read", "0", "", 1, NODES),

    ("father zero", "3 1\n0 1\n1 1\n", "", 1, FATHER),
    ("father one too many", "3 1\n1 100001\n1 1\n", "", 1, FATHER),
    ("father negative", "3 1\n-1 1\n1 1\n", "", 1, FATHER),
    ("father beyond 32 bits", "3 1\n1 99999999999\n", "", 1, FATHER),
    ("father missing", "3 1\n1\n", "", 1, FATHER),
    ("father a point", "3 1\n1 .5\n", "", 1, FATHER),
    ("count with no digit, more nodes", "3 x 1 1\n", "", 1, FATHER),
    ("count beyond 32 bits, more nodes", "3 99999999999 1 1\n", "", 1,
     FATHER),
    ("father checked before negative count", "3 -1\n1 0\n", "", 1, FATHER),

    ("pair 5 0", SMALL.replace("4 5", "5 0"), "", 1, Y),
    ("pair 0 0", SMALL.replace("4 5", "0 0"), "", 1, X),
    ("pair 0 5", SMALL.replace("4 5", "0 5"), "", 1, X),
    ("query node one too many", "3 1\n1 1\n1 100001\n", "", 1, Y),
    ("query node beyond 32 bits", "3 1\n1 1\n99999999999 1\n", "", 1, X),
    ("third query fails", SMALL.replace("3 3", "3 -3"), "2\n1\n", 1, Y),
    ("a query fails deep inside a block",
     *small_queries(3000, "4 0\n" + "4 5\n" * 2000), 1, Y),
    ("last father runs into a letter", "3 1\n1 7x\n1 1\n", "", 1, X),
    ("query x runs into a letter", "3 1\n1 1\n3a 1\n", "", 1, Y),

    # A query must never be answered from values it did not read.
    ("input ends before a pair", "3 3\n1 1\n2 3\n", "1\n", 1, X),
    ("input ends inside a pair", "3 3\n1 1\n2 3\n2", "1\n", 1, Y),
    ("pair does not parse", "3 2\n1 1\n2 3\n# 1\n", "1\n", 1, X),
    ("count beyond 32 bits, one node", "1 99999999999\n1 1\n", "", 1, X),
    ("negative count", "3 -1\n1 1\n1 1\n", "", 1, COUNT),
    ("count far below 32 bits, one node", "1 -99999999999\n", "", 1, COUNT),
    ("query node above nodes", "3 2\n1 1\n2 3\n1 5\n", "1\n", 1,
     REACHED_Y),
    ("query node below a father above nodes", "4 1\n1 9 3\n4 2\n", "", 1,
     REACHED_X),
    ("query node on a cycle", "4 1\n1 4 3\n2 3\n", "", 1, REACHED_Y),
    ("query node on a self-loop", "3 1\n1 3\n3 3\n", "", 1, REACHED_X),
]


def run(stdin, args=(), **kw):
    """Runs lca on stdin: a str or bytes to send, or a file to read."""
    kw.setdefault("stdout", subprocess.PIPE)
    kw.setdefault("stderr", subprocess.PIPE)
    if isinstance(stdin, str):
        stdin = stdin.encode()
    kw["input" if isinstance(stdin, bytes) else "stdin"] = stdin
    return subprocess.run([*LCA, *args], timeout=120, **kw)


def chain(n):
    return "%d 2\n%s\n%d %d\n%d %d\n" % (
        n, " ".join(map(str, range(1, n))), n, n - 1, n // 2, n)


def small_stack():
    resource.setrlimit(resource.RLIMIT_STACK, (256 << 10, 256 << 10))


def small_files():
    """Files of at most 4096 bytes, and a write beyond that an error: room
    for the counts that a build for coverage writes as it exits."""
    signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    resource.setrlimit(resource.RLIMIT_FSIZE, (4096, 4096))


class Case(unittest.TestCase):
    def assertRuns(self, stdin, out, status, cond):
        r = run(stdin)
        self.assertEqual(r.stdout.decode(), out)
        self.assertEqual(r.returncode, status)
        if cond is None:
            self.assertEqual(r.stderr, b"")
        else:
            self.assertRegex(r.stderr.decode(), model.diagnostic(cond))


class Table(Case):
    def test_cases(self):
        """Each row from a pipe, and from a file, whose reads of 64 KiB
        end where a value that straddles two blocks is split."""
        for name, stdin, out, status, cond in CASES:
            with self.subTest(name, source="pipe"):
                self.assertRuns(stdin, out, status, cond)
            with self.subTest(name, source="file"), \
                    tempfile.TemporaryFile() as f:
                f.write(stdin.encode())
                f.seek(0)
                self.assertRuns(f, out, status, cond)

    def test_arguments_are_ignored(self):
        r = run(SMALL, args=["--help", "-x", "file"])
        self.assertEqual((r.stdout, r.returncode), (b"2\n1\n3\n", 0))


class Limits(unittest.TestCase):
    def test_largest_tree_is_accepted(self):
        pairs = "".join("%d %d\n" % (v, 100001 - v) for v in range(1, 100001))
        star = "100000 100000\n%s\n%s" % (" ".join(["1"] * 99999), pairs)
        r = run(star)
        self.assertEqual((r.stdout, r.returncode), (b"1\n" * 100000, 0))

    def test_deepest_chain_on_a_small_stack(self):
        r = run(chain(100000), preexec_fn=small_stack)
        self.assertEqual((r.stdout, r.returncode, r.stderr),
                         (b"99999\n50000\n", 0, b""))


class Streams(unittest.TestCase):
    def test_bad_father_stops_without_reading_on(self):
        p = subprocess.Popen(LCA, stdin=subprocess.PIPE,
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        p.stdin.write(b"5 1\n1 0\n")
        p.stdin.flush()  # and keep the pipe open
        try:
            self.assertEqual(p.wait(timeout=30), 1)
            self.assertRegex(p.stderr.read().decode(),
                             model.diagnostic(FATHER))
        finally:
            p.kill()
            p.stdin.close()
            p.stdout.close()
            p.stderr.close()

    def test_answers_come_before_lca_waits(self):
        """A client waits for the answers to what it has sent before it
        sends more.  lca is told of one pair more, so that no answer comes
        from the flush at the end of the run."""
        n = 200
        rng = random.Random(3)
        fathers = trees.fathers("random", n, rng)
        tree = " ".join(map(str, fathers[2:])).encode()
        # name, pairs sent in each batch, bytes in each write (0: all)
        for name, batches, chunk in [("one pair at a time", [1] * 30, 0),
                                     ("several at once", [4, 1, 9, 16], 0),
                                     ("one byte at a time", [1, 3], 1)]:
            with self.subTest(name):
                p = subprocess.Popen(LCA, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE)
                self.addCleanup(p.stdout.close)
                self.addCleanup(p.kill)
                p.stdin.write(b"%d %d\n%s\n" % (n, sum(batches) + 1, tree))
                for batch in batches + [1]:
                    pairs = trees.pairs(n, batch, rng)
                    data = b"".join(b"%d %d\n" % pair for pair in pairs)
                    step = chunk or len(data)
                    for at in range(0, len(data), step):
                        p.stdin.write(data[at:at + step])
                        p.stdin.flush()
                    got = b""
                    while got.count(b"\n") < batch:
                        ready, _, _ = select.select([p.stdout], [], [], 30)
                        self.assertTrue(ready, "no answer within 30 s")
                        more = os.read(p.stdout.fileno(), 4096)
                        self.assertTrue(more, "lca closed standard output")
                        got += more
                    self.assertEqual(got, b"".join(
                        b"%d\n" % model.common_ancestor(fathers, x, y)
                        for x, y in pairs))
                p.stdin.close()
                self.assertEqual(p.wait(timeout=30), 0)

    def test_failed_streams_are_named(self):
        """A read or write error is reported as such, and stops the run."""
        read_error = r"\Alca: read error on standard input: .+\n\Z"
        write_error = r"\Alca: write error on standard output: .+\n\Z"
        directory = os.open("/", os.O_RDONLY)
        self.addCleanup(os.close, directory)
        small_file = tempfile.TemporaryFile()
        self.addCleanup(small_file.close)
        # Answers that fill no block, to input that takes more than one.
        padded = "1 3000\n" + "1 1%s\n" % (" " * 200) * 3000
        # name, arguments of run(), diagnostic (None: standard error is lost)
        cases = [
            ("directory as input", dict(stdin=directory), read_error),
            ("closed input", dict(stdin=subprocess.DEVNULL,
                                  preexec_fn=lambda: os.close(0)),
             read_error),
            ("closed output", dict(stdin=SMALL, stdout=subprocess.DEVNULL,
                                   preexec_fn=lambda: os.close(1)),
             write_error),
            # The first write is cut short at the limit, the next fails.
            ("file size limit", dict(stdin=padded, stdout=small_file,
                                     preexec_fn=small_files), write_error),
        ]
        if os.path.exists("/dev/full"):
            full = open("/dev/full", "wb")
            self.addCleanup(full.close)
            cases += [
                ("full disk", dict(stdin=SMALL, stdout=full), write_error),
                # The lost answer came before the check that fails.
                ("write error, then a failing check",
                 dict(stdin="3 2 1 1 2 3 9 9\n", stdout=full), write_error),
                ("write error, then a read",
                 dict(stdin=padded, stdout=full), write_error),
                ("diagnostic lost", dict(stdin="0 0", stderr=full), None),
            ]
        for name, kw, diagnostic in cases:
            with self.subTest(name):
                r = run(**kw)
                self.assertEqual(r.returncode, 1)
                if diagnostic:
                    self.assertRegex(r.stderr.decode(), diagnostic)

    @unittest.skipUnless(os.path.exists("/dev/full"), "no /dev/full")
    def test_lost_output_stops_the_reading(self):
        """A write that fails stops lca at its next read: the file is left
        at the byte after the last value read."""
        star = "10 5000\n" + "1 " * 9 + "\n"
        pairs = ["%d %d\n" % (2 + k % 9, 2 + k * 7 % 9) for k in range(5000)]
        padded = ["%-30s\n" % pair.strip() for pair in pairs]
        # name, input, offset left
        for name, data, offset in [
                # The answers of the first 4096 pairs fill the output
                # block, whose write fails; the next pair is read.
                ("output block full", star + "".join(pairs),
                 len(star + "".join(pairs[:4097])) - 1),
                # Fewer answers, written before the second block is read.
                ("before the next block", star + "".join(padded), 65536),
                # Every pair read; the write at the end fails.
                ("at the end", SMALL, len(SMALL) - 1)]:
            with self.subTest(name), tempfile.TemporaryFile() as f, \
                    open("/dev/full", "wb") as full:
                f.write(data.encode())
                f.seek(0)
                r = run(f, stdout=full)
                self.assertEqual(r.returncode, 1)
                self.assertRegex(r.stderr.decode(), r"write error")
                self.assertEqual(os.lseek(f.fileno(), 0, os.SEEK_CUR),
                                 offset)

    def test_runs_sharing_stderr_write_whole_lines(self):
        out, err = os.pipe()
        try:
            runs = [subprocess.Popen(LCA, stdin=subprocess.PIPE,
                                     stderr=err) for _ in range(100)]
        finally:
            os.close(err)
        for p in runs:  # all at once, so that their reports overlap
            p.stdin.write(b"5 1\n1 0\n")
            p.stdin.flush()
        for p in runs:
            p.stdin.close()
            p.wait(timeout=60)
        with os.fdopen(out, "rb") as f:
            lines = f.read().decode().splitlines(keepends=True)
        self.assertEqual(len(lines), 100)
        for line in lines:
            self.assertRegex(line, model.diagnostic(FATHER))

    def test_unread_input_is_left_to_the_next_reader(self):
        # name, input, what a reader of the same open file gets after lca
        for name, data, rest in [
                ("after the last pair", "3 1\n1 1\n2 3\nREST", "\nREST"),
                ("after a failed check", "3 1\n1 1\n9 1\nREST", "\nREST"),
                ("at a value that does not parse", "2 x REST", "x REST"),
                ("beyond the first block", SMALL + "R" * 150000,
                 "\n" + "R" * 150000)]:
            with self.subTest(name), tempfile.TemporaryFile() as f:
                f.write(data.encode())
                f.seek(0)
                run(f)
                self.assertEqual(os.read(f.fileno(), 200000), rest.encode())

    def test_answers_come_before_a_failed_check(self):
        r = run(SMALL.replace("3 3", "3 0"), stderr=subprocess.STDOUT)
        out = r.stdout.decode()
        self.assertTrue(out.startswith("2\n1\nlca: "), out)


class Differential(unittest.TestCase):
    def test_random_trees_against_oracle(self):
        rng = random.Random(4)
        for n in [1, 2, 3, 10, 257, 2000]:
            for shape in ["chain", "narrow", "random", "star"]:
                fathers = trees.fathers(shape, n, rng)
                pairs = trees.pairs(n, 500, rng)
                stdin = trees.tree_input(fathers, pairs)
                want = "".join("%d\n" % model.common_ancestor(fathers, x, y)
                               for x, y in pairs)
                with self.subTest(n=n, shape=shape):
                    r = run(stdin)
                    self.assertEqual((r.stdout.decode(), r.returncode),
                                     (want, 0))


class Garbled(Case):
    """Damaged inputs, read from a file: the binary must do just what the
    model does, and leave the file where the model stops reading."""

    TOKENS = [b"0", b"1", b"-1", b"+", b"-", b"100000", b"100001",
              b"2147483648", b"-2147483649", b" ", b"\t", b"\n", b"\r\n",
              b"\v", b"x", b".", b"\0", b"007"]

    def test_against_model(self):
        rng = random.Random(5)
        base = [SMALL.encode(), b"6 4\n3 4 5 6 1\n6 5\n1 6\n4 4\n2 6\n",
                b"1 2\n1 1\n1 1\n"]
        for k in range(300):
            data = bytearray(rng.choice(base))
            for _ in range(rng.randint(1, 3)):
                at = rng.randrange(len(data) + 1)
                cut = rng.choice([0, 0, 1, 2])
                data[at:at + cut] = rng.choice(self.TOKENS)
            data = bytes(data)
            answers, status, cond, consumed = model.run(data)
            with self.subTest(k=k, data=data), \
                    tempfile.TemporaryFile() as f:
                f.write(data)
                f.seek(0)
                self.assertRuns(f, "".join("%d\n" % a for a in answers),
                                status, cond)
                # What lca read ahead and did not consume is given back.
                self.assertEqual(os.lseek(f.fileno(), 0, os.SEEK_CUR),
                                 consumed)


if __name__ == "__main__":
    LCA = sys.argv[1:-1] + [os.path.abspath(sys.argv[-1])]
    del sys.argv[1:]
    unittest.main(verbosity=2)
