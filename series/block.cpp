// block! and paren!: cell access and construction, the mold walker,
// element-wise comparison, the handlers make, to, form, mold, eval-path,
// compare and copy, and the registration of both types.
//
// Cell: {header, head index in cells, node of a unit-16 buffer, 0 or a
// hash!'s table node}.
#include "series/block.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "foundation/collector.h"
#include "foundation/compare.h"
#include "foundation/datatype.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "foundation/stamp.h"
#include "scalars/simple_types.h"
#include "scalars/typeset.h"
#include "series/any_value.h"
#include "series/block_cells.h"
#include "series/cell_text.h"
#include "series/hash_table.h"
#include "series/map.h"
#include "series/series.h"
#include "series/services.h"
#include "series/string.h"
#include "series/vector.h"
#include "words/words.h"

namespace zel::block {

namespace {

// The cell answered when a lookup finds nothing. Callers copy what they are
// answered, so it is set again before each use.
Cell g_none_result;
Cell* none_result() {
    cell::set(&g_none_result, TYPE_NONE);
    return &g_none_result;
}

// Where make_fixed_in and make_in put a block that has no parent.
Cell g_spare;

bool path_type(int type) { return type >= TYPE_PATH && type <= TYPE_GET_PATH; }
bool word_type(int type) { return type >= TYPE_WORD && type <= TYPE_ISSUE; }
bool number_type(int type) { return type == TYPE_INTEGER || type == TYPE_FLOAT || type == TYPE_PERCENT; }

// A deep copy may not enter a block it is already copying.
void push_for_copy(Node node) {
    if (cell::cycle_find(node)) {
        cell::cycle_reset();
        fire(ERR_internal_no_cycle);
    }
    cell::cycle_push(node);
}

// ---- Elements through their types' handlers --------------------------------------------------

// Pushes the value's copy (by its type's copy handler); the caller pops it.
Cell* push_copy(const Cell* value, bool deep, Cell* types) {
    Cell source = *value;
    Cell* result = stack::push_new();
    cell::set(result, TYPE_UNSET);
    return any_value::handler<ACT_COPY>(&source)(&source, result, nullptr, deep, types);
}

// Replaces cell i of the block by a copy, keeping the cell's new-line marker.
void replace_by_copy(Node block, int64_t i, bool deep, Cell* types) {
    Cell element = memory::series_of(block)->cells()[i];
    Cell copied = *push_copy(&element, deep, types);
    stack::pop(1);
    copied.header = (copied.header & ~FLAG_NEW_LINE) | (element.header & FLAG_NEW_LINE);
    memory::series_of(block)->cells()[i] = copied;
    memory::touch(block);
}

// ---- Text ---------------------------------------------------------------------------------

int append_text(Cell* buffer, const char* text, int part) {
    string::append_c_string(buffer, text);
    return part - int(std::strlen(text));
}

int append_line_feed(Cell* buffer, int part) {
    string::append_char(string::buffer_of(buffer), '\n');
    return part - 1;
}

// Forming writes no space after a tab, line feed or carriage return.
bool ends_with_break(const Cell* buffer) {
    Series* s = string::buffer_of(buffer);
    if (s->used() == 0) return false;
    int unit = s->unit();
    uint32_t last = string::get_char(s->tail_ptr() - unit, unit);
    return last == '\t' || last == '\n' || last == '\r';
}

}  // namespace

// ---- Cell access ----------------------------------------------------------------------------

int length_q(const Cell* block) { return int(total_of(block) - int32_t(block->data1)); }

bool advance(Cell* block) {
    int64_t total = total_of(block);
    if (int32_t(block->data1) < total) block->data1++;
    return int32_t(block->data1) >= total;
}

Cell* head(Cell* block) {
    int64_t total = total_of(block);
    if (int32_t(block->data1) > total) block->data1 = uint32_t(total);
    return first_cell(block) + int32_t(block->data1);
}

Cell* tail(const Cell* block) { return buffer_of(block)->cell_tail(); }

bool tail_q(const Cell* block) { return int32_t(block->data1) >= total_of(block); }

Cell* abs_at(const Cell* block, int i) { return first_cell(block) + i; }

void cut_at(Cell* block, int i) {
    Series* s = buffer_of(block);
    int64_t keep = std::clamp<int64_t>(i, 0, total_of(block));
    s->tail = s->offset + uint32_t(keep * sizeof(Cell));
    memory::touch(s);
}

void cut_at_head(Cell* block) { cut_at(block, int32_t(block->data1)); }

// ---- Adding and removing cells ----------------------------------------------------------------

Cell* append_cell(Cell* block, const Cell* value) {
    Cell copy = *value;  // the value may lie in this very block, which may move
    Cell* slot = cell::alloc_tail(block);
    *slot = copy;  // alloc_tail gave the block its new stamp
    if (Node table = series::hash_table_of(block)) {
        int64_t index = total_of(block) - 1;
        hash_table::put(table, first_cell(block) + index);
        slot = first_cell(block) + index;
    }
    return slot;
}

void remove_last(Cell* block) {
    int64_t total = total_of(block);
    if (total < 1) return;
    if (Node table = series::hash_table_of(block)) hash_table::delete_(table, first_cell(block) + total - 1);
    buffer_of(block)->tail -= sizeof(Cell);
    memory::touch(block);
    if (int32_t(block->data1) > total - 1) block->data1 = uint32_t(total - 1);
}

Cell* append_block(Cell* target, const Cell* source) {
    Cell from = *source;
    int64_t first = head_index(&from), count = total_of(&from) - first;
    for (int64_t i = 0; i < count; i++) {
        Cell item = first_cell(&from)[first + i];
        append_cell(target, &item);
    }
    return target;
}

Cell* insert_value(Cell* block, const Cell* value, bool advance, bool at_start) {
    Cell copy = *value;
    Series* s = buffer_of(block);
    if (int64_t(s->tail) + int64_t(sizeof(Cell)) > s->capacity)
        s = memory::expand_series(s, 2 * (int64_t(s->used()) + int64_t(sizeof(Cell))));
    int64_t total = total_of(block);
    int64_t point = at_start ? 0 : head_index(block);
    Cell* at = s->cells() + point;
    std::memmove(at + 1, at, size_t(total - point) * sizeof(Cell));
    s->tail += sizeof(Cell);
    *at = copy;
    memory::touch(s);
    if (Node table = series::hash_table_of(block)) {
        if (!series::hash_renumber(table, 1, point, total - point, false))
            hash_table::put(table, first_cell(block) + point);
    }
    if (advance) block->data1 = uint32_t(int32_t(block->data1) + 1);
    return block;
}

Cell* insert_block(Cell* target, const Cell* source) {
    // Read out first: the source may be the target's own buffer.
    int64_t first = head_index(source);
    const Cell* from = first_cell(source) + first;
    std::vector<Cell> items(from, from + (total_of(source) - first));
    for (const Cell& item : items) insert_value(target, &item, true, false);
    return target;
}

Cell* insert_arg() {
    Cell* value = stack::arguments();
    insert_value(value - 1, value, true, false);
    return value - 1;
}

Cell* append_to_previous() {
    Cell* value = stack::arguments();
    append_cell(value - 1, value);
    return value - 1;
}

Cell* append_arg() {
    Cell* block = stack::arguments();
    append_cell(block, block + 1);
    return block;
}

namespace {

// Index of the first cell from `from` that the value's compare handler finds
// equal (find equality), or -1.
int64_t find_equal(Cell* block, Cell* value, int64_t from) {
    Cell key = *value;
    for (int64_t i = from; i < total_of(block); i++) {
        Cell item = first_cell(block)[i];
        if (compare::compare_value(&key, &item, compare::COMP_FIND) == 0) return i;
    }
    return -1;
}

Cell* cell_after(Cell* block, int64_t i) {
    return i >= 0 && i + 1 < total_of(block) ? first_cell(block) + i + 1 : none_result();
}

}  // namespace

Cell* select_value(Cell* block, Cell* value) { return cell_after(block, find_equal(block, value, head_index(block))); }

int remove_value(Cell* value, Cell* block, bool from_start) {
    int64_t i = find_equal(block, value, from_start ? 0 : head_index(block));
    if (i < 0) return -1;
    Series* s = buffer_of(block);
    int64_t after = total_of(block) - i - 1;
    std::memmove(s->cells() + i, s->cells() + i + 1, size_t(after) * sizeof(Cell));
    s->tail -= sizeof(Cell);
    memory::touch(s);
    series::hash_renumber(series::hash_table_of(block), -1, i + 1, after, true);
    return int(i);
}

Cell* select_word(Cell* block, const Cell* word, bool strict) {
    uint32_t symbol = word->data2;
    uint32_t canonical = hash_table::symbol_canonical(symbol);
    for (int64_t i = head_index(block); i < total_of(block); i++) {
        const Cell* c = first_cell(block) + i;
        int type = type_of(c);
        if (type < TYPE_WORD || type > TYPE_GET_WORD) continue;
        bool same = strict ? c->data2 == symbol : hash_table::symbol_canonical(c->data2) == canonical;
        if (same) return cell_after(block, i);
    }
    return none_result();
}

// ---- Making blocks ---------------------------------------------------------------------------

Cell* make_at(Cell* cell, int capacity) {
    Node node = memory::alloc_cells(capacity < 0 ? 1 : capacity);
    cell::set(cell, TYPE_BLOCK, 0, node, 0);
    return cell;
}

Cell* make_preset_at(Cell* cell, int capacity, bool fixed) {
    Node node = fixed ? memory::alloc_fixed_series(capacity, sizeof(Cell), 0) : memory::alloc_unset_cells(capacity);
    cell::set(cell, TYPE_BLOCK, 0, node, 0);
    return cell;
}

namespace {

// A new cell at the parent's tail, or the spare cell; its index is kept so
// that the cell can be found again after the buffer is made.
template <class MakeBuffer>
Cell* make_block_in(Cell* parent, MakeBuffer make_buffer) {
    if (!parent) {
        cell::set(&g_spare, TYPE_BLOCK, 0, make_buffer(), 0);
        return &g_spare;
    }
    int64_t index = total_of(parent);
    cell::alloc_tail(parent);
    Node node = make_buffer();
    Cell* slot = first_cell(parent) + index;
    cell::set(slot, TYPE_BLOCK, 0, node, 0);
    return slot;
}

}  // namespace

Cell* make_fixed_in(Cell* parent, int capacity) {
    return make_block_in(parent, [=] { return memory::alloc_fixed_series(capacity, sizeof(Cell), 0); });
}

Cell* make_in(Cell* parent, int capacity) {
    return make_block_in(parent, [=] { return memory::alloc_cells(capacity < 0 ? 1 : capacity); });
}

Cell* push(const Cell* value) { return stack::push(value); }

Cell* push_only(int capacity) {
    Cell* c = stack::push_new();
    cell::set(c, TYPE_NONE);
    return make_at(c, capacity == 0 ? 1 : capacity);
}

Cell* clone(const Cell* block, bool deep, bool paths_too) {
    Cell source = *block;
    int64_t first = head_index(&source), count = total_of(&source) - first;
    Cell* result = stack::push_new();
    cell::set(result, TYPE_NONE);
    Node node = memory::alloc_cells(count > 0 ? count : 1);
    Series* s = memory::series_of(node);
    std::memcpy(s->cells(), first_cell(&source) + first, size_t(count) * sizeof(Cell));
    s->tail = s->offset + uint32_t(count * sizeof(Cell));
    cell::set(result, type_of(&source), 0, node, 0);
    if (!deep) return result;

    cell::CycleScope scope;
    push_for_copy(source.data2);
    for (int64_t i = 0; i < count; i++) {
        int type = type_of(memory::series_of(node)->cells() + i);
        if (type != TYPE_BLOCK && !(paths_too && (type == TYPE_PAREN || path_type(type)))) continue;
        Cell element = memory::series_of(node)->cells()[i];
        Cell inner = *clone(&element, true, paths_too);
        stack::pop(1);
        inner.header = element.header;
        memory::series_of(node)->cells()[i] = inner;
        memory::touch(node);
    }
    return result;
}

namespace {

// What copy/types copies: values with a buffer of their own.
bool copied_by_types(int type) {
    return series::series_type(type) || type == TYPE_BITSET || type == TYPE_OBJECT ||
           type == TYPE_ERROR || type == TYPE_MAP;
}

// A typeset holds one bit per type id in the 12 bytes after its header,
// the highest bit of each byte first.
bool kind_has(const Cell* kind, int type) {
    if (type_of(kind) == TYPE_DATATYPE) return int(kind->data1) == type;
    const uint8_t* bits = reinterpret_cast<const uint8_t*>(kind) + 4;
    return (bits[type >> 3] & (0x80 >> (type & 7))) != 0;
}

}  // namespace

void copy_types(Node block, int from, int end, int step, bool deep, const Cell* kind) {
    Cell types = *kind;
    for (int64_t i = from; i < end; i += std::max(step, 1)) {
        int type = type_of(memory::series_of(block)->cells() + i);
        if (copied_by_types(type) && kind_has(&types, type)) replace_by_copy(block, i, deep, &types);
    }
}

// ---- Molding -----------------------------------------------------------------------------------

int mold_each(Cell* value, Cell* buffer, bool only, bool all, bool flat, int part, int indent) {
    cell::CycleScope scope;
    cell::cycle_push(value->data2);
    int64_t first = head_index(value);
    int level = indent;
    bool closing_break = false;
    for (int64_t i = first; i < total_of(value); i++) {
        if (part < 1) return part;
        Cell item = first_cell(value)[i];
        bool leading = i == first;
        if (!flat && cell::new_line(&item)) {
            if (!only && leading) {
                level++;
                closing_break = true;
            }
            if (!only || !leading) part = append_line_feed(buffer, part);
            part = cell_text::mold_indent(buffer, level, part);
        } else if (!leading) {
            part = append_text(buffer, " ", part);
        }
        part = any_value::mold(&item, buffer, false, all, flat, part, level);
    }
    if (closing_break) {
        level--;
        part = cell_text::mold_indent(buffer, level, append_line_feed(buffer, part));
    }
    return part;
}

namespace {

int mold_between(Cell* value, Cell* buffer, const char* open, const char* close, bool only, bool all,
                 bool flat, int part, int indent) {
    if (cell_text::cycle_detect_q(value, buffer, part, true)) return part;
    if (!only) part = append_text(buffer, open, part);
    part = mold_each(value, buffer, only, all, flat, part, indent);
    if (!only) part = append_text(buffer, close, part);
    return part;
}

}  // namespace

int mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, int part, int indent) {
    return mold_between(value, buffer, "[", "]", only, all, flat, part, indent);
}

