// map!: comparison under each code, copy and copy/deep, extend, and the
// valid key types (making, keys, paths, removal, mold, form, foreach and
// the errors are in tests/cases/map.cases).
#include <string>

#include "core/compare.h"
#include "series/block.h"
#include "series/map.h"
#include "tests/support/eval_env.h"
#include "tests/support/held.h"

namespace zel::test {
namespace {

TEST(Map, CompareByContent) {
    expect_results({
        // equal?: the same pairs in any order, keys and values case-insensitively.
        {"#[a 1 b 2] = #[b 2 a 1]", "true"},
        {"#[a 1 b 2] = #[b 2 a 3]", "false"},
        {"#[a 1] = #[a 1 b 2]", "false"},
        {"#[] = #[]", "true"},
        {"#[a 1] = #[A 1]", "true"},
        {"#[a \"x\"] = #[a \"X\"]", "true"},
        {"#[a 1] = #[a 1.0]", "true"},
        {"m: #[a 1 b 2] remove/key m 'b m = #[a 1]", "true"},
        {"m: #[a 1 b 2] remove/key m 'b #[a 1] = m", "true"},
        {"#[a 1] = [a 1]", "false"},
        // Case variants of one key: the value must match one of them.
        {"(make map! [a 1 A 2]) = make map! [A 2 a 1]", "true"},
        {"(make map! [a 1 A 2]) = make map! [A 1 a 2]", "true"},
        {"(make map! [a 1 A 2]) = make map! [A 3 a 1]", "false"},
        // not-equal?
        {"#[a 1] <> #[a 2]", "true"},
        {"#[a 1] <> #[a 1]", "false"},
        // strict-equal?: keys looked up strictly, values compared strictly.
        {"#[a 1] == #[a 1]", "true"},
        {"#[a 1] == #[A 1]", "false"},
        {"#[a \"x\"] == #[a \"X\"]", "false"},
        {"#[a 1] == #[a 1.0]", "false"},
        // same?: one map only.
        {"m: #[a 1] same? m m", "true"},
        {"same? #[a 1] #[a 1]", "false"},
        // find equality inside a block.
        {"index? find reduce [1 #[a 2] #[a 1]] #[a 1]", "3"},
        // A map inside itself compares by whether the other is walked too.
        {"m: #[a 1] m/s: m n: #[a 1] n/s: n m = n", "true"},
        {"#[a 1] < #[a 2]", "error script/invalid-compare"},
    });
    // The sort codes order maps by their blocks.
    Cell a = held(eval_value("#[a 1]")), b = held(eval_value("#[a 1]"));
    Cell first = a.data2 < b.data2 ? a : b, second = a.data2 < b.data2 ? b : a;
    EXPECT_EQ(actions::compare_value(&first, &second, actions::COMP_SORT), -1);
    EXPECT_EQ(actions::compare_value(&second, &first, actions::COMP_CASE_SORT), 1);
    EXPECT_EQ(actions::compare_value(&first, &first, actions::COMP_SORT), 0);
}

TEST(Map, Copy) {
    expect_results({
        {"m: #[a 1] n: copy m n/b: 2 length? m", "1"},
        {"m: #[a 1] n: copy m n/a: 2 m/a", "1"},
        {"m: #[a 1] n: copy m n = m", "true"},
        // A removed pair is copied removed, and can be revived in the copy alone.
        {"m: #[a 1 b 2] remove/key m 'a n: copy m n/a: 5 reduce [length? m length? n m/a]", "[1 2 none]"},
        {"m: #[a 1 b 2] remove/key m 'a n: copy m n", "#[\n    b: 2\n]"},
        // Shallow copies share nested series; deep ones do not.
        {"m: #[b [1 2]] n: copy m same? n/b m/b", "true"},
        {"m: #[b [1 2]] n: copy/deep m append n/b 3 m/b", "[1 2]"},
        {"m: #[b [1 2]] n: copy/deep m n/b", "[1 2]"},
        {"m: #[b #[c [1]]] n: copy/deep m append n/b/c 2 m/b/c", "[1]"},
        {"m: #[b [1] s \"x\"] n: copy/types m block! append n/b 2 append n/s \"y\" reduce [m/b m/s]", "[[1] \"xy\"]"},
        // A map inside itself.
        {"m: #[a 1] m/self: m copy/deep m", "error internal/no-cycle"},
        {"m: #[a 1] m/self: m n: copy m same? n/self m", "true"},
    });
}

TEST(Map, ExtendAddsPairs) {
    Cell m = eval_value("m: #[a 1 b 2]");
    Cell spec = held(eval_value("[b 3 c 4 \"k\" 5]"));
    map::extend(&m, &spec, false);
    EXPECT_EQ(eval("m"), "#[\n    a: 1\n    b: 3\n    c: 4\n    \"k\" 5\n]");

    // A removed key comes back at its place; /case makes case variants new keys.
    eval("remove/key m 'a");
    spec = held(eval_value("[a 9 C 7]"));
    map::extend(&m, &spec, true);
    EXPECT_EQ(eval("reduce [m/a m/c length? m]"), "[9 4 5]");
    EXPECT_EQ(eval("reflect m 'words"), "[a b c \"k\" C]");

    spec = held(eval_value("[z]"));
    EXPECT_EQ(error_of([&] { map::extend(&m, &spec, false); }), "script/invalid-arg");
    EXPECT_EQ(eval("length? m"), "5");

    // A bad key stops the walk; the pairs before it stay.
    spec = held(eval_value("[y 1 [bad] 2 x 3]"));
    EXPECT_EQ(error_of([&] { map::extend(&m, &spec, false); }), "script/invalid-path");
    EXPECT_EQ(eval("reduce [m/y m/x length? m]"), "[1 none 6]");

    Cell hash = held(eval_value("make hash! [h 1]"));
    map::extend(&m, &hash, false);
    EXPECT_EQ(eval("m/h"), "1");
}

// Only the live pairs of a map spec are added: a removed pair's marker
// never reaches the other map.
TEST(Map, ExtendFromAMapTakesItsLivePairs) {
    Cell target = eval_value("t: #[a 0]");
    Cell source = held(eval_value("s: #[a 1 b 2 c 3] remove/key s 'a remove/key s 'c s"));
    map::extend(&target, &source, false);
    EXPECT_EQ(eval("t"), "#[\n    a: 0\n    b: 2\n]");
    EXPECT_EQ(eval("length? t"), "2");
    EXPECT_EQ(eval("reflect t 'values"), "[0 2]");
    // A map extended by itself keeps its pairs.
    map::extend(&target, &target, false);
    EXPECT_EQ(eval("t"), "#[\n    a: 0\n    b: 2\n]");
}

TEST(Map, ValidKeyTypes) {
    const int valid[] = {TYPE_STRING, TYPE_FILE,  TYPE_URL,     TYPE_CHAR,     TYPE_INTEGER, TYPE_FLOAT,
                         TYPE_WORD,   TYPE_SET_WORD, TYPE_LIT_WORD, TYPE_GET_WORD, TYPE_REFINEMENT,
                         TYPE_ISSUE,  TYPE_PAIR,  TYPE_PERCENT, TYPE_TUPLE,    TYPE_BINARY,  TYPE_TIME,
                         TYPE_TAG,    TYPE_EMAIL, TYPE_DATE,    TYPE_MONEY,    TYPE_REF,     TYPE_POINT2D,
                         TYPE_POINT3D};
    int count = 0;
    for (int type = 0; type <= TYPE_LAST; type++) {
        bool expected = std::find(std::begin(valid), std::end(valid), type) != std::end(valid);
        EXPECT_EQ(map::valid_key_q(type), expected) << type;
        count += map::valid_key_q(type);
    }
    EXPECT_EQ(count, 24);
}

}  // namespace
}  // namespace zel::test
