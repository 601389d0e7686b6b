#include "tree.h"

// The deeper node moves up until the two are level, then they move in
// turns, y first, until they meet.  Knowing how far the deeper one must go
// takes the labels only once, which leaves each step a single load, and
// the turns of x and y are independent loads that overlap.
void climb(int &x, int &y)
{
	int d = depth[x] - depth[y];
	for (; d > 0; d--)
		x = father[x];
	for (; d < 0; d++)
		y = father[y];
	while (x != y) {
		y = father[y];
		x = father[x];
	}
}
