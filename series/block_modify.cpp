// block! modification: append and insert, change, take, swap and trim.
//
// Each tells the owner of the block before and after the change; the
// owner's handler runs Zel code, which may change either block, so every
// position is taken again after it. The cells to write are read out of the
// value (Source) after that handler and before the target moves a cell or
// replaces its buffer: a block added to itself, or changed by itself, gives
// what a copy of it would. A hash!'s table follows every change.
//
// Relies on: memory (growth, repeat_pattern), the ownership check, hash
// tables and the series! upkeep helpers, and series::take.
#include <algorithm>
#include <cstring>
#include <optional>

#include "foundation/raise.h"
#include "foundation/stamp.h"
#include "series/block.h"
#include "series/block_cells.h"
#include "series/hash_table.h"
#include "series/ownership.h"
#include "series/series.h"

namespace zel::block {

namespace {

constexpr int64_t CELL = int64_t(sizeof(Cell));

// The cells an insert or change writes: the value's cells from its head (an
// any-block without /only), or the value itself; at most `part` of them.
class Source {
public:
    Source(const Cell* value, bool only, int64_t part)
        : value_(*value), run_(series::any_block(type_of(value)) && !only) {
        count_ = run_ ? available() : 1;
        if (part >= 0) count_ = std::min(count_, part);
    }
    int64_t count() const { return count_; }

