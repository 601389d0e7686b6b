// SPDX-License-Identifier: ISC
// The AVX-512 layer's primitives: vectors of 512 bits, and a mask of a bit
// a lane for each compare.
#ifndef LCA_AVX512_H
#define LCA_AVX512_H

#include <cstdint>

// GCC 12 takes the undefined vector that some intrinsics start from for
// one used uninitialized.
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <immintrin.h>

#include "layers.h"

LCA_TARGET(LCA_FEATURES_avx512)
#define LCA_END_LAYER LCA_END_TARGET

namespace avx512
{

inline bool none(std::uint64_t m)
{
	return m == 0;
}

// Each byte's place in a vector.
inline __m512i byte_index()
{
	return _mm512_set_epi8(
	    63, 62, 61, 60, 59, 58, 57, 56, 55, 54, 53, 52, 51, 50, 49, 48, 47,
	    46, 45, 44, 43, 42, 41, 40, 39, 38, 37, 36, 35, 34, 33, 32, 31, 30,
	    29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14, 13,
	    12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
}

// Scanning: 32 entries of 16 bits a vector.
using entries = __m512i;
enum { ENTRIES = 32 };

inline entries load(const std::uint16_t *p)
{
	return _mm512_load_si512(p);
}

inline entries splat16(std::uint16_t v)
{
	return _mm512_set1_epi16(static_cast<short>(v));
}

// The entries of v that equal any of the K values of w.  The compares
// chain as masks of the entries that differ, so that none is ORed.
template <int K> inline __mmask32 matches(entries v, const entries *w)
{
	__mmask32 differ = _mm512_cmpneq_epi16_mask(v, w[0]);
#pragma GCC unroll 16
	for (int s = 1; s < K; s++)
		differ = _mm512_mask_cmpneq_epi16_mask(differ, v, w[s]);
	return ~differ;
}

inline std::uint64_t bits16(__mmask32 m)
{
	return m;
}

// Climbing: 16 nodes of 32 bits a vector, four vectors' gathers in flight.
using vec = __m512i;
using mask = __mmask16;
enum { LANES = 16, VECTORS = 4, ROUND = 4, SKIP = true };

inline vec load(const int *p)
{
	return _mm512_loadu_si512(p);
}

inline void store(int *p, vec v)
{
	_mm512_storeu_si512(p, v);
}

inline vec splat(int v)
{
	return _mm512_set1_epi32(v);
}

inline vec lanes()
{
	return _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13,
	                         14, 15);
}

inline vec add(vec a, vec b)
{
	return _mm512_add_epi32(a, b);
}

inline vec sub(vec a, vec b)
{
	return _mm512_sub_epi32(a, b);
}

inline vec absolute(vec v)
{
	return _mm512_abs_epi32(v);
}

inline vec maximum(vec a, vec b)
{
	return _mm512_max_epi32(a, b);
}

inline mask greater(vec a, vec b)
{
	return _mm512_cmpgt_epi32_mask(a, b);
}

inline mask differ(vec a, vec b)
{
	return _mm512_cmpneq_epi32_mask(a, b);
}

// b where m, else a.
inline vec blend(mask m, vec a, vec b)
{
	return _mm512_mask_blend_epi32(m, a, b);
}

// The lanes of m move to next[v], the others stay.
inline vec follow(const int *next, vec v, mask m)
{
	return _mm512_mask_i32gather_epi32(v, m, v, next, 4);
}

// One less in the lanes of m.
inline vec decrement(vec v, mask m)
{
	return _mm512_mask_sub_epi32(v, m, v, splat(1));
}

// The first n lanes, none if n is not positive.
inline mask first_lanes(int n)
{
	return n <= 0 ? 0 : n < LANES ? (1u << n) - 1 : 0xFFFF;
}

inline int count(mask m)
{
	return __builtin_popcount(m);
}

// The lanes of v that keep selects, packed from to on; all 16 are stored.
inline void pack(int *to, mask keep, vec v)
{
	_mm512_storeu_si512(to, _mm512_maskz_compress_epi32(keep, v));
}

// Reading: a stretch in one vector.
using bytes = __m512i;
enum { BYTES = 64 };

inline bytes load(const char *p)
{
	return _mm512_loadu_si512(p);
}

// A bit for each byte of v from c to c + n - 1: the byte less c, compared
// unsigned, is below n.
inline __mmask64 within(bytes v, char c, char n)
{
	return _mm512_cmplt_epu8_mask(_mm512_sub_epi8(v, _mm512_set1_epi8(c)),
	                              _mm512_set1_epi8(n));
}

inline __mmask64 digit(bytes v)
{
	return within(v, '0', 10);
}

inline __mmask64 neither(bytes v)
{
	return ~(digit(v) | within(v, '\t', 5) |
	         _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(' ')));
}

