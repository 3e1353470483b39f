// BMP, our own code. Reading: 1, 4, 8, 24 and 32 bits a pixel, uncompressed
// (BI_RGB) or with channel masks (BI_BITFIELDS), rows bottom-up or top-down
// (a negative height), the OS/2 core header and the Windows headers of 40
// to 124 bytes. A 32-bit BI_RGB file has no alpha: its fourth byte is
// padding. Writing: 32 bits with a V5 header whose masks include alpha,
// rows bottom-up as most readers expect.
#include <cstring>

#include "os/codecs/codecs.h"

namespace zel::codecs {

namespace {

constexpr uint32_t BI_RGB = 0, BI_BITFIELDS = 3;
constexpr uint32_t FILE_HEADER = 14, CORE_HEADER = 12, INFO_HEADER = 40, V5_HEADER = 124;

uint32_t u16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t u32(const uint8_t* p) { return u16(p) | u16(p + 2) << 16; }
void put16(uint8_t* p, uint32_t v) { p[0] = uint8_t(v), p[1] = uint8_t(v >> 8); }
void put32(uint8_t* p, uint32_t v) { put16(p, v), put16(p + 2, v >> 16); }

// One channel of a masked pixel, scaled to 0-255.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;
    explicit Channel(uint32_t m = 0) : mask(m) {
        if (!m) return;
        while (!((m >> shift) & 1)) shift++;
        max = m >> shift;
    }
    uint32_t of(uint32_t v, uint32_t absent) const {
        if (!mask) return absent;
        uint32_t c = (v & mask) >> shift;
        return max == 255 ? c : uint32_t((uint64_t(c) * 255 + max / 2) / max);
    }
};

struct Layout {
    int64_t width = 0, height = 0;
    bool top_down = false;
    uint32_t bits = 0, compression = BI_RGB;
    Channel red, green, blue, alpha;
    std::vector<uint32_t> palette;
};

// Parses the headers; false for anything this reader does not take.
bool read_layout(const uint8_t* data, size_t size, Layout& layout) {
    if (size < FILE_HEADER + 4) return false;
    uint32_t header = u32(data + FILE_HEADER);
    const uint8_t* h = data + FILE_HEADER;
    if (header != CORE_HEADER && (header < INFO_HEADER || header > V5_HEADER)) return false;
    if (size < FILE_HEADER + header) return false;
    uint32_t entry = 4;
    if (header == CORE_HEADER) {
        layout.width = u16(h + 4);
        layout.height = u16(h + 6);
        layout.bits = u16(h + 10);
        entry = 3;
    } else {
        layout.width = int32_t(u32(h + 4));
        int32_t height = int32_t(u32(h + 8));
        layout.top_down = height < 0;
        layout.height = height < 0 ? -int64_t(height) : height;
        layout.bits = u16(h + 14);
        layout.compression = u32(h + 16);
    }
    uint32_t b = layout.bits;
    if (b != 1 && b != 4 && b != 8 && b != 24 && b != 32) return false;
    if (layout.compression == BI_BITFIELDS) {
        if (b != 32) return false;
        // The three masks follow a 40-byte header; larger headers hold them.
        size_t at = FILE_HEADER + 40;
        if (size < at + 12) return false;
        layout.red = Channel(u32(data + at));
        layout.green = Channel(u32(data + at + 4));
        layout.blue = Channel(u32(data + at + 8));
        if (header >= 56) layout.alpha = Channel(u32(data + at + 12));
        if (!layout.red.mask || !layout.green.mask || !layout.blue.mask) return false;
    } else if (layout.compression != BI_RGB) {
        return false;
    }
    if (b <= 8) {
        uint32_t count = header == CORE_HEADER ? 0 : u32(h + 32);
        if (count == 0 || count > (1u << b)) count = 1u << b;
        size_t at = FILE_HEADER + header;
        if (size < at || (size - at) / entry < count) return false;
        layout.palette.resize(1u << b, 0xFF000000);
        for (uint32_t i = 0; i < count; i++) {
            const uint8_t* p = data + at + i * entry;
            layout.palette[i] = 0xFF000000 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
        }
    }
    return size_fits(layout.width, layout.height);
}

uint32_t pixel_at(const Layout& layout, const uint8_t* row, int64_t x) {
    switch (layout.bits) {
        case 1: return layout.palette[(row[x >> 3] >> (7 - (x & 7))) & 1];
        case 4: return layout.palette[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
        case 8: return layout.palette[row[x]];
        case 24: {
            const uint8_t* p = row + 3 * x;
            return 0xFF000000 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
        }
        default: {
            uint32_t v = u32(row + 4 * x);
            if (layout.compression == BI_RGB) return 0xFF000000 | (v & 0xFFFFFF);
            return layout.alpha.of(v, 255) << 24 | layout.red.of(v, 0) << 16 | layout.green.of(v, 0) << 8 |
                   layout.blue.of(v, 0);
        }
    }
}

}  // namespace

bool decode_bmp(const uint8_t* data, size_t size, Picture& out) {
    Layout layout;
    if (size < 2 || data[0] != 'B' || data[1] != 'M' || !read_layout(data, size, layout)) return false;
    uint64_t offset = u32(data + 10);
    uint64_t stride = ((uint64_t(layout.width) * layout.bits + 31) / 32) * 4;
    if (offset > size || (size - offset) / stride < uint64_t(layout.height)) return false;
    if (!allocate(out, layout.width, layout.height)) return false;
    for (int64_t y = 0; y < layout.height; y++) {
        const uint8_t* row = data + offset + stride * uint64_t(layout.top_down ? y : layout.height - 1 - y);
        uint32_t* line = &out.pixels[size_t(y * layout.width)];
        for (int64_t x = 0; x < layout.width; x++) line[x] = pixel_at(layout, row, x);
    }
    return true;
}

bool encode_bmp(const uint32_t* pixels, int32_t width, int32_t height, std::vector<uint8_t>& out) {
    uint64_t bytes = uint64_t(width) * uint64_t(height) * 4;
    uint64_t offset = FILE_HEADER + V5_HEADER;
    if (offset + bytes > 0xFFFFFFFFull) return false;
    out.assign(size_t(offset + bytes), 0);
    uint8_t* f = out.data();
    f[0] = 'B', f[1] = 'M';
    put32(f + 2, uint32_t(offset + bytes));
    put32(f + 10, uint32_t(offset));
    uint8_t* h = f + FILE_HEADER;
    put32(h, V5_HEADER);
    put32(h + 4, uint32_t(width));
    put32(h + 8, uint32_t(height));
    put16(h + 12, 1);
    put16(h + 14, 32);
    put32(h + 16, BI_BITFIELDS);
    put32(h + 20, uint32_t(bytes));
    put32(h + 24, 2835), put32(h + 28, 2835);  // 72 dots an inch
    put32(h + 40, 0x00FF0000), put32(h + 44, 0x0000FF00), put32(h + 48, 0x000000FF), put32(h + 52, 0xFF000000);
    put32(h + 56, 0x73524742);  // 'sRGB'
    put32(h + 108, 4);          // rendering intent: perceptual
    for (int64_t y = 0; y < height; y++) {
        uint8_t* row = f + offset + uint64_t(height - 1 - y) * uint64_t(width) * 4;
        const uint32_t* line = pixels + y * int64_t(width);
        for (int64_t x = 0; x < width; x++) put32(row + 4 * x, line[x]);
    }
    return true;
}

}  // namespace zel::codecs
