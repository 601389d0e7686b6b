// SPDX-License-Identifier: ISC
// lca's reading alone: every value of the input read through the reader
// named (portable, avx2 or avx512) and summed, with nothing checked,
// labelled, climbed or written.
#include <cstdio>
#include <cstring>

#include <unistd.h>

#include "find.h"
#include "stream.h"

int main(int argc, char **argv)
{
	const reader *means = &portable_reader;
#if defined(__x86_64__)
	if (argc > 1 && std::strcmp(argv[1], "avx2") == 0)
		means = &avx2_reader;
	if (argc > 1 && std::strcmp(argv[1], "avx512") == 0)
		means = &avx512_reader;
#endif
	open_input(STDIN_FILENO, nullptr, means);
	long sum = 0;
	for (;;) {
		int count, value;
		const int *ahead = values_ahead(count);
		for (int k = 0; k < count; k++)
			sum += ahead[k];
		take_values(count);
		if (count > 0)
			continue;
		if (!read_int(value))
			break;
		sum += value;
	}
	std::printf("%ld\n", sum);
	return 0;
}
