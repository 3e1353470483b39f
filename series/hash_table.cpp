// Hash tables, the common part: making a table, the put, find and delete
// that hand a key to its kind's own file, emptying, copying, growth and
// rehashing (kinds 1 and 2 resize in place here), the bucket arrays and the
// claim of a bucket, the collector's mark of every kind, and the dump.
//
// Each kind's keys are the business of a file of their own:
//   series/hash_blocks.cpp   kind 0, the index of a hash! block: groups of
//                            equal cells, chains, renumbering
//   series/hash_maps.cpp     kind 1, the key index of a map!
//   series/hash_words.cpp    kind 2, the symbol table and context word tables
//   series/hash_keyed.cpp    kinds 3 and 4, keyed entries and the ownership sweep
//   series/hash_values.cpp   hashing of values and key equality (kinds 0 to 2)
//   series/hash_int_map.cpp  the integer map
// and series/hash_shared.h holds what they share: bucket flags, probing,
// sizing, the hashing steps and the record's arrays.
//
// Pointers into the table's arrays are taken once per operation: an
// allocation never moves a buffer (a collection started by an allocation
// moves nothing), and only these files replace a table's arrays. They are
// taken again after every allocation these files make.
#include "series/hash_table.h"

#include <algorithm>
#include <cstring>

#include "foundation/collector.h"
#include "foundation/platform.h"
#include "series/hash_shared.h"
#include "series/typed_array.h"

