// SPDX-License-Identifier: ISC
// The limits of labelling's work at each layer's width, compiled once for
// each layer as the scan is.
#ifndef LCA_LIMITS_H
#define LCA_LIMITS_H

#include <cstddef>
#include <cstdint>

#include "layers.h"

struct limits {
	// The compares of a labelling of values nodes, K at a time, with
	// every block of entries of table: for K of 1, 2, 4 and 8.
	void (*compare[4])(const std::uint16_t *table, int entries, int values);
	// Loads every block of a table of bytes, times times, and compares
	// nothing.
	void (*sweep)(const void *table, std::size_t bytes, int times);
};

#define LCA_LIMITS(name)                                                       \
	namespace name                                                         \
	{                                                                      \
	extern const limits limit;                                             \
	}
LCA_LAYERS(LCA_LIMITS)
#undef LCA_LIMITS

#endif
