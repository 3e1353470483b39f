// GIF through giflib. Reading takes the first image only, at its own size;
// the transparent index of its graphic control block gives A = 0. The
// records are walked one by one rather than slurped, so nothing past the
// first image is read and its size is checked before any pixel is
// allocated. Writing: one image, with the exact palette when the pixels
// have at most 256 colours (all pixels with A below 128 sharing one
// transparent entry), else the median-cut palette of the opaque ones.
#include <algorithm>
#include <cstring>
#include <new>
#include <unordered_map>

#include "os/codecs/codecs.h"
#include "os/codecs/libraries.h"

namespace zel::codecs {

namespace {

struct Source {
    const uint8_t* data;
    size_t size;
    size_t at;
};

int read_bytes(GifFileType* gif, GifByteType* buffer, int count) {
    auto* s = static_cast<Source*>(gif->UserData);
    size_t n = std::min(size_t(count), s->size - s->at);
    std::memcpy(buffer, s->data + s->at, n);
    s->at += n;
    return int(n);
}

int write_bytes(GifFileType* gif, const GifByteType* bytes, int count) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    try {
        out->insert(out->end(), bytes, bytes + count);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return count;
}

// Row order of an interlaced image: four passes.
int64_t row_of(int64_t line, int64_t height, bool interlaced) {
    if (!interlaced) return line;
    static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; pass++) {
        int64_t rows = start[pass] < height ? (height - start[pass] + step[pass] - 1) / step[pass] : 0;
        if (line < rows) return start[pass] + line * step[pass];
        line -= rows;
    }
    return 0;
}

bool read_image(const GifLibrary* lib, GifFileType* gif, int transparent, Picture& out) {
    if (lib->DGifGetImageDesc(gif) == GIF_ERROR) return false;
    const GifImageDesc& desc = gif->Image;
    const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
    if (!map || !allocate(out, desc.Width, desc.Height)) return false;
    uint32_t colours[256];
    for (int i = 0; i < 256; i++) {
        const GifColorType* c = i < map->ColorCount ? &map->Colors[i] : nullptr;
        colours[i] = c ? 0xFF000000 | uint32_t(c->Red) << 16 | uint32_t(c->Green) << 8 | c->Blue : 0xFF000000;
    }
    if (transparent >= 0 && transparent < 256) colours[transparent] &= 0x00FFFFFF;
    std::vector<GifPixelType> line(static_cast<size_t>(out.width));
    for (int64_t y = 0; y < out.height; y++) {
        if (lib->DGifGetLine(gif, line.data(), out.width) == GIF_ERROR) return false;
        uint32_t* row = &out.pixels[size_t(row_of(y, out.height, desc.Interlace) * out.width)];
        for (int64_t x = 0; x < out.width; x++) row[x] = colours[line[size_t(x)]];
    }
    return true;
}

// The records up to the first image; its graphic control block, when one
// comes before it, names the transparent index.
bool read_first_image(const GifLibrary* lib, GifFileType* gif, Picture& out) {
    int transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType type;
        if (lib->DGifGetRecordType(gif, &type) == GIF_ERROR) return false;
        if (type == IMAGE_DESC_RECORD_TYPE) return read_image(lib, gif, transparent, out);
        if (type != EXTENSION_RECORD_TYPE) return false;
        int code;
        GifByteType* block;
        if (lib->DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
        if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] == 4) {
            GraphicsControlBlock control;
            if (lib->DGifExtensionToGCB(4, block + 1, &control) == GIF_OK) transparent = control.TransparentColor;
        }
        while (block)
            if (lib->DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
    }
}

// The palette and each pixel's index; `transparent` the entry of the
// pixels with A below 128, or -1.
struct Indexed {
    std::vector<uint32_t> palette;
    std::vector<uint8_t> indexes;
    int transparent = -1;
};

