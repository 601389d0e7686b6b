// SPDX-License-Identifier: ISC
#include <algorithm>
#include <climits>
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

// The climb of one pair is a chain of loads, each waiting for the one
// before, but the chains of different pairs are independent, so climb_all()
// runs many side by side, one lane each, and their loads are in flight
// together.  Each lane still takes the climb's own steps, one father link
// at a time, guided by the labels.
//
// Where the climbs are short, what costs is not the loads but the end of
// each climb, a branch that nothing predicts; so the pairs of a shallow
// group climb in lockstep, with masks in place of branches, until all have
// met: one predictable loop for the whole group.  Where climbs are long,
// each lane runs on its own and, when its climb ends, takes the next pair.

enum { GROUP = 8, MEET_LANES = 8 };
// Deeper than this, a group's longest climb would keep the others idle.
enum { SHALLOW = 64 };

// All ones where the condition holds, so that a choice needs no branch.
static unsigned mask(bool condition)
{
	return 0u - condition;
}

// Climbs a group of GROUP pairs in lockstep, if every node lies within
// SHALLOW of the root; says whether it did.
static bool climb_group(int *x, int *y)
{
	unsigned a[GROUP], b[GROUP];
	int left[GROUP], most = 0, top = 0;
	for (int k = 0; k < GROUP; k++) {
		const int dx = depth[x[k]], dy = depth[y[k]];
		a[k] = static_cast<unsigned>(dx >= dy ? x[k] : y[k]);
		b[k] = static_cast<unsigned>(dx >= dy ? y[k] : x[k]);
		left[k] = dx >= dy ? dx - dy : dy - dx;
		most = std::max(most, left[k]);
		top = std::max(top, std::max(dx, dy));
	}
	if (top > SHALLOW)
		return false;
	// The deeper node of each pair moves up until the two are level...
	for (int s = 0; s < most; s++)
		for (int k = 0; k < GROUP; k++) {
			const unsigned up = static_cast<unsigned>(father[a[k]]);
			a[k] ^= (a[k] ^ up) & mask(s < left[k]);
		}
	// ...then both, until every pair has met: half the group at a time,
	// so that its nodes stay in registers.
	for (int half = 0; half < GROUP; half += GROUP / 2)
		for (unsigned apart = ~0u; apart != 0;) {
			apart = 0;
			for (int k = half; k < half + GROUP / 2; k++) {
				const unsigned up_a =
				    static_cast<unsigned>(father[a[k]]);
				const unsigned up_b =
				    static_cast<unsigned>(father[b[k]]);
				const unsigned m = mask(a[k] != b[k]);
				a[k] ^= (a[k] ^ up_a) & m;
				b[k] ^= (b[k] ^ up_b) & m;
				apart |= a[k] ^ b[k];
			}
		}
	for (int k = 0; k < GROUP; k++)
		x[k] = y[k] = static_cast<int>(a[k]);
	return true;
}

// Levels each pair in place: the deeper of x[k] and y[k] moves up until
// the two are at the same depth.  Each round moves every lane as many
// steps as the lane nearest its end still needs, with no test per step.
// A lane with no pair left holds node 0, whose father is 0, and never ends:
// its steps, fewer than MAX_N in all rounds, never bring it down from
// INT_MAX to 0.
static void even_up(int *x, int *y, int count)
{
	std::size_t node[LANES];
	int left[LANES], *slot[LANES];
	int next = 0, live = 0;
	static int none;

	const auto take = [&](int k) {
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
	for (int k = 0; k < LANES; k++)
		take(k);
	while (live > 0) {
		int steps = left[0];
#pragma GCC unroll 16
		for (int k = 1; k < LANES; k++)
			steps = std::min(steps, left[k]);
		for (int s = 0; s < steps; s++) {
#pragma GCC unroll 16
			for (int k = 0; k < LANES; k++)
				node[k] =
				    static_cast<unsigned>(father[node[k]]);
		}
#pragma GCC unroll 16
		for (int k = 0; k < LANES; k++) {
			left[k] -= steps;
			if (left[k] == 0) {
				*slot[k] = static_cast<int>(node[k]);
				live--;
				take(k);
			}
		}
	}
}

// Moves the levelled pairs up together until they meet, in place, x[k]
// ending as the answer.  Each round steps every lane until one of them
// meets.  Once no pair is left to take, the lanes still climbing finish
// one at a time.
static void meet(int *x, int *y, int count)
{
	std::size_t a[MEET_LANES], b[MEET_LANES];
	int *slot[MEET_LANES];
	int next = 0;
	static int none;

	const auto take = [&](int k) {
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
	for (int k = 0; k < MEET_LANES; k++)
		more &= take(k);
	while (more) {
		bool met;
		do {
			met = false;
#pragma GCC unroll 16
			for (int k = 0; k < MEET_LANES; k++) {
				a[k] = static_cast<unsigned>(father[a[k]]);
				b[k] = static_cast<unsigned>(father[b[k]]);
				met |= a[k] == b[k];
			}
		} while (!met);
#pragma GCC unroll 16
		for (int k = 0; k < MEET_LANES; k++)
			if (more && a[k] == b[k]) {
				*slot[k] = static_cast<int>(a[k]);
				more = take(k);
			}
	}
	for (int k = 0; k < MEET_LANES; k++) {
		int p = static_cast<int>(a[k]), q = static_cast<int>(b[k]);
		climb(p, q);
		*slot[k] = p;
	}
}

void climb_all(int *x, int *y, int count)
{
	// Pairs that a group has answered hold the answer in both x and y,
	// which the lanes pass over.
	bool deep = false;
	int k = 0;
	for (; k + GROUP <= count; k += GROUP)
		deep |= !climb_group(x + k, y + k);
	if (deep) {
		even_up(x, y, count);
		meet(x, y, count);
	} else {
		for (; k < count; k++)
			climb(x[k], y[k]);
	}
}
