// The image back-end: records in the external-resource registry, making,
// locking and poking pixels, encoding (and its errors), nearest-neighbour
// scaling, clipping copies, and the quadrilateral mapping with its
// degenerate cases.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "boot/runtime.h"
#include "foundation/ext_res.h"
#include "foundation/memory.h"
#include "foundation/raise.h"
#include "os/codecs/codecs.h"
#include "os/image_os.h"
#include "series/binary.h"
#include "series/file.h"

using namespace zel;
using image_os::Record;
using image_os::Vector;

namespace {

void start() { runtime::init(); }

Record* checker(int32_t w, int32_t h) {
    std::vector<uint32_t> p(size_t(w) * size_t(h));
    for (int32_t i = 0; i < w * h; i++) p[size_t(i)] = 0xFF000000 | uint32_t(i * 0x0A0B0C);
    return image_os::from_memory(w, h, 0, p.data());
}

ErrorId error_of(void (*step)()) {
    try {
        step();
    } catch (const ErrorThrow& e) {
        return e.id;
    }
    return ErrorId(0);
}

}  // namespace

TEST(ImageOs, RecordsLiveInTheRegistryUntilReleased) {
    start();
    uint32_t red = 0xFFFF0000;
    Record* r = image_os::make_image(3, 2, nullptr, 0, nullptr, 0, &red);
    ASSERT_NE(r, nullptr);
    const int32_t slot = r->slot;
    EXPECT_EQ(image_os::width_q(r), 3);
    EXPECT_EQ(image_os::height_q(r), 2);
    EXPECT_EQ(image_os::record_at(slot), r);
    EXPECT_EQ(image_os::make_image(0, 5, nullptr, 0, nullptr, 0, nullptr), nullptr);
    // RGB triples fill from the first pixel, white after them; transparency
    // bytes likewise, opaque after them; a colour fills every pixel.
    const uint8_t rgb[] = {1, 2, 3, 4, 5, 6, 7};
    const uint8_t alpha[] = {9, 0};
    struct Case {
        const uint8_t* rgb;
        const uint8_t* alpha;
        const uint32_t* colour;
        uint32_t pixels[3];
    } cases[] = {
        {rgb, alpha, nullptr, {0xF6010203, 0xFF040506, 0xFFFFFFFF}},
        {nullptr, alpha, &red, {0xF6FF0000, 0xFFFF0000, 0xFFFF0000}},
        {rgb, nullptr, &red, {red, red, red}},
        {nullptr, nullptr, nullptr, {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}},
    };
    for (const Case& c : cases) {
        Record* made = image_os::make_image(3, 1, c.rgb, sizeof rgb, c.alpha, sizeof alpha, c.colour);
        for (int i = 0; i < 3; i++) EXPECT_EQ(image_os::get_pixel(made, i), c.pixels[i]) << i;
    }
    // A write marks the pixels modified; a cached object is dropped when
    // the source is taken again, and at a collection unless kept.
    static int dropped = 0;
    auto drop = [](void*) { dropped++; };
    image_os::source(r);
    image_os::set_cached(r, r, drop, false);
    image_os::set_pixel(r, 4, 0xFF00FF00);
    EXPECT_TRUE(r->flags & image_os::MODIFIED);
    EXPECT_EQ(image_os::source(r)[4], 0xFF00FF00u);
    EXPECT_EQ(dropped, 1);
    EXPECT_FALSE(r->flags & image_os::MODIFIED);
    image_os::set_cached(r, r, drop, true);
    image_os::gc_mark(r);
    EXPECT_EQ(dropped, 1);
    EXPECT_EQ(image_os::cached(r), r);
    ext_res::sweep();  // clears the marks of the marked
    image_os::gc_mark(r);
    EXPECT_EQ(dropped, 2);
    ext_res::sweep();
    // Unmarked: the sweep releases it and frees its slot.
    ext_res::sweep();
    EXPECT_EQ(ext_res::slot(slot)->class_word, ext_res::SLOT_FREE);
    EXPECT_EQ(image_os::record_at(slot), nullptr);
}

TEST(ImageOs, LockingAnImageWithoutPixelsIsBadMedia) {
    start();
    static Record* released = checker(2, 2);
    image_os::release(released);
    EXPECT_EQ(error_of([] { image_os::lock(released, false); }), ERR_access_bad_media);
    EXPECT_EQ(error_of([] { image_os::resize(released, 4, 4); }), ERR_access_bad_media);
    EXPECT_EQ(error_of([] {
                  Cell file;
                  image_os::encode(released, &file, codecs::FORMAT_PNG);
              }),
              ERR_access_bad_media);
    Record* r = checker(4, 3);
    image_os::Lock lock = image_os::lock(r, true);
    int32_t stride = 0;
    uint32_t* data = image_os::get_data(lock, &stride);
    EXPECT_EQ(stride, 16);
    data[11] = 7;
    image_os::unlock(r, lock);
    EXPECT_EQ(image_os::get_pixel(r, 11), 7u);
}

