// SPDX-License-Identifier: ISC
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>

#include <unistd.h>

#include "stream.h"

int read_error;
int write_error;

// Input is read in blocks as large as a pipe holds.  Answers are a small
// share of the bytes, and a small output block lets a failed write stop
// the run soon after the answers it lost.
enum { BLOCK = 1 << 16 };
// After the block: the byte that ends it, and room for the fast path's
// load of eight bytes at any position up to that one.
enum { SLACK = 8 };
static_assert(sizeof(std::uint64_t) <= SLACK, "a load at *end fits");
static char input[BLOCK + SLACK];
static char output[1 << 13];

static int input_fd;
static void (*before_read)();
// The bytes read and not yet consumed; *end, just past them, is always a
// byte that is neither white space nor a digit, so that the scans over a
// value stop there without counting.
static char *next = input, *end = input;
// Set once a read has failed or met the end of the input, as the stream's
// state would be: from then on nothing is read.
static bool stopped;
static char *out = output;

// The first n bytes of input are the bytes to consume, and the byte after
// them ends the scans.
static void hold(std::size_t n)
{
	next = input;
	end = input + n;
	*end = '\0';
}

void open_input(int fd, void (*hook)())
{
	input_fd = fd;
	before_read = hook;
	hold(0);
	stopped = false;
}

// Replaces the consumed block by the next one, or meets the end of the
// input.  No answer waits while lca waits: the read may block, so the
// answers given so far go out first.  After a failed write, nothing more
// is read.
static bool refill()
{
	if (before_read)
		before_read();
	if (!flush_output())
		return false;
	const ssize_t n = read(input_fd, input, BLOCK);
	if (n <= 0) {
		if (n < 0)
			read_error = errno;
		return false;
	}
	hold(static_cast<std::size_t>(n));
	return true;
}

static bool is_space(char c)
{
	return c == ' ' || static_cast<unsigned char>(c - '\t') < 5;
}

static bool is_digit(char c)
{
	return static_cast<unsigned char>(c - '0') < 10;
}

// The digits from next on, in as many blocks as they take, into magnitude,
// which stops growing once it is beyond every int.  False if there is none.
static bool read_digits(std::uint64_t &magnitude)
{
	const std::uint64_t beyond = std::uint64_t{1} << 32;
	bool digits = false;
	magnitude = 0;
	for (;;) {
		char *p = next;
		for (; is_digit(*p); p++)
			if (magnitude < beyond)
				magnitude = magnitude * 10 + (*p - '0');
		digits |= p != next;
		next = p;
		if (next != end)
			return digits;
		// Where the input ends, the value stands, but nothing after
		// it is read.
		if (!refill()) {
			stopped = true;
			return digits;
		}
	}
}

// The number of digits at p, from one to seven, when a byte inside the
// block ends them, with their value in magnitude; 0 otherwise.  Eight bytes
// are loaded at once, and a value must end within them: so seven digits at
// most, fewer than any int can hold, and no test for overflow.
static int short_digits(const char *p, std::uint64_t &magnitude)
{
	// The eight bytes as they lie in memory, the first the lowest, each
	// less '0'.  A digit becomes its value; a byte below '0' gets its top
	// bit set, and one above '9' becomes 10 or more, to which 0x76 adds
	// the top bit.  Borrows and carries run upward, into the bytes after
	// the one that makes them, so only the lowest flagged byte is sure to
	// be flagged truly: but every byte below it is a digit, and it alone,
	// the lowest, is what ctz finds.
	std::uint64_t x;
	std::memcpy(&x, p, sizeof x);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
	x = __builtin_bswap64(x);
#endif
	x -= 0x3030303030303030;
	const std::uint64_t other =
	    (x | (x + 0x7676767676767676)) & 0x8080808080808080;
	if (other == 0)
		return 0;
	const int length = __builtin_ctzll(other) / 8;
	if (length == 0 || p + length == end)
		return 0;
	// Shifted to the top, the digits read as eight with leading zeros,
	// the first in the lowest byte.  Each byte then takes ten times
	// itself plus the next, so that bytes 0, 2, 4 and 6 hold the four
	// two-digit pairs; one pair of multiplies puts each pair in its place
	// and sums them in the top half of the product.
	x <<= 64 - 8 * length;
	x = x * 10 + (x >> 8);
	magnitude =
	    ((x & 0x000000FF000000FF) * (100 + (1000000ULL << 32)) +
	     ((x >> 16) & 0x000000FF000000FF) * (1 + (10000ULL << 32))) >>
	    32;
	return length;
}

