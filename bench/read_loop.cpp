// SPDX-License-Identifier: ISC
// lca's reading alone: every value of the input read through the layer
// named and summed, with nothing checked, labelled, climbed or written; or,
// with --layers, the names of the layers that this processor runs.
#include <cstdio>
#include <cstring>

#include <unistd.h>

#include "layers.h"
#include "stream.h"

int main(int argc, char **argv)
{
	const layer *means = &best;
	for (int k = 0; k < layer_count; k++) {
		if (argc > 1 && std::strcmp(argv[1], "--layers") == 0 &&
		    layers[k].runs)
			std::printf("%s\n", layers[k].name);
		if (argc > 1 && std::strcmp(argv[1], layers[k].name) == 0)
			means = &layers[k];
	}
	if (argc > 1 && std::strcmp(argv[1], "--layers") == 0)
		return 0;
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
