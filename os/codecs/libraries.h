// The four image libraries, opened at the first image of their format and
// not linked: linking them (libtiff brings a dozen more) would cost every
// start-up their loading and symbol binding. Each accessor answers the
// library's function table, or null, then and ever after, when the library
// or one of its functions cannot be found.
//
// Relies on: dlopen; the libraries' headers for the functions' types.
#pragma once

#include <cstddef>
#include <cstdio>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

namespace zel::codecs {

#define ZEL_PNG_FUNCTIONS(X) \
    X(png_image_begin_read_from_memory) X(png_image_finish_read) X(png_image_free) X(png_image_write_to_memory)

#define ZEL_JPEG_FUNCTIONS(X)                                                                                   \
    X(jpeg_std_error) X(jpeg_CreateDecompress) X(jpeg_destroy_decompress) X(jpeg_mem_src) X(jpeg_read_header) \
    X(jpeg_start_decompress) X(jpeg_read_scanlines) X(jpeg_finish_decompress) X(jpeg_CreateCompress)          \
    X(jpeg_destroy_compress) X(jpeg_mem_dest) X(jpeg_set_defaults) X(jpeg_set_quality)                       \
    X(jpeg_start_compress) X(jpeg_write_scanlines) X(jpeg_finish_compress)

#define ZEL_GIF_FUNCTIONS(X)                                                                              \
    X(DGifOpen) X(DGifGetRecordType) X(DGifGetImageDesc) X(DGifGetLine) X(DGifGetExtension)            \
    X(DGifGetExtensionNext) X(DGifExtensionToGCB) X(DGifCloseFile) X(EGifOpen) X(EGifSetGifVersion) X(EGifPutScreenDesc)    \
    X(EGifPutExtension) X(EGifGCBToExtension) X(EGifPutImageDesc) X(EGifPutLine) X(EGifCloseFile)      \
    X(GifMakeMapObject) X(GifFreeMapObject)

#define ZEL_TIFF_FUNCTIONS(X)                                                                                  \
    X(TIFFOpenOptionsAlloc) X(TIFFOpenOptionsFree) X(TIFFOpenOptionsSetMaxSingleMemAlloc) X(TIFFClientOpenExt) \
    X(TIFFClientOpen) X(TIFFClose) X(TIFFFlush) X(TIFFGetField) X(TIFFGetFieldDefaulted) X(TIFFSetField)      \
    X(TIFFIsTiled) X(TIFFScanlineSize) X(TIFFReadScanline) X(TIFFWriteScanline) X(TIFFDefaultStripSize)      \
    X(TIFFRGBAImageOK) X(TIFFReadRGBAImageOriented) X(TIFFSetErrorHandler) X(TIFFSetWarningHandler)

#define ZEL_DECLARE_FUNCTION(name) decltype(&::name) name;

struct PngLibrary {
    ZEL_PNG_FUNCTIONS(ZEL_DECLARE_FUNCTION)
};
struct JpegLibrary {
    ZEL_JPEG_FUNCTIONS(ZEL_DECLARE_FUNCTION)
};
struct GifLibrary {
    ZEL_GIF_FUNCTIONS(ZEL_DECLARE_FUNCTION)
};
struct TiffLibrary {
    ZEL_TIFF_FUNCTIONS(ZEL_DECLARE_FUNCTION)
};

#undef ZEL_DECLARE_FUNCTION

const PngLibrary* png_library();
const JpegLibrary* jpeg_library();
const GifLibrary* gif_library();
// Its error and warning handlers are silenced when it is opened: a corrupt
// file is a failed decoding, not text on the console.
const TiffLibrary* tiff_library();

}  // namespace zel::codecs
