// SPDX-License-Identifier: ISC
// The bare loop through the standard streams' >> and <<, untied,
// unsynchronised and reading the same 64 KiB blocks: what reading and
// writing cost before lca did its own.
#include <iostream>

static char block[1 << 16];

int main()
{
	std::ios::sync_with_stdio(false);
	std::cin.tie(nullptr);
	std::cin.rdbuf()->pubsetbuf(block, sizeof block);
	int nodes = 0, queries = 0, value = 0;
	std::cin >> nodes >> queries;
	for (int i = 2; i <= nodes; i++)
		std::cin >> value;
	while (queries-- > 0) {
		int x = 0, y = 0;
		std::cin >> x >> y;
		std::cout << 1 << '\n';
	}
	return 0;
}
