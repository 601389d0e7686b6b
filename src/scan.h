// SPDX-License-Identifier: ISC
// The scans through the father table that labelling takes, one for each
// kind of processor, each in a file of its own.
#ifndef LCA_SCAN_H
#define LCA_SCAN_H

#include <cstdint>

#include "tree.h"

// The low 16 bits of father[i], for i from 2 to nodes: the scans read this
// narrower copy, twice the entries a compare, and every entry they stop at
// is confirmed on father itself.
extern std::uint16_t father16[MAX_N];

// Entries of the copy to a cache line, and to the block that each scan
// tests with one branch.
enum { LINE = 64 / sizeof(std::uint16_t), BLOCK = 4 * LINE };

// Each scan starts at position i, on a line boundary, and reads whole
// blocks up to nodes: it gives the first position whose entry equals the
// low 16 bits of v, or where the whole blocks end.
int scan_blocks(int v, int i);
int scan_avx2(int v, int i);
int scan_avx512(int v, int i);

struct scan {
	const char *name;
	int (*blocks)(int v, int i);
};

// The fastest scan this processor runs.
scan choose_scan();

// Labels as dfs() does, with the scan given.
void dfs_with(int (*blocks)(int v, int i), int v);

#endif
