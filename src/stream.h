// SPDX-License-Identifier: ISC
// Decimal integers read from a descriptor and answers written to standard
// output, both moved in large blocks: a system call per block, never one
// per value.
#ifndef LCA_STREAM_H
#define LCA_STREAM_H

#include <cstddef>
#include <cstdint>

struct layer;

// Starts reading from fd, from its current offset, through the layer given
// or, if none is, the fastest.  Each read of fd may wait, so
// before_read, unless null, is called first, to give whatever answers are
// still owed.
void open_input(int fd, void (*before_read)() = nullptr,
                const layer *means = nullptr);

// Reads the next value as the formatted extraction of an int reads it in
// the "C" locale, and says whether it holds one.  White space (" \t\n\v\f\r")
// is skipped, then one sign and every digit that follows are consumed.
// With no digit the value becomes 0; beyond the int range it becomes the
// nearer limit; either is a failure.  After a failure, or once the end of
// the input has been met, no later read consumes or stores anything.
bool read_int(int &value);

// The values found ahead, with no read of input: the next count values,
// from the one returned on, that as many calls of read_int() would read,
// each with success.  take_values() consumes the first count of them, as
// those calls would.
const int *values_ahead(int &count);
void take_values(int count);

// Adds each of the count values from v, from 0 to 9999999, and a newline
// to the answers.
void write_ints(const int *v, int count);

// The errno of the read or write that failed, or 0.  After a failed read
// nothing more is read; after a failed write nothing more is written.
extern int read_error;
extern int write_error;

// Writes the answers given so far; false once a write has failed.
bool flush_output();

// Bytes read ahead of what read_int() has consumed.
std::size_t unread();

// Moves a seekable input back to the first byte not consumed.
void give_back_input();

#endif
