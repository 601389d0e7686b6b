// SPDX-License-Identifier: ISC
// Climbs of many pairs in lockstep, where the tree is shallow: one kind for
// each kind of processor, each in a file of its own.
#ifndef LCA_LOCKSTEP_H
#define LCA_LOCKSTEP_H

// Where climbs are short, what costs is not the loads but the end of each
// climb, a branch that nothing predicts; so the pairs of a group climb in
// lockstep, with masks in place of branches, until all have met: one
// predictable loop for the whole group.  Deeper than SHALLOW, a group's
// longest climb would keep the others idle.
enum { SHALLOW = 64 };

// Climbs, in place, each whole group of pairs from the first whose nodes
// all lie within SHALLOW of the root, each x[k] and y[k] ending as their
// answer; says how many pairs the whole groups hold, and sets deep if it
// left any group to the climbs of climb_all().
using lockstep_fn = int (*)(int *x, int *y, const int *dx, const int *dy,
                            int count, bool &deep);
int lockstep_words(int *x, int *y, const int *dx, const int *dy, int count,
                   bool &deep);
int lockstep_avx2(int *x, int *y, const int *dx, const int *dy, int count,
                  bool &deep);
int lockstep_avx512(int *x, int *y, const int *dx, const int *dy, int count,
                    bool &deep);

// lockstep_fn for groups of size pairs, each climbed by group(x, y, dx,
// dy), which says whether the group lay within SHALLOW.
template <int size, bool (*group)(int *x, int *y, const int *dx, const int *dy)>
[[gnu::always_inline]] inline int
in_groups(int *x, int *y, const int *dx, const int *dy, int count, bool &deep)
{
	int k = 0;
	for (; k + size <= count; k += size)
		deep |= !group(x + k, y + k, dx + k, dy + k);
	return k;
}

struct lockstep {
	const char *name;
	lockstep_fn groups;
};

// The fastest this processor runs.
lockstep choose_lockstep();

#endif
