// SPDX-License-Identifier: ISC
// Each phase beside the limit the machine sets it: labelling beside a bare
// sweep that reads the father table once per node, with aligned loads at
// the widest vector width the processor has; the climb of one query beside
// one pointer chase through a table of the same size, and the climbs of
// many queries together beside as many chases as the processor keeps in
// flight at once.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "scan.h"
#include "tree.h"
#include "trees.h"

namespace
{

// The tree of the shape named, in father, with its labels cleared.
void make(const char *shape, int n)
{
	std::mt19937 rng(7);
	const std::vector<int> fathers = make_tree(shape, n, rng);
	std::fill(father, father + MAX_N, 0);
	std::fill(depth, depth + MAX_N, 0);
	std::copy(fathers.begin(), fathers.end(), father);
	nodes = n;
}

// The labelling loop as plainly as it can be written.
int level;

void plain_dfs(int v)
{
	depth[v] = ++level;
	for (int i = 2; i <= nodes; i++)
		if (father[i] == v)
			plain_dfs(i);
	level--;
}

// The sweeps read every whole pair of lines of a table once per node, and
// compare nothing.  Several accumulators keep the ORs off the critical
// path.
#if defined(__x86_64__)
__attribute__((target("avx512f"))) void sweep_avx512(const char *table,
                                                     std::size_t bytes)
{
	for (int v = 1; v <= nodes; v++) {
		__m512i a = _mm512_setzero_si512(), b = a;
		for (std::size_t i = 0; i + 128 <= bytes; i += 128) {
			a = _mm512_or_si512(a, _mm512_load_si512(table + i));
			b = _mm512_or_si512(b,
			                    _mm512_load_si512(table + i + 64));
		}
		benchmark::DoNotOptimize(_mm512_or_si512(a, b));
	}
}

__attribute__((target("avx2"))) void sweep_avx2(const char *table,
                                                std::size_t bytes)
{
	for (int v = 1; v <= nodes; v++) {
		__m256i a = _mm256_setzero_si256(), b = a, c = a, d = a;
		for (std::size_t i = 0; i + 128 <= bytes; i += 128) {
			const __m256i *p =
			    reinterpret_cast<const __m256i *>(table + i);
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

void sweep_plain(const char *table, std::size_t bytes)
{
	for (int v = 1; v <= nodes; v++) {
		std::uint64_t all = 0;
		for (std::size_t i = 0; i + 8 <= bytes; i += 8) {
			std::uint64_t word;
			std::memcpy(&word, table + i, sizeof word);
			all |= word;
		}
		benchmark::DoNotOptimize(all);
	}
}

// The work itself and nothing more: K values held in registers compared
// with every entry of a 16-bit table as long as father, with no branch but
// the loop's, in nodes / K passes, so that each entry meets as many values
// as in a labelling.  Each compare's result goes into an accumulator of
// its value's, so that no value waits for another.
#if defined(__x86_64__)
template <int K>
__attribute__((target("avx512f,avx512bw"))) void
compare_avx512(const std::uint16_t *table, int entries)
{
	for (int v = 1; v <= nodes; v += K) {
		__m512i w[K];
		__mmask32 differ[K];
		for (int k = 0; k < K; k++) {
			w[k] = _mm512_set1_epi16(static_cast<short>(v + k));
			differ[k] = ~0u;
		}
		for (int i = 0; i + 128 <= entries; i += 128) {
			const __m512i *p =
			    reinterpret_cast<const __m512i *>(table + i);
			const __m512i a = _mm512_load_si512(p),
			              b = _mm512_load_si512(p + 1),
			              c = _mm512_load_si512(p + 2),
			              d = _mm512_load_si512(p + 3);
			// A block's compares chain as masks of the entries
			// that differ, as few operations as a compare each.
			for (int k = 0; k < K; k++)
				differ[k] &= _mm512_mask_cmpneq_epi16_mask(
				    _mm512_mask_cmpneq_epi16_mask(
				        _mm512_mask_cmpneq_epi16_mask(
				            _mm512_cmpneq_epi16_mask(a, w[k]),
				            b, w[k]),
				        c, w[k]),
				    d, w[k]);
		}
		for (int k = 0; k < K; k++)
			benchmark::DoNotOptimize(differ[k]);
	}
}

template <int K>
__attribute__((target("avx2"))) void compare_avx2(const std::uint16_t *table,
                                                  int entries)
{
	for (int v = 1; v <= nodes; v += K) {
		__m256i w[K], any[K];
		for (int k = 0; k < K; k++) {
			w[k] = _mm256_set1_epi16(static_cast<short>(v + k));
			any[k] = _mm256_setzero_si256();
		}
		for (int i = 0; i + 128 <= entries; i += 128) {
			const __m256i *p =
			    reinterpret_cast<const __m256i *>(table + i);
			__m256i e[8];
			for (int j = 0; j < 8; j++)
				e[j] = _mm256_load_si256(p + j);
			for (int k = 0; k < K; k++) {
				__m256i m[4];
				for (int j = 0; j < 4; j++)
					m[j] = _mm256_or_si256(
					    _mm256_cmpeq_epi16(e[2 * j], w[k]),
					    _mm256_cmpeq_epi16(e[2 * j + 1],
					                       w[k]));
				any[k] = _mm256_or_si256(
				    any[k], _mm256_or_si256(
				                _mm256_or_si256(m[0], m[1]),
				                _mm256_or_si256(m[2], m[3])));
			}
		}
		for (int k = 0; k < K; k++)
			benchmark::DoNotOptimize(any[k]);
	}
}
#endif

template <int K> void compare_plain(const std::uint16_t *table, int entries)
{
	for (int v = 1; v <= nodes; v += K) {
		std::uint16_t any[K] = {};
		for (int i = 0; i < entries; i++)
			for (int k = 0; k < K; k++)
				any[k] |= static_cast<std::uint16_t>(
				    -(table[i] ==
				      static_cast<std::uint16_t>(v + k)));
		for (int k = 0; k < K; k++)
			benchmark::DoNotOptimize(any[k]);
	}
}

struct Sweep {
	const char *width;
	void (*run)(const char *table, std::size_t bytes);
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

// The bare sweep of father, and of a table of 16-bit entries as long.
void sweep_father(int)
{
	widest_sweep().run(reinterpret_cast<const char *>(father),
	                   (nodes + 1) * sizeof father[0]);
}

void sweep_father16(int)
{
	widest_sweep().run(reinterpret_cast<const char *>(father16),
	                   (nodes + 1) * sizeof father16[0]);
}

// Labelling through the scan that processors without AVX2 take, and
// through the AVX2 scan.
void portable_dfs(int v)
{
	dfs_with(scan_blocks, v);
}

#if defined(__x86_64__)
void avx2_dfs(int v)
{
	dfs_with(scan_avx2, v);
}
#endif

// The tree made, then the compares of a labelling with K values at once.
void compare(benchmark::State &state,
             void (*run)(const std::uint16_t *table, int entries), int n)
{
	make("random", n);
	dfs(1);
	for (auto _ : state)
		run(father16, (nodes + 1) / 128 * 128);
}

void label(benchmark::State &state, void (*label)(int), const char *shape,
           int n)
{
	make(shape, n);
	for (auto _ : state) {
		label(1);
		benchmark::ClobberMemory();
	}
}

// Labels a chain of n nodes and gives its deepest node.
int labelled_chain(const char *shape, int n)
{
	make(shape, n);
	dfs(1);
	return static_cast<int>(std::max_element(depth, depth + MAX_N) - depth);
}

// A query from the deepest node of a chain to its root: every step is one
// dependent load.
void climb_chain(benchmark::State &state, const char *shape, int n)
{
	const int deepest = labelled_chain(shape, n);
	for (auto _ : state) {
		int x = deepest, y = 1;
		climb(x, y);
		benchmark::DoNotOptimize(x);
	}
	state.counters["steps"] = depth[deepest] - 1;
}

// The same walk as a bare chase through a table of its own.
unsigned next_node[MAX_N];

void chase_chain(benchmark::State &state, const char *shape, int n)
{
	const int deepest = labelled_chain(shape, n);
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

// Random pairs on a chain, climbed together as the driver climbs them; a
// step is one father link followed.
void climb_all_chain(benchmark::State &state, const char *shape, int n)
{
	labelled_chain(shape, n);
	std::mt19937 rng(9);
	std::uniform_int_distribution<int> node(1, n);
	std::vector<int> x(1024), y(x.size()), dx(x.size()), dy(x.size());
	long steps = 0;
	for (std::size_t k = 0; k < x.size(); k++) {
		x[k] = node(rng);
		y[k] = node(rng);
		dx[k] = depth[x[k]];
		dy[k] = depth[y[k]];
		int a = x[k], b = y[k];
		climb(a, b);
		steps += depth[x[k]] + depth[y[k]] - 2 * depth[a];
	}
	for (auto _ : state) {
		std::vector<int> cx = x, cy = y;
		climb_all(cx.data(), cy.data(), dx.data(), dy.data(),
		          static_cast<int>(cx.size()));
		benchmark::DoNotOptimize(cx.data());
	}
	state.counters["steps"] = static_cast<double>(steps);
}

// K chases advanced together through a table of the same size, made a
// cycle so that none ends, from K places spread along the chain: the most
// dependent loads a second that the processor can have in flight.
template <int K>
void chases_chain(benchmark::State &state, const char *shape, int n)
{
	const int deepest = labelled_chain(shape, n);
	std::copy(father, father + MAX_N, next_node);
	next_node[1] = static_cast<unsigned>(deepest);
	std::size_t start[K] = {static_cast<unsigned>(deepest)};
	for (int k = 1; k < K; k++) {
		start[k] = start[k - 1];
		for (int s = n / K; s > 0; s--)
			start[k] = next_node[start[k]];
	}
	const long steps = 10L * n / K;
	for (auto _ : state) {
		std::size_t p[K];
		std::copy(start, start + K, p);
		for (long s = steps; s > 0; s--)
#pragma GCC unroll 32
			for (int k = 0; k < K; k++)
				p[k] = next_node[p[k]];
		for (int k = 0; k < K; k++)
			benchmark::DoNotOptimize(p[k]);
	}
	state.counters["steps"] = static_cast<double>(steps * K);
}

// A chain of dependent 64-bit multiplies, three cycles each on x86-64,
// which gives the clock the core really runs at.
void multiplies(benchmark::State &state)
{
	const long count = state.range(0);
	std::uint64_t x = 1, k = 0x9e3779b97f4a7c15;
	benchmark::DoNotOptimize(k);
	for (auto _ : state) {
		for (long i = 0; i < count; i++) {
			x *= k;
			asm("" : "+r"(x));
		}
		benchmark::DoNotOptimize(x);
	}
	state.counters["multiplies"] = static_cast<double>(count);
}

} // namespace

// --quick runs each benchmark once, on small trees, to see that it works.
int main(int argc, char **argv)
{
	const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
	if (quick)
		argv[1] = argv[0], argc--, argv++;
	const int n = quick ? 2000 : 100000;
	const auto once = [quick](benchmark::internal::Benchmark *b,
	                          int iterations) {
		b->Unit(benchmark::kMillisecond)
		    ->Iterations(quick ? 1 : iterations)
		    ->Repetitions(quick ? 1 : 5)
		    ->ReportAggregatesOnly(!quick);
	};
	const Sweep sweep = widest_sweep();
#if defined(__x86_64__)
	const bool avx512 = __builtin_cpu_supports("avx512bw") != 0,
	           avx2 = __builtin_cpu_supports("avx2") != 0;
#endif
	for (const char *shape : {"random", "chain", "star"}) {
		std::string size = "/" + std::to_string(n);
		once(benchmark::RegisterBenchmark(
		         ("label/fast/" + (shape + size)).c_str(), label, dfs,
		         shape, n),
		     1);
		once(benchmark::RegisterBenchmark(
		         ("label/plain/" + (shape + size)).c_str(), label,
		         plain_dfs, shape, n),
		     1);
	}
	// Over the whole table even when quick, so that a sanitizer sees the
	// sweeps reach its end.
	const struct {
		const char *name;
		void (*run)(int);
	} sweeps[] = {{"label/sweep32-", sweep_father},
	              {"label/sweep16-", sweep_father16}};
	for (const auto &s : sweeps)
		once(benchmark::RegisterBenchmark(
		         (s.name + std::string(sweep.width)).c_str(), label,
		         s.run, "random", MAX_N - 1),
		     1);
	struct Scan {
		const char *name;
		void (*label)(int);
		bool runs;
	};
	const Scan others[] = {
#if defined(__x86_64__)
		{"avx2", avx2_dfs, __builtin_cpu_supports("avx2") != 0},
#endif
		{"portable", portable_dfs, true}
	};
	for (const Scan &scan : others)
		for (const char *shape : {"random", "chain", "star"})
			if (scan.runs)
				once(benchmark::RegisterBenchmark(
				         ("label/" + std::string(scan.name) +
				          "/" + shape + "/" + std::to_string(n))
				             .c_str(),
				         label, scan.label, shape, n),
				     1);
	struct Compare {
		const char *width;
		int values;
		void (*run)(const std::uint16_t *table, int entries);
		bool runs;
	};
	const Compare compares[] = {
#if defined(__x86_64__)
		{"avx512", 1, compare_avx512<1>, avx512},
		{"avx512", 2, compare_avx512<2>, avx512},
		{"avx512", 4, compare_avx512<4>, avx512},
		{"avx512", 8, compare_avx512<8>, avx512},
		{"avx2", 1, compare_avx2<1>, avx2},
		{"avx2", 2, compare_avx2<2>, avx2},
		{"avx2", 4, compare_avx2<4>, avx2},
		{"avx2", 8, compare_avx2<8>, avx2},
#endif
		{"plain", 1, compare_plain<1>, true},
		{"plain", 2, compare_plain<2>, true},
		{"plain", 4, compare_plain<4>, true},
		{"plain", 8, compare_plain<8>, true}
	};
	for (const Compare &c : compares)
		if (c.runs)
			once(benchmark::RegisterBenchmark(
			         ("label/compare-" + std::string(c.width) +
			          "/" + std::to_string(c.values))
			             .c_str(),
			         compare, c.run, n),
			     1);
	if (!quick)
		once(benchmark::RegisterBenchmark("label/fast/aliasing/100000",
		                                  label, dfs, "aliasing",
		                                  100000),
		     1);
	for (const char *shape : {"in-order", "chain"}) {
		once(benchmark::RegisterBenchmark(
		         (std::string("climb/") + shape).c_str(), climb_chain,
		         shape, n),
		     200);
		once(benchmark::RegisterBenchmark(
		         (std::string("chase/") + shape).c_str(), chase_chain,
		         shape, n),
		     200);
		once(benchmark::RegisterBenchmark(
		         (std::string("climb_all/") + shape).c_str(),
		         climb_all_chain, shape, n),
		     10);
		const std::pair<int,
		                void (*)(benchmark::State &, const char *, int)>
		    chases[] = {{4, chases_chain<4>},
		                {8, chases_chain<8>},
		                {12, chases_chain<12>},
		                {16, chases_chain<16>},
		                {24, chases_chain<24>}};
		for (const auto &[k, run] : chases)
			once(benchmark::RegisterBenchmark(
			         ("chases/" + std::to_string(k) + "/" + shape)
			             .c_str(),
			         run, shape, n),
			     10);
	}
	for (int size : {1000, 10000, 30000, 100000}) {
		if (quick && size > n)
			break;
		auto *b = benchmark::RegisterBenchmark(
		    ("growth/fast/random/" + std::to_string(size)).c_str(),
		    label, dfs, "random", size);
		b->Unit(benchmark::kMillisecond);
		if (quick)
			b->Iterations(1);
		else
			b->MinTime(0.3);
	}
	benchmark::RegisterBenchmark("clock", multiplies)
	    ->Arg(quick ? 1000000 : 200000000)
	    ->Unit(benchmark::kMillisecond)
	    ->Iterations(1)
	    ->Repetitions(quick ? 1 : 5)
	    ->ReportAggregatesOnly(!quick);
	benchmark::AddCustomContext("scan", choose_scan().name);
	benchmark::Initialize(&argc, argv);
	benchmark::RunSpecifiedBenchmarks();
	benchmark::Shutdown();
}
