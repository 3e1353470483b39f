// string! modification: append, insert and change (widening, positions,
// /part, /dup, formed values, a text into itself, size limits), swap, take,
// trim, and the case-changing natives' body.
#include <climits>
#include <string>
#include <vector>

#include "foundation/datatype.h"
#include "scalars/char.h"
#include "series/case_folding.h"
#include "series/string.h"
#include "tests/support/runtime_env.h"
#include "tests/support/text.h"
#include "tests/support/values.h"

using namespace zel;
using namespace zel::test;

namespace {

using CodePoints = std::vector<uint32_t>;

Cell character(uint32_t cp) {
    Cell c;
    cell::set(&c, TYPE_CHAR, 0, cp);
    return c;
}

Cell typed(const char* utf8, int type, int head = 0) {
    Cell c = text(utf8);
    cell::set_type(&c, type);
    return at_head(c, head);
}

// A string! of exactly this capacity, so that any growth replaces the buffer.
Cell tight(const char* ascii) {
    Cell c;
    string::make_at(&c, int(std::strlen(ascii)));
    string::append_c_string(&c, ascii);
    return c;
}

CodePoints whole(Cell c) {
    return code_points(at_head(c, 0));
}

std::string whole_text(Cell c) {
    return utf8_of(at_head(c, 0));
}

using Modifier = Cell* (*)(Cell*, Cell*, int, bool, int);

}  // namespace

TEST(Modify, WideningByTheValueEvenInTheMiddle) {
    struct Case {
        const char* what;
        Modifier modify;
        Cell target;
        Cell value;
        CodePoints expected;
        int unit;
        int head;  // of the result
    } cases[] = {
        {"append 0x80", string::append, text("ab"), character(0x80), {'a', 'b', 0x80}, 2, 0},
        {"append U+1F600 to unit 1", string::append, text("ab"), character(0x1F600), {'a', 'b', 0x1F600}, 4, 0},
        {"append U+1F600 to unit 2", string::append, chars({0x100}, 2), character(0x1F600), {0x100, 0x1F600}, 4, 0},
        {"append a unit-2 text", string::append, text("a"), chars({'b', 0x3000}, 2), {'a', 'b', 0x3000}, 2, 0},
        {"insert in the middle", string::insert, typed("abc", TYPE_STRING, 1), character(0xE9),
         {'a', 0xE9, 'b', 'c'}, 2, 2},
        {"insert a unit-4 text in the middle", string::insert, typed("abc", TYPE_STRING, 2),
         chars({0x1F600, 'x'}, 4), {'a', 'b', 0x1F600, 'x', 'c'}, 4, 4},
        {"change in the middle", string::change, typed("abcd", TYPE_STRING, 1), chars({0x3000}, 2),
         {'a', 0x3000, 'c', 'd'}, 2, 2},
        {"ASCII keeps unit 1", string::append, text("ab"), character('c'), {'a', 'b', 'c'}, 1, 0},
    };
    for (Case& c : cases) {
        Cell* r = c.modify(&c.target, &c.value, -1, false, 1);
        EXPECT_EQ(whole(*r), c.expected) << c.what;
        EXPECT_EQ(unit_of(*r), c.unit) << c.what;
        EXPECT_EQ(head_of(*r), c.head) << c.what;
    }
}

TEST(Modify, ResultPositions) {
    Cell s = typed("abc", TYPE_STRING, 2), v = text("XY");
    EXPECT_EQ(head_of(*string::append(&s, &v, -1, false, 1)), 0) << "append answers the head";
    Cell t = typed("abc", TYPE_STRING, 3);
    Cell* r = string::insert(&t, &v, -1, false, 1);
    EXPECT_EQ(head_of(*r), 5) << "inserting at the tail answers the new tail";
    EXPECT_EQ(whole_text(*r), "abcXY");
    Cell u = typed("abc", TYPE_STRING, 9);
    r = string::insert(&u, &v, -1, false, 1);
    EXPECT_EQ(head_of(*r), 5) << "a head past the tail is the tail";
    Cell w = typed("abc", TYPE_STRING, 3);
    r = string::change(&w, &v, -1, false, 1);
    EXPECT_EQ(head_of(*r), 5) << "changing at the tail appends";
    EXPECT_EQ(whole_text(*r), "abcXY");
}

