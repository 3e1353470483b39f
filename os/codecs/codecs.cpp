// What the codecs share: the size limits, telling the formats apart by
// their first bytes, and the calls by format.
#include "os/codecs/codecs.h"

#include <cstring>
#include <new>

#include "foundation/memory.h"

namespace zel::codecs {

namespace {

int64_t g_byte_limit = SERIES_MAX_BYTES;

bool starts_with(const uint8_t* data, size_t size, const char* magic, size_t n) {
    return size >= n && std::memcmp(data, magic, n) == 0;
}

}  // namespace

int64_t byte_limit() { return g_byte_limit; }
void set_byte_limit(int64_t bytes) { g_byte_limit = bytes; }

bool size_fits(int64_t width, int64_t height) {
    return width >= 1 && height >= 1 && width <= MAX_SIDE && height <= MAX_SIDE && width * height * 4 <= g_byte_limit;
}

bool allocate(Picture& picture, int64_t width, int64_t height) {
    if (!size_fits(width, height)) return false;
    try {
        picture.pixels.resize(size_t(width * height));
    } catch (const std::bad_alloc&) {
        return false;
    }
    picture.width = int32_t(width);
    picture.height = int32_t(height);
    return true;
}

int sniff(const uint8_t* data, size_t size) {
    if (starts_with(data, size, "BM", 2)) return FORMAT_BMP;
    if (starts_with(data, size, "\x89PNG\r\n\x1a\n", 8)) return FORMAT_PNG;
    if (starts_with(data, size, "GIF87a", 6) || starts_with(data, size, "GIF89a", 6)) return FORMAT_GIF;
    if (starts_with(data, size, "\xff\xd8\xff", 3)) return FORMAT_JPEG;
    if (starts_with(data, size, "II*\0", 4) || starts_with(data, size, "MM\0*", 4)) return FORMAT_TIFF;
    return -1;
}

bool decode(const uint8_t* data, size_t size, Picture& out) {
    static bool (*const decoders[FORMAT_COUNT])(const uint8_t*, size_t, Picture&) = {
        decode_bmp, decode_png, decode_gif, decode_jpeg, decode_tiff};
    int format = sniff(data, size);
    return format >= 0 && decoders[format](data, size, out);
}

bool encode(int format, const uint32_t* pixels, int32_t width, int32_t height, std::vector<uint8_t>& out) {
    static bool (*const encoders[FORMAT_COUNT])(const uint32_t*, int32_t, int32_t, std::vector<uint8_t>&) = {
        encode_bmp, encode_png, encode_gif, encode_jpeg, encode_tiff};
    out.clear();
    if (format < 0 || format >= FORMAT_COUNT || width < 1 || height < 1) return false;
    try {
        return encoders[format](pixels, width, height, out);
    } catch (const std::bad_alloc&) {
        out.clear();
        return false;
    }
}

uint32_t unpremultiply(uint32_t pixel) {
    uint32_t a = pixel >> 24;
    if (a == 0 || a == 255) return pixel;
    uint32_t result = a << 24;
    for (int shift = 0; shift < 24; shift += 8) {
        uint32_t c = (((pixel >> shift) & 0xFF) * 255 + a / 2) / a;
        result |= (c > 255 ? 255 : c) << shift;
    }
    return result;
}

}  // namespace zel::codecs
