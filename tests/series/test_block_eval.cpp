// Block search, sorting and modification called from Zel code through the
// action entries: sort/compare with comparator functions (each kind of
// result, /reverse, /all with whole records in blocks of the sort's own,
// nested sorts, a comparator that changes or empties the block being sorted
// or fails), hash! values made, molded and refused by the dispatcher, and
// the entries' /part and /dup on top of the handlers.
#include "core/compare.h"
#include "tests/support/blocks.h"
#include "tests/support/eval_env.h"

namespace zel::test {
namespace {

class BlockEval : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        define_function("lt", "[a b]", "[a < b]");
        define_function("gt", "[a b]", "[a > b]");
        define_function("minus", "[a b]", "[a - b]");
        define_function("ratio", "[a b]", "[b - a * 0.5]");
        define_function("grab", "[a b]", "[seen: copy [] append/only seen a append/only seen b true]");
        define_function("second-lt", "[a b]", "[a/2 < b/2]");
        define_function("emptying", "[a b]", "[clear victim a < b]");
        define_function("growing", "[a b]", "[append victim 0 a < b]");
        define_function("failing", "[a b]", "[a + none]");
        define_function("nested", "[a b]", "[sort/all/skip/compare [4 x 3 y] 2 :second-lt a/1 < b/1]");
    }
    StandInCompare compare_;
};

TEST_F(BlockEval, SortWithComparatorFunctions) {
    expect_results({
        {"sort/compare [3 1 2] :lt", "[1 2 3]"},
        {"sort/compare [3 1 2] :gt", "[3 2 1]"},
        {"sort/compare/reverse [3 1 2] :lt", "[3 2 1]"},
        // An integer is the order of (b, a); a float by its sign.
        {"sort/compare [3 1 2] :minus", "[3 2 1]"},
        {"sort/compare [3 1 2] :ratio", "[1 2 3]"},
        {"sort/compare/skip [c 1 a 3 b 2] :lt 2", "[a 3 b 2 c 1]"},
        {"sort/compare/skip/all [a 3 b 1 c 2] :second-lt 2", "[b 1 c 2 a 3]"},
        {"sort/compare/part [3 1 2 0] :lt 3", "[1 2 3 0]"},
        {"sort/compare/skip/all [a 3 b 1] :nested 2", "[a 3 b 1]"},
        {"sort/compare/skip/all [b 3 a 1] :nested 2", "[a 1 b 3]"},
        // The comparator gets the second record first, unless reversed;
        // under /all whole records, in blocks.
        {"sort/compare [2 1] :grab seen", "[1 2]"},
        {"sort/compare/reverse [2 1] :grab seen", "[2 1]"},
        {"sort/compare/skip/all [b 2 a 1] :grab 2 seen", "[[a 1] [b 2]]"},
    });
}

TEST_F(BlockEval, ComparatorsThatChangeTheBlockOrFail) {
    expect_results({
        {"victim: [5 3 1 4 2] sort/compare victim :emptying", "[]"},
        {"victim: [5 3 1 4 2] sort/compare victim :growing copy/part victim 5", "[1 2 3 4 5]"},
        {"b: [2 1] sort/compare b :failing", "error script/invalid-type"},
        {"b", "[2 1]"},
        {"sort/compare [2 1] 'lt", "error script/expect-arg"},
        {"sort/compare [2 1] :lesser?", "error script/invalid-refine-arg"},
    });
}

TEST_F(BlockEval, HashValues) {
    expect_results({
        {"make hash! 10", "make hash! []"},
        {"make hash! [a b a]", "make hash! [a b a]"},
        {"mold/only make hash! [1 2]", "\"1 2\""},
        {"index? find/last make hash! [a b a] 'a", "3"},
        {"to hash! 5", "make hash! [5]"},
        {"select make hash! [k 1 j 2] 'j", "2"},
        {"h: make hash! [k 1] put h 'j 2 h", "make hash! [k 1 j 2]"},
        {"h: make hash! [a b] c: copy h append c 'x find h 'x", "none"},
        {"h: make hash! [3 1 2] sort/compare h :lt index? find h 1", "1"},
        {"h: make hash! [3 1 2] sort/compare/reverse h :lt index? find h 1", "3"},
        {"random make hash! [1 2]", "error script/expect-arg"},
        {"add make hash! [1] 1", "error script/expect-arg"},
        {"open make hash! []", "error script/expect-arg"},
    });
}

TEST_F(BlockEval, EntriesOverTheHandlers) {
    expect_results({
        {"append/part [] [1 2 3] 2", "[1 2]"},
        {"head insert/dup [a] [b c] 2", "[b c b c a]"},
        {"index? insert/dup [a] [b c] 2", "5"},
        {"b: [a b c] append b b", "[a b c a b c]"},
        {"b: [a b c] head insert b next b", "[b c a b c]"},
        {"head change/part [a b c] [x y z] 1", "[x y z b c]"},
        {"take/part [a b c] 2", "[a b]"},
        {"b: [1 2] swap b next b b", "[2 1]"},
        {"b: copy [] append b none append b 1 append b none trim b", "[1]"},
        {"find/skip/tail [a 1 b 2] 'b 2", "[]"},
        {"select/skip [a b b c] 'b 2", "c"},
    });
}

// make and to of block! from the values they convert rather than copy; the
// other block types go through the same handlers.
TEST_F(BlockEval, MakeAndToConvertOtherValues) {
    expect_results({
        // an object! or a map! gives its body, a vector! its elements
        {"mold/flat make block! make object! [a: 1 b: 'w c: [x]]", R"("[a: 1 b: 'w c: [x]]")"},
        {"mold/flat to block! make object! [a: 1]", R"("[a: 1]")"},
        {"mold/flat make block! make object! []", R"("[]")"},
        {"o: make object! [a: [1]] b: to block! o append b/2 2 o/a", "[1 2]"},
        {"mold/flat make block! #[k 1]", R"("[k: 1]")"},
        {"mold/flat to block! #[k 1]", R"("[k: 1]")"},
        {"make block! make vector! [1 2]", "[1 2]"},
        {"to block! make vector! [1 2]", "[1 2]"},
        {"mold/flat make paren! make object! [a: 1]", R"x("(a: 1)")x"},
        {"mold/flat to hash! make object! [a: 1]", R"("make hash! [a: 1]")"},
        {"select make hash! make object! [a: 1 b: 2] to set-word! 'b", "2"},
        // a string! is loaded from its head
        {"to block! {a b [c]}", "[a b [c]]"},
        {"to block! next {x y z}", "[y z]"},
        {"to block! {}", "[]"},
        {"s: {1 2} b: to block! s reduce [s b]", R"(["1 2" [1 2]])"},
        {"to paren! {1 + 2}", "(1 + 2)"},
        {"select to hash! {k 1} 'k", "1"},
        {"to block! {a [}", "error syntax/missing"},
        // a typeset! gives its datatype words, in id order
        {"to block! make typeset! [integer! string!]", "[string! integer!]"},
        {"type? pick to block! make typeset! [integer!] 1", "word!"},
        // only string! is loaded; other values are held as they are
        {"to block! %a", "[%a]"},
        {"to block! 1x2", "[1x2]"},
        {"make block! {a b}", "error script/bad-make-arg"},
        {"make block! 1x2", "error script/bad-make-arg"},
    });
}

}  // namespace
}  // namespace zel::test
