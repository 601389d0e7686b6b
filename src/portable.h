// SPDX-License-Identifier: ISC
// The portable layer's primitives, in plain C++ for any processor: vectors
// of 128 bits as GCC and Clang provide them, which the compiler maps to
// the processor's own (SSE2, NEON) or to words; words of 64 bits whose
// bytes are worked on all at once; and single values.
#ifndef LCA_PORTABLE_H
#define LCA_PORTABLE_H

#include <cstdint>
#include <cstring>

#include "layers.h"
#include "places.h"

#define LCA_END_LAYER

namespace portable
{

template <class V> V loaded(const void *p)
{
	V v;
	std::memcpy(&v, p, sizeof v);
	return v;
}

typedef std::uint64_t halves __attribute__((vector_size(16)));

template <class V> bool zero(V v)
{
	const halves h = reinterpret_cast<halves>(v);
	return (h[0] | h[1]) == 0;
}
// Scanning: eight entries of 16 bits a vector, all ones in each that
// a compare selects.
typedef std::uint16_t entries __attribute__((vector_size(16)));
typedef short matched __attribute__((vector_size(16)));
constexpr int ENTRIES = 8;
inline entries load(const std::uint16_t *p) { return loaded<entries>(p); }
inline entries splat16(std::uint16_t v) { return entries{} + v; }
template <int K> inline matched matches(entries v, const entries *w)
{
	if constexpr (K == 1)
		return v == w[0];
	else
		return matches<K - 1>(v, w) | (v == w[K - 1]);
}
inline bool none(matched m) { return zero(m); }
inline std::uint64_t bits16(matched m)
{
	std::uint64_t b = 0;
	for (int k = 0; k < ENTRIES; k++)
		b |= std::uint64_t{m[k] != 0} << k;
	return b;
}

// Climbing: four ints of 32 bits a vector, all ones in each lane
// that a mask selects; a gather is a load a lane, and costs as much
// with no lane as with all.  Packing lanes costs as much as climbing
// on, so a round lasts as long as the deepest shallow climb, and none
// is queued.
typedef int ints __attribute__((vector_size(16)));
using mask = ints;
constexpr int LANES = 4, VECTORS = 16, ROUND = 64;
constexpr bool SKIP = false;
inline ints load(const int *p) { return loaded<ints>(p); }
inline void store(int *p, ints v) { std::memcpy(p, &v, sizeof v); }
inline ints splat(int v) { return ints{} + v; }
inline ints lane_numbers() { return ints{0, 1, 2, 3}; }
inline ints add(ints a, ints b) { return a + b; }
inline ints sub(ints a, ints b) { return a - b; }
inline ints absolute(ints v) { return v < 0 ? -v : v; }
inline ints maximum(ints a, ints b) { return a > b ? a : b; }
inline mask greater(ints a, ints b) { return a > b; }
inline mask differ(ints a, ints b) { return a != b; }
inline ints blend(mask m, ints a, ints b) { return (a & ~m) | (b & m); }
// Every lane holds a node, so each looks its father up; the lanes
// leave the vector two to a word, the first the low half.
inline ints follow(const int *next, ints v, mask m)
{
	const halves h = reinterpret_cast<halves>(v);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
	const int low = 32, high = 0;
#else
	const int low = 0, high = 32;
#endif
	return blend(m, v,
	             ints{next[static_cast<unsigned>(h[0] >> low)],
	                  next[static_cast<unsigned>(h[0] >> high)],
	                  next[static_cast<unsigned>(h[1] >> low)],
	                  next[static_cast<unsigned>(h[1] >> high)]});
}
inline mask first_lanes(int n) { return splat(n) > lane_numbers(); }
inline bool none(mask m) { return zero(m); }

// Reading: 16 bytes a vector, all ones in each byte that a compare
// selects; the compares are unsigned.
typedef std::uint8_t bytes __attribute__((vector_size(16)));
typedef signed char marks __attribute__((vector_size(16)));
constexpr int BYTES = 16;
inline bytes load(const char *p) { return loaded<bytes>(p); }
inline marks digit(bytes v) { return v - '0' < 10; }
inline marks neither(bytes v)
{
	return ~(digit(v) | (v == ' ') | (v - '\t' < 5));
}
inline bool none(marks m) { return zero(m); }
// The top bit of each byte of a word, the first byte's the lowest,
// gathered into the low eight bits: the multiply moves each byte's
// bit to a place of its own in the top byte, with no carries.
inline std::uint64_t gathered(std::uint64_t w)
{
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
	w = __builtin_bswap64(w);
#endif
	return (w & 0x8080808080808080) * 0x0002040810204081 >> 56;
}
inline std::uint64_t bits8(marks m)
{
	const halves h = reinterpret_cast<halves>(m);
	return gathered(h[0]) | gathered(h[1]) << 8;
}
inline int offsets(std::uint64_t bits, unsigned at, std::uint16_t *to)
{
	return placed(bits, at, to);
}

// Converting: four values of up to three digits to two words, in 32
// bits each, or two of up to eight in 64.
struct runs {
	std::uint64_t word[2];
};
constexpr int VALUES = 4;
// Each byte takes ten times itself plus the next; each pair of 16
// bits, a hundred times the first plus the second; each pair of 32,
// ten thousand.
inline runs join8(runs r)
{
	for (std::uint64_t &x : r.word)
		x = (x * 10 + (x >> 8)) & 0x00FF00FF00FF00FF;
	return r;
}
inline runs join16(runs r)
{
	for (std::uint64_t &x : r.word)
		x = (x * (1 + (100 << 16)) >> 16) & 0x0000FFFF0000FFFF;
	return r;
}
inline runs join32(runs r)
{
	for (std::uint64_t &x : r.word)
		x = (x & 0xFFFFFFFF) * 10000 + (x >> 32);
	return r;
}
inline void store_short(int *to, runs r)
{
	for (int k = 0; k < 4; k++)
		to[k] = static_cast<int>(r.word[k / 2] >> 32 * (k % 2));
}
inline void store_long(int *to, runs r)
{
	to[0] = static_cast<int>(r.word[0]);
	to[1] = static_cast<int>(r.word[1]);
}

// The w bytes up to the last digit at p, the first the lowest.
template <int w> inline std::uint64_t up_to(const char *p)
{
	std::uint64_t x = 0;
	std::memcpy(&x, p - (w - 1), w);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
	x = __builtin_bswap64(x);
#endif
	return x;
}

// For each pattern of the bytes below a lane's last that are not
// digits, a bit each, the mask of the run of digits above the highest
// of them, and whether the lane is all digits: for two lanes of four
// bytes, and for one of eight.
template <int w> struct lane_runs {
	std::uint64_t mask[128];
	unsigned full[128];
};
template <int w> inline constexpr lane_runs<w> all_lane_runs()
{
	lane_runs<w> r{};
	for (unsigned marks = 0; marks < 128; marks++)
		for (int lane = 0; lane < 8 / w; lane++) {
			const unsigned own =
			    marks >> (w - 1) * lane & ((1u << (w - 1)) - 1);
			int high = -1;
			for (int b = 0; b < w - 1; b++)
				if (own >> b & 1)
					high = b;
			r.full[marks] |= unsigned{high < 0} << lane;
			for (int b = high + 1; b < w; b++)
				r.mask[marks] |= std::uint64_t{0xFF}
				                 << 8 * (w * lane + b);
		}
	return r;
}

// Lanes of w bytes of x, each the w bytes up to a value's last
// digit: the run of digits that ends at the lane's top byte, each
// byte its digit's value and those before it 0; full has a bit for
// each lane that is all digits.  Each byte below a lane's last that
// is not a digit is marked in its top bit; one multiply gathers the
// marks, 8 b + 7 of the bytes b below each lane's last, each moved by
// a power of two of its own to one of the top bits, where no other
// product lands or carries; and the pattern is looked up.
template <int w> inline std::uint64_t masked(std::uint64_t x, unsigned &full)
{
	static constexpr lane_runs<w> table = all_lane_runs<w>();
	const std::uint64_t ones = 0x0101010101010101, top = 0x80 * ones;
	const std::uint64_t below = w == 4 ? 0x0080808000808080
	                                   : 0x0080808080808080,
	                    gather = w == 4 ? 0x0008102000408100
	                                    : 0x0004081020408100;
	const std::uint64_t t = x ^ '0' * ones;
	const std::uint64_t marks =
	    (((t & ~top) + (0x80 - 10) * ones) | t) & below;
	const unsigned pattern =
	    static_cast<unsigned>(marks * gather >> (w == 4 ? 58 : 57));
	full = table.full[pattern];
	return t & table.mask[pattern];
}

// Two words, of two lanes each or of one.
template <int w>
inline runs run(const char *base, const std::uint16_t *lasts, int,
                unsigned &full)
{
	const auto word = [&](int k) {
		return w == 4 ? up_to<4>(base + lasts[2 * k]) |
		                    up_to<4>(base + lasts[2 * k + 1]) << 32
		              : up_to<8>(base + lasts[k]);
	};
	unsigned high;
	const runs r = {{masked<w>(word(0), full), masked<w>(word(1), high)}};
	full |= high << 8 / w;
	return r;
}

// Forming answers: one at a time, its digits in a word.  Each
// quotient is a multiply and a shift, exact over its lane's range, and
// a lane's products never reach the next.
using answers = unsigned;
using wide = std::uint64_t;
constexpr int ANSWERS = 1, WIDE = 1;
inline answers load_answers(const int *v, int) { return *v; }
inline bool single(answers u) { return u < 10; }
inline char *put_singles(answers u, int, char *to)
{
	to[0] = static_cast<char>('0' + u);
	to[1] = '\n';
	return to + 2;
}
inline wide widen(answers u, int) { return u; }
inline wide split10000(wide v) { return v / 10000 | (v % 10000) << 32; }
// Each 32-bit half, below 10^4, as its quotient and remainder by 100,
// and each 16-bit quarter, below 100, as its quotient and remainder by 10.
inline wide split100(wide x)
{
	const wide q = (x * 10486 >> 20) & 0x0000007F0000007F;
	return q | (x - q * 100) << 16;
}
inline wide split10(wide x)
{
	const wide q = (x * 103 >> 10) & 0x000F000F000F000F;
	return q | (x - q * 10) << 8;
}
// The digits, their leading zeros shifted out and a newline after
// them: all eight bytes are stored.  The first digit is the lowest
// byte that is not 0, or the last.
inline char *put_digits(wide digits, answers, int, int, char *to)
{
	const int zeros = __builtin_ctzll(digits | std::uint64_t{1} << 56) / 8;
	std::uint64_t ascii = (digits + 0x3030303030303030) >> 8 * zeros |
	                      std::uint64_t{'\n'} << 8 * (8 - zeros);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
	ascii = __builtin_bswap64(ascii);
#endif
	std::memcpy(to, &ascii, sizeof ascii);
	return to + 9 - zeros;
}

} // namespace portable

#endif
