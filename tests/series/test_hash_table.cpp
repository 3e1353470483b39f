// Hash tables: sizing, hashing, the five kinds growing and rehashing past
// the load factor, deletion and re-insertion, long collision chains, kind 0
// groups, chains and renumbering, symbols and context words, keyed entries
// with the ownership sweep, and the integer map.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/collector.h"
#include "foundation/datatype.h"
#include "foundation/memory.h"
#include "foundation/platform.h"
#include "scalars/random.h"
#include "series/case_folding.h"
#include "series/hash_table.h"
#include "tests/support/runtime_env.h"

using namespace zel;
namespace ht = zel::hash_table;

namespace {

// ---- Values made by hand ----------------------------------------------------

Cell block_on(Node node) {
    Cell c;
    cell::set(&c, TYPE_BLOCK, 0, node);
    return c;
}
Cell new_block(int capacity) { return block_on(memory::alloc_cells(capacity)); }
Cell* cells(const Cell& block) { return memory::series_of(block.data2)->cells(); }
int32_t length(const Cell& block) { return int32_t(memory::series_of(block.data2)->used() / 16); }
int32_t index_of(const Cell& block, const Cell* c) { return c ? int32_t(c - cells(block)) : -1; }
Cell* append(const Cell& block, const Cell& value) { return &(*cell::alloc_tail(&block) = value); }

Cell integer(int32_t v) {
    Cell c;
    cell::set(&c, TYPE_INTEGER, 0, uint32_t(v));
    return c;
}

Cell number(double d, int type = TYPE_FLOAT) {
    Cell c;
    cell::set(&c, type);
    cell::put_float(&c, d);
    return c;
}

Cell text(const std::u32string& s, int type = TYPE_STRING, int unit = 1) {
    Node n = memory::alloc_chars(int64_t(s.size()), unit);
    Series* b = memory::series_of(n);
    for (size_t i = 0; i < s.size(); i++) std::memcpy(b->data() + i * unit, &s[i], size_t(unit));
    b->tail = uint32_t(s.size()) * uint32_t(unit);
    Cell c;
    cell::set(&c, type, 0, n, 0);
    return c;
}

Cell word(uint32_t symbol, int type = TYPE_WORD) {
    Cell c;
    cell::set(&c, type, 0, symbol, uint32_t(-1));
    return c;
}

// A value of a type that hashes to 0 and compares through the stand-in
// below: every such key shares one probe chain.
Cell colliding(uint32_t n) {
    Cell c;
    cell::set(&c, TYPE_CONTEXT, 0, n);
    return c;
}

// ---- Comparison handlers for types not registered yet ------------------------

int order(double x, double y) { return (x > y) - (x < y); }

int compare_integers(Cell* a, Cell* b, int) {
    return type_of(a) != type_of(b) ? -2 : order(cell::get_int(a), cell::get_int(b));
}

int compare_floats(Cell* a, Cell* b, int) {
    return type_of(a) != type_of(b) ? -2 : order(cell::get_float(a), cell::get_float(b));
}

int compare_colliding(Cell* a, Cell* b, int) { return a->data2 == b->data2 ? 0 : 1; }

int compare_texts(Cell* a, Cell* b, int op) {
    if (type_of(a) != type_of(b)) return -2;
    if (op == 9) return a->data2 == b->data2 && a->data1 == b->data1 ? 0 : 1;
    Series* x = memory::series_of(a->data2);
    Series* y = memory::series_of(b->data2);
    auto at = [](Series* s, uint32_t i) {
        uint32_t u = 0;
        std::memcpy(&u, s->head() + i * s->unit(), size_t(s->unit()));
        return u;
    };
    uint32_t n = x->used() / x->unit(), m = y->used() / y->unit();
    for (uint32_t i = 0; i < n && i < m; i++) {
        uint32_t c = at(x, i), d = at(y, i);
        if (op != 2 && op != 8) {
            c = case_folding::change_char(c, true);
            d = case_folding::change_char(d, true);
        }
        if (c != d) return c < d ? -1 : 1;
    }
    return order(n, m);
}

int compare_words(Cell* a, Cell* b, int op) {
    if (op == 2) return type_of(a) == type_of(b) && a->data2 == b->data2 ? 0 : 1;
    return ht::symbol_canonical(a->data2) == ht::symbol_canonical(b->data2) ? 0 : 1;
}

int compare_blocks(Cell* a, Cell* b, int) {
    return a->data1 == b->data1 && a->data2 == b->data2 ? 0 : 1;
}

class HashTables : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_symbols_ = ht::g_symbol_table;
        ht::g_symbol_table = 0;
        install(TYPE_INTEGER, compare_integers);
        for (int t : {TYPE_FLOAT, TYPE_PERCENT, TYPE_TIME}) install(t, compare_floats);
        for (int t : {TYPE_STRING, TYPE_FILE, TYPE_URL, TYPE_TAG, TYPE_EMAIL, TYPE_REF})
            install(t, compare_texts);
        for (int t = TYPE_WORD; t <= TYPE_ISSUE; t++) install(t, compare_words);
        install(TYPE_CONTEXT, compare_colliding);
        install(TYPE_BLOCK, compare_blocks);
    }
    void TearDown() override {
        for (auto* slot : installed_) *slot = nullptr;
        ht::g_symbol_table = saved_symbols_;
    }

    // Symbols made in a fresh symbol table that words hash through.
    uint32_t symbol(const char* name) {
        if (ht::g_symbol_table == 0) {
            symbols_ = new_block(4);
            ht::g_symbol_table = ht::init(4, &symbols_, ht::KIND_SYMBOL, 1);
        }
        return uint32_t(ht::put_symbol(ht::g_symbol_table, reinterpret_cast<const uint8_t*>(name),
                                       int32_t(std::strlen(name)), false));
    }

  private:
    void install(int type, action::CompareFn fn) {
        datatype::AnyHandler* slot = &datatype::g_action_table[(type << 8) + ACT_COMPARE - 1];
        if (*slot) return;  // the real handler answers
        *slot = reinterpret_cast<datatype::AnyHandler>(fn);
        installed_.push_back(slot);
    }
    std::vector<datatype::AnyHandler*> installed_;
    Node saved_symbols_ = 0;
    Cell symbols_;
};