int form(Cell* value, Cell* buffer, int part) {
    if (cell_text::cycle_detect_q(value, buffer, part, false)) return part;
    cell::CycleScope scope;
    cell::cycle_push(value->data2);
    for (int64_t i = head_index(value); i < total_of(value); i++) {
        if (part < 1) break;
        Cell item = first_cell(value)[i];
        part = any_value::form(&item, buffer, part);
        if (i + 1 < total_of(value) && !ends_with_break(buffer)) part = append_text(buffer, " ", part);
    }
    return part;
}

// ---- Comparing ---------------------------------------------------------------------------------

namespace {

bool equality_op(int op) {
    switch (op) {
        case compare::COMP_EQUAL: case compare::COMP_NOT_EQUAL: case compare::COMP_STRICT_EQUAL:
        case compare::COMP_EQUAL_WORD: case compare::COMP_EQUAL_WORD_CI: case compare::COMP_FIND:
            return true;
        default:
            return false;
    }
}

// Cells of different types compare only as words with words and numbers
// with numbers; otherwise their type ids order them.
int compare_cells(Cell* a, Cell* b, int op) {
    int ta = type_of(a), tb = type_of(b);
    if (ta != tb && !(word_type(ta) && word_type(tb)) && !(number_type(ta) && number_type(tb)))
        return ta < tb ? -1 : 1;
    return compare::compare_value(a, b, op);
}

}  // namespace

