// SPDX-License-Identifier: ISC
#include <cstddef>

#include "tree.h"

// The deeper node moves up until the two are level, then they move in
// turns, y first, until they meet.  Knowing how far the deeper one must go
// takes the labels only once, which leaves each step a single load, and
// the turns of x and y are independent loads that overlap.  The steps work
// on local copies: x and y might alias father, which would make each step
// store and reload them, and as unsigned indices they need no sign
// extension between one load and the next.
void climb(int &x, int &y)
{
	std::size_t a = static_cast<unsigned>(x), b = static_cast<unsigned>(y);
	int d = depth[a] - depth[b];
	for (; d > 0; d--)
		a = static_cast<unsigned>(father[a]);
	for (; d < 0; d++)
		b = static_cast<unsigned>(father[b]);
	while (a != b) {
		b = static_cast<unsigned>(father[b]);
		a = static_cast<unsigned>(father[a]);
	}
	x = y = static_cast<int>(a);
}
