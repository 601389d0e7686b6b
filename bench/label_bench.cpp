// Labelling time: the real dfs beside the plain one-entry-at-a-time loop,
// and beside a bare sweep over the father table, the rate that any scan
// of it is bound by.
#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "tree.h"

namespace
{

enum Shape { RANDOM, CHAIN, STAR };

void make_tree(Shape shape, int n)
{
	std::mt19937 rng(7);
	std::vector<int> name(n);
	std::iota(name.begin(), name.end(), 1);
	std::shuffle(name.begin() + 1, name.end(), rng);
	nodes = n;
	for (int k = 1; k < n; k++) {
		int f = std::uniform_int_distribution<int>(0, k - 1)(rng);
		if (shape == CHAIN)
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

// Reads the table once per node, as labelling does, but compares nothing.
__attribute__((target("avx2"))) void sweep(int)
{
	for (int v = 1; v <= nodes; v++) {
		unsigned all = 0;
		for (int i = 2; i <= nodes; i++)
			all |= father[i];
		benchmark::DoNotOptimize(all);
	}
}

void run(benchmark::State &state, void (*label)(int), Shape shape, int n)
{
	make_tree(shape, n);
	for (auto _ : state) {
		label(1);
		benchmark::ClobberMemory();
	}
}

} // namespace

int main(int argc, char **argv)
{
	const char *shape_name[] = {"random", "chain", "star"};
	struct {
		const char *name;
		void (*label)(int);
	} kinds[] = {{"fast", dfs}, {"plain", plain_dfs}, {"sweep", sweep}};

	for (auto kind : kinds)
		for (Shape shape : {RANDOM, CHAIN, STAR}) {
			// The sweep does not look at the shape, and it
			// needs AVX2 to stream as fast as the table allows.
			if (kind.label == sweep &&
			    (shape != RANDOM ||
			     !__builtin_cpu_supports("avx2")))
				continue;
			std::string name = std::string("label/") + kind.name +
			                   "/" + shape_name[shape] + "/100000";
			benchmark::RegisterBenchmark(name.c_str(), run,
			                             kind.label, shape, 100000)
			    ->Unit(benchmark::kMillisecond)
			    ->Iterations(1)
			    ->Repetitions(3)
			    ->ReportAggregatesOnly(true);
		}
	for (int n : {1000, 10000, 30000, 100000}) {
		std::string name = "growth/fast/random/" + std::to_string(n);
		benchmark::RegisterBenchmark(name.c_str(), run, dfs, RANDOM, n)
		    ->Unit(benchmark::kMillisecond)
		    ->MinTime(0.3);
	}
	benchmark::Initialize(&argc, argv);
	benchmark::RunSpecifiedBenchmarks();
	benchmark::Shutdown();
}