int compare_each(Cell* block1, Cell* block2, int op) {
    int64_t head1 = head_index(block1), head2 = head_index(block2);
    if (block1->data2 == block2->data2 && int32_t(block1->data1) == int32_t(block2->data1)) return 0;
    if (op == compare::COMP_SAME) return -1;
    if (cell::cycle_find(block1->data2)) return cell::cycle_find(block2->data2) ? 0 : -1;
    int64_t length1 = total_of(block1) - head1, length2 = total_of(block2) - head2;
    if (equality_op(op) && length1 != length2) return 1;
    int order = 0;
    {
        cell::CycleScope scope;
        cell::cycle_push(block1->data2);
        cell::cycle_push(block2->data2);
        for (int64_t i = 0; i < std::min(length1, length2) && order == 0; i++) {
            Cell a = first_cell(block1)[head1 + i], b = first_cell(block2)[head2 + i];
            order = compare_cells(&a, &b, op);
        }
    }
    if (order != 0) return order;
    return length1 < length2 ? -1 : length1 > length2 ? 1 : 0;
}

int compare(Cell* value1, Cell* value2, int op) {
    int t1 = type_of(value1), t2 = type_of(value2);
    if (t1 != t2) {
        bool path_pair = (t1 == TYPE_PATH || t1 == TYPE_LIT_PATH) && (t2 == TYPE_PATH || t2 == TYPE_LIT_PATH);
        bool word_op = op == compare::COMP_EQUAL_WORD || op == compare::COMP_EQUAL_WORD_CI;
        if (!(path_pair && word_op)) return -2;
    }
    return compare_each(value1, value2, op);
}

