// The image codecs: generated images round-trip through each format (JPEG
// within a small tolerance), the committed fixtures (made by
// tests/fixtures/images/make_fixtures.py) decode to the pixels recorded
// beside them, what we write is accepted by the formats' own tools, and
// corrupt, truncated or oversized input fails without harm.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "os/codecs/codecs.h"
#include "os/codecs/libraries.h"

using namespace zel;
using codecs::Picture;

namespace {

namespace fs = std::filesystem;

const fs::path FIXTURES = fs::path(ZEL_SOURCE_DIR) / "tests/fixtures/images";

struct Generated {
    const char* name;
    int32_t width, height;
    uint32_t (*pixel)(int32_t x, int32_t y);
};

uint32_t opaque(int32_t x, int32_t y) { return 0xFF000000 | uint32_t(x * 7919 + y * 104729) % 0xFFFFFF; }
uint32_t partial_alpha(int32_t x, int32_t y) { return uint32_t((x * 31 + y * 17) & 0xFF) << 24 | opaque(y, x) >> 8; }
// At most 200 colours, some fully transparent ones all the same word.
uint32_t few_colours(int32_t x, int32_t y) {
    int c = (x * 3 + y * 5) % 201;
    return c == 200 ? 0 : 0xFF000000 | uint32_t(c * 0x010203 + 0x405060);
}
// Smooth, for JPEG.
uint32_t gradient(int32_t x, int32_t y) { return 0xFF000000 | uint32_t(x * 4 & 0xFF) << 16 | uint32_t(y * 4 & 0xFF) << 8 | 0x80; }

std::vector<uint32_t> make(const Generated& g) {
    std::vector<uint32_t> p(size_t(g.width) * size_t(g.height));
    for (int32_t y = 0; y < g.height; y++)
        for (int32_t x = 0; x < g.width; x++) p[size_t(y) * size_t(g.width) + size_t(x)] = g.pixel(x, y);
    return p;
}

std::vector<uint32_t> plain(const codecs::PixelBuffer& p) { return std::vector<uint32_t>(p.begin(), p.end()); }

int worst_channel(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    int worst = 0;
    for (size_t i = 0; i < a.size(); i++)
        for (int s = 0; s < 32; s += 8) worst = std::max(worst, std::abs(int((a[i] >> s) & 0xFF) - int((b[i] >> s) & 0xFF)));
    return worst;
}

const char* const FORMAT_NAMES[] = {"BMP", "PNG", "GIF", "JPEG", "TIFF"};

std::vector<uint8_t> read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(ImageCodecs, GeneratedImagesRoundTrip) {
    const Generated exact[] = {
        {"opaque", 13, 9, opaque},          {"partial alpha", 8, 6, partial_alpha}, {"1x1", 1, 1, partial_alpha},
        {"odd width", 7, 3, partial_alpha}, {"65535 wide", 65535, 1, opaque},
    };
    for (int format : {codecs::FORMAT_BMP, codecs::FORMAT_PNG, codecs::FORMAT_TIFF})
        for (const Generated& g : exact) {
            std::vector<uint32_t> pixels = make(g);
            std::vector<uint8_t> file;
            ASSERT_TRUE(codecs::encode(format, pixels.data(), g.width, g.height, file)) << FORMAT_NAMES[format] << g.name;
            EXPECT_EQ(codecs::sniff(file.data(), file.size()), format);
            Picture back;
            ASSERT_TRUE(codecs::decode(file.data(), file.size(), back)) << FORMAT_NAMES[format] << " " << g.name;
            EXPECT_EQ(back.width, g.width);
            EXPECT_EQ(back.height, g.height);
            EXPECT_EQ(plain(back.pixels), pixels) << FORMAT_NAMES[format] << " " << g.name;
        }
    // GIF: exact up to 256 colours, transparency included. JPEG: within a
    // small tolerance.
    struct Lossy {
        int format;
        Generated image;
        int tolerance;
    } lossy[] = {
        {codecs::FORMAT_GIF, {"few colours", 40, 30, few_colours}, 0},
        {codecs::FORMAT_GIF, {"1x1", 1, 1, few_colours}, 0},
        {codecs::FORMAT_GIF, {"65535 wide", 65535, 1, few_colours}, 0},
        {codecs::FORMAT_JPEG, {"gradient", 64, 48, gradient}, 6},
        {codecs::FORMAT_JPEG, {"odd", 7, 3, gradient}, 6},
        {codecs::FORMAT_JPEG, {"1x1", 1, 1, gradient}, 6},
    };
    for (const Lossy& c : lossy) {
        std::vector<uint32_t> pixels = make(c.image);
        std::vector<uint8_t> file;
        ASSERT_TRUE(codecs::encode(c.format, pixels.data(), c.image.width, c.image.height, file)) << c.image.name;
        Picture back;
        ASSERT_TRUE(codecs::decode(file.data(), file.size(), back)) << c.image.name;
        ASSERT_EQ(back.pixels.size(), pixels.size());
        EXPECT_LE(worst_channel(plain(back.pixels), pixels), c.tolerance) << FORMAT_NAMES[c.format] << " " << c.image.name;
    }
    // JPEG's own size limit is below 65,535.
    std::vector<uint32_t> wide = make(exact[4]);
    std::vector<uint8_t> file;
    EXPECT_FALSE(codecs::encode(codecs::FORMAT_JPEG, wide.data(), 65535, 1, file));
    EXPECT_TRUE(file.empty());
}

TEST(ImageCodecs, ManyColoursThroughGifKeepTheirShape) {
    Generated g{"opaque", 64, 64, opaque};
    std::vector<uint32_t> pixels = make(g);
    pixels[5] = 0x00123456;  // one transparent pixel among 4,000 colours
    std::vector<uint8_t> file;
    ASSERT_TRUE(codecs::encode(codecs::FORMAT_GIF, pixels.data(), 64, 64, file));
    Picture back;
    ASSERT_TRUE(codecs::decode(file.data(), file.size(), back));
    EXPECT_EQ(back.pixels[5] >> 24, 0u);
    int far = 0;
    for (size_t i = 0; i < pixels.size(); i++)
        if (i != 5 && worst_channel({pixels[i]}, {back.pixels[i]}) > 64) far++;
    EXPECT_LT(far, 64) << "median cut leaves most pixels near their colour";
}

TEST(ImageCodecs, FixturesDecodeToTheirRecordedPixels) {
    int seen = 0;
    for (const auto& entry : fs::directory_iterator(FIXTURES)) {
        fs::path path = entry.path();
        if (path.extension() != ".pixels") continue;
        std::ifstream expected(path);
        int32_t width, height, tolerance;
        expected >> width >> height >> tolerance;
        std::vector<uint32_t> words;
        std::string word;
        while (expected >> word) words.push_back(uint32_t(std::stoul(word, nullptr, 16)));
        fs::path image;
        for (const char* ext : {".png", ".bmp", ".jpg", ".gif", ".tif"})
            if (fs::exists(fs::path(path).replace_extension(ext))) image = fs::path(path).replace_extension(ext);
        ASSERT_FALSE(image.empty()) << path;
        std::vector<uint8_t> bytes = read_file(image);
        Picture picture;
        ASSERT_TRUE(codecs::decode(bytes.data(), bytes.size(), picture)) << image.filename();
        EXPECT_EQ(picture.width, width) << image.filename();
        EXPECT_EQ(picture.height, height) << image.filename();
        ASSERT_EQ(picture.pixels.size(), words.size()) << image.filename();
        EXPECT_LE(worst_channel(plain(picture.pixels), words), tolerance) << image.filename();
        seen++;
    }
    EXPECT_GE(seen, 20);
}

// A CMYK JPEG as Photoshop writes it (inverted samples, Adobe marker), made
// with libjpeg itself: the JPEG tools write no CMYK.
TEST(ImageCodecs, CmykJpegBecomesRgb) {
    const codecs::JpegLibrary* jpeg = codecs::jpeg_library();
    ASSERT_NE(jpeg, nullptr);
    // Ink (C, M, Y, K) of four flat 8x8 blocks, and the colour each gives.
    const uint8_t ink[4][4] = {{0, 0, 0, 0}, {255, 0, 0, 0}, {0, 0, 0, 255}, {0, 128, 255, 0}};
    const uint32_t colour[4] = {0xFFFFFFFF, 0xFF00FFFF, 0xFF000000, 0xFFFF7F00};
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg->jpeg_std_error(&errors);
    jpeg->jpeg_CreateCompress(&info, JPEG_LIB_VERSION, sizeof info);
    unsigned char* file = nullptr;
    unsigned long size = 0;
    jpeg->jpeg_mem_dest(&info, &file, &size);
    info.image_width = 32;
    info.image_height = 8;
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg->jpeg_set_defaults(&info);
    jpeg->jpeg_set_quality(&info, 100, TRUE);
    jpeg->jpeg_start_compress(&info, TRUE);
    uint8_t row[32 * 4];
    for (int x = 0; x < 32; x++)
        for (int c = 0; c < 4; c++) row[x * 4 + c] = uint8_t(255 - ink[x / 8][c]);
    while (info.next_scanline < 8) {
        JSAMPROW r = row;
        jpeg->jpeg_write_scanlines(&info, &r, 1);
    }
    jpeg->jpeg_finish_compress(&info);
    jpeg->jpeg_destroy_compress(&info);
    Picture picture;
    ASSERT_TRUE(codecs::decode(file, size, picture));
    std::free(file);
    ASSERT_EQ(picture.width, 32);
    for (int block = 0; block < 4; block++)
        EXPECT_LE(worst_channel({picture.pixels[size_t(block * 8 + 3 + 32 * 4)]}, {colour[block]}), 3) << block;
}

// What we write passes the formats' own checkers.
TEST(ImageCodecs, WrittenFilesPassTheToolsChecks) {
    const char* tools[] = {nullptr, "pngcheck -q", "giftext", "djpeg -pnm", "tiffinfo -D"};
    const char* suffix[] = {".bmp", ".png", ".gif", ".jpg", ".tif"};
    Generated g{"partial alpha", 9, 5, partial_alpha};
    std::vector<uint32_t> pixels = make(g);
    fs::path dir = fs::temp_directory_path() / ("zel-image-tools-" + std::to_string(getpid()));
    fs::create_directories(dir);
    for (int format = codecs::FORMAT_PNG; format < codecs::FORMAT_COUNT; format++) {
        std::vector<uint8_t> file;
        ASSERT_TRUE(codecs::encode(format, pixels.data(), g.width, g.height, file));
        fs::path path = dir / (std::string("written") + suffix[format]);
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
        std::string command = std::string(tools[format]) + " '" + path.string() + "' >/dev/null 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
    }
    fs::remove_all(dir);
}

// Every fixture cut short, and with bytes changed, fails or decodes, never
// crashes; sizes past the limits are refused before anything is allocated.
TEST(ImageCodecs, DamagedAndOversizedInputFails) {
    for (const auto& entry : fs::directory_iterator(FIXTURES)) {
        if (entry.path().extension() == ".pixels" || entry.path().extension() == ".py") continue;
        std::vector<uint8_t> bytes = read_file(entry.path());
        for (size_t cut : {size_t(0), size_t(8), bytes.size() / 2, bytes.size() - 1}) {
            Picture picture;
            std::vector<uint8_t> part(bytes.begin(), bytes.begin() + long(cut));
            bool decoded = codecs::decode(part.data(), part.size(), picture);
            if (cut <= 8) {
                EXPECT_FALSE(decoded) << entry.path().filename() << " cut at " << cut;
            }
        }
        for (size_t at = 0; at < bytes.size(); at += 7) {
            std::vector<uint8_t> changed = bytes;
            changed[at] ^= 0x5A;
            Picture picture;
            codecs::decode(changed.data(), changed.size(), picture);
        }
    }
    // Truncated pixel data is a failure, not an image completed in grey.
    for (const char* name : {"jpeg_baseline.jpg", "png_interlaced.png", "bmp_24bit.bmp", "tiff_rgb_lzw.tif", "gif_interlaced.gif"}) {
        std::vector<uint8_t> bytes = read_file(FIXTURES / name);
        bytes.resize(bytes.size() * 2 / 3);
        Picture picture;
        EXPECT_FALSE(codecs::decode(bytes.data(), bytes.size(), picture)) << name;
    }
    // A BMP header claiming 65,536 x 1, then 40,000 x 40,000 (past the
    // series limit): refused.
    std::vector<uint8_t> bmp = read_file(FIXTURES / "bmp_24bit.bmp");
    for (auto [w, h] : {std::pair<uint32_t, uint32_t>{65536, 1}, {40000, 40000}, {0, 3}}) {
        std::vector<uint8_t> big = bmp;
        for (int i = 0; i < 4; i++) big[18 + i] = uint8_t(w >> (8 * i)), big[22 + i] = uint8_t(h >> (8 * i));
        Picture picture;
        EXPECT_FALSE(codecs::decode(big.data(), big.size(), picture)) << w << "x" << h;
    }
    EXPECT_FALSE(codecs::size_fits(65536, 1));
    EXPECT_FALSE(codecs::size_fits(65535, 65535));
    EXPECT_TRUE(codecs::size_fits(65535, 8191));
    EXPECT_FALSE(codecs::size_fits(65535, 8193));
}
