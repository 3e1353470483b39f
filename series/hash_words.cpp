// Hash tables, kind 2: the symbol table (its block holds one symbol! entry
// per symbol: the UTF-8 name and, for a case variant, the canonical id it
// stands for) and the word tables of contexts (their block holds the
// context's words, one word! cell per word). Names hash with ASCII letters
// folded; words hash by the canonical id of their symbol. Owns
// g_symbol_table, symbol_canonical, put_symbol, find_word and put_entry
// (reached through put).
#include "series/hash_table.h"

#include <cstring>

#include "series/hash_shared.h"

namespace zel::hash_table {

using namespace shared;

Node g_symbol_table = 0;

namespace {

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

}  // namespace

uint32_t symbol_canonical(uint32_t id) {
    if (g_symbol_table == 0 || id == 0) return id;
    Series* s = memory::series_of(record(g_symbol_table)->keys);
    if (id > s->used() / 16) return id;
    int32_t alias = int32_t(s->cells()[id - 1].data1);
    return alias > 0 ? uint32_t(alias) : id;
}

namespace shared {

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

}  // namespace shared

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
    Slot s = probe_insert(flags_of(r), r->buckets, mix32(canonical), [&](uint32_t b) {
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

}  // namespace zel::hash_table
