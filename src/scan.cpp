// SPDX-License-Identifier: ISC
// Compiled once for each layer.
#include "scan.h"

#include "primitives.h"

namespace LCA_LAYER
{
namespace
{

// A scan of K values, compiled for each K, as each value costs its
// compares in every block.  The loops over values and vectors are unrolled
// at any optimization level, so that every vector stays in a register.
template <int K> struct pass {
	// Whether the block at i holds any of the values w.
	static bool holds(int i, const entries *w)
	{
		auto found = matches<K>(load(father16 + i), w);
#pragma GCC unroll 16
		for (int k = ENTRIES; k < BLOCK; k += ENTRIES)
			found = found | matches<K>(load(father16 + i + k), w);
		return !none(found);
	}

	// Kept apart from run(), whose compares the compiler would otherwise
	// hold, all of them, in case the loop ends.
	[[gnu::noinline]] static void mark(int i, const entries *w,
	                                   std::uint64_t *hits)
	{
		hits[0] = hits[1] = 0;
#pragma GCC unroll 16
		for (int k = 0; k < BLOCK; k += ENTRIES)
			hits[k / 64] |=
			    bits16(matches<K>(load(father16 + i + k), w))
			    << k % 64;
	}

	static int first_block(const std::uint16_t *want, int i, int last,
	                       std::uint64_t *hits)
	{
		entries w[K];
#pragma GCC unroll 16
		for (int s = 0; s < K; s++)
			w[s] = splat16(want[s]);
		while (!holds(i, w) && i != last)
			i += BLOCK;
		mark(i, w, hits);
		return i;
	}
};

template <int K>
int with(const std::uint16_t *want, int count, int i, int last,
         std::uint64_t *hits)
{
	if constexpr (K > 1)
		if (count < K)
			return with<K - 1>(want, count, i, last, hits);
	return pass<K>::first_block(want, i, last, hits);
}

} // namespace

int scan(const std::uint16_t *want, int count, int i, int last,
         std::uint64_t *hits)
{
	static_assert(BLOCK == 128, "a block's hits are two words");
	return with<SCANS>(want, count, i, last, hits);
}

} // namespace LCA_LAYER

LCA_END_LAYER
