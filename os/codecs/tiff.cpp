// TIFF through libtiff, over memory with client procedures. Reading: the
// first directory. Strips of 8-bit grey or RGB, with or without an extra
// alpha sample, are read line by line here, keeping unassociated alpha as
// it is; every other layout (palette, 16-bit, tiles, planes, YCbCr,
// bilevel ...) goes through libtiff's generic RGBA reader, which
// premultiplies, so its colours are divided by alpha again. libtiff's
// largest single allocation is held to the size limit. Writing: 8-bit RGBA
// with unassociated alpha, LZW with horizontal prediction.
#include <algorithm>
#include <cstring>
#include <new>

#include "os/codecs/codecs.h"
#include "os/codecs/libraries.h"

namespace zel::codecs {

namespace {

// A file in memory: read from `data`, or written into `out`.
struct Stream {
    const uint8_t* data = nullptr;
    std::vector<uint8_t>* out = nullptr;
    uint64_t size = 0;
    uint64_t at = 0;
};

Stream* stream_of(thandle_t handle) { return static_cast<Stream*>(handle); }

tmsize_t read_proc(thandle_t handle, void* buffer, tmsize_t n) {
    Stream* s = stream_of(handle);
    if (!s->data || n < 0 || s->at >= s->size) return 0;
    uint64_t count = std::min(uint64_t(n), s->size - s->at);
    std::memcpy(buffer, s->data + s->at, size_t(count));
    s->at += count;
    return tmsize_t(count);
}

tmsize_t write_proc(thandle_t handle, void* buffer, tmsize_t n) {
    Stream* s = stream_of(handle);
    if (!s->out || n < 0) return -1;
    try {
        if (s->at + uint64_t(n) > s->out->size()) s->out->resize(size_t(s->at + uint64_t(n)));
    } catch (const std::bad_alloc&) {
        return -1;
    }
    std::memcpy(s->out->data() + s->at, buffer, size_t(n));
    s->at += uint64_t(n);
    s->size = s->out->size();
    return n;
}

toff_t seek_proc(thandle_t handle, toff_t offset, int whence) {
    Stream* s = stream_of(handle);
    uint64_t base = whence == SEEK_CUR ? s->at : whence == SEEK_END ? s->size : 0;
    if (offset > UINT64_MAX - base) return toff_t(-1);
    s->at = base + offset;
    return s->at;
}

toff_t size_proc(thandle_t handle) { return stream_of(handle)->size; }
int close_proc(thandle_t) { return 0; }
int map_proc(thandle_t, void**, toff_t*) { return 0; }
void unmap_proc(thandle_t, void*, toff_t) {}

TIFF* open(const TiffLibrary* lib, Stream& stream, const char* mode) {
    TIFFOpenOptions* options = lib->TIFFOpenOptionsAlloc();
    if (!options) return nullptr;
    lib->TIFFOpenOptionsSetMaxSingleMemAlloc(options, byte_limit());
    TIFF* tif = lib->TIFFClientOpenExt("memory", mode, &stream, read_proc, write_proc, seek_proc, close_proc,
                                       size_proc, map_proc, unmap_proc, options);
    lib->TIFFOpenOptionsFree(options);
    return tif;
}

struct Layout {
    uint32_t width = 0, height = 0;
    uint16_t samples = 1, bits = 1, planar = PLANARCONFIG_CONTIG, photometric = 0xFFFF, alpha = EXTRASAMPLE_UNSPECIFIED;
    bool tiled = false;
    bool simple() const {
        bool grey = photometric == PHOTOMETRIC_MINISBLACK && (samples == 1 || samples == 2);
        bool rgb = photometric == PHOTOMETRIC_RGB && (samples == 3 || samples == 4);
        return !tiled && bits == 8 && planar == PLANARCONFIG_CONTIG && (grey || rgb);
    }
};

bool read_layout(const TiffLibrary* lib, TIFF* tif, Layout& l) {
    if (!lib->TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &l.width) || !lib->TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &l.height))
        return false;
    lib->TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &l.samples);
    lib->TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &l.bits);
    lib->TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &l.planar);
    lib->TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &l.photometric);
    uint16_t extra_count = 0;
    uint16_t* extra = nullptr;
    if (lib->TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extra_count, &extra) && extra_count > 0 && extra)
        l.alpha = extra[0];
    l.tiled = lib->TIFFIsTiled(tif) != 0;
    return true;
}

