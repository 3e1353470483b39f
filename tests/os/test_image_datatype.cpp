// image! values over the back-end's records: the cell's words, the
// collector keeping a record while a value reaches it and releasing it once
// none does, and the clipboard's PNG entries.
#include <gtest/gtest.h>

#include <vector>

#include "boot/runtime.h"
#include "foundation/collector.h"
#include "foundation/ext_res.h"
#include "os/image.h"
#include "os/image_os.h"

using namespace zel;

namespace {

void start() { runtime::init(); }

image_os::Record* striped(int32_t w, int32_t h) {
    std::vector<uint32_t> p(size_t(w) * size_t(h));
    for (size_t i = 0; i < p.size(); i++) p[i] = (i % 2 ? 0x80000000u : 0xFF000000u) | uint32_t(i * 0x010305);
    return image_os::from_memory(w, h, 0, p.data());
}

}  // namespace

TEST(ImageDatatype, TheCellHoldsTheSizeAndAHolderOfTheRecord) {
    start();
    Cell image;
    gc::root keep(&image);
    image::make_at(&image, striped(300, 2));
    EXPECT_EQ(type_of(&image), TYPE_IMAGE);
    EXPECT_EQ(image.data1, 0u) << "head";
    EXPECT_NE(image.data2, 0u) << "holder node";
    EXPECT_EQ(image.data3, 2u << 16 | 300u);
    EXPECT_EQ(image::pixel_count(&image), 600);
    ASSERT_NE(image::record_of(&image), nullptr);

    Cell empty;
    image::make_at(&empty, nullptr);
    EXPECT_EQ(type_of(&empty), TYPE_IMAGE);
    EXPECT_EQ(empty.data2, 0u) << "no holder without pixels";
    EXPECT_EQ(empty.data3, 0u);
    EXPECT_EQ(image::record_of(&empty), nullptr);
}

TEST(ImageDatatype, TheCollectorKeepsReachedRecordsAndReleasesTheOthers) {
    start();
    Cell kept, dropped;
    gc::root keep(&kept);
    image::make_at(&kept, striped(4, 4));
    image::make_at(&dropped, striped(4, 4));
    const int32_t kept_slot = image::record_of(&kept)->slot;
    const int32_t dropped_slot = image::record_of(&dropped)->slot;
    collector::do_cycle();
    EXPECT_NE(image_os::record_at(kept_slot), nullptr);
    EXPECT_EQ(image_os::record_at(dropped_slot), nullptr) << "no value reaches it";
    // The kept record still has its pixels.
    EXPECT_EQ(image_os::get_pixel(image::record_of(&kept), 1), 0x80010305u);
}

TEST(ImageDatatype, PngEntriesOfTheClipboard) {
    start();
    Cell image, back;
    gc::root keep(&image), keep_back(&back);
    image::make_at(&image, striped(5, 3));
    std::vector<uint8_t> png;
    ASSERT_TRUE(image::to_png(&image, png));
    ASSERT_TRUE(image::from_png(png.data(), int64_t(png.size()), &back));
    EXPECT_EQ(back.data3, image.data3);
    for (int64_t i = 0; i < 15; i++)
        EXPECT_EQ(image_os::get_pixel(image::record_of(&back), i), image_os::get_pixel(image::record_of(&image), i)) << i;

    // Other formats, corrupt PNGs and empty images are refused.
    std::vector<uint8_t> bmp;
    ASSERT_TRUE(codecs::encode_bmp(image_os::source(image::record_of(&image)), 5, 3, bmp));
    EXPECT_FALSE(image::from_png(bmp.data(), int64_t(bmp.size()), &back));
    png.resize(png.size() / 2);
    EXPECT_FALSE(image::from_png(png.data(), int64_t(png.size()), &back));
    EXPECT_FALSE(image::from_png(nullptr, 0, &back));
    Cell empty;
    image::make_at(&empty, nullptr);
    EXPECT_FALSE(image::to_png(&empty, png));
}

// At quit the tracked heap goes, slot table and all: the records still
// entered, whose pixels live outside it, are released first.
TEST(ImageDatatype, RecordsStillEnteredAreReleasedAtQuit) {
    start();
    Cell image;
    gc::root keep(&image);
    image::make_at(&image, striped(2, 2));
    const int32_t slot = image::record_of(&image)->slot;
    ext_res::release_all();
    EXPECT_EQ(ext_res::used_count(), 0);
    EXPECT_EQ(image_os::record_at(slot), nullptr);
    EXPECT_EQ(image::record_of(&image), nullptr) << "the value no longer finds it";
    ext_res::release_all();  // nothing left: a second call does nothing
    EXPECT_EQ(ext_res::used_count(), 0);
}
