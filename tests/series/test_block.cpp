// block! and paren!: cell access, appending and inserting (a hash! kept in
// step), lookups, making blocks, cloning and copying (deep, by types, with
// cycles), molding with new-line markers, indentation and cycle markers,
// forming, comparison under every code, make and to, path steps, and the
// registration rows.
#include <climits>
#include <string>
#include <vector>

#include "foundation/compare.h"
#include "foundation/datatype.h"
#include "foundation/stack.h"
#include "scalars/simple_types.h"
#include "series/block.h"
#include "series/hash_table.h"
#include "series/series.h"
#include "tests/support/blocks.h"
#include "tests/support/runtime_env.h"

using namespace zel;
using namespace zel::test;
namespace ht = zel::hash_table;

namespace {

using compare::CompareOp;

class Blocks : public ::testing::Test {
protected:
    void TearDown() override {
        stack::g_top = stack::g_arguments;
        EXPECT_EQ(cell::cycle_depth(), 0) << "walks leave the cycle stack as they found it";
        cell::cycle_reset();
    }
    StandInCompare compare_;
};

int capacity_cells(const Cell& block) { return memory::series_of(node_of(block))->capacity / int(sizeof(Cell)); }

// A block that holds itself (after its other items).
Cell self_containing(std::vector<Cell> items, int type = TYPE_BLOCK) {
    Cell b = block_of(items, type);
    Cell copy = b;
    block::append_cell(&b, &copy);
    return b;
}

// ---- Cell access ------------------------------------------------------------------------------------

TEST_F(Blocks, CellAccessAroundTheTail) {
    Cell b = letters("abc");
    EXPECT_EQ(block::length_q(&b), 3);
    Cell past = at_head(b, 5);
    EXPECT_EQ(block::length_q(&past), -2) << "no clamping";
    EXPECT_TRUE(block::tail_q(&past));
    EXPECT_EQ(block::head(&past), block::tail(&past));
    EXPECT_EQ(head_of(past), 3) << "head pulled back to the tail";

    Cell walk = at_head(b, 1);
    EXPECT_FALSE(block::advance(&walk));
    EXPECT_TRUE(block::advance(&walk));
    EXPECT_TRUE(block::advance(&walk));
    EXPECT_EQ(head_of(walk), 3);
    EXPECT_EQ(block::abs_at(&walk, 1), cells_of(b) + 1);

    block::cut_at(&b, 10);
    EXPECT_EQ(letters_of(b), "abc") << "cutting past the tail keeps everything";
    Cell at1 = at_head(b, 1);
    block::cut_at_head(&at1);
    EXPECT_EQ(letters_of(b), "a");
    Cell at9 = at_head(b, 9);
    block::cut_at_head(&at9);
    EXPECT_EQ(letters_of(b), "a");

    Cell head2 = at_head(letters("ab"), 2);
    block::remove_last(&head2);
    EXPECT_EQ(head_of(head2), 1);
    block::remove_last(&head2);
    block::remove_last(&head2);
    EXPECT_EQ(total_cells(head2), 0);
    EXPECT_EQ(head_of(head2), 0);
}

// ---- Adding cells -------------------------------------------------------------------------------------

TEST_F(Blocks, AppendingGrowsAndCopiesCellsOfTheSameBlock) {
    Cell b = block_of({});
    for (char c : std::string("abcdefghij")) {
        Cell item = letter(c);
        block::append_cell(&b, &item);
    }
    EXPECT_EQ(letters_of(b), "abcdefghij");
    while (total_cells(b) < capacity_cells(b)) {
        Cell item = letter('x');
        block::append_cell(&b, &item);
    }
    // The value lies in the buffer that the append replaces.
    int n = total_cells(b);
    Cell* appended = block::append_cell(&b, cells_of(b));
    EXPECT_EQ(appended, cells_of(b) + n);
    EXPECT_EQ(utf8_of(*appended), "a");

    Cell twice = letters("ab");
    block::append_block(&twice, &twice);
    EXPECT_EQ(letters_of(twice), "abab");
}

TEST_F(Blocks, InsertingAtTheHeadOrTheStart) {
    Cell b = at_head(letters("abc"), 1);
    Cell x = letter('x');
    block::insert_value(&b, &x, true, false);
    EXPECT_EQ(letters_of(at_head(b, 0)), "axbc");
    EXPECT_EQ(head_of(b), 2);
    block::insert_value(&b, &x, false, true);
    EXPECT_EQ(letters_of(at_head(b, 0)), "xaxbc");
    EXPECT_EQ(head_of(b), 2);

    Cell past = at_head(letters("ab"), 7);
    block::insert_value(&past, &x, false, false);
    EXPECT_EQ(letters_of(at_head(past, 0)), "abx") << "a head past the tail inserts at the tail";

    Cell self = at_head(letters("abc"), 1);
    block::insert_block(&self, &self);
    EXPECT_EQ(letters_of(at_head(self, 0)), "abcbc");
    EXPECT_EQ(head_of(self), 3);
}

TEST_F(Blocks, StackArgumentsAddToTheBlockBelowThem) {
    Cell* base = stack::top();
    Cell* saved = stack::g_arguments;
    Cell b = at_head(letters("ab"), 1);
    stack::push(&b);
    Cell x = letter('x');
    stack::push(&x);
    stack::g_arguments = base + 1;
    EXPECT_EQ(block::insert_arg(), base);
    EXPECT_EQ(letters_of(at_head(b, 0)), "axb");
    EXPECT_EQ(head_of(*base), 2);
    EXPECT_EQ(block::append_to_previous(), base);
    EXPECT_EQ(letters_of(at_head(b, 0)), "axbx");
    stack::g_arguments = base;
    Cell y = letter('y');
    *(base + 1) = y;
    EXPECT_EQ(block::append_arg(), base);
    EXPECT_EQ(letters_of(at_head(b, 0)), "axbxy");
    stack::g_arguments = saved;
}

TEST_F(Blocks, HashTableFollowsAddedAndRemovedCells) {
    Cell h = at_head(hash_of("abcA"), 1);
    Cell item = letter('B');
    block::insert_value(&h, &item, true, false);
    expect_table_in_step(h, "insert");
    block::append_cell(&h, &item);
    expect_table_in_step(h, "append");
    block::insert_block(&h, &h);
    expect_table_in_step(h, "insert block");
    Cell c = letter('c');
    EXPECT_EQ(block::remove_value(&c, &h, true), 3);
    expect_table_in_step(h, "remove value");
    block::remove_last(&h);
    expect_table_in_step(h, "remove last");
    EXPECT_EQ(letters_of(at_head(h, 0)), "aBbABbcA");
}

// ---- Lookups ---------------------------------------------------------------------------------------

TEST_F(Blocks, SelectAndRemoveByValue) {
    Cell b = at_head(block_of({datatype_of(TYPE_INTEGER), datatype_of(TYPE_STRING),
                               datatype_of(TYPE_LOGIC), datatype_of(TYPE_INTEGER)}),
                     1);
    Cell key = datatype_of(TYPE_STRING);
    Cell* found = block::select_value(&b, &key);
    EXPECT_EQ(found, cells_of(b) + 2);
    key = datatype_of(TYPE_INTEGER);
    EXPECT_EQ(type_of(block::select_value(&b, &key)), TYPE_NONE) << "the last cell has nothing after it";
    key = datatype_of(TYPE_BLOCK);
    EXPECT_EQ(type_of(block::select_value(&b, &key)), TYPE_NONE);

    key = datatype_of(TYPE_INTEGER);
    EXPECT_EQ(block::remove_value(&key, &b, false), 3) << "from the head";
    EXPECT_EQ(block::remove_value(&key, &b, true), 0) << "from the first cell";
    EXPECT_EQ(block::remove_value(&key, &b, true), -1);
    EXPECT_EQ(total_cells(b), 2);
}

TEST_F(Blocks, SelectWordByAnySpellingUnlessStrict) {
    Node saved = ht::g_symbol_table;
    Cell symbols = block_of({});
    ht::g_symbol_table = ht::init(4, &symbols, ht::KIND_SYMBOL, 1);
    auto word = [](const char* name, int type) {
        Cell w;
        int symbol = ht::put_symbol(ht::g_symbol_table, bytes(name), int32_t(std::strlen(name)), false);
        cell::set(&w, type, 0, uint32_t(symbol), uint32_t(-1));
        return w;
    };
    Cell b = block_of({word("size", TYPE_REFINEMENT), letter('r'), word("Size", TYPE_SET_WORD), letter('s'),
                       word("size", TYPE_WORD), letter('t'), word("last", TYPE_WORD)});
    Cell key = word("size", TYPE_WORD);
    EXPECT_EQ(utf8_of(*block::select_word(&b, &key, false)), "s") << "refinements are not looked at";
    EXPECT_EQ(utf8_of(*block::select_word(&b, &key, true)), "t");
    Cell last = word("LAST", TYPE_WORD);
    EXPECT_EQ(type_of(block::select_word(&b, &last, false)), TYPE_NONE);
    Cell missing = word("other", TYPE_WORD);
    EXPECT_EQ(type_of(block::select_word(&b, &missing, false)), TYPE_NONE);
    ht::g_symbol_table = saved;
}

// ---- Making blocks ----------------------------------------------------------------------------------

TEST_F(Blocks, MakingEmptyBlocks) {
    Cell c;
    block::make_at(&c, -4);
    EXPECT_EQ(type_of(&c), TYPE_BLOCK);
    EXPECT_EQ(capacity_cells(c), 1);
    block::make_preset_at(&c, 3, false);
    EXPECT_EQ(total_cells(c), 0);
    for (int i = 0; i < 3; i++) EXPECT_EQ(type_of(cells_of(c) + i), TYPE_UNSET);
    block::make_preset_at(&c, 3, true);
    EXPECT_NE(memory::series_of(node_of(c))->flags & SERIES_FIXED, 0u);

    Cell parent = letters("a");
    Cell* fixed = block::make_fixed_in(&parent, 50);
    EXPECT_EQ(fixed, cells_of(parent) + 1);
    EXPECT_EQ(type_of(fixed), TYPE_BLOCK);
    EXPECT_NE(memory::series_of(node_of(*fixed))->flags & SERIES_FIXED, 0u);
    EXPECT_EQ(capacity_cells(*fixed), 50);
    Cell* grown = block::make_in(&parent, 7);
    EXPECT_EQ(grown, cells_of(parent) + 2);
    EXPECT_EQ(capacity_cells(*grown), 7);
    EXPECT_EQ(memory::series_of(node_of(*grown))->flags & SERIES_FIXED, 0u);
    Cell* spare = block::make_fixed_in(nullptr, 2);
    EXPECT_EQ(type_of(spare), TYPE_BLOCK);
    EXPECT_EQ(block::make_in(nullptr, 2), spare) << "one spare cell";

    Cell* pushed = block::push_only(0);
    EXPECT_EQ(pushed, stack::top() - 1);
    EXPECT_EQ(capacity_cells(*pushed), 1);
    EXPECT_EQ(node_of(*block::push(&parent)), node_of(parent));
}

// ---- Cloning and copying -----------------------------------------------------------------------------

TEST_F(Blocks, CloneShallowOrDeep) {
    Cell inner = letters("xy");
    Cell paren = letters("p", TYPE_PAREN);
    Cell b = at_head(block_of({letter('a'), on_new_line(inner), paren}, TYPE_PAREN), 1);
    b.header |= FLAG_NEW_LINE;

    Cell shallow = *block::clone(&b, false, false);
    EXPECT_EQ(shallow.header, uint32_t(TYPE_PAREN)) << "the source's type, no flags";
    EXPECT_EQ(total_cells(shallow), 2);
    EXPECT_EQ(node_of(cells_of(shallow)[0]), node_of(inner));

    Cell deep = *block::clone(&b, true, false);
    EXPECT_NE(node_of(cells_of(deep)[0]), node_of(inner));
    EXPECT_EQ(cells_of(deep)[0].header, TYPE_BLOCK | FLAG_NEW_LINE) << "the element keeps its header";
    EXPECT_EQ(letters_of(cells_of(deep)[0]), "xy");
    EXPECT_EQ(node_of(cells_of(deep)[1]), node_of(paren)) << "parens only with paths_too";

    Cell paths = *block::clone(&b, true, true);
    EXPECT_NE(node_of(cells_of(paths)[1]), node_of(paren));
    EXPECT_EQ(type_of(cells_of(paths) + 1), TYPE_PAREN);
    stack::pop(3);

    Cell loop = self_containing({letter('a')});
    EXPECT_EQ(error_of([&] { block::clone(&loop, true, false); }), "internal/no-cycle");
}

Cell copied(Cell value, Cell* part, bool deep, Cell* types) {
    Cell result;
    cell::set(&result, TYPE_UNSET);
    return *block::copy(&value, &result, part, deep, types);
}

TEST_F(Blocks, CopyDeepAndByTypes) {
    Cell inner = block_of({on_new_line(letter('x')), letter('y')});
    Cell s = text("s");
    Cell b = block_of({on_new_line(inner), s, logic_cell(true)});

    Cell shallow = copied(b, nullptr, false, nullptr);
    EXPECT_EQ(node_of(cells_of(shallow)[0]), node_of(inner));

    Cell deep = copied(b, nullptr, true, nullptr);
    EXPECT_NE(node_of(cells_of(deep)[0]), node_of(inner));
    EXPECT_NE(node_of(cells_of(deep)[1]), node_of(s));
    EXPECT_EQ(molded(deep), molded(b));
    EXPECT_TRUE(cell::new_line(cells_of(deep)));
    EXPECT_TRUE(cell::new_line(cells_of(cells_of(deep)[0])));

    Cell string_type = datatype_of(TYPE_STRING);
    Cell by_type = copied(b, nullptr, false, &string_type);
    EXPECT_EQ(node_of(cells_of(by_type)[0]), node_of(inner));
    EXPECT_NE(node_of(cells_of(by_type)[1]), node_of(s));

    Cell blocks_only;  // a typeset holding block!
    cell::set(&blocks_only, TYPE_TYPESET);
    reinterpret_cast<uint8_t*>(&blocks_only)[4 + (TYPE_BLOCK >> 3)] = uint8_t(0x80 >> (TYPE_BLOCK & 7));
    Cell by_typeset = copied(b, nullptr, true, &blocks_only);
    EXPECT_NE(node_of(cells_of(by_typeset)[0]), node_of(inner));
    EXPECT_EQ(node_of(cells_of(by_typeset)[1]), node_of(s));

    Cell part = integer(1);
    Cell first = copied(b, &part, true, nullptr);
    EXPECT_EQ(total_cells(first), 1);
    EXPECT_NE(node_of(cells_of(first)[0]), node_of(inner));

    Cell deep_hash = copied(hash_of("ab"), nullptr, true, nullptr);
    EXPECT_EQ(type_of(&deep_hash), TYPE_BLOCK);
    Cell shallow_hash = copied(hash_of("ab"), nullptr, false, nullptr);
    EXPECT_EQ(type_of(&shallow_hash), TYPE_HASH);

    Cell loop = self_containing({letter('a')});
    EXPECT_EQ(error_of([&] { copied(loop, nullptr, true, nullptr); }), "internal/no-cycle");
    EXPECT_EQ(total_cells(copied(loop, nullptr, false, nullptr)), 2) << "a shallow copy is fine";
}

// ---- Molding -----------------------------------------------------------------------------------------

struct MoldCase {
    const char* what;
    Cell value;
    bool only, all, flat;
    int indent;
    const char* expected;
};

TEST_F(Blocks, MoldLinesIndentationAndOptions) {
    Cell a = text("a"), b = text("b"), c = text("c");
    Cell nl_a = on_new_line(a), nl_b = on_new_line(b), nl_c = on_new_line(c);
    const MoldCase cases[] = {
        {"empty", block_of({}), false, false, false, 0, "[]"},
        {"values", block_of({a, logic_cell(true), none_cell(), datatype_of(TYPE_BLOCK)}), false, false, false, 0,
         R"(["a" true none block!])"},
        {"all", block_of({logic_cell(false), none_cell()}), false, true, false, 0, "[#(false) #(none)]"},
        {"second on a line", block_of({a, nl_b}), false, false, false, 0, "[\"a\"\n\"b\"]"},
        {"second, indented", block_of({a, nl_b}), false, false, false, 1, "[\"a\"\n    \"b\"]"},
        {"first on a line", block_of({nl_a, b}), false, false, false, 0, "[\n    \"a\" \"b\"\n]"},
        {"first and third", block_of({nl_a, b, nl_c}), false, false, false, 0, "[\n    \"a\" \"b\"\n    \"c\"\n]"},
        {"first, indented", block_of({nl_a}), false, false, false, 1, "[\n        \"a\"\n    ]"},
        {"nested", block_of({block_of({nl_a})}), false, false, false, 0, "[[\n    \"a\"\n]]"},
        {"nested on lines", block_of({on_new_line(block_of({nl_a, b}))}), false, false, false, 0,
         "[\n    [\n        \"a\" \"b\"\n    ]\n]"},
        {"flat", block_of({nl_a, nl_b}), false, false, true, 0, "[\"a\" \"b\"]"},
        {"only", block_of({a, b}), true, false, false, 0, "\"a\" \"b\""},
        {"only, first on a line", block_of({nl_a, b}), true, false, false, 0, "\"a\" \"b\""},
        {"only, first indented", block_of({nl_a, b}), true, false, false, 1, "    \"a\" \"b\""},
        {"only, second on a line", block_of({a, nl_b}), true, false, false, 0, "\"a\"\n\"b\""},
        {"from the head", at_head(block_of({a, b, c}), 1), false, false, false, 0, R"(["b" "c"])"},
        {"head past the tail", at_head(block_of({a}), 4), false, false, false, 0, "[]"},
        {"paren", block_of({a, b}, TYPE_PAREN), false, false, false, 0, R"(("a" "b"))"},
        {"paren only", block_of({a, b}, TYPE_PAREN), true, false, false, 0, R"("a" "b")"},
        {"paren inside", block_of({block_of({nl_a}, TYPE_PAREN)}), false, false, false, 0, "[(\n    \"a\"\n)]"},
        {"self", self_containing({a}), false, false, false, 0, R"(["a" [...]])"},
        {"paren self", self_containing({a}, TYPE_PAREN), false, false, false, 0, R"(("a" (...)))"},
    };
    for (const MoldCase& m : cases)
        EXPECT_EQ(molded(m.value, m.only, m.all, m.flat, INT_MAX, m.indent), m.expected) << m.what;
}

TEST_F(Blocks, MoldStopsWhenThePartIsSpent) {
    Cell b = block_of({text("a"), text("b"), text("c")});
    Cell buffer;
    string::make_at(&buffer, 16);
    EXPECT_EQ(block::mold(&b, &buffer, false, false, false, 0, 0), -2);
    EXPECT_EQ(utf8_of(buffer), "[]") << "an internal caller's 0 gives the delimiters alone";
    string::make_at(&buffer, 16);
    EXPECT_EQ(block::mold(&b, &buffer, false, false, false, 6, 0), -3);
    EXPECT_EQ(utf8_of(buffer), R"(["a" "b"])") << "every value started with budget left is whole";
    Cell lines = block_of({on_new_line(text("a")), text("b")});
    string::make_at(&buffer, 16);
    block::mold(&lines, &buffer, false, false, false, 4, 0);
    EXPECT_EQ(utf8_of(buffer), "[\n    \"a\"]") << "no closing line break once stopped";
}

struct FormCase {
    const char* what;
    Cell value;
    int part;
    const char* expected;
};

TEST_F(Blocks, FormSpacesBreaksCyclesAndParts) {
    const FormCase cases[] = {
        {"values", block_of({text("a"), logic_cell(true), none_cell(), datatype_of(TYPE_STRING)}), INT_MAX,
         "a true none string"},
        {"lines", block_of({text("a\n"), text("b\t"), text("c\r"), text("d")}), INT_MAX, "a\nb\tc\rd"},
        {"nested", block_of({text("a"), block_of({text("b"), text("c")}), on_new_line(text("d"))}), INT_MAX,
         "a b c d"},
        {"self", self_containing({text("a")}), INT_MAX, "a ..."},
        {"part", block_of({text("ab"), text("c")}), 2, "ab "},
        {"empty", block_of({}), INT_MAX, ""},
    };
    for (const FormCase& f : cases) EXPECT_EQ(formed(f.value, f.part), f.expected) << f.what;
}

// ---- Comparing ----------------------------------------------------------------------------------------

struct CompareCase {
    const char* what;
    Cell a, b;
    int op;
    int expected;
};

TEST_F(Blocks, CompareUnderEveryCode) {
    Cell ab = letters("ab");
    Cell same_node = at_head(ab, 0);
    const CompareCase cases[] = {
        {"equal", letters("ab"), letters("ab"), compare::COMP_EQUAL, 0},
        {"case ignored", letters("ab"), letters("AB"), compare::COMP_EQUAL, 0},
        {"not equal", letters("ab"), letters("ac"), compare::COMP_NOT_EQUAL, -1},
        {"strict", letters("ab"), letters("AB"), compare::COMP_STRICT_EQUAL, 1},
        {"strict same", letters("ab"), letters("ab"), compare::COMP_STRICT_EQUAL, 0},
        {"lengths, equality", letters("ab"), letters("abc"), compare::COMP_EQUAL, 1},
        {"lengths, find", letters("abc"), letters("ab"), compare::COMP_FIND, 1},
        {"lengths, word equality", letters("a"), letters("ab"), compare::COMP_EQUAL_WORD, 1},
        {"shorter first", letters("ab"), letters("abc"), compare::COMP_LESSER, -1},
        {"longer last", letters("abc"), letters("ab"), compare::COMP_GREATER, 1},
        {"empty first", letters(""), letters("a"), compare::COMP_SORT, -1},
        {"by element", letters("ab"), letters("b"), compare::COMP_LESSER_EQUAL, -1},
        {"case sort", letters("aB"), letters("ab"), compare::COMP_CASE_SORT, -1},
        {"greater or equal", letters("b"), letters("ab"), compare::COMP_GREATER_EQUAL, 1},
        {"same: one value", ab, same_node, compare::COMP_SAME, 0},
        {"same: equal copies", letters("ab"), letters("ab"), compare::COMP_SAME, -1},
        {"same: other head", ab, at_head(ab, 1), compare::COMP_SAME, -1},
        {"from the heads", at_head(letters("xab"), 1), letters("ab"), compare::COMP_EQUAL, 0},
        {"types order elements", block_of({logic_cell(true)}), letters("a"), compare::COMP_LESSER, -1},
        {"types order elements", letters("a"), block_of({none_cell()}), compare::COMP_EQUAL, 1},
        {"numbers meet", block_of({integer(1)}), block_of({floating(1.0)}), compare::COMP_EQUAL, 0},
        {"numbers order", block_of({floating(2.5)}), block_of({integer(3)}), compare::COMP_LESSER, -1},
        {"nested", block_of({letters("ab")}), block_of({letters("ab")}), compare::COMP_EQUAL, 0},
        {"nested differ", block_of({letters("ab")}), block_of({letters("ac")}), compare::COMP_SORT, -1},
        {"block and paren", letters("a"), letters("a", TYPE_PAREN), compare::COMP_EQUAL, -2},
        {"paths", letters("a", TYPE_PATH), letters("a", TYPE_LIT_PATH), compare::COMP_EQUAL, -2},
        {"paths, word code", letters("a", TYPE_PATH), letters("a", TYPE_LIT_PATH), compare::COMP_EQUAL_WORD, 0},
        {"paths, word code ci", letters("a", TYPE_LIT_PATH), letters("A", TYPE_PATH), compare::COMP_EQUAL_WORD_CI,
         0},
        {"cycles", self_containing({letter('a')}), self_containing({letter('a')}), compare::COMP_EQUAL, 0},
    };
    for (const CompareCase& c : cases) {
        Cell a = c.a, b = c.b;
        EXPECT_EQ(block::compare(&a, &b, c.op), c.expected) << c.what << " under " << c.op;
    }
    // Through the comparison service, as natives and sorts reach it.
    Cell x = letters("ab"), y = letters("AB");
    EXPECT_TRUE(compare::compare(&x, &y, compare::COMP_EQUAL));
    EXPECT_FALSE(compare::compare(&x, &y, compare::COMP_STRICT_EQUAL));
    EXPECT_TRUE(compare::compare(&x, &y, compare::COMP_LESSER_EQUAL));
    Cell p = letters("ab", TYPE_PAREN);
    EXPECT_EQ(error_of([&] { compare::compare(&x, &p, compare::COMP_LESSER); }), "script/invalid-compare");
}

// ---- make, to and path steps -------------------------------------------------------------------------

TEST_F(Blocks, MakeAndTo) {
    Cell proto;
    Cell zero = integer(0);
    block::make(&proto, &zero, TYPE_BLOCK);
    EXPECT_EQ(type_of(&proto), TYPE_BLOCK);
    EXPECT_EQ(total_cells(proto), 0);
    EXPECT_EQ(capacity_cells(proto), 1);
    Cell f = floating(3.7);
    block::make(&proto, &f, TYPE_PAREN);
    EXPECT_EQ(type_of(&proto), TYPE_PAREN);
    EXPECT_EQ(capacity_cells(proto), 3);
    Cell negative = integer(-3);
    block::make(&proto, &negative, TYPE_BLOCK);
    EXPECT_EQ(capacity_cells(proto), 1);

    Cell source = at_head(letters("abc"), 1);
    for (auto handler : {block::make, block::to}) {
        handler(&proto, &source, TYPE_PAREN);
        EXPECT_EQ(type_of(&proto), TYPE_PAREN);
        EXPECT_NE(node_of(proto), node_of(source));
        EXPECT_EQ(letters_of(proto), "bc");
    }
    Cell flag = logic_cell(true);
    block::to(&proto, &flag, TYPE_BLOCK);
    EXPECT_EQ(total_cells(proto), 1);
    EXPECT_EQ(type_of(cells_of(proto)), TYPE_LOGIC);
    Cell five = integer(5);
    block::to(&proto, &five, TYPE_BLOCK);
    EXPECT_EQ(cell::get_int(cells_of(proto)), 5) << "an integer! gives a one-value block";

    ErrorThrow e = caught_error([&] { block::make(&proto, &flag, TYPE_BLOCK); });
    EXPECT_EQ(e.id, ERR_script_bad_make_arg);
    EXPECT_EQ(type_named_by(e.args[0]), TYPE_BLOCK);
    Cell huge = floating(3e10);
    EXPECT_EQ(error_of([&] { block::make(&proto, &huge, TYPE_BLOCK); }), "script/out-of-range");
    Cell none = none_cell();
    EXPECT_EQ(error_of([&] { block::make(&proto, &none, TYPE_BLOCK); }), "script/bad-make-arg");
}

TEST_F(Blocks, PathStepsByIndexAndWord) {
    Cell b = at_head(letters("abc"), 1);
    Cell two = integer(2), zero = integer(0), back = integer(-1), far = integer(9);
    EXPECT_EQ(block::eval_path(&b, &two, nullptr, nullptr, nullptr, nullptr, 1, false, true, false),
              cells_of(b) + 2);
    EXPECT_EQ(utf8_of(*block::eval_path(&b, &back, nullptr, nullptr, nullptr, nullptr, 1, false, true, false)),
              "a");
    EXPECT_EQ(type_of(block::eval_path(&b, &zero, nullptr, nullptr, nullptr, nullptr, 1, false, true, false)),
              TYPE_NONE);
    EXPECT_EQ(type_of(block::eval_path(&b, &far, nullptr, nullptr, nullptr, nullptr, 1, false, true, false)),
              TYPE_NONE);
    Cell z = letter('z');
    EXPECT_EQ(block::eval_path(&b, &two, &z, nullptr, nullptr, nullptr, 1, false, true, false), &z);
    EXPECT_EQ(letters_of(at_head(b, 0)), "abz");
    EXPECT_EQ(head_of(b), 1) << "the parent keeps its head";
    EXPECT_EQ(error_of([&] { block::eval_path(&b, &far, &z, nullptr, nullptr, nullptr, 1, false, true, false); }),
              "script/out-of-range");
}

// ---- Registration ------------------------------------------------------------------------------------

TEST_F(Blocks, RegistrationRows) {
    using datatype::raw_handler;
    for (int action : {ACT_RANDOM, ACT_REFLECT, ACT_AT, ACT_CLEAR, ACT_PICK, ACT_POKE, ACT_REMOVE, ACT_MOVE,
                       ACT_MODIFY, ACT_TAIL_Q})
        EXPECT_EQ(raw_handler(TYPE_BLOCK, action), raw_handler(TYPE_SERIES, action)) << ACTION_NAMES[action];
    EXPECT_NE(raw_handler(TYPE_BLOCK, ACT_COPY), raw_handler(TYPE_SERIES, ACT_COPY));
    for (int action : {ACT_SET_PATH, ACT_ADD, ACT_CREATE, ACT_READ})
        EXPECT_EQ(raw_handler(TYPE_BLOCK, action), nullptr) << ACTION_NAMES[action];
    EXPECT_EQ(reinterpret_cast<void*>(datatype::handler<ACT_MOLD>(TYPE_PAREN)), reinterpret_cast<void*>(paren::mold));
    for (int action : {ACT_MAKE, ACT_TO, ACT_FORM, ACT_COMPARE, ACT_COPY, ACT_PICK, ACT_EVAL_PATH})
        EXPECT_EQ(raw_handler(TYPE_PAREN, action), raw_handler(TYPE_BLOCK, action)) << ACTION_NAMES[action];
    EXPECT_STREQ(datatype::type_name(TYPE_BLOCK), "block!");
    EXPECT_STREQ(datatype::type_name(TYPE_PAREN), "paren!");
    EXPECT_EQ(datatype::parent_of(TYPE_PAREN), TYPE_BLOCK);
    EXPECT_EQ(datatype::parent_of(TYPE_BLOCK), TYPE_SERIES);
}

}  // namespace
