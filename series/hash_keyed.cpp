// Hash tables, kinds 3 and 4: entries of value cells keyed by a 32-bit word
// (kind 3, temporary bookkeeping) or by a series node (kind 4, the ownership
// table). The entry series holds each entry's key cell and value cells; a
// bucket's slot is the entry's byte offset, and a removed entry's key cell
// header is 0 until the series is rebuilt. Owns put_key, get_key,
// remove_key, rebuild_entries (reached through rehash), and the collector's
// mark_owned and sweep.
#include "series/hash_table.h"

#include <cstring>

#include "foundation/collector.h"
#include "series/hash_shared.h"

namespace zel::hash_table {

using namespace shared;

namespace {

int32_t find_entry(const Record* r, uint32_t key) {
    return probe_find(flags_of(r), r->buckets, mix32(key),
                      [&](uint32_t b) { return entry_at(r, slots_of(r)[b])->data1 == key; });
}

bool entry_live(const Cell* entry) { return entry->header == TYPE_UNSET; }

}  // namespace

namespace shared {

void rebuild_entries(Node table, int32_t hint) {
    int32_t count = resized_count(hint), bound = resized_bound(count);
    if (record(table)->live >= bound) return;
    int32_t cells = entry_cells(record(table));
    StackHold hold;
    Node entries = memory::alloc_cells(int64_t(record(table)->live) * cells);
    hold.keep(TYPE_BLOCK, entries);
    Node flags = new_flags(count);
    hold.keep(TYPE_BINARY, flags);
    Node slots = new_slots(count);
    Record* r = record(table);
    Series* old = memory::series_of(r->keys);
    Series* fresh = memory::series_of(entries);
    uint32_t* new_flag_words = typed_array::words(flags);
    uint32_t* new_slot_words = typed_array::words(slots);
    int32_t live = 0;
    for (Cell* e = old->cells(); e + cells <= old->cell_tail(); e += cells) {
        if (!entry_live(e)) continue;
        uint32_t offset = fresh->used();
        std::memcpy(fresh->tail_ptr(), e, size_t(cells) * 16);
        fresh->tail += uint32_t(cells) * 16;
        Probe p(mix32(e->data1), count);
        while (flag_at(new_flag_words, p.at) != FLAG_EMPTY) p.next();
        set_flag(new_flag_words, p.at, FLAG_OCCUPIED);
        new_slot_words[p.at] = offset;
        live++;
    }
    r->keys = entries;
    r->flags = flags;
    r->slots = slots;
    r->buckets = count;
    r->bound = bound;
    r->live = r->occupied = live;
}

}  // namespace shared

Cell* put_key(Node table, uint32_t key) {
    if (record(table)->occupied >= record(table)->bound) grow(table);
    Record* r = record(table);
    int32_t cells = entry_cells(r);
    Slot s = probe_insert(flags_of(r), r->buckets, mix32(key),
                          [&](uint32_t b) { return entry_at(r, slots_of(r)[b])->data1 == key; });
    if (s.found) {
        Cell* e = entry_at(r, slots_of(r)[s.bucket]);
        for (int32_t i = 1; i < cells; i++) cell::set(e + i, TYPE_UNSET);
        return e + 1;
    }
    memory::alloc_tail_bytes(r->keys, int64_t(cells) * 16);
    r = record(table);
    Series* entries = memory::series_of(r->keys);
    uint32_t offset = entries->used() - uint32_t(cells) * 16;
    Cell* e = entry_at(r, offset);
    for (int32_t i = 0; i < cells; i++) cell::set(e + i, TYPE_UNSET);
    e->data1 = key;
    claim(r, s.bucket, offset);
    return e + 1;
}

Cell* get_key(Node table, uint32_t key) {
    Record* r = record(table);
    int32_t b = find_entry(r, key);
    return b < 0 ? nullptr : entry_at(r, slots_of(r)[b]) + 1;
}

void remove_key(Node table, uint32_t key) {
    Record* r = record(table);
    int32_t b = find_entry(r, key);
    if (b < 0) return;
    entry_at(r, slots_of(r)[b])->header = 0;
    release(r, b);
}

void mark_owned(Node table) {
    const Record* r = record(table);
    int32_t cells = entry_cells(r);
    each_entry(r, [&](const Cell* e) {
        if (collector::marked(e->data1) && collector::marked(e[2].data1)) collector::mark_values(e + 1, e + cells);
    });
}

void sweep(Node table) {
    Record* r = record(table);
    if (r->kind != KIND_KEYED && r->kind != KIND_OWNERSHIP) return;
    auto marked = [](Node n) { return n != 0 && (memory::series_of(n)->flags & SERIES_MARK) != 0; };
    const uint32_t* flags = flags_of(r);
    for (int32_t b = 0; b < r->buckets; b++) {
        if (flag_at(flags, uint32_t(b)) != FLAG_OCCUPIED) continue;
        Cell* e = entry_at(r, slots_of(r)[b]);
        bool dead = !marked(e->data1) || (r->kind == KIND_OWNERSHIP && !marked(e[2].data1));
        if (!dead) continue;
        e->header = 0;
        e->data1 = 0;
        release(r, b);
    }
}

}  // namespace zel::hash_table
