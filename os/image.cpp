// image!: the datatype's actions, path access, the codecs' bridge and the
// hooks the lower layers call (collector, to binary!).
#include "os/image.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "foundation/collector.h"
#include "foundation/datatype.h"
#include "foundation/memory.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "interpreter/iterate.h"
#include "scalars/integer.h"
#include "scalars/pair.h"
#include "scalars/simple_types.h"
#include "scalars/tuple.h"
#include "series/binary.h"
#include "series/cell_text.h"
#include "series/ownership.h"
#include "series/series.h"
#include "series/string.h"
#include "words/symbol.h"
#include "words/word.h"

namespace zel::image {

namespace {

// ---- Cells and records ---------------------------------------------------------------------

int64_t head_of(const Cell* c) { return int64_t(int32_t(c->data1)); }
void set_head(Cell* c, int64_t head) { c->data1 = uint32_t(int32_t(head)); }

int32_t slot_of_holder(Node holder) {
    int32_t slot;
    std::memcpy(&slot, memory::series_of(holder)->head(), sizeof slot);
    return slot;
}

void mark_holder(Node holder) {
    if (image_os::Record* r = image_os::record_at(slot_of_holder(holder))) image_os::gc_mark(r);
}

// The record, which must exist: an image without pixels has none to read
// or write (access bad-media, as a lock of it would).
image_os::Record* needed_record(const Cell* image) {
    image_os::Record* r = record_of(image);
    if (!r) fire(ERR_access_bad_media);
    return r;
}

bool word_is(const Cell* value, const char* name) {
    return word::any_word_type_q(type_of(value)) && symbol::resolve(value->data2) == symbol::resolve(symbol::make(name));
}

// Tells the owner (if any) of the image about a change.
void tell_owner(const Cell* image, ownership::Action action, const Cell* value, int64_t index, int64_t part) {
    if (image->data2) ownership::check(image, action, value, int(index), int(std::min<int64_t>(part, INT_MAX)));
}

// ---- Indexes -------------------------------------------------------------------------------

// The pixel a 1-based pick/poke index names, or -1 when out of range.
int64_t pixel_index(const Cell* image, const Cell* index) {
    int64_t w = width_of(image), h = height_of(image), n;
    if (type_of(index) == TYPE_PAIR) {
        int64_t x = pair::x_of(index), y = pair::y_of(index);
        if (x < 1 || x > w || y < 1 || y > h) return -1;
        n = x + w * (y - 1);
    } else if (type_of(index) == TYPE_INTEGER) {
        n = cell::get_int(index);
    } else {
        fire(ERR_script_invalid_arg, index);
    }
    if (n == 0) return -1;
    int64_t p = head_of(image) + (n > 0 ? n - 1 : n);
    return p < 0 || p >= pixel_count(image) ? -1 : p;
}

// The raw offset of at (1-based) and skip (0-based): an integer, or a pair
// as a column and row.
int64_t offset_of(const Cell* image, const Cell* offset, bool one_based) {
    if (type_of(offset) == TYPE_PAIR)
        return pair::x_of(offset) + int64_t(width_of(image)) * (pair::y_of(offset) - (one_based ? 1 : 0));
    if (type_of(offset) != TYPE_INTEGER) fire(ERR_script_invalid_arg, offset);
    return cell::get_int(offset);
}

Cell* moved_to(Cell* image, int64_t index) {
    set_head(image, std::clamp<int64_t>(index, 0, pixel_count(image)));
    return image;
}

// ---- Making --------------------------------------------------------------------------------

// A side as the cell keeps it: negative counts as 0, above 16 bits is
// refused rather than wrapped.
int32_t side(int32_t n, const Cell* spec) {
    if (n > int32_t(codecs::MAX_SIDE)) fire(ERR_script_invalid_arg, spec);
    return std::max(n, 0);
}

// An image of the record, or without one an empty image that keeps the
// size asked for (one side of it 0).
Cell* sized(Cell* result, image_os::Record* r, int32_t w, int32_t h) {
    make_at(result, r);
    if (!r) result->data3 = uint32_t(h) << 16 | uint32_t(w);
    return result;
}

Cell* make_from_block(Cell* result, const Cell* spec) {
    Series* s = memory::series_of(spec->data2);
    const Cell* items = s->cells() + std::max<int64_t>(head_of(spec), 0);
    int64_t count = std::max<int64_t>(int64_t(s->used() / sizeof(Cell)) - std::max<int64_t>(head_of(spec), 0), 0);
    if (count == 0 || type_of(&items[0]) != TYPE_PAIR) fire(ERR_script_invalid_arg, spec);
    int32_t w = side(pair::x_of(&items[0]), spec), h = side(pair::y_of(&items[0]), spec);
    const uint8_t *rgb = nullptr, *alpha = nullptr;
    int64_t rgb_bytes = 0, alpha_bytes = 0;
    uint32_t colour = 0;
    bool has_colour = false;
    int64_t i = 1;
    if (i < count) {
        if (type_of(&items[i]) == TYPE_BINARY) {
            rgb = binary::head(&items[i]);
            rgb_bytes = binary::length_q(&items[i]);
        } else if (type_of(&items[i]) == TYPE_TUPLE) {
            colour = pixel_of_tuple(&items[i]);
            has_colour = true;
        } else {
            fire(ERR_script_invalid_arg, &items[i]);
        }
        i++;
    }
    if (i < count) {
        if (type_of(&items[i]) != TYPE_BINARY) fire(ERR_script_invalid_arg, &items[i]);
        alpha = binary::head(&items[i]);
        alpha_bytes = binary::length_q(&items[i]);
    }
    return sized(result, image_os::make_image(w, h, rgb, rgb_bytes, alpha, alpha_bytes, has_colour ? &colour : nullptr), w, h);
}

Cell* copy_whole(const Cell* image, Cell* result) {
    image_os::Record* r = record_of(image);
    return sized(result, r ? image_os::copy(r) : nullptr, width_of(image), height_of(image));
}

Cell* to(Cell* proto, Cell* spec, int) {
    if (type_of(spec) == TYPE_IMAGE) {
        Cell source = *spec;
        return copy_whole(&source, proto);
    }
    raise::bad_to_arg(TYPE_IMAGE, spec);
}

Cell* make(Cell* proto, Cell* spec, int type) {
    if (type_of(spec) == TYPE_PAIR) {
        int32_t w = side(pair::x_of(spec), spec), h = side(pair::y_of(spec), spec);
        return sized(proto, image_os::make_image(w, h, nullptr, 0, nullptr, 0, nullptr), w, h);
    }
    if (type_of(spec) == TYPE_BLOCK) {
        Series* s = memory::series_of(spec->data2);
        if (head_of(spec) >= int64_t(s->used() / sizeof(Cell))) {
            if (type_of(proto) != TYPE_IMAGE) fire(ERR_script_invalid_arg, spec);
            Cell source = *proto;
            return copy_whole(&source, proto);
        }
        Cell block = *spec;
        return make_from_block(proto, &block);
    }
    return to(proto, spec, type);
}

// ---- Text ----------------------------------------------------------------------------------

void new_line(Cell* buffer, int level) {
    string::append_c_string(buffer, "\n");
    cell_text::mold_indent(buffer, level, INT_MAX);
}

int clamp_budget(int64_t budget) { return int(std::clamp<int64_t>(budget, INT_MIN, INT_MAX)); }

int mold(Cell* value, Cell* buffer, bool only, bool, bool flat, int part, int indent) {
    int64_t budget = part < 0 ? INT64_MAX : part;
    auto put = [&](const char* text) {
        string::append_c_string(buffer, text);
        budget -= int64_t(std::strlen(text));
    };
    Cell image = *value;
    if (!only) put("make image! [");
    put((std::to_string(width_of(&image)) + "x" + std::to_string(height_of(&image))).c_str());
    image_os::Record* r = record_of(&image);
    if (!r) {
        put(" #{}");
        if (!only) put("]");
        return clamp_budget(budget);
    }
    int64_t head = std::clamp<int64_t>(head_of(&image), 0, pixel_count(&image));
    int64_t n = pixel_count(&image) - head;
    bool lines = !flat && n * 4 >= 31;  // 8 pixels or more
    put(" #{");
    if (lines) new_line(buffer, indent + 1);
    bool translucent = false;
    for (int64_t i = 0; i < n; i++) {
        uint32_t p = image_os::get_pixel(r, head + i);
        translucent |= (p >> 24) != 255;
        for (int shift = 16; shift >= 0; shift -= 8) put(string::byte_to_hex(uint8_t(p >> shift)));
        if (budget <= 0) return clamp_budget(budget);
        if (!flat && (i + 1) % 10 == 0 && i + 1 < n) new_line(buffer, indent + 1);
    }
    if (lines) new_line(buffer, indent);
    put("}");
    if (translucent) {
        put(" #{");
        new_line(buffer, indent + 1);
        for (int64_t i = 0; i < n; i++) {
            put(string::byte_to_hex(uint8_t(255 - (image_os::get_pixel(r, head + i) >> 24))));
            if (budget <= 0) return clamp_budget(budget);
            if ((i + 1) % 10 == 0 && i + 1 < n) new_line(buffer, indent + 1);
        }
        new_line(buffer, indent);
        put("}");
    }
    if (!only) put("]");
    return clamp_budget(budget);
}

int form(Cell* value, Cell* buffer, int part) { return mold(value, buffer, false, false, false, part, 0); }

// ---- Comparing -----------------------------------------------------------------------------

int compare(Cell* value1, Cell* value2, int) {
    if (type_of(value2) != TYPE_IMAGE) return -2;
    if (value1->data2 == value2->data2 && value1->data1 == value2->data1 && value1->data3 == value2->data3) return 0;
    int64_t n1 = pixel_count(value1), n2 = pixel_count(value2);
    if (n1 != n2) return n1 < n2 ? -1 : 1;
    int32_t w1 = width_of(value1), w2 = width_of(value2);
    if (w1 != w2) return w1 < w2 ? -1 : 1;
    // Only images without pixels can differ in height here.
    int32_t h1 = height_of(value1), h2 = height_of(value2);
    if (h1 != h2) return h1 < h2 ? -1 : 1;
    if (n1 == 0) return 0;
    const uint32_t* a = image_os::source(needed_record(value1));
    const uint32_t* b = image_os::source(needed_record(value2));
    int c = std::memcmp(a, b, size_t(n1) * 4);
    return (c > 0) - (c < 0);
}

// ---- Reading and writing pixels ------------------------------------------------------------

Cell* pick(Cell* image, int, Cell* boxed) {
    int64_t p = pixel_index(image, boxed);
    if (p < 0) {
        cell::set(image, TYPE_NONE);
        return image;
    }
    return tuple_of_pixel(image, image_os::get_pixel(needed_record(image), p));
}

Cell* poke(Cell* image, int, Cell* data, Cell* boxed) {
    int64_t p = pixel_index(image, boxed);
    if (p < 0) fire(ERR_script_out_of_range, boxed);
    if (type_of(data) != TYPE_TUPLE) fire(ERR_script_invalid_arg, data);
    image_os::set_pixel(needed_record(image), p, pixel_of_tuple(data));
    tell_owner(image, ownership::POKED, data, p, 1);
    *image = *data;
    return image;
}

// ---- Positions -----------------------------------------------------------------------------

Cell* at() {
    Cell* args = stack::arguments();
    int64_t n = offset_of(args, args + 1, true);
    return moved_to(args, head_of(args) + (n >= 1 ? n - 1 : n));
}

Cell* skip() {
    Cell* args = stack::arguments();
    return moved_to(args, head_of(args) + offset_of(args, args + 1, false));
}

Cell* next() {
    Cell* args = stack::arguments();
    if (head_of(args) + 1 <= pixel_count(args)) set_head(args, head_of(args) + 1);
    return args;
}

Cell* tail() {
    Cell* args = stack::arguments();
    set_head(args, pixel_count(args));
    return args;
}

Cell* tail_q() {
    Cell* args = stack::arguments();
    logic::set(args, head_of(args) >= pixel_count(args));
    return args;
}

int length_q(Cell* image) { return int(pixel_count(image)); }

// ---- Changing ------------------------------------------------------------------------------

// Copies the source image as a rectangle at the head's pixel, clipped to
// the target; answers the index just past the last pixel written.
int64_t paste(Cell* target, const Cell* source, int64_t head) {
    image_os::Record* to = needed_record(target);
    image_os::Record* from = record_of(source);
    int64_t w = width_of(target), h = height_of(target);
    int64_t col = head % w, row = head / w;
    int64_t cw = std::min<int64_t>(width_of(source), w - col), ch = std::min<int64_t>(height_of(source), h - row);
    if (!from || cw <= 0 || ch <= 0) return head;
    const uint32_t* src = image_os::source(from);
    int64_t sw = width_of(source);
    image_os::Lock l = image_os::lock(to, true);
    uint32_t* dst = image_os::get_data(l, nullptr);
    for (int64_t y = 0; y < ch; y++) std::memmove(dst + (row + y) * w + col, src + y * sw, size_t(cw) * 4);
    image_os::unlock(to, l);
    return (row + ch - 1) * w + col + cw;
}

Cell* change(Cell* image, Cell* value, int part, bool, int dup) {
    if (part != -1 || dup != 1) fire(ERR_internal_not_done);
    int type = type_of(value);
    if (type != TYPE_TUPLE && type != TYPE_IMAGE) {
        Cell kind = raise::datatype_arg(type);
        fire(ERR_script_invalid_type, &kind);
    }
    int64_t head = std::max<int64_t>(head_of(image), 0);
    if (head >= pixel_count(image)) return moved_to(image, head);
    tell_owner(image, ownership::CHANGE, value, head, 1);
    int64_t after;
    if (type == TYPE_TUPLE) {
        image_os::set_pixel(needed_record(image), head, pixel_of_tuple(value));
        after = head + 1;
    } else {
        Cell source = *value;
        after = paste(image, &source, head);
    }
    tell_owner(image, ownership::CHANGED, value, head, after - head);
    return moved_to(image, after);
}

// ---- Copying -------------------------------------------------------------------------------

Cell* region(const Cell* image, Cell* result, int64_t x, int64_t y, int64_t w, int64_t h) {
    image_os::Record* r = record_of(image);
    if (!r || w <= 0 || h <= 0) return make_at(result, nullptr);
    return make_at(result, image_os::copy_region(r, int32_t(x), int32_t(y), int32_t(std::min<int64_t>(w, INT32_MAX)),
                                                 int32_t(std::min<int64_t>(h, INT32_MAX))));
}

Cell* copy(Cell* value, Cell* result, Cell* part, bool, Cell*) {
    Cell image = *value;
    if (!image.data2) return copy_whole(&image, result);
    int64_t w = width_of(&image), h = height_of(&image), total = pixel_count(&image);
    int64_t head = std::clamp<int64_t>(head_of(&image), 0, total);
    int64_t col = head % w, row = head / w;
    if (!part) {
        if (head == 0) return copy_whole(&image, result);
        return region(&image, result, col, row, w - col, h - row);
    }
    switch (type_of(part)) {
        case TYPE_PAIR: {
            int64_t px = pair::x_of(part), py = pair::y_of(part);
            if (px >= 1 && py >= 1 && head < total) return region(&image, result, col, row, px, py);
            if (px < 0 && py < 0 && head > 0) {
                // Ending at the head's column and at the row below the head's.
                int64_t x0 = std::max<int64_t>(col + px, 0), y0 = std::max<int64_t>(row + 1 + py, 0);
                return region(&image, result, x0, y0, col - x0, row + 1 - y0);
            }
            return make_at(result, nullptr);
        }
        case TYPE_INTEGER: fire(ERR_internal_not_done);
        case TYPE_IMAGE: {
            if (part->data2 != image.data2) series::bad_refinement("part", part);
            int64_t other = std::clamp<int64_t>(head_of(part), 0, total);
            int64_t first = std::min(head, other), last = std::max(head, other);
            int64_t x0 = first % w, y0 = first / w;
            return region(&image, result, x0, y0, last % w - x0, last / w - y0);
        }
        default: series::bad_refinement("part", part);
    }
}

// ---- Paths ---------------------------------------------------------------------------------

Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path, Cell*, Cell*, int, bool, bool, bool) {
    static Cell answer;
    if (type_of(element) == TYPE_INTEGER || type_of(element) == TYPE_PAIR) {
        answer = *parent;
        if (value) return poke(&answer, 0, value, element);
        return pick(&answer, 0, element);
    }
    int mode = word_is(element, "rgb") ? MODE_RGB : word_is(element, "alpha") ? MODE_ALPHA
             : word_is(element, "argb") ? MODE_ARGB : -1;
    if (word_is(element, "size") && !value) return pair::make_at(&answer, width_of(parent), height_of(parent));
    if (mode < 0) fire(ERR_script_invalid_path, path, element);
    if (!value) return extract_data(parent, &answer, mode);
    set_data(parent, value, mode);
    return value;
}

// ---- to binary! ------------------------------------------------------------------------------

Cell* to_binary(const Cell* image, Cell* result) { return extract_data(image, result, MODE_ARGB); }

}  // namespace