TEST(ImageOs, EncodingAnswersAFileOrRaises) {
    start();
    Record* r = checker(5, 4);
    image_os::set_pixel(r, 0, 0x80123456);
    for (int format = 0; format < codecs::FORMAT_COUNT; format++) {
        Cell file;
        image_os::encode(r, &file, format);
        ASSERT_GT(binary::length_q(&file), 0) << format;
        Record* back = image_os::decode_memory(binary::head(&file), binary::length_q(&file));
        ASSERT_NE(back, nullptr) << format;
        EXPECT_EQ(image_os::width_q(back), 5);
        if (format != codecs::FORMAT_JPEG && format != codecs::FORMAT_GIF) {
            EXPECT_EQ(image_os::get_pixel(back, 0), 0x80123456u) << "an encoding after a poke shows it";
        }
    }
    Cell empty;
    image_os::encode(nullptr, &empty, codecs::FORMAT_PNG);
    EXPECT_EQ(binary::length_q(&empty), 0);
    // JPEG cannot hold 65,535 columns: access bad-media, no partial file.
    EXPECT_EQ(error_of([] {
                  Cell file;
                  image_os::encode(image_os::make_image(65535, 1, nullptr, 0, nullptr, 0, nullptr), &file,
                                   codecs::FORMAT_JPEG);
              }),
              ERR_access_bad_media);
    EXPECT_EQ(error_of([] { image_os::make_image(65536, 1, nullptr, 0, nullptr, 0, nullptr); }), ERR_internal_no_memory);
    const uint8_t junk[] = {'B', 'M', 0, 0, 1};
    EXPECT_EQ(image_os::decode_memory(junk, sizeof junk), nullptr);
    EXPECT_EQ(image_os::decode_file("/nonexistent/image.png"), nullptr);
    const char path[] = ZEL_SOURCE_DIR "/tests/fixtures/images/png_grey.png";
    Cell file;
    file::make_at(&file, path, int64_t(sizeof path - 1));
    Record* fixture = image_os::decode_file(&file);
    ASSERT_NE(fixture, nullptr);
    EXPECT_EQ(image_os::get_pixel(fixture, 1), 0xFF282828u);
}

TEST(ImageOs, ResizeOfFlatColoursByWholeFactorsIsExact) {
    start();
    // Four flat quadrants of 6x4 each.
    const uint32_t quadrant[4] = {0xFF112233, 0x80445566, 0x00000000, 0xFFFFFFFF};
    std::vector<uint32_t> p(12 * 8);
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 12; x++) p[size_t(y * 12 + x)] = quadrant[(y / 4) * 2 + x / 6];
    Record* r = image_os::from_memory(12, 8, 0, p.data());
    struct Case {
        int32_t w, h;
    } cases[] = {{24, 16}, {36, 8}, {6, 4}, {4, 4}, {2, 2}, {12, 8}};
    for (Case c : cases) {
        Record* s = image_os::resize(r, c.w, c.h);
        for (int y = 0; y < c.h; y++)
            for (int x = 0; x < c.w; x++)
                ASSERT_EQ(image_os::get_pixel(s, y * c.w + x), quadrant[(y * 2 / c.h) * 2 + x * 2 / c.w])
                    << c.w << "x" << c.h << " at " << x << "," << y;
    }
    EXPECT_EQ(image_os::resize(r, 0, 3), nullptr);
}

