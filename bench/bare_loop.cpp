// SPDX-License-Identifier: ISC
// The limit of lca's query phase: its input read and its answers written
// by the same reader and writer, with nothing checked, labelled or
// climbed.  Each pair is answered 1, as a star answers all but
// one pair in a thousand, so that as many bytes go out as from lca.
#include <algorithm>

#include <unistd.h>

#include "stream.h"

int main()
{
	static int ones[1 << 12];
	std::fill(ones, ones + sizeof ones / sizeof ones[0], 1);
	open_input(STDIN_FILENO);
	int nodes = 0, queries = 0, value = 0;
	read_int(nodes);
	read_int(queries);
	for (int i = 2; i <= nodes; i++)
		read_int(value);
	// Pairs as lca takes them: those found ahead at once, any other
	// value by value.
	while (queries > 0) {
		int count;
		values_ahead(count);
		const int pairs = std::min(count / 2, queries);
		take_values(2 * pairs);
		write_ints(ones, pairs);
		queries -= pairs;
		if (pairs == 0) {
			int x = 0, y = 0;
			read_int(x);
			read_int(y);
			write_ints(ones, 1);
			queries--;
		}
	}
	flush_output();
	return 0;
}
