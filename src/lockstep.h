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
// all lie within SHALLOW of the root, each x[k] and y[k], of depths dx[k]
// and dy[k], ending as their answer; says how many pairs the whole groups
// hold, and sets deep if it left any group to the climbs of climb_all().
using lockstep_fn = int (*)(int *x, int *y, const int *dx, const int *dy,
                            int count, bool &deep);
int lockstep_words(int *x, int *y, const int *dx, const int *dy, int count,
                   bool &deep);
int lockstep_avx2(int *x, int *y, const int *dx, const int *dy, int count,
                  bool &deep);
int lockstep_avx512(int *x, int *y, const int *dx, const int *dy, int count,
                    bool &deep);

// The vector locksteps climb in rounds of ROUND steps, and after each round
// pack the climbs that go on into a queue, a chunk of CHUNK pairs at a
// time: the lanes of a vector end at different steps, and so no lane
// idles for long.  The deeper node of each pair moves up until the two
// are level, in rounds of their own, since only it moves; then both move,
// until they meet.
enum { ROUND = 4, CHUNK = 1024, QUEUED = CHUNK + 64 };

// Climbs queued: each one's deeper node, its other, the steps that level
// them and where the pair lies.  A queue is packed in place, as no climb
// is stored before one read earlier, and has room for the vectors that
// the last climbs load.
struct queue {
	int a[QUEUED], b[QUEUED], left[QUEUED], at[QUEUED];
};

// Runs rounds over the n climbs queued in from until none is left, of
// levelling or of meeting: those that go on after a round stay in from,
// packed, and the rest go to to, from done on; says where those end.
// Means::take(q, k, n, c) loads the climbs of q from k on into
// Means::VECTORS vectors c of Means::LANE lanes,
// Means::climb_round<levelling>(c) climbs them a round, and
// Means::split<levelling>(c, v, from, kept, to, done) stores those of
// vector v that go on in from at kept, and the rest in to at done, both
// packed, and moves kept and done past them.
template <class Means, bool levelling>
[[gnu::always_inline]] inline int rounds(queue &from, int n, queue &to,
                                         int done)
{
	while (n > 0) {
		int kept = 0;
		for (int k = 0; k < n; k += Means::LANE * Means::VECTORS) {
			typename Means::climbs c;
			Means::take(from, k, n, c);
			Means::template climb_round<levelling>(c);
#pragma GCC unroll 16
			for (int v = 0; v < Means::VECTORS; v++)
				Means::template split<levelling>(
				    c, v, from, kept, to, done);
		}
		n = kept;
	}
	return done;
}

// lockstep_fn for Means, a chunk at a time, with three queues of its own:
// Means::first_round climbs the pairs as they lie and queues those that go
// on, whose answers are stored once their rounds of levelling, then of
// meeting, have ended.
template <class Means>
[[gnu::always_inline]] inline int
in_rounds(int *x, int *y, const int *dx, const int *dy, int count, bool &deep,
          queue &levelling, queue &meeting, queue &answered)
{
	for (int k = 0; k + Means::LANE <= count; k += CHUNK) {
		int to_level = 0, to_meet = 0;
		Means::first_round(x + k, y + k, dx + k, dy + k,
		                   count - k < CHUNK ? count - k : CHUNK, k,
		                   levelling, to_level, meeting, to_meet, deep);
		to_meet =
		    rounds<Means, true>(levelling, to_level, meeting, to_meet);
		const int n =
		    rounds<Means, false>(meeting, to_meet, answered, 0);
		for (int j = 0; j < n; j++)
			x[answered.at[j]] = y[answered.at[j]] = answered.a[j];
	}
	return count / Means::LANE * Means::LANE;
}

struct lockstep {
	const char *name;
	lockstep_fn groups;
};

// The fastest this processor runs.
lockstep choose_lockstep();

#endif
