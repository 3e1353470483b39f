// Hash tables: the record and its arrays, value hashing, probing, growth,
// the five kinds' put, find and delete, renumbering of hash! indexes,
// symbols and context words, keyed entries, the ownership sweep, and the
// integer map.
//
// Pointers into the table's arrays are taken once per operation: an
// allocation never moves a buffer (a collection started by an allocation
// moves nothing), and only this module replaces a table's arrays. They are
// taken again after every allocation this module makes.
#include "series/hash_table.h"

#include "core/compare.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/collector.h"
#include "core/compare.h"
#include "core/datatype.h"
#include "core/error.h"
#include "core/platform.h"
#include "core/stack.h"
#include "scalars/money.h"
#include "scalars/random.h"
#include "series/case_folding.h"
#include "series/typed_array.h"

namespace zel::hash_table {

Node g_symbol_table = 0;

namespace {

// ---- Buckets --------------------------------------------------------------

constexpr int FLAG_OCCUPIED = 0;
constexpr int FLAG_DELETED = 1;
constexpr int FLAG_EMPTY = 2;
constexpr uint8_t EMPTY_FLAGS_BYTE = 0xAA;  // sixteen empty buckets a word
constexpr int32_t SHIFT_LIMIT = 30000;
constexpr int32_t MAX_BUCKETS = 1 << 30;

int flag_at(const uint32_t* flags, uint32_t i) { return (flags[i >> 4] >> ((i & 15) * 2)) & 3; }

void set_flag(uint32_t* flags, uint32_t i, int value) {
    uint32_t shift = (i & 15) * 2;
    flags[i >> 4] = (flags[i >> 4] & ~(3u << shift)) | (uint32_t(value) << shift);
}

int32_t flag_words(int32_t buckets) { return std::max(1, buckets / 16); }

int32_t power_of_two_at_least(int64_t n) {
    int64_t p = 1;
    while (p < n) p <<= 1;
    if (p > MAX_BUCKETS) fire(ERR_internal_no_memory);
    return int32_t(p);
}

int32_t initial_buckets(int32_t n) {
    return power_of_two_at_least(int64_t(double(std::max(n, 4)) / LOAD_FACTOR));
}

int32_t initial_bound(int32_t buckets) { return int32_t(double(buckets) * LOAD_FACTOR); }

// Resizes and rebuilds of kinds 1 to 4 and of the integer map.
int32_t resized_count(int64_t hint) { return std::max(4, power_of_two_at_least(hint)); }
int32_t resized_bound(int32_t count) { return int32_t(LOAD_FACTOR * double(count) + 0.5); }

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

// ---- Hashing --------------------------------------------------------------

constexpr uint32_t C1 = 0xCC9E2D51;
constexpr uint32_t C2 = 0x1B873593;

uint32_t rotl(uint32_t x, int r) { return (x << r) | (x >> (32 - r)); }

class Murmur {
public:
    explicit Murmur(uint32_t seed) : h_(seed) {}
    void block(uint32_t k) {
        h_ ^= scramble(k);
        h_ = rotl(h_, 13);
        h_ = h_ * 5 + 0xE6546B64;
    }
    void tail(uint32_t k) { h_ ^= scramble(k); }
    uint32_t finish(uint32_t length) { return fmix32(h_ ^ length); }

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

// The characters of a text value from its head (a lookup key: at most its
// limit), whatever the unit of its buffer.
struct Text {
    const uint8_t* p = nullptr;
    int unit = 1;
    int64_t count = 0;

