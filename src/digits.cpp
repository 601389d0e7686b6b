// SPDX-License-Identifier: ISC
// Compiled once for each layer.
#include <cstdint>

#include "digits.h"

#include "primitives.h"

namespace LCA_LAYER
{
namespace
{
// A bit a byte of a stretch, the first byte the lowest, for each digit
// and each white space byte.
struct classes {
	std::uint64_t digits, spaces;
};

// Each byte on its own, for a stretch with any byte that is neither
// digit nor white space: rare, and kept out of the way.
[[gnu::noinline]] classes classify_bytes(const char *stretch)
{
	classes c = {0, 0};
	for (int k = 0; k < STRETCH; k++) {
		const unsigned b = static_cast<unsigned char>(stretch[k]);
		c.digits |= std::uint64_t{b - '0' < 10u} << k;
		c.spaces |= std::uint64_t{b == ' ' || b - '\t' < 5u} << k;
	}
	return c;
}

// Most stretches hold nothing but digits and white space, and for them
// only the digits are found: the rest are white space.
[[gnu::always_inline]] inline classes classify(const char *stretch)
{
	bytes v = load(stretch);
	auto other = neither(v);
	std::uint64_t digits = bits8(digit(v));
#pragma GCC unroll 16
	for (int k = BYTES; k < STRETCH; k += BYTES) {
		v = load(stretch + k);
		other = other | neither(v);
		digits |= bits8(digit(v)) << k;
	}
	if (!none(other))
		return classify_bytes(stretch);
	return {digits, ~digits};
}

// For each stretch from p on, calls record(at, ends): at is the
// stretch's offset from base, and ends has a bit for each last digit of
// a value. record says whether to go on.  A value ends where white
// space follows a digit, which for a stretch's last byte the next
// stretch's first says; no value ends after the first byte that is
// neither, and the search stops at its stretch.
template <class Record>
void search(const char *p, const char *base, Record record)
{
	classes now = classify(p);
	for (;; p += STRETCH) {
		const std::uint64_t other = ~(now.digits | now.spaces);
		std::uint64_t after = now.spaces >> 1;
		classes next = {0, 0};
		if (other == 0) {
			next = classify(p + STRETCH);
			after |= next.spaces << 63;
		} else {
			// Only the bytes before the first that is
			// neither.
			after &= (other & (0 - other)) - 1;
		}
		if (!record(static_cast<unsigned>(p - base),
		            now.digits & after) ||
		    other != 0)
			return;
		now = next;
	}
}

// Converts the count values whose last digits lie at lasts, up to the
// first that has more than eight digits, and says how many: VALUES at a
// time, together where none has four digits or more, else in halves.  A
// value of eight digits has more if the byte before them is a digit
// too. A lane past the count may hold anything.
int convert(const char *base, const std::uint16_t *lasts, int count,
            int *values)
{
	for (int k = 0; k < count; k += VALUES) {
		const int lives = count - k < VALUES ? count - k : VALUES;
		const unsigned live = (1u << lives) - 1;
		unsigned full;
		const runs x = run<4>(base, lasts + k, lives, full);
		if ((full & live) == 0) {
			store_short(values + k, join16(join8(x)));
			continue;
		}
#pragma GCC unroll 16
		for (int h = 0; h < lives; h += VALUES / 2) {
			const runs y =
			    run<8>(base, lasts + k + h, lives - h, full);
			store_long(values + k + h, join32(join16(join8(y))));
			for (full &= live >> h; full != 0; full &= full - 1) {
				const int j = k + h + __builtin_ctz(full);
				const unsigned c = static_cast<unsigned char>(
				    base[lasts[j] - 8]);
				if (c - '0' < 10u)
					return j;
			}
		}
	}
	return count;
}

} // namespace

// Only where each value ends is kept: its digits are the run that ends
// there.
int read(const char *p, const char *base, std::uint16_t *lasts, int *values)
{
	int ended = 0;
	search(p, base, [&](unsigned at, std::uint64_t ends) {
		ended += offsets(ends, at, lasts + ended);
		return ended < AHEAD - STRETCH / 2;
	});
	return convert(base, lasts, ended, values);
}

// Most answers are a single digit, most of them 1, the root: ANSWERS of
// them make a digit and a newline each, formed at once.  Any other
// answers are split into their eight digits, with leading zeros, WIDE
// at a time, each in 64 bits: into two halves of four digits, each half
// into two pairs, each pair into two digits, all lanes at once.  The
// leading zeros are then dropped, as many as the answer itself says,
// and a newline put after the digits.
char *form(const int *v, int count, char *to)
{
	for (int k = 0; k < count; k += ANSWERS) {
		const int lives = count - k < ANSWERS ? count - k : ANSWERS;
		const answers u = load_answers(v + k, lives);
		if (single(u)) {
			to = put_singles(u, lives, to);
			continue;
		}
#pragma GCC unroll 16
		for (int h = 0; h < lives; h += WIDE)
			to = put_digits(
			    split10(split100(split10000(widen(u, h)))), u, h,
			    lives - h, to);
	}
	return to;
}

} // namespace LCA_LAYER

LCA_END_LAYER
