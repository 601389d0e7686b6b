// SPDX-License-Identifier: ISC
// lca's reader beside the formatted extraction it stands in for, on the
// same bytes, value by value: for the unit test and the fuzzing target.
#ifndef LCA_READS_H
#define LCA_READS_H

#include <cerrno>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "layered.h"
#include "stream.h"

// What one read left: whether it succeeded, the value (UNSET where nothing
// was stored) and how many bytes of the input had been consumed.
struct Read {
	bool ok;
	int value;
	long consumed;
	bool operator==(const Read &o) const
	{
		return ok == o.ok && value == o.value && consumed == o.consumed;
	}
};

const int UNSET = -7777777;

// Reads with >> until the stream is no longer good, and once more.
inline std::vector<Read> extraction(const std::string &data)
{
	std::istringstream in(data);
	std::vector<Read> reads;
	do {
		int value = UNSET;
		const bool ok = static_cast<bool>(in >> value);
		reads.push_back({ok, value,
		                 static_cast<long>(in.rdbuf()->pubseekoff(
		                     0, std::ios::cur, std::ios::in))});
	} while (reads.size() < 2 || reads[reads.size() - 2].ok);
	return reads;
}

// Makes count reads with read_int(), through the layer means, from a
// socket that hands over each piece as a block of its own.  The pieces end as a
// terminal's input ends, with a read that gives nothing, and then more comes,
// which must never be read, as nothing is once a read has failed: lost says
// whether it was.
inline std::vector<Read> lca_reads(std::vector<std::string> pieces,
                                   std::size_t count, bool &lost,
                                   const layer *means)
{
	int sv[2];
	if (socketpair(AF_UNIX, SOCK_SEQPACKET, 0, sv) != 0)
		throw std::system_error(errno, std::generic_category());
	pieces.insert(pieces.end(), {"", "1"});
	long total = 0;
	for (const std::string &piece : pieces) {
		if (send(sv[1], piece.data(), piece.size(), 0) < 0)
			throw std::system_error(errno, std::generic_category());
		total += static_cast<long>(piece.size());
	}
	shutdown(sv[1], SHUT_WR);
	open_input(sv[0], nullptr, means);
	std::vector<Read> reads;
	long taken_at_failure = -1;
	lost = false;
	while (reads.size() < count) {
		int value = UNSET;
		const bool ok = read_int(value);
		int queued = 0;
		ioctl(sv[0], FIONREAD, &queued);
		const long taken = total - queued;
		reads.push_back(
		    {ok, value, taken - static_cast<long>(unread())});
		if (taken_at_failure >= 0)
			lost |= taken != taken_at_failure;
		else if (!ok)
			taken_at_failure = taken;
	}
	close(sv[0]);
	close(sv[1]);
	return reads;
}

#endif
