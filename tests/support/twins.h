// Blocks and hash! values of the same cells, for tests that check a
// hash!'s table gives what a scan of its cells gives: values loaded from
// text, the hash! twin of a block, a value sought (a datatype! or typeset!
// from type names), and a table check over any cells.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "foundation/compare.h"
#include "foundation/datatype.h"
#include "foundation/stack.h"
#include "scalars/typeset.h"
#include "series/block.h"
#include "series/hash.h"
#include "series/hash_table.h"
#include "series/series.h"
#include "tests/support/blocks.h"
#include "tests/support/loaded.h"

namespace zel::test {

// A hash! over a copy of the block's cells, at the same head.
inline Cell hash_twin(const Cell& block) {
    Cell b = at_head(block, 0), h;
    hash::make(&h, &b, TYPE_HASH);
    return at_head(h, head_of(block));
}

// The type a name ending in "!" names, or 0.
inline int type_named(const std::string& name) {
    for (int t = 1; t <= TYPE_LAST; t++)
        if (datatype::registered(t) && name == datatype::type_name(t)) return t;
    return 0;
}

// A value from text: "integer!" a datatype!, "typeset integer! string!" a
// typeset!, anything else the first value the text loads as.
inline Cell sought(const std::string& text) {
    if (text.rfind("typeset ", 0) == 0) {
        Cell ts;
        typeset::make_at(&ts);
        std::istringstream names(text.substr(8));
        for (std::string name; names >> name;) typeset::include(&ts, type_named(name));
        return ts;
    }
    if (int type = type_named(text)) return datatype_of(type);
    return cells_of(loaded(text))[0];
}

// Every cell of a block or hash!, from its first cell, molded as a block.
inline std::string all_cells(Cell series) {
    series = at_head(series, 0);
    cell::set_type(&series, TYPE_BLOCK);
    return shown(series);
}

inline std::string shown_or_none(const Cell& value) { return type_of(&value) == TYPE_NONE ? "none" : shown(value); }

// Every cell is found at its own place from its own index under equal?,
// and the table counts one group per distinct (type, equal?) value. Values
// hashed by identity (blocks) that are equal by content share a group only
// when one's probe meets the other's bucket: the count lies between the
// distinct values and the distinct (value, hash) pairs.
inline void expect_exact_table(const Cell& hash, const std::string& what) {
    namespace ht = zel::hash_table;
    Node table = series::hash_table_of(&hash);
    ASSERT_NE(table, 0u) << what;
    int n = total_cells(hash);
    std::vector<Cell> distinct, hashed_apart;
    auto same = [](Cell& a, Cell& b) {
        return type_of(&a) == type_of(&b) && compare::compare_value(&a, &b, compare::COMP_EQUAL) == 0;
    };
    for (int i = 0; i < n; i++) {
        Cell key = cells_of(hash)[i];
        ASSERT_EQ(ht::find(table, &key, i, 1, compare::COMP_EQUAL, false, false), cells_of(hash) + i)
            << what << ": cell " << i << " " << shown(key);
        bool seen = false, seen_hashed = false;
        for (Cell& d : distinct) seen = seen || same(d, key);
        for (Cell& d : hashed_apart)
            seen_hashed = seen_hashed || (same(d, key) && ht::hash_value(&d, false) == ht::hash_value(&key, false));
        if (!seen) distinct.push_back(key);
        if (!seen_hashed) hashed_apart.push_back(key);
    }
    EXPECT_GE(ht::record(table)->live, int32_t(distinct.size())) << what;
    EXPECT_LE(ht::record(table)->live, int32_t(hashed_apart.size())) << what;
}

}  // namespace zel::test
