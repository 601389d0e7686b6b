// SPDX-License-Identifier: ISC
#include <algorithm>
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
#pragma GCC unroll 16
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

	// A byte of bits at a time, its places looked up, with no branch;
	// says where the offsets stored end.
	AVX2 static std::uint16_t *offsets(std::uint64_t bits, unsigned at,
	                                   std::uint16_t *to)
	{
#pragma GCC unroll 16
		for (int k = 0; k < STRETCH / 8; k++) {
			const unsigned byte = bits >> 8 * k & 0xFF;
			const __m128i place = _mm_cvtepu8_epi16(
			    _mm_loadl_epi64(reinterpret_cast<const __m128i *>(
			        byte_places.of[byte])));
			_mm_storeu_si128(
			    reinterpret_cast<__m128i *>(to),
			    _mm_add_epi16(place,
			                  _mm_set1_epi16(
			                      static_cast<short>(at + 8 * k))));
			to += __builtin_popcount(byte);
		}
		return to;
	}
};

} // namespace

// The bytes of each lane of w that are not digits, and, below each, every
// byte down to the lane's lowest: whatever lies before the run of digits
// that ends at the lane's top byte, as all ones.  A byte is a digit if
// less '0' it is at most 9, unsigned.
AVX2 static __m256i not_the_run(__m256i digits_less_zero, int lane_bits)
{
	const __m256i nine = _mm256_set1_epi8(9);
	__m256i before = _mm256_xor_si256(
	    _mm256_cmpeq_epi8(_mm256_min_epu8(digits_less_zero, nine),
	                      digits_less_zero),
	    _mm256_set1_epi8(-1));
#pragma GCC unroll 16
	for (int shift = 8; shift < lane_bits; shift *= 2)
		before = _mm256_or_si256(
		    before, lane_bits == 32 ? _mm256_srli_epi32(before, shift)
		                            : _mm256_srli_epi64(before, shift));
	return before;
}

// The eight bytes up to and with the last digits at each of four offsets,
// loaded one by one: a gather takes longer than its loads on some
// processors.
AVX2 static __m256i fours(const char *base, const std::uint16_t *last)
{
	__m128i pairs[2];
#pragma GCC unroll 16
	for (int k = 0; k < 2; k++)
		pairs[k] = _mm_unpacklo_epi64(
		    _mm_loadl_epi64(reinterpret_cast<const __m128i *>(
		        base + last[2 * k] - 7)),
		    _mm_loadl_epi64(reinterpret_cast<const __m128i *>(
		        base + last[2 * k + 1] - 7)));
	return _mm256_inserti128_si256(_mm256_castsi128_si256(pairs[0]),
	                               pairs[1], 1);
}

// The four bytes up to and with the last digits at each of eight offsets,
// loaded one by one, as fours() loads them.
AVX2 static __m256i eights(const char *base, const std::uint16_t *last)
{
	__m128i halves[2];
#pragma GCC unroll 16
	for (int h = 0; h < 2; h++) {
		int w[4];
#pragma GCC unroll 16
		for (int k = 0; k < 4; k++)
			std::memcpy(&w[k], base + last[4 * h + k] - 3,
			            sizeof w[k]);
		halves[h] = _mm_setr_epi32(w[0], w[1], w[2], w[3]);
	}
	return _mm256_inserti128_si256(_mm256_castsi128_si256(halves[0]),
	                               halves[1], 1);
}