// ---- Kind 0 by brute force ------------------------------------------------------

struct Search {
    int32_t skip;
    bool last, reverse;
};
const Search SEARCHES[] = {{1, false, false}, {1, true, false}, {1, false, true},
                           {2, false, false}, {2, true, false}, {3, false, true}};

int32_t positive_rest(int64_t a, int32_t b) { return int32_t(((a % b) + b) % b); }

// What a search over the whole block must answer: among the cells of the
// key's type equal to it, the lowest (forward) or highest (last, reverse)
// that the head and the skip admit.
int32_t scan(const Cell& block, Cell key, int32_t head, const Search& s, int code) {
    int32_t best = -1;
    for (int32_t i = 0; i < length(block); i++) {
        Cell* c = cells(block) + i;
        if (type_of(c) != type_of(&key) || ht::compare_values(c, &key, code) != 0) continue;
        bool admitted = s.reverse ? i < head && positive_rest(int64_t(head) - i - 1, s.skip) == 0
                        : s.last  ? i >= head && positive_rest(int64_t(head) - i - 1, s.skip) == 0
                                  : i >= head && (i - head) % s.skip == 0;
        if (admitted && (best < 0 || (s.last || s.reverse ? i > best : i < best))) best = i;
    }
    return best;
}

// Every search of every cell's value from every head agrees with a scan.
void expect_finds_match_scans(Node table, const Cell& block, const std::string& what) {
    for (int32_t k = 0; k < length(block); k++) {
        Cell key = cells(block)[k];
        for (int code : {0, 2})
            for (int32_t head = 0; head <= length(block); head++)
                for (const Search& s : SEARCHES) {
                    Cell* found = ht::find(table, &key, head, s.skip, code, s.last, s.reverse);
                    ASSERT_EQ(index_of(block, found), scan(block, key, head, s, code))
                        << what << ": key at " << k << ", head " << head << ", skip " << s.skip
                        << (s.last ? " last" : "") << (s.reverse ? " reverse" : "") << ", code "
                        << code;
                }
    }
}

// A mix of values with equal keys: case variants, a file beside a string of
// the same text, zeros of both signs.
std::vector<Cell> mixed_values() {
    return {integer(5),   text(U"abc"), integer(7),
            text(U"ABC"), integer(5),   text(U"abc", TYPE_FILE),
            integer(9),   integer(5),   text(U"Abc"),
            integer(7),   number(0.0),  number(-0.0),
            text(U"xyz"), integer(5),   text(U"abc"),
            integer(11),  number(2.5),  text(U"XYZ"),
            integer(7),   text(U"ab")};
}

Cell block_with(const std::vector<Cell>& values) {
    Cell b = new_block(int(values.size()));
    for (const Cell& v : values) append(b, v);
    return b;
}

// Opens `count` cells at `at` in a block, as an insertion does.
void open_gap(const Cell& block, int32_t at, int32_t count) {
    for (int32_t i = 0; i < count; i++) cell::alloc_tail(&block);
    Cell* c = cells(block);
    std::memmove(c + at + count, c + at, size_t(length(block) - count - at) * 16);
}

void close_gap(const Cell& block, int32_t at, int32_t count) {
    Cell* c = cells(block);
    std::memmove(c + at, c + at + count, size_t(length(block) - at - count) * 16);
    memory::series_of(block.data2)->tail -= uint32_t(count) * 16;
}

}  // namespace

// ---- Sizing and hashing -------------------------------------------------------------

TEST_F(HashTables, InitialSizes) {
    const struct {
        int32_t size;
        int kind;
        int32_t buckets, bound;
    } cases[] = {
        {0, ht::KIND_HASH, 8, 6},
        {4, ht::KIND_MAP, 8, 6},
        {100, ht::KIND_HASH, 256, 197},
        {100, ht::KIND_KEYED, 256, 197},
        {3999, ht::KIND_SYMBOL, 8192, 6307},
        {4000, ht::KIND_SYMBOL, 16384, 12615},  // large symbol tables get twice the room
    };
    for (const auto& c : cases) {
        Node t = ht::init(c.size, nullptr, c.kind, 1);
        EXPECT_EQ(ht::record(t)->buckets, c.buckets) << c.size;
        EXPECT_EQ(ht::record(t)->bound, c.bound) << c.size;
        EXPECT_EQ(ht::record(t)->kind, c.kind);
        EXPECT_EQ(ht::record(t)->live, 0);
    }
}

TEST_F(HashTables, MurmurHash3KnownValues) {
    const struct {
        const char* data;
        uint32_t seed, hash;
    } cases[] = {
        {"", 0, 0},
        {"", 1, 0x514E28B7},
        {"", 0xFFFFFFFF, 0x81F16F39},
        {"a", 0x9747B28C, 0x7FA09EA6},
        {"ab", 0x9747B28C, 0x74875592},
        {"abc", 0x9747B28C, 0xC84A62DD},
        {"abcd", 0x9747B28C, 0xF0478627},
        {"Hello, world!", 0x9747B28C, 0x24884CBA},
        {"The quick brown fox jumps over the lazy dog", 0x9747B28C, 0x2FA826CD},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ht::murmur3_32_seeded(c.data, int64_t(std::strlen(c.data)), c.seed), c.hash)
            << c.data;
    EXPECT_EQ(ht::fmix32(1), 0x514E28B7u);
    EXPECT_EQ(ht::murmur3_32("abc", 3), ht::murmur3_32_seeded("abc", 3, random::hash_seed()));
}