    uint32_t at(int64_t i) const {
        if (unit == 1) return p[i];
        if (unit == 2) {
            uint16_t u;
            std::memcpy(&u, p + i * 2, 2);
            return u;
        }
        uint32_t u;
        std::memcpy(&u, p + i * 4, 4);
        return u;
    }
};

Text text_of(const Cell* value) {
    Text t;
    if (value->data2 == 0) return t;
    Series* s = memory::series_of(value->data2);
    t.unit = s->unit();
    int64_t total = s->used() / uint32_t(t.unit);
    int64_t head = std::max<int64_t>(0, int32_t(value->data1));
    t.count = head < total ? total - head : 0;
    if (type_of(value) == TYPE_LOOKUP_KEY && int32_t(value->data3) >= 0)
        t.count = std::min<int64_t>(t.count, int32_t(value->data3));
    t.p = s->head() + head * t.unit;
    return t;
}

bool text_type(int type) {
    switch (type) {
        case TYPE_STRING: case TYPE_FILE: case TYPE_URL: case TYPE_TAG: case TYPE_EMAIL:
        case TYPE_REF:
            return true;
        default: return false;
    }
}

// Each code point, upper-cased unless case-sensitive, is one 4-byte block.
uint32_t text_hash(const Cell* value, bool case_sensitive) {
    Text t = text_of(value);
    Murmur m(random::hash_seed());
    for (int64_t i = 0; i < t.count; i++) {
        uint32_t cp = t.at(i);
        m.block(case_sensitive ? cp : case_folding::change_char(cp, true));
    }
    return m.finish(uint32_t(t.count * 4));
}

// The bytes of a series from its head to its tail.
struct Bytes {
    const uint8_t* p = nullptr;
    int64_t n = 0;
};

Bytes bytes_of(Node node, int32_t head) {
    if (node == 0) return {};
    Series* s = memory::series_of(node);
    int64_t used = s->used(), from = std::max<int64_t>(0, head);
    return from < used ? Bytes{s->head() + from, used - from} : Bytes{};
}

uint32_t name_hash(const uint8_t* name, int64_t n) {
    return murmur_bytes(name, n, random::hash_seed(), ascii_lower);
}

// Floats compare equal across the sign of zero, so they hash alike too.
template <class F>
F positive_zero(F x) {
    return x == F(0) ? F(0) : x;
}

uint32_t floats32_hash(const Cell* value, int count) {
    float f[3];
    std::memcpy(f, &value->data1, size_t(count) * 4);
    for (int i = 0; i < count; i++) f[i] = positive_zero(f[i]);
    return murmur3_32(f, count * 4);
}

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

// ---- Key equality ---------------------------------------------------------

// A map! looks words up as set-words, so `a`, `a:`, `'a` and `:a` name one key.
Cell lookup_form(const Cell* key) {
    Cell k = *key;
    if (type_of(&k) >= TYPE_WORD && type_of(&k) <= TYPE_GET_WORD) cell::set_type(&k, TYPE_SET_WORD);
    return k;
}

bool case_sensitive_code(int code) { return code == 2 || code == 8 || code == 9; }

bool lookup_key_equal(const Cell* stored, const Cell* key, int code) {
    if (!text_type(type_of(stored))) return false;
    Text a = text_of(stored), b = text_of(key);
    if (a.count != b.count) return false;
    bool fold = !case_sensitive_code(code);
    for (int64_t i = 0; i < a.count; i++) {
        uint32_t x = a.at(i), y = b.at(i);
        if (fold) {
            x = case_folding::change_char(x, true);
            y = case_folding::change_char(y, true);
        }
        if (x != y) return false;
    }
    return true;
}

// Keys of kinds 0 and 1 match when their type bytes agree and they compare
// equal under the code.
bool keys_equal(Cell* stored, Cell* key, int code) {
    if (type_of(key) == TYPE_LOOKUP_KEY) return lookup_key_equal(stored, key, code);
    return type_of(stored) == type_of(key) && compare_values(stored, key, code) == 0;
}

// ---- The record and its arrays --------------------------------------------

uint32_t* flags_of(const Record* r) { return array::words(r->flags); }
uint32_t* slots_of(const Record* r) { return array::words(r->slots); }
Cell* key_cells(const Record* r) { return memory::series_of(r->keys)->cells(); }
int32_t key_count(const Record* r) { return int32_t(memory::series_of(r->keys)->used() / 16); }

Node new_flags(int32_t buckets) {
    int32_t words = flag_words(buckets);
    Node n = array::make(words, 4);
    Series* s = memory::series_of(n);
    std::memset(s->data(), EMPTY_FLAGS_BYTE, size_t(words) * 4);
    s->tail = uint32_t(words) * 4;
    return n;
}

Node new_slots(int32_t buckets) {
    Node n = array::make(buckets, 4);
    memory::series_of(n)->tail = uint32_t(buckets) * 4;
    return n;
}

// Kind 0's cell index array: `count` entries of -1.
Node new_index(int32_t count) {
    Node n = array::make(count, 4);
    Series* s = memory::series_of(n);
    std::memset(s->data(), 0xFF, size_t(count) * 4);
    s->tail = uint32_t(count) * 4;
    return n;
}

void empty_buckets(Record* r) {
    std::memset(flags_of(r), EMPTY_FLAGS_BYTE, size_t(flag_words(r->buckets)) * 4);
    r->live = 0;
    r->occupied = 0;
}

// Takes a bucket found by the insertion rule for a new key.
void claim(Record* r, int32_t bucket, uint32_t slot) {
    uint32_t* flags = flags_of(r);
    if (flag_at(flags, uint32_t(bucket)) == FLAG_EMPTY) r->occupied++;
    set_flag(flags, uint32_t(bucket), FLAG_OCCUPIED);
    slots_of(r)[bucket] = slot;
    r->live++;
}

void release(Record* r, int32_t bucket) {
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

void grow(Node table);

// ---- Kind 0: groups, the cell index array and chains ----------------------

int32_t index_length(const Record* r) { return array::length_q(r->aux); }

int32_t index_entry(const Record* r, int32_t i) {
    return i >= 0 && i < index_length(r) ? int32_t(array::words(r->aux)[i]) : -1;
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

Node chain_of(const Record* r, int32_t number) { return array::pick_ptr(r->chains, number); }

// The cell indexes of a bucket's group, in insertion order.
struct Group {
    Node chain;  // 0 for a group of one
    uint32_t single;
    int32_t count;
    uint32_t at(int32_t i) const { return chain ? array::words(chain)[i] : single; }
};

Group group_of(const Record* r, uint32_t slot) {
    if (int32_t(slot) >= 0) return Group{0, slot, 1};
    Node chain = chain_of(r, -int32_t(slot));
    return Group{chain, 0, array::length_q(chain)};
}

uint32_t first_of_group(const Record* r, uint32_t slot) {
    return int32_t(slot) >= 0 ? slot : array::pick_ptr(chain_of(r, -int32_t(slot)), 1);
}

// Adds a cell to the group of a bucket; a single cell becomes a chain.
void join_group(Node table, int32_t bucket, uint32_t index) {
    Record* r = record(table);
    uint32_t slot = slots_of(r)[bucket];
    if (int32_t(slot) < 0) {
        array::append_ptr(chain_of(r, -int32_t(slot)), index);
        return;
    }
    // The chain's place in the list is taken first, so that the chain is
    // reachable from the moment it exists.
    array::append_ptr(r->chains, 0);
    int32_t number = array::length_q(record(table)->chains);
    Node chain = array::make(4, 4);
    r = record(table);
    array::poke_ptr(r->chains, number, chain);
    array::append_ptr(chain, slot);
    array::append_ptr(chain, index);
    slots_of(record(table))[bucket] = uint32_t(-number);
}

void delete_index(Node table, int32_t index) {
    Record* r = record(table);
    int32_t entry = index_entry(r, index);
    if (entry <= 0) return;
    array::words(r->aux)[index] = uint32_t(-1);
    int32_t bucket = entry - 1;
    int32_t slot = int32_t(slots_of(r)[bucket]);
    if (slot < 0) {
        Node chain = chain_of(r, -slot);
        array::remove_ptr(chain, uint32_t(index));
        if (array::length_q(chain) > 0) return;
        array::poke_ptr(r->chains, -slot, 0);  // a freed chain leaves a 0
    }
    release(r, bucket);
}

// Forgets every key, keeping the block.
void reset_groups(Record* r) {
    empty_buckets(r);
    Series* index = memory::series_of(r->aux);
    std::memset(index->head(), 0xFF, index->used());
    array::clear(r->chains);
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
    array::words(r->aux)[index] = uint32_t(s.bucket + 1);
    if (r->stamp == 0 && identity_hashed(type)) r->stamp = collector::cycle_count() + 1;
    return key_cells(r) + index;
}

// Whether a cell at `index` may answer a search from `head` with `skip`.
bool counts_at(int32_t index, int32_t head, int32_t skip, bool last, bool reverse) {
    if (reverse ? index >= head : index < head) return false;
    int64_t distance = last || reverse ? int64_t(head) - index - 1 : int64_t(index) - head;
    int64_t rest = distance % skip;
    return (rest < 0 ? rest + skip : rest) == 0;
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

// Applies `to` to every stored index of the cells [lo, hi) (each chain once)
// and moves their index array entries to the new places; places left behind
// read -1.
template <class To>
void remap(Node table, int32_t lo, int32_t hi, To to) {
    Record* r = record(table);
    hi = std::min(hi, index_length(r));
    if (lo >= hi) return;
    uint32_t* index = array::words(r->aux);
    uint32_t* slots = slots_of(r);
    std::vector<bool> seen(size_t(array::length_q(r->chains)) + 1);
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
        uint32_t* members = array::words(chain);
        for (int32_t i = 0, n = array::length_q(chain); i < n; i++)
            members[i] = uint32_t(to(int32_t(members[i])));
    }
    std::vector<uint32_t> moved(index + lo, index + hi);
    std::fill(index + lo, index + hi, uint32_t(-1));
    for (int32_t x = lo; x < hi; x++)
        if (int32_t(moved[size_t(x - lo)]) > 0) index[to(x)] = moved[size_t(x - lo)];
}

// ---- Kind 1: map keys -----------------------------------------------------

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

// Puts the pairs from the head. A key met again takes the later value and
// the later pair leaves the block.
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

// ---- Kind 2: symbols and words --------------------------------------------

// Equal names: the same bytes, or with `fold` the same up to ASCII case.
bool same_name(const Cell* entry, const uint8_t* name, int32_t length, bool fold) {
    Bytes b = bytes_of(entry->data3, 0);
    if (b.n != length) return false;
    if (!fold) return std::memcmp(b.p, name, size_t(length)) == 0;
    for (int32_t i = 0; i < length; i++)
        if (ascii_lower(b.p[i]) != ascii_lower(name[i])) return false;
    return true;
}

// Symbol entries match by exact name, words by exact symbol id.
bool same_entry(const Cell* stored, const Cell* key) {
    if (type_of(stored) != type_of(key)) return false;
    if (type_of(key) != TYPE_SYMBOL) return stored->data2 == key->data2;
    Bytes b = bytes_of(key->data3, 0);
    return same_name(stored, b.p, int32_t(b.n), false);
}

Cell* put_entry(Node table, Cell* key) {
    if (record(table)->occupied >= record(table)->bound) grow(table);
    Record* r = record(table);
    int32_t index = int32_t(key - key_cells(r));
    Slot s = probe_insert(flags_of(r), r->buckets, hash_value(key, false), [&](uint32_t b) {
        return same_entry(key_cells(r) + slots_of(r)[b], key);
    });
    if (s.found) return key_cells(r) + slots_of(r)[s.bucket];
    claim(r, s.bucket, uint32_t(index));
    return key;
}

// ---- Kinds 3 and 4: keyed entries -----------------------------------------

int32_t entry_cells(const Record* r) { return int32_t(r->aux / 16); }

Cell* entry_at(const Record* r, uint32_t offset) {
    return reinterpret_cast<Cell*>(memory::series_of(r->keys)->head() + offset);
}

int32_t find_entry(const Record* r, uint32_t key) {
    return probe_find(flags_of(r), r->buckets, fmix32(key),
                      [&](uint32_t b) { return entry_at(r, slots_of(r)[b])->data1 == key; });
}

bool entry_live(const Cell* entry) { return entry->header == TYPE_UNSET; }

// A new entry series holding the live entries only, re-entered in order.
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
    uint32_t* new_flag_words = array::words(flags);
    uint32_t* new_slot_words = array::words(slots);
    int32_t live = 0;
    for (Cell* e = old->cells(); e + cells <= old->cell_tail(); e += cells) {
        if (!entry_live(e)) continue;
        uint32_t offset = fresh->used();
        std::memcpy(fresh->tail_ptr(), e, size_t(cells) * 16);
        fresh->tail += uint32_t(cells) * 16;
        Probe p(fmix32(e->data1), count);
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
    displace(flags_of(r), old, array::words(fresh), count, slots_of(r),
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

}  // namespace

// ---- Hashing --------------------------------------------------------------

uint32_t fmix32(uint32_t h) {
    h ^= h >> 16;
    h *= 0x85EBCA6B;
    h ^= h >> 13;
    h *= 0xC2B2AE35;
    h ^= h >> 16;
    return h;
}

uint32_t murmur3_32_seeded(const void* data, int64_t bytes, uint32_t seed) {
    return murmur_bytes(static_cast<const uint8_t*>(data), bytes, seed, same_byte);
}

uint32_t murmur3_32(const void* data, int64_t bytes) {
    return murmur3_32_seeded(data, bytes, random::hash_seed());
}

uint32_t symbol_canonical(uint32_t id) {
    if (g_symbol_table == 0 || id == 0) return id;
    Series* s = memory::series_of(record(g_symbol_table)->keys);
    if (id > s->used() / 16) return id;
    int32_t alias = int32_t(s->cells()[id - 1].data1);
    return alias > 0 ? uint32_t(alias) : id;
}

uint32_t hash_value(const Cell* v, bool case_sensitive) {
    switch (type_of(v)) {
        case TYPE_UNSET: return uint32_t(-2);
        case TYPE_NONE: return uint32_t(-1);
        case TYPE_DATATYPE: case TYPE_LOGIC: case TYPE_OBJECT: case TYPE_ERROR: case TYPE_PORT:
            return fmix32(v->data1);
        case TYPE_CHAR: case TYPE_INTEGER: case TYPE_MAP: case TYPE_HANDLE: case TYPE_EVENT:
            return fmix32(v->data2);
        case TYPE_NATIVE: case TYPE_ACTION: return fmix32(v->data3);
        case TYPE_WORD: case TYPE_SET_WORD: case TYPE_LIT_WORD: case TYPE_GET_WORD:
        case TYPE_REFINEMENT: case TYPE_ISSUE:
            return fmix32(symbol_canonical(v->data2));
        case TYPE_BLOCK: case TYPE_PAREN: case TYPE_PATH: case TYPE_LIT_PATH: case TYPE_SET_PATH:
        case TYPE_GET_PATH: case TYPE_HASH: case TYPE_IMAGE:
            return murmur3_32(&v->data1, 8);
        case TYPE_POINT2D: return floats32_hash(v, 2);
        case TYPE_POINT3D: return floats32_hash(v, 3);
        case TYPE_FLOAT: case TYPE_PERCENT: case TYPE_TIME: {
            double d = positive_zero(cell::get_float(v));
            return murmur3_32(&d, 8);
        }
        case TYPE_PAIR: return murmur3_32(&v->data2, 8);
        case TYPE_OP: case TYPE_FUNCTION: case TYPE_TRIPLE: case TYPE_TYPESET: case TYPE_DATE:
            return murmur3_32(&v->data1, 12);
        case TYPE_TUPLE: return murmur3_32(&v->data1, std::min(12u, (v->header >> 19) & 0xF));
        case TYPE_BINARY: {
            Bytes b = bytes_of(v->data2, int32_t(v->data1));
            return murmur3_32(b.p, b.n);
        }
        case TYPE_MONEY: {
            Cell c = *v;
            // The type and the sign bit; a zero amount is equal to zero
            // whatever its sign, so it hashes as the positive one.
            c.header = TYPE_MONEY | (money::digits_zero_q(v) ? 0 : v->header & 0x4000);
            return murmur3_32(&c, 16);
        }
        case TYPE_SYMBOL: {
            Bytes b = bytes_of(v->data3, 0);
            return name_hash(b.p, b.n);
        }
        case TYPE_STRING: case TYPE_FILE: case TYPE_URL: case TYPE_TAG: case TYPE_EMAIL:
        case TYPE_REF: case TYPE_LOOKUP_KEY:
            return text_hash(v, case_sensitive);
        default: return 0;
    }
}

int compare_values(Cell* value1, Cell* value2, int op) { return actions::compare_value(value1, value2, op); }

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
        n = array::make(4, 4);
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

// ---- Looking up -----------------------------------------------------------

Cell* find(Node table, const Cell* key, int32_t head, int32_t skip, int code, bool last,
           bool reverse) {
    Cell k = *key;
    switch (record(table)->kind) {
        case KIND_HASH: return find_cell(table, &k, head, skip, code, last, reverse);
        case KIND_MAP: return find_map_key(table, &k, code);
        default: return nullptr;
    }
}

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

// ---- Removing and renumbering ---------------------------------------------

void delete_(Node table, Cell* key) {
    Record* r = record(table);
    if (r->kind == KIND_HASH) {
        delete_index(table, int32_t(key - key_cells(r)));
    } else if (r->kind == KIND_MAP && key[1].header != 0) {
        key[1].header = 0;  // the removed mark; the key keeps its bucket
        r->live--;
    }
}

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

void clear(Node table) {
    Record* r = record(table);
    if (r->kind == KIND_HASH) reset_groups(r);
    else empty_buckets(r);
    array::clear(r->keys);
}

Node copy(Node table, Node keys) {
    Node fresh = memory::alloc_bytes(sizeof(Record));
    Series* s = memory::series_of(fresh);
    std::memcpy(s->data(), record(table), sizeof(Record));
    s->tail = sizeof(Record);
    StackHold hold;
    Cell* holder = hold.keep(TYPE_HASH, record(fresh)->keys, fresh);
    Node n = array::copy(record(table)->flags);
    record(fresh)->flags = n;
    n = array::copy(record(table)->slots);
    record(fresh)->slots = n;
    if (record(table)->kind == KIND_HASH) {
        n = array::copy(record(table)->aux);
        record(fresh)->aux = n;
        n = array::copy(record(table)->chains);
        record(fresh)->chains = n;
        for (int32_t i = 1, count = array::length_q(n); i <= count; i++) {
            Node chain = array::pick_ptr(record(table)->chains, i);
            if (chain == 0) continue;
            Node twin = array::copy(chain);
            array::poke_ptr(record(fresh)->chains, i, twin);
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

void rebuild_block(Node table, int32_t hint) {
    int32_t power = power_of_two_at_least(int64_t(hint) + hint / 2);  // 1.5 x hint
    int32_t bound = initial_bound(power), count = std::max(4, power);
    Node n = new_flags(count);
    record(table)->flags = n;
    n = new_slots(count);
    record(table)->slots = n;
    n = new_index(key_count(record(table)));
    record(table)->aux = n;
    n = array::make(4, 4);
    Record* r = record(table);
    r->chains = n;
    r->buckets = count;
    r->bound = bound;
    r->live = r->occupied = 0;
    r->stamp = 0;
    for (int32_t i = 0; i < key_count(record(table)); i++)
        if (!put_cell(table, key_cells(record(table)) + i)) return;  // a nested rebuild entered all
}

// ---- Keyed entries --------------------------------------------------------

Cell* put_key(Node table, uint32_t key) {
    if (record(table)->occupied >= record(table)->bound) grow(table);
    Record* r = record(table);
    int32_t cells = entry_cells(r);
    Slot s = probe_insert(flags_of(r), r->buckets, fmix32(key),
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

// ---- Symbols and words ----------------------------------------------------

int32_t put_symbol(Node table, const uint8_t* name, int32_t length, bool any_case) {
    if (record(table)->occupied >= record(table)->bound) grow(table);
    Record* r = record(table);
    uint32_t hash = name_hash(name, length);
    auto named = [&](bool fold) {
        return [&r, name, length, fold](uint32_t b) {
            return same_name(key_cells(r) + slots_of(r)[b], name, length, fold);
        };
    };
    // Pass 1: the exact spelling (any case with `any_case`).
    Slot s = probe_insert(flags_of(r), r->buckets, hash, named(any_case));
    if (s.found) return int32_t(slots_of(r)[s.bucket]) + 1;
    int32_t alias = -1;
    if (!any_case) {
        // Pass 2: a case variant makes the new symbol an alias of the
        // variant's canonical symbol (its own alias when it has one).
        int32_t b = probe_find(flags_of(r), r->buckets, hash, named(true));
        if (b >= 0) {
            uint32_t id = slots_of(r)[b] + 1;
            int32_t variant_alias = int32_t(key_cells(r)[id - 1].data1);
            alias = variant_alias > 0 ? variant_alias : int32_t(id);
        }
    }
    Node utf8 = memory::alloc_bytes(int64_t(length) + 1);
    Series* bytes = memory::series_of(utf8);
    std::memcpy(bytes->data(), name, size_t(length));
    bytes->data()[length] = 0;
    bytes->tail = uint32_t(length);
    StackHold hold;
    hold.keep(TYPE_BINARY, utf8);
    Cell* entry = cell::alloc_tail_in_buffer(record(table)->keys);
    cell::set(entry, TYPE_SYMBOL, uint32_t(alias), 0, utf8);
    r = record(table);
    int32_t index = int32_t(entry - key_cells(r));
    claim(r, s.bucket, uint32_t(index));
    return index + 1;
}

int32_t find_word(Node table, uint32_t symbol, bool case_insensitive, Node context,
                  int32_t* new_index) {
    if (context && record(table)->occupied >= record(table)->bound) grow(table);
    Record* r = record(table);
    uint32_t canonical = symbol_canonical(symbol);
    Slot s = probe_insert(flags_of(r), r->buckets, fmix32(canonical), [&](uint32_t b) {
        uint32_t stored = key_cells(r)[slots_of(r)[b]].data2;
        // The same spelling is the common match, and needs no alias look-up.
        return stored == symbol || (case_insensitive && symbol_canonical(stored) == canonical);
    });
    if (s.found) return int32_t(slots_of(r)[s.bucket]);
    if (!context || s.bucket < 0) return -1;
    int32_t n = key_count(r);
    Cell* word = cell::alloc_tail_in_buffer(r->keys);
    cell::set(word, TYPE_WORD, context, symbol, uint32_t(n));
    claim(record(table), s.bucket, uint32_t(n));
    if (new_index) *new_index = n;
    return -1;
}

// ---- Collector hooks and debugging ----------------------------------------

// Live entries of kinds 3 and 4, in bucket order.
template <typename Visit>
void each_entry(const Record* r, Visit visit) {
    const uint32_t* flags = flags_of(r);
    for (int32_t b = 0; b < r->buckets; b++)
        if (flag_at(flags, uint32_t(b)) == FLAG_OCCUPIED) visit(entry_at(r, slots_of(r)[b]));
}

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
            int32_t chains = array::length_q(r->chains);
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

// ---- Integer map ----------------------------------------------------------

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
    displace(map->flags, old, fresh, count, pairs_of(map), [](Pair p) { return fmix32(p.key); });
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
    Slot s = probe_insert(map->flags, map->buckets, fmix32(key),
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
    return probe_find(map->flags, map->buckets, fmix32(key),
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