// Any value, wherever it lies: across blocks, with any number of digits,
// at the end of the input.  Kept out of read_int(), which thus needs no
// registers saved for it.
[[gnu::noinline]] static bool read_any_int(int &value)
{
	if (stopped)
		return false;
	for (;;) {
		while (is_space(*next))
			next++;
		if (next != end)
			break;
		if (!refill()) {
			stopped = true;
			return false;
		}
	}
	const bool negative = *next == '-';
	if (negative || *next == '+')
		next++;

	std::uint64_t magnitude;
	const std::uint64_t most =
	    negative ? std::uint64_t{INT_MAX} + 1 : INT_MAX;
	if (!read_digits(magnitude)) {
		value = 0;
	} else if (magnitude > most) {
		value = negative ? INT_MIN : INT_MAX;
	} else {
		value = static_cast<int>(negative ? 0 - magnitude : magnitude);
		return true;
	}
	stopped = true;
	return false;
}

// Most values lie wholly inside the block, unsigned, with a few digits,
// and are read with no test for the block's end at each byte; the rest are
// left to read_any_int(), which starts over from next.  The fast path
// relies on two things that hold from open_input() on: *end is neither a
// digit nor white space, so the skip and the digits stop at or before it;
// and SLACK bytes may be read from any position up to end.  The reader
// may have stopped; that is rare, so it is tested in the branch that
// catches the values the fast path cannot take, after the load rather
// than before it, where the load would wait for it.  A stopped reader
// consumes nothing, and what was loaded is thrown away.
bool read_int(int &value)
{
	char *p = next;
	while (is_space(*p))
		p++;
	std::uint64_t magnitude;
	const int length = short_digits(p, magnitude);
	if (length == 0 || stopped)
		return read_any_int(value);
	next = p + length;
	value = static_cast<int>(magnitude);
	return true;
}

void write_int(int v)
{
	static const unsigned power[] = {
	    1,      10,      100,      1000,      10000,
	    100000, 1000000, 10000000, 100000000, 1000000000};
	// Room for the ten digits of any int and the newline.
	if (output + sizeof output - out < 11)
		flush_output();
	// The number of digits, from the number of bits: 1233 / 4096 is
	// log10 2 to four places, which gives one less than the digits or
	// the digits themselves, and the table says which.
	unsigned u = static_cast<unsigned>(v);
	const int log = (32 - __builtin_clz(u | 1)) * 1233 >> 12;
	const int length = log + 1 - ((u | 1) < power[log]);
	char *d = out + length;
	*d = '\n';
	do
		*--d = static_cast<char>('0' + u % 10);
	while (u /= 10);
	out += length + 1;
}

// A block may take more than one write.  What a failed write lost is
// dropped, and nothing is written after it.
bool flush_output()
{
	for (const char *p = output; write_error == 0 && p < out;) {
		const ssize_t n = write(STDOUT_FILENO, p, out - p);
		if (n < 0)
			write_error = errno;
		else
			p += n;
	}
	out = output;
	return write_error == 0;
}

std::size_t unread()
{
	return static_cast<std::size_t>(end - next);
}

void give_back_input()
{
	// Fails on a pipe or a terminal, where nothing can be given back.
	lseek(input_fd, -static_cast<off_t>(unread()), SEEK_CUR);
}
