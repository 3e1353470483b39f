// zstd (RFC 8878) for the natives. Decoding: whole buffers, no dictionaries,
// nothing kept between calls, no heap memory (the tables sit in one work
// record of the call; RLE and Huffman literals are staged at the free end
// of the destination). Encoding: one frame per call, levels 1 to 19, one
// work area per call. The entry points follow the workers' codec protocol
// (os/workers.h) with its three codes: done, too small, corrupt.
//
// Relies on: XXH64, the workers' codec slots.
#pragma once

#include <cstdint>

namespace zel::zstd {

// A null `dst` with capacity 0 measures the output: the sizes frames
// declare are trusted only when their total is below 16 MB and below 32
// times the input, otherwise every frame is decoded to count its bytes.
int decompress(uint8_t* dst, int64_t* size, const uint8_t* src, int64_t n);

// One frame of the whole input at `level` (1 to 19; below 1 means 3): the
// result is too small, with `size` set to n + 3 x blocks + 10, unless the
// destination holds that many bytes; the frame then always fits.
int compress(uint8_t* dst, int64_t* size, const uint8_t* src, int64_t n, int level);

// Start-up: the decoder and the encoder into the workers' zstd slot.
void init();

}  // namespace zel::zstd
