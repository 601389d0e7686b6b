// SPDX-License-Identifier: ISC
// The AVX2 layer's primitives: vectors of 256 bits, a mask a vector of all
// ones in the lanes it selects, and lanes packed by a permute that a table
// gives for each byte of a mask.
#ifndef LCA_AVX2_H
#define LCA_AVX2_H

#include <cstdint>
#include <cstring>

#include <immintrin.h>

#include "layers.h"
#include "places.h"

LCA_TARGET(LCA_FEATURES_avx2)
#define LCA_END_LAYER LCA_END_TARGET

namespace avx2
{

inline __m128i places_of(unsigned byte)
{
	return _mm_loadu_si128(
	    reinterpret_cast<const __m128i *>(byte_places.of[byte]));
}

inline bool none(__m256i m)
{
	return _mm256_testz_si256(m, m);
}

// Scanning: 16 entries of 16 bits a vector.
using entries = __m256i;
enum { ENTRIES = 16 };

inline entries load(const std::uint16_t *p)
{
	return _mm256_load_si256(reinterpret_cast<const __m256i *>(p));
}

inline entries splat16(std::uint16_t v)
{
	return _mm256_set1_epi16(static_cast<short>(v));
}

template <int K> inline __m256i matches(entries v, const entries *w)
{
	__m256i found = _mm256_cmpeq_epi16(v, w[0]);
#pragma GCC unroll 16
	for (int s = 1; s < K; s++)
		found = _mm256_or_si256(found, _mm256_cmpeq_epi16(v, w[s]));
	return found;
}

// A bit an entry: the compares pack into bytes, whose 128-bit halves the
// pack interleaves and a permute puts back in order.
inline std::uint64_t bits16(__m256i m)
{
	return static_cast<std::uint32_t>(
	    _mm256_movemask_epi8(_mm256_permute4x64_epi64(
	        _mm256_packs_epi16(m, _mm256_setzero_si256()), 0xD8)));
}

// Climbing: eight nodes of 32 bits a vector, four vectors' gathers in
// flight.
using vec = __m256i;
using mask = __m256i;
enum { LANES = 8, VECTORS = 4, ROUND = 4, SKIP = true };

inline vec load(const int *p)
{
	return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
}

inline void store(int *p, vec v)
{
	_mm256_storeu_si256(reinterpret_cast<__m256i *>(p), v);
}

inline vec splat(int v)
{
	return _mm256_set1_epi32(v);
}

inline vec lanes()
{
	return _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
}

inline vec add(vec a, vec b)
{
	return _mm256_add_epi32(a, b);
}

inline vec sub(vec a, vec b)
{
	return _mm256_sub_epi32(a, b);
}

inline vec absolute(vec v)
{
	return _mm256_abs_epi32(v);
}

inline vec maximum(vec a, vec b)
{
	return _mm256_max_epi32(a, b);
}

inline mask greater(vec a, vec b)
{
	return _mm256_cmpgt_epi32(a, b);
}

inline mask differ(vec a, vec b)
{
	return ~_mm256_cmpeq_epi32(a, b);
}

inline vec blend(mask m, vec a, vec b)
{
	return _mm256_blendv_epi8(a, b, m);
}

inline vec follow(const int *next, vec v, mask m)
{
	return _mm256_mask_i32gather_epi32(v, next, v, m, 4);
}

// A lane of m adds all ones.
inline vec decrement(vec v, mask m)
{
	return _mm256_add_epi32(v, m);
}

inline mask first_lanes(int n)
{
	return _mm256_cmpgt_epi32(splat(n), lanes());
}

inline unsigned bits32(mask m)
{
	return static_cast<unsigned>(
	    _mm256_movemask_ps(_mm256_castsi256_ps(m)));
}

inline int count(mask m)
{
	return __builtin_popcount(bits32(m));
}

inline void pack(int *to, mask keep, vec v)
{
	store(to, _mm256_permutevar8x32_epi32(
	              v, _mm256_cvtepu16_epi32(places_of(bits32(keep)))));
}

// Reading: 32 bytes a vector.
using bytes = __m256i;
enum { BYTES = 32 };

inline bytes load(const char *p)
{
	return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
}

// All ones in each byte of v from c to c + n - 1.  Bytes compare signed,
// so that one of 128 or more lies below every such range.
inline __m256i within(bytes v, char c, char n)
{
	return _mm256_cmpgt_epi8(v,
	                         _mm256_set1_epi8(static_cast<char>(c - 1))) &
	       _mm256_cmpgt_epi8(_mm256_set1_epi8(static_cast<char>(c + n)), v);
}

inline __m256i digit(bytes v)
{
	return within(v, '0', 10);
}

inline __m256i neither(bytes v)
{
	return ~(digit(v) | within(v, '\t', 5) |
	         _mm256_cmpeq_epi8(v, _mm256_set1_epi8(' ')));
}

inline std::uint64_t bits8(__m256i m)
{
	return static_cast<std::uint32_t>(_mm256_movemask_epi8(m));
}

inline int offsets(std::uint64_t bits, unsigned at, std::uint16_t *to)
{
	return placed(bits, at, to);
}

// Converting: eight values of up to three digits to a vector, in 32 bits
// each, or four of up to eight in 64.
using runs = __m256i;
enum { VALUES = 8 };

// Each lane's bytes before the run of digits that ends at its top byte
// are cleared, the digits less '0' kept; full has a bit for each lane of w
// bytes that is all digits.  A byte is a digit if less '0' it is at most
// 9, unsigned; the bytes below one that is not are found by shifts.
template <int w> inline runs run(__m256i x, unsigned &full)
{
	x = _mm256_sub_epi8(x, _mm256_set1_epi8('0'));
	const __m256i nine = _mm256_set1_epi8(9);
	__m256i before = ~_mm256_cmpeq_epi8(_mm256_min_epu8(x, nine), x);
#pragma GCC unroll 16
	for (int shift = 8; shift < 8 * w; shift *= 2)
		before |= w == 4 ? _mm256_srli_epi32(before, shift)
		                 : _mm256_srli_epi64(before, shift);
	const __m256i whole =
	    _mm256_cmpeq_epi32(before, _mm256_setzero_si256());
	full = static_cast<unsigned>(
	    w == 4 ? _mm256_movemask_ps(_mm256_castsi256_ps(whole))
	           : _mm256_movemask_pd(_mm256_castsi256_pd(
	                 _mm256_cmpeq_epi64(before, _mm256_setzero_si256()))));
	return _mm256_andnot_si256(before, x);
}

// The bytes up to each last digit, loaded one by one: a gather takes
// longer than its loads on some processors.
inline runs run4(const char *base, const std::uint16_t *lasts, int,
                 unsigned &full)
{
	int w[8];
#pragma GCC unroll 16
	for (int k = 0; k < 8; k++)
		std::memcpy(&w[k], base + lasts[k] - 3, sizeof w[k]);
	return run<4>(
	    _mm256_setr_epi32(w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7]),
	    full);
}

