// SPDX-License-Identifier: ISC
#include "stream.h"

#if defined(__x86_64__)
#include <immintrin.h>

#define AVX512 __attribute__((target("avx512f,avx512bw")))

// A bit for each byte of v from c to c + n - 1: the byte less c, compared
// unsigned, is below n (the byte compares need AVX-512BW).
AVX512 static __mmask64 from(__m512i v, char c, char n)
{
	return _mm512_cmplt_epu8_mask(_mm512_sub_epi8(v, _mm512_set1_epi8(c)),
	                              _mm512_set1_epi8(n));
}

// The whole stretch in one vector.
AVX512 void classify_avx512(const char *stretch, std::uint64_t &digits,
                            std::uint64_t &spaces)
{
	const __m512i v = _mm512_loadu_si512(stretch);
	digits = from(v, '0', 10);
	spaces =
	    from(v, '\t', 5) | _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(' '));
}
#endif
