// SPDX-License-Identifier: ISC
#include "find.h"

#if defined(__x86_64__)
#include <immintrin.h>

#define AVX2 __attribute__((target("avx2,bmi,popcnt")))

namespace
{

// The places of the bits set in each byte, in order, a byte each.
struct places {
	unsigned char of[256][8];
};

constexpr places all_places()
{
	places p{};
	for (int byte = 0; byte < 256; byte++)
		for (int bit = 0, n = 0; bit < 8; bit++)
			if (byte >> bit & 1)
				p.of[byte][n++] =
				    static_cast<unsigned char>(bit);
	return p;
}

constexpr places byte_places = all_places();

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

// Most answers are a single digit, most of them 1, the root: eight of them
// make a digit and a newline a word, formed at once.  Any other eight are
// formed one by one.
AVX2 static char *form_avx2(const int *v, int count, char *to)
{
	int k = 0;
	for (; k + 8 <= count; k += 8) {
		const __m256i eight = _mm256_loadu_si256(
		    reinterpret_cast<const __m256i *>(v + k));
		if (_mm256_movemask_epi8(
		        _mm256_cmpgt_epi32(eight, _mm256_set1_epi32(9))) != 0) {
			to = form_words(v + k, 8, to);
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
