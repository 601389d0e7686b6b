// SPDX-License-Identifier: ISC
#include <cstring>

#include "find.h"
#include "places.h"

#if defined(__x86_64__)
#include <immintrin.h>

#define AVX2 __attribute__((target("avx2,bmi,popcnt")))

namespace
{

struct avx2 {
	// All ones in each byte of v from c to c + n - 1.  Bytes compare
	// signed, so that one of 128 or more lies below every such range.
	AVX2 static __m256i from(__m256i v, char c, char n)
	{
		return _mm256_and_si256(
		    _mm256_cmpgt_epi8(
		        v, _mm256_set1_epi8(static_cast<char>(c - 1))),
		    _mm256_cmpgt_epi8(
		        _mm256_set1_epi8(static_cast<char>(c + n)), v));
	}

	// Two vectors of 32 bytes.
	AVX2 static void classify(const char *stretch, std::uint64_t &digits,
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

	// A byte of bits at a time, its places looked up, with no branch.
	AVX2 static int offsets(std::uint64_t bits, unsigned at,
	                        std::uint16_t *to)
	{
		int n = 0;
		for (int k = 0; k < STRETCH / 8; k++) {
			const unsigned byte = bits >> 8 * k & 0xFF;
			const __m128i place = _mm_cvtepu8_epi16(
			    _mm_loadl_epi64(reinterpret_cast<const __m128i *>(
			        byte_places.of[byte])));
			_mm_storeu_si128(
			    reinterpret_cast<__m128i *>(to + n),
			    _mm_add_epi16(place,
			                  _mm_set1_epi16(
			                      static_cast<short>(at + 8 * k))));
			n += __builtin_popcount(byte);
		}
		return n;
	}
};

} // namespace

// The eight bytes from each of four offsets, loaded one by one: a gather
// takes longer than its loads on some processors.
AVX2 static __m256i fours(const char *base, const std::uint16_t *at)
{
	__m128i pairs[2];
	for (int k = 0; k < 2; k++)
		pairs[k] = _mm_unpacklo_epi64(
		    _mm_loadl_epi64(
		        reinterpret_cast<const __m128i *>(base + at[2 * k])),
		    _mm_loadl_epi64(reinterpret_cast<const __m128i *>(
		        base + at[2 * k + 1])));
	return _mm256_inserti128_si256(_mm256_castsi128_si256(pairs[0]),
	                               pairs[1], 1);
}

// Four values to a vector, as the AVX-512 reader converts eight.
AVX2 static int convert_avx2(const char *base, const std::uint16_t *firsts,
                             const std::uint16_t *lasts, int count, int *values)
{
	for (int k = 0; k < count; k += 4) {
		const __m256i first = _mm256_cvtepu16_epi64(_mm_loadl_epi64(
		    reinterpret_cast<const __m128i *>(firsts + k)));
		const __m256i last = _mm256_cvtepu16_epi64(_mm_loadl_epi64(
		    reinterpret_cast<const __m128i *>(lasts + k)));
		const __m256i length = _mm256_sub_epi64(last, first);
		const unsigned live =
		    count - k < 4 ? (1u << (count - k)) - 1 : 0xF;
		const unsigned long_ =
		    _mm256_movemask_pd(_mm256_castsi256_pd(
		        _mm256_cmpgt_epi64(length, _mm256_set1_epi64x(7)))) &
		    live;
		if (long_ != 0)
			count = k + __builtin_ctz(long_);
		__m256i x = fours(base, firsts + k);
		x = _mm256_sub_epi8(x, _mm256_set1_epi8('0'));
		x = _mm256_sllv_epi64(
		    x, _mm256_slli_epi64(
		           _mm256_sub_epi64(_mm256_set1_epi64x(7), length), 3));
		x = _mm256_maddubs_epi16(x, _mm256_set1_epi16(1 << 8 | 10));
		x = _mm256_madd_epi16(x, _mm256_set1_epi32(1 << 16 | 100));
		x = _mm256_add_epi64(
		    _mm256_mul_epu32(x, _mm256_set1_epi64x(10000)),
		    _mm256_srli_epi64(x, 32));
		x = _mm256_permutevar8x32_epi32(
		    x, _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6));
		_mm_storeu_si128(reinterpret_cast<__m128i *>(values + k),
		                 _mm256_castsi256_si128(x));
	}
	return count;
}