void index_pixels(const uint32_t* pixels, size_t count, Indexed& result) {
    // Transparent pixels become the word 0 (no opaque word is 0).
    std::vector<uint32_t> words(count);
    uint32_t clear = 0;
    bool any_clear = false;
    for (size_t i = 0; i < count; i++) {
        bool see_through = (pixels[i] >> 24) < 128;
        if (see_through && !any_clear) clear = pixels[i] & 0xFFFFFF, any_clear = true;
        words[i] = see_through ? 0 : pixels[i] | 0xFF000000;
    }
    std::unordered_map<uint32_t, uint8_t> exact;
    for (size_t i = 0; i < count; i++) {
        auto [at, added] = exact.try_emplace(words[i], uint8_t(exact.size()));
        if (!added) continue;
        if (exact.size() > 256) break;
        result.palette.push_back(words[i]);
    }
    result.indexes.resize(count);
    if (exact.size() <= 256) {
        for (size_t i = 0; i < count; i++) result.indexes[i] = exact[words[i]];
        if (any_clear) {
            result.transparent = exact[0];
            result.palette[size_t(result.transparent)] = clear;
        }
        return;
    }
    // Too many: the opaque colours share 255 entries (256 without any
    // transparent pixel); the transparent ones take the last.
    result.palette.clear();
    quantise(words.data(), count, any_clear ? 255 : 256, result.palette, result.indexes);
    if (any_clear) {
        result.transparent = int(result.palette.size());
        result.palette.push_back(clear);
        for (size_t i = 0; i < count; i++)
            if (words[i] == 0) result.indexes[i] = uint8_t(result.transparent);
    }
}

bool write_gif(const GifLibrary* lib, GifFileType* gif, const Indexed& indexed, int32_t width, int32_t height) {
    int bits = 1;
    while ((1 << bits) < int(indexed.palette.size())) bits++;
    GifColorType colours[256];
    std::memset(colours, 0, sizeof colours);
    for (size_t i = 0; i < indexed.palette.size(); i++) {
        uint32_t c = indexed.palette[i];
        colours[i] = GifColorType{uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)};
    }
    ColorMapObject* map = lib->GifMakeMapObject(1 << bits, colours);
    if (!map) return false;
    lib->EGifSetGifVersion(gif, true);
    bool done = lib->EGifPutScreenDesc(gif, width, height, bits, 0, map) == GIF_OK;
    lib->GifFreeMapObject(map);
    if (done && indexed.transparent >= 0) {
        GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, indexed.transparent};
        GifByteType block[4];
        lib->EGifGCBToExtension(&control, block);
        done = lib->EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, block) == GIF_OK;
    }
    done = done && lib->EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
    for (int64_t y = 0; done && y < height; y++) {
        auto* row = const_cast<GifPixelType*>(indexed.indexes.data() + size_t(y * width));
        done = lib->EGifPutLine(gif, row, width) == GIF_OK;
    }
    return done;
}

}  // namespace

bool decode_gif(const uint8_t* data, size_t size, Picture& out) {
    const GifLibrary* lib = gif_library();
    if (!lib) return false;
    Source source{data, size, 0};
    int error = 0;
    GifFileType* gif = lib->DGifOpen(&source, read_bytes, &error);
    if (!gif) return false;
    bool done = read_first_image(lib, gif, out);
    lib->DGifCloseFile(gif, &error);
    return done;
}

bool encode_gif(const uint32_t* pixels, int32_t width, int32_t height, std::vector<uint8_t>& out) {
    const GifLibrary* lib = gif_library();
    if (!lib) return false;
    Indexed indexed;
    index_pixels(pixels, size_t(width) * size_t(height), indexed);
    int error = 0;
    GifFileType* gif = lib->EGifOpen(&out, write_bytes, &error);
    if (!gif) return false;
    bool done = write_gif(lib, gif, indexed, width, height);
    // Closing writes the trailer; it fails when that write does.
    done = lib->EGifCloseFile(gif, &error) == GIF_OK && done;
    return done;
}

}  // namespace zel::codecs
