// SPDX-License-Identifier: ISC
#include <cstring>

#include "find.h"

namespace
{

// Eight bytes a word, on any processor.
struct words {
	// The top bit of each byte of flags, whose other bits are clear,
	// gathered into the low eight bits, the lowest byte's lowest: the
	// multiply moves each byte's bit to a place of its own in the top
	// byte, with no carries.
	static unsigned gather(std::uint64_t flags)
	{
		return static_cast<unsigned>(flags * 0x0002040810204081 >> 56);
	}

	static std::uint64_t word(const char *p)
	{
		std::uint64_t w;
		std::memcpy(&w, p, sizeof w);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
		w = __builtin_bswap64(w);
#endif
		return w;
	}

	// With each byte's top bit cleared, adding 128 - c sets the top bit
	// of those at least c, and no byte carries into the next.
	static std::uint64_t at_least(std::uint64_t x, std::uint64_t c)
	{
		return x + (128 - c) * 0x0101010101010101;
	}

	// The top bit of each byte of x, whose top bits are clear, from c to
	// d, with the other bits of each byte left as they fall.
	static std::uint64_t from(std::uint64_t x, std::uint64_t c,
	                          std::uint64_t d)
	{
		return at_least(x, c) ^ at_least(x, d + 1);
	}

	static std::uint64_t spaces_in(std::uint64_t x)
	{
		return from(x, '\t', '\r') ^ from(x, ' ', ' ');
	}

	// Each byte on its own, for a stretch with any byte but digits and
	// white space: a byte with the top bit set is neither.
	[[gnu::noinline]] static void classify_bytes(const char *stretch,
	                                             std::uint64_t &digits,
	                                             std::uint64_t &spaces)
	{
		const std::uint64_t top = 0x8080808080808080;
		digits = spaces = 0;
#pragma GCC unroll 16
		for (int k = 0; k < STRETCH / 8; k++) {
			const std::uint64_t w = word(stretch + 8 * k),
			                    x = w & ~top;
			digits |=
			    std::uint64_t{gather(from(x, '0', '9') & ~w & top)}
			    << 8 * k;
			spaces |= std::uint64_t{gather(spaces_in(x) & ~w & top)}
			          << 8 * k;
		}
	}

	// Most stretches hold only digits and white space, and for them only
	// the digits are gathered: the rest are white space.  The bytes are
	// tested as they are: one with the top bit set may carry into the
	// next, but it sends its stretch to classify_bytes() all the same.
	static void classify(const char *stretch, std::uint64_t &digits,
	                     std::uint64_t &spaces)
	{
		const std::uint64_t ones = 0x0101010101010101,
		                    top = 0x80 * ones;
		std::uint64_t other = 0;
		digits = 0;
#pragma GCC unroll 16
		for (int k = 0; k < STRETCH / 8; k++) {
			const std::uint64_t w = word(stretch + 8 * k);
			// 0x89 less a byte's XOR with '0' is 0x80 or more just
			// where the byte is a digit.
			const std::uint64_t digit =
			    0x89 * ones - (w ^ '0' * ones);
			digits |= std::uint64_t{gather(digit & top)} << 8 * k;
			// Of the top bits of digit, of the controls and of
			// not_space, a digit or a control sets two, a space
			// none, any other byte one: only "not a space".  A byte
			// with the top bit set is other too.
			const std::uint64_t not_space =
			    (w ^ ' ' * ones) + 0x7F * ones;
			other |= (digit ^ from(w, '\t', '\r') ^ not_space) | w;
		}
		spaces = ~digits;
		if ((other & top) != 0)
			classify_bytes(stretch, digits, spaces);
	}
};

} // namespace

// For a run of longer + 1 digits, the four low bits of each of its bytes
// among the eight up to its last digit, which is the highest.
static const std::uint64_t run[8] = {0x0F00000000000000, 0x0F0F000000000000,
                                     0x0F0F0F0000000000, 0x0F0F0F0F00000000,
                                     0x0F0F0F0F0F000000, 0x0F0F0F0F0F0F0000,
                                     0x0F0F0F0F0F0F0F00, 0x0F0F0F0F0F0F0F0F};

// The value of the run of longer + 1 digits, one to eight, that ends at
// last.  The eight bytes up to last are loaded as they lie in memory, the
// first the lowest, and only the run's digits' values kept, which thus
// read as eight digits with leading zeros.  Each byte then takes ten times
// itself plus the next, so that bytes 0, 2, 4 and 6 hold the four
// two-digit pairs; one pair of multiplies puts each pair in its place and
// sums them in the top half of the product.
static int digits_value(const char *last, unsigned longer)
{
	std::uint64_t x = words::word(last - 7) & run[longer];
	x = x * 10 + (x >> 8);
	return static_cast<int>(
	    ((x & 0x000000FF000000FF) * (100 + (1000000ULL << 32)) +
	     ((x >> 16) & 0x000000FF000000FF) * (1 + (10000ULL << 32))) >>
	    32);
}

// The values of two runs of m + 1 and n + 1 digits, one to four, which end
// at p and q, stored at values: digits_value() in two 32-bit halves at
// once, each from the four bytes up to a run's last digit.  The halves stay
// apart: no byte exceeds 99, nor a sum of two pairs 9999.
static void four_digit_values(const char *p, unsigned m, const char *q,
                              unsigned n, int *values)
{
	const auto half = [](const char *last, unsigned longer) {
		std::uint32_t w;
		std::memcpy(&w, last - 3, sizeof w);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
		w = __builtin_bswap32(w);
#endif
		return w & static_cast<std::uint32_t>(run[longer] >> 32);
	};
	std::uint64_t x = half(p, m) | std::uint64_t{half(q, n)} << 32;
	x = (x * 10 + (x >> 8)) & 0x00FF00FF00FF00FF;
	x = (x * (1 + (100 << 16)) >> 16) & 0x0000FFFF0000FFFF;
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
	x = x >> 32 | x << 32;
#endif
	std::memcpy(values, &x, sizeof x);
}

