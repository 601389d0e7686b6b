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

#define AVX512 __attribute__((target("avx512f")))

// Sixteen pairs to a vector, each lane's loads a gather, with a mask of the
// lanes that still climb.  A gather waits long for its loads, so the
// vectors of a group climb side by side, each as long as its own lanes
// need: their gathers are in flight together.  A gather with no lane
// masked in still takes as long as any, so none is made.
enum { LANE = 16, VECTORS = 4, GROUP = LANE * VECTORS };

AVX512 static bool climb_group(int *x, int *y)
{
	__m512i a[VECTORS], b[VECTORS], left[VECTORS];
	__mmask16 deep = 0;
	for (int v = 0; v < VECTORS; v++) {
		const __m512i vx = _mm512_loadu_si512(x + LANE * v),
		              vy = _mm512_loadu_si512(y + LANE * v);
		const __m512i dx = _mm512_i32gather_epi32(vx, depth, 4),
		              dy = _mm512_i32gather_epi32(vy, depth, 4);
		deep |= _mm512_cmpgt_epi32_mask(_mm512_max_epi32(dx, dy),
		                                _mm512_set1_epi32(SHALLOW));
		const __mmask16 x_deeper = _mm512_cmpge_epi32_mask(dx, dy);
		a[v] = _mm512_mask_blend_epi32(x_deeper, vy, vx);
		b[v] = _mm512_mask_blend_epi32(x_deeper, vx, vy);
		left[v] = _mm512_abs_epi32(_mm512_sub_epi32(dx, dy));
	}
	if (deep != 0)
		return false;
	// The deeper node of each pair moves up until the two are level...
	const __m512i zero = _mm512_setzero_si512(), one = _mm512_set1_epi32(1);
	for (bool more = true; more;) {
		more = false;
		for (int v = 0; v < VECTORS; v++) {
			const __mmask16 m =
			    _mm512_cmpgt_epi32_mask(left[v], zero);
			if (m == 0)
				continue;
			a[v] = _mm512_mask_i32gather_epi32(a[v], m, a[v],
			                                   father, 4);
			left[v] =
			    _mm512_mask_sub_epi32(left[v], m, left[v], one);
			more = true;
		}
	}
	// ...then both, until every pair has met.
	for (bool more = true; more;) {
		more = false;
		for (int v = 0; v < VECTORS; v++) {
			const __mmask16 m =
			    _mm512_cmpneq_epi32_mask(a[v], b[v]);
			if (m == 0)
				continue;
			a[v] = _mm512_mask_i32gather_epi32(a[v], m, a[v],
			                                   father, 4);
			b[v] = _mm512_mask_i32gather_epi32(b[v], m, b[v],
			                                   father, 4);
			more = true;
		}
	}
	for (int v = 0; v < VECTORS; v++) {
		_mm512_storeu_si512(x + LANE * v, a[v]);
		_mm512_storeu_si512(y + LANE * v, a[v]);
	}
	return true;
}

AVX512 int lockstep_avx512(int *x, int *y, int count, bool &deep)
{
	return in_groups<GROUP, climb_group>(x, y, count, deep);
}
#endif
