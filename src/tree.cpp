// SPDX-License-Identifier: ISC
#include <algorithm>

#include "tree.h"

// LCA_PORTABLE_SCAN and LCA_NO_AVX512 leave out the faster scans, so that
// the tests can reach the slower ones on any processor.
#if defined(__x86_64__) && !defined(LCA_PORTABLE_SCAN)
#include <immintrin.h>
#define HAVE_AVX2_SCAN
#ifndef LCA_NO_AVX512
#define HAVE_AVX512_SCAN
#endif
#endif

int nodes;
// On a cache-line boundary, so that the scans below read whole lines.
alignas(64) int father[MAX_N];
int depth[MAX_N];
int level;

// Labelling scans the whole father table once per node, about 10^10
// comparisons for 100000 nodes, so the block scans below test whole cache
// lines with no branch per entry.  Each starts on a line boundary and gives
// the start of the first block that holds a match, or where the whole
// blocks end; next_child() checks the entries around them one at a time.

enum { LINE = 64 / sizeof(int) };

// The first position from i up to end whose father is v, or end.
static int scan_entries(int v, int i, int end)
{
	while (i < end && father[i] != v)
		i++;
	return i;
}

// Written so that any compiler turns the block into vector compares: each
// compare gives all ones on a match, a mask that ORs together as it is.
static int scan_blocks(int v, int i)
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

#ifdef HAVE_AVX2_SCAN
// A block of two lines costs four compares and one branch, and at that
// rate the scan runs as fast as the table streams in from the level 2 cache.
__attribute__((target("avx2"))) static int scan_avx2(int v, int i)
{
	const __m256i want = _mm256_set1_epi32(v);
	for (; i + 2 * LINE - 1 <= nodes; i += 2 * LINE) {
		const __m256i *p =
		    reinterpret_cast<const __m256i *>(father + i);
		__m256i a = _mm256_cmpeq_epi32(_mm256_load_si256(p), want);
		__m256i b = _mm256_cmpeq_epi32(_mm256_load_si256(p + 1), want);
		__m256i c = _mm256_cmpeq_epi32(_mm256_load_si256(p + 2), want);
		__m256i d = _mm256_cmpeq_epi32(_mm256_load_si256(p + 3), want);
		__m256i any = _mm256_or_si256(_mm256_or_si256(a, b),
		                              _mm256_or_si256(c, d));
		if (!_mm256_testz_si256(any, any))
			break;
	}
	return i;
}
#endif

#ifdef HAVE_AVX512_SCAN
// AVX-512 compares a whole line at a time into a mask; a block of four
// lines costs four compares, three mask ORs and one branch.
__attribute__((target("avx512f"))) static int scan_avx512(int v, int i)
{
	const __m512i want = _mm512_set1_epi32(v);
	for (; i + 4 * LINE - 1 <= nodes; i += 4 * LINE) {
		const __m512i *p =
		    reinterpret_cast<const __m512i *>(father + i);
		__mmask16 a =
		    _mm512_cmpeq_epi32_mask(_mm512_load_si512(p), want);
		__mmask16 b =
		    _mm512_cmpeq_epi32_mask(_mm512_load_si512(p + 1), want);
		__mmask16 c =
		    _mm512_cmpeq_epi32_mask(_mm512_load_si512(p + 2), want);
		__mmask16 d =
		    _mm512_cmpeq_epi32_mask(_mm512_load_si512(p + 3), want);
		if (!_mm512_kortestz(_mm512_kor(a, b), _mm512_kor(c, d)))
			break;
	}
	return i;
}
#endif

using scan = int (*)(int v, int i);

// The first node at or after position i whose father is v, or nodes + 1:
// the entries up to the first line boundary one at a time, then whole
// blocks, then the entries from the block that stopped.
static int next_child(scan blocks, int v, int i)
{
	const int line = (i + LINE - 1) / LINE * LINE;
	i = scan_entries(v, i, std::min(line, nodes + 1));
	if (i == line)
		i = blocks(v, i);
	return scan_entries(v, i, nodes + 1);
}

static scan choose_scan()
{
#ifdef HAVE_AVX512_SCAN
	if (__builtin_cpu_supports("avx512f"))
		return scan_avx512;
#endif
#ifdef HAVE_AVX2_SCAN
	if (__builtin_cpu_supports("avx2"))
		return scan_avx2;
#endif
	return scan_blocks;
}

// The descent goes back up through father[] rather than returning from a
// recursive call, so its depth costs no stack.  A child c was found at
// position c of its father's scan, which therefore goes on from c + 1.
void dfs(int v)
{
	const scan blocks = choose_scan();
	const int top = v;
	int i = 2;

	depth[v] = ++level;
	for (;;) {
		i = next_child(blocks, v, i);
		if (i <= nodes) {
			v = i;
			i = 2;
			depth[v] = ++level;
		} else {
			level--;
			if (v == top)
				return;
			i = v + 1;
			v = father[v];
		}
	}
}
