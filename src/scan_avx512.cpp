// SPDX-License-Identifier: ISC
#include "scan.h"

#if defined(__x86_64__)
#include <immintrin.h>

#define AVX512 __attribute__((target("avx512f,avx512bw")))

namespace
{

// AVX-512 compares a whole line at a time into a mask (the 16-bit compares
// need AVX-512BW), four to a block and value, with one branch a block.
// Every loop over values or lines is unrolled at any optimization level,
// so that each vector stays in a register.
template <int K> struct avx512 {
	// Kept apart from run(), whose compares the compiler would otherwise
	// hold, all of them, in case the loop ends.
	[[gnu::noinline]] AVX512 static void marks(const __m512i *w, int i,
	                                           std::uint64_t *mask)
	{
		std::uint32_t m[4] = {};
#pragma GCC unroll 16
		for (int k = 0; k < 4; k++)
#pragma GCC unroll 16
			for (int s = 0; s < K; s++)
				m[k] |= _mm512_cmpeq_epi16_mask(
				    _mm512_load_si512(father16 + i + k * LINE),
				    w[s]);
		mask[0] = m[0] | std::uint64_t{m[1]} << 32;
		mask[1] = m[2] | std::uint64_t{m[3]} << 32;
	}

	// Whether the block holds any of the values.  Each value's four
	// compares chain as masks of the entries that differ, so that no mask
	// need be ORed: the block holds a value where some entry is not set in
	// all of them.
	AVX512 static bool holds(const __m512i *line, const __m512i *w)
	{
		__mmask32 differ = ~0u;
#pragma GCC unroll 16
		for (int s = 0; s < K; s++) {
			__mmask32 d = _mm512_cmpneq_epi16_mask(line[0], w[s]);
#pragma GCC unroll 16
			for (int k = 1; k < 4; k++)
				d = _mm512_mask_cmpneq_epi16_mask(d, line[k],
				                                  w[s]);
			differ &= d;
		}
		return differ != ~0u;
	}

	AVX512 static int run(const std::uint16_t *want, int i, int last,
	                      std::uint64_t *mask)
	{
		__m512i w[K], line[4];
#pragma GCC unroll 16
		for (int s = 0; s < K; s++)
			w[s] = _mm512_set1_epi16(static_cast<short>(want[s]));
		for (;; i += BLOCK) {
#pragma GCC unroll 16
			for (int k = 0; k < 4; k++)
				line[k] =
				    _mm512_load_si512(father16 + i + k * LINE);
			if (holds(line, w) || i == last)
				break;
		}
		marks(w, i, mask);
		return i;
	}
};

} // namespace

int scan_avx512(const std::uint16_t *want, int count, int i, int last,
                std::uint64_t *mask)
{
	return for_count<avx512>(want, count, i, last, mask);
}
#endif