// ---- Making, converting, paths and copies ----------------------------------------------------------

namespace {

// The result of make and to from another block-like value: a shallow
// clone of it, of the requested type.
Cell* clone_into(Cell* proto, const Cell* spec, int type) {
    *proto = *clone(spec, false, false);
    stack::pop(1);
    cell::set_type(proto, type);
    return proto;
}

// An object! or a map! gives its body (set-words and values), a vector!
// the block of its elements.
bool converted_by_module(int type) { return type == TYPE_OBJECT || type == TYPE_MAP || type == TYPE_VECTOR; }

Cell* module_block(Cell* proto, const Cell* spec, int type) {
    Cell value = *spec;
    gc::root keep(&value);  // the block grows in it
    int body = int(words::symbol(words::Sym::body));
    switch (type_of(&value)) {
        case TYPE_OBJECT: any_value::handler<ACT_REFLECT>(&value)(&value, body); break;
        case TYPE_MAP: map::reflect(&value, body); break;
        default: vector::to_block(spec, &value);
    }
    *proto = value;
    cell::set_type(proto, type);
    return proto;
}

}  // namespace

Cell* make(Cell* proto, Cell* spec, int type) {
    int spec_type = type_of(spec);
    if (series::any_block(spec_type)) return clone_into(proto, spec, type);
    if (spec_type == TYPE_INTEGER || spec_type == TYPE_FLOAT) {
        int32_t capacity = cell::number_to_int(spec);
        make_at(proto, std::max(capacity, 1));
        cell::set_type(proto, type);
        return proto;
    }
    if (converted_by_module(spec_type)) return module_block(proto, spec, type);
    raise::bad_make_arg(type, spec);
}

