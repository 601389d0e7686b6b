// SPDX-License-Identifier: ISC
#include <algorithm>

#include "scan.h"
#include "tree.h"

int nodes;
// On a cache-line boundary, so that the scans read whole lines.
alignas(64) int father[MAX_N];
int depth[MAX_N];
int level;

// Labelling scans the whole father table once per node, about 10^10
// comparisons for 100000 nodes, so the scans of scan.h test whole blocks of
// the 16-bit copy with no branch per entry, and next_child() confirms on
// father, one entry at a time, what they find.

// The first position from i up to end whose father is v, or end.
static int scan_entries(int v, int i, int end)
{
	while (i < end && father[i] != v)
		i++;
	return i;
}

// The first node at or after position i whose father is v, or nodes + 1:
// the entries up to the next line boundary one at a time, then the whole
// blocks of the copy, and so on from where they stop.  A match there that
// proves false on father, an entry whose father shares only its low 16
// bits with v, costs the rest of its line, and the scan goes back to
// whole blocks.
static int next_child(int (*blocks)(int v, int i), int v, int i)
{
	for (;;) {
		const int line = (i / LINE + 1) * LINE;
		i = scan_entries(v, i, std::min(line, nodes + 1));
		if (i != line)
			return i;
		i = blocks(v, i);
	}
}

void dfs(int v)
{
	dfs_with(choose_scan().blocks, v);
}

// The copy costs one pass.  A node number, at most 100000 < 2 x 65536,
// shares its low 16 bits with at most one other (v and v + 65536), so an
// entry is a false match in the scan of at most one node: fewer than nodes
// false matches over the whole labelling, whatever the tree, and each
// costs at most a line checked entry by entry.
//
// The descent goes back up through father[] rather than returning from a
// recursive call, so its depth costs no stack.  A child c was found at
// position c of its father's scan, which therefore goes on from c + 1.
void dfs_with(int (*blocks)(int v, int i), int v)
{
	for (int i = 2; i <= nodes; i++)
		father16[i] = static_cast<std::uint16_t>(father[i]);
	const int top = v;
	int i = 2;

	depth[v] = ++level;
	for (;;) {
		i = next_child(blocks, v, i);
		if (i <= nodes) {
			v = i;
			i = 2;
			depth[v] = ++level;
		} else {
			level--;
			if (v == top)
				return;
			i = v + 1;
			v = father[v];
		}
	}
}