inline std::uint64_t bits8(__mmask64 m)
{
	return m;
}

// The places of the bits, packed to the front of a vector by a compress,
// widened to 16 bits and stored, 32 of them, which is as many as a stretch
// has starts or ends.
inline int offsets(std::uint64_t bits, unsigned at, std::uint16_t *to)
{
	const __m512i places = _mm512_maskz_compress_epi8(bits, byte_index());
	_mm512_storeu_si512(
	    to, _mm512_add_epi16(
	            _mm512_cvtepu8_epi16(_mm512_castsi512_si256(places)),
	            _mm512_set1_epi16(static_cast<short>(at))));
	return __builtin_popcountll(bits);
}

// Converting: sixteen values of up to three digits to a vector, in 32 bits
// each, or eight of up to eight in 64.
using runs = __m512i;
enum { VALUES = 16 };

// The w bytes up to each of the lives last digits from lasts, a lane each,
// the digits less '0', and the bytes before the run of digits that ends
// at the lane's top byte cleared; full has a bit for each lane that is all
// digits.  Where the lanes' bytes lie within 128 bytes, as most do, one
// permute picks them from the two vectors there; else each lane is
// gathered.  A byte is marked if it is not a digit, and the mark spread to
// every byte below it in its lane.
template <int w>
inline runs run(const char *base, const std::uint16_t *lasts, int lives,
                unsigned &full)
{
	enum { LANES = 64 / w, SHIFT = w == 4 ? 2 : 3 };
	const __m256i at =
	    _mm256_loadu_si256(reinterpret_cast<const __m256i *>(lasts));
	const int origin = lasts[0] - (w - 1);
	__m512i x;
	if (lasts[(lives < LANES ? lives : LANES) - 1] - origin < 2 * STRETCH) {
		// Byte b of lane s is w - 1 - b before s's last digit.
		const __m512i lane = _mm512_srli_epi16(byte_index(), SHIFT) &
		                     _mm512_set1_epi8(0xFF >> SHIFT),
		              before = _mm512_sub_epi8(
		                  byte_index() & _mm512_set1_epi8(w - 1),
		                  _mm512_set1_epi8(w - 1));
		const __m512i from = _mm512_add_epi8(
		    _mm512_permutexvar_epi8(
		        lane, _mm512_castsi128_si512(
		                  _mm256_cvtepi16_epi8(_mm256_sub_epi16(
		                      at, _mm256_set1_epi16(
		                              static_cast<short>(origin)))))),
		    before);
		x = _mm512_permutex2var_epi8(
		    _mm512_loadu_si512(base + origin), from,
		    _mm512_loadu_si512(base + origin + STRETCH));
	} else if constexpr (w == 4) {
		x = _mm512_i32gather_epi32(_mm512_cvtepu16_epi32(at), base - 3,
		                           1);
	} else {
		x = _mm512_i32gather_epi64(
		    _mm256_cvtepu16_epi32(_mm256_castsi256_si128(at)), base - 7,
		    1);
	}
	x = _mm512_sub_epi8(x, _mm512_set1_epi8('0'));
	std::uint64_t marked = _mm512_cmpgt_epu8_mask(x, _mm512_set1_epi8(9));
	const std::uint64_t tops =
	    w == 4 ? 0x1111111111111111 : 0x0101010101010101;
#pragma GCC unroll 16
	for (int shift = 1; shift < w; shift *= 2)
		marked |= marked >> shift &
		          ~(tops * ((1u << shift) - 1) << (w - shift));
	full = static_cast<unsigned>(_pext_u64(~marked, tops));
	return _mm512_maskz_mov_epi8(~marked, x);
}

inline runs run4(const char *base, const std::uint16_t *lasts, int lives,
                 unsigned &full)
{
	return run<4>(base, lasts, lives, full);
}

inline runs run8(const char *base, const std::uint16_t *lasts, int lives,
                 unsigned &full)
{
	return run<8>(base, lasts, lives, full);
}

