// SPDX-License-Identifier: ISC
#include "find.h"

#if defined(__x86_64__)
// GCC 12 takes the undefined vector that some intrinsics start from for
// one used uninitialized.
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <immintrin.h>

// Compressing bytes needs AVX-512 VBMI2; compares of bytes into masks,
// AVX-512BW.
#define AVX512                                                                 \
	__attribute__((target("avx512f,avx512bw,avx512vbmi2,bmi,popcnt")))

namespace
{

struct avx512 {
	// A bit for each byte of v from c to c + n - 1: the byte less c,
	// compared unsigned, is below n.
	AVX512 static __mmask64 from(__m512i v, char c, char n)
	{
		return _mm512_cmplt_epu8_mask(
		    _mm512_sub_epi8(v, _mm512_set1_epi8(c)),
		    _mm512_set1_epi8(n));
	}

	// The whole stretch in one vector.
	AVX512 static void classify(const char *stretch, std::uint64_t &digits,
	                            std::uint64_t &spaces)
	{
		const __m512i v = _mm512_loadu_si512(stretch);
		digits = from(v, '0', 10);
		spaces = from(v, '\t', 5) |
		         _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(' '));
	}

	// The places of the bits, packed to the front of a vector, widened
	// to 16 bits and stored, 32 of them, which is as many as a stretch
	// has starts or ends.
	AVX512 static int offsets(std::uint64_t bits, unsigned at,
	                          std::uint16_t *to)
	{
		const __m512i places = _mm512_set_epi8(
		    63, 62, 61, 60, 59, 58, 57, 56, 55, 54, 53, 52, 51, 50, 49,
		    48, 47, 46, 45, 44, 43, 42, 41, 40, 39, 38, 37, 36, 35, 34,
		    33, 32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19,
		    18, 17, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2,
		    1, 0);
		const __m512i packed = _mm512_maskz_compress_epi8(bits, places);
		_mm512_storeu_si512(
		    to,
		    _mm512_add_epi16(
		        _mm512_cvtepu8_epi16(_mm512_castsi512_si256(packed)),
		        _mm512_set1_epi16(static_cast<short>(at))));
		return __builtin_popcountll(bits);
	}
};

} // namespace

AVX512 static int find_avx512(const char *p, const char *base,
                              std::uint16_t *firsts, std::uint16_t *lasts,
                              int room)
{
	return find_with<avx512>(p, base, firsts, lasts, room);
}

// Eight values to a vector, each in 64 bits: the eight bytes from its
// first digit, each less '0', shifted to drop those after its last, read
// as eight digits with leading zeros, the first in the lowest byte.  Pairs
// of digits, then pairs of pairs, are summed by multiply-adds; the two
// halves of four digits, by a multiply and an add.
AVX512 static int convert_avx512(const char *base, const std::uint16_t *firsts,
                                 const std::uint16_t *lasts, int count,
                                 int *values)
{
	for (int k = 0; k < count; k += 8) {
		const __m512i first = _mm512_cvtepu16_epi64(_mm_loadu_si128(
		    reinterpret_cast<const __m128i *>(firsts + k)));
		const __m512i last = _mm512_cvtepu16_epi64(_mm_loadu_si128(
		    reinterpret_cast<const __m128i *>(lasts + k)));
		const __m512i length = _mm512_sub_epi64(last, first);
		const unsigned live =
		    count - k < 8 ? (1u << (count - k)) - 1 : 0xFF;
		const unsigned long_ =
		    _mm512_cmpgt_epi64_mask(length, _mm512_set1_epi64(7)) &
		    live;
		if (long_ != 0)
			count = k + __builtin_ctz(long_);
		__m512i x = _mm512_i64gather_epi64(first, base, 1);
		x = _mm512_sub_epi8(x, _mm512_set1_epi8('0'));
		x = _mm512_sllv_epi64(
		    x, _mm512_slli_epi64(
		           _mm512_sub_epi64(_mm512_set1_epi64(7), length), 3));
		x = _mm512_maddubs_epi16(x, _mm512_set1_epi16(1 << 8 | 10));
		x = _mm512_madd_epi16(x, _mm512_set1_epi32(1 << 16 | 100));
		x = _mm512_add_epi64(
		    _mm512_mul_epu32(x, _mm512_set1_epi64(10000)),
		    _mm512_srli_epi64(x, 32));
		_mm256_storeu_si256(reinterpret_cast<__m256i *>(values + k),
		                    _mm512_cvtepi64_epi32(x));
	}
	return count;
}

const reader avx512_reader = {"avx512", find_avx512, convert_avx512};
#endif
