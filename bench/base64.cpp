// Base-64 speed: 10 MB of random bytes encoded, and the text decoded, best
// of five runs of each.
//
//   bench_base64 <bytes file> <text file>
//
// Writes the bytes (from a fixed seed) and their base-64 text so that other
// implementations work on the same data, checks that the text decodes to the
// bytes, and prints
//   zel <encode ms> <decode ms>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "boot/runtime.h"
#include "series/binary_codec.h"
#include "bench/timing.h"

using namespace zel;

namespace {

constexpr int ROUNDS = 5;
constexpr size_t DATA_BYTES = 10 * 1024 * 1024;

std::string make_bytes() {
    std::string bytes(DATA_BYTES, '\0');
    uint64_t state = 0x9E3779B97F4A7C15ull;
    for (auto& b : bytes) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        b = char(state >> 56);
    }
    return bytes;
}

bool write_file(const char* path, const std::string& content) {
    FILE* f = std::fopen(path, "wb");
    bool ok = f && std::fwrite(content.data(), 1, content.size(), f) == content.size();
    return f && std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <bytes file> <text file>\n", argv[0]);
        return 2;
    }
    runtime::init();
    const std::string bytes = make_bytes();
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    std::string text(size_t(binary::encoded_capacity(64, int64_t(bytes.size()))), '\0');
    auto* out = reinterpret_cast<uint8_t*>(text.data());
    double encode = bench::best_ms([&] { binary::encode_base64(out, data, int64_t(bytes.size())); }, ROUNDS);

    Node decoded = 0;
    double decode = bench::best_ms([&] { decoded = binary::decode_base64(out, int64_t(text.size()), 1); }, ROUNDS);
    Series* s = memory::series_of(decoded);
    if (s->used() != bytes.size() || std::memcmp(s->head(), data, bytes.size()) != 0) {
        std::fprintf(stderr, "the text does not decode to the bytes\n");
        return 1;
    }
    if (!write_file(argv[1], bytes) || !write_file(argv[2], text)) {
        std::perror("writing the benchmark files");
        return 1;
    }
    std::printf("zel %.3f %.3f\n", encode, decode);
    return 0;
}
