// SPDX-License-Identifier: ISC
// Labelling and climb, driven through the tables as the program drives them.
#include <algorithm>
#include <cstdio>
#include <numeric>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "scan.h"
#include "tree.h"

namespace
{

// fathers[k] is the father of node k + 2.
void label(const std::vector<int> &fathers)
{
	std::fill(father, father + MAX_N, 0);
	std::fill(depth, depth + MAX_N, 0);
	level = 0;
	nodes = static_cast<int>(fathers.size()) + 1;
	std::copy(fathers.begin(), fathers.end(), father + 2);
	dfs(1);
}

std::vector<int> labels(int upto)
{
	return std::vector<int>(depth + 1, depth + upto + 1);
}

int lca(int x, int y)
{
	climb(x, y);
	EXPECT_EQ(x, y);
	return x;
}

// Depths by walking each node's own chain of fathers, not by a descent.
std::vector<int> chain_depths(const std::vector<int> &fathers)
{
	int n = static_cast<int>(fathers.size()) + 1;
	std::vector<int> d(n + 1, 0);
	for (int v = 1; v <= n; v++)
		for (int u = v; u != 0; u = u == 1 ? 0 : fathers[u - 2])
			d[v]++;
	return d;
}

// A random tree of n nodes rooted at 1 whose numbers are shuffled, so
// fathers are often numbered above their children.  spread bounds how far
// back a node's father may be in the building order: 1 makes a chain, n a
// random tree.
std::vector<int> random_tree(int n, int spread, std::mt19937 &rng)
{
	std::vector<int> name(n);
	std::iota(name.begin(), name.end(), 1);
	std::shuffle(name.begin() + 1, name.end(), rng);
	std::vector<int> fathers(n - 1);
	for (int k = 1; k < n; k++) {
		int lo = std::max(0, k - spread);
		int f = std::uniform_int_distribution<int>(lo, k - 1)(rng);
		fathers[name[k] - 2] = name[f];
	}
	return fathers;
}

TEST(Label, SingleNodeIsTheRootAtDepthOne)
{
	label({});
	EXPECT_EQ(labels(3), (std::vector<int>{1, 0, 0}));
	EXPECT_EQ(level, 0);
}

TEST(Label, FatherNumberedAboveItsChild)
{
	label({3, 1});
	EXPECT_EQ(labels(3), (std::vector<int>{1, 3, 2}));
}

TEST(Label, LongChainNeedsNoStack)
{
	int n = 30000;
	std::vector<int> fathers(n - 1);
	std::iota(fathers.begin(), fathers.end(), 1);
	label(fathers);
	std::vector<int> want(n);
	std::iota(want.begin(), want.end(), 1);
	EXPECT_EQ(labels(n), want);
	EXPECT_EQ(level, 0);
}

TEST(Label, NodesCutOffFromTheRootKeepZero)
{
	// 3 hangs from 6, above nodes; 4 and 5 are each other's father; 7
	// hangs below the cycle; 2 alone is reached.
	label({1, 6, 5, 4, 4, 1});
	EXPECT_EQ(labels(8), (std::vector<int>{1, 2, 0, 0, 0, 0, 2, 0}));
	EXPECT_FALSE(reached(3));
	EXPECT_TRUE(reached(7));
	EXPECT_EQ(level, 0);
}

TEST(Label, LeavesFatherAndSlotsAboveNodesAlone)
{
	label({1, 1});
	EXPECT_EQ(father[0], 0);
	EXPECT_EQ(father[1], 0);
	EXPECT_EQ(depth[0], 0);
	EXPECT_EQ(depth[4], 0);
	EXPECT_EQ(depth[MAX_N - 1], 0);
}

TEST(Label, MatchesChainWalkOnRandomShapes)
{
	// For the log: which scan this processor let the suite reach.
	std::printf("labelled with the %s scan\n", choose_scan().name);
	std::mt19937 rng(1);
	for (int n : {2, 3, 17, 64, 65, 1000, 4099})
		for (int spread : {1, 2, 8, n}) {
			std::vector<int> fathers = random_tree(n, spread, rng);
			label(fathers);
			std::vector<int> want = chain_depths(fathers);
			ASSERT_EQ(labels(n), std::vector<int>(want.begin() + 1,
			                                      want.end()))
			    << "n=" << n << " spread=" << spread;
			ASSERT_EQ(level, 0);
		}
}

TEST(Climb, SmallTree)
{
	label({1, 1, 2, 2});
	EXPECT_EQ(lca(4, 5), 2);
	EXPECT_EQ(lca(4, 3), 1);
	EXPECT_EQ(lca(3, 3), 3);
	EXPECT_EQ(lca(2, 5), 2); // ancestor first
	EXPECT_EQ(lca(5, 2), 2); // ancestor second
	EXPECT_EQ(lca(1, 4), 1);
}

// The oracle: the first of y's ancestors that is also one of x's.
int oracle(const std::vector<int> &fathers, int x, int y)
{
	std::vector<bool> above_x(fathers.size() + 2);
	for (int u = x; u != 0; u = u == 1 ? 0 : fathers[u - 2])
		above_x[u] = true;
	while (!above_x[y])
		y = fathers[y - 2];
	return y;
}

TEST(Climb, MatchesOracleOnRandomShapes)
{
	std::mt19937 rng(2);
	for (int n : {2, 5, 100, 3000})
		for (int spread : {1, 3, n}) {
			std::vector<int> fathers = random_tree(n, spread, rng);
			label(fathers);
			std::uniform_int_distribution<int> node(1, n);
			for (int q = 0; q < 300; q++) {
				int x = node(rng), y = node(rng);
				ASSERT_EQ(lca(x, y), oracle(fathers, x, y))
				    << "n=" << n << " x=" << x << " y=" << y;
			}
		}
}

} // namespace
