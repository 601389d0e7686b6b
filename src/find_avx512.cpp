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

// Compressing bytes needs AVX-512 VBMI2, permuting them VBMI; compares of
// bytes into masks, AVX-512BW.
#define AVX512                                                                 \
	__attribute__((target(                                                 \
	    "avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,bmi,popcnt")))

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

// The eight bytes up to and with each of eight last digits, with the
// bytes before each first digit cleared, a value in 64 bits: read as
// eight digits with leading zeros, the first in the lowest byte.  Most
// groups lie within 128 bytes, whose two vectors one permute picks the
// bytes from; the bytes of a group spread wider are loaded one by one.
AVX512 static __m512i eight_values(const char *base, const std::uint16_t *first,
                                   const std::uint16_t *last, int lives)
{
	const unsigned origin = first[0];
	const __m512i zero_digit = _mm512_set1_epi8('0');
	if (last[lives - 1] - origin < 2 * STRETCH) {
		// Byte b of slot s is slot s's byte from the last digit's
		// place, 7 - b before it.
		const __m512i place = _mm512_set_epi8(
		    0, -1, -2, -3, -4, -5, -6, -7, 0, -1, -2, -3, -4, -5, -6,
		    -7, 0, -1, -2, -3, -4, -5, -6, -7, 0, -1, -2, -3, -4, -5,
		    -6, -7, 0, -1, -2, -3, -4, -5, -6, -7, 0, -1, -2, -3, -4,
		    -5, -6, -7, 0, -1, -2, -3, -4, -5, -6, -7, 0, -1, -2, -3,
		    -4, -5, -6, -7);
		const __m512i slot = _mm512_set_epi8(
		    7, 7, 7, 7, 7, 7, 7, 7, 6, 6, 6, 6, 6, 6, 6, 6, 5, 5, 5, 5,
		    5, 5, 5, 5, 4, 4, 4, 4, 4, 4, 4, 4, 3, 3, 3, 3, 3, 3, 3, 3,
		    2, 2, 2, 2, 2, 2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0,
		    0, 0, 0, 0);
		// Firsts in bytes 0 to 7, lasts in 8 to 15, from the origin.
		const __m128i at = _mm_set1_epi16(static_cast<short>(origin));
		const __m512i places = _mm512_zextsi128_si512(_mm_packus_epi16(
		    _mm_sub_epi16(_mm_loadu_si128(
		                      reinterpret_cast<const __m128i *>(first)),
		                  at),
		    _mm_sub_epi16(_mm_loadu_si128(
		                      reinterpret_cast<const __m128i *>(last)),
		                  at)));
		const __m512i starts = _mm512_permutexvar_epi8(slot, places);
		const __m512i from = _mm512_add_epi8(
		    _mm512_permutexvar_epi8(
		        _mm512_add_epi8(slot, _mm512_set1_epi8(8)), places),
		    place);
		const __mmask64 digits = _mm512_cmpge_epi8_mask(from, starts);
		const __m512i x = _mm512_maskz_permutex2var_epi8(
		    digits, _mm512_loadu_si512(base + origin), from,
		    _mm512_loadu_si512(base + origin + STRETCH));
		return _mm512_maskz_sub_epi8(digits, x, zero_digit);
	}
	// The eight bytes from each first digit, shifted to drop those after
	// the last.
	__m128i pairs[4];
#pragma GCC unroll 16
	for (int k = 0; k < 4; k++)
		pairs[k] = _mm_unpacklo_epi64(
		    _mm_loadl_epi64(
		        reinterpret_cast<const __m128i *>(base + first[2 * k])),
		    _mm_loadl_epi64(reinterpret_cast<const __m128i *>(
		        base + first[2 * k + 1])));
	const __m512i x = _mm512_inserti64x4(
	    _mm512_castsi256_si512(_mm256_inserti128_si256(
	        _mm256_castsi128_si256(pairs[0]), pairs[1], 1)),
	    _mm256_inserti128_si256(_mm256_castsi128_si256(pairs[2]), pairs[3],
	                            1),
	    1);
	const __m512i length = _mm512_sub_epi64(
	    _mm512_cvtepu16_epi64(
	        _mm_loadu_si128(reinterpret_cast<const __m128i *>(last))),
	    _mm512_cvtepu16_epi64(
	        _mm_loadu_si128(reinterpret_cast<const __m128i *>(first))));
	return _mm512_sllv_epi64(
	    _mm512_sub_epi8(x, zero_digit),
	    _mm512_slli_epi64(_mm512_sub_epi64(_mm512_set1_epi64(7), length),
	                      3));
}

