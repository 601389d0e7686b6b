// SPDX-License-Identifier: ISC
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>

#include <unistd.h>

#include "layers.h"
#include "stream.h"

int read_error;
int write_error;

// Input is read in blocks of INPUT bytes, as many as a pipe holds.
// Answers are a small share of the bytes, and a small block of OUTPUT
// bytes lets a failed write stop the run soon after the answers it lost.
enum { INPUT = 1 << 16, OUTPUT = 1 << 13 };
// After the input block come the byte that ends it and room for the 128
// bytes that a layer may load from any digit up to that one; before it,
// room for the eight bytes that it may load before a value's last digit,
// never a digit.
static char buffer[8 + INPUT + 2 * STRETCH];
static char *const input = buffer + 8;
static char output[OUTPUT];

// Values found ahead of the reads that take them, from next on: taken of
// them have been read, of found.  Where the last digit of each lies is kept
// as an offset into input.
static_assert(INPUT <= 1 << 16, "every offset into a block fits 16 bits");
static int ahead[AHEAD + STRETCH];
static std::uint16_t lasts[AHEAD + STRETCH];
static int taken, found;

static int input_fd;
static void (*before_read)();
static const layer *means = &layers[0];
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

void open_input(int fd, void (*hook)(), const layer *l)
{
	input_fd = fd;
	before_read = hook;
	means = l != nullptr ? l : &best;
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
	const ssize_t n = read(input_fd, input, INPUT);
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
	found = means->read(next, input, lasts, ahead);
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

void take_values(int count) { taken += count; }

// A batch of answers at a time, with room for each one's eight bytes and a
// stretch past the last.
void write_ints(const int *v, int count)
{
	enum { FORMED = 64 };
	for (int k = 0; k < count; k += FORMED) {
		const int n = std::min<int>(FORMED, count - k);
		if (output + OUTPUT - out < 8 * n + STRETCH)
			flush_output();
		out = means->form(v + k, n, out);
	}
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

std::size_t unread() { return static_cast<std::size_t>(end - consumed()); }

void give_back_input()
{
	// Fails on a pipe or a terminal, where nothing can be given back.
	lseek(input_fd, -static_cast<off_t>(unread()), SEEK_CUR);
}