// Converts four values of up to eight digits, each the run of digits that
// ends at its last, to values from to on; says how many it converted, up
// to the first that has more.
AVX2 static int convert_four(const char *base, const std::uint16_t *last,
                             int *to)
{
	__m256i x = _mm256_sub_epi8(fours(base, last), _mm256_set1_epi8('0'));
	const __m256i before = not_the_run(x, 64);
	const unsigned whole =
	    static_cast<unsigned>(_mm256_movemask_pd(_mm256_castsi256_pd(
	        _mm256_cmpeq_epi64(before, _mm256_setzero_si256()))));
	int n = 4;
	for (unsigned m = whole; m != 0; m &= m - 1) {
		const int k = __builtin_ctz(m);
		if (static_cast<unsigned char>(base[last[k] - 8] - '0') < 10) {
			n = k;
			break;
		}
	}
	x = _mm256_andnot_si256(before, x);
	x = _mm256_maddubs_epi16(x, _mm256_set1_epi16(1 << 8 | 10));
	x = _mm256_madd_epi16(x, _mm256_set1_epi32(1 << 16 | 100));
	x = _mm256_add_epi64(_mm256_mul_epu32(x, _mm256_set1_epi64x(10000)),
	                     _mm256_srli_epi64(x, 32));
	x = _mm256_permutevar8x32_epi32(
	    x, _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6));
	_mm_storeu_si128(reinterpret_cast<__m128i *>(to),
	                 _mm256_castsi256_si128(x));
	return n;
}

// Converts the count values whose last digits lie at lasts, up to the
// first that has more than eight digits, and says how many.  Eight at a
// time, each in 32 bits, from the four bytes up to its last digit, where
// all have fewer than four digits; else four and four, in 64 bits.  Values
// come in runs of like length, so a group that needed 64 bits, unless its
// values all lie below 1000, sends the next straight there.
AVX2 static int convert_avx2(const char *base, const std::uint16_t *lasts,
                             int count, int *values)
{
	bool wide = false;
	for (int k = 0; k < count; k += 8) {
		if (!wide) {
			__m256i x = _mm256_sub_epi8(eights(base, lasts + k),
			                            _mm256_set1_epi8('0'));
			const __m256i before = not_the_run(x, 32);
			const unsigned live =
			    count - k < 8 ? (1u << (count - k)) - 1 : 0xFF;
			if ((static_cast<unsigned>(_mm256_movemask_ps(
			         _mm256_castsi256_ps(_mm256_cmpeq_epi32(
			             before, _mm256_setzero_si256())))) &
			     live) == 0) {
				x = _mm256_andnot_si256(before, x);
				x = _mm256_maddubs_epi16(
				    x, _mm256_set1_epi16(1 << 8 | 10));
				_mm256_storeu_si256(
				    reinterpret_cast<__m256i *>(values + k),
				    _mm256_madd_epi16(
				        x, _mm256_set1_epi32(1 << 16 | 100)));
				continue;
			}
		}
#pragma GCC unroll 16
		for (int h = 0; h < 8; h += 4) {
			const int n =
			    convert_four(base, lasts + k + h, values + k + h);
			// A lane past the count may hold anything.
			if (n < 4)
				return std::min(count, k + h + n);
		}
		wide = !_mm256_testz_si256(
		    _mm256_cmpgt_epi32(
		        _mm256_loadu_si256(
		            reinterpret_cast<const __m256i *>(values + k)),
		        _mm256_set1_epi32(999)),
		    _mm256_set1_epi32(-1));
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
#pragma GCC unroll 16
	for (int power = 10; power <= 1000000; power *= 10)
		length = _mm256_sub_epi32(
		    length,
		    _mm256_cmpgt_epi32(eight, _mm256_set1_epi32(power - 1)));
	alignas(32) int lengths[8];
	_mm256_store_si256(reinterpret_cast<__m256i *>(lengths), length);
#pragma GCC unroll 16
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
#pragma GCC unroll 16
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

// Only where each value ends is kept: its digits are the run that ends
// there.
AVX2 static int read_avx2(const char *p, const char *base, std::uint16_t *lasts,
                          int *values)
{
	std::uint16_t *ended = lasts;
	search<avx2>(
	    p, base,
	    [&](unsigned at, std::uint64_t, std::uint64_t ends, bool)
	        __attribute__((always_inline)) {
		        ended = avx2::offsets(ends, at, ended);
		        return ended - lasts < AHEAD - STRETCH / 2;
	        });
	return convert_avx2(base, lasts, static_cast<int>(ended - lasts),
	                    values);
}

const reader avx2_reader = {"avx2", read_avx2, form_avx2};
#endif
