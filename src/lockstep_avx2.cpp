// SPDX-License-Identifier: ISC
#include "lockstep.h"
#include "places.h"
#include "tree.h"

#if defined(__x86_64__)
#include <immintrin.h>

#define AVX2 __attribute__((target("avx2,popcnt")))

namespace
{

// Eight climbs to a vector, as the AVX-512 lockstep climbs sixteen; a mask
// is a vector of all ones in the lanes it selects, and the lanes are
// packed by a permute that a table gives for each mask.
struct avx2 {
	enum { LANE = 8, VECTORS = 4 };
	using mask = __m256i;

	struct climbs {
		__m256i a[VECTORS], b[VECTORS], left[VECTORS], at[VECTORS];
		mask live[VECTORS];
	};

	AVX2 static unsigned bits(mask m)
	{
		return static_cast<unsigned>(
		    _mm256_movemask_ps(_mm256_castsi256_ps(m)));
	}

	AVX2 static __m256i load(const int *from)
	{
		return _mm256_loadu_si256(
		    reinterpret_cast<const __m256i *>(from));
	}

	AVX2 static void store(int *to, __m256i v)
	{
		_mm256_storeu_si256(reinterpret_cast<__m256i *>(to), v);
	}

	AVX2 static int put(queue &q, int n, mask keep, const climbs &c, int v)
	{
		const unsigned m = bits(keep);
		const __m256i order = _mm256_cvtepu8_epi32(_mm_loadl_epi64(
		    reinterpret_cast<const __m128i *>(byte_places.of[m])));
		store(q.a + n, _mm256_permutevar8x32_epi32(c.a[v], order));
		store(q.b + n, _mm256_permutevar8x32_epi32(c.b[v], order));
		store(q.left + n,
		      _mm256_permutevar8x32_epi32(c.left[v], order));
		store(q.at + n, _mm256_permutevar8x32_epi32(c.at[v], order));
		return n + __builtin_popcount(m);
	}

	AVX2 static void take(const queue &q, int k, int n, climbs &c)
	{
		const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
#pragma GCC unroll 16
		for (int v = 0; v < VECTORS; v++) {
			const int first = k + LANE * v;
			c.live[v] = _mm256_cmpgt_epi32(
			    _mm256_set1_epi32(n - first), lane);
			c.a[v] = load(q.a + first);
			c.b[v] = load(q.b + first);
			c.left[v] = load(q.left + first);
			c.at[v] = load(q.at + first);
		}
	}

	AVX2 static mask rest(const climbs &c, int v, mask m)
	{
		return _mm256_andnot_si256(m, c.live[v]);
	}

	AVX2 static mask not_level(const climbs &c, int v)
	{
		return _mm256_and_si256(
		    c.live[v],
		    _mm256_cmpgt_epi32(c.left[v], _mm256_setzero_si256()));
	}

	AVX2 static mask apart(const climbs &c, int v)
	{
		return _mm256_andnot_si256(_mm256_cmpeq_epi32(c.a[v], c.b[v]),
		                           rest(c, v, not_level(c, v)));
	}

	// A round of steps: of the deeper nodes not yet level, or of both
	// nodes of the level climbs still apart.
	template <bool levelling> AVX2 static void climb_round(climbs &c)
	{
#pragma GCC unroll 16
		for (int s = 0; s < ROUND; s++)
#pragma GCC unroll 16
			for (int v = 0; v < VECTORS; v++) {
				const mask m =
				    levelling ? not_level(c, v) : apart(c, v);
				if (bits(m) == 0)
					continue;
				c.a[v] = _mm256_mask_i32gather_epi32(
				    c.a[v], father, c.a[v], m, 4);
				if constexpr (levelling)
					// A lane that climbs adds all ones.
					c.left[v] =
					    _mm256_add_epi32(c.left[v], m);
				else
					c.b[v] = _mm256_mask_i32gather_epi32(
					    c.b[v], father, c.b[v], m, 4);
			}
	}

	template <bool levelling>
	AVX2 static void split(const climbs &c, int v, queue &from, int &kept,
	                       queue &to, int &done)
	{
		const mask on = levelling ? not_level(c, v) : apart(c, v);
		kept = put(from, kept, on, c, v);
		done = put(to, done, rest(c, v, on), c, v);
	}

	AVX2 static void first_round(int *x, int *y, const int *dx,
	                             const int *dy, int count, int from,
	                             queue &levelling, int &to_level,
	                             queue &meeting, int &to_meet, bool &deep)
	{
		const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
		for (int k = 0; k + LANE <= count; k += LANE * VECTORS) {
			climbs c;
#pragma GCC unroll 16
			for (int v = 0; v < VECTORS; v++) {
				const int first = k + LANE * v;
				mask live = _mm256_set1_epi32(
				    first + LANE <= count ? -1 : 0);
				const __m256i vx = _mm256_maskload_epi32(
				                  x + first, live),
				              vy = _mm256_maskload_epi32(
				                  y + first, live),
				              ux = _mm256_maskload_epi32(
				                  dx + first, live),
				              uy = _mm256_maskload_epi32(
				                  dy + first, live);
				if (bits(_mm256_cmpgt_epi32(
				        _mm256_max_epi32(ux, uy),
				        _mm256_set1_epi32(SHALLOW))) != 0) {
					deep = true;
					live = _mm256_setzero_si256();
				}
				const __m256i y_deeper =
				    _mm256_cmpgt_epi32(uy, ux);
				c.live[v] = live;
				c.a[v] = _mm256_blendv_epi8(vx, vy, y_deeper);
				c.b[v] = _mm256_blendv_epi8(vy, vx, y_deeper);
				c.left[v] =
				    _mm256_abs_epi32(_mm256_sub_epi32(ux, uy));
				c.at[v] = _mm256_add_epi32(
				    _mm256_set1_epi32(from + first), lane);
			}
			climb_round<true>(c);
			climb_round<false>(c);
#pragma GCC unroll 16
			for (int v = 0; v < VECTORS; v++) {
				if (bits(c.live[v]) == 0)
					continue;
				// The lanes that go on are stored their answers
				// later.
				store(x + k + LANE * v, c.a[v]);
				store(y + k + LANE * v, c.a[v]);
				const mask up = not_level(c, v),
				           on = apart(c, v);
				if (bits(up) != 0)
					to_level =
					    put(levelling, to_level, up, c, v);
				if (bits(on) != 0)
					to_meet =
					    put(meeting, to_meet, on, c, v);
			}
		}
	}
};

} // namespace

static queue levelling, meeting, answered;

AVX2 int lockstep_avx2(int *x, int *y, const int *dx, const int *dy, int count,
                       bool &deep)
{
	return in_rounds<avx2>(x, y, dx, dy, count, deep, levelling, meeting,
	                       answered);
}
#endif
