// block! set operations: the worker behind unique, union, intersect,
// exclude and difference for blocks and hash! values.
//
// Records of `skip` cells are keyed by their first cell. Whether a key is in
// the other set, and whether the result has it already, is decided through
// hash tables, except for any-block keys, whose equality is by content while
// their hash is by identity: those are searched cell by cell (find/only).
// The other set's own table serves when it is a hash!; a plain block gets a
// temporary table for the pass. The keys kept so far are a hash! of their
// own, one cell a record, so that a lookup never meets a cell from the rest
// of a record. A hash! result gets a table over all its cells at the end.
//
// Tables are series: the temporary ones are held in argument-stack cells
// while they serve, and dropped from the stack on every way out, errors
// included, for the collector to take.
//
// Relies on: hash tables, block find and append, the argument stack.
#include <algorithm>

#include "foundation/compare.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "scalars/typeset.h"
#include "series/block.h"
#include "series/block_cells.h"
#include "series/hash_table.h"
#include "series/series.h"

namespace zel::block {

namespace {

// Drops the cells pushed since it was made, on every way out; an error that
// unwound the stack below them has dropped them already.
class Pushed {
public:
    Pushed() : top_(stack::top()) {}
    ~Pushed() {
        if (stack::g_top > top_) stack::g_top = top_;
    }
    Pushed(const Pushed&) = delete;
    Pushed& operator=(const Pushed&) = delete;

private:
    Cell* top_;
};

Cell* push_none() {
    Cell* c = stack::push_new();
    cell::set(c, TYPE_NONE);
    return c;
}

// A hash! over the block's cells from its head, in a new stack cell.
Cell* push_hash_over(const Cell* block) {
    Cell* holder = push_none();
    Node table = hash_table::init(int32_t(total_of(block) - head_index(block)), block, hash_table::KIND_HASH, 1);
    cell::set(holder, TYPE_HASH, uint32_t(head_index(block)), block->data2, table);
    return holder;
}

// A new empty hash! in a new stack cell.
Cell* push_empty_hash(int64_t capacity) {
    Cell* holder = push_none();
    make_at(holder, int(capacity));
    holder->data3 = hash_table::init(int32_t(capacity), holder, hash_table::KIND_HASH, 1);
    cell::set_type(holder, TYPE_HASH);
    return holder;
}

struct Operation {
    int64_t size;  // cells a record
    int mode;      // of the table lookups: equal, or strict with /case
    Cell* result;  // the block being built
    Cell* keys;    // a hash! of the keys kept so far
};

// Whether a set holds the key among the keys of its records of `size` cells.
bool member(const Cell* set, Node table, const Cell* key, int64_t size, int mode) {
    if (series::any_block(type_of(key))) {
        Cell probe = *set, k = *key, step;
        cell::set(&step, TYPE_INTEGER, 0, uint32_t(size));
        find(&probe, &k, nullptr, true, false, false, false, nullptr, &step, false, false, false, false);
        return type_of(&probe) != TYPE_NONE;
    }
    int32_t head = int32_t(head_index(set));
    return hash_table::find(table, key, head, int32_t(size), mode, false, false) != nullptr;
}

// Appends the record at `at` to the result and its key to the keys.
void keep(const Operation& op, const Cell* set, int64_t at) {
    Cell key = first_cell(set)[at];
    append_cell(op.keys, &key);
    int64_t end = std::min(at + op.size, total_of(set));
    for (int64_t i = at; i < end; i++) {
        Cell c = first_cell(set)[i];
        append_cell(op.result, &c);
    }
}

// Walks the set record by record, keeping the records whose key is new to
// the result and, with an `other` set, is in it (`wanted` true) or not.
void pass(const Operation& op, const Cell* set, const Cell* other, bool wanted) {
    Pushed pushed;
    Node table = 0;
    if (other) table = type_of(other) == TYPE_HASH ? other->data3 : push_hash_over(other)->data3;
    for (int64_t at = head_index(set); at < total_of(set); at += op.size) {
        Cell key = first_cell(set)[at];
        if (other && member(other, table, &key, op.size, op.mode) != wanted) continue;
        if (member(op.keys, op.keys->data3, &key, 1, op.mode)) continue;
        keep(op, set, at);
    }
}

void pull_back(Cell* set) { set->data1 = uint32_t(head_index(set)); }

int64_t length_of(const Cell* set) { return total_of(set) - head_index(set); }

}  // namespace

Cell* do_set_op(bool case_, const Cell* skip, int op) {
    Cell* set1 = stack::arguments();
    Cell* set2 = set1 + 1;
    bool unique = op == typeset::OP_UNIQUE;
    int64_t size = 1;
    if (skip) {
        if (type_of(skip) != TYPE_INTEGER || cell::get_int(skip) < 1) series::bad_refinement("skip", skip);
        size = cell::get_int(skip);
    }
    pull_back(set1);
    if (!unique) pull_back(set2);
    bool hashed = type_of(set1) == TYPE_HASH || (!unique && type_of(set2) == TYPE_HASH);

    Pushed pushed;
    int64_t capacity = std::max<int64_t>(1, length_of(set1) + (op == typeset::OP_UNION ? length_of(set2) : 0));
    Operation o{size, case_ ? compare::COMP_STRICT_EQUAL : compare::COMP_EQUAL, nullptr, nullptr};
    o.result = push_none();
    make_at(o.result, int(capacity));
    int64_t records = length_of(set1) + (unique ? 0 : length_of(set2));
    o.keys = push_empty_hash(records / size + 1);

    switch (op) {
        case typeset::OP_UNIQUE: pass(o, set1, nullptr, false); break;
        case typeset::OP_UNION:
            pass(o, set1, nullptr, false);
            pass(o, set2, nullptr, false);
            break;
        case typeset::OP_INTERSECT: pass(o, set1, set2, true); break;
        case typeset::OP_EXCLUDE: pass(o, set1, set2, false); break;
        case typeset::OP_DIFFERENCE:
            pass(o, set1, set2, false);
            pass(o, set2, set1, false);
            break;
    }
    if (hashed) {
        o.result->data3 = hash_table::init(int32_t(total_of(o.result)), o.result, hash_table::KIND_HASH, 1);
        cell::set_type(o.result, TYPE_HASH);
    }
    *set1 = *o.result;
    return set1;
}

}  // namespace zel::block
