// SPDX-License-Identifier: ISC
// The AVX2 layer's primitives: vectors of 256 bits, a mask a vector of all
// ones in the lanes it selects, and lanes packed by a permute that a table
// gives for each mask.
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

using v256 = __m256i;
inline v256 set8(char c) { return _mm256_set1_epi8(c); }
inline v256 set16(short c) { return _mm256_set1_epi16(c); }
inline v256 set32(int c) { return _mm256_set1_epi32(c); }
inline v256 set64(long long c) { return _mm256_set1_epi64x(c); }
inline v256 zero() { return _mm256_setzero_si256(); }
inline bool none(v256 m) { return _mm256_testz_si256(m, m); }
template <class T> inline v256 load(const T *p)
{
	return _mm256_loadu_si256(reinterpret_cast<const v256 *>(p));
}
template <class T> inline void store(T *p, v256 v)
{
	_mm256_storeu_si256(reinterpret_cast<v256 *>(p), v);
}

// Scanning: 16 entries of 16 bits a vector.
using entries = v256;
constexpr int ENTRIES = 16;
inline entries splat16(std::uint16_t v) { return set16(short(v)); }
template <int K> inline v256 matches(entries v, const entries *w)
{
	if constexpr (K == 1)
		return _mm256_cmpeq_epi16(v, w[0]);
	else
		return matches<K - 1>(v, w) | _mm256_cmpeq_epi16(v, w[K - 1]);
}
// The compares pack into bytes, whose 128-bit halves the pack
// interleaves and a permute puts back in order.
inline std::uint64_t bits16(v256 m)
{
	return static_cast<std::uint32_t>(_mm256_movemask_epi8(
	    _mm256_permute4x64_epi64(_mm256_packs_epi16(m, zero()), 0xD8)));
}

// Climbing: eight ints of 32 bits a vector, four vectors' gathers in
// flight, in rounds of four steps.
using ints = v256;
using mask = v256;
constexpr int LANES = 8, VECTORS = 4, ROUND = 4;
constexpr bool SKIP = true;
inline ints splat(int v) { return set32(v); }
inline ints lane_numbers() { return _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7); }
inline ints add(ints a, ints b) { return _mm256_add_epi32(a, b); }
inline ints sub(ints a, ints b) { return _mm256_sub_epi32(a, b); }
inline ints absolute(ints v) { return _mm256_abs_epi32(v); }
inline ints maximum(ints a, ints b) { return _mm256_max_epi32(a, b); }
inline mask greater(ints a, ints b) { return _mm256_cmpgt_epi32(a, b); }
inline mask differ(ints a, ints b) { return ~_mm256_cmpeq_epi32(a, b); }
inline ints blend(mask m, ints a, ints b)
{
	return _mm256_blendv_epi8(a, b, m);
}
inline ints follow(const int *next, ints v, mask m)
{
	return _mm256_mask_i32gather_epi32(v, next, v, m, 4);
}
inline mask first_lanes(int n) { return greater(splat(n), lane_numbers()); }
inline unsigned bits32(mask m)
{
	return static_cast<unsigned>(
	    _mm256_movemask_ps(_mm256_castsi256_ps(m)));
}
inline int selected(mask m) { return __builtin_popcount(bits32(m)); }
inline void pack(int *to, mask keep, ints v)
{
	const __m128i places = _mm_loadu_si128(
	    reinterpret_cast<const __m128i *>(byte_places.of[bits32(keep)]));
	store(to,
	      _mm256_permutevar8x32_epi32(v, _mm256_cvtepu16_epi32(places)));
}

// Reading: 32 bytes a vector; bytes compare signed, so that one of 128
// or more lies below every range that is asked.
using bytes = v256;
constexpr int BYTES = 32;
inline v256 within(bytes v, char c, char n)
{
	return _mm256_cmpgt_epi8(v, set8(char(c - 1))) &
	       _mm256_cmpgt_epi8(set8(char(c + n)), v);
}
inline v256 digit(bytes v) { return within(v, '0', 10); }
inline v256 neither(bytes v)
{
	return ~(digit(v) | within(v, '\t', 5) |
	         _mm256_cmpeq_epi8(v, set8(' ')));
}
inline std::uint64_t bits8(v256 m)
{
	return static_cast<std::uint32_t>(_mm256_movemask_epi8(m));
}
inline int offsets(std::uint64_t bits, unsigned at, std::uint16_t *to)
{
	return placed(bits, at, to);
}