// The digits of four answers below 10^8, one a 64-bit lane, with leading
// zeros, formed as the portable reader forms one answer's; each quotient
// a multiply and a shift, exact over its lane's range.
AVX2 static __m256i four_digits(__m256i u)
{
	const __m256i high = _mm256_srli_epi64(
	    _mm256_mul_epu32(u, _mm256_set1_epi64x(3518437209)), 45);
	const __m256i x = _mm256_or_si256(
	    high, _mm256_slli_epi64(
	              _mm256_sub_epi64(
	                  u, _mm256_mul_epu32(high, _mm256_set1_epi64x(10000))),
	              32));
	const __m256i hundreds = _mm256_srli_epi16(
	    _mm256_mulhi_epu16(x, _mm256_set1_epi32(5243)), 3);
	const __m256i pairs = _mm256_or_si256(
	    hundreds,
	    _mm256_slli_epi32(
	        _mm256_sub_epi16(
	            x, _mm256_mullo_epi16(hundreds, _mm256_set1_epi32(100))),
	        16));
	const __m256i tens = _mm256_mulhi_epu16(pairs, _mm256_set1_epi16(6554));
	return _mm256_or_si256(
	    tens, _mm256_slli_epi16(
	              _mm256_sub_epi16(pairs, _mm256_mullo_epi16(
	                                          tens, _mm256_set1_epi16(10))),
	              8));
}

// Four lanes of 32 bits of v, the first or the second four, in 64 each.
AVX2 static __m256i widened(__m256i v, int half)
{
	return _mm256_cvtepu32_epi64(half == 0
	                                 ? _mm256_castsi256_si128(v)
	                                 : _mm256_extracti128_si256(v, 1));
}

// Eight answers of any length, each as eight bytes whose leading zeros
// are shifted out and a newline put after the digits, stored where the
// one before ends.
AVX2 static char *form_eight(__m256i eight, char *to)
{
	__m256i length = _mm256_set1_epi32(1);
	for (int power = 10; power <= 1000000; power *= 10)
		length = _mm256_sub_epi32(
		    length,
		    _mm256_cmpgt_epi32(eight, _mm256_set1_epi32(power - 1)));
	alignas(32) int lengths[8];
	_mm256_store_si256(reinterpret_cast<__m256i *>(lengths), length);
	for (int half = 0; half < 2; half++) {
		const __m256i n = _mm256_slli_epi64(widened(length, half), 3);
		alignas(32) std::uint64_t ascii[4];
		_mm256_store_si256(
		    reinterpret_cast<__m256i *>(ascii),
		    _mm256_or_si256(
		        _mm256_srlv_epi64(
		            _mm256_add_epi8(four_digits(widened(eight, half)),
		                            _mm256_set1_epi8('0')),
		            _mm256_sub_epi64(_mm256_set1_epi64x(64), n)),
		        _mm256_sllv_epi64(_mm256_set1_epi64x('\n'), n)));
		for (int k = 0; k < 4; k++) {
			std::memcpy(to, &ascii[k], sizeof ascii[k]);
			to += lengths[4 * half + k] + 1;
		}
	}
	return to;
}

// Most answers are a single digit, most of them 1, the root: eight of them
// make a digit and a newline a word, formed at once.  Any other eight are
// formed in two vectors of four.
AVX2 static char *form_avx2(const int *v, int count, char *to)
{
	int k = 0;
	for (; k + 8 <= count; k += 8) {
		const __m256i eight = _mm256_loadu_si256(
		    reinterpret_cast<const __m256i *>(v + k));
		if (_mm256_movemask_epi8(
		        _mm256_cmpgt_epi32(eight, _mm256_set1_epi32(9))) != 0) {
			to = form_eight(eight, to);
			continue;
		}
		const __m256i words = _mm256_packs_epi32(eight, eight);
		_mm_storeu_si128(
		    reinterpret_cast<__m128i *>(to),
		    _mm_add_epi16(
		        _mm_unpacklo_epi64(_mm256_castsi256_si128(words),
		                           _mm256_extracti128_si256(words, 1)),
		        _mm_set1_epi16('\n' << 8 | '0')));
		to += 16;
	}
	return form_words(v + k, count - k, to);
}

AVX2 static int read_avx2(const char *p, const char *base, std::uint16_t *lasts,
                          int *values)
{
	std::uint16_t firsts[AHEAD + STRETCH];
	return convert_avx2(base, firsts, lasts,
	                    find_with<avx2>(p, base, firsts, lasts), values);
}

const reader avx2_reader = {"avx2", read_avx2, form_avx2};
#endif
