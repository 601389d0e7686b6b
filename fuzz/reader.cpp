// SPDX-License-Identifier: ISC
// An AFL++ target in persistent mode: lca's reader, through each layer that
// this processor runs, beside the formatted extraction
// on the fuzzer's bytes, delivered in one block or, where the first byte
// says, in two.  Any difference aborts.
#include <cstdlib>

#include "reads.h"

__AFL_FUZZ_INIT();

int main()
{
	__AFL_INIT();
	const std::vector<layer> readers = every_layer();
	const unsigned char *bytes = __AFL_FUZZ_TESTCASE_BUF;
	while (__AFL_LOOP(10000)) {
		const std::size_t length = __AFL_FUZZ_TESTCASE_LEN;
		if (length == 0)
			continue;
		const std::string data(
		    reinterpret_cast<const char *>(bytes) + 1, length - 1);
		const std::size_t split = bytes[0] % (data.size() + 1);
		std::vector<std::string> pieces{data};
		if (split > 0 && split < data.size())
			pieces = {data.substr(0, split), data.substr(split)};
		const std::vector<Read> want = extraction(data);
		for (const layer &reader : readers) {
			bool lost;
			if (lca_reads(pieces, want.size(), lost, &reader) !=
			        want ||
			    lost)
				std::abort();
		}
	}
	return 0;
}
