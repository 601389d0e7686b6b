// SPDX-License-Identifier: ISC
#include "layers.h"

// The processor is asked here alone, once, by the constructors that run
// before main(), which may run before the C library's own.
static bool asked()
{
#if defined(__x86_64__)
	__builtin_cpu_init();
#endif
	return true;
}

#define LCA_HAS(feature) &&__builtin_cpu_supports(#feature)
#define LCA_ENTRY(name)                                                        \
	{#name,      asked() LCA_FEATURES_##name(LCA_HAS),                     \
	 name::scan, name::lockstep,                                           \
	 name::read, name::form},
const layer layers[] = {LCA_LAYERS(LCA_ENTRY)};
const int layer_count = sizeof layers / sizeof layers[0];

// Each layer's features include the plainer layers', so those that run
// come first.
static const layer &fastest()
{
	int running = 0;
	for (int k = 0; k < layer_count; k++)
		running += layers[k].runs;
	return layers[running - 1];
}

const layer &best = fastest();