    // Reads the cells out, as far as the value's block still holds them.
    void take() {
        if (run_) count_ = std::min(count_, available());
        cells_.emplace(count_ * CELL);
        if (run_) std::memcpy(cells_->get(), first_cell(&value_) + head_index(&value_), size_t(count_ * CELL));
        else std::memcpy(cells_->get(), &value_, sizeof(Cell));
    }
    const uint8_t* bytes() { return cells_->get(); }

private:
    int64_t available() const { return total_of(&value_) - head_index(&value_); }
    Cell value_;
    bool run_;
    int64_t count_;
    std::optional<series::Scratch> cells_;
};

// count x dup cells, checked with the block's `used` cells against the
// largest buffer: past the 32-bit limits raises internal no-memory.
int64_t checked_cells(int64_t count, int64_t dup, int64_t used) {
    int64_t cells = count * dup;
    if (cells > INT32_MAX || (used + cells) * CELL > SERIES_MAX_BYTES) fire(ERR_internal_no_memory);
    return cells;
}

// Room for `more` cells after the tail: the buffer grows to the size needed,
// or to twice that (within the largest buffer).
Series* make_room(const Cell* block, int64_t more, bool twice) {
    Series* s = buffer_of(block);
    if (int64_t(s->tail) + more * CELL <= s->capacity) return s;
    int64_t needed = int64_t(s->used()) + more * CELL;
    return memory::expand_series(s, twice ? std::min(2 * needed, SERIES_MAX_BYTES & ~(CELL - 1)) : needed);
}

// Writes the source's cells at `at`, repeated dup times.
void write_cells(Cell* at, Source& source, int64_t dup) {
    std::memcpy(at, source.bytes(), size_t(source.count() * CELL));
    memory::repeat_pattern(reinterpret_cast<uint8_t*>(at), size_t(source.count() * CELL), size_t(dup));
}

// A head past the tail comes back to it.
void clamp_head(Cell* series) {
    int64_t total = total_of(series);
    if (int32_t(series->data1) > total) series->data1 = uint32_t(total);
}

Cell* add(Cell* series, Cell* value, int part, bool only, int dup, bool append) {
    if (dup < 1) return series;
    Source source(value, only, part);
    if (source.count() == 0) return series;
    clamp_head(series);
    int64_t total = total_of(series), head = head_index(series);
    int64_t added = checked_cells(source.count(), dup, total);
    if (append) ownership::check(series, ownership::APPEND, value, int(total), int(added));
    else ownership::check(series, ownership::INSERT, value, int(head), int(added));

    source.take();
    added = source.count() * dup;
    total = total_of(series);
    int64_t point = append ? total : head_index(series);
    if (added > 0) {
        Series* s = make_room(series, added, dup < 5);
        Cell* at = s->cells() + point;
        std::memmove(at + added, at, size_t((total - point) * CELL));
        write_cells(at, source, dup);
        s->tail += uint32_t(added * CELL);
        memory::touch(s);
        Node table = series::hash_table_of(series);
        if (table && !series::hash_renumber(table, added, point, total - point, false))
            series::hash_put_cells(table, series->data2, point, added);
    }
    if (append) ownership::check(series, ownership::APPENDED, value, int(point), int(added));
    else ownership::check(series, ownership::INSERTED, value, int(point), int(added));
    series->data1 = uint32_t(append ? 0 : point + added);
    return series;
}

}  // namespace

Cell* append(Cell* series, Cell* value, int part, bool only, int dup) {
    return add(series, value, part, only, dup, true);
}

Cell* insert(Cell* series, Cell* value, int part, bool only, int dup) {
    return add(series, value, part, only, dup, false);
}

Cell* change(Cell* series, Cell* value, int part, bool only, int dup) {
    if (dup < 1) return series;
    clamp_head(series);
    int64_t total = total_of(series), head = head_index(series);
    Source source(value, only, -1);
    int64_t written = checked_cells(source.count(), dup, total);
    int64_t replaced = std::min<int64_t>(part >= 0 ? part : written, total - head);
    bool told = ownership::check(series, ownership::CHANGE, nullptr, int(head), int(replaced));

    source.take();
    written = source.count() * dup;
    total = total_of(series);
    head = head_index(series);
    replaced = std::min<int64_t>(part >= 0 ? part : written, total - head);
    int64_t grown = total + written - replaced;
    if (written > 0 || replaced > 0) {
        Series* s = grown > total ? make_room(series, grown - total, false) : buffer_of(series);
        Cell* at = s->cells() + head;
        std::memmove(at + written, at + replaced, size_t((total - head - replaced) * CELL));
        write_cells(at, source, dup);
        s->tail = s->offset + uint32_t(grown * CELL);
        memory::touch(s);
        if (Node table = series::hash_table_of(series)) hash_table::rebuild_block(table, int32_t(grown));
    }
    if (told) ownership::check(series, ownership::CHANGED, nullptr, int(head), int(written));
    series->data1 = uint32_t(head + written);
    return series;
}

Cell* take(Cell* series, Cell* part, bool deep, bool last) {
    Cell* taken = series::take(series, part, deep, last);
    if (type_of(taken) == TYPE_NONE) return taken;
    int64_t count = total_of(taken);
    if (deep) {
        copy_nested(taken->data2, 0, count);
        if (Node table = series::hash_table_of(taken)) hash_table::rebuild_block(table, int32_t(count));
    }
    if (!part && count == 1) *taken = first_cell(taken)[0];
    return taken;
}

Cell* swap(Cell* series1, Cell* series2) {
    if (!series::any_block(type_of(series2))) fire(ERR_script_invalid_arg, series2);
    if (tail_q(series1) || tail_q(series2)) return series1;
    bool told1 = ownership::check(series1, ownership::SWAP, nullptr, int32_t(series1->data1), 1);
    bool told2 = ownership::check(series2, ownership::SWAP, nullptr, int32_t(series2->data1), 1);
    // The owners' handlers may have emptied either block.
    if (tail_q(series1) || tail_q(series2)) return series1;
    int64_t a = head_index(series1), b = head_index(series2);
    Node table1 = series::hash_table_of(series1), table2 = series::hash_table_of(series2);
    if (table1) hash_table::delete_(table1, first_cell(series1) + a);
    if (table2) hash_table::delete_(table2, first_cell(series2) + b);
    std::swap(first_cell(series1)[a], first_cell(series2)[b]);
    memory::touch(series1);
    memory::touch(series2);
    if (table1) hash_table::put(table1, first_cell(series1) + a);
    if (table2) hash_table::put(table2, first_cell(series2) + b);
    if (told1) ownership::check(series1, ownership::SWAPED, nullptr, int(a), 1);
    if (told2) ownership::check(series2, ownership::SWAPED, nullptr, int(b), 1);
    return series1;
}

Cell* trim(Cell* series, bool, bool, bool, bool, bool, Cell*) {
    bool told = ownership::check(series, ownership::TRIM, nullptr, int(head_index(series)), 0);
    int64_t head = head_index(series), total = total_of(series), kept = head;
    Node table = series::hash_table_of(series);
    if (table) hash_table::delete_range(table, int32_t(head), int32_t(total - head));
    Cell* c = first_cell(series);
    for (int64_t i = head; i < total; i++)
        if (type_of(c + i) != TYPE_NONE) c[kept++] = c[i];
    Series* s = buffer_of(series);
    s->tail = s->offset + uint32_t(kept * CELL);
    memory::touch(s);
    if (table) series::hash_put_cells(table, series->data2, head, kept - head);
    if (told) ownership::check(series, ownership::TRIMMED, nullptr, int(head), 0);
    return series;
}

}  // namespace zel::block
