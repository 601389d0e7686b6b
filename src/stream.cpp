// SPDX-License-Identifier: ISC
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>

#include <unistd.h>

#include "find.h"
#include "stream.h"

int read_error;
int write_error;

// Input is read in blocks as large as a pipe holds.  Answers are a small
// share of the bytes, and a small output block lets a failed write stop
// the run soon after the answers it lost.
enum { BLOCK = 1 << 16, OUTPUT = 1 << 13 };
// After the input block come the byte that ends it and room for the two
// stretches that the readers may load from any position up to that one; after
// the output block, room for the eight bytes that each answer's digits are
// stored as.
static char input[BLOCK + 2 * STRETCH];
static char output[OUTPUT + 8];

// Values found ahead of the reads that take them, from next on: taken of
// them have been read, of found.  Where the digits of each start and end
// are kept as offsets into input.  A stretch holds at most STRETCH / 2
// values, so that at most AHEAD are found; the readers store and convert
// a fixed number at a time, with room for a stretch past them.
enum { AHEAD = 256 };
static_assert(BLOCK <= 1 << 16, "every offset into a block fits 16 bits");
static int ahead[AHEAD + STRETCH];
static std::uint16_t firsts[AHEAD + STRETCH], lasts[AHEAD + STRETCH];
static int taken, found;

static int input_fd;
static void (*before_read)();
static const reader *means = &portable_reader;
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

void open_input(int fd, void (*hook)(), const reader *r)
{
	input_fd = fd;
	before_read = hook;
	means = r != nullptr ? r : &choose_reader();
	hold(0);
	taken = found = 0;
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

// Finds the values from next on that the reader decides, and says whether
// there were any: unsigned, of one to eight digits, each followed by white
// space, up to the first byte that is neither digit nor white space.
// *end is such a byte, so every value found is complete.  The rest is left
// to read_any_int().
[[gnu::noinline]] static bool find_values()
{
	if (found > 0)
		next = input + lasts[found - 1] + 1;
	taken = found = 0;
	if (stopped)
		return false;
	// next is never a digit that follows one: what read_any_int() reads
	// ends before a byte that is not a digit.
	const int ends =
	    means->find(next, input, firsts, lasts, AHEAD - STRETCH / 2);
	found = means->convert(input, firsts, lasts, ends, ahead);
	return found > 0;
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

// Most values are found ahead, a stretch at a time, and are read with no
// test at all; the rest, and the end of the input, are left to
// read_any_int(), which starts from next once none is found.
bool read_int(int &value)
{
	if (taken == found && !find_values())
		return read_any_int(value);
	value = ahead[taken++];
	return true;
}

const int *values_ahead(int &count)
{
	if (taken == found)
		find_values();
	count = found - taken;
	return ahead + taken;
}

void take_values(int count)
{
	taken += count;
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

void write_ints(const int *v, int count)
{
	static const unsigned power[] = {1,     10,     100,     1000,
	                                 10000, 100000, 1000000, 10000000};
	// In a register for the whole loop, where out, in memory, would be
	// stored and loaded again for every answer.
	char *o = out;
	for (int k = 0; k < count; k++) {
		// Room for eight digits and the newline.
		if (output + OUTPUT - o < 9) {
			out = o;
			flush_output();
			o = out;
		}
		const unsigned u = static_cast<unsigned>(v[k]);
		// Most answers are a single digit, most of them 1, the root.
		if (u < 10) {
			o[0] = static_cast<char>('0' + u);
			o[1] = '\n';
			o += 2;
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
		std::memcpy(o, &ascii, sizeof ascii);
		o += length + 1;
	}
	out = o;
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

// The first byte not consumed: the one after the last value taken of
// those found.
static const char *consumed()
{
	return taken > 0 ? input + lasts[taken - 1] + 1 : next;
}

std::size_t unread()
{
	return static_cast<std::size_t>(end - consumed());
}

void give_back_input()
{
	// Fails on a pipe or a terminal, where nothing can be given back.
	lseek(input_fd, -static_cast<off_t>(unread()), SEEK_CUR);
}