TEST_F(HashTables, TextHashesByCodePointWithoutCase) {
    Cell lower = text(U"abc"), upper = text(U"ABC"), wide = text(U"abc", TYPE_STRING, 4),
         file = text(U"abc", TYPE_FILE), other = text(U"abd");
    EXPECT_EQ(ht::hash_value(&lower, false), ht::hash_value(&upper, false));
    EXPECT_NE(ht::hash_value(&lower, true), ht::hash_value(&upper, true));
    EXPECT_EQ(ht::hash_value(&lower, false), ht::hash_value(&wide, false));
    EXPECT_EQ(ht::hash_value(&lower, false), ht::hash_value(&file, false));
    EXPECT_NE(ht::hash_value(&lower, false), ht::hash_value(&other, false));
    const uint32_t points[] = {'A', 'B', 'C'};
    EXPECT_EQ(ht::hash_value(&lower, false), ht::murmur3_32(points, 12));

    // From the head; a lookup key stops at its limit.
    Cell longer = text(U"xxABCdef");
    longer.data1 = 2;
    Cell limited = longer;
    cell::set_type(&limited, ht::TYPE_LOOKUP_KEY);
    limited.data3 = 3;
    EXPECT_EQ(ht::hash_value(&limited, false), ht::hash_value(&lower, false));
    limited.data3 = uint32_t(-1);
    EXPECT_NE(ht::hash_value(&limited, false), ht::hash_value(&lower, false));
    Cell past = text(U"ab");
    past.data1 = 9;  // a head past the tail hashes as empty text
    Cell empty = text(U"");
    EXPECT_EQ(ht::hash_value(&past, false), ht::hash_value(&empty, false));
}

TEST_F(HashTables, EqualValuesHashAlike) {
    auto point = [](int type, float x, float y, float z) {
        Cell c;
        cell::set(&c, type);
        std::memcpy(&c.data1, &x, 4);
        std::memcpy(&c.data2, &y, 4);
        std::memcpy(&c.data3, &z, 4);
        return c;
    };
    auto money = [](uint32_t flags, bool negative) {
        Cell c;
        cell::set(&c, TYPE_MONEY, 0x00123400, 0x56, 0x7800);
        c.header |= flags | (negative ? 0x4000 : 0);
        return c;
    };
    auto tuple = [](uint32_t length, uint32_t spare) {
        Cell c;
        cell::set(&c, TYPE_TUPLE, 0x030201, spare);
        c.header |= length << 19;
        return c;
    };
    const struct {
        const char* what;
        Cell a, b;
    } same[] = {
        {"float zeros", number(0.0), number(-0.0)},
        {"percent zeros", number(0.0, TYPE_PERCENT), number(-0.0, TYPE_PERCENT)},
        {"time zeros", number(0.0, TYPE_TIME), number(-0.0, TYPE_TIME)},
        {"point2D zeros", point(TYPE_POINT2D, 0.0f, -0.0f, 5.0f),
         point(TYPE_POINT2D, -0.0f, 0.0f, 9.0f)},
        {"point3D zeros", point(TYPE_POINT3D, 1.0f, -0.0f, 2.0f),
         point(TYPE_POINT3D, 1.0f, 0.0f, 2.0f)},
        {"money flags other than the sign", money(0x00010000, true), money(0x40000000, true)},
        {"money zeros of either sign",
         [] {
             Cell c;
             cell::set(&c, TYPE_MONEY | 0x4000, 1);  // -USD$0
             return c;
         }(),
         [] {
             Cell c;
             cell::set(&c, TYPE_MONEY, 1);
             return c;
         }()},
        {"tuple bytes past its length", tuple(3, 0), tuple(3, 0x99)},
        {"a new-line marker", integer(4),
         [] {
             Cell c = integer(4);
             c.header |= FLAG_NEW_LINE;
             return c;
         }()},
    };
    for (const auto& c : same)
        EXPECT_EQ(ht::hash_value(&c.a, false), ht::hash_value(&c.b, false)) << c.what;
    const struct {
        const char* what;
        Cell a, b;
    } different[] = {
        {"money signs", money(0, false), money(0, true)},
        {"tuple lengths", tuple(3, 0), tuple(4, 0)},
        {"floats", number(1.0), number(-1.0)},
    };
    for (const auto& c : different)
        EXPECT_NE(ht::hash_value(&c.a, false), ht::hash_value(&c.b, false)) << c.what;
    Cell unset, none;
    cell::set(&unset, TYPE_UNSET);
    cell::set(&none, TYPE_NONE);
    EXPECT_EQ(ht::hash_value(&unset, false), uint32_t(-2));
    EXPECT_EQ(ht::hash_value(&none, false), uint32_t(-1));
}

TEST_F(HashTables, MinusZeroFindsPlusZero) {
    for (int type : {TYPE_FLOAT, TYPE_PERCENT, TYPE_TIME}) {
        Cell b = block_with({number(1.5, type), number(0.0, type)});
        Node t = ht::init(2, &b, ht::KIND_HASH, 1);
        Cell key = number(-0.0, type);
        EXPECT_EQ(index_of(b, ht::find(t, &key, 0, 1, 0, false, false)), 1) << type;
        Cell m = block_with({number(-0.0, type), integer(1)});
        Node map = ht::init(2, &m, ht::KIND_MAP, 0);
        Cell zero = number(0.0, type);
        EXPECT_EQ(index_of(m, ht::find(map, &zero, 0, 1, 0, false, false)), 0) << type;
    }
}

// ---- Kind 0: hash! -------------------------------------------------------------------

TEST_F(HashTables, HashFindsFollowGroupsHeadsSkipsAndCodes) {
    Cell b = block_with(mixed_values());
    Node t = ht::init(length(b), &b, ht::KIND_HASH, 1);
    // Ten groups: 5 7 9 11, "abc" (with "ABC" "Abc"), file "abc", 0.0 (with -0.0), "xyz"
    // (with "XYZ"), 2.5, "ab".
    EXPECT_EQ(ht::record(t)->live, 10);
    expect_finds_match_scans(t, b, "fresh table");

    Cell upper = text(U"ABC");
    EXPECT_EQ(index_of(b, ht::find(t, &upper, 0, 1, 0, false, false)), 1);  // case-insensitive
    EXPECT_EQ(index_of(b, ht::find(t, &upper, 0, 1, 2, false, false)), 3);  // case-sensitive
    Cell file = text(U"ABC", TYPE_FILE);
    EXPECT_EQ(index_of(b, ht::find(t, &file, 0, 1, 0, false, false)), 5);
}