TEST(Modify, PartDupAndFormedValues) {
    Cell items = block_of({word_named("a"), integer(1), text("b")});
    Cell numbers = block_of({integer(10), integer(20), integer(30)});
    struct Case {
        const char* what;
        Modifier modify;
        Cell target;
        Cell value;
        int part;
        bool only;
        int dup;
        const char* expected;
        int head;
    } cases[] = {
        {"a string cut by the part", string::append, text(">"), text("abcdef"), 3, false, 1, ">abc", 0},
        {"a part past the length", string::append, text(">"), text("ab"), 9, false, 1, ">ab", 0},
        {"a tag", string::append, text(">"), typed("bc", TYPE_TAG), -1, false, 1, "><bc>", 0},
        {"a tag with part 1", string::append, text(">"), typed("bc", TYPE_TAG), 1, false, 1, "><", 0},
        {"a tag with part 3", string::append, text(">"), typed("bc", TYPE_TAG), 3, false, 1, "><bc", 0},
        {"a tag with part 4", string::append, text(">"), typed("bc", TYPE_TAG), 4, false, 1, "><bc>", 0},
        {"a block formed item by item", string::append, text("x"), items, -1, false, 1, "xa1b", 0},
        {"a part counts items", string::append, text("x"), numbers, 2, false, 1, "x1020", 0},
        {"with only it counts characters", string::append, text("x"), numbers, 3, true, 1, "x102", 0},
        {"dup 3 of two characters", string::append, text("x"), text("ab"), -1, false, 3, "xababab", 0},
        {"dup of a formed value", string::append, text("x"), integer(12), -1, false, 2, "x1212", 0},
        {"insert a formed value", string::insert, typed("abc", TYPE_STRING, 1), integer(42), -1, false, 1,
         "a42bc", 3},
        {"insert/dup a formed value", string::insert, typed("abc", TYPE_STRING, 1), integer(7), -1, false, 3,
         "a777bc", 4},
        {"insert/dup a text", string::insert, typed("abc", TYPE_STRING, 1), text("xy"), -1, false, 2,
         "axyxybc", 5},
        {"insert a block", string::insert, typed("abc", TYPE_STRING, 1), items, -1, false, 1, "aa1bbc", 4},
        {"change overwrites and extends", string::change, text("abc"), text("12345"), -1, false, 1, "12345", 5},
        {"change within the text", string::change, text("abcdef"), text("XY"), -1, false, 1, "XYcdef", 2},
        {"change with a part", string::change, text("abcdef"), text("X"), 3, false, 1, "Xdef", 1},
        {"change a part with more", string::change, text("abcdef"), text("XYZ"), 1, false, 1, "XYZbcdef", 3},
        {"change/dup", string::change, text("abcdef"), text("X"), -1, false, 3, "XXXdef", 3},
        {"change by a formed value", string::change, typed("abcdef", TYPE_STRING, 1), integer(12), -1, false, 1,
         "a12def", 3},
        {"change a part by a formed value", string::change, typed("abcdef", TYPE_STRING, 1), integer(9), 3,
         false, 1, "a9ef", 2},
        {"change past the end by a formed value", string::change, typed("abc", TYPE_STRING, 2), integer(1234), -1,
         false, 1, "ab1234", 6},
    };
    for (Case& c : cases) {
        Cell* r = c.modify(&c.target, &c.value, c.part, c.only, c.dup);
        EXPECT_EQ(whole_text(*r), c.expected) << c.what;
        EXPECT_EQ(head_of(*r), c.head) << c.what;
    }
}

