// SPDX-License-Identifier: ISC
#include "scan.h"

#if defined(__x86_64__)
#include <immintrin.h>

#define AVX2 __attribute__((target("avx2")))

namespace
{

// A block is eight vectors of 16 entries, each compared with every value
// and ORed, with one branch a block.  For the mask, the compares of two
// vectors pack into the bytes of one, whose 128-bit halves the pack
// interleaves and a permute puts back in order.  Every loop over values
// or vectors is unrolled at any optimization level, so that each vector
// stays in a register.
template <int K> struct avx2 {
	// Kept apart from run(), whose compares the compiler would otherwise
	// hold, all of them, in case the loop ends.
	[[gnu::noinline]] AVX2 static void marks(const __m256i *w, int i,
	                                         std::uint64_t *mask)
	{
		const __m256i *part =
		    reinterpret_cast<const __m256i *>(father16 + i);
#pragma GCC unroll 16
		for (int k = 0; k < 4; k++) {
			__m256i a = _mm256_setzero_si256(), b = a;
#pragma GCC unroll 16
			for (int s = 0; s < K; s++) {
				a = _mm256_or_si256(
				    a,
				    _mm256_cmpeq_epi16(
				        _mm256_load_si256(part + 2 * k), w[s]));
				b = _mm256_or_si256(
				    b, _mm256_cmpeq_epi16(
				           _mm256_load_si256(part + 2 * k + 1),
				           w[s]));
			}
			const std::uint32_t bits = static_cast<std::uint32_t>(
			    _mm256_movemask_epi8(_mm256_permute4x64_epi64(
			        _mm256_packs_epi16(a, b), 0xd8)));
			if (k % 2 == 0)
				mask[k / 2] = bits;
			else
				mask[k / 2] |= std::uint64_t{bits} << 32;
		}
	}

	AVX2 static int run(const std::uint16_t *want, int i, int last,
	                    std::uint64_t *mask)
	{
		__m256i w[K], part[8];
#pragma GCC unroll 16
		for (int s = 0; s < K; s++)
			w[s] = _mm256_set1_epi16(static_cast<short>(want[s]));
		for (;; i += BLOCK) {
#pragma GCC unroll 16
			for (int k = 0; k < 8; k++)
				part[k] = _mm256_load_si256(
				    reinterpret_cast<const __m256i *>(father16 +
				                                      i) +
				    k);
			__m256i any = _mm256_setzero_si256();
#pragma GCC unroll 16
			for (int s = 0; s < K; s++) {
				__m256i e[4];
#pragma GCC unroll 16
				for (int k = 0; k < 4; k++)
					e[k] = _mm256_or_si256(
					    _mm256_cmpeq_epi16(part[2 * k],
					                       w[s]),
					    _mm256_cmpeq_epi16(part[2 * k + 1],
					                       w[s]));
				any = _mm256_or_si256(
				    any, _mm256_or_si256(
				             _mm256_or_si256(e[0], e[1]),
				             _mm256_or_si256(e[2], e[3])));
			}
			if (!_mm256_testz_si256(any, any) || i == last)
				break;
		}
		marks(w, i, mask);
		return i;
	}
};

} // namespace

int scan_avx2(const std::uint16_t *want, int count, int i, int last,
              std::uint64_t *mask)
{
	return for_count<avx2>(want, count, i, last, mask);
}
#endif
