// SPDX-License-Identifier: ISC
// lca's reader against the formatted extraction it stands in for: the same
// bytes, read value by value, must store the same, fail the same and
// consume the same, wherever the blocks that bring them end.
#include <cstdio>
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
void expect_as_extraction(const std::string &data, const layer &reader)
{
	const std::vector<Read> want = extraction(data);
	bool lost;
	EXPECT_EQ(lca_reads({data}, want.size(), lost, &reader), want)
	    << reader.name << " " << shown(data);
	EXPECT_FALSE(lost) << reader.name << " " << shown(data);
	for (std::size_t k = 1; k < data.size(); k++) {
		ASSERT_EQ(lca_reads({data.substr(0, k), data.substr(k)},
		                    want.size(), lost, &reader),
		          want)
		    << reader.name << " " << shown(data) << " split after "
		    << k;
		ASSERT_FALSE(lost) << reader.name << " " << shown(data)
		                   << " split after " << k;
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
	    "1x 2", "x1", "1.5", "1,2", "1-2", "3\0 4"s,
	    // eight digits and nine, as the stretches find them
	    "12345678 99999999 00000000 1", "123456789 000000001 1",
	    "1 123456789 2 3"};
	std::vector<std::string> all(std::begin(rows), std::end(rows));
	// Values that start and end on either side of the 32nd and 64th
	// bytes of a stretch, a value a stretch long and runs of white space
	// longer than one.
	// The stretches start after a value read the general way, the
	// first of the block.
	for (int at : {29, 30, 31, 32, 33, 61, 62, 63, 64, 65})
		for (const char *then : {"123 45678 9 x", "-5 6", "12-3 4"})
			all.push_back("1" + std::string(at, ' ') + then);
	all.push_back("1 2 " + std::string(63, '7') + " 2");
	all.push_back("1 " + std::string(63, '0') + "1 2");
	all.push_back("1" + std::string(64, ' ') + "5" +
	              std::string(129, '\n') + "6");
	// A byte with the top bit set whose other bits are a digit or white
	// space, in a stretch of nothing else.
	for (const char *high : {"\xb1", "\xa0", "\x8a"})
		all.push_back("1 2 3 4 5"s + high + " 6" +
		              std::string(60, ' ') + "7 8");
	// Each byte either side of a class, at each place in a word, in a
	// stretch of nothing else but digits and newlines, and more
	// stretches after it.
	for (char c : "\x08\t\r\x0e\x1f !/09:\x7f\x80\x89\xa0\xb0"s) {
		std::string then;
		for (int k = 0; k < 70; k++)
			then += "3\n";
		for (int at = 0; at < 8; at++)
			all.push_back("1\n" + std::string(at, '\n') + "2" + c +
			              then + "4");
	}
	// Values of every length after each white-space character, whose
	// bytes must not be read as digits.
	for (char space : " \t\n\v\f\r"s) {
		std::string data = "1";
		for (int length = 1; length <= 8; length++)
			data += std::string(length, space) +
			        std::string("98765432", length);
		all.push_back(data + space + "1");
	}
	// Groups of values, 8 of five digits or 16 of three, whose last digits
	// lie 119 to 126 bytes apart, their first digits 4 or 2 bytes further:
	// the white space between values repeats every 7 or 15 of them, so
	// that every group found ahead spans as much, wherever it begins.
	// Then a value of nine digits, refused, and whole stretches of plain
	// values after it.
	for (int apart = 119; apart <= 126; apart++)
		for (int digits : {5, 3}) {
			const int period = digits == 5 ? 7 : 15,
			          white = apart - digits * period;
			std::string data = "1";
			for (int k = 0; k < 40; k++)
				data += std::string(
				            white / period +
				                (k % period < white % period),
				            k % 3 ? ' ' : '\n') +
				        std::string(digits, char('1' + k % 9));
			data += " 123456789";
			for (int k = 0; k < 100; k++)
				data += " " + std::to_string(k % 10);
			all.push_back(data);
		}
	// As many one-digit values as a stretch holds, and as a batch found
	// ahead, and either side of each.
	for (int values : {31, 32, 33, 64, AHEAD - STRETCH / 2 - 1,
	                   AHEAD - STRETCH / 2, AHEAD - STRETCH / 2 + 1}) {
		std::string data;
		for (int k = 0; k < values; k++)
			data += std::to_string(k % 10) + "\n";
		all.push_back(data + "-1");
	}

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
		all.push_back(data);
	}

	for (const layer &reader : every_layer("reader"))
		for (const std::string &data : all)
			expect_as_extraction(data, reader);
}

// Plain input, digits and white space, is found ahead, all of it but the
// value at the end of the block, wherever values meet the stretches.
TEST(Reader, FindsPlainValuesAhead)
{
	for (const layer &reader : every_layer())
		for (int at = 0; at <= 70; at++) {
			std::string data = "7" + std::string(at + 1, ' ');
			std::vector<int> want;
			for (int k = 0; k < 40; k++) {
				// The first sixteen and more short, as most
				// values are, the rest of every length; one gap
				// wider than most.
				const int value = static_cast<int>(
				    (k * 2654435761ULL + at) %
				    (k < 20 ? 10000 : 100000000));
				data +=
				    std::to_string(value) +
				    std::string(k == 5 ? 120 : 1 + (k + at) % 4,
				                '\n');
				want.push_back(value);
			}
			data += "5";
			bool lost;
			lca_reads({data}, 1, lost, &reader);
			int count;
			const int *ahead = values_ahead(count);
			EXPECT_EQ(std::vector<int>(ahead, ahead + count), want)
			    << reader.name << " after " << at;
		}
}

// Each reader forms answers as printf("%d\n") does: every length of
// answer, on either side of each power of ten, in runs either side of one
// and two vectors of eight, of single digits alone and mixed, and of
// single digits with the first answer past them, 10.
TEST(Reader, FormsAnswersAsPrintf)
{
	std::vector<int> edges{0, 1, 9};
	for (int power = 10; power <= 1000000; power *= 10)
		edges.insert(edges.end(), {power - 1, power, power + 1});
	edges.push_back(9999999);
	for (const layer &reader : every_layer())
		for (int n = 1; n <= 17; n++)
			for (bool small : {true, false}) {
				std::vector<int> v;
				std::string want;
				for (int k = 0; k < n; k++) {
					v.push_back(small
					                ? k % 11
					                : edges[(k * 7 + n) %
					                        edges.size()]);
					want += std::to_string(v.back()) + "\n";
				}
				std::vector<char> to(8 * n + STRETCH);
				char *end = reader.form(v.data(), n, to.data());
				EXPECT_EQ(std::string(to.data(), end), want)
				    << reader.name << " n=" << n;
			}
}

} // namespace
