// SPDX-License-Identifier: ISC
// The limit of lca's query phase: its input read and its answers written
// by the same reader and writer, with nothing checked, labelled or
// climbed.  Each pair is answered 1, as a star answers all but
// one pair in a thousand, so that as many bytes go out as from lca.
#include "stream.h"

int main()
{
	int nodes = 0, queries = 0, value = 0;
	read_int(nodes);
	read_int(queries);
	for (int i = 2; i <= nodes; i++)
		read_int(value);
	while (queries-- > 0) {
		int x = 0, y = 0;
		read_int(x);
		read_int(y);
		{
			const int one = 1;
			write_ints(&one, 1);
		}
	}
	flush_output();
	return 0;
}
