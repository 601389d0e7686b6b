// SPDX-License-Identifier: ISC
// Where the values of a block of input lie, found a stretch of 64 bytes at
// a time, and their digits converted many values at a time; the answers'
// digits formed likewise: a reader for each kind of processor, each in a
// file of its own.
#ifndef LCA_FIND_H
#define LCA_FIND_H

#include <cstdint>

enum { STRETCH = 64 };
static_assert(STRETCH == 64, "a stretch's bytes are the bits of a word");

// Finds the values from p on and converts them: unsigned values of one to
// eight digits, each followed by white space (" \t\n\v\f\r"), up to the
// first byte that is neither digit nor white space, which must come before
// base + 65536, or up to the first value of more digits.  Stores each value
// and the offset from base of its last digit, and says how many.  It stops
// after the stretch in which AHEAD - STRETCH / 2 have been found, so finds
// fewer than AHEAD, and may store up to STRETCH past the last.  Each group
// of eight values may load the 128 bytes from its first digit, and each
// value the eight bytes up to its last, which from base - 8 to base are
// not digits.  p is not a digit that follows a digit.
enum { AHEAD = 256 };
using read_fn = int (*)(const char *p, const char *base, std::uint16_t *lasts,
                        int *values);

// Stores each of the count values from v, from 0 to 9999999, as its digits
// and a newline, from to on, and returns the end of what it stored; it may
// store up to STRETCH bytes past it.
using form_fn = char *(*)(const int *v, int count, char *to);

struct reader {
	const char *name;
	read_fn read;
	form_fn form;
};

char *form_words(const int *v, int count, char *to);

extern const reader portable_reader;
#if defined(__x86_64__)
extern const reader avx2_reader, avx512_reader;
#endif

// The fastest reader this processor runs.
const reader &choose_reader();

// The search of read_fn, given Means::classify(stretch, digits, spaces),
// which sets a bit a byte, the first byte the lowest, for each digit and
// white space byte of a stretch.  For each stretch it calls take(at,
// starts, ends, continued): at is the stretch's offset from base, starts
// has a bit for each byte that begins a run of digits, ends one for each
// last digit of a value, and continued says whether the run at the first
// byte began in the stretch before.  take says whether to go on.  A value
// ends where white space follows a digit, which for a stretch's last byte
// the next stretch's first says; no value ends after the first byte that
// is neither, and the search stops at its stretch.
template <class Means, class Take>
[[gnu::always_inline]] inline void search(const char *p, const char *base,
                                          Take take)
{
	std::uint64_t digits, spaces, follows_digit = 0;
	Means::classify(p, digits, spaces);
	for (;; p += STRETCH) {
		const std::uint64_t other = ~(digits | spaces);
		std::uint64_t after = spaces >> 1, next_digits = 0,
		              next_spaces = 0;
		if (other == 0) {
			Means::classify(p + STRETCH, next_digits, next_spaces);
			after |= next_spaces << 63;
		} else {
			// Only the bytes before the first that is neither.
			after &= (other & (0 - other)) - 1;
		}
		if (!take(static_cast<unsigned>(p - base),
		          digits & ~(digits << 1), digits & after,
		          (digits & follows_digit) != 0) ||
		    other != 0)
			return;
		follows_digit = digits >> 63;
		digits = next_digits;
		spaces = next_spaces;
	}
}

#endif