// Eight values to a vector.  Pairs of digits, then pairs of pairs, are
// summed by multiply-adds; the two halves of four digits, by a multiply
// and an add.
AVX512 static void convert_eight(const char *base, const std::uint16_t *first,
                                 const std::uint16_t *last, int lives,
                                 int *values)
{
	__m512i x = eight_values(base, first, last, lives);
	x = _mm512_maddubs_epi16(x, _mm512_set1_epi16(1 << 8 | 10));
	x = _mm512_madd_epi16(x, _mm512_set1_epi32(1 << 16 | 100));
	x = _mm512_add_epi64(_mm512_mul_epu32(x, _mm512_set1_epi64(10000)),
	                     _mm512_srli_epi64(x, 32));
	_mm256_storeu_si256(reinterpret_cast<__m256i *>(values),
	                    _mm512_cvtepi64_epi32(x));
}

// Sixteen values of at most four digits, lying within 128 bytes, to a
// vector, each in 32 bits: four bytes up to and with its last digit, each
// less '0', those before its first cleared.  Two multiply-adds make them
// values.
AVX512 static void convert_sixteen(const char *base, const std::uint16_t *first,
                                   const std::uint16_t *last, int *values)
{
	const __m512i place = _mm512_set_epi8(
	    0, -1, -2, -3, 0, -1, -2, -3, 0, -1, -2, -3, 0, -1, -2, -3, 0, -1,
	    -2, -3, 0, -1, -2, -3, 0, -1, -2, -3, 0, -1, -2, -3, 0, -1, -2, -3,
	    0, -1, -2, -3, 0, -1, -2, -3, 0, -1, -2, -3, 0, -1, -2, -3, 0, -1,
	    -2, -3, 0, -1, -2, -3, 0, -1, -2, -3);
	const __m512i slot = _mm512_set_epi8(
	    15, 15, 15, 15, 14, 14, 14, 14, 13, 13, 13, 13, 12, 12, 12, 12, 11,
	    11, 11, 11, 10, 10, 10, 10, 9, 9, 9, 9, 8, 8, 8, 8, 7, 7, 7, 7, 6,
	    6, 6, 6, 5, 5, 5, 5, 4, 4, 4, 4, 3, 3, 3, 3, 2, 2, 2, 2, 1, 1, 1, 1,
	    0, 0, 0, 0);
	const unsigned origin = first[0];
	// Firsts in bytes 0 to 15, lasts in 16 to 31, from the origin.
	const __m512i at = _mm512_set1_epi16(static_cast<short>(origin));
	const __m512i places =
	    _mm512_castsi256_si512(_mm512_cvtepi16_epi8(_mm512_sub_epi16(
	        _mm512_inserti64x4(
	            _mm512_castsi256_si512(_mm256_loadu_si256(
	                reinterpret_cast<const __m256i *>(first))),
	            _mm256_loadu_si256(reinterpret_cast<const __m256i *>(last)),
	            1),
	        at)));
	const __m512i starts = _mm512_permutexvar_epi8(slot, places);
	const __m512i from = _mm512_add_epi8(
	    _mm512_permutexvar_epi8(_mm512_add_epi8(slot, _mm512_set1_epi8(16)),
	                            places),
	    place);
	const __mmask64 digits = _mm512_cmpge_epi8_mask(from, starts);
	__m512i x = _mm512_maskz_permutex2var_epi8(
	    digits, _mm512_loadu_si512(base + origin), from,
	    _mm512_loadu_si512(base + origin + STRETCH));
	x = _mm512_maskz_sub_epi8(digits, x, _mm512_set1_epi8('0'));
	x = _mm512_maddubs_epi16(x, _mm512_set1_epi16(1 << 8 | 10));
	_mm512_storeu_si512(
	    values, _mm512_madd_epi16(x, _mm512_set1_epi32(1 << 16 | 100)));
}

// Converts the count values found, up to the first that has more than
// eight digits, and says how many: sixteen at a time, converted together
// where all have at most four digits and lie close, else eight and eight.
AVX512 static int convert_avx512(const char *base, const std::uint16_t *firsts,
                                 const std::uint16_t *lasts, int count,
                                 int *values)
{
	for (int k = 0; k < count; k += 16) {
		const int lives = count - k < 16 ? count - k : 16;
		const __mmask32 live = (1u << lives) - 1;
		const __m512i length =
		    _mm512_sub_epi16(_mm512_loadu_si512(lasts + k),
		                     _mm512_loadu_si512(firsts + k));
		const unsigned long_ = _mm512_mask_cmpgt_epu16_mask(
		    live, length, _mm512_set1_epi16(7));
		if (long_ != 0)
			count = k + __builtin_ctz(long_);
		if (_mm512_mask_cmpgt_epu16_mask(live, length,
		                                 _mm512_set1_epi16(3)) == 0 &&
		    lasts[k + lives - 1] - firsts[k] < 2 * STRETCH) {
			convert_sixteen(base, firsts + k, lasts + k,
			                values + k);
			continue;
		}
		convert_eight(base, firsts + k, lasts + k, lives, values + k);
		if (lives > 8)
			convert_eight(base, firsts + k + 8, lasts + k + 8,
			              lives - 8, values + k + 8);
	}
	return count;
}

