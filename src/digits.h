// SPDX-License-Identifier: ISC
// Decimal digits: where the values of a block of input lie, found a
// stretch of 64 bytes at a time, and their digits converted many values at
// a time; and answers written as digits, many at a time.  Compiled once for
// each layer (see layers.h).
#ifndef LCA_DIGITS_H
#define LCA_DIGITS_H

#include <cstdint>

enum { STRETCH = 64 };

// Finds the values from p on and converts them: unsigned values of one to
// eight digits, each followed by white space (" \t\n\v\f\r"), up to the
// first byte that is neither digit nor white space, which must come before
// base + 65536, or up to the first value of more digits.  Stores each value
// and the offset from base of its last digit, and says how many.  It stops
// after the stretch in which AHEAD - STRETCH / 2 have been found, so finds
// fewer than AHEAD, and may store up to STRETCH past the last.  It may load
// any byte from 8 before base to 128 after any digit it finds, and those
// before base are not digits; p is not a digit that follows a digit.
enum { AHEAD = 256 };
using read_fn = int (*)(const char *p, const char *base, std::uint16_t *lasts,
                        int *values);

// Stores each of the count values from v, from 0 to 9999999, as its digits
// and a newline, from to on, and returns the end of what it stored; it may
// store up to STRETCH bytes past it.
using form_fn = char *(*)(const int *v, int count, char *to);

#endif
