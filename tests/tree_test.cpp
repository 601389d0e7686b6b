// SPDX-License-Identifier: ISC
// Labelling and climb, driven through the tables as the program drives them.
#include <algorithm>
#include <cstdio>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "layered.h"
#include "tree.h"
#include "trees.h"

namespace
{

// fathers[v] is the father of node v, for v from 2 to fathers.size() - 1;
// labelled through the scan given, or as the program labels.
void label(const std::vector<int> &fathers, scan_fn scan = nullptr)
{
	std::fill(father, father + MAX_N, 0);
	std::fill(depth, depth + MAX_N, 0);
	nodes = static_cast<int>(fathers.size()) - 1;
	std::copy(fathers.begin() + 2, fathers.end(), father + 2);
	if (scan != nullptr)
		dfs_with(scan, 1);
	else
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
}

TEST(Label, NodesCutOffFromTheRootKeepZero)
{
	// 3 hangs from 6, above nodes; 4 and 5 are each other's father; 6
	// hangs below the cycle; 2 and 7 alone are reached; 8 hangs from
	// 65538, above nodes, which shares its low 16 bits with 2.
	label({0, 0, 1, 6, 5, 4, 4, 1, 65538});
	EXPECT_EQ(labels(9), (std::vector<int>{1, 2, 0, 0, 0, 0, 2, 0, 0}));
	EXPECT_FALSE(reached(3));
	EXPECT_TRUE(reached(7));
}

// The labelling as one descent from the root, one node's scan at a time.
void descend(const std::vector<int> &fathers, std::vector<int> &d, int v,
             int label)
{
	d[v] = label;
	for (std::size_t i = 2; i < fathers.size(); i++)
		if (fathers[i] == v)
			descend(fathers, d, static_cast<int>(i), label + 1);
}

std::vector<int> descent(const std::vector<int> &fathers)
{
	std::vector<int> d(fathers.size(), 0);
	descend(fathers, d, 1, 1);
	return d;
}

// Cuts nodes off the root: one whose father lies above nodes, two that are
// each other's father, and one that is its own.
void damage(std::vector<int> &fathers, std::mt19937 &rng)
{
	const int n = static_cast<int>(fathers.size()) - 1;
	if (n < 5)
		return;
	std::uniform_int_distribution<int> node(2, n), above(n + 1, MAX_N - 1);
	fathers[node(rng)] = above(rng);
	const int a = node(rng), b = node(rng);
	fathers[a] = b;
	fathers[b] = a;
	const int c = node(rng);
	fathers[c] = c;
}

// Node counts on either side of SCANS, of a line and of one and two
// blocks, each shape whole and damaged, labelled with each scan that runs.
TEST(Label, AsTheDescentOnEveryShape)
{
	std::mt19937 rng(1);
	std::vector<int> sizes{1, 2, SCANS - 1, SCANS, SCANS + 1, 1000, 4099};
	for (int edge : {LINE - 1, BLOCK - 1, 2 * BLOCK - 1})
		for (int n = edge - 1; n <= edge + 1; n++)
			sizes.push_back(n);
	for (const layer &l : every_layer()) {
		for (int n : sizes)
			for (const char *shape :
			     {"chain", "in-order", "narrow", "random", "star"})
				for (bool damaged : {false, true}) {
					std::vector<int> fathers =
					    make_tree(shape, n, rng);
					if (damaged)
						damage(fathers, rng);
					label(fathers, l.scan);
					const std::vector<int> want =
					    descent(fathers);
					ASSERT_EQ(
					    labels(n),
					    std::vector<int>(want.begin() + 1,
					                     want.end()))
					    << l.name << " n=" << n
					    << " shape=" << shape
					    << (damaged ? " damaged" : "");
				}
	}
	// Nodes whose father shares the low 16 bits of a leaf.
	const std::vector<int> fathers = make_tree("aliasing", MAX_N - 1, rng);
	label(fathers);
	const std::vector<int> want = chain_depths(fathers);
	ASSERT_EQ(labels(MAX_N - 1),
	          std::vector<int>(want.begin() + 1, want.end()));
}

// What every scan must give, found one entry at a time: the first block
// from i up to last that holds any of the count values in want, or last,
// and the entries of that block that hold one.
int first_match(const std::uint16_t *want, int count, int i, int last,
                std::uint64_t *hits)
{
	for (;; i += BLOCK) {
		std::fill(hits, hits + BLOCK / 64, 0);
		for (int k = 0; k < BLOCK; k++)
			for (int s = 0; s < count; s++)
				if (father16[i + k] == want[s])
					hits[k / 64] |= std::uint64_t{1}
					                << k % 64;
		if (std::any_of(hits, hits + BLOCK / 64,
		                [](std::uint64_t m) { return m != 0; }) ||
		    i == last)
			return i;
	}
}

TEST(Scan, EachFindsTheFirstBlockAndItsMatches)
{
	struct Row {
		int count, start, last, at;
	};
	std::vector<Row> rows;
	// Every number of values; the pass stopped at its first block, or
	// one or three blocks on; a match of one of the values at every place
	// in three blocks, with a second after it, and none; a value beyond
	// the count near each.
	for (int count = 1; count <= SCANS; count++)
		for (int start : {0, int{BLOCK}})
			for (int last :
			     {start, start + BLOCK, start + 3 * BLOCK})
				for (int at = start; at <= start + 3 * BLOCK;
				     at++)
					rows.push_back(
					    {count, start, last, at});
	// Values that differ from the other entries in their high byte
	// alone, or their low byte alone.
	const std::uint16_t want[] = {0x0107, 0xffff, 0x0000, 0x8001,
	                              0x1234, 0x4321, 0x00ff, 0xff00};
	static_assert(SCANS < sizeof want / sizeof want[0],
	              "a value a lane, and one more");
	const std::uint16_t other[] = {0x0007, 0x0100};

	for (const layer &l : every_layer("scan")) {
		for (const Row &r : rows) {
			std::fill(father16, father16 + 8 * BLOCK,
			          other[r.at % 2]);
			const int s = r.at % r.count;
			father16[r.at] = want[s];
			father16[r.at + 1 + r.at % 3] = want[(s + 1) % r.count];
			// The next value, not one of the count, is no match.
			father16[r.at + 4] = want[r.count];
			std::uint64_t got[BLOCK / 64], expected[BLOCK / 64];
			const int i =
			    l.scan(want, r.count, r.start, r.last, got);
			ASSERT_EQ(i, first_match(want, r.count, r.start, r.last,
			                         expected))
			    << l.name << " count=" << r.count
			    << " start=" << r.start << " last=" << r.last
			    << " at=" << r.at;
			ASSERT_TRUE(std::equal(got, got + BLOCK / 64, expected))
			    << l.name << " count=" << r.count
			    << " start=" << r.start << " last=" << r.last
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

// Climbed together, pairs get what each gets climbed alone, in lockstep
// or not, through each layer that runs, however many are handed over at
// once: fewer than the lanes, as many, more, either side of one and two
// groups of the widest layer and of the chunks it queues, and more than
// the driver ever keeps.  On a complete binary tree the pairs are of
// distinct leaves, whose climbs all go on after the first round and so
// fill the queues to their capacity.
TEST(Climb, TogetherAsAlone)
{
	const std::vector<layer> steppers = every_layer("lockstep");
	std::mt19937 rng(3);
	std::vector<std::pair<const char *, int>> trees;
	for (int n : {1, 2, 9, 200, 3000})
		for (const char *shape :
		     {"chain", "in-order", "narrow", "random", "star"})
			trees.emplace_back(shape, n);
	trees.emplace_back("binary", 65535);
	for (const auto &[shape, n] : trees) {
		const std::vector<int> fathers = make_tree(shape, n, rng);
		label(fathers);
		const bool leaves = std::string(shape) == "binary";
		const int deepest = *std::max_element(depth + 1, depth + n + 1);
		std::uniform_int_distribution<int> node(1, n);
		std::vector<int> x, y, dx, dy;
		for (int k = 0; k <= PENDING; k++) {
			int a = node(rng), b = node(rng);
			while (leaves && (a == b || depth[a] < deepest ||
			                  depth[b] < deepest))
				a = node(rng), b = node(rng);
			// Now and then the same node, or a node and one of
			// its ancestors, either way round.
			if (k % 7 == 0 && !leaves)
				b = a;
			if (k % 7 == 1 && !leaves)
				for (b = a; fathers[b] != 0 && b % 4 != 0;)
					b = fathers[b];
			if (k % 2 == 0)
				std::swap(a, b);
			x.push_back(a);
			y.push_back(b);
			dx.push_back(depth[a]);
			dy.push_back(depth[b]);
		}
		std::vector<int> counts(34);
		std::iota(counts.begin(), counts.end(), 0);
		counts.insert(counts.end(), {63, 64, 65, 127, 128, 129, 1023,
		                             1024, 1025, 2049, PENDING + 1});
		for (const layer &l : steppers)
			for (int count : counts) {
				std::vector<int> cx(x.begin(),
				                    x.begin() + count),
				    cy(y.begin(), y.begin() + count);
				climb_all_with(l.lockstep, cx.data(), cy.data(),
				               dx.data(), dy.data(), count);
				for (int k = 0; k < count; k++)
					ASSERT_EQ(cx[k], lca(x[k], y[k]))
					    << l.name << " " << shape
					    << " n=" << n << " count=" << count
					    << " x=" << x[k] << " y=" << y[k];
			}
	}
}

} // namespace
