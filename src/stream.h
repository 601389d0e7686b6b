// SPDX-License-Identifier: ISC
// Standard input and output for the formatted stream operators, moved in
// large blocks: a system call per block, never one per value.
#ifndef LCA_STREAM_H
#define LCA_STREAM_H

#include <istream>
#include <ostream>

extern std::istream in;
extern std::ostream out;

// The errno of the read or write that failed, or 0.  After a failed read
// nothing more is read; after a failed write nothing more is written.
extern int read_error;
extern int write_error;

// Writes what out holds; false once a write has failed.
bool flush_output();

// Moves a seekable standard input back to the first character that in has
// not consumed, giving back what was read ahead.
void give_back_input();

#endif
