// map!: making (repeated keys, case variants of a word key, numbers, other
// maps), key normalisation, paths, put, select, find, remove/key and the
// revival of a removed pair, length? and clear, reflect, the errors (with
// the map left as it was), mold in its shapes, form, comparison under each
// code, copy and copy/deep, foreach over removed pairs and over a map its
// body changes, extend, and the valid key types.
#include <string>

#include "core/compare.h"
#include "series/block.h"
#include "series/map.h"
#include "tests/support/eval_env.h"

namespace zel::test {
namespace {

TEST(Map, Making) {
    expect_results({
        // A key met again takes the later value; the later pair goes.
        {"make map! [a 1 b 2 a 3]", "#[\n    a: 3\n    b: 2\n]"},
        {"length? make map! [a 1 b 2 a 3]", "2"},
        // Building compares keys strictly: case variants are two keys, and a
        // path finds the first one equal to its key.
        {"length? make map! [a 1 A 2]", "2"},
        {"m: make map! [a 1 A 2] m/A", "1"},
        {"m: make map! [a 1 A 2] m/a", "1"},
        {"make map! []", "#[]"},
        {"make map! 0", "#[]"},
        {"make map! 2.5", "#[]"},
        {"make map! pick [(x 1)] 1", "#[\n    x: 1\n]"},
        {"make map! make hash! [k 1]", "#[\n    k: 1\n]"},
        {"m: #[a 1] n: make map! m n/a: 2 m/a", "1"},
        {"to map! [a 1]", "#[\n    a: 1\n]"},
        {"to map! #[a 1]", "#[\n    a: 1\n]"},
        {"make map! next [x a 1]", "#[\n    a: 1\n]"},
    });
}

TEST(Map, KeysAreNormalised) {
    expect_results({
        // The four word types name one key, stored as a set-word.
        {"m: #[] put m 'a 1 put m pick [a:] 1 2 put m pick [:a] 1 3 put m pick ['a] 1 4 m", "#[\n    a: 4\n]"},
        {"m: #[a: 1] m/a", "1"},
        {"m: #[] m/a: 1 find m pick [:a] 1", "a"},
        // A text key is the map's own copy.
        {"k: \"ab\" m: #[] put m k 1 append k \"c\" m", "#[\n    \"ab\" 1\n]"},
        {"k: \"ab\" m: #[] put m k 1 append k \"c\" select m \"ab\"", "1"},
        {"k: next \"xab\" m: #[] put m k 1 reflect m 'words", "[\"ab\"]"},
        {"k: \"ab\" m: make map! reduce [k 1] append k \"c\" select m \"ab\"", "1"},
        // Keys of different types never match.
        {"m: #[\"a\" 1] put m %a 2 length? m", "2"},
        {"m: #[\"a\" 1] put m %a 2 select m \"a\"", "1"},
        {"m: #[1 one] select m 1.0", "none"},
        {"m: #[1 one 2x3 pair 1.5 f #\"c\" c] reduce [m/1 m/(2x3) m/1.5 m/(#\"c\")]", "[one pair f c]"},
    });
}

TEST(Map, PathsPutSelectFind) {
    expect_results({
        {"m: #[a 1] m/b: 2 m", "#[\n    a: 1\n    b: 2\n]"},
        {"m: #[a 1] m/a: 5 m/a", "5"},
        {"m: #[a 1] m/zz", "none"},
        {"m: #[a 1] put m 'b 2", "2"},
        {"m: #[a 1] put m 'A 2 m", "#[\n    a: 2\n]"},
        {"m: #[a 1] put/case m 'A 2 length? m", "2"},
        {"m: #[a 1] m/a: none m/a", "none"},
        {"m: #[a 1] m/a: none length? m", "1"},
        // select and find: /case, /same.
        {"m: #[\"b\" 1] select m \"B\"", "1"},
        {"m: #[\"b\" 1] select/case m \"B\"", "none"},
        {"m: #[\"b\" 1] find m \"B\"", "\"b\""},
        {"m: #[\"b\" 1] find/case m \"B\"", "none"},
        {"m: #[a 1] find m 'a", "a"},
        {"m: #[a 1] find m 'zz", "none"},
        {"m: #[1 x] select/same m 1", "x"},
        {"m: #[\"b\" 1] select/same m \"b\"", "none"},
        {"m: #[a 1] select/same m 'a", "1"},
        {"m: #[a [1]] same? select m 'a m/a", "true"},
    });
}

TEST(Map, RemoveAndRevive) {
    expect_results({
        {"m: #[a 1 b 3] remove/key m 'b m/b", "none"},
        {"m: #[a 1 b 3] remove/key m 'b length? m", "1"},
        {"m: #[a 1 b 3] remove/key m 'b m", "#[\n    a: 1\n]"},
        {"m: #[a 1 b 3] remove/key m 'b select m 'b", "none"},
        {"m: #[a 1 b 3] remove/key m 'b find m 'b", "none"},
        {"m: #[a 1 b 3] remove/key m 'b", "#[\n    a: 1\n]"},
        // A revived pair keeps its place.
        {"m: #[a 1 b 3 c 5] remove/key m 'b m/b: 4 m", "#[\n    a: 1\n    b: 4\n    c: 5\n]"},
        {"m: #[a 1 b 3] remove/key m 'b put m 'b 4 length? m", "2"},
        {"m: #[a 1 b 3] remove/key m 'b remove/key m 'b length? m", "1"},
        // remove/key finds the key case-sensitively.
        {"m: #[\"b\" 1] remove/key m \"B\" length? m", "1"},
        {"m: #[b 1] remove/key m 'B length? m", "1"},
        {"m: #[b 1] remove/key m 'b length? m", "0"},
        // A removed key does not hide a live case variant of it.
        {"m: make map! [a 1 A 2] remove/key m 'a reduce [m/a m/A select m 'a]", "[2 2 2]"},
        {"m: make map! [a 1 A 2] remove/key m 'a find m 'a", "A"},
        {"m: make map! [a 1 A 2] remove/key m 'a m/a: 5 m", "#[\n    A: 5\n]"},
        {"m: make map! [a 1 A 2] remove/key m 'a remove/key m 'A m/a: 5 m", "#[\n    a: 5\n]"},
        {"m: make map! [a 1 A 2] remove/key m 'a m = make map! [A 2]", "true"},
        {"m: #[a 1] remove m", "error script/missing-arg"},
        {"m: #[a 1] remove/part m 1", "error script/missing-arg"},
    });
}

TEST(Map, LengthClearReflect) {
    expect_results({
        {"length? #[a 1 b 2]", "2"},
        {"m: #[a 1 b 2] clear m", "#[]"},
        {"m: #[a 1 b 2] clear m length? m", "0"},
        {"m: #[a 1 b 2] clear m m/c: 3 m", "#[\n    c: 3\n]"},
        {"m: #[a 1 b 2] clear m m/a", "none"},
        {"reflect #[a: 1 \"s\" 2] 'words", "[a \"s\"]"},
        {"reflect #[a 1 b 2] 'values", "[1 2]"},
        {"reflect #[a 1 \"s\" 2] 'body", "[\n    a: 1\n    \"s\" 2\n]"},
        {"m: #[a 1 b 2] remove/key m 'a reflect m 'words", "[b]"},
        {"m: #[a 1 b 2] remove/key m 'a reflect m 'values", "[2]"},
        {"m: #[a 1 b 2] remove/key m 'a reflect m 'body", "[\n    b: 2\n]"},
        {"reflect #[] 'body", "[]"},
        {"reflect #[a 1] 'spec", "error internal/not-done"},
        {"to block! #[a 1]", "[\n    a: 1\n]"},
        {"make block! #[a 1]", "[\n    a: 1\n]"},
        {"m: #[a 1 b 2] remove/key m 'a to block! m", "[\n    b: 2\n]"},
    });
}

// Each error leaves the map as it was.
TEST(Map, ErrorsChangeNothing) {
    expect_results({
        {"make map! [[x] 1]", "error script/invalid-path"},
        {"make map! reduce ['a 1 none 2]", "error script/invalid-path"},
        {"make map! [a 1 b]", "error script/invalid-arg"},
        {"to map! [a]", "error script/invalid-arg"},
        {"make map! -1", "error script/out-of-range"},
        {"make map! -0.5", "#[]"},
        {"make map! 1e20", "error script/out-of-range"},
        {"to map! 3", "error script/bad-to-arg"},
        {"to map! 3.5", "error script/bad-to-arg"},
        {"make map! \"a\"", "error script/bad-to-arg"},
        {"make map! 'a", "error script/bad-to-arg"},
        {"m: #[a 1] put m [x] 2", "error script/invalid-path"},
        {"m: #[a 1] try [put m [x] 2] m", "#[\n    a: 1\n]"},
        {"m: #[a 1] try [m/([x]): 2] length? m", "1"},
        {"m: #[a 1] try [m/(none): 2] m", "#[\n    a: 1\n]"},
        {"m: #[a 1] m/([x])", "none"},
        {"m: #[a 1] select m [x]", "none"},
    });
}

TEST(Map, Mold) {
    expect_results({
        {"#[a 1 \"b\" 2]", "#[\n    a: 1\n    \"b\" 2\n]"},
        {"#[]", "#[]"},
        // Nested maps indent 4 spaces a level; the closing bracket stands at
        // the nested map's own level.
        {"#[a #[b #[c 1]]]", "#[\n    a: #[\n        b: #[\n            c: 1\n        ]\n    ]\n]"},
        {"#[a #[]]", "#[\n    a: #[]\n]"},
        {"[#[a 1]]", "[#[\n    a: 1\n]]"},
        {"mold/flat #[a 1 b #[c 2]]", "\"#[a: 1 b: #[c: 2]]\""},
        {"mold/only #[a 1 b 2]", "\"a: 1^/b: 2\""},
        {"mold/only/flat #[a 1 b 2]", "\"a: 1 b: 2\""},
        {"mold/only #[]", "\"\""},
        // A map met again inside itself.
        {"m: #[a 1] m/self: m m", "#[\n    a: 1\n    self: #[...]\n]"},
        {"m: #[a 1] m/self: m mold/flat m", "\"#[a: 1 self: #[...]]\""},
        {"m: #[a 1] m/in: reduce [m] m", "#[\n    a: 1\n    in: [#[...]]\n]"},
        {"mold/part #[a 1 b 2] 9", "\"#[^/    a:\""},
        {"mold/all make map! reduce ['a true]", "\"#[^/    a: #(true)^/]\""},
        {"m: #[a 1 b 2] remove/key m 'a m", "#[\n    b: 2\n]"},
    });
}

TEST(Map, Form) {
    expect_results({
        {"form #[a 1 \"b\" \"x\"]", "{a: 1^/\"b\" \"x\"}"},
        {"form #[]", "\"\""},
        {"m: #[a 1] m/self: m form m", "\"a: 1^/self: #[...]\""},
        {"m: #[a 1 b 2] remove/key m 'a form m", "\"b: 2\""},
    });
}

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
    Cell a = eval_value("#[a 1]"), b = eval_value("#[a 1]");
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

TEST(Map, Foreach) {
    expect_results({
        {"r: copy [] foreach [k v] #[a 1 b 2] [append r reduce [k v]] r", "[a 1 b 2]"},
        {"r: copy [] foreach [k v] #[\"s\" 1] [append r k] r", "[\"s\"]"},
        {"m: #[a 1 b 2 c 3] remove/key m 'b r: copy [] foreach [k v] m [append r k] r", "[a c]"},
        {"m: #[a 1 b 2] remove/key m 'a remove/key m 'b r: copy [] foreach [k v] m [append r k] r", "[]"},
        {"foreach [k v] #[] [1]", "unset"},
        {"foreach [k v] #[a 1] [v]", "1"},
        {"m: #[a 1] foreach [k v] m [k] m", "#[\n    a: 1\n]"},
        {"foreach [k v w] #[a 1] []", "error script/invalid-arg"},
        {"foreach [k] #[a 1] []", "error script/invalid-arg"},
        {"foreach k #[a 1] []", "error script/invalid-arg"},
        {"foreach [k 1] #[a 1] []", "error script/invalid-arg"},
        // A body that changes the map: the walk goes on from where it is.
        {"m: #[a 1 b 2 c 3] r: copy [] foreach [k v] m [append r k if k = 'a [remove/key m 'b put m 'd 4]] r",
         "[a c d]"},
        {"m: #[a 1 b 2 c 3] r: copy [] foreach [k v] m [append r k clear m] r", "[a]"},
        {"m: #[a 1 b 2] r: copy [] foreach [k v] m [append r k remove/key m k put m k v] r", "[a b]"},
        {"m: #[a 1] n: 0 foreach [k v] m [n: n + 1 if n < 3 [put m n n]] n", "3"},
        // set spreads the live pairs too.
        {"m: #[a 1 b 2] remove/key m 'a set [x y z] m reduce [x y z]", "[b 2 none]"},
    });
}

TEST(Map, ExtendAddsPairs) {
    Cell m = eval_value("m: #[a 1 b 2]");
    Cell spec = eval_value("[b 3 c 4 \"k\" 5]");
    map::extend(&m, &spec, false);
    EXPECT_EQ(eval("m"), "#[\n    a: 1\n    b: 3\n    c: 4\n    \"k\" 5\n]");

    // A removed key comes back at its place; /case makes case variants new keys.
    eval("remove/key m 'a");
    spec = eval_value("[a 9 C 7]");
    map::extend(&m, &spec, true);
    EXPECT_EQ(eval("reduce [m/a m/c length? m]"), "[9 4 5]");
    EXPECT_EQ(eval("reflect m 'words"), "[a b c \"k\" C]");

    spec = eval_value("[z]");
    EXPECT_EQ(error_of([&] { map::extend(&m, &spec, false); }), "script/invalid-arg");
    EXPECT_EQ(eval("length? m"), "5");

    // A bad key stops the walk; the pairs before it stay.
    spec = eval_value("[y 1 [bad] 2 x 3]");
    EXPECT_EQ(error_of([&] { map::extend(&m, &spec, false); }), "script/invalid-path");
    EXPECT_EQ(eval("reduce [m/y m/x length? m]"), "[1 none 6]");

    Cell hash = eval_value("make hash! [h 1]");
    map::extend(&m, &hash, false);
    EXPECT_EQ(eval("m/h"), "1");
}

// Only the live pairs of a map spec are added: a removed pair's marker
// never reaches the other map.
TEST(Map, ExtendFromAMapTakesItsLivePairs) {
    Cell target = eval_value("t: #[a 0]");
    Cell source = eval_value("s: #[a 1 b 2 c 3] remove/key s 'a remove/key s 'c s");
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
