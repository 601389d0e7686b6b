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
// comparisons for 100000 nodes, so the scans of scan.h test whole cache
// lines with no branch per entry, and next_child() checks the entries
// around their blocks one at a time.

// The first position from i up to end whose father is v, or end.
static int scan_entries(int v, int i, int end)
{
	while (i < end && father[i] != v)
		i++;
	return i;
}

// The first node at or after position i whose father is v, or nodes + 1:
// the entries up to the first line boundary one at a time, then whole
// blocks, then the entries from the block that stopped.
static int next_child(int (*blocks)(int v, int i), int v, int i)
{
	const int line = (i + LINE - 1) / LINE * LINE;
	i = scan_entries(v, i, std::min(line, nodes + 1));
	if (i == line)
		i = blocks(v, i);
	return scan_entries(v, i, nodes + 1);
}

// The descent goes back up through father[] rather than returning from a
// recursive call, so its depth costs no stack.  A child c was found at
// position c of its father's scan, which therefore goes on from c + 1.
void dfs(int v)
{
	const auto blocks = choose_scan().blocks;
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
