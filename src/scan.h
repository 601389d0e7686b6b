// SPDX-License-Identifier: ISC
// The scans through the father table that labelling takes, one for each
// kind of processor, each in a file of its own.
#ifndef LCA_SCAN_H
#define LCA_SCAN_H

// Entries to a cache line.
enum { LINE = 64 / sizeof(int) };

// Each scan starts at position i, on a line boundary, and gives the start
// of the first block of whole lines that holds an entry equal to v, or
// where the whole blocks up to nodes end.
int scan_blocks(int v, int i);
int scan_avx2(int v, int i);
int scan_avx512(int v, int i);

struct scan {
	const char *name;
	int (*blocks)(int v, int i);
};

// The fastest scan this processor runs.
scan choose_scan();

#endif