inline runs join8(runs x)
{
	return _mm512_maddubs_epi16(x, _mm512_set1_epi16(1 << 8 | 10));
}

inline runs join16(runs x)
{
	return _mm512_madd_epi16(x, _mm512_set1_epi32(1 << 16 | 100));
}

inline runs join32(runs x)
{
	return _mm512_add_epi64(_mm512_mul_epu32(x, _mm512_set1_epi64(10000)),
	                        _mm512_srli_epi64(x, 32));
}

inline void store_short(int *to, runs x)
{
	_mm512_storeu_si512(to, x);
}

inline void store_long(int *to, runs x)
{
	_mm256_storeu_si256(reinterpret_cast<__m256i *>(to),
	                    _mm512_cvtepi64_epi32(x));
}

// Forming answers: eight to a vector of 64-bit lanes.
using answers = __m256i;
using wide = __m512i;
enum { ANSWERS = 8, WIDE = 8 };

// Masked, the load reads no answer past the last.
inline answers load_answers(const int *v, int n)
{
	return _mm256_maskz_loadu_epi32(static_cast<__mmask8>((1u << n) - 1),
	                                v);
}

inline bool single(answers u)
{
	return _mm256_cmpge_epu32_mask(u, _mm256_set1_epi32(10)) == 0;
}

inline char *put_singles(answers u, int n, char *to)
{
	_mm_storeu_si128(reinterpret_cast<__m128i *>(to),
	                 _mm_add_epi16(_mm256_cvtepi32_epi16(u),
	                               _mm_set1_epi16('\n' << 8 | '0')));
	return to + 2 * n;
}

inline wide widen(answers u, int)
{
	return _mm512_cvtepu32_epi64(u);
}

// Each lane's value v as v / 10^4 and v % 10^4 in its two halves; 3518437209
// / 2^45 divides by 10^4, exactly below 2^32.
inline wide split10000(wide u)
{
	const __m512i high = _mm512_srli_epi64(
	    _mm512_mul_epu32(u, _mm512_set1_epi64(3518437209)), 45);
	return high |
	       _mm512_slli_epi64(
	           u - _mm512_mul_epu32(high, _mm512_set1_epi64(10000)), 32);
}

// Each 32-bit half, below 10^4, divided by 100.
inline wide quotient100(wide x)
{
	return _mm512_srli_epi32(
	    _mm512_mullo_epi32(x, _mm512_set1_epi32(10486)), 20);
}

inline wide times100(wide x)
{
	return _mm512_mullo_epi32(x, _mm512_set1_epi32(100));
}

inline wide shift16(wide x)
{
	return _mm512_slli_epi32(x, 16);
}

// Each 16-bit quarter, below 100, divided by 10.
inline wide quotient10(wide x)
{
	return _mm512_srli_epi16(_mm512_mullo_epi16(x, _mm512_set1_epi16(103)),
	                         10);
}

inline wide times10(wide x)
{
	return _mm512_mullo_epi16(x, _mm512_set1_epi16(10));
}

inline wide shift8(wide x)
{
	return _mm512_slli_epi16(x, 8);
}

// The digits move down a byte, over the leading zero that every answer
// below 10^7 has, and the newline takes the top byte.  The bytes from each
// answer's first digit that is not 0, or its last digit, are kept, packed
// together and stored whole.
inline char *put_digits(wide digits, wide, int n, char *to)
{
	digits = _mm512_srli_epi64(digits, 8);
	std::uint64_t keep =
	    _mm512_test_epi8_mask(digits, digits) | 0xC0C0C0C0C0C0C0C0;
	keep |= keep << 1 & 0xFEFEFEFEFEFEFEFE;
	keep |= keep << 2 & 0xFCFCFCFCFCFCFCFC;
	keep |= keep << 4 & 0xF0F0F0F0F0F0F0F0;
	keep &= ~std::uint64_t{0} >> (64 - 8 * n);
	const __m512i ascii =
	    _mm512_add_epi8(digits, _mm512_set1_epi64(0x0030303030303030)) |
	    _mm512_set1_epi64(std::int64_t{'\n'} << 56);
	_mm512_storeu_si512(to, _mm512_maskz_compress_epi8(keep, ascii));
	return to + __builtin_popcountll(keep);
}

} // namespace avx512

#endif
