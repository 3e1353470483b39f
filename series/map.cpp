// map!: construction, key normalisation, lookups and stores, the walks over
// live pairs, and the handlers: make, to, reflect, form, mold, eval-path,
// compare, clear, copy, find, length?, put, remove and select, then the
// registration.
//
// Cell: {header type 40, head index, node of the key/value block, node of
// the kind-1 table}. A value cell with header 0 marks a removed pair.
//
// Cells of the block are addressed by index and taken again after anything
// that may allocate or run Zel code.
#include "series/map.h"

#include <algorithm>

#include "foundation/collector.h"
#include "foundation/compare.h"
#include "foundation/datatype.h"
#include "foundation/memory.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "scalars/simple_types.h"
#include "series/any_value.h"
#include "series/block.h"
#include "series/cell_text.h"
#include "series/hash_table.h"
#include "series/series.h"
#include "series/string.h"
#include "words/symbol.h"
#include "words/words.h"

namespace zel::map {

namespace {

constexpr int VALID_KEYS[] = {
    TYPE_STRING, TYPE_FILE,    TYPE_URL,   TYPE_CHAR,    TYPE_INTEGER,   TYPE_FLOAT,
    TYPE_WORD,   TYPE_SET_WORD, TYPE_LIT_WORD, TYPE_GET_WORD, TYPE_REFINEMENT, TYPE_ISSUE,
    TYPE_PAIR,   TYPE_PERCENT, TYPE_TUPLE, TYPE_BINARY,  TYPE_TIME,      TYPE_TAG,
    TYPE_EMAIL,  TYPE_DATE,    TYPE_MONEY, TYPE_REF,     TYPE_POINT2D,   TYPE_POINT3D,
};

// ---- The pairs ---------------------------------------------------------------------------------

Node table_of(const Cell* map) { return map->data3; }
Cell* cells_of(const Cell* map) { return memory::series_of(map->data2)->cells(); }
int32_t cell_count(const Cell* map) { return int32_t(memory::series_of(map->data2)->used() / sizeof(Cell)); }
int32_t head_of(const Cell* map) { return std::max(int32_t(map->data1), 0); }

// A removed pair's value cell has no type.
bool removed_q(const Cell* value_cell) { return value_cell->header == 0; }

// The block of the pairs, as the block module addresses it.
Cell pairs_block(const Cell* map) {
    Cell block;
    cell::set(&block, TYPE_BLOCK, 0, map->data2);
    return block;
}

// A key as words, find and reflect give it: a set-word! (every stored word
// key) as word!.
Cell key_value(const Cell* key) {
    Cell k = *key;
    cell::clear_new_line(&k);
    if (type_of(&k) == TYPE_SET_WORD) cell::set_type(&k, TYPE_WORD);
    return k;
}

// Where the next live pair at or after index p starts, or -1.
int32_t next_live(const Cell* map, int32_t p) {
    Cell* cells = cells_of(map);
    for (int32_t tail = cell_count(map); p + 1 < tail; p += 2)
        if (!removed_q(cells + p + 1)) return p;
    return -1;
}

int lookup_code(bool case_, bool same) {
    return same ? compare::COMP_SAME : case_ ? compare::COMP_STRICT_EQUAL : compare::COMP_EQUAL;
}

// The index of the first stored key matching under the code whose pair is
// live; else, unless `live_only`, of the first removed one; else -1. Several
// keys match when the lookup folds case: a removed "a" must not hide a live
// "A".
int32_t find_key(const Cell* map, const Cell* key, int code, bool live_only) {
    hash_table::Walk walk;
    int32_t first = -1;
    while (Cell* found = hash_table::find_next(table_of(map), key, code, walk)) {
        int32_t at = int32_t(found - cells_of(map));
        if (!removed_q(found + 1)) return at;
        if (first < 0) first = at;
    }
    return live_only ? -1 : first;
}

int32_t find_live(const Cell* map, const Cell* key, int code) { return find_key(map, key, code, true); }

bool text_key(int type) { return series::any_string(type) || type == TYPE_BINARY; }

[[noreturn]] void bad_key(const Cell* about, const Cell* key) {
    Cell type = raise::datatype_arg(type_of(key));
    fire(ERR_script_invalid_path, about, &type);
}

// The key as a map stores it: its own copy of a text or binary, a set-word
// for any word; a type that cannot be a key raises invalid-path about
// `about`.
Cell normalised(const Cell* key, const Cell* about) {
    int type = type_of(key);
    if (!valid_key_q(type)) bad_key(about, key);
    Cell k = *key;
    if (text_key(type)) {
        Cell copied;
        series::copy(&k, &copied, nullptr, false, nullptr);
        k = copied;
    } else if (type == TYPE_WORD || type == TYPE_LIT_WORD || type == TYPE_GET_WORD) {
        cell::set_type(&k, TYPE_SET_WORD);
    }
    cell::clear_new_line(&k);
    return k;
}

// Sets the key's value: a present key takes it (a removed one comes back
// when no live key matches), an absent one is normalised and appended with
// it.
void store(Cell* map, const Cell* key, const Cell* value, int code, const Cell* about) {
    Cell v = *value;
    cell::clear_new_line(&v);
    int32_t at = find_key(map, key, code, false);
    if (at >= 0) {
        Cell* pair = cells_of(map) + at;
        if (removed_q(pair + 1)) hash_table::record(table_of(map))->live++;
        pair[1] = v;
        return;
    }
    Cell k = normalised(key, about);
    gc::root keep_key(&k), keep_value(&v);  // the key may be a new copy; appending may collect
    Cell block = pairs_block(map);
    int32_t index = cell_count(map);
    block::append_cell(&block, &k);
    block::append_cell(&block, &v);
    hash_table::put(table_of(map), cells_of(map) + index);
}

// Room for `cells` more cells in the map's block.
void reserve(const Cell* map, int64_t cells) {
    Series* s = memory::series_of(map->data2);
    int64_t needed = int64_t(s->used()) + cells * int64_t(sizeof(Cell));
    if (int64_t(s->tail) + cells * int64_t(sizeof(Cell)) > s->capacity) memory::expand_series(s, needed);
}

// ---- Making ------------------------------------------------------------------------------------

// The pairs of a block-like spec: an even count of cells whose keys may be
// keys; a map over a copy of them with the keys normalised.
Cell* from_block(Cell* proto, const Cell* spec) {
    int32_t head = std::max(int32_t(spec->data1), 0);
    int32_t count = std::max(block::length_q(spec), 0);
    if (count % 2 != 0) fire(ERR_script_invalid_arg, spec);
    for (int32_t i = 0; i < count; i += 2) {
        const Cell* key = block::abs_at(spec, head + i);
        if (!valid_key_q(type_of(key))) bad_key(spec, key);
    }
    Cell* pairs = stack::push_new();
    cell::set(pairs, TYPE_BLOCK, 0, memory::copy_series_part(spec->data2, head, count));
    for (int32_t i = 0; i < count; i++) {
        Cell item = *block::abs_at(pairs, i);
        Cell fixed = i % 2 == 0 ? normalised(&item, spec) : item;
        cell::clear_new_line(&fixed);
        *block::abs_at(pairs, i) = fixed;
    }
    make_at(proto, pairs, 0);
    stack::pop(1);
    return proto;
}

Cell* with_room(Cell* proto, const Cell* spec) {
    int32_t n = cell::number_to_int(spec);
    if (n < 0) fire(ERR_script_out_of_range, spec);
    int64_t cells = n == 0 ? 2 : 2 * int64_t(n);
    if (cells > INT32_MAX) fire(ERR_internal_no_memory);
    return make_at(proto, nullptr, int(cells));
}

Cell* made(Cell* proto, Cell* spec, bool numbers) {
    switch (type_of(spec)) {
        case TYPE_BLOCK: case TYPE_PAREN: case TYPE_HASH: return from_block(proto, spec);
        case TYPE_MAP: return copy(spec, proto, nullptr, false, nullptr);
        case TYPE_INTEGER: case TYPE_FLOAT:
            if (numbers) return with_room(proto, spec);
            break;
        default: break;
    }
    raise::bad_to_arg(TYPE_MAP, spec);
}

// ---- Text --------------------------------------------------------------------------------------

int append_text(Cell* buffer, const char* text, int part) {
    string::append_c_string(buffer, text);
    return part - int(std::strlen(text));
}

// Molds the pair at p: key, a space, value.
int mold_pair(const Cell* map, int32_t p, Cell* buffer, bool all, bool flat, int part, int level) {
    Cell key = cells_of(map)[p];
    part = any_value::mold(&key, buffer, false, all, flat, part, level);
    part = append_text(buffer, " ", part);
    Cell value = cells_of(map)[p + 1];
    return any_value::mold(&value, buffer, false, all, flat, part, level);
}

// ---- Comparing ---------------------------------------------------------------------------------

bool values_equal(Cell a, Cell b, int code) { return compare::compare_value(&a, &b, code) == 0; }

// Under strict equality each live pair must have its key, compared
// strictly, and an equal value in the other map; otherwise its value must
// equal the value of one of the keys equal to it.
bool pair_matched(const Cell* other, Cell key, Cell value, int op) {
    if (op == compare::COMP_STRICT_EQUAL) {
        int32_t at = find_live(other, &key, op);
        return at >= 0 && values_equal(value, cells_of(other)[at + 1], op);
    }
    hash_table::Walk walk;
    while (Cell* found = hash_table::find_next(table_of(other), &key, compare::COMP_EQUAL, walk)) {
        if (!removed_q(found + 1) && values_equal(value, found[1], compare::COMP_EQUAL)) return true;
    }
    return false;
}

int compare_content(const Cell* a, const Cell* b, int op) {
    if (a->data2 == b->data2 && a->data1 == b->data1) return 0;
    if (op == compare::COMP_SAME) return -1;
    if (cell::cycle_find(a->data2)) return cell::cycle_find(b->data2) ? 0 : -1;
    if (entry_count(a) != entry_count(b)) return 1;
    cell::CycleScope scope;
    cell::cycle_push(a->data2);
    cell::cycle_push(b->data2);
    for (int32_t p = next_live(a, 0); p >= 0; p = next_live(a, p + 2)) {
        Cell key = cells_of(a)[p], value = cells_of(a)[p + 1];
        if (!pair_matched(b, key, value, op)) return 1;
    }
    return 0;
}

// ---- Copying -----------------------------------------------------------------------------------

bool copied_deep(int type) { return series::series_type(type) || type == TYPE_MAP; }

// Cell i of the copy's block replaced by its deep copy, keeping the header's flags.
void copy_in_place(Node block, int32_t i) {
    Cell element = memory::series_of(block)->cells()[i];
    Cell* result = stack::push(&unset::g_unset);
    any_value::handler<ACT_COPY>(&element)(&element, result, nullptr, true, nullptr);
    Cell copied = *result;
    stack::pop(1);
    copied.header = (copied.header & HEADER_TYPE_MASK) | (element.header & ~HEADER_TYPE_MASK);
    memory::series_of(block)->cells()[i] = copied;
}

}  // namespace

// ---- Construction ----------------------------------------------------------------------------

Cell* make_at(Cell* cell, const Cell* block, int capacity) {
    Cell keys{};
    gc::root keep(&keys);  // a new block is held by nothing else while the table is made
    if (block) {
        keys = *block;
    } else {
        cell::set(&keys, TYPE_BLOCK, 0, memory::alloc_cells(capacity > 0 ? capacity : 1));
    }
    int32_t pairs = int32_t(memory::series_of(keys.data2)->used() / sizeof(Cell)) / 2;
    Node table = hash_table::init(pairs > capacity / 2 ? pairs : capacity / 2, &keys,
                                  hash_table::KIND_MAP, 0);
    uint32_t flags = cell->header & ~HEADER_TYPE_MASK;
    cell::set(cell, TYPE_MAP, keys.data1, keys.data2, table);
    cell->header |= flags;
    return cell;
}

bool valid_key_q(int type) {
    for (int t : VALID_KEYS)
        if (t == type) return true;
    return false;
}

int entry_count(const Cell* map) { return hash_table::record(table_of(map))->live; }

Cell live_cell(const Cell* map, int i) {
    for (int32_t p = next_live(map, head_of(map)); p >= 0; p = next_live(map, p + 2)) {
        if (i < 2) return i == 0 ? key_value(cells_of(map) + p) : cells_of(map)[p + 1];
        i -= 2;
    }
    return none::g_none;
}

bool seek_live(Cell* map) {
    int32_t p = next_live(map, head_of(map));
    if (p < 0) {
        map->data1 = uint32_t(std::max(cell_count(map), head_of(map)));
        return false;
    }
    map->data1 = uint32_t(p);
    return true;
}

Cell* extend(Cell* map, const Cell* spec, bool case_) {
    int code = lookup_code(case_, false);
    Cell source = *spec;
    if (type_of(&source) == TYPE_MAP) {
        for (int32_t p = next_live(&source, 0); p >= 0; p = next_live(&source, p + 2)) {
            Cell key = cells_of(&source)[p], value = cells_of(&source)[p + 1];
            store(map, &key, &value, code, map);
        }
        return map;
    }
    int32_t head = std::max(int32_t(source.data1), 0);
    int32_t count = std::max(block::length_q(&source), 0);
    if (count % 2 != 0) fire(ERR_script_invalid_arg, spec);
    reserve(map, count);
    for (int32_t i = 0; i < count; i += 2) {
        Cell key = *block::abs_at(&source, head + i), value = *block::abs_at(&source, head + i + 1);
        store(map, &key, &value, code, map);
    }
    return map;
}

// ---- Handlers ----------------------------------------------------------------------------------

Cell* make(Cell* proto, Cell* spec, int) { return made(proto, spec, true); }

Cell* to(Cell* proto, Cell* spec, int) { return made(proto, spec, false); }

Cell* reflect(Cell* value, int field) {
    Cell map = *value;
    gc::root keep(&map);  // the result replaces the value
    uint32_t name = symbol::resolve(uint32_t(field));
    bool words = name == symbol::resolve(words::symbol(words::Sym::words));
    bool values = name == symbol::resolve(words::symbol(words::Sym::values));
    bool body = name == symbol::resolve(words::symbol(words::Sym::body));
    if (!words && !values && !body) fire(ERR_internal_not_done);
    int live = entry_count(&map);
    block::make_at(value, std::max(body ? 2 * live : live, 1));
    for (int32_t p = next_live(&map, 0); p >= 0; p = next_live(&map, p + 2)) {
        Cell key = cells_of(&map)[p], item = cells_of(&map)[p + 1];
        if (body) {
            key.header |= FLAG_NEW_LINE;
            block::append_cell(value, &key);
            block::append_cell(value, &item);
        } else {
            Cell shown = words ? key_value(&key) : item;
            block::append_cell(value, &shown);
        }
    }
    return value;
}

int form(Cell* value, Cell* buffer, int part) {
    if (cell_text::cycle_detect_q(value, buffer, part, false)) return part;
    cell::CycleScope scope;
    cell::cycle_push(value->data2);
    bool first = true;
    for (int32_t p = next_live(value, 0); p >= 0 && part >= 1; p = next_live(value, p + 2)) {
        if (!first) part = append_text(buffer, "\n", part);
        first = false;
        part = mold_pair(value, p, buffer, false, false, part, 0);
    }
    return part;
}

int mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, int part, int indent) {
    if (cell_text::cycle_detect_q(value, buffer, part, true)) return part;
    cell::CycleScope scope;
    cell::cycle_push(value->data2);
    if (!only) part = append_text(buffer, "#[", part);
    bool lines = !flat && !only;
    int level = indent + 1;
    bool wrote = false;
    for (int32_t p = next_live(value, 0); p >= 0; p = next_live(value, p + 2)) {
        if (part < 1) return part;
        if (lines) {
            if (!wrote) part = append_text(buffer, "\n", part);
            part = cell_text::mold_indent(buffer, level, part);
        } else if (wrote) {
            part = append_text(buffer, flat ? " " : "\n", part);
        }
        part = mold_pair(value, p, buffer, all, flat, part, level);
        if (lines) part = append_text(buffer, "\n", part);
        wrote = true;
    }
    if (only) return part;
    // The closing bracket of a nested map's lines stands at its own level.
    if (wrote && lines && indent >= 1) part = cell_text::mold_indent(buffer, indent, part);
    return append_text(buffer, "]", part);
}