// ---- Public ----------------------------------------------------------------------------------

image_os::Record* record_of(const Cell* image) {
    if (!image->data2) return nullptr;
    return image_os::record_at(slot_of_holder(image->data2));
}

Cell* make_at(Cell* cell, image_os::Record* record) {
    if (!record) {
        cell::set(cell, TYPE_IMAGE, 0, 0, 0);
        return cell;
    }
    // The new record is reached by nothing yet: a handle! naming its slot
    // keeps it through a collection run by the holder's allocation.
    Cell slot_keeper;
    cell::set(&slot_keeper, TYPE_HANDLE, 0, 0, uint32_t(record->slot));
    gc::root keep(&slot_keeper);
    Node holder = memory::alloc_series(1, 4, 0);
    Series* s = memory::series_of(holder);
    std::memcpy(s->head(), &record->slot, sizeof record->slot);
    s->tail = s->offset + 4;
    cell::set(cell, TYPE_IMAGE, 0, holder, uint32_t(image_os::height_q(record)) << 16 | uint32_t(image_os::width_q(record)));
    return cell;
}

uint32_t pixel_of_tuple(const Cell* tuple) {
    const uint8_t* b = tuple::bytes_of(tuple);
    uint32_t a = tuple::length_of(tuple) >= 4 ? uint32_t(255 - b[3]) : 255;
    return a << 24 | uint32_t(b[0]) << 16 | uint32_t(b[1]) << 8 | b[2];
}

