// hash!: made from numbers, blocks (a repeated key reached by find/last),
// other hash! values and other values; copies at the head that share no
// array with their source and other copies with tables of their own;
// molding with and without /only; the type's row (own, inherited and
// refused slots).
#include <string>

#include "foundation/datatype.h"
#include "foundation/stack.h"
#include "series/block.h"
#include "series/hash.h"
#include "series/hash_table.h"
#include "tests/support/runtime_env.h"
#include "tests/support/twins.h"

using namespace zel;
using namespace zel::test;
namespace ht = zel::hash_table;

namespace {

class Hash : public ::testing::Test {
protected:
    void TearDown() override { stack::g_top = stack::g_arguments; }
    StandInCompare compare_;
};

Cell made(Cell spec) {
    Cell proto = datatype_of(TYPE_HASH), result;
    result = *hash::make(&proto, &spec, TYPE_HASH);
    return result;
}

int capacity_cells(const Cell& block) { return memory::series_of(node_of(block))->capacity / int(sizeof(Cell)); }

int find_index(Cell series, Cell value, bool last = false) {
    block::find(&series, &value, nullptr, false, false, false, false, nullptr, nullptr, last, false, false, false);
    return type_of(&series) == TYPE_NONE ? -1 : head_of(series);
}

TEST_F(Hash, MadeFromNumbers) {
    const struct {
        Cell spec;
        int capacity;
    } cases[] = {{integer(0), 1}, {integer(5), 5}, {integer(-3), 1}, {floating(3.7), 3}};
    for (const auto& c : cases) {
        Cell h = made(c.spec);
        EXPECT_EQ(type_of(&h), TYPE_HASH);
        EXPECT_EQ(all_cells(h), "[]");
        EXPECT_EQ(capacity_cells(h), c.capacity) << shown(c.spec);
        expect_exact_table(h, "empty");
        Cell x = sought("x");
        block::append(&h, &x, -1, false, 1);
        EXPECT_EQ(find_index(h, x), 0);
    }
    EXPECT_EQ(error_of([] { made(floating(1e12)); }), "script/out-of-range");
}

TEST_F(Hash, MadeFromBlocksAndOtherValues) {
    Cell source = at_head(loaded("q a b a"), 1);
    Cell h = made(source);
    EXPECT_EQ(all_cells(h), "[a b a]") << "a copy of the cells from the head";
    EXPECT_NE(node_of(h), node_of(source));
    EXPECT_EQ(head_of(h), 0);
    expect_exact_table(h, "a repeated key");
    EXPECT_EQ(ht::record(series::hash_table_of(&h))->live, 2) << "both a cells in one group";
    EXPECT_EQ(find_index(h, sought("a")), 0);
    EXPECT_EQ(find_index(h, sought("a"), true), 2) << "find/last reaches the second";

    Cell paren = loaded("x y");
    cell::set_type(&paren, TYPE_PAREN);
    EXPECT_EQ(all_cells(made(paren)), "[x y]");
    Cell word = sought("w");
    Cell from_word = made(word);
    EXPECT_EQ(all_cells(from_word), "[w]");
    expect_exact_table(from_word, "from a word");
    Cell proto = datatype_of(TYPE_HASH), converted;
    converted = *hash::to(&proto, &paren, TYPE_HASH);
    EXPECT_EQ(all_cells(converted), "[x y]");
    EXPECT_EQ(type_of(&converted), TYPE_HASH);
    Cell again = made(h);
    EXPECT_EQ(all_cells(again), "[a b a]");
    EXPECT_NE(node_of(again), node_of(h)) << "a hash! spec is copied";
}

// The nodes of a table's record and arrays (and of each chain).
std::vector<Node> arrays_of(Node table) {
    const ht::Record* r = ht::record(table);
    std::vector<Node> nodes{table, r->aux, r->chains, r->flags, r->slots, r->keys};
    return nodes;
}

TEST_F(Hash, CopiesShareNoArrays) {
    Cell h = made(loaded("a b a c a"));
    Cell copy;
    hash::copy(&h, &copy, nullptr, false, nullptr);
    EXPECT_EQ(type_of(&copy), TYPE_HASH);
    EXPECT_EQ(all_cells(copy), "[a b a c a]");
    for (Node mine : arrays_of(series::hash_table_of(&copy)))
        for (Node theirs : arrays_of(series::hash_table_of(&h))) EXPECT_NE(mine, theirs);
    expect_exact_table(copy, "copied with its table");

    // Changing one changes nothing in the other's index.
    Cell b = sought("b"), z = sought("z");
    Cell at_b = at_head(copy, 1);
    block::change(&at_b, &z, -1, false, 1);
    EXPECT_EQ(find_index(h, b), 1);
    EXPECT_EQ(find_index(h, z), -1);
    EXPECT_EQ(find_index(copy, b), -1);
    EXPECT_EQ(find_index(copy, z), 1);
    expect_exact_table(h, "the source");

    Cell two = integer(2);
    const struct {
        const char* what;
        Cell source;
        Cell* part;
        bool deep;
        const char* cells;
    } others[] = {
        {"from a later head", at_head(h, 2), nullptr, false, "[a c a]"},
        {"a part", h, &two, false, "[a b]"},
        {"deep", made(loaded("[x] a [x]")), nullptr, true, "[[x] a [x]]"},
    };
    for (const auto& c : others) {
        Cell source = c.source, result;
        hash::copy(&source, &result, c.part, c.deep, nullptr);
        EXPECT_EQ(type_of(&result), TYPE_HASH) << c.what;
        EXPECT_EQ(all_cells(result), c.cells) << c.what;
        expect_exact_table(result, c.what);
    }
}

TEST_F(Hash, Mold) {
    Cell h = made(loaded("1 2"));
    EXPECT_EQ(molded(h), "make hash! [1 2]");
    EXPECT_EQ(molded(h, true), "1 2");
    EXPECT_EQ(molded(made(integer(0))), "make hash! []");
}

TEST_F(Hash, Row) {
    using datatype::raw_handler;
    EXPECT_STREQ(datatype::type_name(TYPE_HASH), "hash!");
    EXPECT_EQ(datatype::parent_of(TYPE_HASH), TYPE_BLOCK);
    for (int action : {ACT_MAKE, ACT_TO, ACT_MOLD, ACT_COPY})
        EXPECT_NE(raw_handler(TYPE_HASH, action), raw_handler(TYPE_BLOCK, action)) << ACTION_NAMES[action];
    for (int action : {ACT_FORM, ACT_COMPARE, ACT_EVAL_PATH, ACT_APPEND, ACT_FIND, ACT_SELECT, ACT_PUT, ACT_SORT,
                       ACT_TRIM, ACT_TAKE, ACT_POKE, ACT_REMOVE, ACT_MODIFY})
        EXPECT_EQ(raw_handler(TYPE_HASH, action), raw_handler(TYPE_BLOCK, action)) << ACTION_NAMES[action];
    for (int action = 1; action <= ACTION_COUNT; action++) {
        bool refused = action == ACT_RANDOM || action == ACT_SET_PATH ||
                       (action >= ACT_ABSOLUTE && action <= ACT_XOR_T) ||
                       (action >= ACT_CREATE && action <= ACT_DELETE) || action >= ACT_OPEN;
        if (refused) {
            EXPECT_EQ(raw_handler(TYPE_HASH, action), nullptr) << ACTION_NAMES[action];
        }
    }
    for (int action : {ACT_FIND, ACT_SORT, ACT_TRIM, ACT_INSERT, ACT_SWAP})
        EXPECT_EQ(raw_handler(TYPE_PAREN, action), raw_handler(TYPE_BLOCK, action)) << ACTION_NAMES[action];
}

}  // namespace