bool read_lines(const TiffLibrary* lib, TIFF* tif, const Layout& l, Picture& out) {
    tmsize_t line_size = lib->TIFFScanlineSize(tif);
    if (line_size < tmsize_t(l.width) * l.samples) return false;
    std::vector<uint8_t> line(static_cast<size_t>(line_size));
    bool grey = l.samples <= 2, has_alpha = l.samples == 2 || l.samples == 4;
    bool associated = has_alpha && l.alpha == EXTRASAMPLE_ASSOCALPHA;
    for (uint32_t y = 0; y < l.height; y++) {
        if (lib->TIFFReadScanline(tif, line.data(), y, 0) < 0) return false;
        uint32_t* row = &out.pixels[size_t(y) * l.width];
        for (uint32_t x = 0; x < l.width; x++) {
            const uint8_t* p = &line[size_t(x) * l.samples];
            uint32_t r = p[0], g = grey ? p[0] : p[1], b = grey ? p[0] : p[2];
            uint32_t a = has_alpha ? p[l.samples - 1] : 255;
            uint32_t word = a << 24 | r << 16 | g << 8 | b;
            row[x] = associated ? unpremultiply(word) : word;
        }
    }
    return true;
}

bool read_rgba(const TiffLibrary* lib, TIFF* tif, const Layout& l, Picture& out) {
    char message[1024];
    if (!lib->TIFFRGBAImageOK(tif, message)) return false;
    if (!lib->TIFFReadRGBAImageOriented(tif, l.width, l.height, out.pixels.data(), ORIENTATION_TOPLEFT, 1)) return false;
    for (uint32_t& p : out.pixels) {
        uint32_t word = (p & 0xFF00FF00) | (p & 0xFF) << 16 | (p >> 16 & 0xFF);
        p = unpremultiply(word);
    }
    return true;
}

bool write_image(const TiffLibrary* lib, TIFF* tif, const uint32_t* pixels, int32_t width, int32_t height) {
    uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
    bool done = lib->TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(width)) &&
                lib->TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(height)) &&
                lib->TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8) && lib->TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 4) &&
                lib->TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) &&
                lib->TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
                lib->TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra) &&
                lib->TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW) &&
                lib->TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL) &&
                lib->TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, lib->TIFFDefaultStripSize(tif, 0));
    std::vector<uint8_t> line(size_t(width) * 4);
    for (int32_t y = 0; done && y < height; y++) {
        const uint32_t* row = pixels + size_t(y) * size_t(width);
        for (int32_t x = 0; x < width; x++) {
            uint8_t* p = &line[size_t(x) * 4];
            uint32_t w = row[x];
            p[0] = uint8_t(w >> 16), p[1] = uint8_t(w >> 8), p[2] = uint8_t(w), p[3] = uint8_t(w >> 24);
        }
        done = lib->TIFFWriteScanline(tif, line.data(), uint32_t(y), 0) >= 0;
    }
    return done && lib->TIFFFlush(tif);
}

}  // namespace

bool decode_tiff(const uint8_t* data, size_t size, Picture& out) {
    const TiffLibrary* lib = tiff_library();
    if (!lib) return false;
    Stream stream;
    stream.data = data;
    stream.size = size;
    TIFF* tif = open(lib, stream, "rm");
    if (!tif) return false;
    Layout layout;
    bool done = read_layout(lib, tif, layout) && allocate(out, layout.width, layout.height) &&
                (layout.simple() ? read_lines(lib, tif, layout, out) : read_rgba(lib, tif, layout, out));
    lib->TIFFClose(tif);
    return done;
}

bool encode_tiff(const uint32_t* pixels, int32_t width, int32_t height, std::vector<uint8_t>& out) {
    const TiffLibrary* lib = tiff_library();
    if (!lib) return false;
    Stream stream;
    stream.out = &out;
    TIFF* tif = open(lib, stream, "w");
    if (!tif) return false;
    bool done = write_image(lib, tif, pixels, width, height);
    lib->TIFFClose(tif);
    return done;
}

}  // namespace zel::codecs
