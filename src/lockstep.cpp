// SPDX-License-Identifier: ISC
#include <algorithm>

#include "lockstep.h"
#include "tree.h"

// Groups are wide, so that the checks and the setting up of each run over
// many lanes at once; their pairs meet a few at a time, in registers.
enum { GROUP = 32, FEW = 4 };

// All ones where the condition holds, so that a choice needs no branch.
static unsigned mask(bool condition)
{
	return 0u - condition;
}

// All ones where two nodes are one, with no comparison: node numbers are
// below 2^31.
static unsigned same(unsigned p, unsigned q)
{
	return static_cast<unsigned>(static_cast<int>((p ^ q) - 1) >> 31);
}

// Calls f(k) for each k below FEW, written out: to GCC at -O2 a loop of
// FEW is one vector, whose loads one lane at a time cost more than plain
// loads.
template <class F> static void each(F f)
{
	static_assert(FEW == 4, "each() calls f FEW times");
	f(0);
	f(1);
	f(2);
	f(3);
}

// Climbs a group of GROUP pairs in lockstep, if every node lies within
// SHALLOW of the root; says whether it did.
static bool climb_group(int *x, int *y, const int *depth_x, const int *depth_y)
{
	unsigned a[GROUP], b[GROUP];
	int left[GROUP], most = 0;
	unsigned deep = 0;
	for (int k = 0; k < GROUP; k++) {
		const int dx = depth_x[k], dy = depth_y[k], d = dx - dy;
		// All ones where y is the deeper: then a is y, b is x and
		// left is -d.  Masks, not choices, so that the compiler runs
		// many lanes at once where it can.
		const unsigned deeper_y = static_cast<unsigned>(d >> 31),
		               swap = static_cast<unsigned>(x[k] ^ y[k]) &
		                      deeper_y;
		a[k] = static_cast<unsigned>(x[k]) ^ swap;
		b[k] = static_cast<unsigned>(y[k]) ^ swap;
		left[k] = static_cast<int>(
		    (static_cast<unsigned>(d) ^ deeper_y) - deeper_y);
		most = std::max(most, left[k]);
		deep |= (dx > SHALLOW) | (dy > SHALLOW);
	}
	if (deep != 0)
		return false;
	// The deeper node of each pair moves up until the two are level...
	for (int s = 0; s < most; s++)
		for (int k = 0; k < GROUP; k++) {
			const unsigned up = static_cast<unsigned>(father[a[k]]);
			a[k] ^= (a[k] ^ up) & mask(s < left[k]);
		}
	// ...then both, until every pair has met, FEW pairs at a time.  Once
	// a pair has met, its deeper node stays, the answer, and the other
	// climbs on, past the root to node 0, whose father is 0.
	for (int few = 0; few < GROUP; few += FEW) {
		unsigned p[FEW], q[FEW], met[FEW], all = ~0u;
		each([&](int k) {
			p[k] = a[few + k];
			q[k] = b[few + k];
			met[k] = same(p[k], q[k]);
			all &= met[k];
		});
		while (all == 0) {
			all = ~0u;
			each([&](int k) {
				const unsigned up =
				    static_cast<unsigned>(father[p[k]]);
				q[k] = static_cast<unsigned>(father[q[k]]);
				p[k] ^= (p[k] ^ up) & ~met[k];
				met[k] |= same(up, q[k]);
				all &= met[k];
			});
		}
		each([&](int k) { a[few + k] = p[k]; });
	}
	for (int k = 0; k < GROUP; k++)
		x[k] = y[k] = static_cast<int>(a[k]);
	return true;
}

int lockstep_words(int *x, int *y, const int *dx, const int *dy, int count,
                   bool &deep)
{
	int k = 0;
	for (; k + GROUP <= count; k += GROUP)
		deep |= !climb_group(x + k, y + k, dx + k, dy + k);
	return k;
}

// Each choice is a line that runs on every processor, so that the suite
// covers it wherever it runs.
lockstep choose_lockstep()
{
	lockstep l = {"portable", lockstep_words};
#if defined(__x86_64__)
	const lockstep avx2 = {"avx2", lockstep_avx2},
	               avx512 = {"avx512", lockstep_avx512};
	l = __builtin_cpu_supports("avx2") ? avx2 : l;
	l = __builtin_cpu_supports("avx512f") ? avx512 : l;
#endif
	return l;
}
