// bitset!: bits, the spec walker, the byte-wise combination and the type's
// handlers and row.
//
// Cell: {header type 30, unused, node of a unit-1 byte series, unused}.
#include "series/bitset.h"

#include <algorithm>
#include <cstring>

#include "foundation/collector.h"
#include "foundation/compare.h"
#include "foundation/datatype.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "scalars/integer.h"
#include "scalars/simple_types.h"
#include "series/binary.h"
#include "series/block.h"
#include "series/ownership.h"
#include "series/series.h"
#include "series/string.h"
#include "words/symbol.h"
#include "words/words.h"

namespace zel::bitset {

namespace {

inline Series* buffer_of(const Cell* bitset) { return memory::series_of(bitset->data2); }
inline int64_t stored_bytes(const Cell* bitset) { return buffer_of(bitset)->used(); }

}  // namespace

// ---- Bits ---------------------------------------------------------------------------------------

void grow(Cell* bitset, int64_t n) {
    int64_t bytes = (n >> 3) + 1;
    Series* s = buffer_of(bitset);
    int64_t used = s->used();
    if (bytes <= used) return;
    if (int64_t(s->offset) + bytes > s->capacity) s = memory::expand_series(s, int64_t(s->offset) + bytes);
    // Bytes between the old tail and the capacity may hold anything.
    std::memset(s->tail_ptr(), tail_byte(s), size_t(bytes - used));
    s->tail = s->offset + uint32_t(bytes);
}

Cell* make_at(Cell* cell, int64_t bytes, uint8_t fill, bool negated) {
    Node node = memory::alloc_bytes(std::max<int64_t>(bytes, 1));
    Series* s = memory::series_of(node);
    std::memset(s->head(), fill, size_t(bytes));
    s->tail = s->offset + uint32_t(bytes);
    if (negated) s->flags |= SERIES_NEGATED;
    cell::set(cell, TYPE_BITSET, 0, node, 0);
    return cell;
}

// ---- Specs --------------------------------------------------------------------------------------

namespace {

[[noreturn]] void refuse(const Cell* value, Caller caller) {
    if (type_of(value) == TYPE_BINARY) fire(ERR_internal_not_done);
    switch (caller) {
        case BY_MAKE: raise::bad_make_arg(TYPE_BITSET, value);
        case BY_TO: raise::bad_to_arg(TYPE_BITSET, value);
        default: fire(ERR_script_invalid_arg, value);
    }
}

bool is_range_mark(const Cell* item) {
    return type_of(item) == TYPE_WORD &&
           symbol::resolve(item->data2) == symbol::resolve(words::symbol(words::Sym::minus));
}

// One walk of a spec in one mode. SET and CLEAR walks run after the bitset
// grew to every bit that needs it, so they never allocate: a bit beyond the
// stored bytes has the value asked for already.
struct Walk {
    Cell* bitset;
    Mode mode;
    Caller caller;
    int64_t highest = -1;

    // The bit a char!, integer! or float! names.
    int64_t bit_of(const Cell* value) const {
        int64_t n;
        switch (type_of(value)) {
            case TYPE_CHAR: n = int64_t(value->data2); break;
            case TYPE_INTEGER: n = cell::get_int(value); break;
            default: n = integer::from_float(cell::get_float(value), ERR_script_out_of_range, value); break;
        }
        if (n < 0 && mode != TEST) fire(ERR_script_out_of_range, value);
        return n;
    }

    // Bits lo to hi; false when a TEST finds one that is not in the set.
    bool bits(int64_t lo, int64_t hi) {
        if (mode == MEASURE) {
            highest = std::max(highest, hi);
            return true;
        }
        Series* s = buffer_of(bitset);
        int64_t last_stored = int64_t(s->used()) * 8 - 1;
        if (mode == TEST && (lo < 0 || hi > last_stored) && !negated_q(s)) return false;
        uint8_t* p = s->head();
        for (int64_t n = std::max<int64_t>(lo, 0), end = std::min(hi, last_stored); n <= end; n++) {
            uint8_t& byte = p[n >> 3];
            switch (mode) {
                case SET: byte |= bit_mask(n); break;
                case CLEAR: byte &= uint8_t(~bit_mask(n)); break;
                default:
                    if (!(byte & bit_mask(n))) return false;
            }
        }
        return true;
    }

    bool text(const Cell* str) {
        Series* s = memory::series_of(str->data2);
        int unit = s->unit();
        int64_t total = s->used() / unit;
        for (int64_t i = std::clamp<int64_t>(int32_t(str->data1), 0, total); i < total; i++) {
            int64_t cp = memory::unit_value(s->head() + i * unit, unit);
            if (!bits(cp, cp)) return false;
        }
        return true;
    }

