// SPDX-License-Identifier: ISC
// Climbs of many pairs in lockstep, where the tree is shallow, compiled once
// for each layer (see layers.h).
#ifndef LCA_LOCKSTEP_H
#define LCA_LOCKSTEP_H

// Where climbs are short, what costs is not the loads but the end of each
// climb, a branch that nothing predicts; so the pairs climb in lockstep,
// each step a gather masked to the lanes still climbing, and the climbs
// that go on are packed together after every ROUND steps, so that no lane
// idles for long.  Deeper than SHALLOW, a pair would keep a lane long.
enum { SHALLOW = 64 };

// Climbs, in place, the pairs from the first, whole vectors of them, whose
// nodes all lie within SHALLOW of the root, each x[k] and y[k], of depths
// dx[k] and dy[k], ending as their answer; says how many pairs those
// vectors hold, and sets deep if it left any vector to the climbs of
// climb_all().
using lockstep_fn = int (*)(int *x, int *y, const int *dx, const int *dy,
                            int count, bool &deep);

// Climbs as climb_all() does, through the lockstep given.
void climb_all_with(lockstep_fn lockstep, int *x, int *y, const int *dx,
                    const int *dy, int count);

// The pairs are climbed a chunk of CHUNK at a time.  Those that go on after
// a round wait in a queue: each one's deeper node, its other, the steps
// that level them and where the pair lies.  A queue has room for the
// vectors that the widest layer loads from its last climbs, and each of
// its tables starts a cache line, as do the vectors loaded from it.
enum { CHUNK = 1024, QUEUED = CHUNK + 64 };

struct alignas(64) queue {
	int a[QUEUED], b[QUEUED], left[QUEUED], slot[QUEUED];
};

// The climbs that are levelling, those that are meeting, and those that
// have met.
extern queue levelling, meeting, answered;

#endif
