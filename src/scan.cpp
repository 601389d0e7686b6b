// SPDX-License-Identifier: ISC
#include "scan.h"
#include "tree.h"

// LCA_PORTABLE_SCAN and LCA_NO_AVX512 leave out the faster scans, so that
// the tests can reach the slower ones on any processor.
#if defined(__x86_64__) && !defined(LCA_PORTABLE_SCAN)
#define HAVE_AVX2_SCAN
#ifndef LCA_NO_AVX512
#define HAVE_AVX512_SCAN
#endif
#endif

// Written so that any compiler turns the block into vector compares: each
// compare gives all ones on a match, a mask that ORs together as it is.
int scan_blocks(int v, int i)
{
	enum { BLOCK = 4 * LINE };
	for (; i + BLOCK - 1 <= nodes; i += BLOCK) {
		int match = 0;
		for (int k = 0; k < BLOCK; k++)
			match |= -(father[i + k] == v);
		if (match)
			break;
	}
	return i;
}

// Each choice is a line that runs on every processor, so that the suite
// covers it wherever it runs.
scan choose_scan()
{
	scan s = {"portable", scan_blocks};
#ifdef HAVE_AVX2_SCAN
	s = __builtin_cpu_supports("avx2") ? scan{"avx2", scan_avx2} : s;
#endif
#ifdef HAVE_AVX512_SCAN
	s = __builtin_cpu_supports("avx512f") ? scan{"avx512", scan_avx512} : s;
#endif
	return s;
}
