// SPDX-License-Identifier: ISC
#include "scan.h"

alignas(64) std::uint16_t father16[MAX_N];

// Written so that any compiler turns the block into vector compares: each
// compare gives all ones on a match, a mask that ORs together as it is;
// only a block that holds a match is searched entry by entry.
int scan_blocks(int v, int i)
{
	const std::uint16_t want = static_cast<std::uint16_t>(v);
	for (; i + BLOCK - 1 <= nodes; i += BLOCK) {
		std::uint16_t match = 0;
		for (int k = 0; k < BLOCK; k++)
			match |= static_cast<std::uint16_t>(
			    -(father16[i + k] == want));
		if (match) {
			while (father16[i] != want)
				i++;
			return i;
		}
	}
	return i;
}

// Each choice is a line that runs on every processor, so that the suite
// covers it wherever it runs.
scan choose_scan()
{
	scan s = {"portable", scan_blocks};
#if defined(__x86_64__)
	s = __builtin_cpu_supports("avx2") ? scan{"avx2", scan_avx2} : s;
	s = __builtin_cpu_supports("avx512bw") ? scan{"avx512", scan_avx512}
	                                       : s;
#endif
	return s;
}
