// What the zstd and LZ fuzz targets share: the abort that libFuzzer reports
// as a crash, and the input copied into a buffer of exactly its size, so
// that a read past it is caught.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace zel::fuzz {

inline void require(bool ok) {
    if (!ok) std::abort();
}

inline std::unique_ptr<uint8_t[]> owned_copy(const uint8_t* data, size_t size) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[size + 1]);
    if (size) std::memcpy(copy.get(), data, size);
    return copy;
}

}  // namespace zel::fuzz
