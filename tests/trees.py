# SPDX-License-Identifier: ISC
"""Trees by shape, for the tests and the benchmark.

fathers(shape, n, rng) gives a list f of n + 1 entries, f[v] the father of
node v for v from 2 to n, and f[0] = f[1] = 0.  Node 1 is the root.  The
other nodes are numbered in shuffled order, so that a father is often
numbered above its child, in every shape but "in-order", a chain in which
each node's father is the one numbered before it, and "aliasing", a star
but for node 34465 + j, the child of 65538 + j: the scan for the children of
each leaf v up to 31073 meets a node whose father has v's low 16 bits,
v + 65536.  "binary" is complete: the k-th node built hangs from the
(k - 1) // 2-th.
"""

SHAPES = ("aliasing", "binary", "chain", "in-order", "narrow", "random",
          "star")


def fathers(shape, n, rng):
    if shape not in SHAPES:
        raise ValueError("no tree shape %r" % shape)
    if shape == "aliasing":
        return [0, 0] + [v + 31073 if 34465 <= v <= 65536 and v + 31073 <= n
                         else 1 for v in range(2, n + 1)]
    name = list(range(1, n + 1))
    if shape != "in-order":
        name[1:] = rng.sample(name[1:], n - 1)
    f = [0] * (n + 1)
    for k in range(1, n):
        # The k-th node hangs from one built before it.
        if shape in ("chain", "in-order"):
            up = k - 1
        elif shape == "narrow":  # deep, but branching
            up = rng.randint(max(0, k - 8), k - 1)
        elif shape == "random":
            up = rng.randrange(k)
        elif shape == "binary":
            up = (k - 1) // 2
        else:
            up = 0
        f[name[k]] = name[up]
    return f


def pairs(n, q, rng):
    return [(rng.randint(1, n), rng.randint(1, n)) for _ in range(q)]


def tree_input(f, pairs):
    """The input, as bytes, that asks pairs of the tree with fathers f."""
    return ("%d %d\n%s\n%s\n" % (
        len(f) - 1, len(pairs), " ".join(map(str, f[2:])),
        "\n".join("%d %d" % p for p in pairs))).encode()
