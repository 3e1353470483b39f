// Length-limited prefix code lengths from symbol frequencies, shared by the
// DEFLATE and zstd encoders. The lengths decide the encoders' output bytes,
// so the construction is fixed step by step (see the .cpp).
//
// Relies on: nothing.
#pragma once

#include <cstdint>

namespace zel::huffman {

// The most symbols an alphabet may have.
constexpr int MAX_SYMBOLS = 320;

// Code lengths (0 for unused symbols) for `count` symbols of the given
// frequencies, none longer than `limit` (1 to 15). With fewer than two
// symbols used, symbols 0 and 1 get length 1, or the one used symbol (when
// it is 2 or above) and symbol 0: a decoder always finds a complete code.
void build_lengths(const uint32_t* freq, int count, int limit, uint8_t* lengths);

// Canonical codes (RFC 1951, most significant bit first) for the lengths.
void canonical_codes(const uint8_t* lengths, int count, uint16_t* codes);

}  // namespace zel::huffman