TEST_F(HashTables, HashDeletionAndReinsertion) {
    Cell b = block_with(mixed_values());
    Node t = ht::init(length(b), &b, ht::KIND_HASH, 1);

    ht::delete_(t, cells(b) + 1);   // "abc": its group keeps "ABC", "Abc", "abc"
    ht::delete_(t, cells(b) + 6);   // 9: the group empties
    ht::delete_(t, cells(b) + 6);   // a second time: nothing happens
    ht::delete_(t, cells(b) + 19);  // "ab"
    EXPECT_EQ(ht::record(t)->live, 8);
    Cell nine = integer(9), abc = text(U"abc");
    EXPECT_EQ(ht::find(t, &nine, 0, 1, 0, false, false), nullptr);
    EXPECT_EQ(index_of(b, ht::find(t, &abc, 0, 1, 0, false, false)), 3);

    // Entered again, the cells are found again.
    for (int32_t i : {6, 19, 1}) ASSERT_NE(ht::put(t, cells(b) + i), nullptr);
    EXPECT_EQ(ht::record(t)->live, 10);
    EXPECT_EQ(index_of(b, ht::find(t, &abc, 0, 1, 0, false, false)),
              1);  // the lowest, wherever in its chain
    EXPECT_EQ(index_of(b, ht::find(t, &nine, 0, 1, 0, false, false)), 6);
    expect_finds_match_scans(t, b, "after deleting and putting again");

    // A key deleted alone takes its own bucket back: its walk meets no other
    // deleted bucket before an empty one.
    int32_t occupied = ht::record(t)->occupied;
    ht::delete_(t, cells(b) + 15);
    ht::put(t, cells(b) + 15);
    EXPECT_EQ(ht::record(t)->occupied, occupied);

    // A rewritten cell put again leaves its old group.
    cells(b)[9] = integer(11);
    ht::put(t, cells(b) + 9);
    expect_finds_match_scans(t, b, "after rewriting a cell");

    // Deleting every cell empties the table but keeps the block.
    ht::delete_range(t, 0, 1000);
    EXPECT_EQ(ht::record(t)->live, 0);
    EXPECT_EQ(ht::record(t)->occupied, 0);
    EXPECT_EQ(length(b), 20);
    EXPECT_EQ(ht::find(t, &nine, 0, 1, 0, false, false), nullptr);
    ht::put_all(t, 0, 1);
    expect_finds_match_scans(t, b, "after deleting all and putting again");

    ht::delete_range(t, 15, 100);  // clipped to the block
    Cell eleven = integer(11);
    EXPECT_EQ(index_of(b, ht::find(t, &eleven, 0, 1, 0, false, false)), 9);
}

TEST_F(HashTables, HashGrowsByRebuildingFromTheBlock) {
    Cell b = new_block(0);
    Node t = ht::init(0, &b, ht::KIND_HASH, 1);
    int rebuilds = 0;
    for (int32_t i = 0; i < 3000; i++) {
        Cell* c = append(b, integer(i % 1700));
        if (!ht::put(t, c)) rebuilds++;
        const ht::Record* r = ht::record(t);
        ASSERT_LE(r->occupied, r->bound) << i;
        ASSERT_LT(r->bound, r->buckets);
    }
    EXPECT_GT(rebuilds, 5);
    EXPECT_EQ(ht::record(t)->live, 1700);
    EXPECT_GE(ht::record(t)->buckets, 2048);
    for (int32_t v : {0, 1, 1699, 1000}) {
        Cell key = integer(v);
        EXPECT_EQ(index_of(b, ht::find(t, &key, 0, 1, 0, false, false)), v);
        EXPECT_EQ(index_of(b, ht::find(t, &key, 0, 1, 0, true, false)), v < 1300 ? v + 1700 : v);
    }
}

TEST_F(HashTables, HashProbingThroughManyCollisions) {
    Cell b = new_block(0);
    Node t = ht::init(0, &b, ht::KIND_HASH, 1);
    for (uint32_t i = 0; i < 400; i++) ht::put(t, append(b, colliding(i)));
    EXPECT_EQ(ht::record(t)->live, 400);
    for (uint32_t i = 0; i < 400; i += 2) ht::delete_(t, cells(b) + i);
    EXPECT_EQ(ht::record(t)->live, 200);
    for (uint32_t i = 0; i < 400; i++) {
        Cell key = colliding(i);
        ASSERT_EQ(index_of(b, ht::find(t, &key, 0, 1, 0, false, false)), i % 2 ? int32_t(i) : -1);
    }
    int32_t occupied = ht::record(t)->occupied;
    for (uint32_t i = 0; i < 400; i += 2) ht::put(t, cells(b) + i);
    EXPECT_EQ(ht::record(t)->occupied, occupied);
    for (uint32_t i = 0; i < 400; i++) {
        Cell key = colliding(i);
        ASSERT_EQ(index_of(b, ht::find(t, &key, 0, 1, 0, false, false)), int32_t(i));
    }
}

