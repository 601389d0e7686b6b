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
enum { BLOCK = 1 << 16, OUTPUT = 1 << 13 };
// Values are found a stretch at a time.  After the input block come the
// byte that ends it and room for a stretch loaded at any position up to
// that one; after the output block, room for the eight bytes that each
// answer's digits are stored as.
enum { STRETCH = 64 };
static_assert(STRETCH == 64, "a stretch's bytes are the bits of a word");
static char input[BLOCK + STRETCH];
static char output[OUTPUT + 8];

// Values found ahead of the reads that take them, from next on: taken of
// them have been read, of found, and past is the byte after the last.  A
// stretch holds at most STRETCH / 2 values, so there is room for one
// whenever found is below AHEAD - STRETCH / 2.
enum { AHEAD = 256 };
static int ahead[AHEAD];
static int taken, found;
static char *past;

static int input_fd;
static void (*before_read)();
static classify_fn classify = classify_words;
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

void open_input(int fd, void (*hook)(), classify_fn classes)
{
	input_fd = fd;
	before_read = hook;
	classify = classes;
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

// The top bit of each byte of flags, gathered into the low eight bits, the
// lowest byte's lowest: the multiply moves each byte's bit to a place of
// its own in the top byte, with no carries.
static unsigned gather(std::uint64_t flags)
{
	return static_cast<unsigned>((flags >> 7) * 0x0102040810204080 >> 56);
}

// Eight bytes at a time: with each byte's top bit cleared, adding 128 - c
// sets the top bit of those at least c, and no byte carries into the next;
// a byte whose top bit was set is neither digit nor white space.
void classify_words(const char *stretch, std::uint64_t &digits,
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

// Each choice is a line that runs on every processor, so that the suite
// covers it wherever it runs.
reader choose_reader()
{
	reader r = {"portable", classify_words};
#if defined(__x86_64__)
	const reader avx2 = {"avx2", classify_avx2},
	             avx512 = {"avx512", classify_avx512};
	r = __builtin_cpu_supports("avx2") ? avx2 : r;
	r = __builtin_cpu_supports("avx512bw") ? avx512 : r;
#endif
	return r;
}

// The value of the length digits at p, from one to eight.  The eight bytes
// are loaded as they lie in memory, the first the lowest, each less '0';
// borrows run upward, into the bytes after the digits, which the shift
// drops.  Shifted to the top, the digits read as eight with leading zeros,
// the first in the lowest byte.  Each byte then takes ten times itself
// plus the next, so that bytes 0, 2, 4 and 6 hold the four two-digit
// pairs; one pair of multiplies puts each pair in its place and sums them
// in the top half of the product.
static int digits_value(const char *p, std::uint64_t length)
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

// Finds the values from next on that the stretches decide, and says
// whether there were any: unsigned, of one to eight digits, each followed
// by white space, up to the first byte that is neither digit nor white
// space.  *end is such a byte, so every value found is complete.  The
// bits of a stretch give where its values start and end, with no test a
// byte; a value that runs past the stretch starts the next one.  The rest
// is left to read_any_int().
[[gnu::noinline]] static bool find_values()
{
	if (found > 0)
		next = past;
	taken = found = 0;
	if (stopped)
		return false;
	for (char *p = next; found < AHEAD - STRETCH / 2;) {
		std::uint64_t digits, spaces;
		classify(p, digits, spaces);
		const std::uint64_t other = ~(digits | spaces);
		// The bytes before the first that is neither.
		const std::uint64_t decided = (other & (0 - other)) - 1;
		const std::uint64_t d = digits & decided;
		std::uint64_t starts = d & ~(d << 1),
		              ends = d & ~(d >> 1) & (decided >> 1);
		// Where a run of nine digits or more starts, the values before
		// it are found, and the rest left.
		std::uint64_t nine = d & d >> 1;
		nine &= nine >> 2;
		nine &= nine >> 4;
		nine &= d >> 8;
		ends &= (nine & (0 - nine)) - 1;
		if (ends != 0)
			past = p + 64 - __builtin_clzll(ends);
		for (; ends != 0; ends &= ends - 1, starts &= starts - 1) {
			const std::uint64_t first = __builtin_ctzll(starts),
			                    after = __builtin_ctzll(ends) + 1;
			ahead[found++] = digits_value(p + first, after - first);
		}
		if (nine != 0 || other != 0)
			return found > 0;
		// A value left runs to the stretch's end, and is shorter than
		// nine digits, so that it starts past the stretch's start.
		p += starts != 0 ? __builtin_ctzll(starts) : STRETCH;
	}
	return true;
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

// The first byte not consumed: past the values taken of those found,
// each after white space.
static const char *consumed()
{
	if (taken == found)
		return found > 0 ? past : next;
	const char *p = next;
	for (int k = 0; k < taken; k++) {
		while (is_space(*p))
			p++;
		while (is_digit(*p))
			p++;
	}
	return p;
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
