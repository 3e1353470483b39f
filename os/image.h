// image!: a two-dimensional series of 32-bit pixels whose pixels live in a
// record of the image back-end (image_os.h), not in a collected buffer.
//
// Cell: {header, head pixel index, holder node, height:16 | width:16}. The
// holder is a one-word buffer holding the record's slot in the
// external-resource registry; it is 0 for an image of zero width or height.
// The collector reaches the record through the holder (collector's image
// hook), and ownership is kept on the holder like any series buffer.
//
// Pixels are 0xAARRGGBB words, rows top-down; in Zel a pixel is the tuple
// R.G.B.T with T = 255 - A (a 3-part tuple is opaque).
//
// Relies on: the image back-end and its codecs, the series module (the
// inherited position actions), tuples, pairs, binaries, ownership.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/cell.h"
#include "os/image_os.h"

namespace zel::image {

inline int32_t width_of(const Cell* c) { return int32_t(c->data3 & 0xFFFF); }
inline int32_t height_of(const Cell* c) { return int32_t(c->data3 >> 16); }
inline int64_t pixel_count(const Cell* c) { return int64_t(width_of(c)) * height_of(c); }

// Registers image!, the collector's hook and the to-binary! row.
void init();

// The cell set to an image of the record's size at head 0 (an empty image
// for a null record).
Cell* make_at(Cell* cell, image_os::Record* record);
// The record behind the image, or null for an image without pixels.
image_os::Record* record_of(const Cell* image);

// Pixels and tuples.
uint32_t pixel_of_tuple(const Cell* tuple);
Cell* tuple_of_pixel(Cell* cell, uint32_t pixel);

// The codecs' bridge. `encode` answers a new binary! of the image in the
// format (0 BMP, 1 PNG, 2 GIF, 3 JPEG, 4 TIFF) in `result`; an image
// without pixels raises access bad-media. `decode` of a binary! sniffs its
// first bytes (unknown data: none; corrupt: access bad-media); of a file!
// or url! reads the file (failure: access cannot-open).
Cell* encode(const Cell* image, Cell* result, int format);
Cell* decode(const Cell* data, Cell* result);

// Modes of extract_data and set_data.
enum DataMode : int { MODE_ALPHA = 0, MODE_RGB = 1, MODE_ARGB = 2 };
// A new binary! of every pixel: transparency bytes, R G B triples, or the
// pixel words as stored (little-endian: B G R A).
Cell* extract_data(const Cell* image, Cell* result, int mode);
// Writes the pixels from a binary!, tuple! or integer! (else script
// invalid-arg) and tells the image's owner.
void set_data(Cell* image, const Cell* value, int mode);

// A new image scaled to the size; the record's OS objects released.
Cell* resize(const Cell* image, Cell* result, int32_t width, int32_t height);
void release_bitmap(const Cell* image);
// foreach support: sets the i-th of `count` words to the pixel at head + i
// (none past the end); answers the count.
int foreach_set(const Cell* words, const Cell* image, int count);

// For the clipboard: PNG bytes into an image! (false when they are not a
// PNG image), and an image as PNG bytes (false for an image without pixels
// or a failed encoding).
bool from_png(const uint8_t* bytes, int64_t size, Cell* result);
bool to_png(const Cell* image, std::vector<uint8_t>& out);

}  // namespace zel::image
