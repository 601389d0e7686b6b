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

using v512 = __m512i;
inline v512 set8(char c) { return _mm512_set1_epi8(c); }
inline v512 set16(short c) { return _mm512_set1_epi16(c); }
inline v512 set32(int c) { return _mm512_set1_epi32(c); }
inline v512 set64(long long c) { return _mm512_set1_epi64(c); }
inline bool none(std::uint64_t m) { return m == 0; }
template <class T> inline v512 load(const T *p)
{
	return _mm512_loadu_si512(p);
}
inline __m256i load256(const void *p)
{
	return _mm256_loadu_si256(static_cast<const __m256i *>(p));
}
// Each byte's place in a vector.
inline v512 byte_numbers()
{
	return _mm512_set_epi64(0x3F3E3D3C3B3A3938, 0x3736353433323130,
	                        0x2F2E2D2C2B2A2928, 0x2726252423222120,
	                        0x1F1E1D1C1B1A1918, 0x1716151413121110,
	                        0x0F0E0D0C0B0A0908, 0x0706050403020100);
}

// Scanning: 32 entries of 16 bits a vector.
using entries = v512;
constexpr int ENTRIES = 32;
inline entries splat16(std::uint16_t v) { return set16(short(v)); }
template <int K> inline __mmask32 differs(entries v, const entries *w)
{
	if constexpr (K == 1)
		return _mm512_cmpneq_epi16_mask(v, w[0]);
	else
		return _mm512_mask_cmpneq_epi16_mask(differs<K - 1>(v, w), v,
		                                     w[K - 1]);
}
// The compares chain as masks of the entries that differ, so that none
// is ORed.
template <int K> inline __mmask32 matches(entries v, const entries *w)
{
	return ~differs<K>(v, w);
}
inline std::uint64_t bits16(__mmask32 m) { return m; }

// Climbing: 16 ints of 32 bits a vector, four vectors' gathers in
// flight, in rounds of four steps.
using ints = v512;
using mask = __mmask16;
constexpr int LANES = 16, VECTORS = 4, ROUND = 4;
constexpr bool SKIP = true;
inline void store(int *p, ints v) { _mm512_storeu_si512(p, v); }
inline ints splat(int v) { return set32(v); }
inline ints lane_numbers()
{
	return _mm512_cvtepu8_epi32(_mm512_castsi512_si128(byte_numbers()));
}
inline ints add(ints a, ints b) { return _mm512_add_epi32(a, b); }
inline ints sub(ints a, ints b) { return _mm512_sub_epi32(a, b); }
inline ints absolute(ints v) { return _mm512_abs_epi32(v); }
inline ints maximum(ints a, ints b) { return _mm512_max_epi32(a, b); }
inline mask greater(ints a, ints b) { return _mm512_cmpgt_epi32_mask(a, b); }
inline mask differ(ints a, ints b) { return _mm512_cmpneq_epi32_mask(a, b); }
inline ints blend(mask m, ints a, ints b)
{
	return _mm512_mask_blend_epi32(m, a, b);
}
inline ints follow(const int *next, ints v, mask m)
{
	return _mm512_mask_i32gather_epi32(v, m, v, next, 4);
}
inline mask first_lanes(int n)
{
	return n <= 0 ? 0 : n < LANES ? (1u << n) - 1 : 0xFFFF;
}
inline int selected(mask m) { return __builtin_popcount(m); }
// A compress, stored whole: the processor's own stores of a compress
// are slow on some.
inline void pack(int *to, mask keep, ints v)
{
	store(to, _mm512_maskz_compress_epi32(keep, v));
}

// Reading: a stretch in one vector; a byte less c, compared unsigned,
// is below n where it lies from c to c + n - 1.
using bytes = v512;
constexpr int BYTES = 64;
inline __mmask64 within(bytes v, char c, char n)
{
	return _mm512_cmplt_epu8_mask(_mm512_sub_epi8(v, set8(c)), set8(n));
}
inline __mmask64 digit(bytes v) { return within(v, '0', 10); }
inline __mmask64 neither(bytes v)
{
	return ~(digit(v) | within(v, '\t', 5) |
	         _mm512_cmpeq_epi8_mask(v, set8(' ')));
}
inline std::uint64_t bits8(__mmask64 m) { return m; }
// The places of the bits packed to the front of a vector by a
// compress, widened to 16 bits and stored, 32 of them, as many as a
// stretch has values.
inline int offsets(std::uint64_t bits, unsigned at, std::uint16_t *to)
{
	const v512 places = _mm512_maskz_compress_epi8(bits, byte_numbers());
	_mm512_storeu_si512(
	    to, _mm512_add_epi16(
	            _mm512_cvtepu8_epi16(_mm512_castsi512_si256(places)),
	            set16(short(at))));
	return __builtin_popcountll(bits);
}