TEST(ImageOs, CopyRegionClips) {
    start();
    Record* r = checker(5, 4);
    struct Case {
        int32_t x, y, w, h;
        int32_t left, top, width, height;  // width 0: nothing
    } cases[] = {
        {1, 1, 2, 2, 1, 1, 2, 2},   {3, 2, 10, 10, 3, 2, 2, 2}, {-2, -1, 4, 3, 0, 0, 2, 2},
        {0, 0, 5, 4, 0, 0, 5, 4},   {5, 0, 1, 1, 0, 0, 0, 0},   {-3, 0, 3, 4, 0, 0, 0, 0},
        {2, 3, 0, 1, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        Record* part = image_os::copy_region(r, c.x, c.y, c.w, c.h);
        if (!c.width) {
            EXPECT_EQ(part, nullptr) << c.x << "," << c.y;
            continue;
        }
        ASSERT_NE(part, nullptr);
        ASSERT_EQ(image_os::width_q(part), c.width);
        ASSERT_EQ(image_os::height_q(part), c.height);
        for (int y = 0; y < c.height; y++)
            for (int x = 0; x < c.width; x++)
                EXPECT_EQ(image_os::get_pixel(part, y * c.width + x), image_os::get_pixel(r, (c.top + y) * 5 + c.left + x));
    }
    Record* whole = image_os::copy(r);
    EXPECT_EQ(whole->pixels, r->pixels);
    EXPECT_NE(whole->slot, r->slot);
}

TEST(ImageOs, MappingOntoTheSourceSquareIsABilinearResample) {
    start();
    std::vector<uint32_t> source(100);
    for (int i = 0; i < 100; i++) source[size_t(i)] = uint32_t(i * 0x01020304) | 0x80000000;
    const Vector square[4] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    int32_t box[4];
    uint32_t* out = image_os::map_quad(source.data(), 10, 10, square, box);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(box[0], 0);
    EXPECT_EQ(box[1], 0);
    EXPECT_EQ(box[2], 10);
    EXPECT_EQ(box[3], 10);
    // Box pixel (i, j) samples the source at (i, j): whole coordinates,
    // so the resample is the source itself.
    for (int i = 0; i < 100; i++) EXPECT_EQ(out[i], source[size_t(i)]) << i;
    memory::heap_free(out);
    // Twice the size: every pixel a blend of its neighbours, halfway.
    const Vector twice[4] = {{0, 0}, {20, 0}, {20, 20}, {0, 20}};
    out = image_os::map_quad(source.data(), 10, 10, twice, box);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(box[2], 20);
    uint32_t a = source[0], b = source[1];
    uint32_t mid = 0;
    for (int s = 0; s < 32; s += 8) mid |= ((((a >> s) & 0xFF) + ((b >> s) & 0xFF)) / 2) << s;
    EXPECT_EQ(out[1], mid);
    EXPECT_EQ(out[2], b);
    memory::heap_free(out);
}

TEST(ImageOs, DegenerateQuadrilateralsGiveNothing) {
    start();
    uint32_t source[4] = {1, 2, 3, 4};
    const double nan = std::nan(""), inf = std::numeric_limits<double>::infinity();
    const Vector cases[][4] = {
        {{0, 0}, {0, 0}, {10, 10}, {0, 10}},     // a zero-length edge
        {{0, 0}, {5, 5}, {10, 10}, {20, 20}},    // on one line: no area
        {{0, 0}, {10, 0}, {10, nan}, {0, 10}},   // not a number
        {{0, 0}, {inf, 0}, {10, 10}, {0, 10}},   // infinite
        {{0, 0}, {10, 0}, {10, 10}, {-3e9, 10}}, // beyond 32 bits
    };
    int32_t box[4];
    for (const auto& quad : cases) EXPECT_EQ(image_os::map_quad(source, 2, 2, quad, box), nullptr);
    const Vector square[4] = {{0, 0}, {4, 0}, {4, 4}, {0, 4}};
    EXPECT_EQ(image_os::map_quad(source, 0, 2, square, box), nullptr);
    // A box past the series limit.
    EXPECT_EQ(error_of([] {
                  uint32_t one = 1;
                  const Vector huge[4] = {{0, 0}, {60000, 0}, {60000, 60000}, {0, 60000}};
                  int32_t b[4];
                  image_os::map_quad(&one, 1, 1, huge, b);
              }),
              ERR_internal_no_memory);
    EXPECT_EQ(error_of([] {
                  uint32_t one = 1;
                  const Vector thin[4] = {{-2e9, 0}, {2e9, 0}, {2e9, 0.5}, {-2e9, 0.5}};
                  int32_t b[4];
                  image_os::map_quad(&one, 1, 1, thin, b);
              }),
              ERR_internal_no_memory);
    // The other orientation is outside every edge: an empty (transparent) box.
    const Vector reversed[4] = {{0, 0}, {0, 4}, {4, 4}, {4, 0}};
    uint32_t* out = image_os::map_quad(source, 2, 2, reversed, box);
    ASSERT_NE(out, nullptr);
    for (int i = 0; i < 16; i++) EXPECT_EQ(out[i], 0u);
    memory::heap_free(out);
}

TEST(ImageOs, VectorHelpersAndCrop) {
    EXPECT_DOUBLE_EQ(image_os::length({3, 4}), 5);
    Vector n = image_os::normalise({0, -7});
    EXPECT_DOUBLE_EQ(n.y, -1);
    EXPECT_DOUBLE_EQ(image_os::cross({1, 0}, {0, 1}), 1);
    Vector quad[4] = {{0, 0}, {4, 0}, {4, 2}, {0, 2}};
    EXPECT_TRUE(image_os::inside_quad(quad, {1, 1}));
    EXPECT_FALSE(image_os::inside_quad(quad, {5, 1}));
    image_os::mirror_x(quad, 5);
    EXPECT_DOUBLE_EQ(quad[1].x, 6);
    image_os::mirror_y(quad, 1);
    EXPECT_DOUBLE_EQ(quad[2].y, 0);
    uint32_t pixels[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};  // 4 x 3
    uint32_t out[4] = {99, 99, 99, 99};
    EXPECT_TRUE(image_os::crop(pixels, 4, 3, 2, 1, 5, 5, out));
    EXPECT_EQ(out[0], 6u);
    EXPECT_EQ(out[1], 7u);
    EXPECT_EQ(out[2], 10u);
    EXPECT_EQ(out[3], 11u);
    EXPECT_FALSE(image_os::crop(pixels, 4, 3, 4, 0, 1, 1, out));
    EXPECT_FALSE(image_os::crop(pixels, 4, 3, -1, 0, 1, 1, out));
}
