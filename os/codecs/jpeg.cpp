// JPEG through libjpeg-turbo. libjpeg reports a fatal error by calling its
// error exit, which must not return; ours jumps back to the setjmp of the
// leaf function that made the library call. Each such leaf is a plain
// function whose frame holds no C++ object, so the jump never skips a
// destructor (the only setjmp of the system is here). The C++ side
// allocates between the leaves: the header is read in one, the pixels in
// another, into a buffer made in between.
//
// Colour: grey and YCbCr come out as BGRA; CMYK and YCCK as CMYK, which is
// turned into RGB here, inverted first when an Adobe marker says the
// samples are stored inverted (as Photoshop writes them). Writing: YCbCr
// at quality 90; alpha is dropped.
#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "os/codecs/codecs.h"
#include "os/codecs/libraries.h"

#include <jerror.h>

namespace zel::codecs {

namespace {

// A progressive file may have any number of scans, each a pass over the
// whole image: corrupt files with thousands of them would take minutes.
constexpr int MAX_SCANS = 500;

struct Failure {
    jpeg_error_mgr manager;
    jmp_buf jump;
};

[[noreturn]] void error_exit(j_common_ptr info) { longjmp(reinterpret_cast<Failure*>(info->err)->jump, 1); }
// Warnings are not shown; the end of the data before the end of the image
// is a failure, not an image completed in grey.
void on_message(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) error_exit(info);
}

// Our error exit and message handler on the library's defaults.
jpeg_error_mgr* handlers(const JpegLibrary* jpeg, Failure* failure) {
    jpeg_error_mgr* manager = jpeg->jpeg_std_error(&failure->manager);
    manager->error_exit = error_exit;
    manager->emit_message = on_message;
    return manager;
}

void count_scans(j_common_ptr info) {
    auto* d = reinterpret_cast<j_decompress_ptr>(info);
    if (d->is_decompressor && d->input_scan_number > MAX_SCANS) error_exit(info);
}

struct Reading {
    jpeg_decompress_struct info;
    Failure failure;
    jpeg_progress_mgr progress;
    const JpegLibrary* jpeg;
    bool cmyk;
};

// Leaf: the decompressor made, the header read and the output started.
// False (with the decompressor destroyed) on a library error.
bool start_reading(Reading* r, const uint8_t* data, size_t size) {
    const JpegLibrary* jpeg = r->jpeg;
    r->info.err = handlers(jpeg, &r->failure);
    if (setjmp(r->failure.jump)) {
        jpeg->jpeg_destroy_decompress(&r->info);
        return false;
    }
    jpeg->jpeg_CreateDecompress(&r->info, JPEG_LIB_VERSION, sizeof r->info);
    r->info.mem->max_memory_to_use = byte_limit();
    r->progress.progress_monitor = count_scans;
    r->info.progress = &r->progress;
    jpeg->jpeg_mem_src(&r->info, data, static_cast<unsigned long>(size));
    jpeg->jpeg_read_header(&r->info, TRUE);
    J_COLOR_SPACE in = r->info.jpeg_color_space;
    r->cmyk = in == JCS_CMYK || in == JCS_YCCK;
    r->info.out_color_space = r->cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    jpeg->jpeg_start_decompress(&r->info);
    return true;
}

// Leaf: the scanlines into the pixels (already sized), the decompressor
// destroyed in every case.
bool read_pixels(Reading* r, uint32_t* pixels) {
    const JpegLibrary* jpeg = r->jpeg;
    if (setjmp(r->failure.jump)) {
        jpeg->jpeg_destroy_decompress(&r->info);
        return false;
    }
    JDIMENSION width = r->info.output_width;
    while (r->info.output_scanline < r->info.output_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(pixels + size_t(r->info.output_scanline) * width);
        jpeg->jpeg_read_scanlines(&r->info, &row, 1);
    }
    jpeg->jpeg_finish_decompress(&r->info);
    jpeg->jpeg_destroy_decompress(&r->info);
    return true;
}

// In place: C, M, Y, K bytes to a pixel word.
void cmyk_to_rgb(uint32_t* pixels, size_t count, bool inverted) {
    for (size_t i = 0; i < count; i++) {
        uint8_t* p = reinterpret_cast<uint8_t*>(pixels + i);
        uint32_t c = p[0], m = p[1], y = p[2], k = p[3];
        if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        // Now each holds the light that remains: 255 - ink.
        uint32_t r = (c * k + 127) / 255, g = (m * k + 127) / 255, b = (y * k + 127) / 255;
        pixels[i] = 0xFF000000 | r << 16 | g << 8 | b;
    }
}

struct Writing {
    jpeg_compress_struct info;
    Failure failure;
    const JpegLibrary* jpeg;
    unsigned char* file;
    unsigned long size;
};

// Leaf: the whole compression; the buffer libjpeg made stays in `w->file`
// for the caller to copy and free (it is there even after a failure).
bool write_jpeg(Writing* w, const uint32_t* pixels, int32_t width, int32_t height) {
    const JpegLibrary* jpeg = w->jpeg;
    w->info.err = handlers(jpeg, &w->failure);
    if (setjmp(w->failure.jump)) {
        jpeg->jpeg_destroy_compress(&w->info);
        return false;
    }
    jpeg->jpeg_CreateCompress(&w->info, JPEG_LIB_VERSION, sizeof w->info);
    jpeg->jpeg_mem_dest(&w->info, &w->file, &w->size);
    w->info.image_width = JDIMENSION(width);
    w->info.image_height = JDIMENSION(height);
    w->info.input_components = 4;
    w->info.in_color_space = JCS_EXT_BGRX;
    jpeg->jpeg_set_defaults(&w->info);
    jpeg->jpeg_set_quality(&w->info, 90, TRUE);
    jpeg->jpeg_start_compress(&w->info, TRUE);
    while (w->info.next_scanline < w->info.image_height) {
        auto row = reinterpret_cast<JSAMPROW>(const_cast<uint32_t*>(pixels + size_t(w->info.next_scanline) * width));
        jpeg->jpeg_write_scanlines(&w->info, &row, 1);
    }
    jpeg->jpeg_finish_compress(&w->info);
    jpeg->jpeg_destroy_compress(&w->info);
    return true;
}

}  // namespace

bool decode_jpeg(const uint8_t* data, size_t size, Picture& out) {
    Reading r;
    std::memset(&r, 0, sizeof r);
    r.jpeg = jpeg_library();
    if (!r.jpeg || !start_reading(&r, data, size)) return false;
    if (!allocate(out, r.info.output_width, r.info.output_height)) {
        r.jpeg->jpeg_destroy_decompress(&r.info);
        return false;
    }
    if (!read_pixels(&r, out.pixels.data())) return false;
    if (r.cmyk) cmyk_to_rgb(out.pixels.data(), out.pixels.size(), r.info.saw_Adobe_marker);
    return true;
}

bool encode_jpeg(const uint32_t* pixels, int32_t width, int32_t height, std::vector<uint8_t>& out) {
    Writing w;
    std::memset(&w, 0, sizeof w);
    w.jpeg = jpeg_library();
    if (!w.jpeg || width > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION) return false;
    bool done = write_jpeg(&w, pixels, width, height);
    if (done) out.assign(w.file, w.file + w.size);
    std::free(w.file);
    return done;
}

}  // namespace zel::codecs
