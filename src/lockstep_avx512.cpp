// SPDX-License-Identifier: ISC
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

namespace
{

// Sixteen climbs to a vector, in rounds (see lockstep.h), each lane's
// loads a gather, with a mask of the lanes that still climb.  A gather
// waits long for its loads, so four vectors climb side by side and their
// gathers are in flight together; a gather with no lane masked in still
// takes as long as any, so none is made.
struct avx512 {
	enum { LANE = 16, VECTORS = 4 };
	using mask = __mmask16;

	// Four vectors of climbs, and the lanes of each that hold one.
	struct climbs {
		__m512i a[VECTORS], b[VECTORS], left[VECTORS], at[VECTORS];
		mask live[VECTORS];
	};

	AVX512 static int put(queue &q, int n, mask keep, const climbs &c,
	                      int v)
	{
		_mm512_storeu_si512(q.a + n,
		                    _mm512_maskz_compress_epi32(keep, c.a[v]));
		_mm512_storeu_si512(q.b + n,
		                    _mm512_maskz_compress_epi32(keep, c.b[v]));
		_mm512_storeu_si512(
		    q.left + n, _mm512_maskz_compress_epi32(keep, c.left[v]));
		_mm512_storeu_si512(q.at + n,
		                    _mm512_maskz_compress_epi32(keep, c.at[v]));
		return n + __builtin_popcount(keep);
	}

	AVX512 static void take(const queue &q, int k, int n, climbs &c)
	{
#pragma GCC unroll 16
		for (int v = 0; v < VECTORS; v++) {
			const int first = k + LANE * v;
			c.live[v] = first >= n ? 0
			            : n - first >= LANE
			                ? 0xFFFF
			                : (1u << (n - first)) - 1;
			c.a[v] = _mm512_loadu_si512(q.a + first);
			c.b[v] = _mm512_loadu_si512(q.b + first);
			c.left[v] = _mm512_loadu_si512(q.left + first);
			c.at[v] = _mm512_loadu_si512(q.at + first);
		}
	}

	AVX512 static mask rest(const climbs &c, int v, mask m)
	{
		return static_cast<mask>(c.live[v] & ~m);
	}

	AVX512 static mask not_level(const climbs &c, int v)
	{
		return _mm512_mask_cmpgt_epi32_mask(c.live[v], c.left[v],
		                                    _mm512_setzero_si512());
	}

	AVX512 static mask apart(const climbs &c, int v)
	{
		return _mm512_mask_cmpneq_epi32_mask(
		    rest(c, v, not_level(c, v)), c.a[v], c.b[v]);
	}

	// A round of steps: of the deeper nodes not yet level, or of both
	// nodes of the level climbs still apart.
	template <bool levelling> AVX512 static void climb_round(climbs &c)
	{
#pragma GCC unroll 16
		for (int s = 0; s < ROUND; s++)
#pragma GCC unroll 16
			for (int v = 0; v < VECTORS; v++) {
				const mask m =
				    levelling ? not_level(c, v) : apart(c, v);
				if (m == 0)
					continue;
				c.a[v] = _mm512_mask_i32gather_epi32(
				    c.a[v], m, c.a[v], father, 4);
				if constexpr (levelling)
					c.left[v] = _mm512_mask_sub_epi32(
					    c.left[v], m, c.left[v],
					    _mm512_set1_epi32(1));
				else
					c.b[v] = _mm512_mask_i32gather_epi32(
					    c.b[v], m, c.b[v], father, 4);
			}
	}

	template <bool levelling>
	AVX512 static void split(const climbs &c, int v, queue &from, int &kept,
	                         queue &to, int &done)
	{
		const mask on = levelling ? not_level(c, v) : apart(c, v);
		kept = put(from, kept, on, c, v);
		done = put(to, done, rest(c, v, on), c, v);
	}

	// Climbs the whole vectors of the count pairs from x, y, of depths
	// from dx, dy, that lie within SHALLOW of the root, x lying at from,
	// a round of levelling and one of meeting: most shallow climbs end
	// there, and their answers are stored as the pairs lie.  Queues the
	// rest, and sets deep if it left any pair.
	AVX512 static void first_round(int *x, int *y, const int *dx,
	                               const int *dy, int count, int from,
	                               queue &levelling, int &to_level,
	                               queue &meeting, int &to_meet, bool &deep)
	{
		const __m512i lane = _mm512_setr_epi32(
		    0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
		for (int k = 0; k + LANE <= count; k += LANE * VECTORS) {
			climbs c;
#pragma GCC unroll 16
			for (int v = 0; v < VECTORS; v++) {
				const int first = k + LANE * v;
				mask live = first + LANE <= count ? 0xFFFF : 0;
				const __m512i vx = _mm512_maskz_loadu_epi32(
				                  live, x + first),
				              vy = _mm512_maskz_loadu_epi32(
				                  live, y + first),
				              ux = _mm512_maskz_loadu_epi32(
				                  live, dx + first),
				              uy = _mm512_maskz_loadu_epi32(
				                  live, dy + first);
				if (_mm512_cmpgt_epi32_mask(
				        _mm512_max_epi32(ux, uy),
				        _mm512_set1_epi32(SHALLOW)) != 0) {
					deep = true;
					live = 0;
				}
				const mask x_deeper =
				    _mm512_cmpge_epi32_mask(ux, uy);
				c.live[v] = live;
				c.a[v] =
				    _mm512_mask_blend_epi32(x_deeper, vy, vx);
				c.b[v] =
				    _mm512_mask_blend_epi32(x_deeper, vx, vy);
				c.left[v] =
				    _mm512_abs_epi32(_mm512_sub_epi32(ux, uy));
				c.at[v] = _mm512_add_epi32(
				    _mm512_set1_epi32(from + first), lane);
			}
			climb_round<true>(c);
			climb_round<false>(c);
#pragma GCC unroll 16
			for (int v = 0; v < VECTORS; v++) {
				if (c.live[v] == 0)
					continue;
				// The lanes that go on are stored their answers
				// later.
				_mm512_storeu_si512(x + k + LANE * v, c.a[v]);
				_mm512_storeu_si512(y + k + LANE * v, c.a[v]);
				const mask up = not_level(c, v),
				           on = apart(c, v);
				if (up != 0)
					to_level =
					    put(levelling, to_level, up, c, v);
				if (on != 0)
					to_meet =
					    put(meeting, to_meet, on, c, v);
			}
		}
	}
};

} // namespace

static queue levelling, meeting, answered;

AVX512 int lockstep_avx512(int *x, int *y, const int *dx, const int *dy,
                           int count, bool &deep)
{
	return in_rounds<avx512>(x, y, dx, dy, count, deep, levelling, meeting,
	                         answered);
}
#endif
