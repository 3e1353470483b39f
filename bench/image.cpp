// Image codec speed: a generated 4000 x 3000 image (by default) encoded as
// JPEG (quality 90) and PNG, and those files decoded, in memory, best of
// three runs of each.
//
//   bench_image <dir> [width height]        timings
//   bench_image <dir> width height STEP     one STEP (jpeg-encode,
//       jpeg-decode, png-encode, png-decode) once, for callgrind
//
// Writes <dir>/image.ppm (the pixels, for the other programs' encoders) and
// <dir>/image.jpg, <dir>/image.png (our files, which both sides decode),
// and prints
//   zel <jpeg encode ms> <jpeg decode ms> <png encode ms> <png decode ms>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "os/codecs/codecs.h"
#include "bench/timing.h"

using namespace zel;

namespace {

// A photograph-like image: smooth gradients with a little noise, opaque.
std::vector<uint32_t> generate(int32_t w, int32_t h) {
    std::vector<uint32_t> p(size_t(w) * size_t(h));
    uint32_t state = 12345;
    for (int32_t y = 0; y < h; y++)
        for (int32_t x = 0; x < w; x++) {
            state = state * 1103515245 + 12345;
            int noise = int(state >> 28) - 8;
            auto channel = [noise](int v) { return uint32_t(std::clamp(v + noise, 0, 255)); };
            uint32_t r = channel(x * 255 / w), g = channel(y * 255 / h), b = channel(((x + y) / 7) % 256);
            p[size_t(y) * size_t(w) + size_t(x)] = 0xFF000000 | r << 16 | g << 8 | b;
        }
    return p;
}

void write_file(const std::string& path, const void* data, size_t n, const std::string& header = "") {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::exit(1);
    std::fwrite(header.data(), 1, header.size(), f);
    std::fwrite(data, 1, n, f);
    std::fclose(f);
}

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "%s failed\n", what);
    std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <dir> [width height [step]]\n", argv[0]);
        return 2;
    }
    std::string dir = argv[1];
    int32_t w = argc > 3 ? std::atoi(argv[2]) : 4000, h = argc > 3 ? std::atoi(argv[3]) : 3000;
    std::vector<uint32_t> pixels = generate(w, h);
    std::vector<uint8_t> jpeg, png;
    codecs::Picture picture;
    if (argc > 4) {
        std::string step = argv[4];
        // The file a decoding step reads; callgrind counts only inside the
        // step's own function.
        if (step == "jpeg-decode") check(codecs::encode(codecs::FORMAT_JPEG, pixels.data(), w, h, jpeg), "encoding");
        if (step == "png-decode") check(codecs::encode(codecs::FORMAT_PNG, pixels.data(), w, h, png), "encoding");
        if (step == "jpeg-encode") check(codecs::encode_jpeg(pixels.data(), w, h, jpeg), step.c_str());
        if (step == "jpeg-decode") check(codecs::decode_jpeg(jpeg.data(), jpeg.size(), picture), step.c_str());
        if (step == "png-encode") check(codecs::encode_png(pixels.data(), w, h, png), step.c_str());
        if (step == "png-decode") check(codecs::decode_png(png.data(), png.size(), picture), step.c_str());
        return 0;
    }
    std::string rgb;
    rgb.reserve(size_t(w) * size_t(h) * 3);
    for (uint32_t p : pixels) rgb += {char(p >> 16), char(p >> 8), char(p)};
    write_file(dir + "/image.ppm", rgb.data(), rgb.size(), "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n");
    double jpeg_encode = bench::best_ms([&] { check(codecs::encode_jpeg(pixels.data(), w, h, jpeg), "JPEG encoding"); });
    double jpeg_decode = bench::best_ms([&] { check(codecs::decode_jpeg(jpeg.data(), jpeg.size(), picture), "JPEG decoding"); });
    double png_encode = bench::best_ms([&] { check(codecs::encode_png(pixels.data(), w, h, png), "PNG encoding"); });
    double png_decode = bench::best_ms([&] { check(codecs::decode_png(png.data(), png.size(), picture), "PNG decoding"); });
    check(std::equal(picture.pixels.begin(), picture.pixels.end(), pixels.begin()), "PNG round trip");
    write_file(dir + "/image.jpg", jpeg.data(), jpeg.size());
    write_file(dir + "/image.png", png.data(), png.size());
    std::printf("zel %.1f %.1f %.1f %.1f\n", jpeg_encode, jpeg_decode, png_encode, png_decode);
    return 0;
}