TEST_F(HashTables, HashRenumbersForInsertionsRemovalsAndMoves) {
    const struct {
        const char* what;
        void (*change)(Node table, const Cell& block);
    } cases[] = {
        {"three cells inserted at 4",
         [](Node t, const Cell& b) {
             int32_t after = length(b) - 4;
             open_gap(b, 4, 3);
             cells(b)[4] = text(U"ABC");
             cells(b)[5] = integer(42);
             cells(b)[6] = integer(7);
             EXPECT_EQ(ht::shift(t, 3, 4, after, true), 0);
             for (int32_t i = 4; i < 7; i++)
                 if (!ht::put(t, cells(b) + i)) break;
         }},
        {"a cell inserted at the head",
         [](Node t, const Cell& b) {
             int32_t after = length(b);
             open_gap(b, 0, 1);
             cells(b)[0] = integer(9);
             ht::shift(t, 1, 0, after, true);
             ht::put(t, cells(b));
         }},
        {"two cells removed at 3",
         [](Node t, const Cell& b) {
             int32_t after = length(b) - 5;
             close_gap(b, 3, 2);
             EXPECT_EQ(ht::shift(t, -2, 5, after, true), 0);
         }},
        {"the last five cells removed",
         [](Node t, const Cell& b) {
             close_gap(b, length(b) - 5, 5);
             ht::shift(t, -5, length(b) + 5, 0, true);
         }},
        {"a run of three moved forward to 10",
         [](Node t, const Cell& b) {
             std::rotate(cells(b) + 2, cells(b) + 5, cells(b) + 13);
             ht::move(t, 10, 2, 3);
         }},
        {"a run of four moved back to 1",
         [](Node t, const Cell& b) {
             std::rotate(cells(b) + 1, cells(b) + 12, cells(b) + 16);
             ht::move(t, 1, 12, 4);
         }},
        {"a run moved to the end",
         [](Node t, const Cell& b) {
             std::rotate(cells(b), cells(b) + 2, cells(b) + length(b));
             ht::move(t, length(b) - 2, 0, 2);
         }},
    };
    for (const auto& c : cases) {
        Cell b = block_with(mixed_values());
        Node t = ht::init(length(b), &b, ht::KIND_HASH, 1);
        c.change(t, b);
        expect_finds_match_scans(t, b, c.what);
    }
}

TEST_F(HashTables, HashShiftOfTooManyCellsAsksForARebuild) {
    Cell b = block_with(mixed_values());
    Node t = ht::init(length(b), &b, ht::KIND_HASH, 1);
    EXPECT_EQ(ht::shift(t, 1, 0, 30001, true), 1);
    EXPECT_EQ(ht::shift(t, 1, 0, 30000, false), 0);
    ht::rebuild_block(t, 100);
    EXPECT_EQ(ht::record(t)->buckets, 256);  // a power of two at or above 1.5 x 100
    expect_finds_match_scans(t, b, "rebuilt");
}

TEST_F(HashTables, HashCopySharesNothing) {
    Cell b = block_with(mixed_values());
    Node t = ht::init(length(b), &b, ht::KIND_HASH, 1);
    Cell twin = block_on(memory::copy_series(memory::series_of(b.data2)));
    Node copy = ht::copy(t, twin.data2);
    for (int32_t i : {0, 1, 3, 4, 7}) ht::delete_(copy, cells(twin) + i);
    expect_finds_match_scans(t, b, "the source after its copy changed");
    Cell five = integer(5), abc = text(U"abc");
    EXPECT_EQ(index_of(twin, ht::find(copy, &five, 0, 1, 0, false, false)), 13);
    EXPECT_EQ(index_of(twin, ht::find(copy, &abc, 0, 1, 0, false, false)), 8);
}

TEST_F(HashTables, HashStampMarksIdentityHashedKeys) {
    Cell numbers = block_with({integer(1), text(U"a")});
    EXPECT_EQ(ht::record(ht::init(2, &numbers, ht::KIND_HASH, 1))->stamp, 0u);
    Cell blocks = block_with({integer(1), new_block(1)});
    EXPECT_EQ(ht::record(ht::init(2, &blocks, ht::KIND_HASH, 1))->stamp,
              collector::cycle_count() + 1);
}

// ---- Kind 1: map! ----------------------------------------------------------------------

TEST_F(HashTables, MapKeysCompareStrictlyWhenBuiltAndByCodeWhenFound) {
    uint32_t a = symbol("a"), upper_a = symbol("A"), b = symbol("b"), c = symbol("c");
    Cell m = block_with({word(a, TYPE_SET_WORD), integer(1), word(upper_a, TYPE_SET_WORD),
                         integer(2), word(b, TYPE_SET_WORD), integer(3), word(c, TYPE_SET_WORD),
                         integer(4), word(b, TYPE_SET_WORD), integer(5)});
    Node t = ht::init(length(m) / 2, &m, ht::KIND_MAP, 0);
    // b: met again takes the later value, and the later pair leaves the block.
    ASSERT_EQ(length(m), 8);
    EXPECT_EQ(ht::record(t)->live, 4);
    EXPECT_EQ(cell::get_int(cells(m) + 5), 5);

    const struct {
        Cell key;
        int code;
        int32_t found;
    } cases[] = {
        {word(upper_a), 0, 0},  // any word type, looked up as a set-word; first equal key
        {word(upper_a, TYPE_LIT_WORD), 2, 2},
        {word(a, TYPE_GET_WORD), 2, 0},
        {word(c), 0, 6},
        {word(symbol("B")), 0, 4},
        {word(symbol("B")), 2, -1},
        {integer(1), 0, -1},
    };
    for (const auto& k : cases)
        EXPECT_EQ(index_of(m, ht::find(t, &k.key, 0, 1, k.code, false, false)), k.found) << k.code;
}

TEST_F(HashTables, MapRemovalMarksThePairAndKeepsTheBucket) {
    Cell m = block_with({text(U"b"), integer(1), text(U"c"), integer(2)});
    Node t = ht::init(2, &m, ht::KIND_MAP, 0);
    Cell* key = ht::find(t, &cells(m)[0], 0, 1, 2, false, false);
    ht::delete_(t, key);
    ht::delete_(t, key);  // already removed: counted once
    EXPECT_EQ(cells(m)[1].header, 0u);
    EXPECT_EQ(ht::record(t)->live, 1);
    EXPECT_EQ(ht::record(t)->occupied, 2);
    Cell upper = text(U"B");
    EXPECT_EQ(ht::find(t, &upper, 0, 1, 0, false, false), key);  // the caller sees the mark
    EXPECT_EQ(ht::find(t, &upper, 0, 1, 2, false, false), nullptr);
}

