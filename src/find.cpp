// SPDX-License-Identifier: ISC
#include <cstring>

#include "find.h"

namespace
{

// Eight bytes a word, on any processor.
struct words {
	// The top bit of each byte of flags, gathered into the low eight
	// bits, the lowest byte's lowest: the multiply moves each byte's bit
	// to a place of its own in the top byte, with no carries.
	static unsigned gather(std::uint64_t flags)
	{
		return static_cast<unsigned>(
		    (flags >> 7) * 0x0102040810204080 >> 56);
	}

	// With each byte's top bit cleared, adding 128 - c sets the top bit
	// of those at least c, and no byte carries into the next; a byte
	// whose top bit was set is neither digit nor white space.
	static void classify(const char *stretch, std::uint64_t &digits,
	                     std::uint64_t &spaces)
	{
		const std::uint64_t top = 0x8080808080808080;
		digits = spaces = 0;
		for (int k = 0; k < STRETCH / 8; k++) {
			std::uint64_t w;
			std::memcpy(&w, stretch + 8 * k, sizeof w);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
			w = __builtin_bswap64(w);
#endif
			const std::uint64_t x = w & ~top;
			const auto at_least = [x](std::uint64_t c) {
				return x + (128 - c) * 0x0101010101010101;
			};
			const std::uint64_t digit =
			    at_least('0') & ~at_least('9' + 1) & ~w & top;
			const std::uint64_t space =
			    ((at_least('\t') & ~at_least('\r' + 1)) |
			     (at_least(' ') & ~at_least(' ' + 1))) &
			    ~w & top;
			digits |= std::uint64_t{gather(digit)} << 8 * k;
			spaces |= std::uint64_t{gather(space)} << 8 * k;
		}
	}

	static int offsets(std::uint64_t bits, unsigned at, std::uint16_t *to)
	{
		return offsets_of_bits(bits, at, to);
	}
};

} // namespace

static int find_words(const char *p, const char *base, std::uint16_t *firsts,
                      std::uint16_t *lasts, int room)
{
	return find_with<words>(p, base, firsts, lasts, room);
}

// The value of the length digits at p, from one to eight.  The eight bytes
// are loaded as they lie in memory, the first the lowest, each less '0';
// borrows run upward, into the bytes after the digits, which the shift
// drops.  Shifted to the top, the digits read as eight with leading zeros,
// the first in the lowest byte.  Each byte then takes ten times itself
// plus the next, so that bytes 0, 2, 4 and 6 hold the four two-digit
// pairs; one pair of multiplies puts each pair in its place and sums them
// in the top half of the product.
static int digits_value(const char *p, unsigned length)
{
	std::uint64_t x;
	std::memcpy(&x, p, sizeof x);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
	x = __builtin_bswap64(x);
#endif
	x = (x - 0x3030303030303030) << 8 * (8 - length);
	x = x * 10 + (x >> 8);
	return static_cast<int>(
	    ((x & 0x000000FF000000FF) * (100 + (1000000ULL << 32)) +
	     ((x >> 16) & 0x000000FF000000FF) * (1 + (10000ULL << 32))) >>
	    32);
}

static int convert_words(const char *base, const std::uint16_t *firsts,
                         const std::uint16_t *lasts, int count, int *values)
{
	for (int k = 0; k < count; k++) {
		const unsigned length = lasts[k] - firsts[k] + 1u;
		if (length > 8)
			return k;
		values[k] = digits_value(base + firsts[k], length);
	}
	return count;
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
	static const unsigned power[] = {1,     10,     100,     1000,
	                                 10000, 100000, 1000000, 10000000};
	for (int k = 0; k < count; k++) {
		const unsigned u = static_cast<unsigned>(v[k]);
		// Most answers are a single digit, most of them 1, the root.
		if (u < 10) {
			to[0] = static_cast<char>('0' + u);
			to[1] = '\n';
			to += 2;
			continue;
		}
		// The number of digits, from the number of bits: 1233 / 4096
		// is log10 2 to four places, which gives one less than the
		// digits or the digits themselves, and the table says which.
		// All eight bytes are stored, the leading zeros shifted out
		// and the newline after the digits.
		const int log = (32 - __builtin_clz(u)) * 1233 >> 12;
		const int length = log + 1 - (u < power[log]);
		std::uint64_t ascii =
		    (eight_digits(u) + 0x3030303030303030) >> 8 * (8 - length) |
		    std::uint64_t{'\n'} << 8 * length;
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
		ascii = __builtin_bswap64(ascii);
#endif
		std::memcpy(to, &ascii, sizeof ascii);
		to += length + 1;
	}
	return to;
}

const reader portable_reader = {"portable", find_words, convert_words,
                                form_words};

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
