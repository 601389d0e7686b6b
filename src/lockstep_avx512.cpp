// SPDX-License-Identifier: ISC
#include <algorithm>

#include "lockstep.h"
#include "tree.h"

#if defined(__x86_64__)
// GCC 12 takes the undefined vector that some intrinsics start from for
// one used uninitialized.
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <immintrin.h>

#define AVX512 __attribute__((target("avx512f,popcnt")))

// Sixteen climbs to a vector, each lane's loads a gather, with a mask of
// the lanes that still climb.  The lanes of a vector end at different
// steps, so the climbs go in rounds of ROUND steps, and after each round
// those that go on are packed together into a queue: no lane idles for
// long.  The deeper node of each pair moves up until the two are level,
// in rounds of their own, since only it moves; then both move, until they
// meet.  A gather waits long for its loads, so four vectors climb side by
// side and their gathers are in flight together; a gather with no lane
// masked in still takes as long as any, so none is made.
enum { LANE = 16, VECTORS = 4, ROUND = 4, CHUNK = 1024 };

namespace
{

// Climbs queued: each one's deeper node, its other, the steps that level
// them and where the pair lies.  A queue is packed in place, as no climb
// is stored before one read earlier, and has room for the vectors that
// the last climbs load.
struct queue {
	int a[CHUNK + LANE * VECTORS], b[CHUNK + LANE * VECTORS],
	    left[CHUNK + LANE * VECTORS], at[CHUNK + LANE * VECTORS];
};
// Four vectors of climbs, and the lanes of each that hold one.
struct climbs {
	__m512i a[VECTORS], b[VECTORS], left[VECTORS], at[VECTORS];
	__mmask16 live[VECTORS];
};

} // namespace

static queue levelling, meeting, answered;

// Stores the climbs of c's vector v that keep selects, packed, in q from
// n on, and says where they end.
AVX512 static int put(queue &q, int n, __mmask16 keep, const climbs &c, int v)
{
	_mm512_storeu_si512(q.a + n, _mm512_maskz_compress_epi32(keep, c.a[v]));
	_mm512_storeu_si512(q.b + n, _mm512_maskz_compress_epi32(keep, c.b[v]));
	_mm512_storeu_si512(q.left + n,
	                    _mm512_maskz_compress_epi32(keep, c.left[v]));
	_mm512_storeu_si512(q.at + n,
	                    _mm512_maskz_compress_epi32(keep, c.at[v]));
	return n + __builtin_popcount(keep);
}

// The climbs of q from k on, of the n queued.
AVX512 static void take(const queue &q, int k, int n, climbs &c)
{
	for (int v = 0; v < VECTORS; v++) {
		const int first = k + LANE * v;
		c.live[v] = first >= n          ? 0
		            : n - first >= LANE ? 0xFFFF
		                                : (1u << (n - first)) - 1;
		c.a[v] = _mm512_loadu_si512(q.a + first);
		c.b[v] = _mm512_loadu_si512(q.b + first);
		c.left[v] = _mm512_loadu_si512(q.left + first);
		c.at[v] = _mm512_loadu_si512(q.at + first);
	}
}

AVX512 static __mmask16 not_level(const climbs &c, int v)
{
	return _mm512_mask_cmpgt_epi32_mask(c.live[v], c.left[v],
	                                    _mm512_setzero_si512());
}

AVX512 static __mmask16 apart(const climbs &c, int v)
{
	return _mm512_mask_cmpneq_epi32_mask(
	    static_cast<__mmask16>(c.live[v] & ~not_level(c, v)), c.a[v],
	    c.b[v]);
}

// A round of steps of the deeper nodes not yet level.
AVX512 static void level_round(climbs &c)
{
	for (int s = 0; s < ROUND; s++)
		for (int v = 0; v < VECTORS; v++) {
			const __mmask16 m = not_level(c, v);
			if (m == 0)
				continue;
			c.a[v] = _mm512_mask_i32gather_epi32(c.a[v], m, c.a[v],
			                                     father, 4);
			c.left[v] = _mm512_mask_sub_epi32(
			    c.left[v], m, c.left[v], _mm512_set1_epi32(1));
		}
}

// A round of steps of both nodes of the level climbs still apart.
AVX512 static void meet_round(climbs &c)
{
	for (int s = 0; s < ROUND; s++)
		for (int v = 0; v < VECTORS; v++) {
			const __mmask16 m = apart(c, v);
			if (m == 0)
				continue;
			c.a[v] = _mm512_mask_i32gather_epi32(c.a[v], m, c.a[v],
			                                     father, 4);
			c.b[v] = _mm512_mask_i32gather_epi32(c.b[v], m, c.b[v],
			                                     father, 4);
		}
}

