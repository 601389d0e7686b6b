// SPDX-License-Identifier: ISC
#include "scan.h"

#if defined(__x86_64__)
#include <immintrin.h>

#define AVX512 __attribute__((target("avx512f,avx512bw")))

// The entries of line k from position i that equal want, a bit each.
AVX512 static __mmask32 line(int i, int k, __m512i want)
{
	return _mm512_cmpeq_epi16_mask(
	    _mm512_load_si512(father16 + i + k * LINE), want);
}

// AVX-512 compares a whole line at a time into a mask (the 16-bit compares
// need AVX-512BW); a block of four lines costs four compares, three mask
// ORs and one branch.  Only the block that holds a match is compared
// again, to find where.
AVX512 int scan_avx512(int v, int i)
{
	const __m512i want = _mm512_set1_epi16(static_cast<short>(v));
	for (; i + BLOCK - 1 <= nodes; i += BLOCK)
		if (!_kortestz_mask32_u8(
		        _kor_mask32(line(i, 0, want), line(i, 1, want)),
		        _kor_mask32(line(i, 2, want), line(i, 3, want))))
			for (int k = 0;; k++)
				if (const __mmask32 m = line(i, k, want))
					return i + k * LINE + __builtin_ctz(m);
	return i;
}
#endif