Cell* tuple_of_pixel(Cell* cell, uint32_t pixel) {
    return tuple::make_rgba(cell, uint8_t(pixel >> 16), uint8_t(pixel >> 8), uint8_t(pixel), 255 - int(pixel >> 24));
}

Cell* encode(const Cell* image, Cell* result, int format) {
    image_os::Record* r = record_of(image);
    if (!r) fire(ERR_access_bad_media);
    image_os::encode(r, result, format);
    return result;
}

namespace {

// The format the first bytes claim, or -1.
int claimed_format(const uint8_t* p, int64_t n) {
    auto starts = [&](const char* magic, int64_t len) { return n >= len && std::memcmp(p, magic, size_t(len)) == 0; };
    if (starts("\x89PNG", 4)) return codecs::FORMAT_PNG;
    if (starts("\xFF\xD8\xFF", 3)) return codecs::FORMAT_JPEG;
    if (starts("BM", 2)) return codecs::FORMAT_BMP;
    if (starts("GIF87a", 6) || starts("GIF89a", 6)) return codecs::FORMAT_GIF;
    if (starts("II*\0", 4) || starts("MM\0*", 4)) return codecs::FORMAT_TIFF;
    return -1;
}

}  // namespace

Cell* decode(const Cell* data, Cell* result) {
    if (type_of(data) == TYPE_BINARY) {
        const uint8_t* p = binary::head(data);
        int64_t n = binary::length_q(data);
        if (claimed_format(p, n) < 0) {
            cell::set(result, TYPE_NONE);
            return result;
        }
        image_os::Record* r = image_os::decode_memory(p, n);
        if (!r) fire(ERR_access_bad_media);
        return make_at(result, r);
    }
    if (type_of(data) == TYPE_FILE) {
        Cell file = *data;
        image_os::Record* r = image_os::decode_file(&file);
        if (!r) fire(ERR_access_cannot_open, &file);
        return make_at(result, r);
    }
    if (type_of(data) == TYPE_URL) fire(ERR_access_cannot_open, data);
    fire(ERR_script_invalid_arg, data);
}

