// LZ packed format speed and size: packs a file with lz/compress and
// unpacks it with lz/decompress, best of three runs of each.
//
//   bench_lz <file>          prints: <packed bytes> <pack ms> <unpack ms>
//   bench_lz <file> once     one pack and one unpack, nothing printed
//   bench_lz <file> read     reads the file only (the baseline of "once")
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "bench/timing.h"
#include "os/lz.h"

using namespace zel;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <file> [once|read]\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const char* mode = argc > 2 ? argv[2] : "";
    if (std::strcmp(mode, "read") == 0) return 0;
    const int64_t n = int64_t(data.size());
    std::vector<uint8_t> packed(data.size());
    int64_t size = -1;
    int64_t count = 0;
    bool same = true;
    auto pack = [&] { size = lz::compress(data.data(), n, packed.data()); };
    auto unpack = [&] {
        uint8_t* out = lz::decompress(packed.data(), size, &count);
        same = out && count == n && std::memcmp(out, data.data(), data.size()) == 0;
        lz::free_buffer(out);
    };
    if (std::strcmp(mode, "once") == 0) {
        pack();
        if (size > 0) unpack();
        return size > 0 && same ? 0 : 1;
    }
    double pack_ms = bench::best_ms(pack);
    if (size < 0) {
        std::fprintf(stderr, "the input does not pack\n");
        return 1;
    }
    double unpack_ms = bench::best_ms(unpack);
    if (!same) {
        std::fprintf(stderr, "unpacking gave other bytes\n");
        return 1;
    }
    std::printf("%lld %.3f %.3f\n", (long long)size, pack_ms, unpack_ms);
    return 0;
}
