// string! modification: append, insert, change, swap, take and trim. The
// string-derived types inherit them.
//
// What a value writes into a text (its "value text"): a string-like value
// its characters from its head, a char! itself, a tag! "<", its characters
// and ">", a block its items formed one after another, anything else its
// formed text. The target widens to the unit the value text needs before
// anything is written; formed text is formed straight at the tail (the form
// handlers widen through append_char as they go) and, for insert and
// change, exchanged into place through the scratch buffer.
//
// A value that shares the target's buffer is read aside first, so that
// inserting or appending a string into itself equals inserting a copy,
// whatever moves, widens or replaces the buffer meanwhile. The owner's
// change handler runs Zel code before each change: every position is kept
// as an index and addresses are taken afresh after it.
//
// Relies on: the string storage operations, the registry (form), the series!
// take and pick, the ownership check and the memory manager.
#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "foundation/raise.h"
#include "scalars/char.h"
#include "series/any_value.h"
#include "series/ownership.h"
#include "series/series.h"
#include "series/string.h"

namespace zel::string {

namespace {

int64_t total_of(const Series* s) { return int64_t(s->used()) / s->unit(); }

int64_t clamped_head(const Cell* str) {
    return std::clamp<int64_t>(int32_t(str->data1), 0, total_of(buffer_of(str)));
}

bool block_type(int type) { return type == TYPE_BLOCK || type == TYPE_PAREN || type == TYPE_HASH; }

// Copies n units, converting them to the (wider or equal) output unit.
void put_units(uint8_t* out, int out_unit, const uint8_t* in, int in_unit, int64_t n) {
    if (out_unit == in_unit) {
        std::memmove(out, in, size_t(n * out_unit));
        return;
    }
    for (int64_t i = 0; i < n; i++) put_char(out + i * out_unit, out_unit, get_char(in + i * in_unit, in_unit));
}

[[noreturn]] void too_big() { fire(ERR_internal_no_memory); }

// The value text of a string-like value, a tag! or a char!: where it is
// read from and how long it is.
struct ValueText {
    Node node = 0;     // the source buffer, 0 for a char! or once read aside
    int64_t head = 0;  // of the characters, in the source
    int64_t count = 0; // characters written from the source
    int unit = 1;      // of the source, or needed by the char!
    uint32_t cp = 0;
    bool is_char = false, open = false, close = false;
    std::vector<uint8_t> aside;

