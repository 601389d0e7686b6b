#include "tree.h"

#if defined(__x86_64__) && !defined(LCA_PORTABLE_SCAN)
#include <immintrin.h>
#define HAVE_AVX2_SCAN
#endif

int nodes;
int father[MAX_N];
int depth[MAX_N];
int level;

// Labelling scans the whole father table once per node, about 10^10
// comparisons for 100000 nodes, so the scans below test a block of entries
// with no branch per entry.  Each then finds the match within the block, or
// checks the entries left after the last block, one entry at a time.

// The first node at or after position i whose father is v, or nodes + 1.
static int scan_entries(int v, int i)
{
	while (i <= nodes && father[i] != v)
		i++;
	return i;
}

// Written so that any compiler turns the block into vector compares: each
// compare gives all ones on a match, a mask that ORs together as it is.
static int scan_blocks(int v, int i)
{
	enum { BLOCK = 64 };
	for (; i + BLOCK - 1 <= nodes; i += BLOCK) {
		int match = 0;
		for (int k = 0; k < BLOCK; k++)
			match |= -(father[i + k] == v);
		if (match)
			break;
	}
	return scan_entries(v, i);
}

#ifdef HAVE_AVX2_SCAN
// A block of 32 entries costs four compares and one branch, and at that
// rate the scan runs as fast as the table streams in from the level 2 cache.
__attribute__((target("avx2"))) static int scan_avx2(int v, int i)
{
	const __m256i want = _mm256_set1_epi32(v);
	for (; i + 31 <= nodes; i += 32) {
		const __m256i *p =
		    reinterpret_cast<const __m256i *>(father + i);
		__m256i a = _mm256_cmpeq_epi32(_mm256_loadu_si256(p), want);
		__m256i b = _mm256_cmpeq_epi32(_mm256_loadu_si256(p + 1), want);
		__m256i c = _mm256_cmpeq_epi32(_mm256_loadu_si256(p + 2), want);
		__m256i d = _mm256_cmpeq_epi32(_mm256_loadu_si256(p + 3), want);
		__m256i any = _mm256_or_si256(_mm256_or_si256(a, b),
		                              _mm256_or_si256(c, d));
		if (!_mm256_testz_si256(any, any))
			break;
	}
	return scan_entries(v, i);
}
#endif

using scan = int (*)(int v, int i);

static scan choose_scan()
{
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
	const scan next_child = choose_scan();
	const int top = v;
	int i = 2;

	depth[v] = ++level;
	for (;;) {
		i = next_child(v, i);
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