TEST_F(HashTables, MapGrowsInPlaceAndRemovedKeysKeepTheirBuckets) {
    Cell m = new_block(0);
    Node t = ht::init(0, &m, ht::KIND_MAP, 0);
    auto add = [&](int32_t k) {
        append(m, integer(k));
        append(m, integer(-k));
        Cell* key = cells(m) + length(m) - 2;
        ASSERT_EQ(ht::put(t, key), key);
    };
    for (int32_t k = 0; k < 1000; k++) add(k);
    EXPECT_EQ(ht::record(t)->buckets, 2048);
    for (int32_t k = 0; k < 1000; k += 2)
        ht::delete_(t, ht::find(t, &cells(m)[2 * k], 0, 1, 0, false, false));
    for (int32_t k = 1000; k < 2000; k++) add(k);
    const ht::Record* r = ht::record(t);
    EXPECT_EQ(r->live, 1500);
    EXPECT_EQ(r->occupied, 2000);
    EXPECT_LE(r->occupied, r->bound);
    for (int32_t k = 0; k < 2000; k++) {
        Cell key = integer(k);
        ASSERT_EQ(index_of(m, ht::find(t, &key, 0, 1, 0, false, false)), 2 * k);
    }
    // Growth that asks for fewer buckets than the keys need is skipped.
    int32_t buckets = r->buckets;
    ht::rehash(t, 4);
    EXPECT_EQ(ht::record(t)->buckets, buckets);
    // A key already present is answered, not added.
    append(m, integer(7));
    append(m, integer(0));
    EXPECT_EQ(index_of(m, ht::put(t, cells(m) + length(m) - 2)), 14);
}

TEST_F(HashTables, MapWalksEveryEqualKey) {
    Cell m = block_with({text(U"abc"), integer(1), text(U"xyz"), integer(2), text(U"ABC"),
                         integer(3), text(U"Abc"), integer(4)});
    Node t = ht::init(4, &m, ht::KIND_MAP, 0);
    Cell key = text(U"aBc");
    ht::Walk walk;
    std::vector<int32_t> found;
    while (Cell* c = ht::find_next(t, &key, 0, walk)) found.push_back(index_of(m, c));
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<int32_t>{0, 4, 6}));
    EXPECT_EQ(ht::find_next(t, &key, 0, walk), nullptr);
    ht::Walk strict;
    EXPECT_EQ(index_of(m, ht::find_next(t, &key, 2, strict)), -1);
}

TEST_F(HashTables, LookupKeysMatchTextOfAnyTextType) {
    Cell m = block_with({text(U"hello", TYPE_FILE), integer(1), text(U"world"), integer(2)});
    Node t = ht::init(2, &m, ht::KIND_MAP, 0);
    Cell key = text(U"HELLO there");
    cell::set_type(&key, ht::TYPE_LOOKUP_KEY);
    key.data3 = 5;
    EXPECT_EQ(index_of(m, ht::find(t, &key, 0, 1, 0, false, false)), 0);
    EXPECT_EQ(ht::find(t, &key, 0, 1, 2, false, false), nullptr);
    key.data3 = uint32_t(-1);
    EXPECT_EQ(ht::find(t, &key, 0, 1, 0, false, false), nullptr);
}

// ---- Kind 2: symbols and context words -------------------------------------------------

TEST_F(HashTables, SymbolsFoldAsciiCaseIntoAliases) {
    Cell block = new_block(4);
    Node t = ht::init(4, &block, ht::KIND_SYMBOL, 1);
    ht::g_symbol_table = t;
    auto make = [&](const char* name, bool any_case = false) {
        return ht::put_symbol(t, reinterpret_cast<const uint8_t*>(name), int32_t(std::strlen(name)),
                              any_case);
    };
    auto alias = [&](int32_t id) { return int32_t(cells(block)[id - 1].data1); };
    EXPECT_EQ(make("print"), 1);
    EXPECT_EQ(make("Print"), 2);
    EXPECT_EQ(alias(1), -1);
    EXPECT_EQ(alias(2), 1);
    EXPECT_EQ(make("print"), 1);
    EXPECT_EQ(make("PRINT", true), 1);        // any case: the existing symbol
    EXPECT_EQ(make("\xC3\x89t\xC3\xA9"), 3);  // Été
    EXPECT_EQ(make("\xC3\xA9t\xC3\xA9"), 4);  // été: non-ASCII letters do not fold
    EXPECT_EQ(alias(4), -1);
    EXPECT_EQ(ht::symbol_canonical(2), 1u);

    // The entry: {symbol!, alias, no name string yet, UTF-8 bytes with a NUL past the tail}.
    Cell* entry = cells(block) + 1;
    EXPECT_EQ(type_of(entry), TYPE_SYMBOL);
    EXPECT_EQ(entry->data2, 0u);
    Series* utf8 = memory::series_of(entry->data3);
    EXPECT_EQ(utf8->used(), 5u);
    EXPECT_EQ(std::memcmp(utf8->head(), "Print", 6), 0);
}

TEST_F(HashTables, SymbolTableGrowsSixteenfoldAndKeepsAliasesCanonical) {
    Cell block = new_block(4);
    Node t = ht::init(0, &block, ht::KIND_SYMBOL, 1);
    ht::g_symbol_table = t;
    std::vector<std::string> names;
    for (int i = 0; i < 3000; i++) names.push_back("name-" + std::to_string(i * 7919 % 10007));
    for (size_t i = 0; i < names.size(); i++) {
        const std::string& n = names[i];
        ASSERT_EQ(
            ht::put_symbol(t, reinterpret_cast<const uint8_t*>(n.data()), int32_t(n.size()), false),
            int32_t(i + 1));
        if (i == 6) {
            EXPECT_EQ(ht::record(t)->buckets, 256) << "16 x (8 + 1) rounded up";
        }
    }
    // Case variants made after many growths: each alias names the canonical
    // symbol, never another variant.
    for (const char* prefix : {"NAME-", "Name-", "nAME-", "NaMe-"})
        for (int i = 0; i < 3000; i += 37) {
            std::string n = std::string(prefix) + std::to_string(i * 7919 % 10007);
            int32_t id = ht::put_symbol(t, reinterpret_cast<const uint8_t*>(n.data()),
                                        int32_t(n.size()), false);
            EXPECT_EQ(int32_t(cells(block)[id - 1].data1), i + 1) << n;
        }
    for (size_t i = 0; i < names.size(); i++) {
        const std::string& n = names[i];
        ASSERT_EQ(
            ht::put_symbol(t, reinterpret_cast<const uint8_t*>(n.data()), int32_t(n.size()), false),
            int32_t(i + 1));
    }
    EXPECT_LE(ht::record(t)->occupied, ht::record(t)->bound);
}