Cell* extract_data(const Cell* image, Cell* result, int mode) {
    static constexpr int UNIT[] = {1, 3, 4};
    Cell source = *image;
    int64_t n = pixel_count(&source);
    binary::make_at(result, n * UNIT[mode]);
    if (n == 0) return result;
    std::vector<uint8_t> bytes(size_t(n * UNIT[mode]));
    image_os::Record* r = needed_record(&source);
    image_os::Lock l = image_os::lock(r, false);
    const uint32_t* px = image_os::get_data(l, nullptr);
    for (int64_t i = 0; i < n; i++) {
        uint32_t p = px[i];
        if (mode == MODE_ALPHA) {
            bytes[size_t(i)] = uint8_t(255 - (p >> 24));
        } else if (mode == MODE_RGB) {
            bytes[size_t(3 * i)] = uint8_t(p >> 16);
            bytes[size_t(3 * i + 1)] = uint8_t(p >> 8);
            bytes[size_t(3 * i + 2)] = uint8_t(p);
        } else {
            std::memcpy(&bytes[size_t(4 * i)], &p, 4);
        }
    }
    image_os::unlock(r, l);
    binary::append_bytes(result, bytes.data(), int64_t(bytes.size()));
    return result;
}

void set_data(Cell* image, const Cell* value, int mode) {
    int type = type_of(value);
    if (type != TYPE_BINARY && type != TYPE_TUPLE && type != TYPE_INTEGER) fire(ERR_script_invalid_arg, value);
    int64_t n = pixel_count(image);
    if (n == 0) return;
    image_os::Record* r = needed_record(image);
    image_os::Lock l = image_os::lock(r, true);
    uint32_t* px = image_os::get_data(l, nullptr);
    if (type == TYPE_BINARY) {
        const uint8_t* b = binary::head(value);
        int64_t len = binary::length_q(value);
        if (mode == MODE_ARGB) {
            std::memcpy(px, b, size_t(std::min(4 * n, len)));
        } else if (mode == MODE_RGB) {
            for (int64_t i = 0, m = std::min(n, len / 3); i < m; i++)
                px[i] = (px[i] & 0xFF000000) | uint32_t(b[3 * i]) << 16 | uint32_t(b[3 * i + 1]) << 8 | b[3 * i + 2];
        } else {
            for (int64_t i = 0, m = std::min(n, len); i < m; i++) px[i] = (px[i] & 0xFFFFFF) | uint32_t(255 - b[i]) << 24;
        }
    } else {
        // A tuple's 4th byte is its transparency (0 when it has three);
        // an integer is taken as the pixel word itself.
        uint32_t whole = type == TYPE_TUPLE ? pixel_of_tuple(value) : uint32_t(cell::get_int(value));
        uint32_t low = type == TYPE_TUPLE ? tuple::bytes_of(value)[0] : uint32_t(cell::get_int(value)) & 0xFF;
        for (int64_t i = 0; i < n; i++) {
            if (mode == MODE_ARGB) px[i] = whole;
            else if (mode == MODE_RGB) px[i] = (px[i] & 0xFF000000) | (whole & 0xFFFFFF);
            else px[i] = (px[i] & 0xFFFFFF) | (255 - low) << 24;
        }
    }
    image_os::unlock(r, l);
    tell_owner(image, ownership::POKED, value, 0, n);
}

