// SPDX-License-Identifier: ISC
// Compiled once for each layer.
#include "lockstep.h"
#include "tree.h"

#include "primitives.h"

namespace LCA_LAYER
{
namespace
{
// The climbs of VECTORS vectors go side by side, so that their gathers
// are in flight together: each one's deeper node, the other, the steps
// that level them and where the pair lies, and the lanes that hold one.
constexpr int IN_FLIGHT = LANES * VECTORS;
static_assert(CHUNK + IN_FLIGHT <= QUEUED,
              "a queue has room for a group loaded from its last climb");
// A round as long as the deepest shallow climb ends every climb in the
// first round: such a layer queues none, and uses none of the helpers
// of the queues below.
constexpr bool QUEUES = ROUND < SHALLOW;

struct climbs {
	ints a[VECTORS], b[VECTORS], left[VECTORS], slot[VECTORS];
	mask live[VECTORS];
};

// The climbs of vector v whose deeper node is not yet level with the
// other.
mask uneven(const climbs &c, int v) { return greater(c.left[v], splat(0)); }

// Those that are level, and apart.
[[maybe_unused]] inline mask apart(const climbs &c, int v)
{
	return ~uneven(c, v) & differ(c.a[v], c.b[v]);
}

// Stores, from n on, the climbs of vector v that keep selects; says
// where they end.  A template, so that only the layers whose climbs are
// queued need a pack.
template <class M> int put(queue &q, int n, M keep, const climbs &c, int v)
{
	pack(q.a + n, keep, c.a[v]);
	pack(q.b + n, keep, c.b[v]);
	pack(q.left + n, keep, c.left[v]);
	pack(q.slot + n, keep, c.slot[v]);
	return n + selected(keep);
}

// The climbs of q from k on, of the n queued.  A lane past them holds a
// climb that is level and met, which no step moves.
[[maybe_unused]] inline void unqueue(const queue &q, int k, int n, climbs &c)
{
#pragma GCC unroll 16
	for (int v = 0; v < VECTORS; v++) {
		const int first = k + LANES * v;
		c.live[v] = first_lanes(n - first);
		c.a[v] = load(q.a + first);
		c.b[v] = blend(c.live[v], c.a[v], load(q.b + first));
		c.left[v] = blend(c.live[v], splat(0), load(q.left + first));
		c.slot[v] = load(q.slot + first);
	}
}

// A round of steps: of the deeper nodes not yet level, or of both nodes
// of the level climbs still apart, until none moves or ROUND steps are
// made. A lane moves while its steps are fewer than those that level
// it, or while its nodes differ, a test with no state of its own. Where
// a gather takes as long with no lane masked in as with all, a vector
// that would make one with none makes none.
template <bool levelling>
[[gnu::always_inline]] inline void climb_round_inline(climbs &c)
{
	mask even[VECTORS];
#pragma GCC unroll 16
	for (int v = 0; v < VECTORS; v++)
		even[v] = ~uneven(c, v);
	int s = 0;
	for (; s < ROUND; s++) {
		mask m[VECTORS], moving = first_lanes(0);
#pragma GCC unroll 16
		for (int v = 0; v < VECTORS; v++) {
			m[v] = levelling ? greater(c.left[v], splat(s))
			                 : even[v] & differ(c.a[v], c.b[v]);
			moving = moving | m[v];
		}
		if (none(moving))
			break;
#pragma GCC unroll 16
		for (int v = 0; v < VECTORS; v++) {
			if (SKIP && none(m[v]))
				continue;
			c.a[v] = follow(father, c.a[v], m[v]);
			if constexpr (!levelling)
				c.b[v] = follow(father, c.b[v], m[v]);
		}
	}
	if constexpr (levelling)
#pragma GCC unroll 16
		for (int v = 0; v < VECTORS; v++)
			c.left[v] = sub(c.left[v], splat(s));
}

// A round's climbs stay in registers where they fit, three vectors for
// each of VECTORS in the 16 that every x86-64 layer has.  Where they do
// not, inlined they would spill at every step, twice as slowly as out of
// line, where they spill once.
template <bool levelling> [[gnu::noinline]] void climb_round_apart(climbs &c)
{
	climb_round_inline<levelling>(c);
}
template <bool levelling> void climb_round(climbs &c)
{
	if constexpr (3 * VECTORS <= 16)
		climb_round_inline<levelling>(c);
	else
		climb_round_apart<levelling>(c);
}

// Runs rounds over the n climbs queued in from until none is left, of
// levelling or of meeting: those that go on after a round stay in from,
// packed, and the rest go to to, from done on; says where those end.
template <bool levelling> int rounds(queue &from, int n, queue &to, int done)
{
	while (n > 0) {
		int kept = 0;
		for (int k = 0; k < n; k += IN_FLIGHT) {
			climbs c;
			unqueue(from, k, n, c);
			climb_round<levelling>(c);
#pragma GCC unroll 16
			for (int v = 0; v < VECTORS; v++) {
				const mask on =
				    levelling ? uneven(c, v) : apart(c, v);
				kept = put(from, kept, on, c, v);
				done = put(to, done, c.live[v] & ~on, c, v);
			}
		}
		n = kept;
	}
	return done;
}

// Climbs the whole vectors of the count pairs from x, y, of depths from
// dx, dy, the pair at x lying at from, a round of levelling and one of
// meeting: most shallow climbs end there, and their answers are stored
// as the pairs lie.  Queues the rest, and sets deep, leaving a vector
// alone, if any of its nodes lies deeper than SHALLOW.
void first_round(int *x, int *y, const int *dx, const int *dy, int count,
                 int from, int &to_level, int &to_meet, bool &deep)
{
	for (int k = 0; k + LANES <= count; k += IN_FLIGHT) {
		climbs c;
#pragma GCC unroll 16
		for (int v = 0; v < VECTORS; v++) {
			const int first = k + LANES * v;
			const bool whole = first + LANES <= count;
			const ints vx = whole ? load(x + first) : splat(0),
			           vy = whole ? load(y + first) : splat(0),
			           ux = whole ? load(dx + first) : splat(0),
			           uy = whole ? load(dy + first) : splat(0);
			c.live[v] = first_lanes(whole ? LANES : 0);
			const mask y_deeper = greater(uy, ux);
			c.a[v] = blend(y_deeper, vx, vy);
			c.b[v] = blend(y_deeper, vy, vx);
			c.left[v] = absolute(sub(ux, uy));
			c.slot[v] = add(splat(from + first), lane_numbers());
			if (!none(greater(maximum(ux, uy), splat(SHALLOW)))) {
				deep = true;
				c.live[v] = first_lanes(0);
				c.a[v] = c.b[v] = c.left[v] = splat(0);
			}
		}
		climb_round<true>(c);
		climb_round<false>(c);
#pragma GCC unroll 16
		for (int v = 0; v < VECTORS; v++) {
			if (none(c.live[v]))
				continue;
			// The lanes that go on are stored their answers
			// later.
			store(x + k + LANES * v, c.a[v]);
			store(y + k + LANES * v, c.a[v]);
			if constexpr (QUEUES) {
				const mask up = uneven(c, v), on = apart(c, v);
				if (!none(up))
					to_level =
					    put(levelling, to_level, up, c, v);
				if (!none(on))
					to_meet =
					    put(meeting, to_meet, on, c, v);
			}
		}
	}
}

} // namespace

// A chunk at a time: the first round climbs the pairs as they lie and
// queues those that go on, whose answers are stored once their rounds of
// levelling, then of meeting, have ended.
int lockstep(int *x, int *y, const int *dx, const int *dy, int count,
             bool &deep)
{
	for (int k = 0; k + LANES <= count; k += CHUNK) {
		int to_level = 0, to_meet = 0;
		first_round(x + k, y + k, dx + k, dy + k,
		            count - k < CHUNK ? count - k : CHUNK, k, to_level,
		            to_meet, deep);
		if constexpr (QUEUES) {
			to_meet =
			    rounds<true>(levelling, to_level, meeting, to_meet);
			const int n =
			    rounds<false>(meeting, to_meet, answered, 0);
			for (int j = 0; j < n; j++)
				x[answered.slot[j]] = y[answered.slot[j]] =
				    answered.a[j];
		}
	}
	return count / LANES * LANES;
}

} // namespace LCA_LAYER

LCA_END_LAYER
