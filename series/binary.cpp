// binary! cells and buffers, the byte operations and the datatype's own
// handlers.
#include "series/binary.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>

#include "foundation/compare.h"
#include "foundation/datatype.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "scalars/char.h"
#include "scalars/tuple.h"
#include "series/any_value.h"
#include "series/binary_codec.h"
#include "series/bitset.h"
#include "series/block.h"
#include "series/cell_text.h"
#include "series/ownership.h"
#include "series/series.h"
#include "series/string.h"
#include "series/unicode.h"
#include "words/symbol.h"

namespace zel::binary {

namespace {

Series* buffer_of(const Cell* bin) { return memory::series_of(bin->data2); }

int64_t total_of(const Cell* bin) { return int64_t(buffer_of(bin)->used()); }

int64_t clamped_head(const Cell* bin) { return std::clamp<int64_t>(int32_t(bin->data1), 0, total_of(bin)); }

[[noreturn]] void too_big() { fire(ERR_internal_no_memory); }

// Room for `bytes` bytes in use: doubling when that is enough, else to size.
Series* room_for(Cell* bin, int64_t bytes) {
    Series* s = buffer_of(bin);
    int64_t need = int64_t(s->offset) + bytes;
    if (need > SERIES_MAX_BYTES) too_big();
    if (need > s->capacity) s = memory::expand_series(s, std::max(need, 2 * int64_t(s->capacity)));
    return s;
}

void set_total(Series* s, int64_t total) { s->tail = s->offset + uint32_t(total); }

// The code units of a text (or binary) value from its head, as raw bytes.
struct Raw {
    const uint8_t* p;
    int64_t n;
};
Raw raw_of(const Cell* value) {
    Series* s = memory::series_of(value->data2);
    int unit = s->unit();
    int64_t total = int64_t(s->used()) / unit;
    int64_t head = std::clamp<int64_t>(int32_t(value->data1), 0, total);
    return {s->head() + head * unit, (total - head) * unit};
}

bool text_type(int type) { return series::any_string(type); }

// UTF-8 of a text from its head, at most `limit` bytes (limit < 0: all);
// a character that would pass the limit is cut there.
void text_utf8(std::vector<uint8_t>& out, const Cell* text, int64_t limit) {
    Series* s = memory::series_of(text->data2);
    int unit = s->unit();
    int64_t total = int64_t(s->used()) / unit;
    int64_t start = out.size();
    uint8_t enc[4];
    for (int64_t i = std::clamp<int64_t>(int32_t(text->data1), 0, total); i < total; i++) {
        int n = unicode::encode_utf8(string::get_char(s->head() + i * unit, unit), enc);
        out.insert(out.end(), enc, enc + n);
        if (limit >= 0 && int64_t(out.size()) - start >= limit) break;
    }
    if (limit >= 0 && int64_t(out.size()) - start > limit) out.resize(size_t(start + limit));
}

// Bytes that lie in the binary's own buffer are copied aside first: growing
// may replace the buffer and inserting moves them.
const uint8_t* aside_if_inside(const Cell* bin, const uint8_t* p, int64_t n, std::vector<uint8_t>& keep) {
    Series* s = buffer_of(bin);
    if (n <= 0 || p < s->data() || p >= s->end()) return p;
    keep.assign(p, p + n);
    return keep.data();
}

void cut_to(std::vector<uint8_t>& out, size_t start, int64_t part) {
    if (part >= 1 && out.size() - start > size_t(part)) out.resize(start + size_t(part));
}

}  // namespace

// ---- Reading ------------------------------------------------------------------------------

int64_t length_q(const Cell* bin) {
    int64_t n = total_of(bin) - int64_t(bin->data1);
    return n > 0 ? n : 0;
}

uint8_t* head(const Cell* bin) {
    Series* s = buffer_of(bin);
    uint32_t at = bin->data1 < s->used() ? bin->data1 : s->used();
    return s->head() + at;
}

uint8_t* tail(const Cell* bin) { return buffer_of(bin)->tail_ptr(); }

bool tail_q(const Cell* bin) { return length_q(bin) == 0; }

// ---- Making --------------------------------------------------------------------------------

Cell* make_over(Cell* cell, Node node) {
    uint32_t flags = cell->header & ~HEADER_TYPE_MASK;
    cell::set(cell, TYPE_BINARY, 0, node, 0);
    cell->header |= flags;
    return cell;
}

Cell* make_at(Cell* cell, int64_t n) { return make_over(cell, memory::alloc_bytes(n > 0 ? n : 16)); }

Cell* make_in(Cell* block, int64_t n) {
    Cell fresh;
    make_at(&fresh, n);
    return block::append_cell(block, &fresh);
}

Cell* load_in(const uint8_t* p, int64_t n, Cell* block) {
    Cell fresh;
    make_at(&fresh, n);
    if (n > 0) std::memcpy(buffer_of(&fresh)->head(), p, size_t(n));
    set_total(buffer_of(&fresh), n);
    return block ? block::append_cell(block, &fresh) : stack::push(&fresh);
}

Cell* load(const uint8_t* p, int64_t n) { return load_in(p, n, nullptr); }

Cell* push(const Cell* bin) { return stack::push(bin); }

// ---- Changing ------------------------------------------------------------------------------

void cut_at_head(Cell* bin) { set_total(buffer_of(bin), clamped_head(bin)); }

uint8_t* append_bytes(Cell* bin, const uint8_t* p, int64_t n) {
    return write_bytes(bin, total_of(bin) - clamped_head(bin), p, n);
}

uint8_t* insert_bytes(Cell* bin, int64_t offset, const uint8_t* p, int64_t n) {
    std::vector<uint8_t> keep;
    p = aside_if_inside(bin, p, n, keep);
    int64_t total = total_of(bin);
    int64_t at = std::min(clamped_head(bin) + offset, total);
    Series* s = buffer_of(bin);
    if (int64_t(s->offset) + total + n > SERIES_MAX_BYTES) too_big();
    if (int64_t(s->offset) + total + n > s->capacity)
        s = memory::expand_series(s, n + 2 * int64_t(s->capacity));
    uint8_t* where = s->head() + at;
    std::memmove(where + n, where, size_t(total - at));
    if (n > 0) std::memcpy(where, p, size_t(n));
    set_total(s, total + n);
    return where;
}

uint8_t* write_bytes(Cell* bin, int64_t offset, const uint8_t* p, int64_t n) {
    std::vector<uint8_t> keep;
    p = aside_if_inside(bin, p, n, keep);
    int64_t total = total_of(bin);
    int64_t at = clamped_head(bin) + offset;
    Series* s = buffer_of(bin);
    int64_t end = int64_t(s->offset) + at + n;
    if (end > SERIES_MAX_BYTES) too_big();
    if (end > s->capacity) s = memory::expand_series(s, 2 * int64_t(s->capacity) + (end - s->capacity));
    if (at > total) std::memset(s->head() + total, 0, size_t(at - total));  // no stale bytes in the gap
    uint8_t* where = s->head() + at;
    if (n > 0) std::memmove(where, p, size_t(n));
    if (at + n > total) set_total(s, at + n);
    return where;
}

void append_int32_be(int32_t value, Cell* bin) {
    uint32_t v = uint32_t(value);
    uint8_t bytes[4] = {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
    append_bytes(bin, bytes, 4);
}

// ---- Values as bytes ----------------------------------------------------------------------------

void value_to_byte(uint8_t* out, const Cell* value) {
    if (type_of(value) != TYPE_INTEGER && type_of(value) != TYPE_CHAR) fire(ERR_script_invalid_arg, value);
    *out = uint8_t(value->data2);
}

void collect_bytes(std::vector<uint8_t>& out, const Cell* value, int64_t part, bool items, int mode) {
    size_t start = out.size();
    int type = type_of(value);
    switch (type) {
        case TYPE_CHAR: {
            uint8_t enc[4];
            int n = unicode::encode_utf8(char_::get(value), enc);
            out.insert(out.end(), enc, enc + n);
            break;
        }
        case TYPE_INTEGER: {
            int32_t n = cell::get_int(value);
            if (n < -128 || n > 255) fire(ERR_script_invalid_arg, value);
            out.push_back(uint8_t(n));
            break;
        }
        case TYPE_BINARY: {
            Raw r = raw_of(value);
            out.insert(out.end(), r.p, r.p + r.n);
            break;
        }
        case TYPE_TUPLE: {
            const uint8_t* b = tuple::bytes_of(value);
            out.insert(out.end(), b, b + tuple::length_of(value));
            break;
        }
        case TYPE_BLOCK:
        case TYPE_PAREN:
        case TYPE_HASH: {
            Node block = value->data2;
            int64_t taken = 0;
            for (int64_t i = std::max<int32_t>(int32_t(value->data1), 0);; i++) {
                Series* b = memory::series_of(block);
                if (i >= int64_t(b->used() / sizeof(Cell))) break;
                if (part >= 1 && (items ? int64_t(out.size() - start) >= part : taken >= part)) break;
                Cell item = b->cells()[i];
                collect_bytes(out, &item, -1, items, mode);
                taken++;
            }
            if (items) cut_to(out, start, part);
            return;
        }
        default:
            if (text_type(type)) {
                text_utf8(out, value, part >= 1 ? part : -1);
                return;
            }
            if (mode != BYTES_FORMED) raise::bad_to_arg(TYPE_BINARY, value);
            {
                Cell* top = stack::g_top;
                Cell* formed = string::make_at(stack::push_new(), 16);
                Cell copy = *value;
                any_value::form(&copy, formed, INT_MAX);
                text_utf8(out, formed, -1);
                stack::g_top = top;
            }
            break;
    }
    cut_to(out, start, part);
}

int64_t value_to_bytes(uint8_t* out, const Cell* value, int64_t part, bool items, int mode) {
    std::vector<uint8_t> bytes;
    collect_bytes(bytes, value, part, items, mode == BYTES_COUNT ? BYTES_STRICT : mode);
    if (out && mode != BYTES_COUNT && !bytes.empty()) std::memcpy(out, bytes.data(), bytes.size());
    return int64_t(bytes.size());
}

int64_t from_hex_word(const Cell* word, Cell* result, bool count_only) {
    int32_t length = 0;
    const uint8_t* name = symbol::utf8(word->data2, length);
    if (count_only) return length;
    std::vector<uint8_t> text(name, name + length);  // decoding allocates
    Node node = decode_base16(text.data(), length, 1);
    if (!node) fire(ERR_script_invalid_data, word);
    make_over(result, node);
    return length;
}

// ---- Comparing and matching -------------------------------------------------------------------

int compare_bytes(const Cell* value1, const Cell* value2, int op, bool match) {
    using namespace compare;
    int t2 = type_of(value2);
    if (t2 != TYPE_BINARY && !text_type(t2)) return -2;
    bool same_place = value1->data2 == value2->data2 && int32_t(value1->data1) == int32_t(value2->data1);
    if (op == COMP_SAME) return same_place ? 0 : -1;
    bool equality = op == COMP_EQUAL || op == COMP_NOT_EQUAL || op == COMP_STRICT_EQUAL || op == COMP_FIND;
    Raw a = raw_of(value1), b = raw_of(value2);
    int64_t n;
    if (match) {
        if (b.n == 0) return op == COMP_FIND ? 1 : 0;
        if (a.n < b.n) return 1;
        n = b.n;
    } else {
        if (a.n != b.n && (equality || b.n == 0)) return 1;
        n = std::min(a.n, b.n);
    }
    int order = n > 0 ? std::memcmp(a.p, b.p, size_t(n)) : 0;
    if (order != 0) return order > 0 ? 1 : -1;
    if (match || a.n == b.n) return 0;
    return a.n > b.n ? 1 : -1;
}

bool match_bitset_q(const Cell* bin, const Cell* bitset) {
    if (tail_q(bin)) return false;
    return bitset::has(bitset, *head(bin));
}

bool match_q(const Cell* bin, const Cell* value) {
    int type = type_of(value);
    if (type == TYPE_BITSET) return match_bitset_q(bin, value);
    if (type == TYPE_CHAR || type == TYPE_INTEGER)
        return !tail_q(bin) && uint32_t(*head(bin)) == value->data2;
    return compare_bytes(bin, value, compare::COMP_STRICT_EQUAL, true) == 0;
}

// ---- Handlers: text ------------------------------------------------------------------------------

namespace {

// Bytes past which a binary molds on lines of its own, and bytes a line.
constexpr int64_t ONE_LINE_BYTES = 30;
constexpr int64_t LINE_BYTES = 32;

void new_line(Cell* buffer, int level) {
    string::append_c_string(buffer, "\n");
    cell_text::mold_indent(buffer, level, INT_MAX);
}

}  // namespace

int mold(Cell* value, Cell* buffer, bool only, bool, bool flat, int part, int indent) {
    int64_t budget = part < 0 ? INT64_MAX : part;
    if (!only) {
        string::append_c_string(buffer, "#{");
        budget -= 2;
    }
    int64_t n = length_q(value), first = clamped_head(value);
    bool lines = n > ONE_LINE_BYTES && !flat;
    if (lines) new_line(buffer, indent + 1);
    for (int64_t i = 0; i < n; i++) {
        bool last = budget < 3;
        // Read afresh: the buffer molded into may be this binary's own.
        uint8_t byte = buffer_of(value)->head()[first + i];
        string::append_c_string(buffer, string::byte_to_hex(byte));
        budget -= 2;
        if (last) return int(std::max<int64_t>(budget, INT_MIN));
        if (!flat && (i + 1) % LINE_BYTES == 0) new_line(buffer, indent + 1);
    }
    if (lines && n % LINE_BYTES != 0) new_line(buffer, indent);
    if (!only) string::append_c_string(buffer, "}");
    return int(std::clamp<int64_t>(budget, INT_MIN, INT_MAX));
}

int form(Cell* value, Cell* buffer, int part) { return mold(value, buffer, false, false, false, part, 0); }

int compare(Cell* value1, Cell* value2, int op) {
    if (type_of(value2) != TYPE_BINARY) return -2;
    return compare_bytes(value1, value2, op, false);
}

Cell* (*g_image_bytes)(const Cell* image, Cell* result) = nullptr;

Cell* to(Cell* proto, Cell* spec, int type) {
    Cell src = *spec;
    if (type_of(&src) == TYPE_IMAGE && g_image_bytes) {
        g_image_bytes(&src, proto);
        cell::set_type(proto, type);
        return proto;
    }
    cell::set(proto, TYPE_NONE);  // no flag of what the cell held carries over
    std::vector<uint8_t> bytes;
    switch (type_of(&src)) {
        case TYPE_BLOCK:
        case TYPE_PAREN:
        case TYPE_HASH:
            append(make_at(proto, 16), &src, -1, false, 1);
            cell::set_type(proto, type);
            return proto;
        case TYPE_CHAR:
        case TYPE_TUPLE: collect_bytes(bytes, &src, -1, false, BYTES_STRICT); break;
        case TYPE_INTEGER: {
            make_at(proto, 4);
            append_int32_be(cell::get_int(&src), proto);
            cell::set_type(proto, type);
            return proto;
        }
        case TYPE_FLOAT:
        case TYPE_PERCENT: {
            uint64_t bits = std::bit_cast<uint64_t>(cell::get_float(&src));
            for (int shift = 56; shift >= 0; shift -= 8) bytes.push_back(uint8_t(bits >> shift));
            break;
        }
        case TYPE_ISSUE:
            from_hex_word(&src, proto, false);
            cell::set_type(proto, type);
            return proto;
        case TYPE_BITSET: {
            Series* bits = memory::series_of(src.data2);
            bytes.assign(bits->head(), bits->head() + bits->used());
            break;
        }
        case TYPE_BINARY:
            series::copy(&src, proto, nullptr, false, nullptr);
            cell::set_type(proto, type);
            return proto;
        default:
            if (!text_type(type_of(&src))) raise::bad_to_arg(TYPE_BINARY, &src);
            text_utf8(bytes, &src, -1);
            break;
    }
    Cell* made = load_in(bytes.data(), int64_t(bytes.size()), nullptr);
    *proto = *made;
    stack::pop(1);
    cell::set_type(proto, type);
    return proto;
}

// ---- Handlers: modification ------------------------------------------------------------------------

namespace {

// Replaces `replaced` bytes at `at` by `dup` copies of the bytes (taken
// aside already); answers the bytes written.
int64_t splice(Cell* target, int64_t at, int64_t replaced, const std::vector<uint8_t>& bytes, int dup) {
    int64_t total = total_of(target), count = int64_t(bytes.size()), written = count * dup;
    int64_t new_total = total - replaced + written;
    if (new_total + int64_t(buffer_of(target)->offset) > SERIES_MAX_BYTES) too_big();
    Series* s = room_for(target, std::max(new_total, total));
    uint8_t* p = s->head() + at;
    std::memmove(p + written, p + replaced, size_t(total - at - replaced));
    if (count > 0) {
        std::memcpy(p, bytes.data(), size_t(count));
        if (dup > 1) memory::repeat_pattern(p, size_t(count), size_t(dup));
    }
    set_total(s, new_total);
    return written;
}

// append and insert: the write position is the tail when appending or when
// the head is at the tail.
Cell* add(Cell* series, Cell* value, int part, bool only, int dup, bool appending) {
    if (dup < 1 || part == 0) return series;
    Cell v = *value;
    int64_t at = appending ? total_of(series) : clamped_head(series);
    bool notified = ownership::check(series, appending ? ownership::APPEND : ownership::INSERT, &v, int(at), part);
    at = appending ? total_of(series) : clamped_head(series);
    std::vector<uint8_t> bytes;
    collect_bytes(bytes, &v, part, only, BYTES_STRICT);
    int64_t written = bytes.empty() ? 0 : splice(series, at, 0, bytes, dup);
    if (notified)
        ownership::check(series, appending ? ownership::APPENDED : ownership::INSERTED, &v, int(at),
                         appending ? (part < 0 ? 1 : part) : int(written));
    series->data1 = appending ? 0 : uint32_t(std::min(at + written, total_of(series)));
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
    Cell v = *value;
    int64_t head = clamped_head(series);
    bool at_tail = head == total_of(series);
    bool notified = ownership::check(series, at_tail ? ownership::APPEND : ownership::CHANGE, &v, int(head), part);
    head = clamped_head(series);
    std::vector<uint8_t> bytes;
    collect_bytes(bytes, &v, -1, only, BYTES_FORMED);
    int64_t remaining = total_of(series) - head;
    int64_t replaced = part < 0 ? std::min(int64_t(bytes.size()) * dup, remaining) : std::min<int64_t>(part, remaining);
    int64_t written = splice(series, head, replaced, bytes, dup);
    if (notified)
        ownership::check(series, at_tail ? ownership::APPENDED : ownership::CHANGED, &v, int(head), int(written));
    series->data1 = uint32_t(std::min(head + written, total_of(series)));
    return series;
}

Cell* trim(Cell* series, bool head_, bool tail_, bool auto_, bool lines, bool all, Cell* with) {
    std::vector<uint8_t> set;
    if (with) {
        switch (type_of(with)) {
            case TYPE_CHAR:
            case TYPE_INTEGER: set.push_back(uint8_t(with->data2)); break;
            case TYPE_STRING:
            case TYPE_BINARY: {
                Raw r = raw_of(with);
                Series* s = memory::series_of(with->data2);
                for (int64_t i = 0; i < r.n; i += s->unit()) {
                    uint32_t unit = string::get_char(r.p + i, s->unit());
                    if (unit <= 0xFF) set.push_back(uint8_t(unit));
                }
                if (r.n == 0) return series;
                break;
            }
            default: fire(ERR_script_invalid_arg, with);
        }
    } else if (all) {
        set.push_back(0);
    } else if (auto_ || lines) {
        fire(ERR_internal_not_done);
    }
    int64_t at = clamped_head(series);
    bool notified = ownership::check(series, ownership::TRIM, nullptr, int(at), int(total_of(series) - at));
    at = clamped_head(series);
    Series* s = buffer_of(series);
    uint8_t* p = s->head();
    int64_t total = total_of(series), w = at;
    if (all || with) {
        for (int64_t i = at; i < total; i++)
            if (std::find(set.begin(), set.end(), p[i]) == set.end()) p[w++] = p[i];
    } else {
        int64_t start = at, end = total;
        if (!tail_ || head_)
            while (start < end && p[start] == 0) start++;
        if (!head_ || tail_)
            while (end > start && p[end - 1] == 0) end--;
        std::memmove(p + at, p + start, size_t(end - start));
        w = at + end - start;
    }
    set_total(s, w);
    if (notified) ownership::check(series, ownership::TRIMMED, nullptr, int(at), int(w - at));
    return series;
}

// ---- Handlers: bits ------------------------------------------------------------------------------

Cell* complement(Cell* value) {
    uint8_t* p = head(value);
    for (int64_t i = 0, n = length_q(value); i < n; i++) p[i] = uint8_t(~p[i]);
    return value;
}

namespace {

enum BitOp { BIT_AND, BIT_OR, BIT_XOR };

Cell* bitwise(BitOp op) {
    Cell* args = stack::arguments();
    if (type_of(&args[1]) != TYPE_BINARY) fire(ERR_script_invalid_arg, &args[1]);
    Raw a = raw_of(&args[0]), b = raw_of(&args[1]);
    const Raw& longer = a.n >= b.n ? a : b;
    int64_t common = std::min(a.n, b.n);
    std::vector<uint8_t> out(size_t(longer.n), 0);
    for (int64_t i = 0; i < common; i++)
        out[size_t(i)] = op == BIT_AND ? a.p[i] & b.p[i] : op == BIT_OR ? a.p[i] | b.p[i] : a.p[i] ^ b.p[i];
    if (op != BIT_AND) std::copy(longer.p + common, longer.p + longer.n, out.begin() + common);
    Cell* made = load(out.data(), int64_t(out.size()));
    args[0] = *made;
    stack::pop(1);
    return args;
}

Cell* and_t() { return bitwise(BIT_AND); }
Cell* or_t() { return bitwise(BIT_OR); }
Cell* xor_t() { return bitwise(BIT_XOR); }

}  // namespace

void init() {
    datatype::TypeRecord r(TYPE_BINARY, TYPE_STRING, "binary!");
    r.set<ACT_TO>(to).set<ACT_FORM>(form).set<ACT_MOLD>(mold).set<ACT_COMPARE>(compare);
    r.set<ACT_AND_T>(and_t).set<ACT_OR_T>(or_t).set<ACT_XOR_T>(xor_t).set<ACT_COMPLEMENT>(complement);
    r.set<ACT_APPEND>(append).set<ACT_INSERT>(insert).set<ACT_CHANGE>(change).set<ACT_TRIM>(trim);
    for (int action : {ACT_MAKE, ACT_RANDOM, ACT_REFLECT, ACT_EVAL_PATH, ACT_AT, ACT_BACK, ACT_CLEAR, ACT_COPY,
                       ACT_FIND, ACT_HEAD, ACT_HEAD_Q, ACT_INDEX_Q, ACT_LENGTH_Q, ACT_MOVE, ACT_NEXT, ACT_PICK,
                       ACT_POKE, ACT_REMOVE, ACT_REVERSE, ACT_SELECT, ACT_SORT, ACT_SKIP, ACT_SWAP, ACT_TAIL,
                       ACT_TAIL_Q, ACT_TAKE, ACT_MODIFY})
        r.inherit(action);
    datatype::register_type(r);
}

}  // namespace zel::binary
