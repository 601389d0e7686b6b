// SPDX-License-Identifier: ISC
// lca: answer lowest-common-ancestor queries on a tree read from stdin.
#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

#include "stream.h"
#include "tree.h"

int queries;

// Pairs read and checked whose climbs have not yet been run: they are run
// together, and answered in order, before each read of input, before a
// failed check's report, when the table is full and at the end.
static int pending_x[PENDING], pending_y[PENDING];
// Their depths, which the checks look up and the climbs start from.
static int pending_dx[PENDING], pending_dy[PENDING];
static int pending;

static void answer_pending()
{
	climb_all(pending_x, pending_y, pending_dx, pending_dy, pending);
	write_ints(pending_x, pending);
	pending = 0;
}

// Whether a pair of values found ahead, which are never negative, passes
// every check that main() makes of it, with one branch: a node out of
// range is looked up as slot 0, never reached.  The depths looked up are
// stored whether it passes or not.
static bool answerable(int x, int y, int &dx, int &dy)
{
	dx = depth[x < MAX_N ? x : 0];
	dy = depth[y < MAX_N ? y : 0];
	return std::min(dx, dy) > 0;
}

// Puts the pairs found ahead, up to the first that some check would
// refuse, into the table, as far as it and the queries go: they need no
// read of input, and no check of their own.
static void take_answerable()
{
	int count;
	const int *v = values_ahead(count);
	const int most = std::min({queries, PENDING - pending, count / 2});
	// The pair refused is stored as well, past the last taken.
	int n = 0;
	for (; n < most; n++) {
		const int x = v[2 * n], y = v[2 * n + 1];
		pending_x[pending + n] = x;
		pending_y[pending + n] = y;
		if (!answerable(x, y, pending_dx[pending + n],
		                pending_dy[pending + n]))
			break;
	}
	take_values(2 * n);
	pending += n;
	queries -= n;
}

static const char *progname()
{
#if defined(LCA_HAVE_GETPROGNAME)
	return getprogname();
#elif defined(LCA_HAVE_PROGRAM_INVOCATION_SHORT_NAME)
	return program_invocation_short_name;
#else
	return "lca";
#endif
}

// Ends the run with status 1 and one line on standard error.  The line
// goes out in a single write, so that runs sharing standard error never
// mix their lines.
[[noreturn]] static void die(const char *format, ...)
{
	// With the name cut short, the longest message fits.
	char text[512];
	int n = std::snprintf(text, sizeof text, "%.200s: ", progname());
	va_list ap;
	va_start(ap, format);
	n += std::vsnprintf(text + n, sizeof text - n, format, ap);
	va_end(ap);
	if (write(STDERR_FILENO, text, std::min<int>(n, sizeof text - 1)) < 0) {
		// Nowhere is left to say it; the status still does.
	}
	give_back_input();
	std::exit(1);
}

static void check_output()
{
	if (write_error != 0)
		die("write error on standard output: %s\n",
		    std::strerror(write_error));
}

// Called after each read.  Before each block of input is read the answers
// so far are written, so a failed write can show here as well as a failed
// read, and the write came first.
static void check_streams()
{
	check_output();
	if (read_error != 0)
		die("read error on standard input: %s\n",
		    std::strerror(read_error));
}

// The answers given before a failed check go out before its report; if
// they cannot, that failure came first.
[[noreturn]] static void check_failed(int line, const char *function,
                                      const char *cond)
{
	answer_pending();
	flush_output();
	check_output();
	die("src/main.cpp:%d: %s: Assertion `%s' failed.\n", line, function,
	    cond);
}

// The assertion report of the C library, but made in every build and
// ending with status 1 instead of abort() and its core dump.  It names this
// file as the source tree has it, where __FILE__ would follow whatever
// prefix maps the build was given, so that it reads the same everywhere.
#define CHECK(cond)                                                            \
	((cond) ? (void)0 : check_failed(__LINE__, __PRETTY_FUNCTION__, #cond))

int main()
{
	open_input(STDIN_FILENO, answer_pending);
	read_int(nodes);
	read_int(queries);
	check_streams();
	CHECK(1 <= nodes && nodes < MAX_N);
	for (int i = 2; i <= nodes; i++) {
		read_int(father[i]);
		check_streams();
		CHECK(1 <= father[i] && father[i] < MAX_N);
	}

	dfs(1);

	CHECK(0 <= queries);
	while (queries > 0) {
		if (pending == PENDING)
			answer_pending();
		// Once a write has failed, the next pair is read as any is,
		// and the check after it stops the run.
		if (write_error == 0) {
			take_answerable();
			if (pending == PENDING || queries == 0)
				continue;
		}
		queries--;
		// A read that fails leaves these 0, which the checks refuse.
		int x = 0, y = 0;
		// Should this wait for input, the answers so far go out first,
		// so a client on a pipe has them before it must send this pair.
		read_int(x);
		read_int(y);
		check_streams();
		CHECK(1 <= x && x < MAX_N);
		CHECK(1 <= y && y < MAX_N);
		CHECK(reached(x));
		CHECK(reached(y));
		pending_x[pending] = x;
		pending_y[pending] = y;
		pending_dx[pending] = depth[x];
		pending_dy[pending++] = depth[y];
	}

	answer_pending();
	flush_output();
	check_output();
	give_back_input();
	return 0;
}
