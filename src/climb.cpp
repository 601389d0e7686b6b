// SPDX-License-Identifier: ISC
#include <algorithm>
#include <climits>
#include <cstddef>

#include "layers.h"
#include "lockstep.h"
#include "tree.h"

// The lockstep's queues, one set for whichever layer climbs: here, as
// lockstep.cpp is compiled once for each layer.
queue levelling, meeting, answered;

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

// The climb of one pair is a chain of loads, each waiting for the one
// before, but the chains of different pairs are independent, so climb_all()
// runs many side by side, one lane each, and their loads are in flight
// together.  Each lane still takes the climb's own steps, one father link
// at a time, guided by the labels.
//
// Where the tree is shallow, the pairs climb in lockstep instead (see
// lockstep.h).

enum { EVEN_UPS = 12, MEETS = 8 };

// Levels each pair in place: the deeper of x[k] and y[k] moves up until
// the two are at the same depth.  Each round moves every lane as many
// steps as the lane nearest its end still needs, with no test per step.
// A lane with no pair left holds node 0, whose father is 0, and never ends:
// its steps, fewer than MAX_N in all rounds, never bring it down from
// INT_MAX to 0.
static void even_up(int *x, int *y, int count)
{
	std::size_t node[EVEN_UPS];
	int left[EVEN_UPS], *slot[EVEN_UPS];
	int next = 0, live = 0;
	static int none;

	const auto next_pair = [&](int k) {
		for (; next < count; next++) {
			const int d = depth[x[next]] - depth[y[next]];
			if (d != 0) {
				slot[k] = d > 0 ? &x[next] : &y[next];
				node[k] = static_cast<unsigned>(*slot[k]);
				left[k] = d > 0 ? d : -d;
				next++;
				live++;
				return;
			}
		}
		slot[k] = &none;
		node[k] = 0;
		left[k] = INT_MAX;
	};
#pragma GCC unroll 16
	for (int k = 0; k < EVEN_UPS; k++)
		next_pair(k);
	while (live > 0) {
		int steps = left[0];
#pragma GCC unroll 16
		for (int k = 1; k < EVEN_UPS; k++)
			steps = std::min(steps, left[k]);
		for (int s = 0; s < steps; s++) {
#pragma GCC unroll 16
			for (int k = 0; k < EVEN_UPS; k++)
				node[k] =
				    static_cast<unsigned>(father[node[k]]);
		}
#pragma GCC unroll 16
		for (int k = 0; k < EVEN_UPS; k++) {
			left[k] -= steps;
			if (left[k] == 0) {
				*slot[k] = static_cast<int>(node[k]);
				live--;
				next_pair(k);
			}
		}
	}
}

// Moves the levelled pairs up together until they meet, in place, x[k]
// ending as the answer.  Each round steps every lane until one of them
// meets.  Once no pair is left, the lanes still climbing finish one at a
// time.
static void meet(int *x, int *y, int count)
{
	std::size_t a[MEETS], b[MEETS];
	int *slot[MEETS];
	int next = 0;
	static int none;

	const auto next_pair = [&](int k) {
		for (; next < count; next++)
			if (x[next] != y[next]) {
				slot[k] = &x[next];
				a[k] = static_cast<unsigned>(x[next]);
				b[k] = static_cast<unsigned>(y[next]);
				next++;
				return true;
			}
		slot[k] = &none;
		a[k] = b[k] = 0;
		return false;
	};
	bool more = true;
#pragma GCC unroll 16
	for (int k = 0; k < MEETS; k++)
		more &= next_pair(k);
	while (more) {
		bool met;
		do {
			met = false;
#pragma GCC unroll 16
			for (int k = 0; k < MEETS; k++) {
				a[k] = static_cast<unsigned>(father[a[k]]);
				b[k] = static_cast<unsigned>(father[b[k]]);
				met |= a[k] == b[k];
			}
		} while (!met);
#pragma GCC unroll 16
		for (int k = 0; k < MEETS; k++)
			if (more && a[k] == b[k]) {
				*slot[k] = static_cast<int>(a[k]);
				more = next_pair(k);
			}
	}
	for (int k = 0; k < MEETS; k++) {
		int p = static_cast<int>(a[k]), q = static_cast<int>(b[k]);
		climb(p, q);
		*slot[k] = p;
	}
}

void climb_all_with(lockstep_fn lockstep, int *x, int *y, const int *dx,
                    const int *dy, int count)
{
	// Pairs that a group has answered hold the answer in both x and y,
	// which the lanes pass over: they look the depths up again.
	bool deep = false;
	const int grouped = lockstep(x, y, dx, dy, count, deep);
	if (deep) {
		even_up(x, y, count);
		meet(x, y, count);
	} else {
		for (int k = grouped; k < count; k++)
			climb(x[k], y[k]);
	}
}

void climb_all(int *x, int *y, const int *dx, const int *dy, int count)
{
	climb_all_with(best.lockstep, x, y, dx, dy, count);
}