// Eight answers to a vector, each in 64 bits, their digits formed as the
// portable reader forms one answer's, in every lane at once.  The digits
// then move up a byte, over the leading zero that every answer below 10^7
// has, and the newline takes the top byte.  Only the bytes from each
// answer's first digit that is not 0, or its last digit, are kept, packed
// together and stored whole.
AVX512 static char *form_avx512(const int *v, int count, char *to)
{
	const __m512i newline = _mm512_set1_epi64(std::int64_t{'\n'} << 56);
	for (int k = 0; k < count; k += 8) {
		const int lives = count - k < 8 ? count - k : 8;
		// Masked, the load reads no answer past the last.
		const __m256i eight = _mm256_maskz_loadu_epi32(
		    static_cast<__mmask8>((1u << lives) - 1), v + k);
		// Most answers are a single digit, most of them 1, the root:
		// eight of them make a digit and a newline a word.
		if (_mm256_cmpge_epu32_mask(eight, _mm256_set1_epi32(10)) ==
		    0) {
			_mm_storeu_si128(
			    reinterpret_cast<__m128i *>(to),
			    _mm_add_epi16(_mm256_cvtepi32_epi16(eight),
			                  _mm_set1_epi16('\n' << 8 | '0')));
			to += 2 * lives;
			continue;
		}
		const __m512i u = _mm512_cvtepu32_epi64(eight);
		// 3518437209 / 2^45 divides by 10^4, exactly below 2^32.
		const __m512i high = _mm512_srli_epi64(
		    _mm512_mul_epu32(u, _mm512_set1_epi64(3518437209)), 45);
		const __m512i x = _mm512_or_si512(
		    high, _mm512_slli_epi64(
		              _mm512_sub_epi64(
		                  u, _mm512_mul_epu32(
		                         high, _mm512_set1_epi64(10000))),
		              32));
		const __m512i hundreds = _mm512_srli_epi32(
		    _mm512_mullo_epi32(x, _mm512_set1_epi32(10486)), 20);
		const __m512i pairs = _mm512_or_si512(
		    hundreds, _mm512_slli_epi32(
		                  _mm512_sub_epi32(
		                      x, _mm512_mullo_epi32(
		                             hundreds, _mm512_set1_epi32(100))),
		                  16));
		const __m512i tens = _mm512_srli_epi16(
		    _mm512_mullo_epi16(pairs, _mm512_set1_epi16(103)), 10);
		const __m512i digits = _mm512_srli_epi64(
		    _mm512_or_si512(
		        tens, _mm512_slli_epi16(
		                  _mm512_sub_epi16(
		                      pairs, _mm512_mullo_epi16(
		                                 tens, _mm512_set1_epi16(10))),
		                  8)),
		    8);
		// A byte from each answer's first digit that is not 0 on, and
		// its last two bytes, whatever they hold: spread up each lane.
		std::uint64_t keep =
		    _mm512_test_epi8_mask(digits, digits) | 0xC0C0C0C0C0C0C0C0;
		keep |= keep << 1 & 0xFEFEFEFEFEFEFEFE;
		keep |= keep << 2 & 0xFCFCFCFCFCFCFCFC;
		keep |= keep << 4 & 0xF0F0F0F0F0F0F0F0;
		keep &= ~std::uint64_t{0} >> (64 - 8 * lives);
		const __m512i ascii = _mm512_or_si512(
		    _mm512_add_epi8(digits,
		                    _mm512_set1_epi64(0x0030303030303030)),
		    newline);
		_mm512_storeu_si512(to,
		                    _mm512_maskz_compress_epi8(keep, ascii));
		to += __builtin_popcountll(keep);
	}
	return to;
}

// Where each value starts and ends is kept, as offsets from base of its
// first and last digits; a value of more than eight digits is found as any
// other, and left by the conversion.
AVX512 static int read_avx512(const char *p, const char *base,
                              std::uint16_t *lasts, int *values)
{
	std::uint16_t firsts[AHEAD + STRETCH];
	int begun = 0, ended = 0;
	search<avx512>(
	    p, base,
	    [&](unsigned at, std::uint64_t starts, std::uint64_t ends,
	        bool continued) __attribute__((always_inline)) {
		    begun += avx512::offsets(starts & ~std::uint64_t{continued},
		                             at, firsts + begun);
		    ended += avx512::offsets(ends, at, lasts + ended);
		    return ended < AHEAD - STRETCH / 2;
	    });
	return convert_avx512(base, firsts, lasts, ended, values);
}

const reader avx512_reader = {"avx512", read_avx512, form_avx512};
#endif