// Converting: eight values of up to three digits to a vector, in 32
// bits each, or four of up to eight in 64, their bytes loaded one by
// one: a gather takes longer than its loads on some processors.
using runs = v256;
constexpr int VALUES = 8;
// Each lane's bytes before the run of digits that ends at its top
// byte cleared, the digits less '0' kept; full has a bit for each lane
// of w bytes that is all digits.  A byte is a digit if less '0' it is
// at most 9, unsigned; the bytes below one that is not, by shifts.
template <int w> inline runs masked(v256 x, unsigned &full)
{
	x = _mm256_sub_epi8(x, set8('0'));
	v256 before = ~_mm256_cmpeq_epi8(_mm256_min_epu8(x, set8(9)), x);
	if constexpr (w == 4) {
		before |= _mm256_srli_epi32(before, 8);
		before |= _mm256_srli_epi32(before, 16);
	} else {
		before |= _mm256_srli_epi64(before, 8);
		before |= _mm256_srli_epi64(before, 16);
		before |= _mm256_srli_epi64(before, 32);
	}
	full = static_cast<unsigned>(
	    w == 4 ? bits32(_mm256_cmpeq_epi32(before, zero()))
	           : _mm256_movemask_pd(_mm256_castsi256_pd(
	                 _mm256_cmpeq_epi64(before, zero()))));
	return _mm256_andnot_si256(before, x);
}
// The w bytes up to the last digit at p.
template <class W> inline W up_to(const char *p)
{
	W w;
	std::memcpy(&w, p - (sizeof w - 1), sizeof w);
	return w;
}
template <int w>
inline runs run(const char *base, const std::uint16_t *l, int, unsigned &full)
{
	const char *b = base;
	if constexpr (w == 4)
		return masked<4>(_mm256_setr_epi32(
		                     up_to<int>(b + l[0]), up_to<int>(b + l[1]),
		                     up_to<int>(b + l[2]), up_to<int>(b + l[3]),
		                     up_to<int>(b + l[4]), up_to<int>(b + l[5]),
		                     up_to<int>(b + l[6]),
		                     up_to<int>(b + l[7])),
		                 full);
	else
		return masked<8>(_mm256_setr_epi64x(up_to<long long>(b + l[0]),
		                                    up_to<long long>(b + l[1]),
		                                    up_to<long long>(b + l[2]),
		                                    up_to<long long>(b + l[3])),
		                 full);
}
inline runs join8(runs x)
{
	return _mm256_maddubs_epi16(x, set16(1 << 8 | 10));
}
inline runs join16(runs x)
{
	return _mm256_madd_epi16(x, set32(1 << 16 | 100));
}
inline runs join32(runs x)
{
	return _mm256_add_epi64(_mm256_mul_epu32(x, set64(10000)),
	                        _mm256_srli_epi64(x, 32));
}
inline void store_short(int *to, runs x) { store(to, x); }
inline void store_long(int *to, runs x)
{
	_mm_storeu_si128(reinterpret_cast<__m128i *>(to),
	                 _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(
	                     x, _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6))));
}

// Forming answers: eight to a group, four to a vector of 64-bit
// lanes, each quotient a multiply and a shift, exact over its lane's
// range.
using answers = v256;
using wide = v256;
constexpr int ANSWERS = 8, WIDE = 4;
// A load masked to the answers given, where they are fewer than eight.
inline answers load_answers(const int *v, int n)
{
	return n >= ANSWERS ? load(v)
	                    : _mm256_maskload_epi32(v, first_lanes(n));
}
inline bool single(answers u) { return none(greater(u, splat(9))); }
inline char *put_singles(answers u, int n, char *to)
{
	const v256 words = _mm256_packs_epi32(u, u);
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
// 3518437209 / 2^45 divides by 10^4, exactly below 2^32.
inline wide split10000(wide u)
{
	const v256 high =
	    _mm256_srli_epi64(_mm256_mul_epu32(u, set64(3518437209)), 45);
	return high |
	       _mm256_slli_epi64(u - _mm256_mul_epu32(high, set64(10000)), 32);
}
// Each 32-bit half, below 10^4, as its quotient and remainder by 100,
// and each 16-bit quarter, below 100, as its quotient and remainder by 10.
inline wide split100(wide x)
{
	const v256 q = _mm256_srli_epi16(_mm256_mulhi_epu16(x, set32(5243)), 3);
	return q | _mm256_slli_epi32(x - _mm256_mullo_epi16(q, set32(100)), 16);
}
inline wide split10(wide x)
{
	const v256 q = _mm256_mulhi_epu16(x, set16(6554));
	return q | _mm256_slli_epi16(x - _mm256_mullo_epi16(q, set16(10)), 8);
}
// Each lane's digits, its leading zeros shifted out and a newline
// after, stored where the one before ends.  The lengths of all eight
// answers come from their values, one compare for each power of ten,
// while their digits are formed.
inline char *put_digits(wide digits, answers u, int h, int n, char *to)
{
	v256 length = set32(1);
#pragma GCC unroll 16
	for (int power = 10; power <= 1000000; power *= 10)
		length = _mm256_sub_epi32(
		    length, _mm256_cmpgt_epi32(u, set32(power - 1)));
	const v256 bits = _mm256_slli_epi64(widen(length, h), 3);
	std::uint64_t text[4], lengths[4];
	store(text, _mm256_srlv_epi64(_mm256_add_epi8(digits, set8('0')),
	                              _mm256_sub_epi64(set64(64), bits)) |
	                _mm256_sllv_epi64(set64('\n'), bits));
	store(lengths, bits);
	for (int k = 0; k < 4 && k < n; k++) {
		std::memcpy(to, &text[k], sizeof text[k]);
		to += lengths[k] / 8 + 1;
	}
	return to;
}

} // namespace avx2

#endif
