// series!: the shared handlers every series type inherits, the position
// arithmetic they use, and the type's registration.
//
// Cell: {header, head index in units, buffer node, extra word}. The unit
// of a buffer is the low 5 bits of its flags (1, 2, 4, 8 or 16 bytes).
#include "series/series.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "foundation/actions.h"
#include "foundation/collector.h"
#include "foundation/datatype.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "foundation/stamp.h"
#include "scalars/random.h"
#include "scalars/simple_types.h"
#include "series/hash_table.h"
#include "series/ownership.h"
#include "series/string.h"
#include "series/vector.h"

namespace zel::series {

// ---- Kinds of series ---------------------------------------------------------------------

bool series_type(int type) {
    return any_block(type) || any_string(type) || type == TYPE_BINARY || type == TYPE_VECTOR ||
           type == TYPE_IMAGE;
}

// ---- Shared operations -------------------------------------------------------------------

int shift_of(const Series* s) { return std::bit_width(uint32_t(s->unit() | 1)) - 1; }

namespace {

// A series value's buffer as the handlers see it. Taken again (`view_of`)
// after anything that may allocate or run Zel code.
struct View {
    Series* s;
    int shift;
    int64_t total;  // units in use
    int64_t head;   // the cell's head index; may be negative or past the total

    uint8_t* at(int64_t unit) const { return s->head() + (unit << shift); }
    int64_t bytes(int64_t units) const { return units << shift; }
    Cell* cell(int64_t unit) const { return reinterpret_cast<Cell*>(at(unit)); }
};

View view_of(const Cell* series) {
    Series* s = memory::series_of(series->data2);
    int shift = shift_of(s);
    return View{s, shift, int64_t(s->used()) >> shift, int64_t(int32_t(series->data1))};
}

// A head that counts from 0 and not past the total.
int64_t clamped_head(const View& v) { return std::clamp<int64_t>(v.head, 0, v.total); }

Cell integer_cell(int64_t value) {
    Cell c;
    cell::set(&c, TYPE_INTEGER, 0, uint32_t(int32_t(value)));
    return c;
}

// Names of refinements and fields are symbols, once the symbol table exists.
uint32_t symbol_named(const char* name) {
    if (hash_table::g_symbol_table == 0) return 0;
    return uint32_t(hash_table::put_symbol(hash_table::g_symbol_table,
                                           reinterpret_cast<const uint8_t*>(name),
                                           int32_t(std::strlen(name)), false));
}

// The word naming a refinement in an error; none before symbols exist.
Cell word_named(const char* name) {
    Cell w;
    uint32_t symbol = symbol_named(name);
    if (symbol) cell::set(&w, TYPE_WORD, 0, symbol, uint32_t(-1));
    else cell::set(&w, TYPE_NONE);
    return w;
}

void delete_cells(Node table, Node block, int64_t first, int64_t count) {
    for (int64_t i = first; i < first + count; i++)
        hash_table::delete_(table, memory::series_of(block)->cells() + i);
}

// Removes count units at `at` (clamped to the tail), moving the rest down
// and renumbering a hash!'s table.
void cut_units(const Cell* series, int64_t at, int64_t count) {
    View v = view_of(series);
    if (at >= v.total) return;
    count = std::min(count, v.total - at);
    int64_t after = v.total - at - count;
    std::memmove(v.at(at), v.at(at + count), size_t(v.bytes(after)));
    v.s->tail -= uint32_t(v.bytes(count));
    memory::touch(v.s);
    hash_renumber(hash_table_of(series), -count, at + count, after, true);
}

void swap_units(uint8_t* a, uint8_t* b, int64_t bytes, uint8_t* scratch) {
    std::memcpy(scratch, a, size_t(bytes));
    std::memmove(a, b, size_t(bytes));
    std::memcpy(b, scratch, size_t(bytes));
}

// ---- Elements as values ------------------------------------------------------------------

// Unit p of the series as a value: a copy of a cell, an integer! of a byte,
// or a char! of a code point.
void element_value(const Cell* series, int64_t p, Cell* out) {
    int type = type_of(series);
    View v = view_of(series);
    if (any_block(type)) {
        *out = *v.cell(p);
    } else if (type == TYPE_VECTOR) {
        *out = vector::element_at(series, p);
    } else if (type == TYPE_BINARY) {
        cell::set(out, TYPE_INTEGER, 0, *v.at(p));
    } else {
        cell::set(out, TYPE_CHAR, 0, string::get_char(v.at(p), v.s->unit()));
    }
}

// The unit a pick or poke index names (1 the head, -1 the unit before it),
// or -1 when it names none.
int64_t pick_position(const View& v, int index) {
    if (index == 0) return -1;
    int64_t p = v.head + (index > 0 ? int64_t(index) - 1 : index);
    return p < 0 || p >= v.total ? -1 : p;
}

// What a binary! stores for a value: the low byte of an integer! or char!.
uint8_t byte_of(const Cell* value) {
    if (type_of(value) != TYPE_INTEGER && type_of(value) != TYPE_CHAR) fire(ERR_script_invalid_arg, value);
    return uint8_t(value->data2);
}

// ---- take's one-unit buffer --------------------------------------------------------------

Node g_take_buffer = 0;

Node take_buffer_for(int unit) {
    if (!g_take_buffer) g_take_buffer = memory::alloc_fixed_series(1, 16, 0);
    Series* s = memory::series_of(g_take_buffer);
    s->flags = (s->flags & ~SERIES_UNIT_MASK) | uint32_t(unit);
    s->tail = s->offset;
    return g_take_buffer;
}

void mark_take_buffer() { collector::mark_node(g_take_buffer); }

}  // namespace

[[noreturn]] void bad_refinement(const char* refinement, const Cell* value) {
    Cell word = word_named(refinement);
    fire(ERR_script_invalid_refine_arg, &word, value);
}

int64_t part_position(const Cell* series, const Cell* part) {
    if (type_of(part) != type_of(series) || part->data2 != series->data2) bad_refinement("part", part);
    return int32_t(part->data1);
}

int64_t part_count(const Cell* series, const Cell* part) {
    if (type_of(part) == TYPE_INTEGER) return cell::get_int(part);
    return part_position(series, part) - int32_t(series->data1);
}

// ---- Temporaries -------------------------------------------------------------------------

Scratch::Scratch(int64_t bytes)
    : p_(bytes > int64_t(sizeof local_) ? static_cast<uint8_t*>(memory::heap_alloc(bytes)) : local_) {}

Scratch::~Scratch() {
    if (p_ != local_) memory::heap_free(p_);
}

int abs_length_q(const Cell* series) { return int(view_of(series).total); }

bool at_tail_q(const Cell* series) {
    View v = view_of(series);
    return v.head >= v.total;
}

bool advance(Cell* series, int n) {
    View v = view_of(series);
    int64_t moved = v.head + n;
    if (moved >= 0 && moved <= v.total) series->data1 = uint32_t(moved);
    return int64_t(int32_t(series->data1)) >= v.total;
}

int get_position(const Cell* series, const Cell* offset, bool at) {
    if (type_of(offset) != TYPE_INTEGER) fire(ERR_script_invalid_arg, offset);
    View v = view_of(series);
    int64_t index = cell::get_int(offset);
    int64_t position = v.head + (at && index >= 1 ? index - 1 : index);
    return int(std::clamp<int64_t>(position, 0, v.total));
}

int get_length(Cell* series, bool absolute) {
    View v = view_of(series);
    int64_t head = absolute || v.head < 0 ? 0 : v.head;
    if (head > v.total) {
        series->data1 = uint32_t(v.total);
        return 0;
    }
    return int(v.total - head);
}

Node take_buffer() { return g_take_buffer; }

// ---- hash! upkeep ------------------------------------------------------------------------

Node hash_table_of(const Cell* series) { return type_of(series) == TYPE_HASH ? series->data3 : 0; }

bool hash_renumber(Node table, int64_t change, int64_t first, int64_t count, bool remove) {
    if (!table) return false;
    if (hash_table::shift(table, int32_t(change), int32_t(first), int32_t(count), remove) == 0)
        return false;
    Node keys = hash_table::record(table)->keys;
    hash_table::rebuild_block(table, int32_t(memory::series_of(keys)->used() / sizeof(Cell)));
    return true;
}

// A put that grew the table entered every cell: the run stops there.
void hash_put_cells(Node table, Node block, int64_t first, int64_t count) {
    for (int64_t i = first; i < first + count; i++) {
        Cell* c = memory::series_of(block)->cells() + i;
        if (!hash_table::put(table, c)) return;
    }
}

// ---- Navigation --------------------------------------------------------------------------

Cell* at() {
    Cell* series = stack::arguments();
    series->data1 = uint32_t(get_position(series, series + 1, true));
    return series;
}

Cell* skip() {
    Cell* series = stack::arguments();
    series->data1 = uint32_t(get_position(series, series + 1, false));
    return series;
}

Cell* back() {
    Cell* series = stack::arguments();
    if (int32_t(series->data1) > 0) series->data1--;
    return series;
}

Cell* next() {
    Cell* series = stack::arguments();
    advance(series, 1);
    return series;
}

Cell* head() {
    Cell* series = stack::arguments();
    series->data1 = 0;
    return series;
}

Cell* tail() {
    Cell* series = stack::arguments();
    series->data1 = uint32_t(view_of(series).total);
    return series;
}

Cell* head_q() {
    Cell* series = stack::arguments();
    logic::set(series, series->data1 == 0);
    return series;
}

Cell* tail_q() {
    Cell* series = stack::arguments();
    logic::set(series, at_tail_q(series));
    return series;
}

Cell* index_q() {
    Cell* series = stack::arguments();
    *series = integer_cell(int64_t(int32_t(series->data1)) + 1);
    return series;
}

int length_q(Cell* series) { return get_length(series, false); }

// ---- Reading and writing one element -----------------------------------------------------

Cell* pick(Cell* series, int index, Cell*) {
    int64_t p = pick_position(view_of(series), index);
    if (p < 0) cell::set(series, TYPE_NONE);
    else element_value(series, p, series);
    return series;
}

Cell* poke(Cell* series, int index, Cell* value, Cell*) {
    int type = type_of(series);
    int64_t p = pick_position(view_of(series), index);
    Cell boxed = integer_cell(index);
    if (p < 0) fire(ERR_script_out_of_range, &boxed);
    if (type == TYPE_VECTOR) vector::check_value(series, value);
    else if (type == TYPE_BINARY) byte_of(value);
    else if (!any_block(type) && type_of(value) != TYPE_CHAR) fire(ERR_script_invalid_arg, value);

    Cell v = *value;  // the value may lie in this very series
    bool notified = ownership::check(series, ownership::POKE, &v, int(p), 1);
    if (notified && p >= view_of(series).total) fire(ERR_script_out_of_range, &boxed);
    View now = view_of(series);
    if (any_block(type)) {
        Node table = hash_table_of(series);
        if (table) hash_table::delete_(table, now.cell(p));
        *now.cell(p) = v;
        if (table) hash_table::put(table, now.cell(p));
    } else if (type == TYPE_VECTOR) {
        vector::set_value(now.at(p), &v, now.s->unit());
    } else if (type == TYPE_BINARY) {
        *now.at(p) = byte_of(&v);
    } else {
        string::poke_char(now.s, int(p), v.data2);
    }
    memory::touch(series);
    if (notified) ownership::check(series, ownership::POKED, &v, int(p), 1);
    return value;
}

// ---- Removing ------------------------------------------------------------------------------

Cell* clear(Cell* series) {
    View v = view_of(series);
    int64_t head = std::max<int64_t>(v.head, 0);
    int64_t count = v.total - head;
    if (count < 1) return series;
    ownership::check(series, ownership::CLEAR, nullptr, int(head), int(count));
    v = view_of(series);
    if (head < v.total) {
        if (Node table = hash_table_of(series)) hash_table::delete_range(table, int32_t(head), int32_t(v.total - head));
        v.s->tail = v.s->offset + uint32_t(v.bytes(head));
        memory::touch(v.s);
    }
    ownership::check(series, ownership::CLEARED, nullptr, int(head), 0);
    return series;
}

Cell* remove(Cell* series, Cell* part, Cell* key) {
    int64_t count = part ? part_count(series, part) : 1;
    if (count < 1) return series;
    if (key) {
        auto find = datatype::handler<ACT_FIND>(type_of(series));
        if (!find) raise::expect_arg(series, 0);
        Cell probe = *series;
        Cell* found = find(&probe, key, nullptr, false, true, false, false, nullptr, nullptr, false,
                           false, false, false);
        if (type_of(found) == TYPE_NONE) {
            cell::set(series, TYPE_NONE);
            return series;
        }
        series->data1 = found->data1;
        count++;
    }
    View v = view_of(series);
    if (v.head < 0 || v.head >= v.total) return series;
    int64_t head = v.head;
    bool notified = ownership::check(series, ownership::REMOVE, nullptr, int(head), int(count));
    cut_units(series, head, count);
    if (notified) ownership::check(series, ownership::REMOVED, nullptr, int(head), 0);
    return series;
}

// ---- Reordering ------------------------------------------------------------------------------

Cell* reverse(Cell* series, Cell* part, Cell* skip) {
    View v = view_of(series);
    if (v.head < 0 || v.head >= v.total) return series;
    int64_t head = v.head;
    int64_t count = part ? part_count(series, part) : v.total - head;
    if (count < 1) return series;
    int64_t size = 1;
    if (skip) {
        if (type_of(skip) != TYPE_INTEGER) bad_refinement("skip", skip);
        size = cell::get_int(skip);
        if (size == count) return series;
        if (size < 1) fire(ERR_script_out_of_range, skip);
        if (count < size || count % size != 0) bad_refinement("skip", skip);
    }
    bool notified = ownership::check(series, ownership::REVERSE, nullptr, int(head), int(count));
    v = view_of(series);
    int64_t end = std::min(v.total, head + count);
    Node table = hash_table_of(series);
    Scratch record(v.bytes(size));
    for (int64_t front = head, back = end - size; front < back; front += size, back -= size) {
        if (table) {
            delete_cells(table, series->data2, front, size);
            delete_cells(table, series->data2, back, size);
        }
        v = view_of(series);
        swap_units(v.at(front), v.at(back), v.bytes(size), record.get());
        memory::touch(v.s);
        if (table) {
            hash_put_cells(table, series->data2, front, size);
            hash_put_cells(table, series->data2, back, size);
        }
    }
    if (notified) ownership::check(series, ownership::REVERSED, nullptr, int(head), int(count));
    return series;
}

Cell* random_(Cell* series, bool seed, bool secure, bool only) {
    if (seed) {
        View v = view_of(series);
        int64_t head = clamped_head(v);
        random::seed(hash_table::murmur3_32(v.at(head), v.bytes(v.total - head)));
        cell::set(series, TYPE_UNSET);
        return series;
    }
    int64_t length = get_length(series, false);
    if (only) {
        if (length < 1) {
            cell::set(series, TYPE_NONE);
            return series;
        }
        int64_t i = random::int_(secure, int32_t(length)) - 1;
        element_value(series, view_of(series).head + i, series);
        return series;
    }
    int64_t head = view_of(series).head;
    bool notified = ownership::check(series, ownership::RANDOM, nullptr, int(head), int(length));
    View v = view_of(series);
    length = std::clamp<int64_t>(v.total - head, 0, length);
    // Every cell of a hash! may move: its entries go, and come back once
    // the cells are in their new places.
    Node table = hash_table_of(series);
    if (table) hash_table::delete_range(table, int32_t(head), int32_t(length));
    uint8_t unit[16];
    for (int64_t k = length, at = head; k >= 1; k--, at++) {
        int64_t j = random::int_(secure, int32_t(k));
        swap_units(v.at(at), v.at(at + j - 1), v.bytes(1), unit);
    }
    memory::touch(v.s);
    if (table) hash_put_cells(table, series->data2, head, length);
    if (notified) ownership::check(series, ownership::RANDOMIZED, nullptr, int(head), int(length));
    return series;
}

// ---- Moving ---------------------------------------------------------------------------------

namespace {

[[noreturn]] void move_bad(const Cell* origin, const Cell* target) {
    Cell from, to;
    cell::set(&from, TYPE_DATATYPE, uint32_t(type_of(origin)));
    cell::set(&to, TYPE_DATATYPE, uint32_t(type_of(target)));
    fire(ERR_script_move_bad, &from, &to);
}

// Moves count units from the origin's head to the target's head, both of
// the same unit, in different buffers.
void move_between(Cell* origin, Cell* target, int64_t count) {
    View t = view_of(target);
    int64_t at = clamped_head(t);
    int64_t bytes = t.bytes(count);
    if (int64_t(t.s->tail) + bytes > t.s->capacity)
        memory::expand_series(t.s, 2 * (int64_t(t.s->used()) + bytes));
    t = view_of(target);
    View o = view_of(origin);
    std::memmove(t.at(at + count), t.at(at), size_t(t.bytes(t.total - at)));
    std::memcpy(t.at(at), o.at(o.head), size_t(bytes));
    t.s->tail += uint32_t(bytes);
    memory::touch(t.s);
    cut_units(origin, o.head, count);
    if (Node table = hash_table_of(target)) {
        if (!hash_renumber(table, count, at, t.total - at, false)) hash_put_cells(table, target->data2, at, count);
    }
}

// Moves count units from `from` to `to` inside one series; answers where the
// run now starts. Moving forward, the run lands just after the unit that was
// at `to`, or at the end when `to` is the tail.
int64_t move_within(const Cell* series, Node table, int64_t from, int64_t to, int64_t count) {
    View v = view_of(series);
    Scratch run(v.bytes(count));
    std::memcpy(run.get(), v.at(from), size_t(v.bytes(count)));
    int64_t land;
    if (to > from) {
        land = to == v.total ? v.total - count : to + 1 - count;
        std::memmove(v.at(from), v.at(from + count), size_t(v.bytes(land - from)));
    } else {
        land = to;
        std::memmove(v.at(to + count), v.at(to), size_t(v.bytes(from - to)));
    }
    std::memcpy(v.at(land), run.get(), size_t(v.bytes(count)));
    memory::touch(v.s);
    if (table) hash_table::move(table, int32_t(land), int32_t(from), int32_t(count));
    return land;
}

}  // namespace

Cell* move(Cell* origin, Cell* target, Cell* part) {
    if (!series_type(type_of(target))) raise::expect_arg(target, 1);
    View o = view_of(origin);
    if (o.head < 0 || o.head >= o.total) return target;
    int64_t from = o.head;
    int64_t count = part ? part_count(origin, part) : 1;
    if (count < 1) return target;
    count = std::min(count, o.total - from);

    if (origin->data2 != target->data2) {
        int otype = type_of(origin), ttype = type_of(target);
        if (any_block(otype) != any_block(ttype)) move_bad(origin, target);
        int ounit = o.s->unit(), tunit = view_of(target).s->unit();
        bool bytes_only = otype == TYPE_BINARY || ttype == TYPE_BINARY || otype == TYPE_VECTOR ||
                          ttype == TYPE_VECTOR;
        if (ounit != tunit && bytes_only) move_bad(origin, target);
        // The origin loses what the target gains: both owners are told.
        bool notified = ownership::check(target, ownership::MOVE, origin, int(from), int(count));
        bool origin_notified = ownership::check(origin, ownership::MOVE, nullptr, int(from), int(count));
        // Their handlers may have shortened the origin or widened either text.
        o = view_of(origin);
        count = std::clamp<int64_t>(o.total - from, 0, count);
        if (o.s->unit() == view_of(target).s->unit()) move_between(origin, target, count);
        else string::move_chars(origin, target, o.bytes(count));
        if (notified) ownership::check(target, ownership::MOVED, nullptr, int32_t(target->data1), int(count));
        if (origin_notified) ownership::check(origin, ownership::MOVED, nullptr, int(from), int(count));
        return target;
    }

    int64_t to = std::clamp<int64_t>(int32_t(target->data1), 0, o.total);
    if (to == from) return target;
    // A target inside the run has no place to take it.
    if (to > from && to < from + count) return origin;
    bool notified = ownership::check(target, ownership::MOVE, origin, int(from), int(count));
    if (notified) {
        o = view_of(origin);
        if (from >= o.total) return target;
        count = std::min(count, o.total - from);
        to = std::min(to, o.total);
        if (to == from) return target;
        if (to > from && to < from + count) return origin;
    }
    Node table = hash_table_of(origin) ? hash_table_of(origin) : hash_table_of(target);
    int64_t land = move_within(origin, table, from, to, count);
    if (notified) ownership::check(target, ownership::MOVED, nullptr, int(land), int(count));
    return target;
}

// ---- Copying and taking -------------------------------------------------------------------

Cell* copy(Cell* series, Cell* result, Cell* part, bool, Cell*) {
    View v = view_of(series);
    int64_t head = std::max<int64_t>(v.head, 0);
    int64_t start = head, count = std::max<int64_t>(v.total - head, 0);
    if (part) {
        if (type_of(part) == TYPE_INTEGER) {
            count = cell::get_int(part);
        } else if (type_of(part) == TYPE_PAIR) {
            int64_t x = int32_t(part->data2), y = int32_t(part->data3);
            start = std::max<int64_t>(head + (x < 0 ? x : x - 1), 0);
            count = y >= x ? y - x : 0;
        } else {
            count = part_position(series, part) - head;
        }
    }
    if (count < 0) {
        start += count;
        count = -count;
        if (start < 0) {
            start = 0;
            count = head;
        }
    }
    start = std::min(start, v.total);
    count = std::min(count, v.total - start);
    Node node = memory::copy_series_part(series->data2, start, count);
    uint32_t extra = type_of(series) == TYPE_VECTOR ? series->data3 : 0;
    cell::set(result, type_of(series), 0, node, extra);
    result->header |= series->header & FLAG_NEW_LINE;
    return result;
}

namespace {

// The units a take removes: `count` from `start`; `empty` when nothing is
// taken.
struct TakeRange {
    int64_t start = 0;
    int64_t count = 0;
    int64_t n = 0;  // the count asked for, as the owner is told
    bool empty = false;
};

TakeRange take_range(const Cell* series, const View& v, const Cell* part, bool last) {
    TakeRange r;
    int64_t head = v.head, length = v.total - head;
    r.n = 1;
    if (part) {
        if (type_of(part) == TYPE_INTEGER) {
            r.n = cell::get_int(part);
        } else {
            int64_t position = std::min(part_position(series, part), v.total);
            r.n = position < head ? 0 : last ? v.total - position : position - head;
        }
    }
    if (r.n < 0) {
        // Units before the head.
        r.count = std::min(last ? int64_t(1) : -r.n, head);
        r.start = head - r.count;
        r.empty = last || r.count == 0;
    } else {
        r.count = std::min(r.n, length);
        r.start = last ? v.total - r.count : head;
        r.empty = r.count == 0;
    }
    if (r.empty) r.count = 0;
    return r;
}

}  // namespace

Cell* take(Cell* series, Cell* part, bool, bool last) {
    View v = view_of(series);
    if (v.head < 0 || v.head >= v.total) {
        cell::set(series, TYPE_NONE);
        return series;
    }
    TakeRange r = take_range(series, v, part, last);
    int type = type_of(series);
    int unit = v.s->unit();
    Cell* result = stack::push_new();
    cell::set(result, TYPE_NONE);
    if (r.empty) {
        Node node = memory::alloc_series(0, unit, 0);
        cell::set(result, type, 0, node, type == TYPE_VECTOR ? series->data3 : 0);
        if (type == TYPE_HASH) result->data3 = hash_table::init(0, result, hash_table::KIND_HASH, 1);
        return result;
    }
    bool notified = ownership::check(series, ownership::TAKE, nullptr, int(v.head), int(r.n));
    if (notified) {
        // The owner's handler may have changed the series: the units taken
        // are those the arguments name now (the last ones are the last).
        v = view_of(series);
        r = v.head < v.total ? take_range(series, v, part, last) : TakeRange{0, 0, 0, true};
    }
    // Whatever the owner's handler runs may take from another series: the
    // shared buffer serves only when no Zel code runs before the caller
    // copies the value out.
    Node node = part || notified ? memory::copy_series_part(series->data2, r.start, r.count)
                                 : take_buffer_for(unit);
    if (!part && !notified) {
        Series* out = memory::series_of(node);
        v = view_of(series);
        std::memcpy(out->head(), v.at(r.start), size_t(v.bytes(r.count)));
        out->tail = out->offset + uint32_t(v.bytes(r.count));
        memory::touch(out);
    }
    cell::set(result, type, 0, node, type == TYPE_VECTOR ? series->data3 : 0);
    cut_units(series, r.start, r.count);
    // One cell taken without /part leaves as a value of its own, not as a hash!.
    if (type == TYPE_HASH && (part || r.count != 1))
        result->data3 = hash_table::init(int32_t(r.count), result, hash_table::KIND_HASH, 1);
    if (notified) ownership::check(series, ownership::TAKEN, nullptr, int32_t(series->data1), 0);
    return result;
}

// ---- Ownership fields ------------------------------------------------------------------------

// The object that owns the series, or none.
Cell* reflect(Cell* series, int field) {
    uint32_t owned = symbol_named("owned");
    if (owned == 0 || uint32_t(field) != owned) fire(ERR_internal_not_done);
    const Cell* owner = ownership::find(series->data2);
    if (owner) *series = *owner;
    else cell::set(series, TYPE_NONE);
    return series;
}

// Only the field owned acts: none frees the series (and those inside it),
// a block [owner word] gives it to that object under that field word.
Cell* modify(Cell* series, Cell* field, Cell* value, bool) {
    uint32_t owned = symbol_named("owned");
    bool is_owned = owned != 0 && type_of(field) >= TYPE_WORD && type_of(field) <= TYPE_ISSUE &&
                    hash_table::symbol_canonical(field->data2) == hash_table::symbol_canonical(owned);
    if (!is_owned) return value;
    if (type_of(value) == TYPE_NONE) {
        ownership::unbind(series);
    } else if (type_of(value) == TYPE_BLOCK) {
        Cell owner, word;
        ownership::owner_of_spec(value, &owner, &word);
        ownership::set_owner(series, &owner, &word);
    }
    return value;
}

// ---- Registration -----------------------------------------------------------------------------

void init() {
    // Made again on first use: a run-time started again has new frames.
    g_take_buffer = 0;
    collector::add_mark_callback(mark_take_buffer, "take's buffer");
    // Every hash table is marked by its own module.
    collector::g_table_mark = hash_table::mark;
    datatype::TypeRecord r(TYPE_SERIES, 0, "series!");
    r.set<ACT_RANDOM>(random_).set<ACT_REFLECT>(reflect).set<ACT_AT>(at).set<ACT_BACK>(back);
    r.set<ACT_CLEAR>(clear).set<ACT_COPY>(copy).set<ACT_HEAD>(head).set<ACT_HEAD_Q>(head_q);
    r.set<ACT_INDEX_Q>(index_q).set<ACT_LENGTH_Q>(length_q).set<ACT_MOVE>(move).set<ACT_NEXT>(next);
    r.set<ACT_PICK>(pick).set<ACT_POKE>(poke).set<ACT_REMOVE>(remove).set<ACT_REVERSE>(reverse);
    r.set<ACT_SKIP>(skip).set<ACT_TAIL>(tail).set<ACT_TAIL_Q>(tail_q).set<ACT_TAKE>(take);
    r.set<ACT_MODIFY>(modify);
    datatype::register_type(r);
}

}  // namespace zel::series
