// Symbols: the symbol table, interning, lazy name strings, and symbol!'s
// compare handler and registration.
#include "words/symbol.h"

#include "series/string.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "foundation/collector.h"
#include "foundation/compare.h"
#include "foundation/datatype.h"
#include "foundation/stack.h"
#include "series/case_folding.h"
#include "series/string.h"
#include "series/unicode.h"
#include "words/words.h"

namespace zel::symbol {

namespace {

Series* table() { return memory::series_of(hash_table::record(hash_table::g_symbol_table)->keys); }

const uint8_t* bytes_of(Node utf8, int32_t& length) {
    Series* s = memory::series_of(utf8);
    length = int32_t(s->used());
    return s->head();
}

uint32_t intern(const uint8_t* bytes, int32_t length, bool any_case) {
    return uint32_t(hash_table::put_symbol(hash_table::g_symbol_table, bytes, length, any_case));
}

void mark_table() { collector::mark_table(hash_table::g_symbol_table); }

}  // namespace

void init_table(Node entries) {
    hash_table::g_symbol_table = 0;
    collector::add_mark_callback(mark_table, "the symbol table");
    Cell block;
    cell::set(&block, TYPE_BLOCK, 0, entries);
    hash_table::g_symbol_table = hash_table::init(TABLE_CAPACITY, &block, hash_table::KIND_SYMBOL, 1);
}

// ---- Making ---------------------------------------------------------------------------

uint32_t make(const char* name) {
    return intern(reinterpret_cast<const uint8_t*>(name), int32_t(std::strlen(name)), false);
}

uint32_t make_from_buffer(const uint8_t* bytes, int32_t length) { return intern(bytes, length, false); }

uint32_t make_from_string(Cell* str, int limit) {
    // Copied out of the string's conversion buffer before the table allocates.
    char* p = unicode::to_utf8(str, limit);
    std::string name(p, size_t(limit));
    return make_from_buffer(reinterpret_cast<const uint8_t*>(name.data()), int32_t(name.size()));
}

uint32_t make_any_case(const char* name) {
    return intern(reinterpret_cast<const uint8_t*>(name), int32_t(std::strlen(name)), true);
}

// ---- Reading --------------------------------------------------------------------------

int count() { return int(table()->used() / sizeof(Cell)); }

Cell* entry(uint32_t id) { return table()->cells() + (id - 1); }

void ensure_name(uint32_t id) {
    if (entry(id)->data2 != 0) return;
    int32_t length = 0;
    const uint8_t* bytes = utf8(id, length);
    // Decoding allocates a new buffer but moves neither the name bytes nor the table.
    Node name = unicode::load_utf8(bytes, length);
    entry(id)->data2 = name;
}

Cell* get(uint32_t id) {
    ensure_name(id);
    return entry(id);
}

Node name_string(uint32_t id) { return get(id)->data2; }

const uint8_t* utf8(uint32_t id, int32_t& length) { return bytes_of(entry(id)->data3, length); }

const char* c_string(uint32_t id) {
    Series* s = memory::series_of(entry(id)->data3);
    if (int64_t(s->tail) + 1 > s->capacity) s = memory::expand_series(s, int64_t(s->capacity) + 1);
    *s->tail_ptr() = 0;
    return reinterpret_cast<const char*>(s->head());
}

int32_t alias(uint32_t id) { return int32_t(entry(id)->data1); }

bool any_type_q(const Cell* word) {
    return resolve(word->data2) == resolve(words::symbol(words::Sym::any_type));
}

// ---- Comparing --------------------------------------------------------------------------

namespace {

// Two UTF-8 names compared as text: character by character, then by length.
int compare_utf8(Node utf8_1, Node utf8_2, int op) {
    if (op == compare::COMP_SAME) return utf8_1 == utf8_2 ? 0 : -1;
    bool fold = op != compare::COMP_STRICT_EQUAL && op != compare::COMP_CASE_SORT;
    int32_t n1 = 0, n2 = 0;
    const uint8_t* p1 = bytes_of(utf8_1, n1);
    const uint8_t* p2 = bytes_of(utf8_2, n2);
    const uint8_t *end1 = p1 + n1, *end2 = p2 + n2;
    bool equality = op == compare::COMP_EQUAL || op == compare::COMP_NOT_EQUAL ||
                    op == compare::COMP_STRICT_EQUAL || op == compare::COMP_FIND;
    if (equality && unicode::count_utf8_chars(p1, end1) != unicode::count_utf8_chars(p2, end2)) return 1;
    while (p1 < end1 && p2 < end2) {
        int32_t c1 = 0, c2 = 0;
        p1 = unicode::fast_decode_utf8_char(p1, c1, end1);
        p2 = unicode::fast_decode_utf8_char(p2, c2, end2);
        if (fold && c1 >= 0 && c2 >= 0) {
            c1 = int32_t(case_folding::upper_char(uint32_t(c1)));
            c2 = int32_t(case_folding::upper_char(uint32_t(c2)));
        }
        if (c1 != c2) return c1 > c2 ? 1 : -1;
    }
    bool rest1 = p1 < end1, rest2 = p2 < end2;
    return rest1 == rest2 ? 0 : rest1 ? 1 : -1;
}

// symbol! compare: the two names as text, through their name strings once
// both are made.
int compare(Cell* value1, Cell* value2, int op) {
    if (type_of(value2) != TYPE_SYMBOL) return -2;
    if (value1->data2 && value2->data2) return string::compare_strings(value1, value2, op, false);
    return compare_utf8(value1->data3, value2->data3, op);
}

}  // namespace

// Words compare their names as strings.
int compare_names(uint32_t id1, uint32_t id2, int op) {
    Cell name1 = *get(id1);
    Cell name2 = *get(id2);
    return string::compare_strings(&name1, &name2, op, false);
}

void init() {
    datatype::TypeRecord r(TYPE_SYMBOL, 0, "symbol!");
    r.set<ACT_COMPARE>(compare);
    datatype::register_type(r);
}

}  // namespace zel::symbol
