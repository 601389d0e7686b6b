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
#include "trees.h"

namespace
{

// fathers[v] is the father of node v, for v from 2 to fathers.size() - 1.
void label(const std::vector<int> &fathers)
{
	std::fill(father, father + MAX_N, 0);
	std::fill(depth, depth + MAX_N, 0);
	level = 0;
	nodes = static_cast<int>(fathers.size()) - 1;
	std::copy(fathers.begin() + 2, fathers.end(), father + 2);
	dfs(1);
}

std::vector<int> labels(int upto)
{
	return std::vector<int>(depth + 1, depth + upto + 1);
}

int lca(int x, int y)
{
	climb(x, y);
	return x;
}

// Depths by walking each node's own chain of fathers, not by a descent.
std::vector<int> chain_depths(const std::vector<int> &fathers)
{
	std::vector<int> d(fathers.size(), 0);
	for (std::size_t v = 1; v < fathers.size(); v++)
		for (int u = static_cast<int>(v); u != 0; u = fathers[u])
			d[v]++;
	return d;
}

TEST(Label, SingleNodeIsTheRootAtDepthOne)
{
	label({0, 0});
	EXPECT_EQ(labels(3), (std::vector<int>{1, 0, 0}));
	EXPECT_EQ(level, 0);
}

TEST(Label, FatherNumberedAboveItsChild)
{
	label({0, 0, 3, 1});
	EXPECT_EQ(labels(3), (std::vector<int>{1, 3, 2}));
}

TEST(Label, LongChainNeedsNoStack)
{
	const int n = 30000;
	std::vector<int> fathers(n + 1, 0);
	std::iota(fathers.begin() + 2, fathers.end(), 1);
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
	label({0, 0, 1, 6, 5, 4, 4, 1});
	EXPECT_EQ(labels(8), (std::vector<int>{1, 2, 0, 0, 0, 0, 2, 0}));
	EXPECT_FALSE(reached(3));
	EXPECT_TRUE(reached(7));
	EXPECT_EQ(level, 0);
}

TEST(Label, MatchesChainWalkOnEveryShape)
{
	std::mt19937 rng(1);
	std::vector<std::pair<int, const char *>> trees;
	for (int n : {2, 3, 17, 64, 65, 1000, 4099})
		for (const char *shape : {"chain", "narrow", "random", "star"})
			trees.emplace_back(n, shape);
	// Nodes whose father shares the low 16 bits of a leaf.
	trees.emplace_back(MAX_N - 1, "aliasing");
	for (const auto &[n, shape] : trees) {
		std::vector<int> fathers = make_tree(shape, n, rng);
		label(fathers);
		std::vector<int> want = chain_depths(fathers);
		ASSERT_EQ(labels(n),
		          std::vector<int>(want.begin() + 1, want.end()))
		    << "n=" << n << " shape=" << shape;
		ASSERT_EQ(level, 0);
	}
}

// The first position from i, in whole blocks up to nodes, whose entry in
// the copy has v's low 16 bits, or where the whole blocks end: what every
// scan must give, found one entry at a time.
int first_match(int v, int i)
{
	for (; i + BLOCK - 1 <= nodes; i += BLOCK)
		for (int k = i; k < i + BLOCK; k++)
			if (father16[k] == static_cast<std::uint16_t>(v))
				return k;
	return i;
}

TEST(Scan, EachFindsTheFirstMatchInWholeBlocks)
{
	struct Row {
		int end, start, v, at;
	};
	std::vector<Row> rows;
	const int line = LINE, block = BLOCK;
	// Tables that end inside the first block, and one entry before, at
	// and after the end of a block; either of two nodes that share their
	// low bits, the other stored; a match at every place in two blocks,
	// with a second one after it, and none.
	for (int end : {line + 1, line + block - 2, line + 3 * block - 2,
	                line + 3 * block - 1, line + 3 * block})
		for (int start : {line, 2 * line, line + block})
			for (int v :
			     {7, 7 + 65536, 65535, 65536, 34464, 100000})
				for (int at = start; at <= start + 2 * block;
				     at++)
					rows.push_back({end, start, v, at});

	struct {
		const char *name;
		int (*blocks)(int v, int i);
		bool runs;
	} scans[] = {
		{"portable", scan_blocks, true},
#if defined(__x86_64__)
		{"avx2", scan_avx2, __builtin_cpu_supports("avx2") != 0},
		{"avx512", scan_avx512,
		 __builtin_cpu_supports("avx512bw") != 0},
#endif
	};
	for (const auto &scan : scans) {
		// For the log: which scans this processor let the suite reach.
		std::printf("%s the %s scan\n",
		            scan.runs ? "tested" : "skipped, unable to run,",
		            scan.name);
		for (const Row &r : scan.runs ? rows : std::vector<Row>{}) {
			nodes = r.end;
			// Past every end and match above.
			std::fill(father16, father16 + 8 * block,
			          static_cast<std::uint16_t>(r.v + 1));
			father16[r.at] =
			    static_cast<std::uint16_t>(r.v ^ 65536);
			father16[r.at + 1 + r.at % 3] = father16[r.at];
			ASSERT_EQ(scan.blocks(r.v, r.start),
			          first_match(r.v, r.start))
			    << scan.name << " end=" << r.end
			    << " start=" << r.start << " v=" << r.v
			    << " at=" << r.at;
		}
	}
}

TEST(Climb, SmallTree)
{
	label({0, 0, 1, 1, 2, 2});
	EXPECT_EQ(lca(4, 5), 2);
	EXPECT_EQ(lca(4, 3), 1);
	EXPECT_EQ(lca(3, 3), 3);
	EXPECT_EQ(lca(2, 5), 2); // ancestor first
	EXPECT_EQ(lca(5, 2), 2); // ancestor second
	EXPECT_EQ(lca(1, 4), 1);
}

// The driver fills father and nothing else; labelling writes the labels
// and the climb writes nothing, in any slot.
TEST(Climb, LabellingAndClimbWriteOnlyTheLabels)
{
	label({0, 0, 1, 1, 2, 2});
	for (int x = 1; x <= 5; x++)
		for (int y = 1; y <= 5; y++)
			lca(x, y);
	std::vector<int> fathers{0, 0, 1, 1, 2, 2}, depths{0, 1, 2, 2, 3, 3};
	fathers.resize(MAX_N);
	depths.resize(MAX_N);
	EXPECT_EQ(std::vector<int>(father, father + MAX_N), fathers);
	EXPECT_EQ(std::vector<int>(depth, depth + MAX_N), depths);
}

// The oracle: the first of y's ancestors that is also one of x's.
int oracle(const std::vector<int> &fathers, int x, int y)
{
	std::vector<bool> above_x(fathers.size());
	for (int u = x; u != 0; u = fathers[u])
		above_x[u] = true;
	while (!above_x[y])
		y = fathers[y];
	return y;
}

TEST(Climb, MatchesOracleOnEveryShape)
{
	std::mt19937 rng(2);
	for (int n : {2, 5, 100, 3000})
		for (const char *shape :
		     {"chain", "narrow", "random", "star"}) {
			std::vector<int> fathers = make_tree(shape, n, rng);
			label(fathers);
			std::uniform_int_distribution<int> node(1, n);
			for (int q = 0; q < 300; q++) {
				int x = node(rng), y = node(rng);
				ASSERT_EQ(lca(x, y), oracle(fathers, x, y))
				    << "n=" << n << " x=" << x << " y=" << y;
			}
		}
}

// Climbed together, pairs get what each gets climbed alone, however many
// are handed over at once: fewer than the lanes, as many, more, and more
// than the driver ever keeps.
TEST(Climb, TogetherAsAlone)
{
	std::mt19937 rng(3);
	for (int n : {1, 2, 9, 200, 3000})
		for (const char *shape :
		     {"chain", "in-order", "narrow", "random", "star"}) {
			const std::vector<int> fathers =
			    make_tree(shape, n, rng);
			label(fathers);
			std::uniform_int_distribution<int> node(1, n);
			std::vector<int> x, y;
			for (int k = 0; k <= PENDING; k++) {
				int a = node(rng), b = node(rng);
				// Now and then the same node, or a node and
				// one of its ancestors, either way round.
				if (k % 7 == 0)
					b = a;
				if (k % 7 == 1)
					for (b = a;
					     fathers[b] != 0 && b % 4 != 0;)
						b = fathers[b];
				if (k % 2 == 0)
					std::swap(a, b);
				x.push_back(a);
				y.push_back(b);
			}
			std::vector<int> counts(2 * LANES + 2);
			std::iota(counts.begin(), counts.end(), 0);
			counts.push_back(PENDING + 1);
			for (int count : counts) {
				std::vector<int> cx(x.begin(),
				                    x.begin() + count),
				    cy(y.begin(), y.begin() + count);
				climb_all(cx.data(), cy.data(), count);
				for (int k = 0; k < count; k++)
					ASSERT_EQ(cx[k], lca(x[k], y[k]))
					    << shape << " n=" << n
					    << " count=" << count
					    << " x=" << x[k] << " y=" << y[k];
			}
		}
}

} // namespace
