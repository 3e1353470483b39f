// DEFLATE (RFC 1951) and its zlib (RFC 1950) and gzip (RFC 1952) framings:
// whole buffers in memory, no streaming, no dictionaries. The six entry
// points follow the workers' codec protocol (os/workers.h): `size` holds
// the destination's capacity on entry and the bytes written, or needed,
// on return.
//
// Relies on: the checksums (CRC-32, Adler-32), the workers' codec slots.
#pragma once

#include <cstdint>

namespace zel::deflate {

// Result codes beyond the shared three (done, too small, corrupt): the raw
// decoder's particular faults. Every one of them is corrupt input to the
// natives.
constexpr int STORED_PAST_END = 3, RESERVED_BLOCK = 4, DISTANCE_TOO_FAR = 5;

// The most output one byte of DEFLATE data can give (258 bytes per
// length-and-distance pair of 2 bits at best, with its share of the block).
constexpr int64_t MOST_EXPANSION = 1032;

// Level 1 (fastest) to 9 (smallest); below 1 means 6.
int compress(uint8_t* dst, int64_t* size, const uint8_t* src, int64_t n, int level);
// A null `dst` with capacity 0 measures the output (result 1 and the size,
// or 0 for empty output).
int decompress(uint8_t* dst, int64_t* size, const uint8_t* src, int64_t n);

int zlib_compress(uint8_t* dst, int64_t* size, const uint8_t* src, int64_t n, int level);
int zlib_decompress(uint8_t* dst, int64_t* size, const uint8_t* src, int64_t n);
int gzip_compress(uint8_t* dst, int64_t* size, const uint8_t* src, int64_t n, int level);
// The needed size is the trailer's ISIZE, read without decoding; an ISIZE
// that no DEFLATE data of the member's length can give is corrupt.
int gzip_decompress(uint8_t* dst, int64_t* size, const uint8_t* src, int64_t n);

// Start-up: the three codecs into the workers' slots.
void init();

}  // namespace zel::deflate