Cell* resize(const Cell* image, Cell* result, int32_t width, int32_t height) {
    image_os::Record* r = record_of(image);
    return make_at(result, r ? image_os::resize(r, width, height) : nullptr);
}

void release_bitmap(const Cell* image) {
    if (image_os::Record* r = record_of(image)) image_os::release(r);
}

int foreach_set(const Cell* words, const Cell* image, int count) {
    iterate::set_from_series(words, image, count);
    return count;
}

bool from_png(const uint8_t* bytes, int64_t size, Cell* result) {
    if (claimed_format(bytes, size) != codecs::FORMAT_PNG) return false;
    codecs::Picture picture;
    if (!codecs::decode_png(bytes, size_t(size), picture)) return false;
    make_at(result, image_os::make_record(std::move(picture.pixels), image_os::BITMAP_MADE, picture.width, picture.height));
    return true;
}

bool to_png(const Cell* image, std::vector<uint8_t>& out) {
    image_os::Record* r = record_of(image);
    if (!r || r->pixels.empty()) return false;
    return codecs::encode_png(image_os::source(r), image_os::width_q(r), image_os::height_q(r), out);
}

void init() {
    collector::g_image_mark = mark_holder;
    binary::g_image_bytes = to_binary;
    datatype::TypeRecord r(TYPE_IMAGE, TYPE_SERIES, "image!");
    r.set<ACT_MAKE>(make).set<ACT_TO>(to).set<ACT_FORM>(form).set<ACT_MOLD>(mold);
    r.set<ACT_EVAL_PATH>(eval_path).set<ACT_COMPARE>(compare).set<ACT_AT>(at).set<ACT_CHANGE>(change);
    r.set<ACT_COPY>(copy).set<ACT_LENGTH_Q>(length_q).set<ACT_NEXT>(next).set<ACT_PICK>(pick);
    r.set<ACT_POKE>(poke).set<ACT_SKIP>(skip).set<ACT_TAIL>(tail).set<ACT_TAIL_Q>(tail_q);
    for (int action : {ACT_BACK, ACT_HEAD, ACT_HEAD_Q, ACT_INDEX_Q, ACT_MODIFY}) r.inherit(action);
    datatype::register_type(r);
}

}  // namespace zel::image
