// char! and handle!: construction from every kind of value, the text forms
// with their escapes and budgets, comparison, and what char! takes over
// from integer!.
#include <cmath>
#include <cstring>

#include "foundation/compare.h"
#include "scalars/char.h"
#include "scalars/handle.h"
#include "scalars/integer.h"
#include "scalars/simple_types.h"
#include "tests/support/numbers.h"
#include "tests/support/runtime_env.h"

using namespace zel;
using namespace zel::test;
using namespace zel::compare;

namespace {

Cell char_cell(uint32_t cp) {
    Cell c;
    return *char_::make_at(&c, cp);
}

Cell handle_cell(int32_t value, uint32_t cls) {
    Cell c;
    return *handle::make_at(&c, value, cls);
}

}  // namespace

TEST(CharMakeAndTo, FromEveryKindOfValue) {
    struct Case {
        Cell spec;
        const char* result;
    };
    const Case cases[] = {
        {int_cell(65), "char! #\"A\""},
        {int_cell(0x10FFFF), "char! #\"\xF4\x8F\xBF\xBF\""},
        {int_cell(0x110000), "script/out-of-range"},
        {int_cell(-1), "script/out-of-range"},
        {char_cell('z'), "char! #\"z\""},
        {float_cell(65.9), "char! #\"A\""},
        {float_cell(-0.5), "char! #\"^@\""},
        {float_cell(1e10), "script/out-of-range"},
        {float_cell(std::nan("")), "script/out-of-range"},
        {percent_cell(66.0), "char! #\"B\""},
        {text("abc"), "char! #\"a\""},
        {chars({0x20AC, 'x'}, 2), "char! #\"\xE2\x82\xAC\""},
        {chars({0x1F600}, 4), "char! #\"\xF0\x9F\x98\x80\""},
        {text(""), "script/bad-to-arg"},
        {binary_of({0xE2, 0x82, 0xAC, 'x'}), "char! #\"\xE2\x82\xAC\""},
        {binary_of({'q'}), "char! #\"q\""},
        {binary_of({}), "script/bad-to-arg"},
        {binary_of({0xFF}), "access/invalid-utf8"},
        {binary_of({0xE2, 0x82}), "access/invalid-utf8"},
        {value_of(TYPE_NONE), "script/bad-to-arg"},
        {block_of({int_cell(65)}), "script/bad-to-arg"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(make_and_to(TYPE_CHAR, c.spec), c.result) << typed_mold(c.spec);

    Cell file = text("ab");
    cell::set_type(&file, TYPE_FILE);
    file = at_head(file, 1);  // from the head: "b"
    EXPECT_EQ(make_outcome(ACT_TO, TYPE_CHAR, file), "char! #\"b\"");

    Cell big = int_cell(0x110000), result, empty = text("");
    ErrorThrow e =
        caught_error([&] { datatype::handler<ACT_TO>(TYPE_CHAR)(&result, &big, TYPE_CHAR); });
    EXPECT_EQ(integer::get(&e.args[0]), 0x110000);
    e = caught_error([&] { datatype::handler<ACT_TO>(TYPE_CHAR)(&result, &empty, TYPE_CHAR); });
    EXPECT_EQ(type_named_by(e.args[0]), TYPE_CHAR);
    EXPECT_EQ(type_of(&e.args[1]), TYPE_STRING);
}

TEST(CharText, FormWritesTheCharacterMoldItsNotation) {
    struct Case {
        uint32_t cp;
        std::string form;
        const char* mold;
        const char* mold_all;
    };
    const Case cases[] = {
        {'a', "a", "#\"a\"", "#\"a\""},
        {'\t', "\t", "#\"^-\"", "#\"^-\""},
        {'\n', "\n", "#\"^/\"", "#\"^/\""},
        {'"', "\"", "#\"^\"\"", "#\"^\"\""},
        {'^', "^", "#\"^^\"", "#\"^^\""},
        {0, std::string(1, '\0'), "#\"^@\"", "#\"^@\""},
        {127, "\x7F", "#\"^~\"", "#\"^~\""},
        {30, "\x1E", "#\"^(1E)\"", "#\"^(1E)\""},
        {0x80, "\xC2\x80", "#\"^(80)\"", "#\"^(80)\""},
        {0xE9, "\xC3\xA9", "#\"\xC3\xA9\"", "#\"^(E9)\""},
        {0x1F600, "\xF0\x9F\x98\x80", "#\"\xF0\x9F\x98\x80\"", "#\"^(1F600)\""},
    };
    for (const Case& c : cases) {
        Written f = written_by_form(char_cell(c.cp));
        EXPECT_EQ(f.text, c.form) << c.cp;
        EXPECT_EQ(f.budget, 999) << c.cp;
        // The budget counts four characters whatever the escape's length.
        Written m = written_by_mold(char_cell(c.cp));
        EXPECT_EQ(m.text, c.mold) << c.cp;
        EXPECT_EQ(m.budget, 996) << c.cp;
        EXPECT_EQ(written_by_mold(char_cell(c.cp), true).text, c.mold_all) << c.cp;
    }
}

TEST(CharCompare, ByCodePointAgainstCharsAndIntegers) {
    struct Case {
        Cell other;
        int op;
        int result;
    };
    const Case cases[] = {
        {char_cell('a'), COMP_EQUAL, 0},   {char_cell('b'), COMP_LESSER, -1},
        {char_cell('A'), COMP_GREATER, 1},  // case matters
        {int_cell('a'), COMP_EQUAL, 0},    {int_cell('a'), COMP_STRICT_EQUAL, 1},
        {int_cell('a'), COMP_FIND, 1},     {char_cell('a'), COMP_STRICT_EQUAL, 0},
        {int_cell(-5), COMP_GREATER, 1},   {float_cell(97.0), COMP_EQUAL, -2},
        {text("a"), COMP_EQUAL, -2},
    };
    for (const Case& c : cases) {
        Cell a = char_cell('a'), b = c.other;
        EXPECT_EQ(datatype::handler<ACT_COMPARE>(TYPE_CHAR)(&a, &b, c.op), c.result)
            << typed_mold(b) << " op " << c.op;
    }
}

TEST(CharRegistration, TakesNumberActionsFromInteger) {
    for (int action : {ACT_RANDOM, ACT_ABSOLUTE, ACT_EVEN_Q, ACT_ODD_Q})
        EXPECT_EQ(datatype::raw_handler(TYPE_CHAR, action),
                  datatype::raw_handler(TYPE_INTEGER, action))
            << ACTION_NAMES[action];
    for (int action : {ACT_NEGATE, ACT_POWER, ACT_ROUND, ACT_COMPLEMENT})
        EXPECT_EQ(datatype::raw_handler(TYPE_CHAR, action), nullptr) << ACTION_NAMES[action];
    EXPECT_EQ(datatype::parent_of(TYPE_CHAR), TYPE_INTEGER);
    Cell c = char_cell('b');
    EXPECT_TRUE(datatype::handler<ACT_EVEN_Q>(TYPE_CHAR)(&c));
}

TEST(HandleText, HexValueAndClassName) {
    struct Case {
        int32_t value;
        uint32_t cls;
        const char* form;
        const char* mold_all;
    };
    const Case cases[] = {
        {255, handle::CLASS_WINDOW, "000000FFh", "#[handle! 000000FFh window]"},
        {255, handle::CLASS_NONE, "000000FFh", "#[handle! 000000FFh]"},
        {0x120034, handle::CLASS_RICH_TEXT, "00120034h", "#[handle! 00120034h rich-text]"},
        {-1, handle::CLASS_FD, "FFFFFFFFh", "#[handle! FFFFFFFFh fd]"},
        {0xABCDEF, handle::CLASS_MONITOR, "00ABCDEFh", "#[handle! 00ABCDEFh monitor]"},
        {INT32_MIN, handle::CLASS_FONT, "80000000h", "#[handle! 80000000h font]"},
        // A class without a name shows none rather than reading past the names.
        {1, 99, "00000001h", "#[handle! 00000001h]"},
    };
    for (const Case& c : cases) {
        Written f = written_by_form(handle_cell(c.value, c.cls));
        EXPECT_EQ(f.text, c.form);
        EXPECT_EQ(f.budget, 991);
        Written m = written_by_mold(handle_cell(c.value, c.cls));
        EXPECT_EQ(m.text, "handle!");
        EXPECT_EQ(m.budget, 993);
        Written all = written_by_mold(handle_cell(c.value, c.cls), true);
        EXPECT_EQ(all.text, c.mold_all);
        EXPECT_EQ(all.budget, 1000 - int(all.text.size()));
    }
}

TEST(HandleCompare, ValueOnlyAndNeverEqualToOtherTypes) {
    auto compare = datatype::handler<ACT_COMPARE>(TYPE_HANDLE);
    Cell a = handle_cell(5, handle::CLASS_WINDOW), same = handle_cell(5, handle::CLASS_FONT),
         more = handle_cell(6, handle::CLASS_WINDOW), five = int_cell(5);
    EXPECT_EQ(compare(&a, &same, COMP_STRICT_EQUAL), 0);
    EXPECT_EQ(compare(&a, &more, COMP_LESSER), -1);
    EXPECT_EQ(compare(&more, &a, COMP_LESSER), 1);
    EXPECT_EQ(compare(&a, &five, COMP_EQUAL), 1);
    EXPECT_EQ(datatype::raw_handler(TYPE_HANDLE, ACT_ADD), nullptr);
    EXPECT_EQ(datatype::raw_handler(TYPE_HANDLE, ACT_MAKE), nullptr);
}

TEST(HandleMaking, NullHandleAndLayout) {
    stack::reset();
    Cell* null = handle::push_null();
    EXPECT_EQ(type_of(null), TYPE_HANDLE);
    EXPECT_EQ(handle::get(null), 0);
    EXPECT_EQ(handle::class_of(null), handle::CLASS_NONE);
    EXPECT_EQ(null->data3, 0xFFFFFFFFu);
    stack::reset();
}
