// block! sorting: plain, /case, /reverse, /skip records, /compare as a
// field offset, /all, /stable keeping equal records in order, /part as a
// count (negative: the cells before the head) and as a position, each case
// on a block and on a hash! (whose values all stay findable); the record
// comparator and the meaning of a comparator function's results; every
// refinement error.
#include <climits>
#include <string>

#include "foundation/stack.h"
#include "series/block.h"
#include "tests/support/runtime_env.h"
#include "tests/support/twins.h"

using namespace zel;
using namespace zel::test;

namespace {

class BlockSort : public ::testing::Test {
protected:
    void TearDown() override { stack::g_top = stack::g_arguments; }
    StandInCompare compare_;
};

constexpr int NONE = INT_MIN;
constexpr int AT = 1000;  // a /part position: AT + its index

struct SortCase {
    const char* what;
    const char* cells;
    int head;
    const char* refinements;  // case all reverse stable
    int skip;
    int compare;  // a field offset, or NONE
    int part;
    const char* expected;  // every cell, then the result's head
};

struct Options {
    bool case_ = false, all = false, reverse = false, stable = false;
};

Options options(const std::string& words) {
    Options o;
    o.case_ = words.find("case") != std::string::npos;
    o.all = words.find("all") != std::string::npos;
    o.reverse = words.find("reverse") != std::string::npos;
    o.stable = words.find("stable") != std::string::npos;
    return o;
}

Cell* sort_with(Cell* series, const SortCase& c, Cell* comparator = nullptr) {
    Options o = options(c.refinements);
    Cell skip = integer(c.skip), field = integer(c.compare);
    Cell part = c.part >= AT ? at_head(*series, c.part - AT) : integer(c.part);
    if (c.compare != NONE) comparator = &field;
    return block::sort(series, o.case_, c.skip == NONE ? nullptr : &skip, comparator,
                       c.part == NONE ? nullptr : &part, o.all, o.reverse, o.stable);
}

TEST_F(BlockSort, SortOnBlocksAndHashes) {
    const SortCase cases[] = {
        {"integers", "3 1 2", 0, "", NONE, NONE, NONE, "[1 2 3] 0"},
        {"from the head", "3 1 2 0", 1, "", NONE, NONE, NONE, "[3 0 1 2] 1"},
        {"reverse", "3 1 2", 0, "reverse", NONE, NONE, NONE, "[3 2 1] 0"},
        {"text of any case, stable", "\"b\" \"A\" \"a\" \"B\"", 0, "stable", NONE, NONE, NONE,
         "[\"A\" \"a\" \"b\" \"B\"] 0"},
        {"text by case", "\"b\" \"A\" \"a\" \"B\"", 0, "case", NONE, NONE, NONE, "[\"A\" \"B\" \"a\" \"b\"] 0"},
        {"types that do not compare order by type", "2 b \"a\" 1", 0, "", NONE, NONE, NONE, "[\"a\" 1 2 b] 0"},
        {"records", "c 1 a 2 b 3", 0, "", 2, NONE, NONE, "[a 2 b 3 c 1] 0"},
        {"records by their second field", "x 3 y 1 z 2", 0, "", 2, 2, NONE, "[y 1 z 2 x 3] 0"},
        {"records by every field", "b 2 a 9 b 1", 0, "all", 2, NONE, NONE, "[a 9 b 1 b 2] 0"},
        {"records by the first field, stable", "b 1 a 2 b 3 a 4", 0, "stable", 2, 1, NONE, "[a 2 a 4 b 1 b 3] 0"},
        {"reversed, stable: equal records in order", "b 1 a 2 b 3 a 4", 0, "reverse stable", 2, 1, NONE,
         "[b 1 b 3 a 2 a 4] 0"},
        {"reversed by every field", "b 2 a 9 b 1", 0, "all reverse", 2, NONE, NONE, "[b 2 b 1 a 9] 0"},
        {"part", "d c b a", 0, "", NONE, NONE, 2, "[c d b a] 0"},
        {"part past the tail", "d c b a", 2, "", NONE, NONE, 9, "[d c a b] 2"},
        {"part as a position", "d c b a", 0, "", NONE, NONE, AT + 3, "[b c d a] 0"},
        {"a position before the head", "d c b a", 3, "", NONE, NONE, AT + 1, "[d b c a] 1"},
        {"negative part sorts the cells before the head", "d c b a", 2, "", NONE, NONE, -2, "[c d b a] 0"},
        {"negative part from the tail", "d c b a", 4, "", NONE, NONE, -3, "[d a b c] 1"},
        {"negative part passing the first cell", "d c b a", 1, "", NONE, NONE, -3, "[d c b a] 0"},
        {"part 0", "b a", 0, "", NONE, NONE, 0, "[b a] 0"},
        {"at the tail", "b a", 2, "", NONE, NONE, NONE, "[b a] 2"},
        {"empty", "", 0, "all", NONE, NONE, NONE, "[] 0"},
    };
    for (const SortCase& c : cases) {
        Cell b = at_head(loaded(c.cells), c.head);
        for (Cell series : {b, hash_twin(b)}) {
            bool hashed = type_of(&series) == TYPE_HASH;
            std::string what = std::string(c.what) + (hashed ? " (hash!)" : "");
            Cell* result = sort_with(&series, c);
            EXPECT_EQ(result, &series) << what;
            EXPECT_EQ(all_cells(series) + " " + std::to_string(head_of(series)), c.expected) << what;
            if (hashed) expect_exact_table(series, what);
        }
    }
}

TEST_F(BlockSort, RefinementErrors) {
    struct ErrorCase {
        const char* what;
        const char* refinements;
        int skip;
        int compare;
        int part;
        const char* error;
    };
    const ErrorCase cases[] = {
        {"all without skip", "all", NONE, NONE, NONE, "script/bad-refines"},
        {"a field without skip", "", NONE, 1, NONE, "script/bad-refines"},
        {"a field with all", "all", 2, 1, NONE, "script/bad-refines"},
        {"a field past the record", "", 2, 3, NONE, "script/out-of-range"},
        {"field 0", "", 2, 0, NONE, "script/out-of-range"},
        {"skip 0", "", 0, NONE, NONE, "script/invalid-refine-arg"},
        {"skip not dividing the length", "", 4, NONE, NONE, "script/invalid-refine-arg"},
        {"skip above the length", "", 7, NONE, NONE, "script/invalid-refine-arg"},
        {"skip not dividing the part", "", 2, NONE, 3, "script/invalid-refine-arg"},
    };
    for (const ErrorCase& c : cases) {
        Cell b = loaded("f e d c b a");
        SortCase s{c.what, "", 0, c.refinements, c.skip, c.compare, c.part, ""};
        EXPECT_EQ(error_of([&] { sort_with(&b, s); }), c.error) << c.what;
        EXPECT_EQ(all_cells(b), "[f e d c b a]") << c.what << ": nothing changed";
    }
    Cell b = loaded("b a"), other = loaded("b a"), text = sought("\"x\""), word = sought("w");
    SortCase s{"", "", 0, "", NONE, NONE, NONE, ""};
    EXPECT_EQ(error_of([&] { sort_with(&b, s, &text); }), "script/invalid-refine-arg");
    ErrorThrow e = caught_error([&] { sort_with(&b, s, &text); });
    EXPECT_EQ(shown(e.args[0]), "compare");
    Cell elsewhere = at_head(other, 1);
    EXPECT_EQ(error_of([&] { block::sort(&b, false, nullptr, nullptr, &elsewhere, false, false, false); }),
              "script/invalid-refine-arg");
    EXPECT_EQ(error_of([&] { block::sort(&b, false, &word, nullptr, nullptr, false, false, false); }),
              "script/invalid-refine-arg");
}

TEST_F(BlockSort, SortedHashKeepsEveryValueFindable) {
    Cell h = hash_twin(loaded("\"b\" \"A\" \"a\" \"B\" \"a\""));
    SortCase c{"", "", 0, "case", NONE, NONE, NONE, ""};
    sort_with(&h, c);
    EXPECT_EQ(all_cells(h), "[\"A\" \"B\" \"a\" \"a\" \"b\"]");
    expect_exact_table(h, "sorted");
    for (const char* text : {"\"a\"", "\"A\"", "\"b\"", "\"B\""}) {
        Cell key = sought(text), probe = h;
        block::find(&probe, &key, nullptr, false, true, false, false, nullptr, nullptr, false, false, false, false);
        ASSERT_EQ(type_of(&probe), TYPE_HASH) << text;
        EXPECT_EQ(shown(cells_of(probe)[head_of(probe)]), text);
    }
}

TEST_F(BlockSort, CompareRecords) {
    Cell r = loaded("a 2 a 1");
    Cell* a = cells_of(r);
    Cell* b = cells_of(r) + 2;
    using compare::COMP_SORT;
    EXPECT_EQ(block::compare_records(a, b, COMP_SORT, 0), 0) << "the first field";
    EXPECT_GT(block::compare_records(a, b, COMP_SORT, 1 << block::SORT_FIELD_SHIFT), 0) << "the second field";
    EXPECT_GT(block::compare_records(a, b, COMP_SORT, block::SORT_ALL | 2 << block::SORT_FIELD_SHIFT), 0);
    EXPECT_LT(block::compare_records(a, b, COMP_SORT, block::SORT_ALL | block::SORT_REVERSE | 2 << 2), 0);
    Cell mixed = loaded("\"s\" 1");
    EXPECT_EQ(block::compare_records(cells_of(mixed), cells_of(mixed) + 1, COMP_SORT, 0), TYPE_STRING - TYPE_INTEGER);
}

TEST_F(BlockSort, ComparatorResults) {
    const struct {
        const char* result;
        int order;
    } cases[] = {
        {"true", 1},  {"false", -1}, {"7", 7},   {"-3", -3}, {"0", 0},     {"0.5", 1},
        {"-0.5", -1}, {"0.0", 0},    {"none", -1}, {"x", 1}, {"\"s\"", 1},
    };
    for (const auto& c : cases) {
        Cell v = sought(c.result);
        if (std::string(c.result) == "true" || std::string(c.result) == "false") v = logic_cell(c.result[0] == 't');
        if (std::string(c.result) == "none") v = none_cell();
        EXPECT_EQ(block::comparator_order(&v), c.order) << c.result;
    }
}

}  // namespace
