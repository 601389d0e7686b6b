// SPDX-License-Identifier: ISC
#include <cerrno>
#include <streambuf>

#include <unistd.h>

#include "stream.h"

int read_error;
int write_error;

namespace
{

// Input is read in blocks as large as a pipe holds.  Answers are a small
// share of the bytes, and a small output block lets a failed write stop
// the run soon after the answers it lost.
char input[1 << 16];
char output[1 << 13];

class input_buffer : public std::streambuf
{
protected:
	// Called when all that was read has been consumed.
	int_type underflow() override
	{
		// No answer waits while lca waits: the read may block, so
		// the answers given so far go out first.  After a failed
		// write, nothing more is read.
		if (!flush_output())
			return traits_type::eof();
		const ssize_t n = read(STDIN_FILENO, input, sizeof input);
		if (n <= 0) {
			if (n < 0)
				read_error = errno;
			return traits_type::eof();
		}
		setg(input, input, input + n);
		return traits_type::to_int_type(*gptr());
	}
};

class output_buffer : public std::streambuf
{
public:
	output_buffer() { setp(output, output + sizeof output); }

protected:
	// Writes the block, which may take more than one write; a failed
	// write sets out's badbit, so nothing is written after it.
	int sync() override
	{
		for (const char *p = pbase(); p < pptr();) {
			const ssize_t n = write(STDOUT_FILENO, p, pptr() - p);
			if (n < 0) {
				write_error = errno;
				return -1;
			}
			p += n;
		}
		setp(output, output + sizeof output);
		return 0;
	}

	// Only sputc() and sputn() call this, with a character, when the
	// block is full.
	int_type overflow(int_type c) override
	{
		if (sync() != 0)
			return traits_type::eof();
		return sputc(traits_type::to_char_type(c));
	}
};

input_buffer inbuf;
output_buffer outbuf;

} // namespace

std::istream in(&inbuf);
std::ostream out(&outbuf);

bool flush_output()
{
	return static_cast<bool>(out.flush());
}

void give_back_input()
{
	// Fails on a pipe or a terminal, where nothing can be given back.
	lseek(STDIN_FILENO, -in.rdbuf()->in_avail(), SEEK_CUR);
}
