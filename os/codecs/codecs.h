// The image codecs: each turns a file in memory into pixels, or pixels into
// a file, in one call that keeps no state between calls. Pixels are
// 0xAARRGGBB words, rows top-down, no padding.
//
// BMP is our own code; PNG, JPEG, GIF and TIFF go through libpng,
// libjpeg-turbo, giflib and libtiff, opened at their first use (see
// libraries.h). A decoder refuses an image that is wider or taller than
// 65,535 or whose pixels would pass the size limit, and sets the library's
// own limits to the same bounds, so corrupt input ends in a failure and
// never in a huge allocation. An encoder answers false when any step fails:
// a partial file is never passed off as a result.
//
// Relies on: the four libraries, the series size limit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace zel::codecs {

// Codec identifiers, as scripts name them.
enum Format : int { FORMAT_BMP = 0, FORMAT_PNG = 1, FORMAT_GIF = 2, FORMAT_JPEG = 3, FORMAT_TIFF = 4, FORMAT_COUNT = 5 };

constexpr int64_t MAX_SIDE = 65535;

// An allocator that leaves new elements uninitialised. Every maker of
// pixels writes all of them, and a size claimed by a file's header then
// costs address space only, not memory, until there is data to fill it.
template <typename T>
struct Uninitialised : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = Uninitialised<U>;
    };
    Uninitialised() = default;
    template <typename U>
    Uninitialised(const Uninitialised<U>&) noexcept {}
    template <typename U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

using PixelBuffer = std::vector<uint32_t, Uninitialised<uint32_t>>;

struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    PixelBuffer pixels;
};

// The largest pixel buffer a decoder makes, in bytes: the series limit,
// lowered by the fuzz targets so that a claimed size cannot exhaust them.
int64_t byte_limit();
void set_byte_limit(int64_t bytes);
// True when an image of this size may be made: both sides 1 to 65,535 and
// w x h x 4 within the byte limit.
bool size_fits(int64_t width, int64_t height);
// Sizes the picture's buffer (not cleared); false when the size does not fit or
// the memory is refused.
bool allocate(Picture& picture, int64_t width, int64_t height);

// The format a file's first bytes show, or -1.
int sniff(const uint8_t* data, size_t size);

// Decoding: true with the picture filled, false on any failure.
bool decode(const uint8_t* data, size_t size, Picture& out);
bool decode_bmp(const uint8_t* data, size_t size, Picture& out);
bool decode_png(const uint8_t* data, size_t size, Picture& out);
bool decode_jpeg(const uint8_t* data, size_t size, Picture& out);
bool decode_gif(const uint8_t* data, size_t size, Picture& out);
bool decode_tiff(const uint8_t* data, size_t size, Picture& out);

// Encoding of width x height pixels (both at least 1): true with the file
// in `out`, false when a step fails.
bool encode(int format, const uint32_t* pixels, int32_t width, int32_t height, std::vector<uint8_t>& out);
bool encode_bmp(const uint32_t* pixels, int32_t width, int32_t height, std::vector<uint8_t>& out);
bool encode_png(const uint32_t* pixels, int32_t width, int32_t height, std::vector<uint8_t>& out);
bool encode_jpeg(const uint32_t* pixels, int32_t width, int32_t height, std::vector<uint8_t>& out);
bool encode_gif(const uint32_t* pixels, int32_t width, int32_t height, std::vector<uint8_t>& out);
bool encode_tiff(const uint32_t* pixels, int32_t width, int32_t height, std::vector<uint8_t>& out);

// At most `colours` representative colours of the pixels (median cut over
// their distinct colours), and for each pixel the index of its nearest.
void quantise(const uint32_t* pixels, size_t count, int colours, std::vector<uint32_t>& palette,
              std::vector<uint8_t>& indexes);

// Alpha taken out of colour channels that carry it multiplied in.
uint32_t unpremultiply(uint32_t pixel);

}  // namespace zel::codecs
