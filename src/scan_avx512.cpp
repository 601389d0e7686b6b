// SPDX-License-Identifier: ISC
#include "scan.h"
#include "tree.h"

#if defined(__x86_64__)
#include <immintrin.h>

// AVX-512 compares a whole line at a time into a mask; a block of four
// lines costs four compares, three mask ORs and one branch.
__attribute__((target("avx512f"))) int scan_avx512(int v, int i)
{
	const __m512i want = _mm512_set1_epi32(v);
	for (; i + 4 * LINE - 1 <= nodes; i += 4 * LINE) {
		const __m512i *p =
		    reinterpret_cast<const __m512i *>(father + i);
		__mmask16 a =
		    _mm512_cmpeq_epi32_mask(_mm512_load_si512(p), want);
		__mmask16 b =
		    _mm512_cmpeq_epi32_mask(_mm512_load_si512(p + 1), want);
		__mmask16 c =
		    _mm512_cmpeq_epi32_mask(_mm512_load_si512(p + 2), want);
		__mmask16 d =
		    _mm512_cmpeq_epi32_mask(_mm512_load_si512(p + 3), want);
		if (!_mm512_kortestz(_mm512_kor(a, b), _mm512_kor(c, d)))
			break;
	}
	return i;
}
#endif
