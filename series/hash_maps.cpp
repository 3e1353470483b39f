// Hash tables, kind 1: the key index of a map!, whose block holds key and
// value in turn (every other cell a key). Words are looked up as set-words;
// a removed pair keeps its key and its bucket, its value cell's header 0.
// Owns put_map_key, find_map_key and put_pairs (reached through put, find
// and put_all) and find_next, the walk over equal keys.
#include "series/hash_table.h"

#include <cstring>

#include "series/hash_shared.h"

namespace zel::hash_table {

using namespace shared;

namespace {

// A map! looks words up as set-words, so `a`, `a:`, `'a` and `:a` name one key.
Cell lookup_form(const Cell* key) {
    Cell k = *key;
    if (type_of(&k) >= TYPE_WORD && type_of(&k) <= TYPE_GET_WORD) cell::set_type(&k, TYPE_SET_WORD);
    return k;
}

}  // namespace

namespace shared {

Cell* put_map_key(Node table, Cell* key) {
    if (record(table)->occupied >= record(table)->bound) grow(table);
    Record* r = record(table);
    int32_t index = int32_t(key - key_cells(r));
    Cell k = lookup_form(key);
    Slot s = probe_insert(flags_of(r), r->buckets, hash_value(&k, false), [&](uint32_t b) {
        Cell stored = lookup_form(key_cells(r) + slots_of(r)[b]);
        return keys_equal(&stored, &k, 2);
    });
    if (s.found) return key_cells(r) + slots_of(r)[s.bucket];
    claim(r, s.bucket, uint32_t(index));
    return key_cells(r) + index;
}

Cell* find_map_key(Node table, const Cell* key, int code) {
    Record* r = record(table);
    Cell k = lookup_form(key);
    int32_t b = probe_find(flags_of(r), r->buckets, hash_value(&k, false), [&](uint32_t b) {
        Cell stored = lookup_form(key_cells(r) + slots_of(r)[b]);
        return keys_equal(&stored, &k, code);
    });
    return b < 0 ? nullptr : key_cells(r) + slots_of(r)[b];
}

void put_pairs(Node table, int32_t head) {
    for (int32_t i = head; i + 1 < key_count(record(table));) {
        Cell* key = key_cells(record(table)) + i;
        Cell* held = put_map_key(table, key);
        if (held == key) {
            i += 2;
            continue;
        }
        held[1] = key[1];
        Series* s = memory::series_of(record(table)->keys);
        std::memmove(key, key + 2, size_t(s->cell_tail() - (key + 2)) * 16);
        s->tail -= 32;
    }
}

}  // namespace shared

Cell* find_next(Node table, const Cell* key, int code, Walk& walk) {
    Record* r = record(table);
    if (walk.done) return nullptr;
    Cell k = lookup_form(key);
    uint32_t mask = uint32_t(r->buckets) - 1;
    auto advance = [&] {
        walk.bucket = int32_t((uint32_t(walk.bucket) + uint32_t(++walk.step)) & mask);
        walk.done = walk.bucket == walk.start;
        return !walk.done;
    };
    if (walk.bucket < 0) {
        walk.bucket = walk.start = int32_t(hash_value(&k, false) & mask);
        walk.step = 0;
    } else if (!advance()) {
        return nullptr;
    }
    do {
        int f = flag_at(flags_of(r), uint32_t(walk.bucket));
        if (f == FLAG_EMPTY) break;
        if (f == FLAG_OCCUPIED) {
            Cell* stored = key_cells(r) + slots_of(r)[walk.bucket];
            Cell form = lookup_form(stored);
            if (keys_equal(&form, &k, code)) return stored;
        }
    } while (advance());
    walk.done = true;
    return nullptr;
}

}  // namespace zel::hash_table
