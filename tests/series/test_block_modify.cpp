// block! modification: append and insert (result positions, /part, /only,
// /dup), change (/part 0, a value longer than the rest), take and take/deep,
// swap and trim, each case run on a block and on a hash! of the same cells
// (whose table must stay exact); blocks added to or changed by themselves,
// also when the buffer must grow first; growth sizes and the sizes that
// raise no-memory.
#include <climits>
#include <string>

#include "foundation/collector.h"
#include "foundation/stack.h"
#include "series/block.h"
#include "series/hash.h"
#include "series/series.h"
#include "tests/support/runtime_env.h"
#include "tests/support/twins.h"

using namespace zel;
using namespace zel::test;

namespace {

class BlockModify : public ::testing::Test {
protected:
    void TearDown() override { stack::g_top = stack::g_arguments; }
    StandInCompare compare_;
};

int capacity_cells(const Cell& block) { return memory::series_of(node_of(block))->capacity / int(sizeof(Cell)); }

// The cells and the result's head index, as "[a b c] 2".
std::string outcome(const Cell& series, const Cell* result) {
    return all_cells(series) + " " + std::to_string(head_of(*result));
}

struct AddCase {
    const char* what;
    const char* cells;
    int head;
    const char* value;
    int part;  // -1: none
    bool only;
    int dup;
    const char* appended;  // append's outcome
    const char* inserted;  // insert's outcome
};

TEST_F(BlockModify, AppendAndInsert) {
    const AddCase cases[] = {
        {"a value", "a b", 1, "x", -1, false, 1, "[a b x] 0", "[a x b] 2"},
        {"a run of cells", "a b", 0, "[x y]", -1, false, 1, "[a b x y] 0", "[x y a b] 2"},
        {"a paren is a run", "a b", 0, "(x y)", -1, false, 1, "[a b x y] 0", "[x y a b] 2"},
        {"a block as one cell", "a b", 0, "[x y]", -1, true, 1, "[a b [x y]] 0", "[[x y] a b] 1"},
        {"dup of a run", "a b", 1, "[x y]", -1, false, 3, "[a b x y x y x y] 0", "[a x y x y x y b] 7"},
        {"dup of a value", "a b", 2, "x", -1, false, 2, "[a b x x] 0", "[a b x x] 4"},
        {"part of a run", "a b", 0, "[x y z]", 2, false, 1, "[a b x y] 0", "[x y a b] 2"},
        {"part past the run", "a", 0, "[x y]", 5, false, 2, "[a x y x y] 0", "[x y x y a] 4"},
        {"a head past the tail", "a b", 5, "x", -1, false, 1, "[a b x] 0", "[a b x] 3"},
        {"an empty run adds nothing", "a b", 1, "[]", -1, false, 3, "[a b] 1", "[a b] 1"},
        {"part 0 adds nothing", "a b", 1, "[x]", 0, false, 1, "[a b] 1", "[a b] 1"},
        {"into an empty block", "", 0, "[x y]", -1, false, 1, "[x y] 0", "[x y] 2"},
    };
    for (const AddCase& c : cases) {
        Cell value = sought(c.value);
        for (bool append : {true, false}) {
            Cell b = at_head(loaded(c.cells), c.head);
            for (Cell series : {b, hash_twin(b)}) {
                auto add = append ? block::append : block::insert;
                Cell* result = add(&series, &value, c.part, c.only, c.dup);
                std::string what = std::string(c.what) + (append ? " (append" : " (insert") +
                                   (type_of(&series) == TYPE_HASH ? ", hash!)" : ")");
                EXPECT_EQ(outcome(series, result), append ? c.appended : c.inserted) << what;
                if (type_of(&series) == TYPE_HASH) expect_exact_table(series, what);
            }
        }
    }
}

struct ChangeCase {
    const char* what;
    const char* cells;
    int head;
    const char* value;
    int part;
    bool only;
    int dup;
    const char* expected;
};

TEST_F(BlockModify, Change) {
    const ChangeCase cases[] = {
        {"a value", "a b c", 0, "x", -1, false, 1, "[x b c] 1"},
        {"a run replaces as many", "a b c", 0, "[x y]", -1, false, 1, "[x y c] 2"},
        {"part 0 inserts", "a b c", 1, "[x y]", 0, false, 1, "[a x y b c] 3"},
        {"part replaces that many", "a b c", 0, "[x y]", 3, false, 1, "[x y] 2"},
        {"part beyond the rest", "a b c", 2, "x", 9, false, 1, "[a b x] 3"},
        {"a value longer than the rest", "a b c", 2, "[x y z]", -1, false, 1, "[a b x y z] 5"},
        {"only", "a b c", 0, "[x y]", -1, true, 1, "[[x y] b c] 1"},
        {"dup", "a b c d", 0, "x", -1, false, 3, "[x x x d] 3"},
        {"dup of a run with part", "a b c", 1, "[x y]", 1, false, 2, "[a x y x y c] 5"},
        {"an empty run with part removes", "a b c", 0, "[]", 2, false, 1, "[c] 0"},
        {"a head past the tail", "a b c", 9, "x", -1, false, 1, "[a b c x] 4"},
        {"at the tail", "a b", 2, "[x y]", -1, false, 1, "[a b x y] 4"},
    };
    for (const ChangeCase& c : cases) {
        Cell value = sought(c.value);
        Cell b = at_head(loaded(c.cells), c.head);
        for (Cell series : {b, hash_twin(b)}) {
            Cell* result = block::change(&series, &value, c.part, c.only, c.dup);
            bool hashed = type_of(&series) == TYPE_HASH;
            EXPECT_EQ(outcome(series, result), c.expected) << c.what << (hashed ? " (hash!)" : "");
            if (hashed) expect_exact_table(series, c.what);
        }
    }
}

// A block added to itself, or changed by itself, gives what a copy of the
// value gives, also when the buffer is full and must be replaced first.
struct SelfCase {
    const char* what;
    int target_head;
    int value_head;
    int part;
    int dup;
    enum { APPEND, INSERT, CHANGE } action;
};

TEST_F(BlockModify, BlocksAddedToThemselves) {
    const SelfCase cases[] = {
        {"append b b", 0, 0, -1, 1, SelfCase::APPEND},
        {"append/dup b b", 0, 0, -1, 3, SelfCase::APPEND},
        {"append b next b", 0, 1, -1, 1, SelfCase::APPEND},
        {"insert b next b", 0, 1, -1, 1, SelfCase::INSERT},
        {"insert next b b", 1, 0, -1, 1, SelfCase::INSERT},
        {"insert/dup next b b", 1, 0, -1, 6, SelfCase::INSERT},
        {"insert/part at 3 b b", 2, 0, 3, 1, SelfCase::INSERT},
        {"change b next b", 0, 1, -1, 1, SelfCase::CHANGE},
        {"change next b b", 1, 0, -1, 1, SelfCase::CHANGE},
        {"change/part next b b 0", 1, 0, 0, 1, SelfCase::CHANGE},
        {"change/dup at 3 b b", 2, 0, -1, 2, SelfCase::CHANGE},
    };
    for (const SelfCase& c : cases) {
        for (bool hashed : {false, true}) {
            // A full buffer: the first change replaces it.
            Cell self = loaded("a b c d");
            Cell other = loaded("a b c d");
            ASSERT_EQ(capacity_cells(self), 4);
            if (hashed) {
                self = hash_twin(self);
                other = hash_twin(other);
            }
            Cell target = at_head(self, c.target_head), value = at_head(self, c.value_head);
            Cell expected_target = at_head(other, c.target_head);
            Cell copied = at_head(loaded("a b c d"), c.value_head);
            Cell* result = nullptr;
            Cell* expected = nullptr;
            switch (c.action) {
                case SelfCase::APPEND:
                    result = block::append(&target, &value, c.part, false, c.dup);
                    expected = block::append(&expected_target, &copied, c.part, false, c.dup);
                    break;
                case SelfCase::INSERT:
                    result = block::insert(&target, &value, c.part, false, c.dup);
                    expected = block::insert(&expected_target, &copied, c.part, false, c.dup);
                    break;
                case SelfCase::CHANGE:
                    result = block::change(&target, &value, c.part, false, c.dup);
                    expected = block::change(&expected_target, &copied, c.part, false, c.dup);
                    break;
            }
            std::string what = std::string(c.what) + (hashed ? " (hash!)" : "");
            EXPECT_EQ(outcome(target, result), outcome(expected_target, expected)) << what;
            if (hashed) expect_exact_table(target, what);
        }
    }
}

TEST_F(BlockModify, GrowthAndSizeLimits) {
    Cell x = sought("x"), run = sought("[x y]");
    Cell b = loaded("a b c d");
    block::insert(&b, &x, -1, false, 1);
    EXPECT_EQ(capacity_cells(b), 10) << "insert doubles what it needs";
    Cell d = loaded("a b c d");
    block::insert(&d, &x, -1, false, 5);
    EXPECT_EQ(capacity_cells(d), 9) << "with dup 5 it takes what it needs";
    Cell a = loaded("a b c d");
    block::append(&a, &run, -1, false, 2);
    EXPECT_EQ(capacity_cells(a), 16);
    Cell c = at_head(loaded("a b c d"), 3);
    block::change(&c, &run, -1, false, 3);
    EXPECT_EQ(capacity_cells(c), 9) << "change takes exactly what it needs";

    // Sizes are counted in 64 bits: past 32 bits, or past the largest
    // buffer, no-memory, and the block is as it was.
    Cell e = loaded("a b");
    // The refused allocation collects first: what the test holds is rooted.
    gc::root keep_e(&e), keep_run(&run), keep_x(&x);
    for (auto add : {block::insert, block::append, block::change}) {
        EXPECT_EQ(error_of([&] { add(&e, &run, -1, false, 2000000000); }), "internal/no-memory");
        EXPECT_EQ(error_of([&] { add(&e, &x, -1, false, 200000000); }), "internal/no-memory");
    }
    EXPECT_EQ(all_cells(e), "[a b]");
}

TEST_F(BlockModify, Take) {
    struct TakeCase {
        const char* what;
        int head;
        int part;  // INT_MIN: none
        bool last;
        const char* taken;
        const char* left;
    };
    const TakeCase cases[] = {
        {"one cell", 0, INT_MIN, false, "a", "[b c d]"},
        {"the last cell", 0, INT_MIN, true, "d", "[a b c]"},
        {"part", 1, 2, false, "[b c]", "[a d]"},
        {"part, last", 0, 2, true, "[c d]", "[a b]"},
        {"a part of one cell stays a block", 0, 1, false, "[a]", "[b c d]"},
        {"part before the head", 3, -2, false, "[b c]", "[a d]"},
        {"at the tail", 4, INT_MIN, false, "none", "[a b c d]"},
        {"part at the tail", 4, 2, false, "none", "[a b c d]"},
    };
    for (const TakeCase& c : cases) {
        for (Cell series : {at_head(loaded("a b c d"), c.head), hash_twin(at_head(loaded("a b c d"), c.head))}) {
            Cell part = integer(c.part);
            Cell taken = *block::take(&series, c.part == INT_MIN ? nullptr : &part, false, c.last);
            bool hashed = type_of(&series) == TYPE_HASH;
            std::string what = std::string(c.what) + (hashed ? " (hash!)" : "");
            if (type_of(&taken) == TYPE_HASH) {
                EXPECT_EQ(all_cells(taken), c.taken) << what;
                expect_exact_table(taken, what + ": the taken cells");
            } else {
                EXPECT_EQ(shown_or_none(taken), c.taken) << what;
            }
            if (type_of(&series) != TYPE_NONE) {
                EXPECT_EQ(all_cells(series), c.left) << what;
            }
            if (hashed && type_of(&series) == TYPE_HASH) expect_exact_table(series, what);
        }
    }
}

TEST_F(BlockModify, TakeDeepCopiesTheSeriesTaken) {
    Cell b = loaded("[x [y]] \"s\" z");
    Cell inner = cells_of(b)[0];
    Cell one = *block::take(&b, nullptr, true, false);
    EXPECT_EQ(shown(one), "[x [y]]");
    EXPECT_NE(node_of(one), node_of(inner)) << "a copy";
    EXPECT_NE(node_of(cells_of(one)[1]), node_of(cells_of(inner)[1])) << "a deep copy";

    Cell two = integer(2);
    Cell h = hash_twin(loaded("\"s\" [t] u"));
    Cell nested = cells_of(h)[1];
    Cell taken = *block::take(&h, &two, true, false);
    EXPECT_EQ(all_cells(taken), "[\"s\" [t]]");
    EXPECT_NE(node_of(cells_of(taken)[1]), node_of(nested));
    expect_exact_table(taken, "deep copies in a taken hash!");
    Cell none_left = at_head(loaded("a"), 1);
    EXPECT_EQ(type_of(block::take(&none_left, nullptr, true, false)), TYPE_NONE);
}

TEST_F(BlockModify, Swap) {
    Cell a = loaded("a b"), b = loaded("c d");
    EXPECT_EQ(block::swap(&a, &b), &a);
    EXPECT_EQ(all_cells(a), "[c b]");
    EXPECT_EQ(all_cells(b), "[a d]");

    Cell h = hash_twin(loaded("p q r")), g = at_head(hash_twin(loaded("s p")), 1);
    block::swap(&h, &g);
    EXPECT_EQ(all_cells(h), "[p q r]");
    EXPECT_EQ(all_cells(g), "[s p]");
    Cell n = at_head(h, 1);
    block::swap(&n, &h);
    EXPECT_EQ(all_cells(h), "[q p r]") << "within one hash!";
    expect_exact_table(h, "swapped within");
    Cell k = at_head(loaded("k"), 0);
    block::swap(&h, &k);
    EXPECT_EQ(all_cells(h), "[k p r]");
    expect_exact_table(h, "swapped with a block");

    Cell tail = at_head(loaded("a"), 1), c = loaded("c");
    block::swap(&tail, &c);
    EXPECT_EQ(all_cells(c), "[c]") << "nothing at a tail";
    Cell text = sought("\"text\"");
    EXPECT_EQ(error_of([&] { block::swap(&a, &text); }), "script/invalid-arg");
    ErrorThrow e = caught_error([&] { block::swap(&a, &text); });
    EXPECT_EQ(shown(e.args[0]), "\"text\"");
}

TEST_F(BlockModify, TrimRemovesEveryNone) {
    struct TrimCase {
        int head;
        const char* left;
    };
    const TrimCase cases[] = {{0, "[a b c]"}, {2, "[none a b c]"}, {7, "[none a none none b c none]"}};
    Cell none = none_cell();
    for (const TrimCase& c : cases) {
        Cell b = loaded("x a x x b c x");
        for (int i : {0, 2, 3, 6}) cells_of(b)[i] = none;
        for (Cell series : {at_head(b, c.head), hash_twin(at_head(b, c.head))}) {
            Cell* result = block::trim(&series, false, false, false, false, false, nullptr);
            EXPECT_EQ(result, &series);
            EXPECT_EQ(all_cells(series), c.left) << c.head;
            if (type_of(&series) == TYPE_HASH) expect_exact_table(series, "trimmed");
        }
    }
}

}  // namespace
