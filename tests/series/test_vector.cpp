// vector!: every spec form and its errors; elements read and written at
// each width (integers signed, code points zero-extended, singles rounded,
// percents as fractions); mold and form in the short and the long shape;
// comparison; append, insert and change (a value of the wrong type changes
// nothing); arithmetic and bitwise operations with a scalar in place and
// with another vector; the series handlers the type inherits; and a unit
// its element type cannot have, which is fatal.
#include <unistd.h>

#include <cstring>
#include <string>

#include "core/platform.h"
#include "series/vector.h"
#include "tests/support/eval_env.h"

namespace zel::test {
namespace {

TEST(Vector, SpecForms) {
    expect_results({
        {"make vector! 3", "make vector! [0 0 0]"},
        {"make vector! 2.9", "make vector! [0 0]"},
        {"make vector! 0", "make vector! [integer! 32 []]"},
        {"make vector! []", "make vector! [integer! 32 []]"},
        {"make vector! [1 2 3]", "make vector! [1 2 3]"},
        {"make vector! [#\"a\" #\"b\"]", "make vector! [#\"a\" #\"b\"]"},
        {"make vector! [1.5 2.0]", "make vector! [1.5 2.0]"},
        {"make vector! [50% 10%]", "make vector! [50% 10%]"},
        {"make vector! [integer! 8 [1 2]]", "make vector! [integer! 8 [1 2]]"},
        {"make vector! [integer! 16 3]", "make vector! [integer! 16 [0 0 0]]"},
        {"make vector! [integer! 32 [1]]", "make vector! [1]"},
        // A count beyond the values is filled with zeros; a shorter one grows.
        {"make vector! [integer! 8 5 [1 2]]", "make vector! [integer! 8 [1 2 0 0 0]]"},
        {"make vector! [integer! 8 2 [1 2 3 4]]", "make vector! [integer! 8 [1 2 3 4]]"},
        {"make vector! [char! 8 [#\"a\"]]", "make vector! [char! 8 [#\"a\"]]"},
        {"make vector! [char! 16 [#\"a\"]]", "make vector! [char! 16 [#\"a\"]]"},
        {"make vector! [char! 32 [#\"a\"]]", "make vector! [#\"a\"]"},
        {"make vector! [float! 32 [1.5]]", "make vector! [float! 32 [1.5]]"},
        {"make vector! [float! 64 2]", "make vector! [0.0 0.0]"},
        // percent! may leave its width out; any width given means 64.
        {"make vector! [percent! [50%]]", "make vector! [50%]"},
        {"make vector! [percent! 32 [50%]]", "make vector! [50%]"},
        {"make vector! [percent! 16 2]", "make vector! [0% 0%]"},
        // The type word is matched by its canonical spelling.
        {"make vector! [Integer! 8 [1]]", "make vector! [integer! 8 [1]]"},
    });
}

TEST(Vector, SpecErrors) {
    expect_results({
        {"make vector! [integer!]", "error script/bad-make-arg"},
        {"make vector! [foo 8 [1]]", "error script/bad-make-arg"},
        {"make vector! [integer! 12 [1]]", "error script/bad-make-arg"},
        {"make vector! [integer! 64 [1]]", "error script/bad-make-arg"},
        {"make vector! [char! 64 [#\"a\"]]", "error script/bad-make-arg"},
        {"make vector! [float! 16 [1.0]]", "error script/bad-make-arg"},
        {"make vector! [float! [1.0]]", "error script/invalid-spec-field"},
        {"make vector! [integer! [1]]", "error script/invalid-spec-field"},
        {"make vector! [integer! 8 foo]", "error script/invalid-spec-field"},
        {"make vector! [integer! 8 3 foo]", "error script/invalid-spec-field"},
        {"make vector! [integer! 8]", "error script/invalid-spec-field"},
        {"make vector! [percent! 3]", "error script/invalid-spec-field"},
        {"make vector! [none 1]", "error script/bad-make-arg"},
        {"make vector! [\"a\" \"b\"]", "error script/invalid-type"},
        {"make vector! [[1] [2]]", "error script/invalid-type"},
        {"make vector! \"x\"", "error internal/not-done"},
        // Each value must be of exactly the element type.
        {"make vector! [1 2.0]", "error script/invalid-arg"},
        {"make vector! [1.5 2]", "error script/invalid-arg"},
        {"make vector! [integer! 8 [1 #\"a\"]]", "error script/invalid-arg"},
        // Negative counts, and floats that are no count.
        {"make vector! -1", "error script/out-of-range"},
        {"make vector! -2.5", "error script/out-of-range"},
        {"make vector! [integer! 8 -1]", "error script/out-of-range"},
        {"make vector! [integer! 8 -1 [1]]", "error script/out-of-range"},
        {"make vector! 1e20", "error script/out-of-range"},
        {"make vector! 0 / 0.0", "error script/out-of-range"},
        // Sizes beyond 32 bits.
        {"make vector! [float! 64 300000000]", "error internal/no-memory"},
        {"make vector! 600000000", "error internal/no-memory"},
    });
}

TEST(Vector, ElementsAtEachWidth) {
    expect_results({
        // Integers are signed: an 8-bit 200 reads back -56.
        {"v: make vector! [integer! 8 [200 1]] v/1", "-56"},
        {"make vector! [integer! 16 [40000 -40000]]", "make vector! [integer! 16 [-25536 25536]]"},
        {"v: make vector! [integer! 16 [-1]] v/1", "-1"},
        // Code points are not: 0xE9 in 8 bits reads U+00E9.
        {"v: make vector! [char! 8 [#\"^(E9)\"]] to integer! v/1", "233"},
        {"v: make vector! [char! 16 [#\"^(FFFF)\"]] to integer! v/1", "65535"},
        {"v: make vector! [char! 8 [#\"^(0100)\"]] to integer! v/1", "0"},
        // Singles are rounded when written, widened when read.
        {"v: make vector! [float! 32 [0.1]] v/1", "0.10000000149011612"},
        {"v: make vector! [float! 32 [0.1]] poke v 1 0.3 v/1", "0.30000001192092896"},
        {"v: make vector! [float! 32 [1e40]] v/1", "1.#INF"},
        {"v: make vector! [0.1] v/1", "0.1"},
        // Percents keep their fraction.
        {"v: make vector! [50% 12.5%] reduce [v/1 v/2]", "[50% 12.5%]"},
        {"to block! make vector! [50%]", "[50%]"},
        {"to block! make vector! [integer! 8 [-1 2]]", "[-1 2]"},
        {"make block! make vector! [#\"a\"]", "[#\"a\"]"},
        {"to block! make vector! []", "[]"},
    });
}

TEST(Vector, MoldAndForm) {
    expect_results({
        {"mold make vector! [1 2 3]", "\"make vector! [1 2 3]\""},
        {"mold make vector! [integer! 16 [1 2 3]]", "\"make vector! [integer! 16 [1 2 3]]\""},
        {"mold make vector! [float! 64 []]", "\"make vector! [float! 64 []]\""},
        {"mold make vector! [percent! []]", "\"make vector! [percent! 64 []]\""},
        {"mold make vector! [char! 8 []]", "\"make vector! [char! 8 []]\""},
        {"mold make vector! [float! 32 [1.5 0.1]]", "\"make vector! [float! 32 [1.5 0.1]]\""},
        {"mold make vector! [#\"^-\"]", "{make vector! [#\"^^-\"]}"},
        {"mold/all make vector! [#\"^(E9)\"]", "{make vector! [#\"^^(E9)\"]}"},
        // With /only the outer brackets go, the values' own stay.
        {"mold/only make vector! [1 2]", "\"1 2\""},
        {"mold/only make vector! [integer! 8 [1 2]]", "\"integer! 8 [1 2]\""},
        {"mold/part make vector! [100 200 300] 18", "\"make vector! [100 \""},
        {"v: next make vector! [1 2 3] mold v", "\"make vector! [2 3]\""},
        {"form make vector! [1 2 3]", "\"1 2 3\""},
        {"form make vector! [1.5 2.5]", "\"1.5 2.5\""},
        {"form make vector! [50%]", "\"50%\""},
        {"form make vector! [#\"a\" #\"^-\"]", "\"a ^^-\""},
        {"form make vector! []", "\"\""},
    });
}

TEST(Vector, Compare) {
    expect_results({
        {"(make vector! [1 2]) = make vector! [1 2]", "true"},
        {"(make vector! [1 2]) = make vector! [integer! 8 [1 2]]", "true"},
        {"(make vector! [1.0 2.0]) = make vector! [float! 32 [1.0 2.0]]", "true"},
        {"(make vector! [1 2]) = make vector! [1 2 3]", "false"},
        {"(make vector! []) = make vector! [integer! 8 []]", "true"},
        {"(make vector! [1 2]) == make vector! [1 2]", "true"},
        {"(make vector! [1 2]) <> make vector! [1 3]", "true"},
        {"(make vector! [1 2 3]) < make vector! [1 2 4]", "true"},
        {"(make vector! [1 2 3]) > make vector! [1 2]", "true"},
        {"(make vector! [1 2]) < make vector! [1 2 0]", "true"},
        {"(make vector! [integer! 8 [-1]]) < make vector! [0]", "true"},
        {"(make vector! [char! 8 [#\"^(E9)\"]]) > make vector! [#\"a\"]", "true"},
        {"v: make vector! [1 2] same? v v", "true"},
        {"same? make vector! [1 2] make vector! [1 2]", "false"},
        {"v: make vector! [1 2 3] (next v) = next v", "true"},
        {"(make vector! [1]) = [1]", "false"},
        {"(make vector! [1 2]) = make vector! [#\"a\" #\"b\"]", "error script/not-same-type"},
        {"(make vector! [1.0]) = make vector! [100%]", "error script/not-same-type"},
    });
}

TEST(Vector, AppendInsertChange) {
    expect_results({
        {"v: make vector! [1 2] append v 3", "make vector! [1 2 3]"},
        {"v: make vector! [1 2] append v [3 4] v", "make vector! [1 2 3 4]"},
        {"v: make vector! [1 2] append/part v [3 4 5] 2", "make vector! [1 2 3 4]"},
        {"v: make vector! [1 2] append/dup v [3 4] 2", "make vector! [1 2 3 4 3 4]"},
        {"v: make vector! [1 2] append v [] v", "make vector! [1 2]"},
        {"v: make vector! [1 2] index? append next v 3", "2"},
        {"v: make vector! [1 2] insert v [7 8] v", "make vector! [7 8 1 2]"},
        {"v: make vector! [1 2] index? insert/dup v 7 2", "3"},
        {"v: make vector! [1 2] insert tail v 3 v", "make vector! [1 2 3]"},
        {"v: make vector! [integer! 8 [1]] append v 300 v", "make vector! [integer! 8 [1 44]]"},
        // A value of another type: invalid-arg, and the vector as it was.
        {"v: make vector! [1 2] append v 1.5", "error script/invalid-arg"},
        {"v: make vector! [1 2] try [append v 1.5] v", "make vector! [1 2]"},
        {"v: make vector! [1 2] try [append v [3 4.0]] v", "make vector! [1 2]"},
        {"v: make vector! [1 2] try [insert v #\"a\"] v", "make vector! [1 2]"},
        {"v: make vector! [1.5] try [append v 1] v", "make vector! [1.5]"},
        {"v: make vector! [1 2] try [poke v 1 1.0] v", "make vector! [1 2]"},
        {"v: make vector! [1 2] poke v 1 1.0", "error script/invalid-arg"},
        {"v: make vector! [1 2 3 4] change v 9", "make vector! [2 3 4]"},
        {"v: make vector! [1 2 3 4] change v 9 v", "make vector! [9 2 3 4]"},
        {"v: make vector! [1 2 3 4] change/part v [8 9] 3 v", "make vector! [8 9 4]"},
        {"v: make vector! [1 2 3 4] change/dup v 0 3 v", "make vector! [0 0 0 4]"},
        {"v: make vector! [1 2] change next v [7 8 9] v", "make vector! [1 7 8 9]"},
        {"v: make vector! [1 2 3 4] try [change v [5 1.5]] v", "make vector! [1 2 3 4]"},
        // From another vector: of the same element type, converted element by
        // element when the widths differ; from the changed buffer itself as
        // it was before the change.
        {"v: make vector! [1 2 3 4] change next v make vector! [7 8 9 10] v", "make vector! [1 7 8 9 10]"},
        {"v: make vector! [integer! 8 [1 2]] change v make vector! [300 -5] v", "make vector! [integer! 8 [44 -5]]"},
        {"v: make vector! [1 2 3] change v make vector! [integer! 8 [-1 -2]] v", "make vector! [-1 -2 3]"},
        {"v: make vector! [float! 32 [1.0]] change v make vector! [0.1] v/1", "0.10000000149011612"},
        {"v: make vector! [char! 8 [#\"a\"]] change v make vector! [#\"^(E9)\"] v/1", "#\"é\""},
        {"v: make vector! [1 2] change v make vector! [#\"a\"]", "error script/not-same-type"},
        {"v: make vector! [1.0] try [change v make vector! [50%]] v", "make vector! [1.0]"},
        {"v: make vector! [1 2 3 4] change v v v", "make vector! [1 2 3 4]"},
        {"v: make vector! [1 2 3 4] change v next v v", "make vector! [2 3 4 4]"},
        {"v: make vector! [1 2 3 4] change next v v v", "make vector! [1 1 2 3 4]"},
    });
}

TEST(Vector, ArithmeticWithAScalar) {
    expect_results({
        // In place: the result is the vector itself.
        {"v: make vector! [1 2 3] v + 10 v", "make vector! [11 12 13]"},
        {"v: make vector! [1 2] same? v v * 3", "true"},
        {"v: make vector! [1 2 3] v - 10", "make vector! [-9 -8 -7]"},
        {"v: make vector! [7 -7] v / 2", "make vector! [3 -3]"},
        {"v: make vector! [7 -7] remainder v 2", "make vector! [1 -1]"},
        {"v: make vector! [1 2 3] v: next v v + 10 head v", "make vector! [1 12 13]"},
        // A scalar on the left stays the left operand.
        {"v: make vector! [1 2 3] 10 - v", "make vector! [9 8 7]"},
        {"v: make vector! [1 2] 10 / v", "make vector! [10 5]"},
        {"v: make vector! [1.0 2.0] 1 / v", "make vector! [1.0 0.5]"},
        {"v: make vector! [1.0 2.0] 1.5 - v", "make vector! [0.5 -0.5]"},
        {"v: make vector! [1 2] 0 - v", "make vector! [-1 -2]"},
        {"v: make vector! [2 3] 3 * v", "make vector! [6 9]"},
        // Integer results wrap at 32 bits, then keep the element's width.
        {"v: make vector! [integer! 8 [127 -128]] v + 1", "make vector! [integer! 8 [-128 -127]]"},
        {"v: make vector! [2147483647] v + 1", "make vector! [-2147483648]"},
        {"v: make vector! [65536] v * 65536", "make vector! [0]"},
        {"v: make vector! [integer! 8 [100]] v * 3", "make vector! [integer! 8 [44]]"},
        {"v: make vector! [integer! 16 [-32768]] v - 1", "make vector! [integer! 16 [32767]]"},
        // A float scalar for integer elements is truncated, through the
        // checked conversion.
        {"v: make vector! [1 2] v + 1.9", "make vector! [2 3]"},
        {"v: make vector! [1 2] v * 2.7", "make vector! [2 4]"},
        {"v: make vector! [1 2] v + -1.9", "make vector! [0 1]"},
        {"v: make vector! [1 2] v + 1e20", "error script/out-of-range"},
        {"v: make vector! [1 2] v + (0 / 0.0)", "error script/out-of-range"},
        {"v: make vector! [1 2] v + (1 / 0.0)", "error script/out-of-range"},
        {"v: make vector! [1.5 2.5] v * 2", "make vector! [3.0 5.0]"},
        {"v: make vector! [float! 32 [0.5]] v + 0.1 v/1", "0.6000000238418579"},
        {"v: make vector! [50% 10%] v * 2", "make vector! [100% 20%]"},
        {"v: make vector! [50% 10%] v + 50%", "make vector! [100% 60%]"},
        {"v: make vector! [1 2] v + 0 v", "make vector! [1 2]"},
        {"v: make vector! [1 2] v / 0", "error math/zero-divide"},
        {"v: make vector! [1 2] try [v / 0] v", "make vector! [1 2]"},
        {"v: make vector! [-2147483648] v / -1", "error math/overflow"},
        {"v: make vector! [1.0] v / 0", "make vector! [1.#INF]"},
        {"v: make vector! [1 2] v + \"a\"", "error internal/not-done"},
        {"v: make vector! [1.5] v + #\"a\"", "error internal/not-done"},
        // char! elements stay code points: a result outside 0 .. 10FFFF
        // (or past 32 bits on the way) is a math overflow, and nothing changes.
        {"v: make vector! [#\"a\"] v + 1", "make vector! [#\"b\"]"},
        {"v: make vector! [#\"a\"] 1 + v", "make vector! [#\"b\"]"},
        {"v: make vector! [char! 8 [#\"^(E9)\"]] v + 1", "make vector! [char! 8 [#\"ê\"]]"},
        {"v: make vector! [#\"a\"] v - 98", "error math/overflow"},
        {"v: make vector! [#\"a\" #\"b\"] try [v - 98] v", "make vector! [#\"a\" #\"b\"]"},
        {"v: make vector! [#\"^(10FFFF)\"] v + 1", "error math/overflow"},
        {"v: make vector! [char! 8 [#\"a\"]] v * 10000000", "error math/overflow"},
        {"v: make vector! [#\"a\"] v * 100000000", "error math/overflow"},
    });
}

TEST(Vector, ArithmeticWithAVector) {
    expect_results({
        {"v: make vector! [1 2 3] w: make vector! [10 20 30 40 50] v + w", "make vector! [11 22 33]"},
        {"v: make vector! [1 2 3] w: make vector! [10 20 30 40 50] w - v", "make vector! [9 18 27]"},
        {"v: make vector! [1 2 3] w: make vector! [10 20] v + w v", "make vector! [1 2 3]"},
        {"v: make vector! [1 2 3] w: make vector! [10 20] same? v v + w", "false"},
        // The larger element size wins.
        {"v: make vector! [integer! 8 [1 2 3]] w: make vector! [10 20] v + w", "make vector! [11 22]"},
        {"v: make vector! [integer! 8 [100]] w: make vector! [integer! 16 [100]] v + w",
         "make vector! [integer! 16 [200]]"},
        {"v: make vector! [integer! 8 [100]] w: make vector! [integer! 8 [100]] v + w",
         "make vector! [integer! 8 [-56]]"},
        {"v: make vector! [float! 32 [1.5]] w: make vector! [float! 64 [0.25 9.0]] v + w", "make vector! [1.75]"},
        {"v: make vector! [float! 32 [1.5 2.0]] w: make vector! [float! 32 [0.5 1.0]] v * w",
         "make vector! [float! 32 [0.75 2.0]]"},
        {"v: make vector! [50%] w: make vector! [50%] v * w", "make vector! [25%]"},
        {"v: make vector! [#\"a\" #\"b\"] w: make vector! [#\"^(10FFFF)\" #\"a\"] v + w", "error math/overflow"},
        {"v: make vector! [6 7] w: make vector! [0 1] v / w", "error math/zero-divide"},
        {"v: make vector! [1 2] w: make vector! [] v + w", "make vector! [integer! 32 []]"},
        {"v: make vector! [1 2] w: make vector! [1.0 2.0] v + w", "error script/not-same-type"},
        {"v: make vector! [1 2] w: make vector! [#\"a\"] v + w", "error script/not-same-type"},
    });
}

TEST(Vector, Bitwise) {
    expect_results({
        {"v: make vector! [12 10] and~ v 6", "make vector! [4 2]"},
        {"v: make vector! [12 10] or~ v 1", "make vector! [13 11]"},
        {"v: make vector! [12 10] xor~ v 15", "make vector! [3 5]"},
        {"v: make vector! [integer! 8 [-1]] and~ v 255", "make vector! [integer! 8 [-1]]"},
        {"v: make vector! [12 10] w: make vector! [6 3] reduce [and~ v w or~ v w xor~ v w]",
         "[make vector! [4 2] make vector! [14 11] make vector! [10 9]]"},
        {"v: make vector! [1.0] and~ v 1", "error script/cannot-use"},
        {"v: make vector! [1.0] w: make vector! [2.0] or~ v w", "error script/cannot-use"},
    });
}

TEST(Vector, InheritedSeriesHandlers) {
    expect_results({
        {"v: make vector! [1 2 3] pick v 2", "2"},
        {"v: make vector! [1 2 3] pick v 4", "none"},
        {"v: make vector! [1 2 3] pick next v -1", "1"},
        {"v: make vector! [char! 8 [#\"a\"]] pick v 1", "#\"a\""},
        {"v: make vector! [1 2 3] poke v 1 9 v", "make vector! [9 2 3]"},
        {"v: make vector! [1 2 3] poke v 4 1", "error script/out-of-range"},
        {"v: make vector! [integer! 8 [1]] poke v 1 -129 v", "make vector! [integer! 8 [127]]"},
        {"v: make vector! [1 2 3] v/2", "2"},
        {"v: make vector! [1 2 3] v/2: 7 v", "make vector! [1 7 3]"},
        {"v: make vector! [1 2 3] take v", "1"},
        {"v: make vector! [1 2 3] take v v", "make vector! [2 3]"},
        {"v: make vector! [1 2 3] take/last v", "3"},
        {"v: make vector! [1 2 3] take/part v 2", "make vector! [1 2]"},
        {"v: make vector! [1.5 2.5] take v", "1.5"},
        {"v: make vector! [integer! 8 [-5 2]] take v", "-5"},
        {"v: make vector! [1 2 3] find v 2", "make vector! [2 3]"},
        {"v: make vector! [1 2 3] find v 2.0", "make vector! [2 3]"},
        {"v: make vector! [1 2 3] find v 9", "none"},
        {"v: make vector! [integer! 8 [1 -1]] index? find v -1", "2"},
        {"v: make vector! [#\"a\" #\"b\"] find v #\"b\"", "make vector! [#\"b\"]"},
        {"v: make vector! [#\"a\" #\"b\"] find v #\"B\"", "none"},
        {"v: make vector! [char! 8 [#\"^(E9)\"]] index? find v #\"^(E9)\"", "1"},
        {"v: make vector! [1 2 3] select v 2", "3"},
        // Sorting orders integers by their signed value.
        {"v: make vector! [3 1 2] sort v", "make vector! [1 2 3]"},
        {"v: make vector! [integer! 8 [3 -1 2 -128]] sort v", "make vector! [integer! 8 [-128 -1 2 3]]"},
        {"v: make vector! [integer! 16 [300 -2 7]] sort v", "make vector! [integer! 16 [-2 7 300]]"},
        {"v: make vector! [-5 3 -2147483648] sort v", "make vector! [-2147483648 -5 3]"},
        {"v: make vector! [integer! 8 [3 -1 2]] sort/reverse v", "make vector! [integer! 8 [3 2 -1]]"},
        {"v: make vector! [char! 8 [#\"b\" #\"^(E9)\" #\"a\"]] sort v", "make vector! [char! 8 [#\"a\" #\"b\" #\"é\"]]"},
        {"v: make vector! [2.5 -1.0 0.5] sort v", "make vector! [-1.0 0.5 2.5]"},
        {"v: make vector! [1 2 3] copy next v", "make vector! [2 3]"},
        {"v: make vector! [1 2 3] copy/part v 2", "make vector! [1 2]"},
        {"v: make vector! [integer! 8 [1 2 3]] copy v", "make vector! [integer! 8 [1 2 3]]"},
        {"v: make vector! [1 2] w: copy v w + 1 v", "make vector! [1 2]"},
        {"v: make vector! [1 2 3] reverse v", "make vector! [3 2 1]"},
        {"v: make vector! [1 2 3] remove v", "make vector! [2 3]"},
        {"v: make vector! [1 2 3] clear next v v", "make vector! [1]"},
        {"v: make vector! [1 2 3] length? next v", "2"},
        {"v: make vector! [1 2 3] index? tail v", "4"},
        {"r: copy [] foreach x make vector! [1 2 3] [append r x] r", "[1 2 3]"},
        {"r: copy [] foreach [x y] make vector! [1 2 3 4] [append r x + y] r", "[3 7]"},
    });
}

TEST(Vector, ElementFunctions) {
    uint8_t bytes[8] = {};
    Cell value;
    cell::set(&value, TYPE_INTEGER, 0, uint32_t(-2));
    vector::set_value(bytes, &value, 2);
    EXPECT_EQ(bytes[0], 0xFE);
    EXPECT_EQ(bytes[1], 0xFF);
    EXPECT_EQ(bytes[2], 0x00) << "the bytes past the unit are left alone";
    Cell integer = vector::get_value(bytes, 2, TYPE_INTEGER);
    EXPECT_EQ(type_of(&integer), TYPE_INTEGER);
    EXPECT_EQ(cell::get_int(&integer), -2);
    EXPECT_EQ(vector::get_value(bytes, 2, TYPE_CHAR).data2, 0xFFFEu);
    EXPECT_EQ(vector::element_number(bytes, 1, TYPE_INTEGER), -2.0);
    EXPECT_EQ(vector::element_number(bytes, 1, TYPE_CHAR), 254.0);

    cell::set(&value, TYPE_PERCENT);
    cell::put_float(&value, 0.5);
    vector::set_value(bytes, &value, 8);
    Cell read = vector::get_value(bytes, 8, TYPE_PERCENT);
    EXPECT_EQ(type_of(&read), TYPE_PERCENT);
    EXPECT_EQ(cell::get_float(&read), 0.5);

    cell::set(&value, TYPE_LOGIC, 1);
    EXPECT_EQ(error_of([&] { vector::set_value(bytes, &value, 4); }), "script/invalid-type");
}

// An element read at a unit its type cannot have is a fault of the run-time:
// run-time error 101.
TEST(VectorDeathTest, ImpossibleUnitIsFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            platform::set_output_sink([](void*, const char* b, size_t n) { (void)!::write(2, b, n); },
                                      nullptr);
            Cell v = eval_value("make vector! [1.5]");
            v.data3 = TYPE_INTEGER;  // 8-byte elements read as integers
            vector::element_at(&v, 0);
        },
        ::testing::ExitedWithCode(101), "Runtime Error 101");
}

}  // namespace
}  // namespace zel::test
