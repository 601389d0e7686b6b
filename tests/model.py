# SPDX-License-Identifier: ISC
"""What lca must do with any input, modelled from its rules alone.

run(data) gives (answers, exit status, failed check or None, bytes consumed)
for the bytes data.  It shares no code or algorithm with the program:
values are parsed by hand, reachability comes from child lists, and answers
from ancestor sets.
"""

import re

MAX_N = 100001
INT_MIN, INT_MAX = -2**31, 2**31 - 1
SPACE = b" \t\n\v\f\r"
DIGITS = b"0123456789"

NODES = "1 <= nodes && nodes < MAX_N"
FATHER = "1 <= father[i] && father[i] < MAX_N"
X = "1 <= x && x < MAX_N"
Y = "1 <= y && y < MAX_N"
COUNT = "0 <= queries"
REACHED_X = "reached(x)"
REACHED_Y = "reached(y)"


def diagnostic(cond):
    """The whole of standard error when check cond fails."""
    return re.compile(r"lca: src/main\.cpp:\d+: int main\(\): Assertion `"
                      + re.escape(cond) + r"' failed\.\n\Z")


class Reader:
    """Formatted int extraction: once a read fails, none stores again."""

    def __init__(self, data):
        self.data, self.pos, self.good = data, 0, True

    def read(self):
        d, p = self.data, self.pos
        if not self.good:
            return 0
        while p < len(d) and d[p] in SPACE:
            p += 1
        start = p
        if p < len(d) and d[p] in b"+-":
            p += 1
        digits = p
        while p < len(d) and d[p] in DIGITS:
            p += 1
        self.pos = p
        if p == digits:
            self.good = False
            return 0
        value = int(d[start:p])
        if not INT_MIN <= value <= INT_MAX:
            self.good = False
            return INT_MAX if value > 0 else INT_MIN
        if p == len(d):  # the end of input was met
            self.good = False
        return value


def reached_from_root(nodes, father):
    children = {}
    for v in range(2, nodes + 1):
        children.setdefault(father[v], []).append(v)
    seen, todo = {1}, [1]
    while todo:
        for c in children.get(todo.pop(), []):
            seen.add(c)
            todo.append(c)
    return seen


def common_ancestor(father, x, y):
    above_x = set()
    while x:
        above_x.add(x)
        x = father[x] if x != 1 else 0
    while y not in above_x:
        y = father[y]
    return y


def run(data):
    r = Reader(data)
    return answer(r) + (r.pos,)


def answer(r):
    nodes = r.read()
    queries = r.read()
    if not 1 <= nodes < MAX_N:
        return [], 1, NODES
    father = {}
    for i in range(2, nodes + 1):
        father[i] = r.read()
        if not 1 <= father[i] < MAX_N:
            return [], 1, FATHER
    seen = reached_from_root(nodes, father)
    if queries < 0:
        return [], 1, COUNT
    answers = []
    for _ in range(queries):
        x = r.read()
        y = r.read()
        for value, check in [(x, X), (y, Y)]:
            if not 1 <= value < MAX_N:
                return answers, 1, check
        for value, check in [(x, REACHED_X), (y, REACHED_Y)]:
            if value not in seen:
                return answers, 1, check
        answers.append(common_ancestor(father, x, y))
    return answers, 0, None
