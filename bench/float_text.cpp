// Float text speed: molding random doubles (shortest text) and reading the
// texts back, each pass timed on its own, best of three.
//
//   bench_float_text <count> <doubles.bin>
//
// Writes the doubles it times to doubles.bin (raw little-endian), so that
// other implementations can be timed on the same numbers, and prints
//   mold <seconds>
//   read <seconds>
#include <bit>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "scalars/dtoa.h"

using namespace zel;

namespace {

constexpr int ROUNDS = 3;

// Random bit patterns over the whole finite range, from a fixed seed.
std::vector<double> random_doubles(size_t count) {
    std::vector<double> out;
    out.reserve(count);
    uint64_t state = 0x243F6A8885A308D3ull;
    while (out.size() < count) {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        if ((z & 0x7FF0000000000000ull) == 0x7FF0000000000000ull) continue;
        out.push_back(std::bit_cast<double>(z));
    }
    return out;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <count> <doubles.bin>\n", argv[0]);
        return 2;
    }
    size_t count = std::strtoull(argv[1], nullptr, 10);
    std::vector<double> values = random_doubles(count);
    FILE* f = std::fopen(argv[2], "wb");
    if (!f || std::fwrite(values.data(), sizeof(double), count, f) != count ||
        std::fclose(f) != 0) {
        std::perror(argv[2]);
        return 1;
    }

    std::vector<char> texts(count * 32);
    std::vector<uint32_t> offsets(count + 1);
    std::vector<double> back(count);
    double best_mold = 1e300, best_read = 1e300;
    for (int round = 0; round < ROUNDS; ++round) {
        auto start = std::chrono::steady_clock::now();
        uint32_t at = 0;
        for (size_t i = 0; i < count; ++i) {
            dtoa::FloatText t = dtoa::form_float(values[i], 0, true);
            std::memcpy(texts.data() + at, t.chars, size_t(t.length));
            offsets[i] = at;
            at += uint32_t(t.length);
        }
        offsets[count] = at;
        double mold = seconds_since(start);

        start = std::chrono::steady_clock::now();
        for (size_t i = 0; i < count; ++i) {
            int unconsumed = 0;
            const char* text = texts.data() + offsets[i];
            back[i] = dtoa::string_to_float(text, texts.data() + offsets[i + 1], 0, unconsumed);
        }
        double read = seconds_since(start);
        if (mold < best_mold) best_mold = mold;
        if (read < best_read) best_read = read;
    }
    for (size_t i = 0; i < count; ++i) {
        if (std::bit_cast<uint64_t>(back[i]) != std::bit_cast<uint64_t>(values[i])) {
            std::fprintf(stderr, "round trip failed for the double %zu\n", i);
            return 1;
        }
    }
    std::printf("mold %.6f\nread %.6f\n", best_mold, best_read);
    return 0;
}
