// Blocks for tests: built from cells or from letters (one one-letter string
// per letter, read back as the letters), hash! blocks with their tables, and
// stand-in compare handlers for the types that do not have one yet.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/collector.h"
#include "foundation/datatype.h"
#include "foundation/memory.h"
#include "series/block.h"
#include "series/case_folding.h"
#include "series/hash_table.h"
#include "series/series.h"
#include "series/string.h"
#include "tests/support/text.h"
#include "tests/support/values.h"

namespace zel::test {

inline Cell floating(double d) {
    Cell c;
    cell::set(&c, TYPE_FLOAT);
    cell::put_float(&c, d);
    return c;
}

inline Cell logic_cell(bool flag) {
    Cell c;
    cell::set(&c, TYPE_LOGIC, flag ? 1 : 0);
    return c;
}

inline Cell none_cell() {
    Cell c;
    cell::set(&c, TYPE_NONE);
    return c;
}

// The value marked to begin a new line in its block.
inline Cell on_new_line(Cell c) {
    c.header |= FLAG_NEW_LINE;
    return c;
}

inline Cell letter(char c) {
    char s[2] = {c, 0};
    return text(s);
}

// A block of one-letter strings.
inline Cell letters(const std::string& s, int type = TYPE_BLOCK) {
    std::vector<Cell> items;
    for (char c : s) items.push_back(letter(c));
    return block_of(items, type);
}


// The first character of each string from the head; '?' for other values.
inline std::string letters_of(const Cell& block) {
    std::string out;
    for (int i = head_of(block); i < total_cells(block); i++) {
        Cell c = cells_of(block)[i];
        out += type_of(&c) == TYPE_STRING && string::length_q(&c) > 0 ? char(code_points(c)[0]) : '?';
    }
    return out;
}

// A hash! of one-letter strings indexed by a table of its own.
inline Cell hash_of(const std::string& s) {
    Cell h = letters(s, TYPE_HASH);
    h.data3 = hash_table::init(int32_t(s.size()), &h, hash_table::KIND_HASH, 1);
    return h;
}

// Molded or formed through the block handlers into a new string.
inline std::string molded(Cell value, bool only = false, bool all = false, bool flat = false,
                          int part = INT_MAX, int indent = 0) {
    Cell buffer{TYPE_NONE, 0, 0, 0};
    gc::root keep_value(&value), keep_buffer(&buffer);
    string::make_at(&buffer, 16);
    datatype::handler<ACT_MOLD>(type_of(&value))(&value, &buffer, only, all, flat, part, indent);
    return utf8_of(buffer);
}

inline std::string formed(Cell value, int part = INT_MAX) {
    Cell buffer{TYPE_NONE, 0, 0, 0};
    gc::root keep_value(&value), keep_buffer(&buffer);
    string::make_at(&buffer, 16);
    datatype::handler<ACT_FORM>(type_of(&value))(&value, &buffer, part);
    return utf8_of(buffer);
}

// ---- Stand-in compare handlers ---------------------------------------------------------------

inline int order_of(double x, double y) { return (x > y) - (x < y); }

// Text by code point, folded to upper case except under the strict codes.
inline int compare_texts(Cell* a, Cell* b, int op) {
    if (type_of(a) != type_of(b)) return -2;
    std::vector<uint32_t> x = code_points(*a), y = code_points(*b);
    bool fold = op != 2 && op != 8 && op != 9;
    for (size_t i = 0; i < x.size() && i < y.size(); i++) {
        uint32_t c = fold ? case_folding::change_char(x[i], true) : x[i];
        uint32_t d = fold ? case_folding::change_char(y[i], true) : y[i];
        if (c != d) return c < d ? -1 : 1;
    }
    return order_of(double(x.size()), double(y.size()));
}

inline double number_of(const Cell* c) { return type_of(c) == TYPE_INTEGER ? cell::get_int(c) : cell::get_float(c); }

inline int compare_numbers(Cell* a, Cell* b, int) {
    int t = type_of(b);
    if (t != TYPE_INTEGER && t != TYPE_FLOAT) return -2;
    return order_of(number_of(a), number_of(b));
}

// Installs the stand-ins in empty compare slots while it lives.
class StandInCompare {
public:
    StandInCompare() {
        install(TYPE_STRING, compare_texts);
        install(TYPE_INTEGER, compare_numbers);
        install(TYPE_FLOAT, compare_numbers);
    }
    ~StandInCompare() {
        for (auto* slot : installed_) *slot = nullptr;
    }
    StandInCompare(const StandInCompare&) = delete;
    StandInCompare& operator=(const StandInCompare&) = delete;

private:
    void install(int type, action::CompareFn fn) {
        datatype::AnyHandler* slot = &datatype::g_action_table[(type << 8) + ACT_COMPARE - 1];
        if (*slot) return;
        *slot = reinterpret_cast<datatype::AnyHandler>(fn);
        installed_.push_back(slot);
    }
    std::vector<datatype::AnyHandler*> installed_;
};

// ---- A hash!'s table against its cells -----------------------------------------------------------

// Every cell is found at its own place from its own index, the first and
// the last equal cells from the first index (nothing stale past the tail),
// and the table counts one group per value.
inline void expect_table_in_step(const Cell& hash, const std::string& what) {
    namespace ht = zel::hash_table;
    Node table = series::hash_table_of(&hash);
    ASSERT_NE(table, 0u) << what;
    StandInCompare compare;
    int n = total_cells(hash);
    std::vector<std::string> distinct;
    for (int i = 0; i < n; i++) {
        Cell key = cells_of(hash)[i];
        Cell* own = ht::find(table, &key, i, 1, 0, false, false);
        ASSERT_EQ(own, cells_of(hash) + i) << what << ": cell " << i;
        int first = 0, last = n - 1;
        while (compare_texts(cells_of(hash) + first, &key, 0) != 0) first++;
        while (compare_texts(cells_of(hash) + last, &key, 0) != 0) last--;
        ASSERT_EQ(ht::find(table, &key, 0, 1, 0, false, false), cells_of(hash) + first) << what;
        ASSERT_EQ(ht::find(table, &key, 0, 1, 0, true, false), cells_of(hash) + last) << what << ": last";
        std::string folded = utf8_of(key);
        std::transform(folded.begin(), folded.end(), folded.begin(), ::tolower);
        if (std::find(distinct.begin(), distinct.end(), folded) == distinct.end()) distinct.push_back(folded);
    }
    EXPECT_EQ(ht::record(table)->live, int32_t(distinct.size())) << what;
}

}  // namespace zel::test
