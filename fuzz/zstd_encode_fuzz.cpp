// Fuzz target: the zstd encoder, then the decoder. The first byte picks the
// level; a second byte with its high bit set tiles the rest, slightly
// changed at each copy, to up to half a megabyte, so that short inputs
// still reach several blocks, windowed frames and the larger size classes.
// The frame must fit the bound the encoder asks for, a capacity below it
// must be refused before anything is written, and the decoder must give
// back the input.
//
// Built with libFuzzer (cmake -DZEL_FUZZ=ON, clang) or linked with
// replay_main.cpp, which runs the committed corpus as a test.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz/zstd_fuzz.h"
#include "os/workers.h"
#include "os/zstd.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zel;
    if (size < 1) return 0;
    int level = data[0] % 19 + 1;
    data++, size--;
    std::vector<uint8_t> input;
    if (size >= 2 && data[0] & 0x80) {
        size_t target = size_t(data[0] & 0x7F) * 4096 + 1;
        data++, size--;
        input.reserve(target);
        for (uint32_t copy = 0; input.size() < target; copy++) {
            size_t start = input.size();
            input.insert(input.end(), data, data + size);
            input[start + copy % size] ^= uint8_t(copy);
        }
        input.resize(target);
    } else {
        input.assign(data, data + size);
    }
    const int64_t n = int64_t(input.size());
    std::unique_ptr<uint8_t[]> src = fuzz::owned_copy(input.data(), input.size());
    int64_t bound = 0;
    fuzz::require(zstd::compress(nullptr, &bound, src.get(), n, level) == workers::TOO_SMALL && bound >= n + 13);
    int64_t short_size = bound - 1;
    std::unique_ptr<uint8_t[]> short_dst(new uint8_t[size_t(short_size)]);
    fuzz::require(zstd::compress(short_dst.get(), &short_size, src.get(), n, level) == workers::TOO_SMALL &&
                  short_size == bound);
    std::unique_ptr<uint8_t[]> frame(new uint8_t[size_t(bound)]);
    int64_t written = bound;
    fuzz::require(zstd::compress(frame.get(), &written, src.get(), n, level) == workers::DONE && written <= bound);
    int64_t need = 0;
    int probe = zstd::decompress(nullptr, &need, frame.get(), written);
    fuzz::require((probe == workers::DONE || probe == workers::TOO_SMALL) && need == n);
    std::unique_ptr<uint8_t[]> back(new uint8_t[size_t(n) + 1]);
    int64_t got = n;
    fuzz::require(zstd::decompress(back.get(), &got, frame.get(), written) == workers::DONE && got == n);
    fuzz::require(n == 0 || std::memcmp(back.get(), src.get(), size_t(n)) == 0);
    return 0;
}
