#include "tree.h"

void climb(int &x, int &y)
{
	while (x != y) {
		// Strict, so that on a tie y moves first.
		if (depth[x] > depth[y])
			x = father[x];
		else
			y = father[y];
	}
}
