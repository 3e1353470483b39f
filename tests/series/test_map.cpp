// map!: the sort codes' order, extend called directly, and the valid key
// types (the rest of map!, comparison and copy among it, is in
// tests/cases/map.cases).
#include <string>

#include "foundation/compare.h"
#include "series/block.h"
#include "series/map.h"
#include "tests/support/eval_env.h"
#include "tests/support/fields.h"
#include "tests/support/held.h"

namespace zel::test {
namespace {

// The sort codes order maps by their blocks (the other codes: map.cases).
TEST(Map, SortCodesOrderByTheBlocks) {
    Cell a = held(eval_value("#[a 1]")), b = held(eval_value("#[a 1]"));
    Cell first = node_of(a) < node_of(b) ? a : b, second = node_of(a) < node_of(b) ? b : a;
    EXPECT_EQ(compare::compare_value(&first, &second, compare::COMP_SORT), -1);
    EXPECT_EQ(compare::compare_value(&second, &first, compare::COMP_CASE_SORT), 1);
    EXPECT_EQ(compare::compare_value(&first, &first, compare::COMP_SORT), 0);
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
