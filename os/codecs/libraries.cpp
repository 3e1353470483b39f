// Opening the image libraries at first use (see libraries.h).
#include "os/codecs/libraries.h"

#include <dlfcn.h>

namespace zel::codecs {

namespace {

template <typename F>
bool find(void* library, const char* name, F& f) {
    f = reinterpret_cast<F>(dlsym(library, name));
    return f != nullptr;
}

// Opens the library once; `fill` looks up its functions.
template <typename Table>
const Table* open_once(const char* soname, bool (*fill)(void* library, Table& table), void (*opened)(Table&) = nullptr) {
    static bool tried = false;
    static Table table;
    static const Table* found = nullptr;
    if (tried) return found;
    tried = true;
    void* library = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    if (!library) return nullptr;
    if (!fill(library, table)) return nullptr;
    if (opened) opened(table);
    found = &table;
    return found;
}

// One look-up function per library, over its list of functions.
#define ZEL_FIND_FUNCTION(name) all = find(library, #name, table.name) && all;
#define ZEL_FILL(Table, FUNCTIONS)                      \
    bool fill(void* library, Table& table) {            \
        bool all = true;                                \
        FUNCTIONS(ZEL_FIND_FUNCTION)                    \
        return all;                                     \
    }

ZEL_FILL(PngLibrary, ZEL_PNG_FUNCTIONS)
ZEL_FILL(JpegLibrary, ZEL_JPEG_FUNCTIONS)
ZEL_FILL(GifLibrary, ZEL_GIF_FUNCTIONS)
ZEL_FILL(TiffLibrary, ZEL_TIFF_FUNCTIONS)

#undef ZEL_FILL
#undef ZEL_FIND_FUNCTION

void silence_tiff(TiffLibrary& tiff) {
    tiff.TIFFSetErrorHandler(nullptr);
    tiff.TIFFSetWarningHandler(nullptr);
}

}  // namespace

const PngLibrary* png_library() { return open_once<PngLibrary>(ZEL_PNG_SONAME, fill); }
const JpegLibrary* jpeg_library() { return open_once<JpegLibrary>(ZEL_JPEG_SONAME, fill); }
const GifLibrary* gif_library() { return open_once<GifLibrary>(ZEL_GIF_SONAME, fill); }
const TiffLibrary* tiff_library() { return open_once<TiffLibrary>(ZEL_TIFF_SONAME, fill, silence_tiff); }

}  // namespace zel::codecs
