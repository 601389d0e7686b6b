// SPDX-License-Identifier: ISC
#include <algorithm>

#include "layers.h"
#include "scan.h"
#include "tree.h"

int nodes;
// On a cache-line boundary, so that the scans read whole lines.
alignas(64) int father[MAX_N];
int depth[MAX_N];
alignas(64) std::uint16_t father16[(MAX_N + BLOCK - 1) / BLOCK * BLOCK];

// Labelling compares every entry of father with every node reached, about
// 10^10 compares for 100000 nodes.  The scans of labelled nodes do not
// depend on each other, so up to SCANS of them share one pass round the
// 16-bit copy: each block is loaded once and compared with all their
// numbers, and only a block that holds one of them is looked at entry by
// entry.  A scan joins the pass where the pass is, and ends when the pass
// comes round to that place again, having met every entry once.  Children
// are thus found in another order than a descent's, which labels do not
// depend on.

// The pass goes round the positions 0 to total - 1, in whole blocks; the
// first two and those past nodes are padding, confirmed as no one's child.
static int total;
static scan_fn scan;

// Place s in the pass scans for the children of scanning[s], or is free
// where that is 0; its scan ends with the entry at ends[s], the one before
// where it began.
static int scanning[SCANS];
static int ends[SCANS];
// Labelled nodes that wait for a free place.
static int waiting[MAX_N];
static int waits;

static void begin(int s, int v, int from);

static std::uint16_t low(int v) { return static_cast<std::uint16_t>(v); }

// Calls f for each entry of the block at i whose bit in hits is set.
template <typename F> static void each(int i, const std::uint64_t *hits, F f)
{
	for (int w = 0; w < BLOCK / 64; w++)
		for (std::uint64_t m = hits[w]; m != 0; m &= m - 1)
			f(i + 64 * w + __builtin_ctzll(m));
}

static bool is_child(int c, int v)
{
	return 2 <= c && c <= nodes && father[c] == v;
}

// c, an entry whose father is v, is labelled, and scans from a free place from
// the entry after it, or waits for one.
static void label_child(int c, int v)
{
	depth[c] = depth[v] + 1;
	for (int s = 0; s < SCANS; s++)
		if (scanning[s] == 0) {
			begin(s, c, c + 1);
			return;
		}
	waiting[waits++] = c;
}

// Place s starts v's scan at position from.  Inside a block, the rest of
// that block is v's at once, as the pass is there already.
static void begin(int s, int v, int from)
{
	from %= total;
	scanning[s] = v;
	ends[s] = (from + total - 1) % total;
	const int i = from / BLOCK * BLOCK;
	if (from == i)
		return;
	const std::uint16_t want[1] = {low(v)};
	std::uint64_t hits[BLOCK / 64];
	scan(want, 1, i, i, hits);
	each(i, hits, [v, from](int c) {
		if (c >= from && is_child(c, v))
			label_child(c, v);
	});
}

// The pass has met the block at i, where the scans' entries are marked in
// hits.  A scan whose end lies in this block is over once the entries up to
// its end have been met, and its place is free for the children found after.
static void met(int i, const std::uint64_t *hits)
{
	unsigned owned = 0;
	for (int s = 0; s < SCANS; s++)
		owned |= unsigned{scanning[s] != 0} << s;
	const auto finish = [&](int upto) {
		for (int s = 0; s < SCANS; s++)
			if ((owned >> s & 1) && i <= ends[s] &&
			    ends[s] < upto) {
				scanning[s] = 0;
				owned &= ~(1u << s);
			}
	};
	each(i, hits, [&](int c) {
		finish(c);
		for (int s = 0; s < SCANS; s++)
			if ((owned >> s & 1) && is_child(c, scanning[s]))
				label_child(c, scanning[s]);
	});
	finish(i + BLOCK);
	for (int s = 0; s < SCANS && waits > 0; s++)
		if (scanning[s] == 0)
			begin(s, waiting[--waits], i + BLOCK);
}

void dfs(int v) { dfs_with(best.scan, v); }

// The copy costs one pass.  A node number, at most 100000 < 2 x 65536,
// shares its low 16 bits with at most one other (v and v + 65536), so an
// entry is a false match in the scan of at most one node: fewer than nodes
// false matches over the whole labelling, whatever the tree.  The padding
// holds 0, which only node 65536 shares.
void dfs_with(scan_fn given, int v)
{
	scan = given;
	total = (nodes / BLOCK + 1) * BLOCK;
	for (int i = 0; i < total; i++)
		father16[i] = 2 <= i && i <= nodes ? low(father[i]) : 0;
	depth[v] = 1;
	begin(0, v, 0);
	for (int i = 0;; i = (i + BLOCK) % total) {
		// To the next block where a scan ends, at the latest the last.
		int last = total - BLOCK, count = 0;
		std::uint16_t want[SCANS];
		for (int s = 0; s < SCANS; s++)
			if (scanning[s] != 0) {
				want[count++] = low(scanning[s]);
				if (ends[s] >= i)
					last = std::min(last, ends[s] / BLOCK *
					                          BLOCK);
			}
		if (count == 0)
			return;
		std::uint64_t hits[BLOCK / 64];
		i = scan(want, count, i, last, hits);
		met(i, hits);
	}
}
