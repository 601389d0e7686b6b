// SPDX-License-Identifier: ISC
// The scan of the father table that labelling takes, compiled once for each
// layer (see layers.h).
#ifndef LCA_SCAN_H
#define LCA_SCAN_H

#include <cstdint>

#include "tree.h"

// Entries of the copy to a cache line, and to the block that a scan tests
// with one branch.
enum { LINE = 64 / sizeof(std::uint16_t), BLOCK = 4 * LINE };

// The nodes whose scans share a pass: each block is loaded once and
// compared with each of their numbers.
enum { SCANS = 4 };

// The low 16 bits of father[i], for i from 2 to nodes, in whole blocks:
// the scans read this narrower copy, twice the entries a compare, and every
// entry they stop at is confirmed on father itself.
extern std::uint16_t father16[(MAX_N + BLOCK - 1) / BLOCK * BLOCK];

// Reads whole blocks from position i, a block's start, up to the block that
// starts at last: gives the first block that holds any of the count values
// in want, from 1 to SCANS, or last, and sets in hits, a bit an entry, the
// entries of that block that hold one.
using scan_fn = int (*)(const std::uint16_t *want, int count, int i, int last,
                        std::uint64_t *hits);

// Labels as dfs() does, through the scan given.
void dfs_with(scan_fn scan, int v);

#endif