    bool items(const Cell* block) {
        // A block met again inside itself names nothing new.
        if (cell::cycle_find(block->data2)) return true;
        cell::CycleScope scope;
        cell::cycle_push(block->data2);
        int32_t head = int32_t(block->data1);
        for (int32_t i = 0, n = std::max(block::length_q(block), 0); i < n; i++) {
            Cell item = *block::abs_at(block, head + i);
            int type = type_of(&item);
            bool range = (type == TYPE_CHAR || type == TYPE_INTEGER) && i + 1 < n &&
                         is_range_mark(block::abs_at(block, head + i + 1));
            if (!range) {
                if (!value(&item)) return false;
                continue;
            }
            if (i + 2 >= n) fire(ERR_script_past_end);
            Cell last = *block::abs_at(block, head + i + 2);
            int64_t lo = bit_of(&item);
            if (type_of(&last) != type) fire(ERR_script_invalid_arg, &last);
            int64_t hi = bit_of(&last);
            if (hi < lo) fire(ERR_script_past_end);
            if (!bits(lo, hi)) return false;
            i += 2;
        }
        return true;
    }

    bool value(const Cell* value) {
        switch (type_of(value)) {
            case TYPE_CHAR: case TYPE_INTEGER: case TYPE_FLOAT: {
                int64_t n = bit_of(value);
                return bits(n, n);
            }
            case TYPE_STRING: return text(value);
            case TYPE_BLOCK: return items(value);
            default: refuse(value, caller);
        }
    }
};

}  // namespace

int64_t apply_spec(const Cell* spec, Cell* bitset, Mode mode, Caller caller) {
    if (mode == MEASURE || mode == TEST) {
        Walk walk{bitset, mode, caller};
        bool all = walk.value(spec);
        if (mode == TEST) return all ? 1 : 0;
        return std::max<int64_t>(walk.highest, 0) / 8 + 1;
    }
    // The whole spec is checked before any bit changes, and the bitset grows
    // once.
    Walk measure{nullptr, MEASURE, caller};
    measure.value(spec);
    bool fills_tail = (mode == SET) == negated_q(buffer_of(bitset));
    if (measure.highest >= 0 && !fills_tail) grow(bitset, measure.highest);
    Walk walk{bitset, mode, caller};
    walk.value(spec);
    return 1;
}

// ---- Combining ----------------------------------------------------------------------------------

namespace {

enum class Combine { OR, AND, XOR, AND_NOT };

Combine combine_of(int op) {
    switch (op) {
        case OP_OR: case OP_UNION: return Combine::OR;
        case OP_AND: case OP_INTERSECT: return Combine::AND;
        case OP_XOR: case OP_DIFFERENCE: return Combine::XOR;
        case OP_EXCLUDE: return Combine::AND_NOT;
        default: fire(ERR_internal_not_done);
    }
}

inline uint8_t combine(Combine c, uint8_t x, uint8_t y) {
    switch (c) {
        case Combine::OR: return x | y;
        case Combine::AND: return x & y;
        case Combine::XOR: return x ^ y;
        default: return x & uint8_t(~y);
    }
}

}  // namespace

Cell* do_bitwise(int op) {
    Cell* args = stack::arguments();
    if (op == OP_UNIQUE) return args;
    if (type_of(args + 1) != TYPE_BITSET) {
        Cell type = raise::datatype_arg(type_of(args + 1));
        fire(ERR_script_invalid_type, &type);
    }
    Combine c = combine_of(op);
    Series* a = buffer_of(args);
    Series* b = buffer_of(args + 1);
    int64_t la = a->used(), lb = b->used();
    int64_t length = std::max(la, lb);
    const Series* shorter = la < lb ? a : b;
    if (op == OP_AND && la != lb && !negated_q(shorter)) length = std::min(la, lb);
    Cell result;
    make_at(&result, length, 0, false);
    a = buffer_of(args);  // the allocation may have run a collection
    b = buffer_of(args + 1);
    uint8_t ta = tail_byte(a), tb = tail_byte(b);
    Series* r = buffer_of(&result);
    for (int64_t i = 0; i < length; i++)
        r->head()[i] = combine(c, i < la ? a->head()[i] : ta, i < lb ? b->head()[i] : tb);
    if (combine(c, ta, tb)) r->flags |= SERIES_NEGATED;
    *args = result;
    return args;
}

// ---- Making --------------------------------------------------------------------------------------

namespace {

// The bytes of a binary! from its index; complemented and negated under `not`.
Cell* from_bytes(Cell* proto, const Cell* bin, bool negated) {
    int64_t n = binary::length_q(bin);
    Cell result;
    make_at(&result, n, 0, negated);
    const uint8_t* source = binary::head(bin);
    uint8_t* p = buffer_of(&result)->head();
    for (int64_t i = 0; i < n; i++) p[i] = negated ? uint8_t(~source[i]) : source[i];
    *proto = result;
    return proto;
}

bool starts_with_not(const Cell* spec) {
    if (type_of(spec) != TYPE_BLOCK || block::length_q(spec) < 1) return false;
    const Cell* first = block::abs_at(spec, int32_t(spec->data1));
    return type_of(first) == TYPE_WORD &&
           symbol::resolve(first->data2) == symbol::resolve(words::symbol(words::Sym::not_));
}

Cell* made(Cell* proto, const Cell* spec, Caller caller) {
    switch (type_of(spec)) {
        case TYPE_INTEGER: case TYPE_FLOAT: {
            if (caller == BY_TO) raise::bad_to_arg(TYPE_BITSET, spec);
            int32_t n = type_of(spec) == TYPE_INTEGER
                            ? cell::get_int(spec)
                            : integer::from_float(cell::get_float(spec), ERR_script_out_of_range, spec);
            if (n < 0) fire(ERR_script_out_of_range, spec);
            return make_at(proto, (int64_t(n) + 7) / 8, 0, false);
        }
        case TYPE_BITSET: {
            Cell source = *spec;
            return copy(&source, proto, nullptr, false, nullptr);
        }
        case TYPE_BINARY: return from_bytes(proto, spec, false);
        default: break;
    }
    Cell source = *spec;
    bool negated = starts_with_not(&source);
    if (negated) {
        source.data1++;
        if (block::length_q(&source) > 0) {
            Cell next = *block::abs_at(&source, int32_t(source.data1));
            if (type_of(&next) == TYPE_BINARY) return from_bytes(proto, &next, true);
        }
    }
    int64_t bytes = apply_spec(&source, nullptr, MEASURE, caller);
    Cell result;
    make_at(&result, bytes, negated ? 0xFF : 0x00, negated);
    gc::root keep(&result);
    apply_spec(&source, &result, negated ? CLEAR : SET, caller);
    *proto = result;
    return proto;
}

}  // namespace

Cell* make(Cell* proto, Cell* spec, int) { return made(proto, spec, BY_MAKE); }
Cell* to(Cell* proto, Cell* spec, int) { return made(proto, spec, BY_TO); }

// ---- Text ----------------------------------------------------------------------------------------

namespace {

int append_text(Cell* buffer, const char* text, int part) {
    string::append_c_string(buffer, text);
    return part - int(std::strlen(text));
}

}  // namespace

// A negated bitset shows the values it leaves out: its bytes complemented,
// inside [not ...].
int mold(Cell* value, Cell* buffer, bool, bool, bool, int part, int) {
    bool negated = negated_q(buffer_of(value));
    part = append_text(buffer, negated ? "make bitset! [not #{" : "make bitset! #{", part);
    for (int64_t i = 0; i < stored_bytes(value) && part >= 1; i++) {
        Series* s = buffer_of(value);
        part = append_text(buffer, string::byte_to_hex(uint8_t(s->head()[i] ^ tail_byte(s))), part);
    }
    return append_text(buffer, negated ? "}]" : "}", part);
}

int form(Cell* value, Cell* buffer, int part) { return mold(value, buffer, false, false, false, part, 0); }

// ---- Comparison ----------------------------------------------------------------------------------

// Longer is greater; then a negated bitset is greater than one that is not;
// then the stored bytes decide from the last one down.
int compare(Cell* value1, Cell* value2, int op) {
    if (type_of(value2) != TYPE_BITSET) return -2;
    if (op == compare::COMP_SAME) return value1->data2 == value2->data2 ? 0 : -1;
    Series* a = buffer_of(value1);
    Series* b = buffer_of(value2);
    int64_t la = a->used(), lb = b->used();
    if (la != lb) return la > lb ? 1 : -1;
    if (la == 0) return 0;
    if (negated_q(a) != negated_q(b)) return negated_q(a) ? 1 : -1;
    for (int64_t i = la - 1; i >= 0; i--) {
        uint8_t x = a->head()[i], y = b->head()[i];
        if (x != y) return x < y ? -1 : 1;
    }
    return 0;
}

// ---- Whole-set actions ----------------------------------------------------------------------------

// complement and negate: the same members seen from the other side.
Cell* complement(Cell* value) {
    Cell result;
    copy(value, &result, nullptr, false, nullptr);
    Series* s = buffer_of(&result);
    for (uint32_t i = 0; i < s->used(); i++) s->head()[i] = uint8_t(~s->head()[i]);
    s->flags ^= SERIES_NEGATED;
    *value = result;
    return value;
}

Cell* and_t() { return do_bitwise(OP_AND); }
Cell* or_t() { return do_bitwise(OP_OR); }
Cell* xor_t() { return do_bitwise(OP_XOR); }

Cell* clear(Cell* value) {
    bool told = ownership::check(value, ownership::CLEAR, nullptr, 0, int(stored_bytes(value)));
    Series* s = buffer_of(value);
    std::memset(s->head(), tail_byte(s), s->used());
    if (told) ownership::check(value, ownership::CLEARED, nullptr, 0, 0);
    return value;
}

// A new buffer with the same bytes and the negated flag (not the ownership).
Cell* copy(Cell* value, Cell* result, Cell*, bool, Cell*) {
    Node node = memory::copy_series_part(value->data2, 0, stored_bytes(value));
    cell::set(result, TYPE_BITSET, 0, node, 0);
    return result;
}

int length_q(Cell* series) { return int(std::min<int64_t>(stored_bytes(series) * 8, INT32_MAX)); }

// ---- Members ---------------------------------------------------------------------------------------

namespace {

// The bits named by `spec` are set or cleared between the owner's two
// notifications.
void change_bits(Cell* bitset, const Cell* spec, Mode mode, ownership::Action before, ownership::Action after) {
    bool told = ownership::check(bitset, before, spec, 0, 1);
    apply_spec(spec, bitset, mode);
    if (told) ownership::check(bitset, after, spec, 0, 1);
}

bool clears_q(const Cell* state) {
    switch (type_of(state)) {
        case TYPE_INTEGER: return cell::get_int(state) == 0;
        case TYPE_FLOAT: return cell::get_float(state) == 0.0;
        default: return logic::is_false(state);
    }
}

// Path reads answer a cell the caller copies at once.
Cell g_path_result;

}  // namespace

// append and insert.
Cell* append(Cell* series, Cell* value, int, bool, int) {
    change_bits(series, value, SET, ownership::INSERT, ownership::INSERTED);
    return series;
}

Cell* find(Cell* series, Cell* value, Cell*, bool, bool, bool, bool, Cell*, Cell*, bool, bool, bool, bool) {
    if (apply_spec(value, series, TEST)) logic::set(series, true);
    else cell::set(series, TYPE_NONE);
    return series;
}

Cell* pick(Cell* series, int, Cell* boxed) {
    logic::set(series, apply_spec(boxed, series, TEST) != 0);
    return series;
}

// none, false, 0 and 0.0 clear the bits; anything else sets them.
Cell* poke(Cell* series, int, Cell* state, Cell* boxed) {
    change_bits(series, boxed, clears_q(state) ? CLEAR : SET, ownership::POKE, ownership::POKED);
    return state;
}

// The bits of the /part value leave the set, negated or not.
Cell* remove(Cell* series, Cell* part, Cell*) {
    if (!part) fire(ERR_script_missing_arg);
    change_bits(series, part, CLEAR, ownership::REMOVE, ownership::REMOVED);
    return series;
}

Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell*, Cell*, Cell*, int, bool, bool, bool) {
    int type = type_of(element);
    if (type != TYPE_INTEGER && type != TYPE_CHAR) {
        Cell datatype = raise::datatype_arg(type);
        fire(ERR_script_invalid_type, &datatype);
    }
    if (value) return poke(parent, 0, value, element);
    g_path_result = *parent;
    return pick(&g_path_result, 0, element);
}

// ---- Registration ---------------------------------------------------------------------------------

void init() {
    datatype::TypeRecord r(TYPE_BITSET, 0, "bitset!");
    r.set<ACT_MAKE>(make).set<ACT_REFLECT>(series::reflect).set<ACT_TO>(to).set<ACT_FORM>(form);
    r.set<ACT_MOLD>(mold).set<ACT_EVAL_PATH>(eval_path).set<ACT_COMPARE>(compare);
    r.set<ACT_NEGATE>(complement).set<ACT_AND_T>(and_t).set<ACT_COMPLEMENT>(complement);
    r.set<ACT_OR_T>(or_t).set<ACT_XOR_T>(xor_t).set<ACT_APPEND>(append).set<ACT_CLEAR>(clear);
    r.set<ACT_COPY>(copy).set<ACT_FIND>(find).set<ACT_INSERT>(append).set<ACT_LENGTH_Q>(length_q);
    r.set<ACT_PICK>(pick).set<ACT_POKE>(poke).set<ACT_REMOVE>(remove).set<ACT_MODIFY>(series::modify);
    datatype::register_type(r);
}

}  // namespace zel::bitset
