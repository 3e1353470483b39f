// What the five image fuzz targets share: random bytes (seeded with files
// of one format) through the back-end's decode-memory. A decoding may fail;
// it may not crash, hang or allocate without bound, and an image it makes
// must have the size it claims and survive encoding as BMP and decoding
// again unchanged.
//
// Built with libFuzzer (cmake -DZEL_FUZZ=ON, clang) or linked with
// replay_main.cpp, which runs the committed corpus as a test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "foundation/ext_res.h"
#include "fuzz/fresh_runtime.h"
#include "os/codecs/codecs.h"
#include "os/image_os.h"

namespace zel::fuzz {

// Claimed sizes are believed up to 16 million pixels: enough for every
// path, small enough that a short file cannot make the run slow.
constexpr int64_t IMAGE_FUZZ_BYTES = int64_t(64) << 20;

inline int decode_image(const uint8_t* data, size_t size) {
    fresh_runtime(runtime::init);
    codecs::set_byte_limit(IMAGE_FUZZ_BYTES);
    image_os::Record* r = image_os::decode_memory(data, int64_t(size));
    if (!r) return 0;
    int32_t w = image_os::width_q(r), h = image_os::height_q(r);
    if (w < 1 || h < 1 || r->pixels.size() != size_t(w) * size_t(h)) std::abort();
    std::vector<uint8_t> file;
    codecs::Picture back;
    if (!codecs::encode(codecs::FORMAT_BMP, image_os::source(r), w, h, file) ||
        !codecs::decode(file.data(), file.size(), back) || back.pixels != r->pixels)
        std::abort();
    ext_res::remove(r->slot, true);
    return 0;
}

}  // namespace zel::fuzz