// Where read_words() stores the next value found, and its last digit's
// offset, and where the last run of digits of the stretch before began.
struct finds {
	const char *base;
	std::uint16_t *last;
	int *value;
	const int *full;
	unsigned lead;
};

// Converts the value of the digits from first to last, offsets from base,
// unless there are more than eight.
[[gnu::always_inline]] static inline bool take(finds &f, unsigned first,
                                               unsigned last)
{
	if (last - first > 7)
		return false;
	*f.value++ = digits_value(f.base + last, last - first);
	*f.last++ = static_cast<std::uint16_t>(last);
	return true;
}

// Each value is converted as soon as its end is found, its first digit
// paired with its last: the runs of digits begin in order, one for each
// value that ends.  A run at a stretch's first byte may have begun in the
// stretch before, where its last run began, at lead.  A run that began at
// that stretch's first byte, or before, is too long to take, wherever it
// began.  Most values are short, and go two at a time.
static bool take_stretch(finds &f, unsigned at, std::uint64_t starts,
                         std::uint64_t ends, bool continued)
{
	const unsigned began = f.lead;
	f.lead = at + 63 - __builtin_clzll(starts | 1);
	bool more = true;
	if (continued && ends != 0) {
		more = take(f, began, at + __builtin_ctzll(ends));
		starts &= starts - 1;
		ends &= ends - 1;
	}
	const char *stretch = f.base + at;
	while (more && (ends & (ends - 1)) != 0) {
		const std::uint64_t then_starts = starts & (starts - 1),
		                    then_ends = ends & (ends - 1);
		const unsigned s = __builtin_ctzll(starts),
		               e = __builtin_ctzll(ends),
		               t = __builtin_ctzll(then_starts),
		               u = __builtin_ctzll(then_ends);
		starts = then_starts;
		ends = then_ends;
		if (((e - s) | (u - t)) > 3) {
			more = take(f, at + s, at + e);
			continue;
		}
		four_digit_values(stretch + e, e - s, stretch + u, u - t,
		                  f.value);
		f.last[0] = static_cast<std::uint16_t>(at + e);
		f.last[1] = static_cast<std::uint16_t>(at + u);
		f.value += 2;
		f.last += 2;
		starts &= starts - 1;
		ends &= ends - 1;
	}
	if (more && ends != 0)
		more = take(f, at + __builtin_ctzll(starts),
		            at + __builtin_ctzll(ends));
	return more && f.value < f.full;
}

static int read_words(const char *p, const char *base, std::uint16_t *lasts,
                      int *values)
{
	finds f = {base, lasts, values, values + AHEAD - STRETCH / 2, 0};
	search<words>(p, base,
	              [&](unsigned at, std::uint64_t starts, std::uint64_t ends,
	                  bool continued) {
		              return take_stretch(f, at, starts, ends,
		                                  continued);
	              });
	return static_cast<int>(f.value - values);
}

// The eight digits of v, below 10^8, with leading zeros, a byte each, the
// first in the lowest: v split into two halves of four digits, each half
// into two pairs, each pair into two digits, all lanes at once, each
// quotient a multiply and a shift exact over its lane's range.
static std::uint64_t eight_digits(unsigned v)
{
	const std::uint64_t x = v / 10000 | std::uint64_t{v % 10000} << 32;
	const std::uint64_t hundreds = (x * 10486 >> 20) & 0x0000007F0000007F;
	const std::uint64_t pairs = hundreds | (x - hundreds * 100) << 16;
	const std::uint64_t tens = (pairs * 103 >> 10) & 0x000F000F000F000F;
	return tens | (pairs - tens * 10) << 8;
}

char *form_words(const int *v, int count, char *to)
{
	for (int k = 0; k < count; k++) {
		const unsigned u = static_cast<unsigned>(v[k]);
		// Most answers are a single digit, most of them 1, the root.
		if (u < 10) {
			to[0] = static_cast<char>('0' + u);
			to[1] = '\n';
			to += 2;
			continue;
		}
		// All eight bytes are stored, the leading zeros shifted out
		// and the newline after the digits.  Of two digits or more,
		// the first is the lowest byte that is not 0.
		const std::uint64_t digits = eight_digits(u);
		const int zeros = __builtin_ctzll(digits) / 8;
		std::uint64_t ascii =
		    (digits + 0x3030303030303030) >> 8 * zeros |
		    std::uint64_t{'\n'} << 8 * (8 - zeros);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
		ascii = __builtin_bswap64(ascii);
#endif
		std::memcpy(to, &ascii, sizeof ascii);
		to += 9 - zeros;
	}
	return to;
}

const reader portable_reader = {"portable", read_words, form_words};

// Each choice is a line that runs on every processor, so that the suite
// covers it wherever it runs.
const reader &choose_reader()
{
	const reader *r = &portable_reader;
#if defined(__x86_64__)
	r = __builtin_cpu_supports("avx2") ? &avx2_reader : r;
	// Every processor with VBMI2 has VBMI.
	r = __builtin_cpu_supports("avx512vbmi2") ? &avx512_reader : r;
#endif
	return *r;
}
