// SPDX-License-Identifier: ISC
// The layers that a test runs through, for the unit tests, the fuzzing
// target and the benchmark.
#ifndef LCA_LAYERED_H
#define LCA_LAYERED_H

#include <cstdio>
#include <vector>

#include "layers.h"

// Every layer built that this processor runs; with what, the mechanism a
// test runs through them, each is named in the log as tested or skipped.
inline std::vector<layer> every_layer(const char *what = nullptr)
{
	std::vector<layer> run;
	for (int k = 0; k < layer_count; k++) {
		if (what != nullptr)
			std::printf("%s the %s %s\n",
			            layers[k].runs ? "tested"
			                           : "skipped, unable to run,",
			            layers[k].name, what);
		if (layers[k].runs)
			run.push_back(layers[k]);
	}
	return run;
}

#endif
