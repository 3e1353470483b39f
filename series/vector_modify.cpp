// vector!: append, insert and change. Every value written is checked and
// encoded at the vector's element size before the buffer is touched, so a
// value of another type leaves the vector as it was; a vector given as the
// source is read the same way, element by element, so that a source in the
// changed buffer itself, or one of another width, reads as it was.
#include <algorithm>
#include <cstring>
#include <vector>

#include "foundation/memory.h"
#include "foundation/raise.h"
#include "series/block.h"
#include "series/ownership.h"
#include "series/series.h"
#include "series/vector.h"

namespace zel::vector {

namespace {

int unit_of(const Cell* vector) { return memory::series_of(vector->data2)->unit(); }
int64_t total_of(const Cell* vector) { return int64_t(memory::series_of(vector->data2)->used()) / unit_of(vector); }

// A head past the tail comes back to it; answers the head.
int64_t clamp_head(Cell* vector) {
    int64_t total = total_of(vector), head = int32_t(vector->data1);
    if (head > total) vector->data1 = uint32_t(head = total);
    return std::max<int64_t>(head, 0);
}

// The elements to write, encoded at the vector's element size.
struct Encoded {
    std::vector<uint8_t> bytes;
    int64_t count = 0;

    void add(const Cell* vector, const Cell* value, int unit) {
        check_value(vector, value);
        bytes.resize(bytes.size() + size_t(unit));
        set_value(bytes.data() + bytes.size() - size_t(unit), value, unit);
        count++;
    }
};

// The cells of a block from its head, at most `part` of them when part >= 0.
void add_cells(Encoded& out, const Cell* vector, const Cell* block, int part) {
    int64_t n = std::max(block::length_q(block), 0);
    if (part >= 0) n = std::min<int64_t>(n, part);
    int unit = unit_of(vector);
    for (int64_t i = 0; i < n; i++) out.add(vector, block::abs_at(block, int32_t(block->data1) + int(i)), unit);
}

// The elements of another vector from its head, which must be of the same
// element type: converted one by one when the widths differ.
void add_elements(Encoded& out, const Cell* vector, const Cell* source) {
    if (source->data3 != vector->data3) fire(ERR_script_not_same_type);
    int64_t total = total_of(source), head = std::clamp<int64_t>(int32_t(source->data1), 0, total);
    int unit = unit_of(vector);
    for (int64_t i = head; i < total; i++) {
        Cell element = element_at(source, i);
        out.add(vector, &element, unit);
    }
}

// count x dup elements more must fit a buffer.
int64_t checked_total(int64_t count, int64_t dup, const Cell* vector) {
    int64_t total = count * dup;
    int64_t bytes = (total_of(vector) + total) * unit_of(vector);
    if (total > INT32_MAX || bytes > SERIES_MAX_BYTES) fire(ERR_internal_no_memory);
    return total;
}

// Room for `more` bytes after the tail: twice the capacity, or exactly what
// is needed when that is more.
Series* make_room(const Cell* vector, int64_t more) {
    Series* s = memory::series_of(vector->data2);
    if (int64_t(s->tail) + more <= s->capacity) return s;
    int64_t needed = int64_t(s->used()) + more;
    int64_t doubled = std::min<int64_t>(2 * int64_t(s->capacity), SERIES_MAX_BYTES & ~int64_t(15));
    return memory::expand_series(s, std::max(needed, doubled));
}

// Writes the encoded elements at element `at`, dup times.
void write_at(Series* s, int64_t at, int unit, const Encoded& e, int dup) {
    uint8_t* p = s->head() + at * unit;
    std::memcpy(p, e.bytes.data(), e.bytes.size());
    memory::repeat_pattern(p, e.bytes.size(), size_t(dup));
}

Cell* add(Cell* vector, Cell* value, int part, int dup, bool append) {
    if (dup < 1) return vector;
    int64_t head = clamp_head(vector);
    Encoded e;
    int vtype = type_of(value);
    if (vtype == TYPE_BLOCK || vtype == TYPE_PAREN || vtype == TYPE_HASH) add_cells(e, vector, value, part);
    else e.add(vector, value, unit_of(vector));
    if (e.count == 0) return vector;
    int64_t added = checked_total(e.count, dup, vector);
    int unit = unit_of(vector);
    int64_t total = total_of(vector);
    int64_t point = append ? total : head;
    Series* s = make_room(vector, added * unit);
    uint8_t* at = s->head() + point * unit;
    std::memmove(at + added * unit, at, size_t((total - point) * unit));
    write_at(s, point, unit, e, dup);
    s->tail += uint32_t(added * unit);
    if (!append) vector->data1 = uint32_t(point + added);
    return vector;
}

}  // namespace

Cell* append(Cell* series, Cell* value, int part, bool, int dup) { return add(series, value, part, dup, true); }

Cell* insert(Cell* series, Cell* value, int part, bool, int dup) { return add(series, value, part, dup, false); }

Cell* change(Cell* series, Cell* value, int part, bool only, int dup) {
    if (dup < 1) return series;
    int64_t head = clamp_head(series);
    Encoded e;
    if (series::any_block(type_of(value)) && !only) add_cells(e, series, value, -1);
    else if (type_of(value) == TYPE_VECTOR) add_elements(e, series, value);
    else e.add(series, value, unit_of(series));
    int64_t written = checked_total(e.count, dup, series);
    int64_t replaced = std::min<int64_t>(part >= 0 ? part : written, total_of(series) - head);
    bool told = ownership::check(series, ownership::CHANGE, nullptr, int(head), int(replaced));

    int unit = unit_of(series);
    int64_t total = total_of(series);
    head = clamp_head(series);
    replaced = std::min<int64_t>(part >= 0 ? part : written, total - head);
    int64_t grown = total + written - replaced;
    if (written > 0 || replaced > 0) {
        Series* s = grown > total ? make_room(series, (grown - total) * unit) : memory::series_of(series->data2);
        uint8_t* at = s->head() + head * unit;
        std::memmove(at + written * unit, at + replaced * unit, size_t((total - head - replaced) * unit));
        write_at(s, head, unit, e, dup);
        s->tail = s->offset + uint32_t(grown * unit);
    }
    if (told) ownership::check(series, ownership::CHANGED, nullptr, int(head), int(written));
    series->data1 = uint32_t(head + written);
    return series;
}

}  // namespace zel::vector