// Climbs the whole vectors of the count pairs from x, y, of depths from dx,
// dy, that lie within SHALLOW of the root, x lying at from, a round of
// levelling and one of meeting: most shallow climbs end there, and their
// answers are stored as the pairs lie.  Queues the rest, and sets deep if it
// left any pair.
AVX512 static void first_round(int *x, int *y, const int *depth_x,
                               const int *depth_y, int count, int from,
                               int &to_level, int &to_meet, bool &deep)
{
	const __m512i lane = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10,
	                                       11, 12, 13, 14, 15);
	for (int k = 0; k + LANE <= count; k += LANE * VECTORS) {
		climbs c;
		for (int v = 0; v < VECTORS; v++) {
			const int first = k + LANE * v;
			__mmask16 live = first + LANE <= count ? 0xFFFF : 0;
			const __m512i vx = _mm512_maskz_loadu_epi32(live,
			                                            x + first),
			              vy = _mm512_maskz_loadu_epi32(live,
			                                            y + first);
			const __m512i dx = _mm512_maskz_loadu_epi32(
			                  live, depth_x + first),
			              dy = _mm512_maskz_loadu_epi32(
			                  live, depth_y + first);
			if (_mm512_cmpgt_epi32_mask(
			        _mm512_max_epi32(dx, dy),
			        _mm512_set1_epi32(SHALLOW)) != 0) {
				deep = true;
				live = 0;
			}
			const __mmask16 x_deeper =
			    _mm512_cmpge_epi32_mask(dx, dy);
			c.live[v] = live;
			c.a[v] = _mm512_mask_blend_epi32(x_deeper, vy, vx);
			c.b[v] = _mm512_mask_blend_epi32(x_deeper, vx, vy);
			c.left[v] = _mm512_abs_epi32(_mm512_sub_epi32(dx, dy));
			c.at[v] = _mm512_add_epi32(
			    _mm512_set1_epi32(from + first), lane);
		}
		level_round(c);
		meet_round(c);
		for (int v = 0; v < VECTORS; v++) {
			if (c.live[v] == 0)
				continue;
			// The lanes that go on are stored their answers later.
			_mm512_storeu_si512(x + k + LANE * v, c.a[v]);
			_mm512_storeu_si512(y + k + LANE * v, c.a[v]);
			const __mmask16 up = not_level(c, v), on = apart(c, v);
			if (up != 0)
				to_level = put(levelling, to_level, up, c, v);
			if (on != 0)
				to_meet = put(meeting, to_meet, on, c, v);
		}
	}
}

// Levels the n climbs queued to level, and queues them to meet from
// to_meet on; says where those to meet end.
AVX512 static int level(int n, int to_meet)
{
	while (n > 0) {
		int kept = 0;
		for (int k = 0; k < n; k += LANE * VECTORS) {
			climbs c;
			take(levelling, k, n, c);
			level_round(c);
			for (int v = 0; v < VECTORS; v++) {
				const __mmask16 up = not_level(c, v);
				kept = put(levelling, kept, up, c, v);
				to_meet =
				    put(meeting, to_meet,
				        static_cast<__mmask16>(c.live[v] & ~up),
				        c, v);
			}
		}
		n = kept;
	}
	return to_meet;
}

// Meets the n level climbs queued to meet, and queues their answers; says
// how many.
AVX512 static int meet(int n)
{
	int answers = 0;
	while (n > 0) {
		int kept = 0;
		for (int k = 0; k < n; k += LANE * VECTORS) {
			climbs c;
			take(meeting, k, n, c);
			meet_round(c);
			for (int v = 0; v < VECTORS; v++) {
				const __mmask16 on = apart(c, v);
				kept = put(meeting, kept, on, c, v);
				answers =
				    put(answered, answers,
				        static_cast<__mmask16>(c.live[v] & ~on),
				        c, v);
			}
		}
		n = kept;
	}
	return answers;
}

AVX512 int lockstep_avx512(int *x, int *y, const int *dx, const int *dy,
                           int count, bool &deep)
{
	for (int k = 0; k + LANE <= count; k += CHUNK) {
		int to_level = 0, to_meet = 0;
		first_round(x + k, y + k, dx + k, dy + k,
		            std::min<int>(CHUNK, count - k), k, to_level,
		            to_meet, deep);
		const int n = meet(level(to_level, to_meet));
		for (int j = 0; j < n; j++)
			x[answered.at[j]] = y[answered.at[j]] = answered.a[j];
	}
	return count / LANE * LANE;
}
#endif
