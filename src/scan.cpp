// SPDX-License-Identifier: ISC
#include "scan.h"

alignas(64) std::uint16_t father16[(MAX_N + BLOCK - 1) / BLOCK * BLOCK];

namespace
{

// Written so that any compiler turns the block into vector compares: each
// compare gives all ones on a match, a mask that ORs together as it is;
// only the block that holds a match is compared again, entry by entry.
template <int K> struct portable {
	static int run(const std::uint16_t *want, int i, int last,
	               std::uint64_t *mask)
	{
		for (;; i += BLOCK) {
			// A pass over the block a value: a compiler that
			// vectorizes the passes as one loop would compare one
			// entry at a time.
			std::uint16_t any = 0;
#pragma GCC unroll 16
			for (int s = 0; s < K; s++) {
				std::uint16_t match = 0;
#pragma GCC unroll 16
				for (int k = 0; k < BLOCK; k++)
					match |= static_cast<std::uint16_t>(
					    -(father16[i + k] == want[s]));
				any |= match;
			}
			if (any || i == last)
				break;
		}
		for (int w = 0; w < BLOCK / 64; w++) {
			mask[w] = 0;
			for (int k = 0; k < 64; k++)
				for (int s = 0; s < K; s++)
					mask[w] |=
					    std::uint64_t{
					        father16[i + 64 * w + k] ==
					        want[s]}
					    << k;
		}
		return i;
	}
};

} // namespace

int scan_blocks(const std::uint16_t *want, int count, int i, int last,
                std::uint64_t *mask)
{
	return for_count<portable>(want, count, i, last, mask);
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
