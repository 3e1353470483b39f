// Hash tables, kind 0: the index of a hash! block (the set functions of
// blocks make one for their own work too). Every cell is a key;
// cells equal under strict comparison share one bucket as a group: the
// bucket's slot holds the cell's index, or minus the number of a chain (an
// array of indexes in insertion order) in the chain list. The cell index
// array maps each cell to 1 + its bucket (or -1), so a cell whose value
// changed leaves its old group, and the indexes can be renumbered when cells
// move. Owns put_cell and find_cell (reached through put and find),
// delete_range, shift, move and rebuild_block.
#include "series/hash_table.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "foundation/collector.h"
#include "series/hash_shared.h"
#include "series/typed_array.h"

namespace zel::hash_table {

using namespace shared;

namespace {

constexpr int32_t SHIFT_LIMIT = 30000;

bool identity_hashed(int type) {
    switch (type) {
        case TYPE_BLOCK: case TYPE_PAREN: case TYPE_NATIVE: case TYPE_ACTION: case TYPE_OP:
        case TYPE_FUNCTION: case TYPE_PATH: case TYPE_LIT_PATH: case TYPE_SET_PATH:
        case TYPE_GET_PATH: case TYPE_OBJECT: case TYPE_ERROR: case TYPE_HASH: case TYPE_MAP:
        case TYPE_PORT: case TYPE_IMAGE: case TYPE_EVENT:
            return true;
        default: return false;
    }
}

int32_t index_length(const Record* r) { return typed_array::length_q(r->aux); }

int32_t index_entry(const Record* r, int32_t i) {
    return i >= 0 && i < index_length(r) ? int32_t(typed_array::words(r->aux)[i]) : -1;
}

// Makes room for `needed` entries: twice that, the new ones -1.
void ensure_index(Node table, int32_t needed) {
    Series* s = memory::series_of(record(table)->aux);
    int64_t length = s->used() / 4;
    if (needed <= length) return;
    int64_t want = 2 * int64_t(needed);
    if (int64_t(s->offset) + want * 4 > s->capacity) s = memory::expand_series(s, want * 4);
    std::memset(s->head() + length * 4, 0xFF, size_t(want - length) * 4);
    s->tail = s->offset + uint32_t(want * 4);
}

// The cell indexes of a bucket's group, in insertion order.
struct Group {
    Node chain;  // 0 for a group of one
    uint32_t single;
    int32_t count;
    uint32_t at(int32_t i) const { return chain ? typed_array::words(chain)[i] : single; }
};

Group group_of(const Record* r, uint32_t slot) {
    if (int32_t(slot) >= 0) return Group{0, slot, 1};
    Node chain = chain_of(r, -int32_t(slot));
    return Group{chain, 0, typed_array::length_q(chain)};
}

uint32_t first_of_group(const Record* r, uint32_t slot) {
    return int32_t(slot) >= 0 ? slot : typed_array::pick_ptr(chain_of(r, -int32_t(slot)), 1);
}

// Adds a cell to the group of a bucket; a single cell becomes a chain.
void join_group(Node table, int32_t bucket, uint32_t index) {
    Record* r = record(table);
    uint32_t slot = slots_of(r)[bucket];
    if (int32_t(slot) < 0) {
        typed_array::append_ptr(chain_of(r, -int32_t(slot)), index);
        return;
    }
    // The chain's place in the list is taken first, so that the chain is
    // reachable from the moment it exists.
    typed_array::append_ptr(r->chains, 0);
    int32_t number = typed_array::length_q(record(table)->chains);
    Node chain = typed_array::make(4, 4);
    r = record(table);
    typed_array::poke_ptr(r->chains, number, chain);
    typed_array::append_ptr(chain, slot);
    typed_array::append_ptr(chain, index);
    slots_of(record(table))[bucket] = uint32_t(-number);
}


// Whether a cell at `index` may answer a search from `head` with `skip`.
bool counts_at(int32_t index, int32_t head, int32_t skip, bool last, bool reverse) {
    if (reverse ? index >= head : index < head) return false;
    int64_t distance = last || reverse ? int64_t(head) - index - 1 : int64_t(index) - head;
    int64_t rest = distance % skip;
    return (rest < 0 ? rest + skip : rest) == 0;
}

// Applies `to` to every stored index of the cells [lo, hi) (each chain once)
// and moves their index array entries to the new places; places left behind
// read -1.
template <class To>
void remap(Node table, int32_t lo, int32_t hi, To to) {
    Record* r = record(table);
    hi = std::min(hi, index_length(r));
    if (lo >= hi) return;
    uint32_t* index = typed_array::words(r->aux);
    uint32_t* slots = slots_of(r);
    std::vector<bool> seen(size_t(typed_array::length_q(r->chains)) + 1);
    for (int32_t x = lo; x < hi; x++) {
        int32_t entry = int32_t(index[x]);
        if (entry <= 0) continue;
        int32_t slot = int32_t(slots[entry - 1]);
        if (slot >= 0) {
            slots[entry - 1] = uint32_t(to(slot));
            continue;
        }
        if (seen[size_t(-slot)]) continue;
        seen[size_t(-slot)] = true;
        Node chain = chain_of(r, -slot);
        uint32_t* members = typed_array::words(chain);
        for (int32_t i = 0, n = typed_array::length_q(chain); i < n; i++)
            members[i] = uint32_t(to(int32_t(members[i])));
    }
    std::vector<uint32_t> moved(index + lo, index + hi);
    std::fill(index + lo, index + hi, uint32_t(-1));
    for (int32_t x = lo; x < hi; x++)
        if (int32_t(moved[size_t(x - lo)]) > 0) index[to(x)] = moved[size_t(x - lo)];
}

}  // namespace

namespace shared {

// Kind 0's cell index array: `count` entries of -1.
Node new_index(int32_t count) {
    Node n = typed_array::make(count, 4);
    Series* s = memory::series_of(n);
    std::memset(s->data(), 0xFF, size_t(count) * 4);
    s->tail = uint32_t(count) * 4;
    return n;
}

void delete_index(Node table, int32_t index) {
    Record* r = record(table);
    int32_t entry = index_entry(r, index);
    if (entry <= 0) return;
    typed_array::words(r->aux)[index] = uint32_t(-1);
    int32_t bucket = entry - 1;
    int32_t slot = int32_t(slots_of(r)[bucket]);
    if (slot < 0) {
        Node chain = chain_of(r, -slot);
        typed_array::remove_ptr(chain, uint32_t(index));
        if (typed_array::length_q(chain) > 0) return;
        typed_array::poke_ptr(r->chains, -slot, 0);  // a freed chain leaves a 0
    }
    release(r, bucket);
}

void reset_groups(Record* r) {
    empty_buckets(r);
    Series* index = memory::series_of(r->aux);
    std::memset(index->head(), 0xFF, index->used());
    typed_array::clear(r->chains);
}

Cell* put_cell(Node table, Cell* key) {
    Record* r = record(table);
    int32_t index = int32_t(key - key_cells(r));
    if (index_entry(r, index) > 0) delete_index(table, index);  // its value changed
    if (r->occupied >= r->bound) {
        grow(table);
        return nullptr;
    }
    int type = type_of(key);
    Slot s = probe_insert(flags_of(r), r->buckets, hash_value(key, false), [&](uint32_t b) {
        Record* t = record(table);
        Cell* first = key_cells(t) + first_of_group(t, slots_of(t)[b]);
        return type_of(first) == type && compare_values(first, key, 0) == 0;
    });
    if (s.bucket < 0) {
        grow(table);
        return nullptr;
    }
    if (s.found) join_group(table, s.bucket, uint32_t(index));
    else claim(record(table), s.bucket, uint32_t(index));
    ensure_index(table, index + 1);
    r = record(table);
    typed_array::words(r->aux)[index] = uint32_t(s.bucket + 1);
    if (r->stamp == 0 && identity_hashed(type)) r->stamp = collector::cycle_count() + 1;
    return key_cells(r) + index;
}

Cell* find_cell(Node table, Cell* key, int32_t head, int32_t skip, int code, bool last,
                bool reverse) {
    if (skip < 1) skip = 1;
    Record* r = record(table);
    const uint32_t* flags = flags_of(r);
    Probe p(hash_value(key, false), r->buckets);
    do {
        int f = flag_at(flags, p.at);
        if (f == FLAG_EMPTY) return nullptr;
        if (f != FLAG_OCCUPIED) continue;
        uint32_t slot = slots_of(r)[p.at];
        if (!keys_equal(key_cells(r) + first_of_group(r, slot), key, 0)) continue;
        Group g = group_of(r, slot);
        int32_t best = -1;
        for (int32_t i = 0; i < g.count; i++) {
            int32_t index = int32_t(g.at(i));
            if (!counts_at(index, head, skip, last, reverse)) continue;
            bool better = best < 0 || (last || reverse ? index > best : index < best);
            if (better && keys_equal(key_cells(r) + index, key, code)) best = index;
        }
        if (best >= 0) return key_cells(r) + best;
    } while (p.next());
    return nullptr;
}

}  // namespace shared

void delete_range(Node table, int32_t first, int32_t count) {
    Record* r = record(table);
    if (r->kind != KIND_HASH) return;
    int32_t total = key_count(r);
    if (first < 0) {
        count += first;
        first = 0;
    }
    count = std::min(count, total - first);
    if (count <= 0) return;
    if (first == 0 && count == total) {
        reset_groups(r);
        return;
    }
    for (int32_t i = first; i < first + count; i++) delete_index(table, i);
}

int shift(Node table, int32_t change, int32_t first, int32_t count, bool remove) {
    if (record(table)->kind != KIND_HASH) return 0;
    if (count > SHIFT_LIMIT) return 1;
    if (remove && change < 0)
        for (int32_t i = std::max(0, first + change); i < first; i++) delete_index(table, i);
    if (count <= 0 || change == 0) return 0;
    if (change > 0) ensure_index(table, first + count + change);
    int32_t end = first + count;
    remap(table, first, end, [=](int32_t x) { return x >= first && x < end ? x + change : x; });
    return 0;
}

void move(Node table, int32_t dest, int32_t first, int32_t count) {
    if (record(table)->kind != KIND_HASH || count <= 0 || dest == first) return;
    int32_t lo = std::min(first, dest), hi = std::max(first, dest) + count;
    ensure_index(table, hi);
    int32_t end = first + count, run = dest - first, others = dest > first ? -count : count;
    remap(table, lo, hi, [=](int32_t x) {
        if (x >= first && x < end) return x + run;
        return x >= lo && x < hi ? x + others : x;
    });
}

void rebuild_block(Node table, int32_t hint) {
    int32_t power = power_of_two_at_least(int64_t(hint) + hint / 2);  // 1.5 x hint
    int32_t bound = initial_bound(power), count = std::max(4, power);
    Node n = new_flags(count);
    record(table)->flags = n;
    n = new_slots(count);
    record(table)->slots = n;
    n = new_index(key_count(record(table)));
    record(table)->aux = n;
    n = typed_array::make(4, 4);
    Record* r = record(table);
    r->chains = n;
    r->buckets = count;
    r->bound = bound;
    r->live = r->occupied = 0;
    r->stamp = 0;
    for (int32_t i = 0; i < key_count(record(table)); i++)
        if (!put_cell(table, key_cells(record(table)) + i)) return;  // a nested rebuild entered all
}

}  // namespace zel::hash_table
