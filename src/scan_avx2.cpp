// SPDX-License-Identifier: ISC
#include "scan.h"

#if defined(__x86_64__)
#include <immintrin.h>

#define AVX2 __attribute__((target("avx2")))

// All ones in each of the 16 entries from position i that equals want.
AVX2 static __m256i match(int i, __m256i want)
{
	return _mm256_cmpeq_epi16(
	    _mm256_load_si256(reinterpret_cast<const __m256i *>(father16 + i)),
	    want);
}

// A block of four lines costs eight compares and one branch, and at that
// rate the scan runs as fast as the copy streams in from the level 2 cache.
// Only the block that holds a match is compared again, to find where: the
// byte mask of a compare has two bits an entry.
AVX2 int scan_avx2(int v, int i)
{
	const __m256i want = _mm256_set1_epi16(static_cast<short>(v));
	for (; i + BLOCK - 1 <= nodes; i += BLOCK) {
		__m256i any = match(i, want);
		for (int k = 16; k < BLOCK; k += 16)
			any = _mm256_or_si256(any, match(i + k, want));
		if (!_mm256_testz_si256(any, any))
			for (;; i += 16)
				if (const unsigned m = static_cast<unsigned>(
				        _mm256_movemask_epi8(match(i, want))))
					return i + __builtin_ctz(m) / 2;
	}
	return i;
}
#endif
