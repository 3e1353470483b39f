// The program's own LZ packed format, the lz-blob: an 8-byte header (P, the
// packed size after it; U, the unpacked size; both 32-bit little-endian),
// then chunks of at most 1 MB of output, each a 32-bit length L and a bit
// stream (least significant bit first) of literals and matches that never
// reach into an earlier chunk. Packed Zelbin payloads use it; it is not a
// method of the compress and decompress natives.
//
// Relies on: the tracked heap.
#pragma once

#include <cstdint>

namespace zel::lz {

constexpr int64_t HEADER_BYTES = 8;
constexpr int64_t CHUNK_MAX = 1048576;
constexpr int64_t MATCH_MAX = 566;
constexpr int64_t DISTANCE_MAX = 262144;
// No token gives more than 566 bytes for its 10 bits at least: U above 256
// times P cannot be honest.
constexpr int64_t MOST_EXPANSION = 256;

// The blob's bytes, `available` of them (the header's P must fit): a new
// buffer of U + 8 bytes holding the U bytes unpacked, their count in
// `count`; null for a blob that is corrupt in any way (nothing is trusted:
// U is checked against P before anything is allocated, every chunk length,
// match and bit against what holds it, and the bytes made against U).
uint8_t* decompress(const uint8_t* blob, int64_t available, int64_t* count);

// Gives back a buffer from decompress.
void free_buffer(uint8_t* buffer);

// Packs n bytes into `dest` (n bytes of room): the blob's size, or -1 when
// n is 127 or less or the blob would not fit in n bytes.
int64_t compress(const uint8_t* source, int64_t n, uint8_t* dest);

}  // namespace zel::lz
