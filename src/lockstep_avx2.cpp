// SPDX-License-Identifier: ISC
#include "lockstep.h"
#include "tree.h"

#if defined(__x86_64__)
#include <immintrin.h>

#define AVX2 __attribute__((target("avx2")))

// Eight pairs to a vector, as the AVX-512 lockstep climbs sixteen; a mask
// is a vector of all ones in the lanes that still climb.
enum { LANE = 8, VECTORS = 4, GROUP = LANE * VECTORS };

AVX2 static bool none(__m256i m)
{
	return _mm256_testz_si256(m, m) != 0;
}

AVX2 static bool climb_group(int *x, int *y)
{
	__m256i a[VECTORS], b[VECTORS], left[VECTORS];
	__m256i deep = _mm256_setzero_si256();
	for (int v = 0; v < VECTORS; v++) {
		const __m256i vx = _mm256_loadu_si256(
		                  reinterpret_cast<__m256i *>(x + LANE * v)),
		              vy = _mm256_loadu_si256(
		                  reinterpret_cast<__m256i *>(y + LANE * v));
		const __m256i dx = _mm256_i32gather_epi32(depth, vx, 4),
		              dy = _mm256_i32gather_epi32(depth, vy, 4);
		deep = _mm256_or_si256(
		    deep, _mm256_cmpgt_epi32(_mm256_max_epi32(dx, dy),
		                             _mm256_set1_epi32(SHALLOW)));
		const __m256i y_deeper = _mm256_cmpgt_epi32(dy, dx);
		a[v] = _mm256_blendv_epi8(vx, vy, y_deeper);
		b[v] = _mm256_blendv_epi8(vy, vx, y_deeper);
		left[v] = _mm256_abs_epi32(_mm256_sub_epi32(dx, dy));
	}
	if (!none(deep))
		return false;
	const __m256i zero = _mm256_setzero_si256();
	for (bool more = true; more;) {
		more = false;
		for (int v = 0; v < VECTORS; v++) {
			const __m256i m = _mm256_cmpgt_epi32(left[v], zero);
			if (none(m))
				continue;
			a[v] = _mm256_mask_i32gather_epi32(a[v], father, a[v],
			                                   m, 4);
			// A lane that climbs adds all ones.
			left[v] = _mm256_add_epi32(left[v], m);
			more = true;
		}
	}
	for (bool more = true; more;) {
		more = false;
		for (int v = 0; v < VECTORS; v++) {
			const __m256i m =
			    _mm256_xor_si256(_mm256_cmpeq_epi32(a[v], b[v]),
			                     _mm256_set1_epi32(-1));
			if (none(m))
				continue;
			a[v] = _mm256_mask_i32gather_epi32(a[v], father, a[v],
			                                   m, 4);
			b[v] = _mm256_mask_i32gather_epi32(b[v], father, b[v],
			                                   m, 4);
			more = true;
		}
	}
	for (int v = 0; v < VECTORS; v++) {
		_mm256_storeu_si256(reinterpret_cast<__m256i *>(x + LANE * v),
		                    a[v]);
		_mm256_storeu_si256(reinterpret_cast<__m256i *>(y + LANE * v),
		                    a[v]);
	}
	return true;
}

AVX2 int lockstep_avx2(int *x, int *y, int count, bool &deep)
{
	return in_groups<GROUP, climb_group>(x, y, count, deep);
}
#endif
