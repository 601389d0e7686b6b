// SPDX-License-Identifier: ISC
// lca: answer lowest-common-ancestor queries on a tree read from stdin.
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include <unistd.h>

#include "tree.h"

int queries;

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
// mix their lines; answers already given go out before it.
[[noreturn]] static void die(const char *format, ...)
{
	char line[512];
	int n = std::snprintf(line, sizeof line, "%.200s: ", progname());
	va_list ap;
	va_start(ap, format);
	n += std::vsnprintf(line + n, sizeof line - n, format, ap);
	va_end(ap);
	if (n >= static_cast<int>(sizeof line)) {
		n = sizeof line - 1;
		line[n - 1] = '\n';
	}
	std::cout.flush();
	if (write(STDERR_FILENO, line, n) < 0) {
		// Nowhere is left to say it; the status still does.
	}
	std::exit(1);
}

// The assertion report of the C library, but made in every build and
// ending with status 1 instead of abort() and its core dump.
#define CHECK(cond)                                                            \
	((cond) ? (void)0                                                      \
	        : die("%s:%d: %s: Assertion `%s' failed.\n", __FILE__,         \
	              __LINE__, __PRETTY_FUNCTION__, #cond))

// Called after each read, which first flushes pending answers through the
// tie, so a failed write shows here as well as a failed read, and the write
// came first.  cin reads through stdin, whose error flag tells a read error
// from the end of the input or a value that does not parse.
static void check_streams()
{
	const int err = errno;
	if (std::cout.bad())
		die("write error on standard output: %s\n", std::strerror(err));
	if (std::ferror(stdin))
		die("read error on standard input: %s\n", std::strerror(err));
}

int main()
{
	std::cin >> nodes >> queries;
	check_streams();
	CHECK(1 <= nodes && nodes < MAX_N);
	for (int i = 2; i <= nodes; i++) {
		std::cin >> father[i];
		check_streams();
		CHECK(1 <= father[i] && father[i] < MAX_N);
	}

	dfs(1);

	CHECK(0 <= queries);
	while (queries--) {
		// A read that fails leaves these 0, which the checks refuse.
		int x = 0, y = 0;
		// The tie flushes the last answer before this read, so a
		// client on a pipe has it before it must send this pair.
		std::cin >> x >> y;
		check_streams();
		CHECK(1 <= x && x < MAX_N);
		CHECK(1 <= y && y < MAX_N);
		CHECK(reached(x));
		CHECK(reached(y));
		climb(x, y);
		std::cout << x << "\n";
	}

	// Each read flushed the answer before it, so only the last answer
	// can still be pending here.
	if (!std::cout.flush())
		die("write error on standard output: %s\n",
		    std::strerror(errno));
	return 0;
}
