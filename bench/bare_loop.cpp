// SPDX-License-Identifier: ISC
// The limit of lca's query phase: its input read and its answers written
// through the same buffers and the same operators, with nothing checked,
// labelled or climbed.  Each pair is answered 1, as a star answers all but
// one pair in a thousand, so that as many bytes go out as from lca.
#include "stream.h"

int main()
{
	int nodes = 0, queries = 0, value = 0;
	in >> nodes >> queries;
	for (int i = 2; i <= nodes; i++)
		in >> value;
	while (queries-- > 0) {
		int x = 0, y = 0;
		in >> x >> y;
		out << 1 << '\n';
	}
	flush_output();
	return 0;
}
