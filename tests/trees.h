// SPDX-License-Identifier: ISC
// Trees by shape, for the tests and the benchmark.  make_tree() gives n + 1
// entries, entry v the father of node v for v from 2 to n, and 0 in entries
// 0 and 1.  Node 1 is the root.  The other nodes are numbered in shuffled
// order, so that a father is often numbered above its child, in every shape
// but "in-order", a chain in which each node's father is the one numbered
// before it, and "aliasing", a star but for node 34465 + j, the child of
// 65538 + j: the scan for the children of each leaf v up to 31073 meets a
// node whose father has v's low 16 bits, v + 65536.  "binary" is complete:
// the k-th node built hangs from the (k - 1) / 2-th.
#ifndef LCA_TREES_H
#define LCA_TREES_H

#include <algorithm>
#include <numeric>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

inline std::vector<int> make_tree(const std::string &shape, int n,
                                  std::mt19937 &rng)
{
	std::vector<int> name(n);
	std::iota(name.begin(), name.end(), 1);
	if (shape != "in-order")
		std::shuffle(name.begin() + 1, name.end(), rng);
	std::vector<int> fathers(n + 1, 0);
	if (shape == "aliasing") {
		for (int v = 2; v <= n; v++)
			fathers[v] = v >= 34465 && v <= 65536 && v + 31073 <= n
			                 ? v + 31073
			                 : 1;
		return fathers;
	}
	for (int k = 1; k < n; k++) {
		// The k-th node hangs from one built before it.
		int up;
		if (shape == "chain" || shape == "in-order")
			up = k - 1;
		else if (shape == "narrow") // deep, but branching
			up = std::uniform_int_distribution<int>(
			    std::max(0, k - 8), k - 1)(rng);
		else if (shape == "random")
			up = std::uniform_int_distribution<int>(0, k - 1)(rng);
		else if (shape == "star")
			up = 0;
		else if (shape == "binary")
			up = (k - 1) / 2;
		else
			throw std::invalid_argument("no tree shape " + shape);
		fathers[name[k]] = name[up];
	}
	return fathers;
}

#endif
