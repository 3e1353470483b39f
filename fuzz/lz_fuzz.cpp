// Fuzz target: random bytes through the LZ unpacker (a blob trusted in
// nothing), then packed and unpacked back. A refused blob is fine; a crash,
// an access outside a buffer, an output past 256 times the packed size, or
// a round trip that changes the data is not.
//
// Built with libFuzzer (cmake -DZEL_FUZZ=ON, clang) or linked with
// replay_main.cpp, which runs the committed corpus as a test.
#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz/zstd_fuzz.h"
#include "os/lz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zel;
    std::unique_ptr<uint8_t[]> input = fuzz::owned_copy(data, size);
    const int64_t n = int64_t(size);
    int64_t count = -1;
    if (uint8_t* out = lz::decompress(input.get(), n, &count)) {
        fuzz::require(count >= 0 && count <= lz::MOST_EXPANSION * n);
        lz::free_buffer(out);
    } else {
        fuzz::require(count == 0);
    }
    std::unique_ptr<uint8_t[]> packed(new uint8_t[size + 1]);
    int64_t p = lz::compress(input.get(), n, packed.get());
    if (p < 0) return 0;
    fuzz::require(n > 127 && p <= n);
    uint8_t* back = lz::decompress(packed.get(), p, &count);
    fuzz::require(back && count == n && std::memcmp(back, data, size) == 0);
    lz::free_buffer(back);
    return 0;
}
