// lca: answer lowest-common-ancestor queries on a tree read from stdin.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "tree.h"

int queries;

// The assertion report of the C library, but made in every build and
// ending with status 1 instead of abort() and its core dump.  Answers
// already given go out before it.
[[noreturn]] static void fail(const char *cond, const char *file, int line,
                              const char *func)
{
	std::cout.flush();
	std::cerr << program_invocation_short_name << ": " << file << ':'
	          << line << ": " << func << ": Assertion `" << cond
	          << "' failed.\n";
	std::exit(1);
}

#define CHECK(cond)                                                            \
	((cond) ? (void)0                                                      \
	        : fail(#cond, __FILE__, __LINE__, __PRETTY_FUNCTION__))

int main()
{
	std::cin >> nodes >> queries;
	CHECK(1 <= nodes && nodes < MAX_N);
	for (int i = 2; i <= nodes; i++) {
		std::cin >> father[i];
		CHECK(1 <= father[i] && father[i] < MAX_N);
	}

	dfs(1);

	CHECK(0 <= queries);
	while (queries--) {
		// A read that fails leaves these 0, which the checks refuse.
		int x = 0, y = 0;
		std::cin >> x >> y;
		CHECK(1 <= x && x < MAX_N);
		CHECK(1 <= y && y < MAX_N);
		CHECK(reached(x));
		CHECK(reached(y));
		climb(x, y);
		std::cout << x << "\n";
	}

	// Output is buffered, so a full disk shows only now.
	if (!std::cout.flush()) {
		std::cerr << program_invocation_short_name
		          << ": write error on standard output: "
		          << (errno ? std::strerror(errno) : "unknown") << "\n";
		return 1;
	}
	return 0;
}