// A text written into itself gives what writing a copy gives, also when the
// buffer has to grow first.
TEST(Modify, ATextIntoItself) {
    struct Case {
        const char* what;
        Modifier modify;
        int target_head, value_head, dup;
        const char* expected;
    } cases[] = {
        {"append s s", string::append, 0, 0, 1, "abcabc"},
        {"insert s next s", string::insert, 0, 1, 1, "bcabc"},
        {"insert in the middle", string::insert, 1, 0, 1, "aabcbc"},
        {"insert/dup", string::insert, 1, 0, 2, "aabcabcbc"},
        {"append/dup", string::append, 0, 1, 3, "abcbcbcbc"},
        {"change over itself", string::change, 1, 0, 1, "aabc"},
    };
    for (const Case& c : cases) {
        Cell target = tight("abc");
        Cell value = target;
        target = at_head(target, c.target_head);
        value = at_head(value, c.value_head);
        c.modify(&target, &value, -1, false, c.dup);
        EXPECT_EQ(whole_text(target), c.expected) << c.what;
    }
    // Forming the text itself inside a block that also widens it.
    Cell target = tight("abc");
    Cell items = block_of({target, character(0xE9)});
    string::insert(&target, &items, -1, false, 1);
    EXPECT_EQ(whole_text(target), "abc\xC3\xA9" "abc");
    EXPECT_EQ(unit_of(target), 2);
}

TEST(Modify, SizesPastTheLimitLeaveTheTextAlone) {
    Cell s = text("ab"), v = text("xy"), n = integer(12);
    EXPECT_EQ(error_of([&] { string::append(&s, &v, -1, false, 0x40000000); }), "internal/no-memory");
    EXPECT_EQ(error_of([&] { string::insert(&s, &v, -1, false, 0x40000000); }), "internal/no-memory");
    EXPECT_EQ(error_of([&] { string::change(&s, &v, -1, false, 0x40000000); }), "internal/no-memory");
    EXPECT_EQ(error_of([&] { string::append(&s, &n, -1, false, 0x40000000); }), "internal/no-memory");
    Cell at1 = typed("ab", TYPE_STRING, 1);
    EXPECT_EQ(error_of([&] { string::insert(&at1, &n, -1, false, 0x40000000); }), "internal/no-memory");
    EXPECT_EQ(whole_text(s), "ab");
    EXPECT_EQ(whole_text(at1), "ab");
}

TEST(Modify, SwapTakeAndTheirValues) {
    Cell a = text("abc"), b = text("xyz");
    string::swap(&a, &b);
    EXPECT_EQ(utf8_of(a), "xbc");
    EXPECT_EQ(utf8_of(b), "ayz");
    Cell wide = chars({0x100, 'q'}, 2);
    string::swap(&a, &wide);
    EXPECT_EQ(code_points(a), (CodePoints{0x100, 'b', 'c'}));
    EXPECT_EQ(unit_of(a), 2);
    Cell at_tail = typed("ab", TYPE_STRING, 2);
    string::swap(&a, &at_tail);
    EXPECT_EQ(code_points(a), (CodePoints{0x100, 'b', 'c'})) << "nothing at a tail";
    Cell block = block_of({});
    EXPECT_EQ(error_of([&] { string::swap(&a, &block); }), "script/invalid-arg");
    // A binary! never widens: a character above 0xFF bound for it is
    // refused before either series changes.
    Cell bin;
    cell::set(&bin, TYPE_BINARY, 0, memory::alloc_bytes(2), 0);
    Series* bytes = memory::series_of(node_of(bin));
    bytes->head()[0] = 'x';
    bytes->head()[1] = 'y';
    bytes->tail = bytes->offset + 2;
    EXPECT_EQ(error_of([&] { string::swap(&a, &bin); }), "script/invalid-arg");
    EXPECT_EQ(code_points(a), (CodePoints{0x100, 'b', 'c'}));
    EXPECT_EQ(memory::series_of(node_of(bin))->head()[0], 'x');
    EXPECT_EQ(memory::series_of(node_of(bin))->unit(), 1);

    Cell s = text("abc");
    Cell* taken = string::take(&s, nullptr, false, false);
    EXPECT_EQ(type_of(taken), TYPE_CHAR);
    EXPECT_EQ(char_::get(taken), uint32_t('a'));
    EXPECT_EQ(utf8_of(s), "bc");
    Cell two = integer(2);
    taken = string::take(&s, &two, false, false);
    EXPECT_EQ(type_of(taken), TYPE_STRING);
    EXPECT_EQ(utf8_of(*taken), "bc");
    Cell empty = text("");
    EXPECT_EQ(type_of(string::take(&empty, nullptr, false, false)), TYPE_NONE);
}

