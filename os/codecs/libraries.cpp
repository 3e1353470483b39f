// Opening the image libraries at first use (see libraries.h).
#include "os/codecs/libraries.h"

#include "os/dynamic_library.h"

namespace zel::codecs {

namespace {

using dynamic_library::find;
using dynamic_library::open_once;

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

bool silence_tiff(TiffLibrary& tiff) {
    tiff.TIFFSetErrorHandler(nullptr);
    tiff.TIFFSetWarningHandler(nullptr);
    return true;
}

}  // namespace

const PngLibrary* png_library() { return open_once<PngLibrary>(ZEL_PNG_SONAME, fill); }
const JpegLibrary* jpeg_library() { return open_once<JpegLibrary>(ZEL_JPEG_SONAME, fill); }
const GifLibrary* gif_library() { return open_once<GifLibrary>(ZEL_GIF_SONAME, fill); }
const TiffLibrary* tiff_library() { return open_once<TiffLibrary>(ZEL_TIFF_SONAME, fill, silence_tiff); }

}  // namespace zel::codecs