inline runs run8(const char *base, const std::uint16_t *lasts, int,
                 unsigned &full)
{
	__m128i pairs[2];
#pragma GCC unroll 16
	for (int k = 0; k < 2; k++)
		pairs[k] = _mm_unpacklo_epi64(
		    _mm_loadl_epi64(reinterpret_cast<const __m128i *>(
		        base + lasts[2 * k] - 7)),
		    _mm_loadl_epi64(reinterpret_cast<const __m128i *>(
		        base + lasts[2 * k + 1] - 7)));
	return run<8>(_mm256_inserti128_si256(_mm256_castsi128_si256(pairs[0]),
	                                      pairs[1], 1),
	              full);
}

inline runs join8(runs x)
{
	return _mm256_maddubs_epi16(x, _mm256_set1_epi16(1 << 8 | 10));
}

inline runs join16(runs x)
{
	return _mm256_madd_epi16(x, _mm256_set1_epi32(1 << 16 | 100));
}

inline runs join32(runs x)
{
	return _mm256_add_epi64(_mm256_mul_epu32(x, _mm256_set1_epi64x(10000)),
	                        _mm256_srli_epi64(x, 32));
}

inline void store_short(int *to, runs x)
{
	store(to, x);
}

inline void store_long(int *to, runs x)
{
	_mm_storeu_si128(reinterpret_cast<__m128i *>(to),
	                 _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(
	                     x, _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6))));
}

