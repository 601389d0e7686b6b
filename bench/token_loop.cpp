// SPDX-License-Identifier: ISC
// The limit of reading: the same bytes read in the same blocks, with the
// values separated by white space counted and none converted.
#include <cstdio>

#include <unistd.h>

static char block[1 << 16];

int main()
{
	long tokens = 0;
	bool after_space = true;
	ssize_t n;
	while ((n = read(STDIN_FILENO, block, sizeof block)) > 0)
		for (ssize_t k = 0; k < n; k++) {
			const char c = block[k];
			const bool space =
			    c == ' ' ||
			    static_cast<unsigned char>(c - '\t') < 5;
			tokens += after_space && !space;
			after_space = space;
		}
	std::printf("%ld\n", tokens);
	return 0;
}