namespace {

std::string trimmed(const char* content, bool head = false, bool tail = false, bool lines = false,
                    bool all = false, Cell* with = nullptr) {
    Cell s = text(content);
    string::trim(&s, head, tail, false, lines, all, with);
    return utf8_of(s);
}

}  // namespace

TEST(Trim, EveryMode) {
    struct Case {
        const char* text;
        bool head, tail, lines, all;
        const char* expected;
    } cases[] = {
        {"  a  \n   b c  \n\n  ", false, false, false, false, "a\nb c\n"},
        {"\n  line one  \n    line two\n\n\n", false, false, false, false, "line one\nline two\n"},
        {"  abc  ", false, false, false, false, "abc"},
        {"a\n\n  b", false, false, false, false, "a\n\nb"},
        {"\t x \t", false, false, false, false, "x"},
        {"  a  b  ", true, false, false, false, "a  b  "},
        {"  a  b  ", false, true, false, false, "  a  b"},
        {"  a  b \n ", true, true, false, false, "a  b"},
        {"  a \n\t b   c \n", false, false, true, false, "a b c"},
        {" a\tb\nc\rd ", false, false, false, true, "abcd"},
        {"\xE3\x80\x80" "a\xC2\xA0" "b\xE3\x80\x80", false, false, false, false, "a\xC2\xA0" "b"},
        {"", false, false, false, false, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(trimmed(c.text, c.head, c.tail, c.lines, c.all), c.expected) << c.text;
    Cell ab = text("ab"), a = character('a'), b = integer('b'), nothing = text("");
    EXPECT_EQ(trimmed("abcabc", false, false, false, false, &ab), "cc");
    EXPECT_EQ(trimmed("abcabc", false, false, false, false, &a), "bcbc");
    EXPECT_EQ(trimmed("abcabc", false, false, false, false, &b), "acac");
    EXPECT_EQ(trimmed(" a ", false, false, false, false, &nothing), " a ");
    Cell s = text(" a ");
    EXPECT_EQ(error_of([&] { string::trim(&s, false, false, true, false, false, nullptr); }), "internal/not-done");
}

TEST(CaseFolding, ChangeStringsAndChars) {
    auto changed = [](Cell s, bool upper, Cell* part = nullptr) {
        Cell args[2] = {s, part ? *part : s};
        case_folding::change(args, part ? 1 : 0, upper);
        return args[0];
    };
    Cell strasse = text("stra\xC3\x9F" "e");
    EXPECT_EQ(utf8_of(changed(strasse, true)), "STRASE");
    Cell y = text("\xC3\xBF");
    Cell big_y = changed(y, true);
    EXPECT_EQ(code_points(big_y), (CodePoints{0x178}));
    EXPECT_EQ(unit_of(big_y), 2);
    Cell two = integer(2), many = integer(100), negative = integer(-1);
    EXPECT_EQ(utf8_of(changed(text("abcdef"), true, &two)), "ABcdef");
    EXPECT_EQ(utf8_of(changed(text("abcdef"), true, &many)), "ABCDEF");
    EXPECT_EQ(utf8_of(changed(text("abcdef"), true, &negative)), "abcdef");
    Cell other = text("ab");
    EXPECT_EQ(error_of([&] { changed(text("abcdef"), true, &other); }), "script/invalid-refine-arg");
    Cell i_dot = character(0x130);
    Cell lowered = changed(i_dot, false);
    EXPECT_EQ(char_::get(&lowered), uint32_t(0x69));
    Cell tail_text = typed("abcd", TYPE_STRING, 2);
    Cell upper_tail = changed(tail_text, true);
    EXPECT_EQ(whole_text(upper_tail), "abCD") << "from the head only";
}