namespace zel::hash_table {

using namespace shared;

namespace shared {

Node new_flags(int32_t buckets) {
    int32_t words = flag_words(buckets);
    Node n = typed_array::make(words, 4);
    Series* s = memory::series_of(n);
    std::memset(s->data(), EMPTY_FLAGS_BYTE, size_t(words) * 4);
    s->tail = uint32_t(words) * 4;
    return n;
}

Node new_slots(int32_t buckets) {
    Node n = typed_array::make(buckets, 4);
    memory::series_of(n)->tail = uint32_t(buckets) * 4;
    return n;
}

void claim(Record* r, int32_t bucket, uint32_t slot) {
    uint32_t* flags = flags_of(r);
    if (flag_at(flags, uint32_t(bucket)) == FLAG_EMPTY) r->occupied++;
    set_flag(flags, uint32_t(bucket), FLAG_OCCUPIED);
    slots_of(r)[bucket] = slot;
    r->live++;
}

// In place: a larger key slot array, fresh flags, keys displaced.
void resize_in_place(Node table, int32_t hint) {
    int32_t count = resized_count(hint), bound = resized_bound(count);
    Record* r = record(table);
    int32_t keys = r->kind == KIND_MAP ? r->occupied : r->live;  // removed map keys keep buckets
    if (keys >= bound) return;
    int32_t old = r->buckets;
    if (count > old) {
        Series* s = memory::series_of(r->slots);
        if (int64_t(s->offset) + int64_t(count) * 4 > s->capacity)
            s = memory::expand_series(s, int64_t(count) * 4);
        s->tail = s->offset + uint32_t(count) * 4;
    }
    Node fresh = new_flags(count);
    r = record(table);
    const Record* keys_of = r;
    displace(flags_of(r), old, typed_array::words(fresh), count, slots_of(r),
             [&](uint32_t index) { return hash_value(key_cells(keys_of) + index, false); });
    r->flags = fresh;
    r->buckets = count;
    r->bound = bound;
    if (r->kind != KIND_MAP) r->occupied = r->live;
}

// The size hint of growth: rebuild at the same size when deleted buckets
// dominate, else double; a full word table grows sixteen-fold.
void grow(Node table) {
    Record* r = record(table);
    int64_t hint = 2 * int64_t(r->live) < r->buckets ? r->buckets - 1 : int64_t(r->buckets) + 1;
    if (r->kind == KIND_MAP) hint = int64_t(r->buckets) + 1;
    else if (r->kind == KIND_SYMBOL) hint *= 16;
    rehash(table, int32_t(std::min<int64_t>(hint, MAX_BUCKETS)));
}

}  // namespace shared

// ---- Making and filling ---------------------------------------------------

Node init(int32_t size, const Cell* source, int kind, int option) {
    if (size < 0) size = 0;
    if (kind == KIND_SYMBOL && size >= 4000) size *= 2;
    int32_t buckets = initial_buckets(size);
    // A hash! cell on the stack keeps the table and its keys alive while
    // they are made and filled.
    StackHold hold;
    Cell* holder = hold.keep(TYPE_HASH, source ? source->data2 : 0);
    Node table = memory::alloc_bytes(sizeof(Record));
    Series* s = memory::series_of(table);
    std::memset(s->data(), 0, sizeof(Record));
    s->tail = sizeof(Record);
    holder->data3 = table;
    record(table)->kind = kind;
    record(table)->buckets = buckets;
    record(table)->bound = initial_bound(buckets);
    Node n = new_flags(buckets);
    record(table)->flags = n;
    n = new_slots(buckets);
    record(table)->slots = n;
    if (kind == KIND_HASH) {
        n = new_index(size);
        record(table)->aux = n;
        n = typed_array::make(4, 4);
        record(table)->chains = n;
    } else if (kind == KIND_KEYED || kind == KIND_OWNERSHIP) {
        record(table)->aux = uint32_t(16 * (option + 1));
        record(table)->stamp = collector::cycle_count() + 1;
    }
    int32_t head = source ? int32_t(source->data1) : 0;
    if (!source || kind >= KIND_KEYED) {
        n = memory::alloc_cells(size);
    } else if (kind == KIND_SYMBOL && option == 2) {
        n = memory::copy_series_part(source->data2, head, INT32_MAX);
        head = 0;
    } else {
        n = source->data2;
    }
    record(table)->keys = n;
    holder->data2 = n;
    if (source && kind <= KIND_SYMBOL) put_all(table, head, kind == KIND_MAP ? 2 : 1);
    return table;
}

Cell* put(Node table, Cell* key) {
    switch (record(table)->kind) {
        case KIND_HASH: return put_cell(table, key);
        case KIND_MAP: return put_map_key(table, key);
        case KIND_SYMBOL: return put_entry(table, key);
        default: return nullptr;
    }
}

void put_all(Node table, int32_t head, int32_t skip) {
    if (record(table)->kind == KIND_MAP) {
        put_pairs(table, head);
        return;
    }
    if (skip < 1) skip = 1;
    for (int32_t i = std::max(head, 0); i < key_count(record(table)); i += skip)
        if (!put(table, key_cells(record(table)) + i)) return;  // rebuilt: all were entered
}

// ---- Looking up, removing, emptying and copying ----------------------------

Cell* find(Node table, const Cell* key, int32_t head, int32_t skip, int code, bool last,
           bool reverse) {
    Cell k = *key;
    switch (record(table)->kind) {
        case KIND_HASH: return find_cell(table, &k, head, skip, code, last, reverse);
        case KIND_MAP: return find_map_key(table, &k, code);
        default: return nullptr;
    }
}

void delete_(Node table, Cell* key) {
    Record* r = record(table);
    if (r->kind == KIND_HASH) {
        delete_index(table, int32_t(key - key_cells(r)));
    } else if (r->kind == KIND_MAP && key[1].header != 0) {
        key[1].header = 0;  // the removed mark; the key keeps its bucket
        r->live--;
    }
}

void clear(Node table) {
    Record* r = record(table);
    if (r->kind == KIND_HASH) reset_groups(r);
    else empty_buckets(r);
    typed_array::clear(r->keys);
}

Node copy(Node table, Node keys) {
    Node fresh = memory::alloc_bytes(sizeof(Record));
    Series* s = memory::series_of(fresh);
    std::memcpy(s->data(), record(table), sizeof(Record));
    s->tail = sizeof(Record);
    StackHold hold;
    Cell* holder = hold.keep(TYPE_HASH, record(fresh)->keys, fresh);
    Node n = typed_array::copy(record(table)->flags);
    record(fresh)->flags = n;
    n = typed_array::copy(record(table)->slots);
    record(fresh)->slots = n;
    if (record(table)->kind == KIND_HASH) {
        n = typed_array::copy(record(table)->aux);
        record(fresh)->aux = n;
        n = typed_array::copy(record(table)->chains);
        record(fresh)->chains = n;
        for (int32_t i = 1, count = typed_array::length_q(n); i <= count; i++) {
            Node chain = typed_array::pick_ptr(record(table)->chains, i);
            if (chain == 0) continue;
            Node twin = typed_array::copy(chain);
            typed_array::poke_ptr(record(fresh)->chains, i, twin);
        }
    }
    if (keys == 0) keys = memory::copy_series(memory::series_of(record(table)->keys));
    record(fresh)->keys = keys;
    holder->data2 = keys;
    return fresh;
}

void rehash(Node table, int32_t hint) {
    switch (record(table)->kind) {
        case KIND_HASH: rebuild_block(table, hint); break;
        case KIND_MAP: case KIND_SYMBOL: resize_in_place(table, hint); break;
        default: rebuild_entries(table, hint); break;
    }
}

// ---- Collector hooks and debugging ----------------------------------------

void mark(Node table) {
    Record* r = record(table);
    collector::mark_node(r->flags);
    collector::mark_node(r->slots);
    if (r->kind == KIND_HASH) {
        collector::mark_node(r->aux);
        collector::mark_node(r->chains);
    }
    if (!r->keys) return;  // a table being made: its arrays are all there is yet
    switch (r->kind) {
        case KIND_HASH: {
            int32_t chains = typed_array::length_q(r->chains);
            for (int32_t i = 1; i <= chains; i++) collector::mark_node(chain_of(r, i));
            collector::mark_block(r->keys);
            break;
        }
        case KIND_MAP: case KIND_SYMBOL:
            collector::mark_block(r->keys);
            break;
        case KIND_KEYED: {
            collector::mark_node(r->keys);
            int32_t cells = entry_cells(r);
            each_entry(r, [&](const Cell* e) {
                collector::mark_any(e->data1);
                collector::mark_values(e + 1, e + cells);
            });
            break;
        }
        default:  // the ownership table: its entries are kept by mark_owned and the sweep
            collector::mark_node(r->keys);
            break;
    }
}

void dump(Node table) {
    Record* r = record(table);
    platform::print_line({""});
    const struct {
        const char* title;
        int flag;
    } parts[] = {{"== Deleted keys ==", FLAG_DELETED}, {"== Alive keys ==", FLAG_OCCUPIED}};
    for (const auto& part : parts) {
        platform::print_line({part.title});
        for (int32_t b = 0; b < r->buckets; b++)
            if (flag_at(flags_of(r), uint32_t(b)) == part.flag)
                platform::print_line({b, ": ", int32_t(slots_of(r)[b])});
    }
}

}  // namespace zel::hash_table
