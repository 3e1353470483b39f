// string! search, sort and modification as Zel code runs them: the action
// entries' refinements, path access, and sort/compare with functions.
#include <string>

#include "tests/support/eval_env.h"

using namespace zel::test;

TEST(StringEval, Find) {
    expect_results({
        {R"(find "abc" "b")", R"("bc")"},
        {R"(index? find "abc" "b")", "2"},
        {R"(index? find/tail "abc" "b")", "3"},
        {R"(find/match "abc" "b")", "none"},
        {R"(find/match "abc" "ab")", R"("abc")"},
        {R"(find/match/tail "abc" "ab")", R"("c")"},
        {R"(index? find/last "abc" "b")", "2"},
        {R"(find/reverse "abc" "a")", "none"},
        {R"(find/reverse tail "abcb" #"b")", R"("b")"},
        {R"(find/part "abc" "ab" 1)", "none"},
        {R"(find/part "abc" "c" 2)", "none"},
        {R"(find/case "abc" "B")", "none"},
        {R"(find "abc" "B")", R"("bc")"},
        {R"(find/skip "a1b2c3" #"c" 2)", R"("c3")"},
        {R"(find/skip "abc" #"c" 0)", "error script/out-of-range"},
        {R"(find/any "abc" "b")", "error internal/not-done"},
        {R"(find/with "abc" "b" "*")", "error internal/not-done"},
        {R"(find "a12b" 12)", R"("12b")"},
        {R"(find "see a/b" %a/b)", R"("a/b")"},
        {R"(find "say hello" 'hello)", R"("hello")"},
        {R"(find "abc" "")", "none"},
    });
}

TEST(StringEval, SelectComparePaths) {
    expect_results({
        {R"(select "abc" "a")", R"(#"b")"},
        {R"(select "abc" "c")", "none"},
        {R"(select "abcd" "ab")", R"(#"c")"},
        {R"("abc" = "ABC")", "true"},
        {R"("abc" == "ABC")", "false"},
        {R"("abc" < "abd")", "true"},
        {R"("abc" = %abc)", "true"},
        {R"("abc" == %abc)", "false"},
        {R"("abc" < %abd)", "error script/invalid-compare"},
        {R"(s: "abc" s/2)", R"(#"b")"},
        {R"(s: "abc" s/2: #"X" s)", R"("aXc")"},
        {R"(s: "key=v;" s/("key="))", R"(#"v")"},
        {R"(s: "key=v;" s/("key="): #"w" s)", R"("key=w;")"},
        {R"(s: "abc" s/foo)", "error script/invalid-path"},
    });
}

TEST(StringEval, Modification) {
    expect_results({
        {R"(append "ab" #"c")", R"("abc")"},
        {R"(head insert next "ac" #"b")", R"("abc")"},
        {R"(insert next "ac" #"b")", R"("c")"},
        {R"(append/part "x" "abcdef" 3)", R"("xabc")"},
        {R"(append/part "x" [1 2 3] 2)", R"("x12")"},
        {R"(append/dup "x" "ab" 3)", R"("xababab")"},
        {R"(append "x" [a 1 "b"])", R"("xa1b")"},
        {R"(append/part "x" <bc> 1)", R"("x<")"},
        {R"(change "abc" "12345")", R"("")"},
        {R"(head change "abc" "12345")", R"("12345")"},
        {R"(head change/part "abcdef" "X" 3)", R"("Xdef")"},
        {R"(s: "abc" append s s)", R"("abcabc")"},
        {R"(s: "abc" head insert s next s)", R"("bcabc")"},
        {R"(take "abc")", R"(#"a")"},
        {R"(take/part "abc" 2)", R"("ab")"},
        {R"(s: "ab" swap s "xy" s)", R"("xb")"},
        {R"(swap "ab" [1])", "error script/invalid-arg"},
        {R"(trim "  a  ")", R"("a")"},
        {R"(trim/all " a b ")", R"("ab")"},
        {R"(trim/head "  a  ")", R"("a  ")"},
        {R"(trim/with "abcabc" "b")", R"("acac")"},
        {R"(trim/auto "  a")", "error internal/not-done"},
    });
}

TEST(StringEval, Sort) {
    define_function("lesser", "[a b]", "[a < b]");
    define_function("greater", "[a b]", "[a > b]");
    define_function("records", "[a b]", "[a < b]");
    expect_results({
        {R"(sort/stable "cBaA")", R"("aABc")"},
        {R"(sort "dcbaedcba")", R"("aabbccdde")"},
        {R"(sort/case "bBaA")", R"("ABab")"},
        {R"(sort/skip "b2a1c3" 2)", R"("a1b2c3")"},
        {R"(sort/skip/compare "b2a3c1" 2 2)", R"("c1b2a3")"},
        {R"(sort/skip "abcde" 2)", "error script/invalid-refine-arg"},
        {R"(sort/all "abcd")", "error script/bad-refines"},
        {R"(sort/reverse "abc")", R"("cba")"},
        {R"(sort/compare "cab" :lesser)", R"("abc")"},
        {R"(sort/compare "cab" :greater)", R"("cba")"},
        {R"(sort/compare/reverse "cab" :lesser)", R"("cba")"},
        {R"(sort/compare/all/skip "b2a3a1" :records 2)", R"("a1a3b2")"},
        {R"(sort/compare "cab" [])", "error script/invalid-refine-arg"},
    });
}

// A comparator that changes the very text being sorted: the sort reads its
// own copy, and writes the sorted characters back at whatever unit and
// length the text has by then.
TEST(StringEval, ComparatorChangingTheText) {
    define_function("grows", "[a b]", R"([append s "xy" a < b])");
    define_function("widens", "[a b]", R"z([append s #"^(E9)" a < b])z");
    define_function("empties", "[a b]", "[clear s a < b]");
    EXPECT_EQ(eval(R"(s: "cab" sort/compare s :grows copy/part s 3)"), R"("abc")");
    EXPECT_EQ(eval(R"(s: "cab" sort/compare s :widens copy/part s 3)"), R"("abc")");
    EXPECT_EQ(eval(R"(s: "cab" sort/compare s :empties s)"), R"("")");
}
