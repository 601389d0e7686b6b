// SPDX-License-Identifier: ISC
// The scans through the father table that labelling takes, one for each
// kind of processor, each in a file of its own.
#ifndef LCA_SCAN_H
#define LCA_SCAN_H

#include <cstdint>

#include "tree.h"

// Entries of the copy to a cache line, and to the block that each scan
// tests with one branch.
enum { LINE = 64 / sizeof(std::uint16_t), BLOCK = 4 * LINE };

// The nodes whose scans share a pass: each block is loaded once and
// compared with each of their numbers.
enum { SCANS = 4 };

// The low 16 bits of father[i], for i from 2 to nodes, in whole blocks:
// the scans read this narrower copy, twice the entries a compare, and every
// entry they stop at is confirmed on father itself.
extern std::uint16_t father16[(MAX_N + BLOCK - 1) / BLOCK * BLOCK];

// Each scan reads whole blocks from position i, a block's start, up to the
// block that starts at last: it gives the first block that holds any of the
// count values in want, from 1 to SCANS, or last, and sets in mask, a bit
// an entry, the entries of that block that hold one.
using scan_fn = int (*)(const std::uint16_t *want, int count, int i, int last,
                        std::uint64_t *mask);
int scan_blocks(const std::uint16_t *want, int count, int i, int last,
                std::uint64_t *mask);
int scan_avx2(const std::uint16_t *want, int count, int i, int last,
              std::uint64_t *mask);
int scan_avx512(const std::uint16_t *want, int count, int i, int last,
                std::uint64_t *mask);

// A scan of count values, 1 to K, compiled for each count, as each value
// costs its compares in every block.
template <template <int> class Scan, int K = SCANS>
int for_count(const std::uint16_t *want, int count, int i, int last,
              std::uint64_t *mask)
{
	if constexpr (K > 1)
		if (count < K)
			return for_count<Scan, K - 1>(want, count, i, last,
			                              mask);
	return Scan<K>::run(want, i, last, mask);
}

struct scan {
	const char *name;
	scan_fn blocks;
};

// The fastest scan this processor runs.
scan choose_scan();

#endif
