// Fuzz target: random bytes through the zstd decoder the way the native
// uses it, which drives its three passes: the measure (sizing, and
// counting where a declared size is not trusted or a frame declares none),
// then writing into exactly the size measured, then into one byte less. A
// corrupt answer is fine; a crash, an access outside a buffer, a measure
// the writing pass disagrees with, or a short destination not reported as
// too small is not.
//
// Built with libFuzzer (cmake -DZEL_FUZZ=ON, clang) or linked with
// replay_main.cpp, which runs the committed corpus as a test.
#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz/zstd_fuzz.h"
#include "os/workers.h"
#include "os/zstd.h"

namespace {

// The largest output worth allocating while fuzzing.
constexpr int64_t MOST_TRIED = int64_t(1) << 26;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zel;
    std::unique_ptr<uint8_t[]> input = fuzz::owned_copy(data, size);
    const int64_t n = int64_t(size);
    int64_t need = 0;
    int probe = zstd::decompress(nullptr, &need, input.get(), n);
    if (probe != workers::DONE && probe != workers::TOO_SMALL) return 0;
    fuzz::require(need >= 0 && need <= INT32_MAX && (probe == workers::TOO_SMALL) == (need > 0));
    if (need > MOST_TRIED) return 0;
    std::unique_ptr<uint8_t[]> full(new uint8_t[size_t(need) + 1]);
    int64_t written = need;
    // A declared size the measure trusted may still be refused by decoding.
    if (zstd::decompress(full.get(), &written, input.get(), n) != workers::DONE) return 0;
    fuzz::require(written == need);
    if (need == 0) return 0;
    int64_t short_size = need - 1;
    std::unique_ptr<uint8_t[]> part(new uint8_t[size_t(short_size) + 1]);
    fuzz::require(zstd::decompress(part.get(), &short_size, input.get(), n) == workers::TOO_SMALL && short_size == need);
    return 0;
}