Cell* to(Cell* proto, Cell* spec, int type) {
    int spec_type = type_of(spec);
    if (series::any_block(spec_type)) return clone_into(proto, spec, type);
    if (converted_by_module(spec_type)) return module_block(proto, spec, type);
    Cell value = *spec;
    gc::root keep(&value);  // the result may be the spec's own cell
    if (spec_type == TYPE_STRING) {
        // The text is loaded as source.
        services::g_loader.load_block(proto, &value);
    } else if (spec_type == TYPE_TYPESET) {
        typeset::to_block(&value, proto);
    } else {
        make_at(proto, 1);
        append_cell(proto, &value);
    }
    cell::set_type(proto, type);
    return proto;
}

Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path, Cell*, Cell*, int, bool case_,
                bool, bool) {
    if (type_of(element) == TYPE_INTEGER) {
        int index = cell::get_int(element);
        if (value) return series::poke(parent, index, value, element);
        int64_t head = int32_t(parent->data1);
        int64_t p = index == 0 ? -1 : head + (index > 0 ? int64_t(index) - 1 : index);
        return p < 0 || p >= total_of(parent) ? none_result() : first_cell(parent) + p;
    }
    Cell series = *parent;
    if (!value) {
        if (type_of(element) == TYPE_WORD && type_of(parent) != TYPE_HASH)
            return select_word(parent, element, case_);
        return any_value::handler<ACT_SELECT>(&series)(&series, element, nullptr, true, case_, false, false,
                                                nullptr, nullptr, false, false);
    }
    Cell* found = any_value::handler<ACT_FIND>(&series)(&series, element, nullptr, false, case_, false, false,
                                                 nullptr, nullptr, false, false, false, false);
    if (type_of(found) == TYPE_NONE) fire(ERR_script_bad_path_set, path, element);
    Cell at = *found;
    series::poke(&at, 2, value, nullptr);
    return value;
}

