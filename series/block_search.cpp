// block! search: find, select and put.
//
// A search walks the block from a start position by a step, testing each
// position against what is sought: one value, a type (a datatype! or a
// typeset!), or a run of cells (an any-block value without /only). A hash!
// whose table can answer for the value is looked up there instead, asked so
// that it answers the cell the walk would have stopped at: forwards the
// first counting cell from the head, backwards the last counting cell up to
// the walk's start.
//
// Compare handlers run no Zel code, so a search holds its positions without
// care; put tells the owner of the block, whose handler may change it, and
// takes its positions again afterwards.
#include <algorithm>

#include "foundation/compare.h"
#include "foundation/raise.h"
#include "foundation/stamp.h"
#include "scalars/typeset.h"
#include "series/block.h"
#include "series/block_cells.h"
#include "series/hash_table.h"
#include "series/ownership.h"
#include "series/series.h"

namespace zel::block {

namespace {

enum class Sought { value, type, typeset, run };

struct Pattern {
    Sought kind = Sought::value;
    int mode = compare::COMP_FIND;
    Cell value;
    int64_t run_head = 0;  // where a run starts in its own block
    int64_t length = 0;    // cells of a run; 0 for anything else
};

Pattern pattern_of(const Cell* value, bool only, bool case_, bool same) {
    Pattern p;
    p.value = *value;
    p.mode = same ? compare::COMP_SAME : case_ ? compare::COMP_STRICT_EQUAL : compare::COMP_FIND;
    if (only) return p;
    int type = type_of(value);
    if (type == TYPE_DATATYPE) {
        p.kind = Sought::type;
    } else if (type == TYPE_TYPESET) {
        p.kind = Sought::typeset;
    } else if (series::any_block(type)) {
        p.kind = Sought::run;
        p.run_head = head_index(value);
        p.length = total_of(value) - p.run_head;
    }
    return p;
}

// Cells are compared cell first, as a hash!'s table compares them.
bool equal(const Cell* cell, const Cell* value, int mode) {
    Cell a = *cell, b = *value;
    return compare::compare_value(&a, &b, mode) == 0;
}

// Whether a match begins at `at`; a run must end by `end`. An empty run
// matches nowhere.
bool matches_at(const Pattern& p, const Cell* block, int64_t at, int64_t end) {
    const Cell* c = first_cell(block) + at;
    switch (p.kind) {
        case Sought::type: return type_of(c) == int(p.value.data1);
        case Sought::typeset: return typeset::has(&p.value, type_of(c));
        case Sought::value: return equal(c, &p.value, p.mode);
        case Sought::run:
            if (p.length == 0 || at + p.length > end) return false;
            for (int64_t i = 0; i < p.length; i++)
                if (!equal(first_cell(block) + at + i, first_cell(&p.value) + p.run_head + i, p.mode)) return false;
            return true;
    }
    return false;
}

// Where a hash!'s table may answer: never for /match, a run of cells, a
// type, or an object! compared by content.
bool table_serves(const Cell* value, bool only, bool same, bool match) {
    if (match) return false;
    int type = type_of(value);
    if (series::any_block(type)) return only && same;
    if (type == TYPE_DATATYPE || type == TYPE_TYPESET) return false;
    return type != TYPE_OBJECT || same;
}

// A match: where it starts (-1: none), where /tail puts the head, and the
// cells of the run matched (0 for one cell).
struct Located {
    int64_t at = -1;
    int64_t after = 0;
    int64_t run = 0;
};

Located locate(Cell* series, const Cell* value, const Cell* part, bool only, bool case_, bool same,
               const Cell* skip, bool last, bool reverse, bool match) {
    Located none;
    int64_t total = total_of(series);
    int64_t head = int32_t(series->data1);
    if (total == 0 || (head >= total && !reverse)) return none;
    head = std::clamp<int64_t>(head, 0, total);

    int64_t step = 1;
    if (skip) {
        if (type_of(skip) != TYPE_INTEGER) series::bad_refinement("skip", skip);
        step = cell::get_int(skip);
        if (step < 1) fire(ERR_script_out_of_range, skip);
    }
    int64_t end = total;  // a match lies before it
    if (part) {
        int64_t limit;
        if (type_of(part) == TYPE_INTEGER) {
            int64_t n = cell::get_int(part);
            if (n < 1) return none;
            limit = head + n - 1;
        } else {
            limit = series::part_position(series, part);
        }
        end = std::min(limit, total - 1) + 1;
    }

    Pattern p = pattern_of(value, only, case_, same);
    bool backwards = last || reverse;
    int64_t start = head;
    if (backwards) {
        int64_t back = p.length > 0 ? p.length : 1;
        start = part ? end - 1 : (last ? total : head) - back;
        if (start < 0) return none;
    }

    int64_t at = -1;
    Node table = series::hash_table_of(series);
    if (table && table_serves(value, only, same, match)) {
        // Backwards from `start`: the highest counting cell before start + 1.
        const Cell* found = backwards
            ? hash_table::find(table, value, int32_t(start + 1), int32_t(step), p.mode, false, true)
            : hash_table::find(table, value, int32_t(head), int32_t(step), p.mode, false, false);
        if (found) at = found - first_cell(series);
        if (at >= end) at = -1;
    } else {
        int64_t by = backwards ? -step : step;
        for (int64_t i = start; backwards ? i >= 0 : i < end; i += by) {
            if (matches_at(p, series, i, end)) {
                at = i;
                break;
            }
            if (match) break;
        }
    }
    if (at < 0) return none;

    Located found;
    found.at = at;
    found.run = p.length;
    // After a run, the cell after it; after one value found backwards, the
    // next cell; found forwards, the next record.
    found.after = p.length > 0 ? at + p.length : backwards ? at + 1 : std::min(at + step, total);
    return found;
}

}  // namespace

Cell* find(Cell* series, Cell* value, Cell* part, bool only, bool case_, bool same, bool, Cell*, Cell* skip,
           bool last, bool reverse, bool tail, bool match) {
    Located found = locate(series, value, part, only, case_, same, skip, last, reverse, match);
    if (found.at < 0) cell::set(series, TYPE_NONE);
    else series->data1 = uint32_t(tail ? found.after : found.at);
    return series;
}

Cell* select(Cell* series, Cell* value, Cell* part, bool only, bool case_, bool same, bool, Cell*, Cell* skip,
             bool last, bool reverse) {
    Located found = locate(series, value, part, only, case_, same, skip, last, reverse, false);
    int64_t at = found.at + (found.run > 0 ? found.run : 1);
    if (found.at < 0 || at >= total_of(series)) cell::set(series, TYPE_NONE);
    else *series = first_cell(series)[at];
    return series;
}

Cell* put(Cell* series, Cell* key, Cell* value, bool case_) {
    // Either may lie in this very block, which may move.
    Cell k = *key, v = *value;
    // The key is one cell, as it was appended: looked up as one value.
    auto find_key = [&] { return locate(series, &k, nullptr, true, case_, false, nullptr, false, false, false); };
    // The cell that changes: the value's after the key, or the key's at the tail.
    auto changed_at = [&](const Located& found) { return found.at < 0 ? total_of(series) : found.at + 1; };
    Located found = find_key();
    if (ownership::check(series, ownership::PUT, &v, int(changed_at(found)), 1)) {
        // The owner's handler may have moved or removed the key.
        found = find_key();
    }
    int64_t at = changed_at(found);
    if (found.at < 0) {
        append_cell(series, &k);
        append_cell(series, &v);
    } else if (at >= total_of(series)) {
        append_cell(series, &v);
    } else if (!equal(first_cell(series) + at, &v, compare::COMP_FIND)) {
        // A hash!'s entry goes with the old value, before the cell changes.
        Node table = series::hash_table_of(series);
        if (table) hash_table::delete_(table, first_cell(series) + at);
        first_cell(series)[at] = v;
        memory::touch(series);
        if (table) hash_table::put(table, first_cell(series) + at);
    }
    ownership::check(series, ownership::PUT_ED, &v, int(at), 1);
    return value;
}

}  // namespace zel::block
