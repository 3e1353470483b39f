// string!: text storage, the low-level text operations, construction
// (make, to), form and mold, and the type's registration.
//
// Cell: {header (type 7 or a string-derived type), head index in units,
// text buffer node, conversion buffer node (unicode module)}.
#include "series/string.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <vector>

#include "foundation/collector.h"
#include "foundation/datatype.h"
#include "foundation/platform.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "scalars/dtoa.h"
#include "scalars/simple_types.h"
#include "series/any_value.h"
#include "series/series.h"
#include "series/unicode.h"

namespace zel::string {

namespace {

// Exchanges regions of a buffer (insert and change bring text formed at the
// tail into place through it). Grown for one use when that needs more, then
// brought back to its usual size.
constexpr int64_t SCRATCH_SIZE = 65536;
uint8_t* g_scratch = nullptr;

int64_t head_index(const Cell* str) {
    int32_t h = int32_t(str->data1);
    return h < 0 ? 0 : h;
}

int64_t total_units(const Series* s, int unit) { return int64_t(s->used()) / unit; }

// Units a code point needs: appending keeps unit 1 for ASCII only, storing
// at a position for all of Latin-1.
int unit_to_append(uint32_t cp) { return cp <= 0x7F ? 1 : cp <= 0xFFFF ? 2 : 4; }
int unit_to_store(uint32_t cp) { return cp <= 0xFF ? 1 : cp <= 0xFFFF ? 2 : 4; }

Series* fit_unit(Series* s, int needed) {
    return needed > unicode::check_unit(s) ? widen_to(s, needed) : s;
}

// Makes room for `bytes` more bytes after the tail, doubling what is needed.
Series* reserve_tail(Series* s, int64_t bytes) {
    if (int64_t(s->tail) + bytes > s->capacity) s = memory::expand_series(s, 2 * (int64_t(s->used()) + bytes));
    return s;
}

[[noreturn]] void unsupported_encoding() {
    platform::restore_terminal();
    platform::print_line({"*** Loading Error: input encoding unsupported"});
    std::exit(1);
}

// A copy of the text from the head, in the source's unit.
void copy_text(Cell* result, const Cell* spec) {
    Series* s = buffer_of(spec);
    int unit = unicode::check_unit(s);
    int64_t total = total_units(s, unit);
    int64_t start = std::min(head_index(spec), total);
    Node node = memory::copy_series_part(spec->data2, start, total - start);
    cell::set(result, TYPE_STRING, 0, node, 0);
}

}  // namespace

// ---- Reading ------------------------------------------------------------------------------

int length_q(const Cell* str) {
    Series* s = buffer_of(str);
    int unit = unicode::check_unit(s);
    int64_t total = total_units(s, unit), h = head_index(str);
    return h >= total ? 0 : int(total - h);
}

int abs_length_q(const Cell* str) {
    Series* s = buffer_of(str);
    return int(total_units(s, unicode::check_unit(s)));
}

uint8_t* head(Cell* str) {
    Series* s = buffer_of(str);
    int unit = unicode::check_unit(s);
    int64_t total = total_units(s, unit), h = head_index(str);
    if (h > total) {
        h = total;
        str->data1 = uint32_t(total);
    }
    return s->head() + h * unit;
}

uint8_t* tail(const Cell* str) { return buffer_of(str)->tail_ptr(); }

bool tail_q(const Cell* str) {
    Series* s = buffer_of(str);
    return int64_t(s->offset) + head_index(str) * unicode::check_unit(s) >= int64_t(s->tail);
}

uint32_t abs_at(const Cell* str, int index) {
    Series* s = buffer_of(str);
    int unit = unicode::check_unit(s);
    return get_char(s->head() + int64_t(index) * unit, unit);
}

int find_char(const Cell* str, uint32_t cp) {
    Series* s = buffer_of(str);
    int unit = unicode::check_unit(s);
    int64_t total = total_units(s, unit);
    for (int64_t i = head_index(str); i < total; i++)
        if (get_char(s->head() + i * unit, unit) == cp) return int(i - head_index(str));
    return -1;
}

bool match_c_string_q(const Cell* str, const char* text) {
    int64_t n = int64_t(std::strlen(text));
    if (length_q(str) < n) return false;
    Series* s = buffer_of(str);
    int unit = s->unit();
    const uint8_t* p = s->head() + head_index(str) * unit;
    for (int64_t i = 0; i < n; i++)
        if (get_char(p + i * unit, unit) != uint8_t(text[i])) return false;
    return true;
}

// ---- Making --------------------------------------------------------------------------------

Cell* make_at(Cell* cell, int n) {
    Node node = memory::alloc_series(n <= 0 ? 1 : n, 1, 0);
    cell::set(cell, TYPE_STRING, 0, node, 0);
    return cell;
}

Cell* make_at_unit(Cell* cell, int n, int unit) {
    Node node = n <= 0 ? memory::alloc_chars(0, unit) : memory::alloc_series(n, unit, 0);
    cell::set(cell, TYPE_STRING, 0, node, 0);
    return cell;
}

Cell* push(const Cell* str) { return stack::push(str); }

Cell* reset(Cell* str) {
    Series* s = buffer_of(str);
    s->flags = (s->flags & ~SERIES_UNIT_MASK) | 1u;
    s->tail = s->offset;
    str->data1 = 0;
    return str;
}

Cell* make_from_utf8(Cell* cell, const uint8_t* p, int64_t length) {
    make_at(cell, int(std::min<int64_t>(length, INT_MAX)));
    int remainder = 0;
    unicode::load_utf8_buffer(p, length, cell->data2, &remainder, false);
    if (remainder > 0) unicode::raise_invalid_utf8(p + length - remainder, remainder);
    return cell;
}

Cell* load_at(const uint8_t* p, int64_t length, Cell* cell, int encoding) {
    if (encoding != ENCODING_UTF8 && encoding != ENCODING_UTF16LE) unsupported_encoding();
    if (!cell) cell = stack::push(&none::g_none);
    Node node = encoding == ENCODING_UTF8 ? unicode::load_utf8(p, length)
                                          : unicode::load_utf16(p, length / 2, nullptr, false);
    cell::set(cell, TYPE_STRING, 0, node, 0);
    return cell;
}

Cell* load(const uint8_t* p, int64_t length, int encoding) { return load_at(p, length, nullptr, encoding); }

// Loaded on the argument stack first, so the string is held while the block grows.
Cell* load_in(const uint8_t* p, int64_t length, Cell* block, int encoding) {
    Cell* loaded = load(p, length, encoding);
    Cell* slot = cell::alloc_tail(block);
    *slot = *loaded;
    stack::pop(1);
    return slot;
}

// ---- Changing ------------------------------------------------------------------------------

void truncate(Series* s, int n) {
    int unit = unicode::check_unit(s);
    int64_t bytes = int64_t(n) * unit;
    if (n >= 0 && int64_t(s->offset) + bytes <= s->capacity && bytes < int64_t(s->used()))
        s->tail = s->offset + uint32_t(bytes);
}

void remove_part(Cell* str, int index, int n) {
    Series* s = buffer_of(str);
    int unit = unicode::check_unit(s);
    int64_t total = total_units(s, unit);
    if (index < 0 || index >= total || n < 1) return;
    int64_t count = std::min<int64_t>(n, total - index);
    uint8_t* at = s->head() + int64_t(index) * unit;
    std::memmove(at, at + count * unit, size_t((total - index - count) * unit));
    s->tail -= uint32_t(count * unit);
}

void remove_char(Cell* str, int index) { remove_part(str, index, 1); }

Series* append_char(Series* s, uint32_t cp) {
    s = fit_unit(s, unit_to_append(cp));
    int unit = s->unit();
    if (int64_t(s->tail) + unit > s->capacity) s = memory::expand_series(s, 0);
    put_char(s->tail_ptr(), unit, cp);
    s->tail += uint32_t(unit);
    return s;
}

Series* overwrite_char(Series* s, int index, uint32_t cp) {
    if (index < 0) return s;
    s = fit_unit(s, unit_to_store(cp));
    int unit = s->unit();
    while (int64_t(s->offset) + (int64_t(index) + 1) * unit > s->capacity) s = memory::expand_series(s, 0);
    int64_t total = total_units(s, unit);
    if (index >= total) {
        memory::fill_range(s->tail_ptr(), s->head() + int64_t(index) * unit, 0);
        s->tail = s->offset + uint32_t((int64_t(index) + 1) * unit);
    }
    put_char(s->head() + int64_t(index) * unit, unit, cp);
    return s;
}

Series* insert_char(Series* s, int index, uint32_t cp) {
    s = fit_unit(s, unit_to_store(cp));
    int unit = s->unit();
    s = reserve_tail(s, unit);
    int64_t total = total_units(s, unit);
    int64_t at = std::clamp<int64_t>(index, 0, total);
    uint8_t* p = s->head() + at * unit;
    std::memmove(p + unit, p, size_t((total - at) * unit));
    put_char(p, unit, cp);
    s->tail += uint32_t(unit);
    return s;
}

Series* poke_char(Series* s, int index, uint32_t cp) {
    s = fit_unit(s, unit_to_store(cp));
    int unit = s->unit();
    if (index >= 0 && index < total_units(s, unit)) put_char(s->head() + int64_t(index) * unit, unit, cp);
    return s;
}

Series* append_c_string(Cell* str, const char* text) {
    size_t n = std::strlen(text);
    if (n == 0) return buffer_of(str);
    return append_c_string_part(str, text, int(n));
}

// Every byte fits every unit, so nothing widens.
Series* append_c_string_part(Cell* str, const char* text, int n) {
    Series* s = buffer_of(str);
    if (n < 1) return s;
    int unit = unicode::check_unit(s);
    s = reserve_tail(s, int64_t(n) * unit);
    uint8_t* out = s->tail_ptr();
    if (unit == 1) std::memcpy(out, text, size_t(n));
    else
        for (int i = 0; i < n; i++) put_char(out + int64_t(i) * unit, unit, uint8_t(text[i]));
    s->tail += uint32_t(int64_t(n) * unit);
    return s;
}

void concatenate(Cell* dst, const Cell* src, int part, int offset, bool keep_source, int mode) {
    Node dn = dst->data2, sn = src->data2;
    int64_t dhead = type_of(dst) == TYPE_SYMBOL ? 0 : head_index(dst);
    int64_t shead = type_of(src) == TYPE_SYMBOL ? 0 : head_index(src);
    int du = unicode::check_unit(memory::series_of(dn));
    int su = unicode::check_unit(memory::series_of(sn));
    if (du < su) {
        widen_to(memory::series_of(dn), su);
        du = su;
    } else if (su < du && !keep_source) {
        // Only a change of representation for the source's other users.
        widen_to(memory::series_of(sn), du);
        su = du;
    }
    Series* s = memory::series_of(sn);
    int64_t stotal = total_units(s, su);
    int64_t count = shead >= stotal ? 0 : stotal - shead;
    if (part >= 0 && part < count) count = part;
    if (count == 0) return;

    int64_t bytes = count * du;
    Series* d = memory::series_of(dn);
    int64_t dtotal = total_units(d, du);
    int64_t at = mode == CONCAT_APPEND ? dtotal : std::min(dhead + std::max(offset, 0), dtotal);
    if (int64_t(d->tail) + bytes > d->capacity) d = memory::expand_series(d, 2 * (int64_t(d->used()) + bytes));

    // Inserting a string into itself: the source may sit in the part that
    // moves up, so it is read out first.
    std::vector<uint8_t> snapshot;
    if (dn == sn && mode == CONCAT_INSERT) {
        const uint8_t* from = memory::series_of(sn)->head() + shead * su;
        snapshot.assign(from, from + bytes);
    }
    uint8_t* out = d->head() + at * du;
    if (mode == CONCAT_INSERT) std::memmove(out + bytes, out, size_t((dtotal - at) * du));
    const uint8_t* from = snapshot.empty() ? memory::series_of(sn)->head() + shead * su : snapshot.data();
    if (du == su) {
        std::memmove(out, from, size_t(bytes));
    } else {
        for (int64_t i = 0; i < count; i++) put_char(out + i * du, du, get_char(from + i * su, su));
    }
    int64_t end = at + count;
    if (mode == CONCAT_INSERT) end = dtotal + count;
    else if (mode == CONCAT_OVERWRITE) end = std::max(end, dtotal);
    d->tail = d->offset + uint32_t(end * du);
}

void overwrite_part(Cell* dst, const Cell* src, int part, int offset, bool keep_source) {
    concatenate(dst, src, part, offset, keep_source, CONCAT_OVERWRITE);
}

Series* widen_to(Series* s, int unit) {
    int from = unicode::check_unit(s);
    if (unit <= from) return s;
    if (from == 1) return unit == 2 ? unicode::widen_1_2(s) : unicode::widen_1_4(s);
    return unicode::widen_2_4(s);
}

Series* copy_widened(Series* source, Series* target, int64_t size, int unit, int src_start,
                     int write_at, int src_end, bool keep) {
    Node sn = source->node;
    Node fresh = 0;
    gc::root keep_fresh(&fresh);  // a new target is held by nothing else while it grows
    if (!target) {
        Node tn = memory::alloc_series((std::max<int64_t>(size, unit) + unit - 1) / unit, unit, 0);
        fresh = tn;
        target = memory::series_of(tn);
        source = memory::series_of(sn);
    }
    int su = unicode::check_unit(source);
    int64_t stotal = total_units(source, su);
    int64_t end = src_end < 1 ? stotal : std::min<int64_t>(src_end, stotal);
    int64_t start = std::clamp<int64_t>(src_start, 0, end);
    int64_t count = end - start;
    int64_t need = int64_t(target->offset) + (int64_t(write_at) + count) * unit;
    if (need > target->capacity) {
        Node tn = target->node;
        target = memory::expand_series(target, std::max(need, 2 * int64_t(target->capacity)));
        source = sn == tn ? target : memory::series_of(sn);
    }
    const uint8_t* from = source->head() + start * su;
    uint8_t* out = target->head() + int64_t(write_at) * unit;
    for (int64_t i = 0; i < count; i++) put_char(out + i * unit, unit, get_char(from + i * su, su));
    if (!keep) {
        target->tail = target->offset + uint32_t((int64_t(write_at) + count) * unit);
        target->flags = (target->flags & ~SERIES_UNIT_MASK) | uint32_t(unit);
    }
    return target;
}

void exchange_regions(uint8_t* a, int64_t len_a, uint8_t* b, int64_t len_b, int64_t gap) {
    int64_t held = len_a + gap;
    uint8_t* scratch = g_scratch;
    if (held > SCRATCH_SIZE) scratch = static_cast<uint8_t*>(memory::heap_realloc(g_scratch, held));
    std::memcpy(scratch, a, size_t(held));
    std::memmove(a, b, size_t(len_b));
    std::memcpy(a + len_b, scratch + len_a, size_t(gap));
    std::memcpy(a + len_b + gap, scratch, size_t(len_a));
    if (held > SCRATCH_SIZE) scratch = static_cast<uint8_t*>(memory::heap_realloc(scratch, SCRATCH_SIZE));
    g_scratch = scratch;
}

void move_chars(Cell* source, Cell* target, int64_t bytes) {
    Series* s = buffer_of(source);
    int su = unicode::check_unit(s);
    int64_t count = std::min(bytes / su, int64_t(length_q(source)));
    int64_t from = head_index(source);
    int64_t to = head_index(target);
    Node tn = target->data2;
    for (int64_t i = 0; i < count; i++) {
        s = buffer_of(source);
        uint32_t cp = get_char(s->head() + (from + i) * su, su);
        insert_char(memory::series_of(tn), int(to + i), cp);
    }
    remove_part(source, int(from), int(count));
}

bool skip(Cell* str, int n) {
    Series* s = buffer_of(str);
    int unit = unicode::check_unit(s);
    int64_t total = total_units(s, unit);
    int64_t moved = head_index(str) + n;
    if (moved >= 0 && moved <= total) str->data1 = uint32_t(moved);
    return head_index(str) >= total;
}

bool next(Cell* str) { return skip(str, 1); }

// ---- Text of numbers -------------------------------------------------------------------

namespace {
constexpr char HEX_DIGITS[] = "0123456789ABCDEF";
}

const char* byte_to_hex(uint8_t byte) {
    static char text[3];
    text[0] = HEX_DIGITS[byte >> 4];
    text[1] = HEX_DIGITS[byte & 0x0F];
    text[2] = 0;
    return text;
}

const char* to_hex(int32_t value, bool trim) {
    static char text[9];
    uint32_t bits = uint32_t(value);
    for (int i = 7; i >= 0; i--, bits >>= 4) text[i] = HEX_DIGITS[bits & 0x0F];
    text[8] = 0;
    if (!trim) return text;
    if (value == 0) return text + 6;
    const char* p = text;
    while (*p == '0') p++;
    return p;
}

double to_float(const uint8_t* start, int length, int& unconsumed) {
    const char* text = reinterpret_cast<const char*>(start);
    return dtoa::string_to_float(text, text + length, 0, unconsumed);
}

// ---- Molding ---------------------------------------------------------------------------------

namespace {

// What follows the caret for the code points 0-94 that have a table entry.
constexpr char CONTROL_ESCAPES[] = "@ABCDEFGH-/KLMNOPQRSTUVWXYZ[\\]^_";

constexpr std::array<char, 95> make_escapes() {
    std::array<char, 95> t{};
    for (int i = 0; i < 32; i++) t[size_t(i)] = CONTROL_ESCAPES[i];
    t['"'] = '"';
    t['^'] = '^';
    return t;
}
constexpr std::array<char, 95> ESCAPES = make_escapes();

// Strings this long or longer mold between braces.
constexpr int BRACES_LENGTH = 50;

// True when the "{" at `from` has a matching "}" before `end`.
bool brace_closes(const Cell* value, int64_t from, int64_t end) {
    Series* s = buffer_of(value);
    int unit = s->unit();
    const uint8_t* p = s->head();
    int depth = 0;
    for (int64_t i = from; i < end; i++) {
        uint32_t c = get_char(p + i * unit, unit);
        if (c == '{') depth++;
        else if (c == '}' && --depth == 0) return true;
    }
    return false;
}

void append_text(Cell* buffer, const char* text) { append_c_string(buffer, text); }

}  // namespace

void append_escaped_char(Cell* buffer, uint32_t cp, bool all) {
    // A surrogate has no UTF-8 form that loads: it is always escaped.
    bool surrogate = cp >= 0xD800 && cp <= 0xDFFF;
    if (cp == 30 || (cp >= 128 && cp <= 159) || (all && cp > 127) || surrogate) {
        append_text(buffer, "^(");
        append_text(buffer, to_hex(int32_t(cp), true));
        append_text(buffer, ")");
    } else if (cp < ESCAPES.size() && ESCAPES[cp]) {
        char escape[3] = {'^', ESCAPES[cp], 0};
        append_text(buffer, escape);
    } else if (cp == 127) {
        append_text(buffer, "^~");
    } else {
        append_char(buffer_of(buffer), cp);
    }
}

// ---- Handlers ---------------------------------------------------------------------------------

int form(Cell* value, Cell* buffer, int part) {
    int length = length_q(value);
    concatenate(buffer, value, part, 0, true, CONCAT_APPEND);
    return part - length;
}

int mold(Cell* value, Cell* buffer, bool, bool all, bool, int part, int) {
    int64_t whole = length_q(value);
    int64_t first = head_index(value);
    int64_t n = part >= 0 && part < whole ? part : whole;
    int64_t end = first + n;
    // Read afresh for every character: appending may widen or move the
    // buffer, which is this very buffer when a string is molded into itself.
    auto char_at = [value](int64_t i) {
        Series* s = buffer_of(value);
        return get_char(s->head() + i * s->unit(), s->unit());
    };
    int quotes = 0, lines = 0;
    for (int64_t i = first; i < end; i++) {
        uint32_t c = char_at(i);
        if (c == '"') quotes++;
        else if (c == '\n') lines++;
    }
    bool braces = lines >= 3 || quotes > 0 || whole >= BRACES_LENGTH;
    append_text(buffer, braces ? "{" : "\"");
    if (!braces) {
        for (int64_t i = first; i < end; i++) append_escaped_char(buffer, char_at(i), all);
    } else {
        int open = 0;
        bool balanced = true;
        for (int64_t i = first; i < end; i++) {
            uint32_t c = char_at(i);
            switch (c) {
                case '{':
                    if (balanced) balanced = brace_closes(value, i, end);
                    if (balanced) {
                        open++;
                        append_text(buffer, "{");
                    } else {
                        append_text(buffer, "^{");
                    }
                    break;
                case '}':
                    if (open >= 1) {
                        open--;
                        append_text(buffer, "}");
                    } else {
                        append_text(buffer, "^}");
                    }
                    break;
                case '"': append_text(buffer, "\""); break;
                case '^': append_text(buffer, "^^"); break;
                default: append_escaped_char(buffer, c, all); break;
            }
        }
    }
    append_text(buffer, braces ? "}" : "\"");
    return int(part - n - 2);
}

namespace {

Cell* to(Cell* proto, Cell* spec, int type) {
    switch (type_of(spec)) {
        case TYPE_NONE: raise::bad_to_arg(TYPE_STRING, spec);
        case TYPE_BLOCK:
        case TYPE_PAREN:
        case TYPE_HASH: {
            // Each item formed, nothing between them.
            Cell items = *spec;
            append(make_at(proto, 16), &items, -1, false, 1);
            break;
        }
        case TYPE_BINARY: {
            Series* bytes = buffer_of(spec);
            int64_t start = std::min<int64_t>(head_index(spec), bytes->used());
            make_from_utf8(proto, bytes->head() + start, int64_t(bytes->used()) - start);
            break;
        }
        case TYPE_REFINEMENT: {
            // Only string! drops the slash; the other text types keep it.
            make_at(proto, 16);
            if (type == TYPE_STRING) any_value::form(spec, proto, INT_MAX);
            else any_value::mold(spec, proto, false, false, false, INT_MAX, 0);
            break;
        }
        default:
            if (series::any_string(type_of(spec))) {
                copy_text(proto, spec);
                break;
            }
            make_at(proto, 16);
            any_value::form(spec, proto, INT_MAX);
            break;
    }
    cell::set_type(proto, type);
    return proto;
}

// A number gives an empty value of that capacity; binary! hands other specs
// to its own `to`; the rest converts as `to`.
Cell* make(Cell* proto, Cell* spec, int type) {
    int spec_type = type_of(spec);
    if (spec_type == TYPE_INTEGER || spec_type == TYPE_FLOAT) {
        int32_t n = cell::number_to_int(spec);
        if (n < 0) fire(ERR_script_out_of_range, spec);
        Node node = memory::alloc_series(n == 0 ? 16 : n, 1, 0);
        cell::set(proto, type, 0, node, 0);
        return proto;
    }
    if (type == TYPE_BINARY) {
        if (spec_type == TYPE_MONEY) raise::bad_make_arg(type, spec);
        auto binary_to = datatype::handler<ACT_TO>(TYPE_BINARY);
        if (!binary_to) {
            Cell target;
            cell::set(&target, TYPE_BINARY);
            raise::expect_arg(&target, 0);
        }
        return binary_to(proto, spec, type);
    }
    return to(proto, spec, type);
}

}  // namespace

void init() {
    datatype::TypeRecord r(TYPE_STRING, TYPE_SERIES, "string!");
    r.set<ACT_MAKE>(make).set<ACT_TO>(to).set<ACT_FORM>(form).set<ACT_MOLD>(mold);
    r.set<ACT_EVAL_PATH>(eval_path).set<ACT_COMPARE>(compare).set<ACT_FIND>(find);
    r.set<ACT_SELECT>(select).set<ACT_SORT>(sort);
    r.set<ACT_APPEND>(append).set<ACT_CHANGE>(change).set<ACT_INSERT>(insert);
    r.set<ACT_SWAP>(swap).set<ACT_TAKE>(take).set<ACT_TRIM>(trim);
    for (int action : {ACT_RANDOM, ACT_REFLECT, ACT_AT, ACT_BACK, ACT_CLEAR, ACT_COPY, ACT_HEAD,
                       ACT_HEAD_Q, ACT_INDEX_Q, ACT_LENGTH_Q, ACT_MOVE, ACT_NEXT, ACT_PICK, ACT_POKE,
                       ACT_REMOVE, ACT_REVERSE, ACT_SKIP, ACT_TAIL, ACT_TAIL_Q, ACT_MODIFY})
        r.inherit(action);
    datatype::register_type(r);
    g_scratch = static_cast<uint8_t*>(memory::heap_alloc(SCRATCH_SIZE));
}

}  // namespace zel::string
