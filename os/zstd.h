// zstd (RFC 8878) decoding for the natives: whole buffers, no dictionaries,
// nothing kept between calls, no heap memory (the tables sit in one work
// record of the call; RLE and Huffman literals are staged at the free end
// of the destination). The entry point follows the workers' codec protocol
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

// Start-up: the decoder into the workers' zstd slot (the encoder's half
// stays empty, so `compress ... 'zstd` raises internal not-done).
void init();

}  // namespace zel::zstd
