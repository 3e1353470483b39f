// block! set operations (the worker behind unique, union, intersect,
// exclude and difference): first-seen order, both sides of difference with
// the first set's values first, /case, /skip records keyed by their first
// cell only, any-block keys compared by content, a hash! result whenever an
// input is one, and the stack (with the temporary tables it holds) left as
// it was on every way out, errors included.
#include <climits>
#include <string>

#include "foundation/stack.h"
#include "scalars/typeset.h"
#include "series/block.h"
#include "tests/support/runtime_env.h"
#include "tests/support/twins.h"

using namespace zel;
using namespace zel::test;

namespace {

class BlockSets : public ::testing::Test {
protected:
    void TearDown() override {
        stack::g_top = stack::g_arguments;
        cell::cycle_reset();
    }
    StandInCompare compare_;
};

constexpr int NONE = INT_MIN;

// Runs the worker with the two sets as a call's arguments; the stack is as
// it was afterwards, and must have been left so by the worker.
Cell set_op(int op, const Cell& set1, const Cell& set2, bool case_ = false, int skip = NONE) {
    Cell* saved = stack::g_arguments;
    Cell* base = stack::top();
    stack::g_arguments = base;
    stack::push(&set1);
    stack::push(&set2);
    Cell size = integer(skip);
    struct Restore {
        Cell* arguments;
        Cell* top;
        ~Restore() {
            EXPECT_EQ(stack::g_top, top + 2) << "the worker leaves nothing on the stack";
            stack::g_arguments = arguments;
            stack::g_top = top;
        }
    } restore{saved, base};
    Cell* result = block::do_set_op(case_, skip == NONE ? nullptr : &size, op);
    EXPECT_EQ(result, base);
    return *result;
}

struct SetCase {
    const char* what;
    int op;
    const char* set1;
    const char* set2;
    bool case_;
    int skip;
    const char* expected;
};

TEST_F(BlockSets, Operations) {
    using namespace typeset;
    const SetCase cases[] = {
        {"unique", OP_UNIQUE, "a b a c b", "", false, NONE, "[a b c]"},
        {"unique keeps the first of each", OP_UNIQUE, "x a b a x", "", false, NONE, "[x a b]"},
        {"union keeps first-seen order", OP_UNION, "a b c", "c d a e", false, NONE, "[a b c d e]"},
        {"union of repeated values", OP_UNION, "a a b", "b c c", false, NONE, "[a b c]"},
        {"intersect", OP_INTERSECT, "a b c d", "d b x", false, NONE, "[b d]"},
        {"intersect of repeated values", OP_INTERSECT, "a b a", "a", false, NONE, "[a]"},
        {"exclude", OP_EXCLUDE, "a b c d", "d b x", false, NONE, "[a c]"},
        {"difference, the first set's values first", OP_DIFFERENCE, "a b c", "c d b e", false, NONE, "[a d e]"},
        {"difference of equal sets", OP_DIFFERENCE, "a b", "b a", false, NONE, "[]"},
        {"empty sets", OP_UNION, "", "", false, NONE, "[]"},

        {"text of any case", OP_UNION, "\"a\" \"A\"", "\"a\"", false, NONE, "[\"a\"]"},
        {"text by case", OP_UNION, "\"a\" \"A\"", "\"a\"", true, NONE, "[\"a\" \"A\"]"},
        {"unique by case", OP_UNIQUE, "\"a\" \"A\" \"b\" \"a\"", "", true, NONE, "[\"a\" \"A\" \"b\"]"},
        {"exclude by case", OP_EXCLUDE, "\"a\" \"A\"", "\"a\"", true, NONE, "[\"A\"]"},
        {"numbers keep their types", OP_UNION, "1 1.0", "1", false, NONE, "[1 1.0]"},

        {"records", OP_UNION, "a 1 b 2", "b 3 c 4", false, 2, "[a 1 b 2 c 4]"},
        {"unique records", OP_UNIQUE, "a 1 b 2 a 3", "", false, 2, "[a 1 b 2]"},
        {"a key is not a record's other cell", OP_UNIQUE, "a b b c", "", false, 2, "[a b b c]"},
        {"intersect records", OP_INTERSECT, "a 1 b 2", "b 3 c 4", false, 2, "[b 2]"},
        {"the other set's other cells are not keys", OP_INTERSECT, "a 1 b 2", "x a", false, 2, "[]"},
        {"difference of records", OP_DIFFERENCE, "a 1 b 2", "b 3 c 4", false, 2, "[a 1 c 4]"},
        {"a last record cut short", OP_UNION, "a 1 b", "b 2 c 3", false, 2, "[a 1 b c 3]"},

        {"block keys by content", OP_UNION, "[x] [y]", "[x] [z]", false, NONE, "[[x] [y] [z]]"},
        {"intersect block keys", OP_INTERSECT, "[x] a", "b [x]", false, NONE, "[[x]]"},
        {"block keys of any case", OP_DIFFERENCE, "[x]", "[X]", true, NONE, "[]"},
        {"block and paren keys differ", OP_UNION, "[x]", "(x)", false, NONE, "[[x] (x)]"},
        {"block keys of records", OP_UNIQUE, "[k] 1 [k] 2", "", false, 2, "[[k] 1]"},
    };
    for (const SetCase& c : cases) {
        Cell result = set_op(c.op, loaded(c.set1), loaded(c.set2), c.case_, c.skip);
        EXPECT_EQ(type_of(&result), TYPE_BLOCK) << c.what;
        EXPECT_EQ(head_of(result), 0) << c.what;
        EXPECT_EQ(all_cells(result), c.expected) << c.what;
        // The same with a hash! for either set: a hash! result.
        for (int side : {1, 2}) {
            if (side == 2 && c.op == OP_UNIQUE) continue;
            Cell a = loaded(c.set1), b = loaded(c.set2);
            Cell hashed = set_op(c.op, side == 1 ? hash_twin(a) : a, side == 2 ? hash_twin(b) : b, c.case_, c.skip);
            std::string what = std::string(c.what) + (side == 1 ? " (first set a hash!)" : " (second set a hash!)");
            EXPECT_EQ(type_of(&hashed), TYPE_HASH) << what;
            EXPECT_EQ(all_cells(hashed), c.expected) << what;
            expect_exact_table(hashed, what);
        }
    }
}

TEST_F(BlockSets, HeadsAndSkipErrors) {
    using namespace typeset;
    Cell past = at_head(loaded("a b"), 5), other = at_head(loaded("c b"), 1);
    EXPECT_EQ(all_cells(set_op(OP_UNION, past, other)), "[b]") << "heads past the tails are pulled back";
    Cell h = at_head(hash_twin(loaded("a b c b")), 1);
    EXPECT_EQ(all_cells(set_op(OP_INTERSECT, loaded("a b c"), h)), "[b c]") << "a hash! from its head";
    EXPECT_EQ(error_of([&] { set_op(OP_UNIQUE, loaded("a"), loaded(""), false, 0); }), "script/invalid-refine-arg");
    Cell a = loaded("a"), text = sought("\"x\"");
    stack::push(&a);
    EXPECT_EQ(error_of([&] { block::do_set_op(false, &text, OP_UNIQUE); }), "script/invalid-refine-arg");
}

// A key so deeply nested that comparing it raises too-deep, after the
// worker has pushed its result, its keys and a temporary table.
TEST_F(BlockSets, AnErrorLeavesTheStackAsItWas) {
    auto nested = [] {
        Cell inner = loaded("x");
        for (int i = 0; i < cell::CYCLE_DEPTH + 10; i++) inner = block_of({inner});
        return inner;
    };
    Cell set1 = block_of({nested()}), set2 = block_of({nested()});
    Cell* base = stack::top();
    Cell* saved = stack::g_arguments;
    stack::g_arguments = base;
    stack::push(&set1);
    stack::push(&set2);
    EXPECT_EQ(error_of([] { block::do_set_op(false, nullptr, typeset::OP_INTERSECT); }), "internal/too-deep");
    EXPECT_EQ(stack::top(), base + 2);
    stack::g_arguments = saved;
    stack::g_top = base;
}

}  // namespace