// Forming answers: eight to a group, four to a vector of 64-bit lanes.
using answers = __m256i;
using wide = __m256i;
enum { ANSWERS = 8, WIDE = 4 };

// A load masked to the answers given, where they are fewer than eight.
inline answers load_answers(const int *v, int n)
{
	return n >= ANSWERS ? load(v)
	                    : _mm256_maskload_epi32(v, first_lanes(n));
}

inline bool single(answers u)
{
	return none(_mm256_cmpgt_epi32(u, splat(9)));
}

inline char *put_singles(answers u, int n, char *to)
{
	const __m256i words = _mm256_packs_epi32(u, u);
	_mm_storeu_si128(reinterpret_cast<__m128i *>(to),
	                 _mm_add_epi16(_mm_unpacklo_epi64(
	                                   _mm256_castsi256_si128(words),
	                                   _mm256_extracti128_si256(words, 1)),
	                               _mm_set1_epi16('\n' << 8 | '0')));
	return to + 2 * n;
}

inline wide widen(answers u, int h)
{
	return _mm256_cvtepu32_epi64(h == 0 ? _mm256_castsi256_si128(u)
	                                    : _mm256_extracti128_si256(u, 1));
}

// Each lane's value v as v / 10^4 and v % 10^4 in its two halves; 3518437209
// / 2^45 divides by 10^4, exactly below 2^32.
inline wide split10000(wide u)
{
	const __m256i high = _mm256_srli_epi64(
	    _mm256_mul_epu32(u, _mm256_set1_epi64x(3518437209)), 45);
	return high |
	       _mm256_slli_epi64(
	           u - _mm256_mul_epu32(high, _mm256_set1_epi64x(10000)), 32);
}

// Each 32-bit half, below 10^4, divided by 100.
inline wide quotient100(wide x)
{
	return _mm256_srli_epi16(_mm256_mulhi_epu16(x, _mm256_set1_epi32(5243)),
	                         3);
}

inline wide times100(wide x)
{
	return _mm256_mullo_epi16(x, _mm256_set1_epi32(100));
}

inline wide shift16(wide x)
{
	return _mm256_slli_epi32(x, 16);
}

// Each 16-bit quarter, below 100, divided by 10.
inline wide quotient10(wide x)
{
	return _mm256_mulhi_epu16(x, _mm256_set1_epi16(6554));
}

inline wide times10(wide x)
{
	return _mm256_mullo_epi16(x, _mm256_set1_epi16(10));
}

inline wide shift8(wide x)
{
	return _mm256_slli_epi16(x, 8);
}

// Each lane's digits, its leading zeros shifted out and a newline after,
// stored where the one before ends.  The length of each comes from its
// value, one compare for each power of ten, while its digits are formed.
inline char *put_digits(wide digits, wide value, int n, char *to)
{
	__m256i length = _mm256_set1_epi64x(8);
#pragma GCC unroll 16
	for (std::int64_t power = 10; power <= 1000000; power *= 10)
		length = _mm256_sub_epi64(
		    length,
		    _mm256_slli_epi64(_mm256_cmpgt_epi64(
		                          value, _mm256_set1_epi64x(power - 1)),
		                      3));
	alignas(32) std::uint64_t line[4], bits[4];
	_mm256_store_si256(
	    reinterpret_cast<__m256i *>(line),
	    _mm256_srlv_epi64(
	        _mm256_add_epi8(digits, _mm256_set1_epi8('0')),
	        _mm256_sub_epi64(_mm256_set1_epi64x(64), length)) |
	        _mm256_sllv_epi64(_mm256_set1_epi64x('\n'), length));
	_mm256_store_si256(reinterpret_cast<__m256i *>(bits), length);
#pragma GCC unroll 16
	for (int k = 0; k < 4 && k < n; k++) {
		std::memcpy(to, &line[k], sizeof line[k]);
		to += bits[k] / 8 + 1;
	}
	return to;
}

} // namespace avx2

#endif