TEST_F(HashTables, ContextWordsAreFoundByCanonicalSymbol) {
    uint32_t abc = symbol("abc"), upper = symbol("ABC"), other = symbol("other");
    Node t = ht::init(0, nullptr, ht::KIND_SYMBOL, 0);
    const Node context = 4242;
    int32_t index = -5;
    EXPECT_EQ(ht::find_word(t, abc, true, context, &index), -1);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(ht::find_word(t, upper, true, 0, nullptr), 0);    // the same word, any case
    EXPECT_EQ(ht::find_word(t, upper, false, 0, nullptr), -1);  // exact: absent
    EXPECT_EQ(ht::find_word(t, upper, false, context, &index), -1);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(ht::find_word(t, upper, false, 0, nullptr), 1);
    EXPECT_EQ(ht::find_word(t, other, true, 0, nullptr), -1);

    Cell* w = memory::series_of(ht::record(t)->keys)->cells() + 1;
    EXPECT_EQ(w->header, uint32_t(TYPE_WORD));
    EXPECT_EQ(w->data1, context);
    EXPECT_EQ(w->data2, upper);
    EXPECT_EQ(w->data3, 1u);

    // Growing past the load factor keeps every index.
    std::vector<uint32_t> symbols;
    for (int i = 0; i < 500; i++) symbols.push_back(symbol(("w" + std::to_string(i)).c_str()));
    for (size_t i = 0; i < symbols.size(); i++) ht::find_word(t, symbols[i], true, context, &index);
    for (size_t i = 0; i < symbols.size(); i++)
        ASSERT_EQ(ht::find_word(t, symbols[i], true, 0, nullptr), int32_t(i + 2));
    EXPECT_EQ(ht::find_word(t, abc, false, 0, nullptr), 0);

    // A clone indexes a copy of the words.
    Cell words = block_on(ht::record(t)->keys);
    Node clone = ht::init(502, &words, ht::KIND_SYMBOL, 2);
    EXPECT_NE(ht::record(clone)->keys, ht::record(t)->keys);
    EXPECT_EQ(ht::record(clone)->live, 502);
    for (size_t i = 0; i < symbols.size(); i += 50)
        EXPECT_EQ(ht::find_word(clone, symbols[i], true, 0, nullptr), int32_t(i + 2));
}

// ---- Kinds 3 and 4: keyed entries ---------------------------------------------------------

TEST_F(HashTables, KeyedEntriesGrowAndDropDeletedEntriesOnRebuild) {
    Node t = ht::init(0, nullptr, ht::KIND_KEYED, 2);
    EXPECT_EQ(ht::record(t)->aux, 48u);
    for (uint32_t k = 1; k <= 1000; k++) {
        Cell* v = ht::put_key(t, k * 16);
        cell::set(v, TYPE_INTEGER, 0, k);
        cell::set(v + 1, TYPE_INTEGER, 0, k * 2);
    }
    EXPECT_EQ(ht::record(t)->live, 1000);
    EXPECT_GE(ht::record(t)->buckets, 1024);
    for (uint32_t k = 1; k <= 1000; k += 3) ht::remove_key(t, k * 16);
    ht::remove_key(t, 5);  // absent
    for (uint32_t k = 1; k <= 1000; k++) {
        Cell* v = ht::get_key(t, k * 16);
        if (k % 3 == 1) {
            ASSERT_EQ(v, nullptr) << k;
            continue;
        }
        ASSERT_NE(v, nullptr) << k;
        EXPECT_EQ(v->data2, k);
        EXPECT_EQ(v[1].data2, k * 2);
    }
    // Putting a present key resets its values.
    Cell* v = ht::put_key(t, 32);
    EXPECT_EQ(type_of(v), TYPE_UNSET);
    EXPECT_EQ(type_of(v + 1), TYPE_UNSET);

    // Keep inserting until a rebuild: it keeps the live entries only.
    int32_t live = ht::record(t)->live;
    uint32_t k = 1;  // keys past the multiples of 16 are all new
    while (ht::record(t)->occupied < ht::record(t)->bound) ht::put_key(t, 16 * k++ + 1), live++;
    ht::put_key(t, 16 * k + 1), live++;
    EXPECT_EQ(ht::record(t)->live, live);
    EXPECT_EQ(ht::record(t)->occupied, live);
    EXPECT_EQ(int32_t(memory::series_of(ht::record(t)->keys)->used()), live * 48);
    EXPECT_NE(ht::get_key(t, 48), nullptr);
    EXPECT_EQ(ht::get_key(t, 64), nullptr);
}

TEST_F(HashTables, MostlyDeletedTableIsRebuiltAtItsSize) {
    Node t = ht::init(0, nullptr, ht::KIND_KEYED, 1);
    ASSERT_EQ(ht::record(t)->buckets, 8);
    for (uint32_t k = 1; k <= 6; k++) ht::put_key(t, k);
    for (uint32_t k = 1; k <= 5; k++) ht::remove_key(t, k);
    ht::put_key(t, 99);  // reaches the bound
    EXPECT_EQ(ht::record(t)->buckets, 8);
    EXPECT_EQ(ht::record(t)->live, 2);
    EXPECT_EQ(ht::record(t)->occupied, 2);
    EXPECT_NE(ht::get_key(t, 6), nullptr);
    EXPECT_NE(ht::get_key(t, 99), nullptr);
}

