#include "tree.h"

int nodes;
int father[MAX_N];
int depth[MAX_N];
int level;

// The first node at or after position i whose father is v, or nodes + 1.
static int next_child(int v, int i)
{
	while (i <= nodes && father[i] != v)
		i++;
	return i;
}

// The descent goes back up through father[] rather than returning from a
// recursive call, so its depth costs no stack.  A child c was found at
// position c of its father's scan, which therefore goes on from c + 1.
void dfs(int v)
{
	const int top = v;
	int i = 2;

	depth[v] = ++level;
	for (;;) {
		i = next_child(v, i);
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
