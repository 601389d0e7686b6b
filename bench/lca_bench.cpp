// SPDX-License-Identifier: ISC
// Each phase beside the limit the machine sets it: labelling through each
// layer that runs beside the compares of its work at the layer's width and
// bare sweeps of the tables; the climb of one query beside one pointer
// chase through a table of the same size, and the climbs of many queries
// together beside as many chases as the processor keeps in flight at once.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "layered.h"
#include "limits.h"
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

// Each layer's limits, as the table lists the layers.
#define LCA_LIMIT(name) &name::limit,
const limits *const limit_of[] = {LCA_LAYERS(LCA_LIMIT)};
#undef LCA_LIMIT

// The tree made, then the compares of a labelling with K values at once.
void compare(benchmark::State &state,
             void (*run)(const std::uint16_t *table, int entries, int values),
             int n)
{
	make("random", n);
	dfs(1);
	for (auto _ : state)
		run(father16, (nodes + 1) / BLOCK * BLOCK, nodes);
}

// The tree made, then each of its tables read once per node.
void sweep(benchmark::State &state,
           void (*run)(const void *table, std::size_t bytes, int times),
           const void *table, std::size_t entry)
{
	make("random", MAX_N - 1);
	dfs(1);
	for (auto _ : state)
		run(table, (nodes + 1) * entry, nodes);
}

// Labelling through the scan given, or as plainly as it can be written.
void label(benchmark::State &state, scan_fn scan, const char *shape, int n)
{
	make(shape, n);
	for (auto _ : state) {
		if (scan != nullptr)
			dfs_with(scan, 1);
		else
			plain_dfs(1);
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
	// Labelling through each layer that runs, and plainly; each layer's
	// compares and sweeps, over the whole table even when quick, so that
	// a sanitizer sees them reach its end; and the aliasing tree through
	// the fastest layer.
	const std::vector<layer> run = every_layer();
	for (const char *shape : {"random", "chain", "star"}) {
		const std::string tree =
		    std::string(shape) + "/" + std::to_string(n);
		for (const layer &l : run)
			once(benchmark::RegisterBenchmark(
			         ("label/" + std::string(l.name) + "/" + tree)
			             .c_str(),
			         label, l.scan, shape, n),
			     1);
		once(benchmark::RegisterBenchmark(
		         ("label/plain/" + tree).c_str(), label, nullptr, shape,
		         n),
		     1);
	}
	for (int k = 0; k < layer_count; k++) {
		if (!layers[k].runs)
			continue;
		const std::string name = layers[k].name;
		for (int K = 0; K < 4; K++)
			once(benchmark::RegisterBenchmark(
			         ("label/compare/" + name + "/" +
			          std::to_string(1 << K))
			             .c_str(),
			         compare, limit_of[k]->compare[K], n),
			     1);
		once(benchmark::RegisterBenchmark(
		         ("label/sweep16/" + name).c_str(), sweep,
		         limit_of[k]->sweep, father16, sizeof father16[0]),
		     1);
		once(benchmark::RegisterBenchmark(
		         ("label/sweep32/" + name).c_str(), sweep,
		         limit_of[k]->sweep, father, sizeof father[0]),
		     1);
	}
	if (!quick)
		once(benchmark::RegisterBenchmark("label/aliasing/100000",
		                                  label, best.scan, "aliasing",
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
		    ("growth/random/" + std::to_string(size)).c_str(), label,
		    best.scan, "random", size);
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
	benchmark::AddCustomContext("layer", best.name);
	benchmark::Initialize(&argc, argv);
	benchmark::RunSpecifiedBenchmarks();
	benchmark::Shutdown();
}