    int64_t length() const { return (is_char ? 1 : count) + open + close; }
    const uint8_t* units() const {
        return aside.empty() ? memory::series_of(node)->head() + head * unit : aside.data();
    }
    // Copies the characters out when the source is the target's buffer.
    void read_aside(Node target) {
        if (node != target || count == 0) return;
        aside.assign(units(), units() + count * unit);
    }
    void write(uint8_t* out, int out_unit) const {
        int64_t k = 0;
        if (open) put_char(out + k++ * out_unit, out_unit, '<');
        if (is_char) {
            put_char(out + k++ * out_unit, out_unit, cp);
        } else {
            if (count > 0) put_units(out + k * out_unit, out_unit, units(), unit, count);
            k += count;
        }
        if (close) put_char(out + k * out_unit, out_unit, '>');
    }
};

bool formed_value(int type) { return !series::any_string(type) && type != TYPE_CHAR; }

// The text of a value that is not formed, cut to `part` characters when
// part is 0 or more (a tag! spends one on "<" and gets ">" only when
// count remains after its characters).
ValueText value_text(const Cell* value, int part) {
    ValueText v;
    if (type_of(value) == TYPE_CHAR) {
        v.is_char = true;
        v.cp = char_::get(value);
        v.unit = v.cp <= 0x7F ? 1 : v.cp <= 0xFFFF ? 2 : 4;
        return v;
    }
    Series* s = buffer_of(value);
    v.node = value->data2;
    v.unit = s->unit();
    v.head = clamped_head(value);
    v.count = total_of(s) - v.head;
    int64_t budget = part < 0 ? INT64_MAX : part;
    if (type_of(value) == TYPE_TAG) {
        v.open = budget >= 1;
        v.count = std::clamp<int64_t>(budget - 1, 0, v.count);
        v.close = budget - 1 - v.count >= 1;
    } else {
        v.count = std::min(v.count, budget);
    }
    return v;
}

// New total of a text after a change, refused when its bytes would pass
// what one buffer can hold.
int64_t checked_total(const Series* s, int64_t total, int unit) {
    if (total * unit + int64_t(s->offset) > SERIES_MAX_BYTES) too_big();
    return total;
}

// Makes room for `units` units at the target's unit (widened to `unit`
// first): the buffer doubles when that is enough, else it grows to size.
Series* room_for(Cell* target, int64_t units, int unit) {
    Series* s = buffer_of(target);
    if (unit > s->unit()) s = widen_to(s, unit);
    int64_t need = int64_t(s->offset) + units * s->unit();
    if (need > s->capacity) s = memory::expand_series(s, std::max(need, 2 * int64_t(s->capacity)));
    return s;
}

// Replaces `replaced` characters at `at` by `dup` copies of the value text;
// answers the characters written.
int64_t splice_text(Cell* target, int64_t at, int64_t replaced, ValueText& v, int dup) {
    Series* s = buffer_of(target);
    int64_t total = total_of(s), length = v.length(), written = length * dup;
    int unit = std::max(s->unit(), v.unit);
    int64_t new_total = checked_total(s, total - replaced + written, unit);
    v.read_aside(target->data2);
    s = room_for(target, new_total, unit);
    unit = s->unit();
    uint8_t* p = s->head() + at * unit;
    std::memmove(p + written * unit, p + replaced * unit, size_t((total - at - replaced) * unit));
    v.write(p, unit);
    if (dup > 1) memory::repeat_pattern(p, size_t(length * unit), size_t(dup));
    s->tail = s->offset + uint32_t(new_total * unit);
    return written;
}

// Forms the value at the target's tail: a block's items one after another,
// counting items against `part` unless only; otherwise the text is cut
// back to `part` characters. Answers the characters formed.
int64_t form_at_tail(Cell* target, Cell* value, int part, bool only) {
    int64_t start = total_of(buffer_of(target));
    bool items = block_type(type_of(value));
    if (items) {
        Node block = value->data2;
        int64_t formed = 0;
        for (int64_t i = std::max<int32_t>(int32_t(value->data1), 0);; i++) {
            Series* b = memory::series_of(block);
            if (i >= int64_t(b->used() / sizeof(Cell))) break;
            if (!only && part >= 0 && formed >= part) break;
            Cell item = b->cells()[i];
            any_value::form(&item, target, INT_MAX);
            formed++;
        }
    } else {
        any_value::form(value, target, INT_MAX);
    }
    Series* s = buffer_of(target);
    if (part >= 0 && (only || !items) && total_of(s) > start + part) truncate(s, int(start + part));
    return total_of(buffer_of(target)) - start;
}

// The same for formed text: formed at the tail, repeated there, then the
// replaced characters are dropped and the rest after `at` is exchanged with
// it. `replaced` < 0 asks for as many as are written (within what remains).
int64_t splice_formed(Cell* target, int64_t at, int64_t replaced, Cell* value, int part, bool only, int dup) {
    int64_t old_total = total_of(buffer_of(target));
    int64_t formed = form_at_tail(target, value, part, only);
    int64_t written = formed * dup;
    if (replaced < 0) replaced = written;
    replaced = std::min(replaced, old_total - at);
    Series* s = buffer_of(target);
    if ((old_total - replaced + written) * s->unit() + int64_t(s->offset) > SERIES_MAX_BYTES) {
        s->tail = s->offset + uint32_t(old_total * s->unit());
        too_big();
    }
    s = room_for(target, old_total + written, s->unit());
    int unit = s->unit();
    uint8_t* formed_at = s->head() + old_total * unit;
    if (dup > 1) memory::repeat_pattern(formed_at, size_t(formed * unit), size_t(dup));
    uint8_t* p = s->head() + at * unit;
    std::memmove(p, p + replaced * unit, size_t((old_total + written - at - replaced) * unit));
    int64_t rest = old_total - at - replaced;
    if (rest > 0 && written > 0) exchange_regions(p, rest * unit, p + rest * unit, written * unit, 0);
    s->tail = s->offset + uint32_t((old_total - replaced + written) * unit);
    return written;
}

// Writes the value at `at` over `replaced` characters (-1: as many as are
// written, for change); answers the characters written.
int64_t splice(Cell* target, int64_t at, int64_t replaced, Cell* value, int part, bool only, int dup) {
    if (formed_value(type_of(value))) return splice_formed(target, at, replaced, value, part, only, dup);
    ValueText v = value_text(value, part);
    if (replaced < 0) replaced = v.length() * dup;
    replaced = std::min(replaced, total_of(buffer_of(target)) - at);
    return splice_text(target, at, replaced, v, dup);
}

// append with the owner told or not (insert at the tail has told it).
Cell* append_value(Cell* series, Cell* value, int part, bool only, int dup, bool notify) {
    if (dup < 1) return series;
    Cell v = *value;
    int64_t at = total_of(buffer_of(series));
    bool notified = notify && ownership::check(series, ownership::APPEND, &v, int(at), part);
    at = total_of(buffer_of(series));
    splice(series, at, 0, &v, part, only, dup);
    if (notified) ownership::check(series, ownership::APPENDED, &v, int(at), part < 0 ? 1 : part);
    series->data1 = 0;
    return series;
}

// ---- trim ---------------------------------------------------------------------------------

// Whitespace at the ends and between words.
bool white(uint32_t c) {
    if (c >= 1 && c <= 32) return true;
    if (c < 0x85) return false;
    return c == 0x85 || c == 0xA0 || c == 0x1680 || c == 0x180E || (c >= 0x2000 && c <= 0x200A) ||
           c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

// Whitespace inside a line.
bool horizontal(uint32_t c) { return c == ' ' || c == '\t' || (c >= 0x85 && white(c)); }

// The text being trimmed, read and written in place: nothing allocates
// while a trim runs.
struct InPlace {
    Series* s;
    int unit;
    uint32_t at(int64_t i) const { return get_char(s->head() + i * unit, unit); }
    void put(int64_t i, uint32_t c) { put_char(s->head() + i * unit, unit, c); }
    void end_at(int64_t i) { s->tail = s->offset + uint32_t(i * unit); }
};

// The characters a trim/with or trim/all removes.
std::vector<uint32_t> removed_set(Cell* with) {
    if (!with) return {'\t', '\n', '\r', ' '};
    switch (type_of(with)) {
        case TYPE_CHAR: return {char_::get(with)};
        case TYPE_INTEGER: return {uint32_t(cell::get_int(with))};
        case TYPE_STRING:
        case TYPE_BINARY: {
            Series* s = buffer_of(with);
            std::vector<uint32_t> set;
            for (int64_t i = clamped_head(with); i < total_of(s); i++)
                set.push_back(get_char(s->head() + i * s->unit(), s->unit()));
            return set;
        }
        default: fire(ERR_script_invalid_arg, with);
    }
}

void remove_each(InPlace t, int64_t head, const std::vector<uint32_t>& set) {
    int64_t w = head, total = total_of(t.s);
    for (int64_t i = head; i < total; i++) {
        uint32_t c = t.at(i);
        if (std::find(set.begin(), set.end(), c) == set.end()) t.put(w++, c);
    }
    t.end_at(w);
}

// Whitespace off both ends, every inner run of it one space.
void trim_lines(InPlace t, int64_t head) {
    int64_t w = head, total = total_of(t.s);
    bool pending_space = false;
    for (int64_t i = head; i < total; i++) {
        uint32_t c = t.at(i);
        if (white(c)) {
            pending_space = w > head;
            continue;
        }
        if (pending_space) t.put(w++, ' ');
        pending_space = false;
        t.put(w++, c);
    }
    t.end_at(w);
}

// Leading and trailing whitespace; with neither /head nor /tail also the
// indentation and trailing blanks of every line, one line feed kept at the
// end when the dropped tail held one.
void trim_head_tail(InPlace t, int64_t head, bool head_, bool tail_) {
    bool head_only = head_ && !tail_, tail_only = tail_ && !head_, lines = !head_ && !tail_;
    int64_t start = head, end = total_of(t.s);
    if (!tail_only)
        while (start < end && white(t.at(start))) start++;
    bool line_feed = false;
    if (!head_only)
        while (end > start && white(t.at(end - 1))) line_feed |= t.at(--end) == '\n';
    int64_t w = head;
    bool after_line_feed = false;
    for (int64_t i = start; i < end;) {
        uint32_t c = t.at(i);
        if (lines && horizontal(c)) {
            int64_t j = i;
            while (j < end && horizontal(t.at(j))) j++;
            bool before_line_feed = j < end && t.at(j) == '\n';
            if (!after_line_feed && !before_line_feed)
                for (; i < j; i++) t.put(w++, t.at(i));
            i = j;
            continue;
        }
        t.put(w++, c);
        after_line_feed = c == '\n';
        i++;
    }
    if (lines && line_feed) t.put(w++, '\n');
    t.end_at(w);
}

}  // namespace

// ---- Handlers -------------------------------------------------------------------------------------

Cell* append(Cell* series, Cell* value, int part, bool only, int dup) {
    return append_value(series, value, part, only, dup, true);
}

Cell* insert(Cell* series, Cell* value, int part, bool only, int dup) {
    if (dup < 1) return series;
    Cell v = *value;
    int64_t head = clamped_head(series);
    bool notified = ownership::check(series, ownership::INSERT, &v, int(head), part);
    head = clamped_head(series);
    int64_t written;
    if (head == total_of(buffer_of(series))) {
        append_value(series, &v, part, only, dup, false);
        written = total_of(buffer_of(series)) - head;
    } else {
        written = splice(series, head, 0, &v, part, only, dup);
    }
    if (notified) ownership::check(series, ownership::INSERTED, &v, int(head), int(written));
    series->data1 = uint32_t(std::min(head + written, total_of(buffer_of(series))));
    return series;
}

Cell* change(Cell* series, Cell* value, int part, bool only, int dup) {
    if (dup < 1) return series;
    Cell v = *value;
    int64_t head = clamped_head(series);
    if (head == total_of(buffer_of(series))) {
        append_value(series, &v, -1, only, dup, true);
        series->data1 = uint32_t(total_of(buffer_of(series)));
        return series;
    }
    bool notified = ownership::check(series, ownership::CHANGE, &v, int(head), part);
    head = clamped_head(series);
    int64_t written = splice(series, head, part < 0 ? -1 : part, &v, -1, only, dup);
    if (notified) ownership::check(series, ownership::CHANGED, &v, int(head), int(written));
    series->data1 = uint32_t(head + written);
    return series;
}

namespace {

uint32_t head_unit(const Cell* series) {
    Series* s = buffer_of(series);
    return get_char(s->head() + clamped_head(series) * s->unit(), s->unit());
}

// A binary! never widens: a character above 0xFF bound for one is refused
// before either series changes.
void refuse_wide_for_binary(const Cell* series, uint32_t cp) {
    if (type_of(series) != TYPE_BINARY || cp <= 0xFF) return;
    Cell c;
    char_::make_at(&c, cp);
    fire(ERR_script_invalid_arg, &c);
}

void store_at_head(Cell* series, uint32_t cp) {
    int64_t head = clamped_head(series);
    if (type_of(series) == TYPE_BINARY) buffer_of(series)->head()[head] = uint8_t(cp);
    else poke_char(buffer_of(series), int(head), cp);
}

}  // namespace

Cell* swap(Cell* series1, Cell* series2) {
    int t2 = type_of(series2);
    if (!series::any_string(t2) && t2 != TYPE_BINARY) fire(ERR_script_invalid_arg, series2);
    if (tail_q(series1) || tail_q(series2)) return series1;
    Cell s1 = *series1, s2 = *series2;
    bool told1 = ownership::check(&s1, ownership::SWAP, &s2, int(clamped_head(&s1)), 1);
    bool told2 = ownership::check(&s2, ownership::SWAP, &s1, int(clamped_head(&s2)), 1);
    if (tail_q(&s1) || tail_q(&s2)) return series1;
    uint32_t c1 = head_unit(&s1), c2 = head_unit(&s2);
    refuse_wide_for_binary(&s1, c2);
    refuse_wide_for_binary(&s2, c1);
    store_at_head(&s1, c2);
    store_at_head(&s2, c1);
    if (told1) ownership::check(&s1, ownership::SWAPED, &s2, int(clamped_head(&s1)), 1);
    if (told2) ownership::check(&s2, ownership::SWAPED, &s1, int(clamped_head(&s2)), 1);
    return series1;
}

// One unit taken without /part comes back as a value of its own.
Cell* take(Cell* series, Cell* part, bool deep, bool last) {
    Cell* taken = series::take(series, part, deep, last);
    if (part || type_of(taken) == TYPE_NONE || series::length_q(taken) != 1) return taken;
    return series::pick(taken, 1, nullptr);
}

Cell* trim(Cell* series, bool head, bool tail, bool auto_, bool lines, bool all, Cell* with) {
    std::vector<uint32_t> set;
    if (all || with) {
        set = removed_set(with);
        if (set.empty()) return series;
    } else if (auto_) {
        fire(ERR_internal_not_done);
    }
    int64_t at = clamped_head(series);
    int count = int(total_of(buffer_of(series)) - at);
    bool notified = ownership::check(series, ownership::TRIM, nullptr, int(at), count);
    at = clamped_head(series);
    InPlace t{buffer_of(series), buffer_of(series)->unit()};
    if (all || with) remove_each(t, at, set);
    else if (lines) trim_lines(t, at);
    else trim_head_tail(t, at, head, tail);
    if (notified) ownership::check(series, ownership::TRIMMED, nullptr, int(at), int(total_of(t.s) - at));
    return series;
}

}  // namespace zel::string