TEST_F(HashTables, ClearEmptiesTheTableAndItsKeys) {
    Node keyed = ht::init(4, nullptr, ht::KIND_KEYED, 1);
    for (uint32_t k = 1; k < 50; k++) ht::put_key(keyed, k);
    ht::clear(keyed);
    EXPECT_EQ(ht::record(keyed)->live, 0);
    EXPECT_EQ(memory::series_of(ht::record(keyed)->keys)->used(), 0u);
    EXPECT_EQ(ht::get_key(keyed, 7), nullptr);
    ht::put_key(keyed, 7);
    EXPECT_NE(ht::get_key(keyed, 7), nullptr);

    Cell m = block_with({text(U"a"), integer(1)});
    Node map = ht::init(1, &m, ht::KIND_MAP, 0);
    ht::clear(map);
    EXPECT_EQ(length(m), 0);
    EXPECT_EQ(ht::record(map)->occupied, 0);
}

TEST_F(HashTables, SweepDropsEntriesOfUnmarkedSeries) {
    Node owner = memory::alloc_cells(2), dead_owner = memory::alloc_cells(2);
    std::vector<Node> series;
    for (int i = 0; i < 6; i++) series.push_back(memory::alloc_bytes(8));
    Node ownership = ht::init(8, nullptr, ht::KIND_OWNERSHIP, 3);
    Node keyed = ht::init(8, nullptr, ht::KIND_KEYED, 1);
    for (int i = 0; i < 6; i++) {
        Cell* e = ht::put_key(ownership, series[size_t(i)]);
        cell::set(e + 1, TYPE_OBJECT, i == 2 ? dead_owner : owner);
        ht::put_key(keyed, series[size_t(i)]);
    }
    auto mark = [](Node n, bool on) {
        Series* s = memory::series_of(n);
        s->flags = on ? s->flags | SERIES_MARK : s->flags & ~SERIES_MARK;
    };
    for (int i : {0, 2, 3, 5}) mark(series[size_t(i)], true);
    mark(owner, true);
    ht::sweep(ownership);
    ht::sweep(keyed);
    for (Node n : series) mark(n, false);
    mark(owner, false);

    const bool kept_owned[] = {true, false, false, true, false, true};  // 2's owner is dead
    const bool kept_keyed[] = {true, false, true, true, false, true};
    for (int i = 0; i < 6; i++) {
        EXPECT_EQ(ht::get_key(ownership, series[size_t(i)]) != nullptr, kept_owned[i]) << i;
        EXPECT_EQ(ht::get_key(keyed, series[size_t(i)]) != nullptr, kept_keyed[i]) << i;
    }
    EXPECT_EQ(ht::record(ownership)->live, 3);
    EXPECT_EQ(ht::record(keyed)->live, 4);
}

TEST_F(HashTables, DumpListsDeletedThenLiveBuckets) {
    Node t = ht::init(0, nullptr, ht::KIND_KEYED, 1);
    for (uint32_t k = 1; k <= 3; k++) ht::put_key(t, k);
    ht::remove_key(t, 2);
    std::string out;
    platform::set_output_sink(
        [](void* context, const char* bytes, size_t n) {
            static_cast<std::string*>(context)->append(bytes, n);
        },
        &out);
    ht::dump(t);
    platform::reset_output_sink();
    size_t deleted = out.find("== Deleted keys ==\n"), alive = out.find("== Alive keys ==\n");
    ASSERT_EQ(deleted, 1u) << out;  // after a line break
    ASSERT_NE(alive, std::string::npos) << out;
    auto lines = [&](size_t from, size_t to) {
        return std::count(out.begin() + long(from), out.begin() + long(to), '\n') - 1;
    };
    EXPECT_EQ(lines(deleted, alive), 1);
    EXPECT_EQ(lines(alive, out.size()), 2);
}

// ---- Integer map ------------------------------------------------------------------------

TEST_F(HashTables, IntegerMapGrowsDeletesIteratesAndFreesItsBlocks) {
    size_t blocks = memory::heap_block_count();
    ht::IntMap* map = ht::int_map_make(0);
    EXPECT_EQ(map->buckets, 8);
    for (uint32_t k = 0; k < 5000; k++) ht::int_map_put(map, k * 7, k);
    ht::int_map_put(map, 14, 100);  // overwrite
    EXPECT_EQ(ht::int_map_size(map), 5000);
    EXPECT_LE(map->occupied, map->bound);
    EXPECT_EQ(*ht::int_map_get(map, 14), 100u);
    EXPECT_EQ(*ht::int_map_get(map, 7 * 4999), 4999u);
    EXPECT_EQ(ht::int_map_get(map, 3), nullptr);
    EXPECT_EQ(ht::int_map_find(map, 3), -1);

    for (uint32_t k = 0; k < 5000; k += 2) ht::int_map_delete(map, k * 7);
    ht::int_map_delete(map, 3);
    EXPECT_EQ(ht::int_map_size(map), 2500);
    uint64_t sum = 0;
    int visited = 0;
    for (uint32_t* p = ht::int_map_next(map, nullptr); p; p = ht::int_map_next(map, p)) {
        EXPECT_EQ(p[0] % 14, 7u);
        EXPECT_EQ(p[1], p[0] / 7);
        sum += p[1];
        visited++;
    }
    EXPECT_EQ(visited, 2500);
    EXPECT_EQ(sum, 2500ull * 2500ull);

    ht::int_map_clear(map);
    EXPECT_EQ(ht::int_map_size(map), 0);
    EXPECT_EQ(ht::int_map_next(map, nullptr), nullptr);
    ht::int_map_free(map);
    ht::int_map_free(nullptr);
    EXPECT_EQ(memory::heap_block_count(), blocks);
}

TEST_F(HashTables, IntegerMapRebuildsAtItsSizeWhenMostlyDeleted) {
    ht::IntMap* map = ht::int_map_make(0);
    for (uint32_t k = 1; k <= 6; k++) ht::int_map_put(map, k, k);
    for (uint32_t k = 1; k <= 5; k++) ht::int_map_delete(map, k);
    ht::int_map_put(map, 50, 5);
    EXPECT_EQ(map->buckets, 8);
    EXPECT_EQ(map->occupied, 2);
    EXPECT_EQ(*ht::int_map_get(map, 6), 6u);
    EXPECT_EQ(*ht::int_map_get(map, 50), 5u);
    ht::int_map_free(map);
}
