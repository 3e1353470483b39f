// XXH64, the 64-bit xxHash: the content checksum of zstd frames, whose low
// 32 bits a frame carries.
//
// Relies on: nothing.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zel::xxhash64 {

uint64_t hash(const uint8_t* data, size_t length, uint64_t seed = 0);

}  // namespace zel::xxhash64
