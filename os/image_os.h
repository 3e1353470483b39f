// The image back-end: the record behind every image!, and the making,
// decoding, encoding, scaling, copying and quadrilateral mapping of images.
//
// A record is a C++ object entered in the external-resource registry under
// the class "image": the collector marks it through `gc_mark` and, once no
// value reaches it, the class's release routine frees it. Its pixels are
// one buffer of 0xAARRGGBB words, rows top-down, no padding; decoding makes
// them at once, so what other systems keep as a decoder's source and a
// separate bitmap is this one buffer. The cached object is a slot a drawing
// back-end may fill with something derived from the image (with the
// routine that frees it); it is dropped at a collection unless kept.
//
// OS-style results: null or false for failures the callers turn into
// errors; `encode`, `lock` and the makers raise their own (access
// bad-media, internal no-memory).
//
// Relies on: the codecs (os/codecs/), the external-resource registry, the
// tracked heap, binary! for encoded files.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/cell.h"
#include "os/codecs/codecs.h"

namespace zel::image_os {

// Record flags.
constexpr uint32_t BITMAP_MADE = 0x01;
constexpr uint32_t MODIFIED = 0x02;
constexpr uint32_t MODIFIED_TOO = 0x08;  // cleared with MODIFIED
constexpr uint32_t PREMULTIPLIED = 0x10;
constexpr uint32_t REMAKE_BITMAP = 0x20;
constexpr uint32_t KEEP_CACHED = 0x40;

struct Record {
    uint32_t flags = 0;
    uint32_t size = 0;  // height in the upper 16 bits, width in the lower
    int32_t slot = -1;  // in the external-resource registry
    codecs::PixelBuffer pixels;
    void* cached = nullptr;
    void (*release_cached)(void* cached) = nullptr;
};

// Registers the "image" class of the external-resource registry.
void init();
int resource_class();

// A new record over the pixels (moved in), entered in the registry.
Record* make_record(codecs::PixelBuffer&& pixels, uint32_t flags, int32_t width, int32_t height);
// The record a registry slot holds, or null.
Record* record_at(int32_t slot);

inline int32_t width_q(const Record* r) { return int32_t(r->size & 0xFFFF); }
inline int32_t height_q(const Record* r) { return int32_t(r->size >> 16); }

// A new image filled from the parts given: null when a side is 0. A
// `colour` (0xAARRGGBB) fills every pixel; otherwise each pixel takes the
// next whole R G B triple of `rgb`, opaque white once they run out. Then
// each pixel's A is 255 - the next byte of `alpha` (a transparency), as
// far as its bytes reach. Sides above 65,535 or a buffer past the series
// limit raise internal no-memory.
Record* make_image(int32_t width, int32_t height, const uint8_t* rgb, int64_t rgb_bytes, const uint8_t* alpha,
                   int64_t alpha_bytes, const uint32_t* colour);

// Access to the pixels of the whole image. A write lock marks the pixels
// modified. Locking an image without pixels raises access bad-media.
struct Lock {
    Record* record;
    bool write;
};
Lock lock(Record* r, bool write);
void unlock(Record* r, Lock lock);
// The first pixel word; the stride (bytes from one row to the next) in
// `stride`.
uint32_t* get_data(Lock lock, int32_t* stride);

// The index (from 0) must lie in the image.
uint32_t get_pixel(Record* r, int64_t index);
void set_pixel(Record* r, int64_t index, uint32_t pixel);

// The pixels, as the source of an encoding, a scaling, a copy or a
// drawing: after a modification the cached object is released, since it
// no longer matches, and the modified flags are cleared. The buffer is the
// bitmap as well. A record whose pixels were released raises access
// bad-media here, as it does when locked.
const uint32_t* source(Record* r);
uint32_t* bitmap(Record* r);
// Asks for the bitmap to be made again before its next use (here a no-op
// beyond the flags: the buffer is both).
void remake_bitmap(Record* r);

// Decoding: a record, or null when the data is no image this back-end
// reads (or is corrupt, truncated or too large).
Record* decode_memory(const uint8_t* data, int64_t size);
Record* decode_file(const char* os_path);
// The same for a file! value, by its OS path.
Record* decode_file(Cell* file);

// Sets `target` to a new binary! holding the image encoded in the format
// (0 BMP, 1 PNG, 2 GIF, 3 JPEG, 4 TIFF). A null record (an image of zero
// width or height) gives an empty binary!; an unknown format prints
// "Cannot find image encoder" and leaves the target as it is; a failed
// encoding raises access bad-media.
void encode(Record* r, Cell* target, int format);

// Nearest-neighbour scaling to a new record; null when a side is 0.
Record* resize(Record* r, int32_t width, int32_t height);
Record* copy(Record* r);
// The rectangle clipped to the image; null when nothing is left.
Record* copy_region(Record* r, int32_t x, int32_t y, int32_t width, int32_t height);
// A new record over width x height words read with the stride in bytes
// (0: 4 x width).
Record* from_memory(int32_t width, int32_t height, int32_t stride, const uint32_t* words);

// The collector's hook: marks the record's slot; on first marking, drops
// the cached object unless it was to be kept through this collection.
void gc_mark(Record* r);
// Frees the pixels and the cached object (the record stays).
void release(Record* r);
// The cached object, and whether it survives the next collection.
void set_cached(Record* r, void* cached, void (*release_cached)(void*), bool keep);
void* cached(Record* r);

// ---- Geometry ------------------------------------------------------------------------------

struct Vector {
    double x, y;
};

double length(Vector v);
Vector normalise(Vector v);
Vector vector_between(Vector from, Vector to);
double cross(Vector a, Vector b);
// True when the point is on the inner side of every edge p0->p1->p2->p3->p0
// (the cross product of point - A and B - A is not above 0).
bool inside_quad(const Vector quad[4], Vector point);
// The points mirrored about the line x = c (or y = c).
void mirror_x(Vector quad[4], double c);
void mirror_y(Vector quad[4], double c);

// The pixels of width x height mapped onto the quadrilateral: a zeroed
// (transparent) buffer of the bounding box, on the tracked heap (the caller
// frees it), with the box's origin and size in `box` (x, y, width, height).
// Null for an empty source, and for a quadrilateral with a zero-length
// edge, no area, or a corner that is not a finite number within 32-bit
// range. A box past the series limit raises internal no-memory.
uint32_t* map_quad(const uint32_t* pixels, int32_t width, int32_t height, const Vector quad[4], int32_t box[4]);

// The rectangle of the source, clipped to it, copied into a packed buffer;
// false (nothing copied) when a corner lies outside the source.
bool crop(const uint32_t* pixels, int32_t width, int32_t height, int32_t x, int32_t y, int32_t w, int32_t h,
          uint32_t* out);

}  // namespace zel::image_os
