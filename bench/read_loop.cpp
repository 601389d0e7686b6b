// SPDX-License-Identifier: ISC
// lca's reading alone: every value of the input read through lca's reader,
// its bytes classed by the means named (portable, avx2 or avx512), and
// summed, with nothing checked, labelled, climbed or written.
#include <cstdio>
#include <cstring>

#include <unistd.h>

#include "stream.h"

int main(int argc, char **argv)
{
	classify_fn classify = classify_words;
#if defined(__x86_64__)
	if (argc > 1 && std::strcmp(argv[1], "avx2") == 0)
		classify = classify_avx2;
	if (argc > 1 && std::strcmp(argv[1], "avx512") == 0)
		classify = classify_avx512;
#endif
	open_input(STDIN_FILENO, nullptr, classify);
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
