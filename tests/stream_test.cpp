// SPDX-License-Identifier: ISC
// lca's reader against the formatted extraction it stands in for: the same
// bytes, read value by value, must store the same, fail the same and
// consume the same, wherever the blocks that bring them end.
#include <random>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "reads.h"

// For GoogleTest, beside Read.
static void PrintTo(const Read &r, std::ostream *os)
{
	*os << (r.ok ? "ok " : "failed ") << r.value << " after " << r.consumed;
}

namespace
{

std::string shown(const std::string &data)
{
	std::ostringstream os;
	for (unsigned char c : data)
		if (c >= ' ' && c < 0x7f)
			os << c;
		else
			os << "\\x" << std::hex << static_cast<int>(c)
			   << std::dec;
	return os.str();
}

// Whole, and split in two at every position.
void expect_as_extraction(const std::string &data)
{
	const std::vector<Read> want = extraction(data);
	bool lost;
	EXPECT_EQ(lca_reads({data}, want.size(), lost), want) << shown(data);
	EXPECT_FALSE(lost) << shown(data);
	for (std::size_t k = 1; k < data.size(); k++) {
		ASSERT_EQ(lca_reads({data.substr(0, k), data.substr(k)},
		                    want.size(), lost),
		          want)
		    << shown(data) << " split after " << k;
		ASSERT_FALSE(lost) << shown(data) << " split after " << k;
	}
}

TEST(Reader, ReadsAsTheExtraction)
{
	using namespace std::string_literals;
	const std::string rows[] = {
	    // signs alone, and before white space or another sign
	    "+", "-", "+ 1", "- 1", "+-1", "-+1", "--1", "1 + 2",
	    // leading zeros
	    "007", "-0", "+0", "0000000000000000000000000012",
	    // the limits, one past each and ten times past, both signs, with
	    // and without leading zeros
	    "2147483647", "2147483648", "-2147483648", "-2147483649",
	    "+2147483647 -2147483648 7", "002147483648", "-002147483649",
	    "21474836470", "-21474836470", "-21474836480", "+21474836480",
	    "4294967295", "-4294967295", "4294967296 5", "-4294967297",
	    "0004294967296", "18446744073709551617",
	    std::string(1000, '9') + " 1", "-" + std::string(999, '0') + "1",
	    // each white-space character, and the bytes around them
	    " \t\n\v\f\r1 2", "\x08 1", "\x0e 1", "\x1f 1", "! 1", "\0 1"s,
	    "\xa0 1",
	    // the bytes around the digits and the signs
	    "1/2", "1:2", "/1", ":1", "*1", ",1", ".1", "-/1", "+:1",
	    // the end of input inside and after a value, and after space
	    "", " ", "12", "12 ", "1 2", " 3 \n",
	    // what stops a value
	    "1x 2", "x1", "1.5", "1,2", "1-2", "3\0 4"s};
	for (const std::string &data : rows)
		expect_as_extraction(data);

	std::mt19937 rng(8);
	// Each class the reader tells apart, and the bytes on either side.
	const std::string alphabet =
	    "0123456789/:+-*,. \t\n\v\f\r\x08\x0e\x1f!\xa0x"s + '\0';
	std::uniform_int_distribution<std::size_t> length(0, 24),
	    pick(0, alphabet.size() - 1);
	for (int k = 0; k < 2000; k++) {
		std::string data(length(rng), ' ');
		for (char &c : data)
			c = alphabet[pick(rng)];
		expect_as_extraction(data);
	}
}

} // namespace