namespace {
// Path reads answer a cell the caller copies at once.
Cell g_path_result;
}  // namespace

Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell*, Cell*, Cell*, int, bool case_, bool, bool) {
    int code = lookup_code(case_, false);
    if (value) {
        store(parent, element, value, code, parent);
        return value;
    }
    int32_t at = find_live(parent, element, code);
    g_path_result = at < 0 ? none::g_none : cells_of(parent)[at + 1];
    return &g_path_result;
}

int compare(Cell* value1, Cell* value2, int op) {
    if (type_of(value2) != TYPE_MAP) return -2;
    switch (op) {
        case compare::COMP_EQUAL: case compare::COMP_NOT_EQUAL: case compare::COMP_STRICT_EQUAL:
        case compare::COMP_SAME: case compare::COMP_FIND:
            return compare_content(value1, value2, op);
        case compare::COMP_SORT: case compare::COMP_CASE_SORT:
            return value1->data2 == value2->data2 ? 0 : value1->data2 < value2->data2 ? -1 : 1;
        default:
            return -2;
    }
}

Cell* clear(Cell* map) {
    hash_table::clear(table_of(map));
    return map;
}

Cell* copy(Cell* value, Cell* result, Cell*, bool deep, Cell* types) {
    Cell source = *value;
    Node block = memory::copy_series_part(source.data2, 0, cell_count(&source));
    cell::set(result, TYPE_MAP, 0, block, 0);
    result->data3 = hash_table::copy(source.data3, block);
    if (!deep && !types) return result;
    cell::CycleScope scope;
    if (deep) {
        if (cell::cycle_find(source.data2)) {
            cell::cycle_reset();
            fire(ERR_internal_no_cycle);
        }
        cell::cycle_push(source.data2);
    }
    int32_t count = cell_count(result);
    if (types) {
        block::copy_types(block, 1, count, 2, true, types);
        return result;
    }
    for (int32_t i = 0; i < count; i++)
        if (copied_deep(type_of(memory::series_of(block)->cells() + i))) copy_in_place(block, i);
    return result;
}

