// SPDX-License-Identifier: ISC
// The places of the bits set in a mask, found a byte at a time from a
// table of each byte's places: for the layers that have no compress of
// their own.  Plain C++ over the vectors that GCC and Clang provide, which
// each layer's compiler maps to its own.
#ifndef LCA_PLACES_H
#define LCA_PLACES_H

#include <cstdint>
#include <cstring>

typedef std::uint16_t eight_offsets __attribute__((vector_size(16)));

// The places of the bits set in each byte, in order, and how many there
// are.
struct places {
	std::uint16_t of[256][8];
	unsigned char count[256];
};

constexpr places all_places()
{
	places p{};
	for (int byte = 0; byte < 256; byte++)
		for (int bit = 0; bit < 8; bit++)
			if (byte >> bit & 1)
				p.of[byte][p.count[byte]++] =
				    static_cast<std::uint16_t>(bit);
	return p;
}

inline constexpr places byte_places = all_places();

// The offsets from at of the bits set, in order, from to on; says how
// many.  Each byte's eight places are stored, with no branch.
inline int placed(std::uint64_t bits, unsigned at, std::uint16_t *to)
{
	std::uint16_t *const start = to;
#pragma GCC unroll 16
	for (int k = 0; k < 64; k += 8) {
		const unsigned byte = bits >> k & 0xFF;
		eight_offsets o;
		std::memcpy(&o, byte_places.of[byte], sizeof o);
		o += static_cast<std::uint16_t>(at + k);
		std::memcpy(to, &o, sizeof o);
		to += byte_places.count[byte];
	}
	return static_cast<int>(to - start);
}

#endif
