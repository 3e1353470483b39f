// Checksum speed: CRC-32, Adler-32 and SHA-256 over a buffer of random bytes
// (256 MB by default), best of three runs of each.
//
//   bench_checksum <bytes file> [megabytes]
//
// Writes the bytes (from a fixed seed) so that other programs work on the
// same data, and prints
//   zel <crc32 ms> <adler32 ms> <sha256 ms> <crc32> <adler32>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "boot/runtime.h"
#include "os/checksum.h"
#include "bench/timing.h"

using namespace zel;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <bytes file> [megabytes]\n", argv[0]);
        return 2;
    }
    size_t size = size_t(argc > 2 ? std::atoi(argv[2]) : 256) << 20;
    runtime::init();
    std::string bytes(size, '\0');
    uint64_t state = 0x9E3779B97F4A7C15ull;
    for (auto& b : bytes) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        b = char(state >> 56);
    }
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    int32_t crc = 0, adler = 0;
    double crc_ms = bench::best_ms([&] { crc = checksum::crc32(data, size); });
    double adler_ms = bench::best_ms([&] { adler = checksum::adler32(data, size); });
    double sha_ms = bench::best_ms([&] { checksum::digest(data, size, checksum::SHA256); });
    FILE* f = std::fopen(argv[1], "wb");
    if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) {
        std::perror("writing the benchmark file");
        return 1;
    }
    std::printf("zel %.3f %.3f %.3f %d %d\n", crc_ms, adler_ms, sha_ms, crc, adler);
    return 0;
}
