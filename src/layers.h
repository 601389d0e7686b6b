// SPDX-License-Identifier: ISC
// The layers: the instruction sets that lca has code for.  Each mechanism
// that works on many lanes at once (the labelling scan, the climbs in
// lockstep, the reading of values and the forming of answers) is written
// once, over the primitives of a layer, and compiled once for each layer
// built; this is the table of those builds and of what this processor runs.
#ifndef LCA_LAYERS_H
#define LCA_LAYERS_H

#include "digits.h"
#include "lockstep.h"
#include "scan.h"

// Every processor feature that a layer's code is built with, named once:
// the code compiled for the layer targets them, and the layer runs only
// where the processor has them all.
#define LCA_FEATURES_portable(F)
#define LCA_FEATURES_avx2(F) F(avx2) F(bmi) F(bmi2) F(popcnt)
#define LCA_FEATURES_avx512(F)                                                 \
	LCA_FEATURES_avx2(F) F(avx512f) F(avx512bw) F(avx512vl) F(avx512vbmi)  \
	    F(avx512vbmi2)

// The layers built, from the plainest: the build gives their number.
#if LCA_BUILT >= 3
#define LCA_LAYERS(X) X(portable) X(avx2) X(avx512)
#elif LCA_BUILT == 2
#define LCA_LAYERS(X) X(portable) X(avx2)
#else
#define LCA_LAYERS(X) X(portable)
#endif

#define LCA_DECLARE(name)                                                      \
	namespace name                                                         \
	{                                                                      \
	int scan(const std::uint16_t *want, int count, int i, int last,        \
	         std::uint64_t *hits);                                         \
	int lockstep(int *x, int *y, const int *dx, const int *dy, int count,  \
	             bool &deep);                                              \
	int read(const char *p, const char *base, std::uint16_t *lasts,        \
	         int *values);                                                 \
	char *form(const int *v, int count, char *to);                         \
	}
LCA_LAYERS(LCA_DECLARE)
#undef LCA_DECLARE

// The target of the code that follows, for a layer: every feature it names
// on top of SSE2, which every x86-64 processor has, in one string for
// Clang and as a list for GCC.  The region ends at LCA_END_TARGET.
#define LCA_PRAGMA(...) _Pragma(#__VA_ARGS__)
#define LCA_EXPANDED(...) LCA_PRAGMA(__VA_ARGS__)
#if defined(__clang__)
#define LCA_JOINED(feature) "," #feature
#define LCA_TARGET(features)                                                   \
	LCA_EXPANDED(clang attribute push(                                     \
	    __attribute__((target("sse2" features(LCA_JOINED)))),              \
	    apply_to = function))
#define LCA_END_TARGET LCA_PRAGMA(clang attribute pop)
#else
#define LCA_LISTED(feature) , #feature
#define LCA_TARGET(features)                                                   \
	LCA_PRAGMA(GCC push_options)                                           \
	LCA_EXPANDED(GCC target("sse2" features(LCA_LISTED)))
#define LCA_END_TARGET LCA_PRAGMA(GCC pop_options)
#endif

struct layer {
	const char *name;
	// Whether this processor has every feature of the layer.
	bool runs;
	scan_fn scan;
	lockstep_fn lockstep;
	read_fn read;
	form_fn form;
};

// Every layer built, from the plainest, asked of the processor once,
// before main() begins; and the last of them that runs, the fastest.
extern const layer layers[];
extern const int layer_count;
extern const layer &best;

#endif
