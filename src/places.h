// SPDX-License-Identifier: ISC
// The places of the bits set in each byte, in order, a byte each: the
// lanes that an eight-bit mask selects, for processors that cannot pack
// them by a mask of their own.
#ifndef LCA_PLACES_H
#define LCA_PLACES_H

struct places {
	unsigned char of[256][8];
};

constexpr places all_places()
{
	places p{};
	for (int byte = 0; byte < 256; byte++)
		for (int bit = 0, n = 0; bit < 8; bit++)
			if (byte >> bit & 1)
				p.of[byte][n++] =
				    static_cast<unsigned char>(bit);
	return p;
}

inline constexpr places byte_places = all_places();

#endif