// Converting: sixteen values of up to three digits to a vector, in 32
// bits each, or eight of up to eight in 64.
using runs = v512;
constexpr int VALUES = 16;
// The w bytes up to each of the lives last digits from lasts, a lane
// each, the digits less '0', and the bytes before the run of digits
// that ends at the lane's top byte cleared; full has a bit for each
// lane that is all digits.  Where the lanes' bytes lie within 128
// bytes, as most do, one permute picks them from the two vectors
// there; else each lane is gathered.  A byte that is not a digit is
// marked, and the mark spread to every byte below it in its lane.
template <int w>
inline runs run(const char *base, const std::uint16_t *lasts, int lives,
                unsigned &full)
{
	enum { LANES = 64 / w, SHIFT = w == 4 ? 2 : 3 };
	const __m256i at = load256(lasts);
	const int origin = lasts[0] - (w - 1);
	v512 x;
	if (lasts[(lives < LANES ? lives : LANES) - 1] - origin < 2 * STRETCH) {
		// Byte b of lane s is w - 1 - b before s's last digit.
		const v512 lane = _mm512_srli_epi16(byte_numbers(), SHIFT) &
		                  set8(0xFF >> SHIFT);
		const v512 from = _mm512_add_epi8(
		    _mm512_permutexvar_epi8(
		        lane, _mm512_castsi128_si512(
		                  _mm256_cvtepi16_epi8(_mm256_sub_epi16(
		                      at, _mm256_set1_epi16(short(origin)))))),
		    _mm512_sub_epi8(byte_numbers() & set8(w - 1), set8(w - 1)));
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
	x = _mm512_sub_epi8(x, set8('0'));
	std::uint64_t marked = _mm512_cmpgt_epu8_mask(x, set8(9));
	if constexpr (w == 4) {
		marked |= marked >> 1 & 0x7777777777777777;
		marked |= marked >> 2 & 0x3333333333333333;
	} else {
		marked |= marked >> 1 & 0x7F7F7F7F7F7F7F7F;
		marked |= marked >> 2 & 0x3F3F3F3F3F3F3F3F;
		marked |= marked >> 4 & 0x0F0F0F0F0F0F0F0F;
	}
	full = static_cast<unsigned>(_pext_u64(
	    ~marked, w == 4 ? 0x1111111111111111 : 0x0101010101010101));
	return _mm512_maskz_mov_epi8(~marked, x);
}
inline runs join8(runs x)
{
	return _mm512_maddubs_epi16(x, set16(1 << 8 | 10));
}
inline runs join16(runs x)
{
	return _mm512_madd_epi16(x, set32(1 << 16 | 100));
}
inline runs join32(runs x)
{
	return _mm512_add_epi64(_mm512_mul_epu32(x, set64(10000)),
	                        _mm512_srli_epi64(x, 32));
}
inline void store_short(int *to, runs x) { _mm512_storeu_si512(to, x); }
inline void store_long(int *to, runs x)
{
	_mm256_storeu_si256(reinterpret_cast<__m256i *>(to),
	                    _mm512_cvtepi64_epi32(x));
}

// Forming answers: eight to a vector of 64-bit lanes, each quotient a
// multiply and a shift, exact over its lane's range.
using answers = __m256i;
using wide = v512;
constexpr int ANSWERS = 8, WIDE = 8;
// Masked, the load reads no answer past the last.
inline answers load_answers(const int *v, int n)
{
	return _mm256_maskz_loadu_epi32(__mmask8((1u << n) - 1), v);
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
inline wide widen(answers u, int) { return _mm512_cvtepu32_epi64(u); }
// 3518437209 / 2^45 divides by 10^4, exactly below 2^32.
inline wide split10000(wide u)
{
	const v512 high =
	    _mm512_srli_epi64(_mm512_mul_epu32(u, set64(3518437209)), 45);
	return high |
	       _mm512_slli_epi64(u - _mm512_mul_epu32(high, set64(10000)), 32);
}
// Each 32-bit half, below 10^4, as its quotient and remainder by 100,
// and each 16-bit quarter, below 100, as its quotient and remainder by 10.
inline wide split100(wide x)
{
	const v512 q =
	    _mm512_srli_epi32(_mm512_mullo_epi32(x, set32(10486)), 20);
	return q | _mm512_slli_epi32(x - _mm512_mullo_epi32(q, set32(100)), 16);
}
inline wide split10(wide x)
{
	const v512 q = _mm512_srli_epi16(_mm512_mullo_epi16(x, set16(103)), 10);
	return q | _mm512_slli_epi16(x - _mm512_mullo_epi16(q, set16(10)), 8);
}
// The digits move down a byte, over the leading zero that every
// answer below 10^7 has, and the newline takes the top byte.  The
// bytes from each answer's first digit that is not 0, or its last
// digit, are kept, packed together and stored whole.
inline char *put_digits(wide digits, answers, int, int n, char *to)
{
	digits = _mm512_srli_epi64(digits, 8);
	std::uint64_t keep =
	    _mm512_test_epi8_mask(digits, digits) | 0xC0C0C0C0C0C0C0C0;
	keep |= keep << 1 & 0xFEFEFEFEFEFEFEFE;
	keep |= keep << 2 & 0xFCFCFCFCFCFCFCFC;
	keep |= keep << 4 & 0xF0F0F0F0F0F0F0F0;
	keep &= ~std::uint64_t{0} >> (64 - 8 * n);
	const v512 ascii = _mm512_add_epi8(digits, set64(0x0030303030303030)) |
	                   set64(std::int64_t{'\n'} << 56);
	_mm512_storeu_si512(to, _mm512_maskz_compress_epi8(keep, ascii));
	return to + __builtin_popcountll(keep);
}

} // namespace avx512

#endif
