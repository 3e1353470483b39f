// The parts the hash table files share, for them alone (every other file
// includes series/hash_table.h): bucket flags, probing and re-placing keys,
// sizing, the mixing and murmur steps of hashing, the record's arrays, the
// stack hold, and what each kind's file lends the common part. Small helpers
// are defined here so that each file inlines them as the one file did.
#pragma once

#include <algorithm>
#include <cstring>

#include "foundation/raise.h"
#include "foundation/stack.h"
#include "scalars/random.h"
#include "series/hash_table.h"
#include "series/typed_array.h"

namespace zel::hash_table::shared {

// ---- Buckets --------------------------------------------------------------

constexpr int FLAG_OCCUPIED = 0;
constexpr int FLAG_DELETED = 1;
constexpr int FLAG_EMPTY = 2;
constexpr uint8_t EMPTY_FLAGS_BYTE = 0xAA;  // sixteen empty buckets a word
constexpr int32_t MAX_BUCKETS = 1 << 30;

inline int flag_at(const uint32_t* flags, uint32_t i) {
    return (flags[i >> 4] >> ((i & 15) * 2)) & 3;
}

inline void set_flag(uint32_t* flags, uint32_t i, int value) {
    uint32_t shift = (i & 15) * 2;
    flags[i >> 4] = (flags[i >> 4] & ~(3u << shift)) | (uint32_t(value) << shift);
}

inline int32_t flag_words(int32_t buckets) { return std::max(1, buckets / 16); }

inline int32_t power_of_two_at_least(int64_t n) {
    int64_t p = 1;
    while (p < n) p <<= 1;
    if (p > MAX_BUCKETS) fire(ERR_internal_no_memory);
    return int32_t(p);
}

inline int32_t initial_buckets(int32_t n) {
    return power_of_two_at_least(int64_t(double(std::max(n, 4)) / LOAD_FACTOR));
}

inline int32_t initial_bound(int32_t buckets) { return int32_t(double(buckets) * LOAD_FACTOR); }

// Resizes and rebuilds of kinds 1 to 4 and of the integer map.
inline int32_t resized_count(int64_t hint) { return std::max(4, power_of_two_at_least(hint)); }
inline int32_t resized_bound(int32_t count) { return int32_t(LOAD_FACTOR * double(count) + 0.5); }

// Triangular probing: the k-th step moves k buckets on.
struct Probe {
    uint32_t mask, start, at, step = 0;
    Probe(uint32_t hash, int32_t buckets)
        : mask(uint32_t(buckets) - 1), start(hash & mask), at(start) {}
    // False once the walk is back at its start bucket.
    bool next() {
        at = (at + ++step) & mask;
        return at != start;
    }
};

// The bucket whose key `equal` accepts, or -1 at an empty bucket or after a
// full circle; deleted buckets are skipped.
template <class Equal>
int32_t probe_find(const uint32_t* flags, int32_t buckets, uint32_t hash, Equal equal) {
    Probe p(hash, buckets);
    do {
        int f = flag_at(flags, p.at);
        if (f == FLAG_EMPTY) return -1;
        if (f == FLAG_OCCUPIED && equal(p.at)) return int32_t(p.at);
    } while (p.next());
    return -1;
}

struct Slot {
    int32_t bucket;  // -1: no room (a full circle without a deleted bucket)
    bool found;      // the bucket holds an equal key
};

// The insertion rule: an equal key's bucket, else the last deleted bucket
// seen on the walk, else the empty bucket that ended it.
template <class Equal>
Slot probe_insert(const uint32_t* flags, int32_t buckets, uint32_t hash, Equal equal) {
    Probe p(hash, buckets);
    int32_t deleted = -1;
    for (;;) {
        int f = flag_at(flags, p.at);
        if (f == FLAG_EMPTY) return {deleted >= 0 ? deleted : int32_t(p.at), false};
        if (f == FLAG_DELETED) deleted = int32_t(p.at);
        else if (equal(p.at)) return {int32_t(p.at), true};
        if (!p.next()) return {deleted, false};
    }
}

// Re-places the occupied keys of old_count buckets into new_count buckets
// without a second key array: each key displaced from a bucket of the old
// range that still waits to be placed is carried on. `items` holds
// max(old_count, new_count) entries; the old flags end up all empty.
template <class Item, class HashOf>
void displace(uint32_t* old_flags, int32_t old_count, uint32_t* new_flags, int32_t new_count,
              Item* items, HashOf hash_of) {
    for (int32_t i = 0; i < old_count; i++) {
        if (flag_at(old_flags, uint32_t(i)) != FLAG_OCCUPIED) continue;
        Item key = items[i];
        set_flag(old_flags, uint32_t(i), FLAG_EMPTY);
        for (;;) {
            Probe p(hash_of(key), new_count);
            while (flag_at(new_flags, p.at) != FLAG_EMPTY) p.next();
            set_flag(new_flags, p.at, FLAG_OCCUPIED);
            if (int32_t(p.at) < old_count && flag_at(old_flags, p.at) == FLAG_OCCUPIED) {
                std::swap(key, items[p.at]);
                set_flag(old_flags, p.at, FLAG_EMPTY);
                continue;
            }
            items[p.at] = key;
            break;
        }
    }
}

// ---- Hashing steps --------------------------------------------------------

// The body of fmix32, which the hash files inline; other files call fmix32.
inline uint32_t mix32(uint32_t h) {
    h ^= h >> 16;
    h *= 0x85EBCA6B;
    h ^= h >> 13;
    h *= 0xC2B2AE35;
    h ^= h >> 16;
    return h;
}

constexpr uint32_t C1 = 0xCC9E2D51;
constexpr uint32_t C2 = 0x1B873593;

inline uint32_t rotl(uint32_t x, int r) { return (x << r) | (x >> (32 - r)); }

class Murmur {
public:
    explicit Murmur(uint32_t seed) : h_(seed) {}
    void block(uint32_t k) {
        h_ ^= scramble(k);
        h_ = rotl(h_, 13);
        h_ = h_ * 5 + 0xE6546B64;
    }
    void tail(uint32_t k) { h_ ^= scramble(k); }
    uint32_t finish(uint32_t length) { return mix32(h_ ^ length); }

private:
    static uint32_t scramble(uint32_t k) { return rotl(k * C1, 15) * C2; }
    uint32_t h_;
};

// MurmurHash3 of n bytes, each passed through `byte` first.
template <class Byte>
uint32_t murmur_bytes(const uint8_t* data, int64_t n, uint32_t seed, Byte byte) {
    Murmur m(seed);
    int64_t blocks = n / 4;
    for (int64_t i = 0; i < blocks; i++) {
        const uint8_t* d = data + i * 4;
        m.block(uint32_t(byte(d[0])) | uint32_t(byte(d[1])) << 8 | uint32_t(byte(d[2])) << 16 |
                uint32_t(byte(d[3])) << 24);
    }
    const uint8_t* t = data + blocks * 4;
    uint32_t k = 0;
    switch (n & 3) {
        case 3: k ^= uint32_t(byte(t[2])) << 16; [[fallthrough]];
        case 2: k ^= uint32_t(byte(t[1])) << 8; [[fallthrough]];
        case 1:
            k ^= byte(t[0]);
            m.tail(k);
    }
    return m.finish(uint32_t(n));
}

// The byte maps of murmur_bytes are types, not functions, so that each
// instance inlines its map instead of calling it for every byte.
struct SameByte {
    uint8_t operator()(uint8_t b) const { return b; }
};
// Symbol names fold ASCII letters only; other bytes hash as they are.
struct AsciiLower {
    uint8_t operator()(uint8_t b) const { return b >= 'A' && b <= 'Z' ? uint8_t(b | 0x60) : b; }
};
constexpr SameByte same_byte;
constexpr AsciiLower ascii_lower;

// The bytes of a series from its head to its tail.
struct Bytes {
    const uint8_t* p = nullptr;
    int64_t n = 0;
};

inline Bytes bytes_of(Node node, int32_t head) {
    if (node == 0) return {};
    Series* s = memory::series_of(node);
    int64_t used = s->used(), from = std::max<int64_t>(0, head);
    return from < used ? Bytes{s->head() + from, used - from} : Bytes{};
}

inline uint32_t name_hash(const uint8_t* name, int64_t n) {
    return murmur_bytes(name, n, random::hash_seed(), ascii_lower);
}

// ---- The record and its arrays --------------------------------------------

inline uint32_t* flags_of(const Record* r) { return typed_array::words(r->flags); }
inline uint32_t* slots_of(const Record* r) { return typed_array::words(r->slots); }
inline Cell* key_cells(const Record* r) { return memory::series_of(r->keys)->cells(); }
inline int32_t key_count(const Record* r) {
    return int32_t(memory::series_of(r->keys)->used() / 16);
}

Node new_flags(int32_t buckets);
Node new_slots(int32_t buckets);

inline void empty_buckets(Record* r) {
    std::memset(flags_of(r), EMPTY_FLAGS_BYTE, size_t(flag_words(r->buckets)) * 4);
    r->live = 0;
    r->occupied = 0;
}

// Takes a bucket found by the insertion rule for a new key.
void claim(Record* r, int32_t bucket, uint32_t slot);

inline void release(Record* r, int32_t bucket) {
    set_flag(flags_of(r), uint32_t(bucket), FLAG_DELETED);
    r->live--;
}

// Keeps series that only C++ holds reachable for the collector while this
// module allocates: cells pushed on the argument stack, popped on the way out.
class StackHold {
public:
    StackHold() : top_(stack::top()) {}
    ~StackHold() { stack::g_top = top_; }
    StackHold(const StackHold&) = delete;
    StackHold& operator=(const StackHold&) = delete;
    Cell* keep(int type, Node node, Node extra = 0) {
        Cell* c = stack::push_new();
        cell::set(c, type, 0, node, extra);
        return c;
    }

private:
    Cell* top_;
};

// A table's growth: rebuilt at the same size or larger (series/hash_table.cpp).
void grow(Node table);
// Kinds 1 and 2 resize in place.
void resize_in_place(Node table, int32_t hint);

// ---- Kind 0 (series/hash_blocks.cpp) --------------------------------------

Node new_index(int32_t count);
Cell* put_cell(Node table, Cell* key);
Cell* find_cell(Node table, Cell* key, int32_t head, int32_t skip, int code, bool last,
                bool reverse);
void delete_index(Node table, int32_t index);
// Forgets every key, keeping the block.
void reset_groups(Record* r);
inline Node chain_of(const Record* r, int32_t number) { return typed_array::pick_ptr(r->chains, number); }

// ---- Kind 1 (series/hash_maps.cpp) ----------------------------------------

Cell* put_map_key(Node table, Cell* key);
Cell* find_map_key(Node table, const Cell* key, int code);
// Puts the pairs from the head. A key met again takes the later value and
// the later pair leaves the block.
void put_pairs(Node table, int32_t head);

// ---- Kind 2 (series/hash_words.cpp) ---------------------------------------

Cell* put_entry(Node table, Cell* key);

// ---- Kinds 3 and 4 (series/hash_keyed.cpp) --------------------------------

inline int32_t entry_cells(const Record* r) { return int32_t(r->aux / 16); }

inline Cell* entry_at(const Record* r, uint32_t offset) {
    return reinterpret_cast<Cell*>(memory::series_of(r->keys)->head() + offset);
}

// Live entries of kinds 3 and 4, in bucket order.
template <typename Visit>
void each_entry(const Record* r, Visit visit) {
    const uint32_t* flags = flags_of(r);
    for (int32_t b = 0; b < r->buckets; b++)
        if (flag_at(flags, uint32_t(b)) == FLAG_OCCUPIED) visit(entry_at(r, slots_of(r)[b]));
}

// A new entry series holding the live entries only, re-entered in order.
void rebuild_entries(Node table, int32_t hint);

// ---- Key equality of kinds 0 and 1 (series/hash_values.cpp) ---------------

// Keys of kinds 0 and 1 match when their type bytes agree and they compare
// equal under the code.
bool keys_equal(Cell* stored, Cell* key, int code);

}  // namespace zel::hash_table::shared
