// SPDX-License-Identifier: ISC
// Each phase beside the limit the machine sets it: labelling beside a bare
// sweep that reads the father table once per node, with aligned loads at
// the widest vector width the processor has, and the climb beside a
// pointer chase through a table of the same size.
#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "tree.h"

namespace
{

enum Shape { RANDOM, CHAIN, STAR, SHUFFLED_CHAIN, SORTED_CHAIN };
const char *const shape_name[] = {"random", "chain", "star", "shuffled",
                                  "in-order"};

// Node 1 is the root; the others are numbered in shuffled order, except
// in the sorted chain, where the father of each node is the one before.
void make_tree(Shape shape, int n)
{
	std::mt19937 rng(7);
	std::vector<int> name(n);
	std::iota(name.begin(), name.end(), 1);
	if (shape != SORTED_CHAIN)
		std::shuffle(name.begin() + 1, name.end(), rng);
	std::fill(father, father + MAX_N, 0);
	std::fill(depth, depth + MAX_N, 0);
	nodes = n;
	for (int k = 1; k < n; k++) {
		int f = std::uniform_int_distribution<int>(0, k - 1)(rng);
		if (shape == CHAIN || shape == SHUFFLED_CHAIN ||
		    shape == SORTED_CHAIN)
			f = k - 1;
		if (shape == STAR)
			f = 0;
		father[name[k]] = name[f];
	}
}

// The labelling loop as plainly as it can be written.
void plain_dfs(int v)
{
	depth[v] = ++level;
	for (int i = 2; i <= nodes; i++)
		if (father[i] == v)
			plain_dfs(i);
	level--;
}

// The sweeps read every line of the table up to nodes once per node, and
// compare nothing.  Four accumulators keep the ORs off the critical path.
#if defined(__x86_64__)
__attribute__((target("avx512f"))) void sweep_avx512(int)
{
	for (int v = 1; v <= nodes; v++) {
		__m512i a = _mm512_setzero_si512(), b = a;
		for (int i = 0; i <= nodes; i += 32) {
			a = _mm512_or_si512(a, _mm512_load_si512(father + i));
			b = _mm512_or_si512(b,
			                    _mm512_load_si512(father + i + 16));
		}
		benchmark::DoNotOptimize(_mm512_or_si512(a, b));
	}
}

__attribute__((target("avx2"))) void sweep_avx2(int)
{
	for (int v = 1; v <= nodes; v++) {
		__m256i a = _mm256_setzero_si256(), b = a, c = a, d = a;
		for (int i = 0; i <= nodes; i += 32) {
			const __m256i *p =
			    reinterpret_cast<const __m256i *>(father + i);
			a = _mm256_or_si256(a, _mm256_load_si256(p));
			b = _mm256_or_si256(b, _mm256_load_si256(p + 1));
			c = _mm256_or_si256(c, _mm256_load_si256(p + 2));
			d = _mm256_or_si256(d, _mm256_load_si256(p + 3));
		}
		benchmark::DoNotOptimize(_mm256_or_si256(
		    _mm256_or_si256(a, b), _mm256_or_si256(c, d)));
	}
}
#endif

void sweep_plain(int)
{
	for (int v = 1; v <= nodes; v++) {
		unsigned all = 0;
		for (int i = 0; i <= nodes; i++)
			all |= father[i];
		benchmark::DoNotOptimize(all);
	}
}

struct Sweep {
	const char *width;
	void (*run)(int);
};

Sweep widest_sweep()
{
#if defined(__x86_64__)
	if (__builtin_cpu_supports("avx512f"))
		return {"avx512", sweep_avx512};
	if (__builtin_cpu_supports("avx2"))
		return {"avx2", sweep_avx2};
#endif
	return {"plain", sweep_plain};
}

void label(benchmark::State &state, void (*label)(int), Shape shape, int n)
{
	make_tree(shape, n);
	for (auto _ : state) {
		label(1);
		benchmark::ClobberMemory();
	}
}

// Labels a chain of MAX_N - 1 nodes and gives its deepest node.
int labelled_chain(Shape shape)
{
	make_tree(shape, MAX_N - 1);
	dfs(1);
	return static_cast<int>(std::max_element(depth, depth + MAX_N) - depth);
}

// A query from the deepest node of a chain to its root: every step is one
// dependent load.
void climb_chain(benchmark::State &state, Shape shape)
{
	const int deepest = labelled_chain(shape);
	for (auto _ : state) {
		int x = deepest, y = 1;
		climb(x, y);
		benchmark::DoNotOptimize(x);
	}
	state.counters["steps"] = depth[deepest] - 1;
}

// The same walk as a bare chase through a table of its own.
unsigned next_node[MAX_N];

void chase_chain(benchmark::State &state, Shape shape)
{
	const int deepest = labelled_chain(shape);
	const int steps = depth[deepest] - 1;
	std::copy(father, father + MAX_N, next_node);
	for (auto _ : state) {
		std::size_t p = static_cast<unsigned>(deepest);
		for (int k = steps; k > 0; k--)
			p = next_node[p];
		benchmark::DoNotOptimize(p);
	}
	state.counters["steps"] = steps;
}

void per_rep(benchmark::internal::Benchmark *b, int iterations)
{
	b->Unit(benchmark::kMillisecond)
	    ->Iterations(iterations)
	    ->Repetitions(5)
	    ->ReportAggregatesOnly(true);
}

} // namespace

int main(int argc, char **argv)
{
	const Sweep sweep = widest_sweep();
	for (Shape shape : {RANDOM, CHAIN, STAR}) {
		std::string name =
		    std::string("label/fast/") + shape_name[shape] + "/100000";
		per_rep(benchmark::RegisterBenchmark(name.c_str(), label, dfs,
		                                     shape, 100000),
		        1);
	}
	for (Shape shape : {RANDOM, CHAIN, STAR}) {
		std::string name =
		    std::string("label/plain/") + shape_name[shape] + "/100000";
		per_rep(benchmark::RegisterBenchmark(name.c_str(), label,
		                                     plain_dfs, shape, 100000),
		        1);
	}
	std::string name =
	    std::string("label/sweep-") + sweep.width + "/100000";
	per_rep(benchmark::RegisterBenchmark(name.c_str(), label, sweep.run,
	                                     RANDOM, 100000),
	        1);
	for (Shape shape : {SORTED_CHAIN, SHUFFLED_CHAIN}) {
		name = std::string("climb/") + shape_name[shape];
		per_rep(benchmark::RegisterBenchmark(name.c_str(), climb_chain,
		                                     shape),
		        200);
		name = std::string("chase/") + shape_name[shape];
		per_rep(benchmark::RegisterBenchmark(name.c_str(), chase_chain,
		                                     shape),
		        200);
	}
	for (int n : {1000, 10000, 30000, 100000}) {
		name = "growth/fast/random/" + std::to_string(n);
		benchmark::RegisterBenchmark(name.c_str(), label, dfs, RANDOM,
		                             n)
		    ->Unit(benchmark::kMillisecond)
		    ->MinTime(0.3);
	}
	benchmark::Initialize(&argc, argv);
	benchmark::RunSpecifiedBenchmarks();
	benchmark::Shutdown();
}
