// Hash tables: the integer map, 32-bit keys to 32-bit values in buffers of
// the tracked heap, made and freed explicitly, never seen by the collector.
// Only its tests call it today: it is kept for the image codecs' and the
// handles' tables, which subsystems still to come will hold in it.
#include "series/hash_table.h"

#include <cstring>

#include "series/hash_shared.h"

namespace zel::hash_table {

using namespace shared;

namespace {

struct Pair {
    uint32_t key, value;
};

uint32_t* heap_flags(int32_t buckets) {
    auto* flags = static_cast<uint32_t*>(memory::heap_alloc(int64_t(flag_words(buckets)) * 4));
    std::memset(flags, EMPTY_FLAGS_BYTE, size_t(flag_words(buckets)) * 4);
    return flags;
}

Pair* pairs_of(IntMap* map) { return reinterpret_cast<Pair*>(map->pairs); }

void resize_pairs(IntMap* map, int32_t count) {
    map->pairs = static_cast<uint32_t*>(memory::heap_realloc(map->pairs, int64_t(count) * 8));
}

void int_map_resize(IntMap* map, int32_t hint) {
    int32_t count = resized_count(hint), bound = resized_bound(count);
    if (map->live >= bound) return;
    int32_t old = map->buckets;
    if (count > old) resize_pairs(map, count);
    uint32_t* fresh = heap_flags(count);
    displace(map->flags, old, fresh, count, pairs_of(map), [](Pair p) { return mix32(p.key); });
    memory::heap_free(map->flags);
    map->flags = fresh;
    if (count < old) resize_pairs(map, count);
    map->buckets = count;
    map->bound = bound;
    map->occupied = map->live;
}

}  // namespace

IntMap* int_map_make(int32_t n) {
    auto* map = static_cast<IntMap*>(memory::heap_alloc_zeroed(sizeof(IntMap)));
    map->buckets = initial_buckets(n);
    map->bound = initial_bound(map->buckets);
    map->flags = heap_flags(map->buckets);
    map->pairs = static_cast<uint32_t*>(memory::heap_alloc(int64_t(map->buckets) * 8));
    return map;
}

void int_map_put(IntMap* map, uint32_t key, uint32_t value) {
    if (map->occupied >= map->bound)
        int_map_resize(map, 2 * map->live < map->buckets ? map->buckets - 1 : map->buckets + 1);
    Pair* pairs = pairs_of(map);
    Slot s = probe_insert(map->flags, map->buckets, mix32(key),
                          [&](uint32_t b) { return pairs[b].key == key; });
    if (!s.found) {
        if (flag_at(map->flags, uint32_t(s.bucket)) == FLAG_EMPTY) map->occupied++;
        set_flag(map->flags, uint32_t(s.bucket), FLAG_OCCUPIED);
        pairs[s.bucket].key = key;
        map->live++;
    }
    pairs[s.bucket].value = value;
}

int32_t int_map_find(IntMap* map, uint32_t key) {
    Pair* pairs = pairs_of(map);
    return probe_find(map->flags, map->buckets, mix32(key),
                      [&](uint32_t b) { return pairs[b].key == key; });
}

uint32_t* int_map_get(IntMap* map, uint32_t key) {
    int32_t b = int_map_find(map, key);
    return b < 0 ? nullptr : &pairs_of(map)[b].value;
}

void int_map_delete(IntMap* map, uint32_t key) {
    int32_t b = int_map_find(map, key);
    if (b < 0) return;
    set_flag(map->flags, uint32_t(b), FLAG_DELETED);
    map->live--;
}

uint32_t* int_map_next(IntMap* map, uint32_t* pair) {
    int32_t from = pair ? int32_t((pair - map->pairs) / 2) + 1 : 0;
    for (int32_t b = from; b < map->buckets; b++)
        if (flag_at(map->flags, uint32_t(b)) == FLAG_OCCUPIED) return map->pairs + 2 * b;
    return nullptr;
}

int32_t int_map_size(IntMap* map) { return map->live; }

void int_map_clear(IntMap* map) {
    std::memset(map->flags, EMPTY_FLAGS_BYTE, size_t(flag_words(map->buckets)) * 4);
    map->live = 0;
    map->occupied = 0;
}

void int_map_free(IntMap* map) {
    if (!map) return;
    memory::heap_free(map->flags);
    memory::heap_free(map->pairs);
    memory::heap_free(map);
}

}  // namespace zel::hash_table
