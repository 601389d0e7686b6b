// SPDX-License-Identifier: ISC
// The tree as fixed tables indexed by node number, its depth labels, and
// the climb that answers a query from them.
#ifndef LCA_TREE_H
#define LCA_TREE_H

// Slot 0 is never a node, so node numbers run from 1 to MAX_N - 1.
constexpr int MAX_N = 100001;

extern int nodes;
extern int father[MAX_N];
extern int depth[MAX_N];

// Labels v with depth 1 and, below it, every node whose chain of fathers
// leads to v; nodes never reached keep the label 0.
void dfs(int v);

inline bool reached(int v) { return depth[v] != 0; }

// Moves x and y up, in place, until both hold their lowest common ancestor.
// Both must have been reached by dfs(1).
void climb(int &x, int &y);

// The same climb for count pairs, in place: each x[k] ends as the answer
// for x[k] and y[k], whose depths are dx[k] and dy[k].  The climbs of many
// pairs go side by side, so that their loads are in flight together.
void climb_all(int *x, int *y, const int *dx, const int *dy, int count);

// The most pairs the driver keeps waiting for their climbs.
constexpr int PENDING = 4096;

#endif
