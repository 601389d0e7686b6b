// SPDX-License-Identifier: ISC
// Compiled once for each layer.
#include <benchmark/benchmark.h>

#include "limits.h"
#include "scan.h"

#include "primitives.h"

namespace LCA_LAYER
{
namespace
{
// The scan's compares and nothing more: K values held in registers,
// with no branch but the loop's, in values / K passes, so that each
// entry meets as many values as in a labelling.
template <int K> void compare(const std::uint16_t *table, int count, int values)
{
	for (int v = 1; v <= values; v += K) {
		entries w[K];
#pragma GCC unroll 16
		for (int k = 0; k < K; k++)
			w[k] = splat16(static_cast<std::uint16_t>(v + k));
		auto found = matches<K>(load(table), w);
		for (int i = 0; i + BLOCK <= count; i += BLOCK)
#pragma GCC unroll 16
			for (int k = 0; k < BLOCK; k += ENTRIES)
				found =
				    found | matches<K>(load(table + i + k), w);
		benchmark::DoNotOptimize(found);
	}
}

// Two accumulators keep the ORs off the critical path.
void sweep(const void *table, std::size_t bytes, int times)
{
	const auto *entry = static_cast<const std::uint16_t *>(table);
	const int count = static_cast<int>(bytes / sizeof *entry);
	for (int t = 0; t < times; t++) {
		entries a = load(entry), b = a;
		for (int i = 0; i + 2 * ENTRIES <= count; i += 2 * ENTRIES) {
			a = a | load(entry + i);
			b = b | load(entry + i + ENTRIES);
		}
		benchmark::DoNotOptimize(a | b);
	}
}

} // namespace

extern const limits limit = {{compare<1>, compare<2>, compare<4>, compare<8>},
                             sweep};

} // namespace LCA_LAYER

LCA_END_LAYER
