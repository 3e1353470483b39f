// The assignment of a block of words from values (set_many, as `set`
// and foreach use it); the series walks are tested through the loops.
#include "interpreter/iterate.h"
#include "tests/support/eval_env.h"
#include "tests/support/fields.h"

namespace zel::test {
namespace {

// The words a b c d hold 0 1 2 3 before each set_many.
class SetManyTest : public ::testing::Test {
protected:

    // set_many over the words block and the value the texts give.
    static std::string set(const char* words, const Cell& value, int count, bool any = false, bool only = false,
                           bool some = false) {
        gc::root keep_value(&value);
        Cell w = load_block(words);
        gc::root keep_words(&w);
        eval_value("a: 0 b: 1 c: 2 d: 3");
        std::string error = error_of([&] { iterate::set_many(&w, &value, count, any, only, some); });
        return error.empty() ? words_now() : error + " " + words_now();
    }
    static std::string set(const char* words, const char* value, int count, bool any = false, bool only = false,
                           bool some = false) {
        return set(words, first_value(value), count, any, only, some);
    }
    static Cell first_value(const char* text) { return *memory::series_of(node_of(load(text)))->cells(); }
    static std::string words_now() {
        return eval(":a") + " " + eval(":b") + " " + eval(":c") + " " + eval(":d");
    }
    // The block of the text with its cell `index` replaced.
    static Cell block_with(const char* text, int index, const Cell& value) {
        Cell block = load_block(text);
        memory::series_of(node_of(block))->cells()[index] = value;
        return block;
    }
};

TEST_F(SetManyTest, SpreadsBlocksAndGivesNonePastTheirEnd) {
    EXPECT_EQ(set("[a b c]", "[7 8 9]", 3), "7 8 9 3");
    EXPECT_EQ(set("[a b c]", "[7]", 3), "7 none none 3");
    EXPECT_EQ(set("[a b]", "(7 8)", 2), "7 8 2 3");
    EXPECT_EQ(set("[a b]", "x/y", 2), "x y 2 3");
    EXPECT_EQ(set("[a b c]", "[7 8 9]", 2), "7 8 2 3");
    EXPECT_EQ(set("[a b]", "w", 2), "w w 2 3");  // a word is a whole value
}

TEST_F(SetManyTest, WholeValues) {
    EXPECT_EQ(set("[a b]", "5", 2), "5 5 2 3");
    EXPECT_EQ(set("[a b]", "\"xy\"", 2), "\"xy\" \"xy\" 2 3");
    EXPECT_EQ(set("[a b]", "[7 8]", 2, false, true), "[7 8] [7 8] 2 3");  // /only
}

TEST_F(SetManyTest, Some) {
    EXPECT_EQ(set("[a b c]", block_with("[7 _ 9]", 1, none::g_none), 3, false, false, true), "7 1 9 3");
    EXPECT_EQ(set("[a b c]", "[7]", 3, false, false, true), "7 1 2 3");
    EXPECT_EQ(set("[a b]", none::g_none, 2, false, false, true), "0 1 2 3");
    EXPECT_EQ(set("[a b c]", block_with("[7 _ 9]", 1, none::g_none), 3), "7 none 9 3");
}

TEST_F(SetManyTest, AFailingCheckSetsNothing) {
    EXPECT_EQ(set("[a b 5 c]", "[7 8 9 10]", 4), "script/invalid-arg 0 1 2 3");
    EXPECT_EQ(set("[a \"b\"]", "[7 8]", 2), "script/invalid-arg 0 1 2 3");
    Cell with_unset = block_with("[7 8 9]", 1, unset::g_unset);
    gc::root keep(&with_unset);
    EXPECT_EQ(set("[a b c]", with_unset, 3), "script/need-value 0 1 2 3");
    ErrorThrow e = caught_error([&] {
        Cell w = load_block("[a b c]");
        iterate::set_many(&w, &with_unset, 3, false, false, false);
    });
    EXPECT_EQ(mold_of(e.args[0]), "b");
    EXPECT_EQ(set("[a b c]", with_unset, 3, true), "7 unset 9 3");  // /any
}

TEST_F(SetManyTest, AnyKindOfWord) {
    EXPECT_EQ(set("[a: :b 'c d]", "[7 8 9 10]", 4), "7 8 9 10");
}

// A map spreads its live pairs, keys first (a word key as word!), and
// never the cells of a removed pair.
TEST_F(SetManyTest, MapsSpreadTheirLivePairs) {
    Cell m = first_value("#[x 1 y 2 z 3]");
    gc::root keep(&m);
    EXPECT_EQ(set("[a b c d]", m, 4), "x 1 y 2");
    memory::series_of(node_of(m))->cells()[3].header = 0;  // y removed
    EXPECT_EQ(set("[a b c d]", m, 4), "x 1 z 3");
    memory::series_of(node_of(m))->cells()[1].header = 0;  // x removed
    EXPECT_EQ(set("[a b c d]", m, 4), "z 3 none none");
}

}  // namespace
}  // namespace zel::test
