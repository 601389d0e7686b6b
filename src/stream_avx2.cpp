// SPDX-License-Identifier: ISC
#include "stream.h"

#if defined(__x86_64__)
#include <immintrin.h>

#define AVX2 __attribute__((target("avx2")))

// All ones in each byte of v from c to c + n - 1.  Bytes compare signed,
// so that one of 128 or more lies below every such range.
AVX2 static __m256i from(__m256i v, char c, char n)
{
	return _mm256_and_si256(
	    _mm256_cmpgt_epi8(v, _mm256_set1_epi8(static_cast<char>(c - 1))),
	    _mm256_cmpgt_epi8(_mm256_set1_epi8(static_cast<char>(c + n)), v));
}

// Two vectors of 32 bytes.
AVX2 void classify_avx2(const char *stretch, std::uint64_t &digits,
                        std::uint64_t &spaces)
{
	digits = spaces = 0;
	for (int k = 0; k < 2; k++) {
		const __m256i v = _mm256_loadu_si256(
		    reinterpret_cast<const __m256i *>(stretch) + k);
		const __m256i space = _mm256_or_si256(
		    from(v, '\t', 5),
		    _mm256_cmpeq_epi8(v, _mm256_set1_epi8(' ')));
		digits |= std::uint64_t{static_cast<std::uint32_t>(
		              _mm256_movemask_epi8(from(v, '0', 10)))}
		          << 32 * k;
		spaces |= std::uint64_t{static_cast<std::uint32_t>(
		              _mm256_movemask_epi8(space))}
		          << 32 * k;
	}
}
#endif