Cell* copy(Cell* value, Cell* result, Cell* part, bool deep, Cell* types) {
    series::copy(value, result, part, false, nullptr);
    if (!deep && !types) return result;
    if (type_of(value) == TYPE_HASH) cell::set_type(result, TYPE_BLOCK);
    cell::CycleScope scope;
    if (deep) push_for_copy(value->data2);
    Node node = result->data2;
    int count = int(total_of(result));
    if (types) copy_types(node, 0, count, 1, deep, types);
    else copy_nested(node, 0, count);
    return result;
}

void copy_nested(Node block, int64_t from, int64_t end) {
    for (int64_t i = from; i < end; i++)
        if (series::series_type(type_of(memory::series_of(block)->cells() + i)))
            replace_by_copy(block, i, true, nullptr);
}

// ---- Registration -------------------------------------------------------------------------------

void init() {
    datatype::TypeRecord r(TYPE_BLOCK, TYPE_SERIES, "block!");
    r.set<ACT_MAKE>(make).set<ACT_TO>(to).set<ACT_FORM>(form).set<ACT_MOLD>(mold);
    r.set<ACT_EVAL_PATH>(eval_path).set<ACT_COMPARE>(compare).set<ACT_COPY>(copy);
    r.set<ACT_APPEND>(append).set<ACT_INSERT>(insert).set<ACT_CHANGE>(change).set<ACT_TAKE>(take);
    r.set<ACT_FIND>(find).set<ACT_SELECT>(select).set<ACT_PUT>(put).set<ACT_SORT>(sort);
    r.set<ACT_SWAP>(swap).set<ACT_TRIM>(trim);
    for (int action : {ACT_RANDOM, ACT_REFLECT, ACT_AT, ACT_BACK, ACT_CLEAR, ACT_HEAD, ACT_HEAD_Q,
                       ACT_INDEX_Q, ACT_LENGTH_Q, ACT_MOVE, ACT_NEXT, ACT_PICK, ACT_POKE, ACT_REMOVE,
                       ACT_REVERSE, ACT_SKIP, ACT_TAIL, ACT_TAIL_Q, ACT_MODIFY})
        r.inherit(action);
    datatype::register_type(r);
}

}  // namespace zel::block

namespace zel::paren {

int mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, int part, int indent) {
    return block::mold_between(value, buffer, "(", ")", only, all, flat, part, indent);
}

void init() {
    datatype::TypeRecord r(TYPE_PAREN, TYPE_BLOCK, "paren!");
    r.set<ACT_MOLD>(mold);
    for (int action : {ACT_MAKE, ACT_RANDOM, ACT_REFLECT, ACT_TO, ACT_FORM, ACT_EVAL_PATH, ACT_COMPARE,
                       ACT_MODIFY})
        r.inherit(action);
    for (int action = ACT_APPEND; action <= ACT_TRIM; action++) r.inherit(action);
    datatype::register_type(r);
}

}  // namespace zel::paren