Cell* find(Cell* series, Cell* value, Cell*, bool, bool case_, bool same, bool, Cell*, Cell*, bool, bool, bool,
           bool) {
    int32_t at = find_live(series, value, lookup_code(case_, same));
    *series = at < 0 ? none::g_none : key_value(cells_of(series) + at);
    return series;
}

int length_q(Cell* map) { return entry_count(map); }

Cell* put(Cell* series, Cell* key, Cell* value, bool case_) {
    store(series, key, value, lookup_code(case_, false), series);
    return value;
}

Cell* remove(Cell* series, Cell*, Cell* key) {
    if (!key) fire(ERR_script_missing_arg);
    int32_t at = find_live(series, key, compare::COMP_STRICT_EQUAL);
    if (at >= 0) hash_table::delete_(table_of(series), cells_of(series) + at);
    return series;
}

Cell* select(Cell* series, Cell* value, Cell*, bool, bool case_, bool same, bool, Cell*, Cell*, bool, bool) {
    int32_t at = find_live(series, value, lookup_code(case_, same));
    *series = at < 0 ? none::g_none : cells_of(series)[at + 1];
    return series;
}

// ---- Registration ------------------------------------------------------------------------------

void init() {
    datatype::TypeRecord r(TYPE_MAP, 0, "map!");
    r.set<ACT_MAKE>(make).set<ACT_REFLECT>(reflect).set<ACT_TO>(to).set<ACT_FORM>(form);
    r.set<ACT_MOLD>(mold).set<ACT_EVAL_PATH>(eval_path).set<ACT_COMPARE>(compare);
    r.set<ACT_CLEAR>(clear).set<ACT_COPY>(copy).set<ACT_FIND>(find).set<ACT_LENGTH_Q>(length_q);
    r.set<ACT_PUT>(put).set<ACT_REMOVE>(remove).set<ACT_SELECT>(select);
    datatype::register_type(r);
}

}  // namespace zel::map
