// PNG through libpng's simplified API, which reports failures by its
// answers (no setjmp reaches our frames). Every PNG variant is read as
// 8-bit BGRA, our pixel words in memory order; 16-bit samples are taken as
// sRGB like the 8-bit ones, not as linear light, so that they keep their
// values (scaled to 8 bits).
#include <algorithm>
#include <cstring>

#include "os/codecs/codecs.h"
#include "os/codecs/libraries.h"

namespace zel::codecs {

bool decode_png(const uint8_t* data, size_t size, Picture& out) {
    const PngLibrary* png = png_library();
    if (!png) return false;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png->png_image_begin_read_from_memory(&image, data, size)) {
        png->png_image_free(&image);
        return false;
    }
    if (!allocate(out, image.width, image.height)) {
        png->png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_BGRA;
    image.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;
    bool done = png->png_image_finish_read(&image, nullptr, out.pixels.data(), 0, nullptr) != 0;
    png->png_image_free(&image);
    return done;
}

bool encode_png(const uint32_t* pixels, int32_t width, int32_t height, std::vector<uint8_t>& out) {
    const PngLibrary* png = png_library();
    if (!png) return false;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = uint32_t(width);
    image.height = uint32_t(height);
    // An opaque image is written without its alpha channel: a quarter less
    // to filter and compress, and a smaller file.
    size_t count = size_t(width) * size_t(height);
    bool opaque = std::all_of(pixels, pixels + count, [](uint32_t p) { return p >> 24 == 255; });
    std::vector<uint8_t> bgr;
    const void* rows = pixels;
    image.format = PNG_FORMAT_BGRA;
    if (opaque) {
        bgr.resize(count * 3);
        for (size_t i = 0; i < count; i++) std::memcpy(&bgr[3 * i], &pixels[i], 3);
        rows = bgr.data();
        image.format = PNG_FORMAT_BGR;
    }
    // Into a buffer of the largest size the file can have: asking for the
    // exact size first would compress everything twice.
    png_alloc_size_t size = PNG_IMAGE_PNG_SIZE_MAX(image);
    out.resize(size);
    bool done = png->png_image_write_to_memory(&image, out.data(), &size, 0, rows, 0, nullptr) != 0;
    png->png_image_free(&image);
    if (!done || size > out.size()) return false;
    out.resize(size);
    return true;
}

}  // namespace zel::codecs
