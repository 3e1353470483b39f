// string! storage: widening on append and store, concatenation across
// units and modes, the small text operations, loading, make, to and form.
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/datatype.h"
#include "foundation/platform.h"
#include "foundation/stack.h"
#include "scalars/simple_types.h"
#include "series/string.h"
#include "tests/support/blocks.h"
#include "tests/support/runtime_env.h"
#include "tests/support/text.h"

using namespace zel;
using namespace zel::test;

namespace {

using CodePoints = std::vector<uint32_t>;

// A binary! holding the bytes.
Cell binary_of(const std::string& content, int head = 0) {
    Node node = memory::alloc_bytes(int64_t(content.size()));
    Series* s = memory::series_of(node);
    std::memcpy(s->data(), content.data(), content.size());
    s->tail = uint32_t(content.size());
    Cell c;
    cell::set(&c, TYPE_BINARY, uint32_t(head), node, 0);
    return c;
}

}  // namespace

// ---- Widening ---------------------------------------------------------------------------------

struct WidenCase {
    int unit;       // of the string before
    uint32_t cp;
    int widened;    // unit after
};

// Appending keeps unit 1 for ASCII only.
TEST(AppendChar, WidensByTheAppendRule) {
    const WidenCase cases[] = {
        {1, 'a', 1},     {1, 0x7F, 1},     {1, 0x80, 2},     {1, 0xE9, 2},     {1, 0x20AC, 2},
        {1, 0x1F600, 4}, {2, 0xE9, 2},     {2, 0xFFFF, 2},   {2, 0x1F600, 4},  {4, 'a', 4},
    };
    for (const WidenCase& c : cases) {
        Cell s = chars({'x', 'y'}, c.unit);
        string::append_char(string::buffer_of(&s), c.cp);
        EXPECT_EQ(unit_of(s), c.widened) << std::hex << c.cp;
        EXPECT_EQ(code_points(s), (CodePoints{'x', 'y', c.cp}));
    }
}

TEST(AppendChar, WidensFromOneToTwoToFourBytes) {
    Cell s = text("ab");
    const std::pair<uint32_t, int> steps[] = {{'c', 1}, {0xE9, 2}, {'d', 2}, {0x1F600, 4}, {'e', 4}};
    CodePoints expected = {'a', 'b'};
    for (auto [cp, unit] : steps) {
        string::append_char(string::buffer_of(&s), cp);
        expected.push_back(cp);
        EXPECT_EQ(unit_of(s), unit);
    }
    EXPECT_EQ(code_points(s), expected);
}

TEST(AppendChar, GrowsPastTheCapacity) {
    Cell s;
    string::make_at(&s, 1);
    CodePoints expected;
    for (uint32_t i = 0; i < 1000; i++) {
        uint32_t cp = i == 500 ? 0x20AC : 'a' + i % 26;
        string::append_char(string::buffer_of(&s), cp);
        expected.push_back(cp);
    }
    EXPECT_EQ(code_points(s), expected);
}

// Storing at a position keeps unit 1 for all of Latin-1.
TEST(StoreChar, WidensByTheStoreRule) {
    const WidenCase cases[] = {{1, 0xE9, 1}, {1, 0xFF, 1}, {1, 0x100, 2}, {1, 0x10000, 4}, {2, 0x10FFFF, 4}};
    for (const WidenCase& c : cases) {
        Cell over = chars({'x', 'y'}, c.unit);
        string::overwrite_char(string::buffer_of(&over), 1, c.cp);
        EXPECT_EQ(unit_of(over), c.widened);
        EXPECT_EQ(code_points(over), (CodePoints{'x', c.cp}));

        Cell in = chars({'x', 'y'}, c.unit);
        string::insert_char(string::buffer_of(&in), 1, c.cp);
        EXPECT_EQ(unit_of(in), c.widened);
        EXPECT_EQ(code_points(in), (CodePoints{'x', c.cp, 'y'}));

        Cell poked = chars({'x', 'y'}, c.unit);
        string::poke_char(string::buffer_of(&poked), 0, c.cp);
        EXPECT_EQ(unit_of(poked), c.widened);
        EXPECT_EQ(code_points(poked), (CodePoints{c.cp, 'y'}));
    }
}

TEST(StoreChar, OverwritePastTheTailMovesIt) {
    Cell s = text("ab");
    string::overwrite_char(string::buffer_of(&s), 2, 'c');
    EXPECT_EQ(utf8_of(s), "abc");
    string::overwrite_char(string::buffer_of(&s), 40, 'z');
    ASSERT_EQ(string::length_q(&s), 41);
    CodePoints cps = code_points(s);
    EXPECT_EQ(cps[3], 0u);  // skipped units read as NUL
    EXPECT_EQ(cps[40], uint32_t('z'));
}

TEST(StoreChar, InsertAtTheEndsAndPokeOutsideTheText) {
    Cell s = text("bc");
    string::insert_char(string::buffer_of(&s), 0, 'a');
    string::insert_char(string::buffer_of(&s), 99, 'd');  // past the tail: at the tail
    EXPECT_EQ(utf8_of(s), "abcd");
    string::poke_char(string::buffer_of(&s), 4, 'X');
    string::poke_char(string::buffer_of(&s), -1, 'X');
    EXPECT_EQ(utf8_of(s), "abcd");
}

// ---- Concatenation --------------------------------------------------------------------------

struct ConcatUnitCase {
    int dst_unit;
    int src_unit;
    bool keep_source;
    int dst_after;
    int src_after;
};

TEST(Concatenate, WidensTheNarrowerSide) {
    const ConcatUnitCase cases[] = {
        {1, 1, false, 1, 1}, {1, 2, false, 2, 2}, {1, 4, true, 4, 4}, {2, 1, false, 2, 2},
        {2, 1, true, 2, 1},  {4, 1, false, 4, 4}, {4, 2, true, 4, 2}, {2, 4, false, 4, 4},
    };
    for (const ConcatUnitCase& c : cases) {
        Cell dst = chars({'a', 0xE9}, c.dst_unit);
        Cell src = chars({'c', 0xF1, 'd'}, c.src_unit);
        string::concatenate(&dst, &src, -1, 0, c.keep_source, string::CONCAT_APPEND);
        EXPECT_EQ(unit_of(dst), c.dst_after) << c.dst_unit << "<-" << c.src_unit;
        EXPECT_EQ(unit_of(src), c.src_after) << c.dst_unit << "<-" << c.src_unit;
        EXPECT_EQ(code_points(dst), (CodePoints{'a', 0xE9, 'c', 0xF1, 'd'}));
        EXPECT_EQ(code_points(src), (CodePoints{'c', 0xF1, 'd'}));
    }
}

struct ConcatCase {
    const char* dst;
    int dst_head;
    const char* src;
    int src_head;
    int part;
    int offset;
    int mode;
    const char* expected;  // the whole destination buffer
};

TEST(Concatenate, ModesPartsAndOffsets) {
    using namespace string;
    const ConcatCase cases[] = {
        {"abc", 0, "XY", 0, -1, 0, CONCAT_APPEND, "abcXY"},
        {"abc", 0, "XYZ", 1, -1, 0, CONCAT_APPEND, "abcYZ"},
        {"abc", 0, "XYZ", 0, 2, 0, CONCAT_APPEND, "abcXY"},
        {"abc", 0, "XYZ", 0, 0, 0, CONCAT_APPEND, "abc"},
        {"abc", 0, "XYZ", 0, 9, 0, CONCAT_APPEND, "abcXYZ"},
        {"abc", 0, "XYZ", 5, -1, 0, CONCAT_APPEND, "abc"},     // source head past its tail
        {"abc", 0, "XY", 0, -1, 1, CONCAT_INSERT, "aXYbc"},
        {"abc", 1, "XY", 0, -1, 1, CONCAT_INSERT, "abXYc"},    // offset from the head
        {"abc", 0, "XY", 0, -1, 7, CONCAT_INSERT, "abcXY"},
        {"abcd", 0, "XY", 0, -1, 1, CONCAT_OVERWRITE, "aXYd"},
        {"abcd", 0, "XYZ", 0, -1, 3, CONCAT_OVERWRITE, "abcXYZ"},  // runs past the tail
        {"abcd", 0, "X", 0, -1, 0, CONCAT_OVERWRITE, "Xbcd"},       // never shortens
    };
    for (const ConcatCase& c : cases) {
        Cell dst = at_head(text(c.dst), c.dst_head);
        Cell src = at_head(text(c.src), c.src_head);
        concatenate(&dst, &src, c.part, c.offset, true, c.mode);
        EXPECT_EQ(utf8_of(at_head(dst, 0)), c.expected) << c.dst << " " << c.src << " mode " << c.mode;
    }
}

TEST(Concatenate, AStringIntoItself) {
    using namespace string;
    const std::pair<int, const char*> cases[] = {
        {CONCAT_APPEND, "abcabc"},
        {CONCAT_INSERT, "aabcbc"},     // the source moves with the text it is part of
        {CONCAT_OVERWRITE, "aabc"},
    };
    for (auto [mode, expected] : cases) {
        Cell s = text("abc");
        Cell self = s;
        concatenate(&s, &self, -1, 1, false, mode);
        EXPECT_EQ(utf8_of(s), expected) << mode;
    }
}

TEST(Concatenate, GrowsTheDestination) {
    Cell dst;
    string::make_at(&dst, 1);
    std::string expected;
    Cell piece = text("0123456789\xE2\x82\xAC");
    for (int i = 0; i < 200; i++) {
        string::concatenate(&dst, &piece, -1, 0, true, string::CONCAT_APPEND);
        expected += "0123456789\xE2\x82\xAC";
    }
    EXPECT_EQ(utf8_of(dst), expected);
}

// A symbol entry reads as a string from index 0: its second word is its alias.
TEST(Concatenate, SymbolNameAsSource) {
    Cell name = text("word");
    Cell symbol;
    cell::set(&symbol, TYPE_SYMBOL, 7, node_of(name), 0);
    Cell dst = text("a-");
    string::concatenate(&dst, &symbol, -1, 0, true, string::CONCAT_APPEND);
    EXPECT_EQ(utf8_of(dst), "a-word");
}

TEST(OverwritePart, IsOverwriteMode) {
    Cell dst = text("hello");
    Cell src = text("J");
    string::overwrite_part(&dst, &src, -1, 0, true);
    EXPECT_EQ(utf8_of(dst), "Jello");
}

TEST(AppendCString, LatinOneBytesIntoAnyUnit) {
    Cell s = text("x");
    string::append_c_string(&s, "");
    EXPECT_EQ(utf8_of(s), "x");
    string::append_c_string(&s, "y\xE9");
    EXPECT_EQ(unit_of(s), 1);
    EXPECT_EQ(code_points(s), (CodePoints{'x', 'y', 0xE9}));
    Cell wide = chars({0x20AC}, 2);
    string::append_c_string_part(&wide, "abc", 2);
    EXPECT_EQ(code_points(wide), (CodePoints{0x20AC, 'a', 'b'}));
    std::string many(1000, 'q');
    string::append_c_string(&wide, many.c_str());
    EXPECT_EQ(string::length_q(&wide), 1003);
}

// ---- Reading and small operations ----------------------------------------------------------

TEST(Reading, LengthsAndHeads) {
    Cell s = at_head(text("hello"), 2);
    EXPECT_EQ(string::length_q(&s), 3);
    EXPECT_EQ(string::abs_length_q(&s), 5);
    EXPECT_EQ(string::abs_at(&s, 0), uint32_t('h'));
    EXPECT_FALSE(string::tail_q(&s));
    EXPECT_EQ(*string::head(&s), 'l');

    Cell past = at_head(text("hi"), 9);
    EXPECT_EQ(string::length_q(&past), 0);
    EXPECT_TRUE(string::tail_q(&past));
    EXPECT_EQ(string::head(&past), string::tail(&past));
    EXPECT_EQ(head_of(past), 2);  // clamped in the cell
}

TEST(Reading, FindAndMatch) {
    Cell s = at_head(text("abcabc"), 1);
    EXPECT_EQ(string::find_char(&s, 'a'), 2);
    EXPECT_EQ(string::find_char(&s, 'z'), -1);
    EXPECT_TRUE(string::match_c_string_q(&s, "bca"));
    EXPECT_FALSE(string::match_c_string_q(&s, "bcx"));
    EXPECT_FALSE(string::match_c_string_q(&s, "bcabcab"));
    Cell wide = chars({0xE9, 'x'}, 2);
    EXPECT_TRUE(string::match_c_string_q(&wide, "\xE9"));
}

TEST(Changing, RemoveTruncateReset) {
    Cell s = text("abcdef");
    string::remove_char(&s, 0);
    EXPECT_EQ(utf8_of(s), "bcdef");
    string::remove_part(&s, 3, 10);
    EXPECT_EQ(utf8_of(s), "bcd");
    string::remove_part(&s, 3, 1);
    string::remove_part(&s, -1, 1);
    EXPECT_EQ(utf8_of(s), "bcd");
    string::truncate(string::buffer_of(&s), 2);
    EXPECT_EQ(utf8_of(s), "bc");
    string::truncate(string::buffer_of(&s), 5);
    EXPECT_EQ(utf8_of(s), "bc");

    Cell wide = at_head(chars({0x1F600, 'a'}, 4), 1);
    string::reset(&wide);
    EXPECT_EQ(unit_of(wide), 1);
    EXPECT_EQ(string::length_q(&wide), 0);
    EXPECT_EQ(head_of(wide), 0);
}

TEST(Changing, SkipAndNextStayWithinTheTail) {
    Cell s = text("abc");
    EXPECT_FALSE(string::next(&s));
    EXPECT_EQ(head_of(s), 1);
    EXPECT_TRUE(string::skip(&s, 2));
    EXPECT_EQ(head_of(s), 3);
    EXPECT_TRUE(string::skip(&s, 1));  // does not move past the tail
    EXPECT_EQ(head_of(s), 3);
}

TEST(Changing, ExchangeRegions) {
    for (int64_t big : {int64_t(4), int64_t(70000)}) {
        std::string a(size_t(big), 'A'), gap = "--", b = "BBBBBB";
        std::string buffer = a + gap + b;
        auto* p = reinterpret_cast<uint8_t*>(buffer.data());
        string::exchange_regions(p, big, p + big + 2, 6, 2);
        EXPECT_EQ(buffer, b + gap + a);
    }
}

TEST(Changing, MoveCharsBetweenUnits) {
    Cell source = chars({0xE9, 0x20AC, 'x'}, 2);
    Cell target = at_head(text("ab"), 1);
    string::move_chars(&source, &target, 4);
    EXPECT_EQ(code_points(at_head(target, 0)), (CodePoints{'a', 0xE9, 0x20AC, 'b'}));
    EXPECT_EQ(code_points(source), (CodePoints{'x'}));
}

TEST(Changing, CopyWidened) {
    Cell source = text("abcd");
    Series* made = string::copy_widened(string::buffer_of(&source), nullptr, 8, 2, 1, 0, 3, false);
    Cell copy;
    cell::set(&copy, TYPE_STRING, 0, made->node, 0);
    EXPECT_EQ(unit_of(copy), 2);
    EXPECT_EQ(utf8_of(copy), "bc");

    Cell target = chars({'x', 'y'}, 4);
    string::copy_widened(string::buffer_of(&source), string::buffer_of(&target), 0, 4, 0, 2, 0, false);
    EXPECT_EQ(utf8_of(target), "xyabcd");
    string::copy_widened(string::buffer_of(&source), string::buffer_of(&target), 0, 4, 3, 0, 0, true);
    EXPECT_EQ(utf8_of(target), "dyabcd");  // keep: the tail stays
}

TEST(Hex, DigitsOfBytesAndWords) {
    EXPECT_STREQ(string::byte_to_hex(0xAB), "AB");
    EXPECT_STREQ(string::byte_to_hex(5), "05");
    const std::tuple<int32_t, bool, const char*> cases[] = {
        {30, true, "1E"}, {0, true, "00"}, {-1, false, "FFFFFFFF"}, {30, false, "0000001E"},
        {0x80, true, "80"}, {5, true, "5"}, {-2, true, "FFFFFFFE"}, {0x10FFFF, true, "10FFFF"},
    };
    for (auto [value, trim, expected] : cases) EXPECT_STREQ(string::to_hex(value, trim), expected);
}

TEST(ToFloat, DecimalRunsAndWhatIsLeft) {
    struct Case {
        const char* text;
        double value;
        int unconsumed;
    };
    const Case cases[] = {
        {"0.1", 0.1, 0},     {"-2.5e3", -2500.0, 0}, {"12abc", 12.0, 3},
        {"1e", 1.0, 1},      {"1e400", HUGE_VAL, 0}, {"$1", 0.0, 2},
        {"1.#INF", HUGE_VAL, 0},
    };
    for (const Case& c : cases) {
        int unconsumed = -1;
        double d = string::to_float(reinterpret_cast<const uint8_t*>(c.text), int(std::strlen(c.text)), unconsumed);
        EXPECT_EQ(d, c.value) << c.text;
        EXPECT_EQ(unconsumed, c.unconsumed) << c.text;
    }
    int unconsumed = -1;
    string::to_float(reinterpret_cast<const uint8_t*>("2.5xyz"), 3, unconsumed);  // only the run given
    EXPECT_EQ(unconsumed, 0);
}

// ---- Making and loading -------------------------------------------------------------------------

TEST(Making, EmptyStringsWithCapacity) {
    Cell s;
    string::make_at(&s, 0);
    EXPECT_EQ(type_of(&s), TYPE_STRING);
    EXPECT_EQ(string::length_q(&s), 0);
    EXPECT_EQ(unit_of(s), 1);
    string::make_at_unit(&s, 0, 4);
    EXPECT_EQ(unit_of(s), 4);
    EXPECT_EQ(string::buffer_of(&s)->capacity, 16);
    Cell* pushed = string::push(&s);
    EXPECT_EQ(node_of(*pushed), node_of(s));
    stack::pop(1);
}

TEST(Making, FromUtf8CutShortRaisesWithTheRest) {
    Cell s;
    ErrorThrow e = caught_error([&] { string::make_from_utf8(&s, bytes("ab\xE2\x82"), 4); });
    EXPECT_EQ(e.id, ERR_access_invalid_utf8);
    Series* rest = memory::series_of(node_of(e.args[0]));
    EXPECT_EQ(type_of(&e.args[0]), TYPE_BINARY);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(rest->head()), rest->used()), "\xE2\x82");
}

TEST(Loading, BothEncodings) {
    Cell* a = string::load(bytes("gr\xC3\xBC\xC3\x9F"), 6, string::ENCODING_UTF8);
    EXPECT_EQ(utf8_of(*a), "gr\xC3\xBC\xC3\x9F");
    const uint8_t wide[] = {'h', 0, 0xAC, 0x20};
    Cell b;
    string::load_at(wide, 4, &b, string::ENCODING_UTF16LE);
    EXPECT_EQ(code_points(b), (CodePoints{'h', 0x20AC}));
    stack::pop(1);
}

TEST(Loading, IntoABlock) {
    Cell block = block_of({});
    int depth = stack::depth();
    Cell* added = string::load_in(bytes("one"), 3, &block, string::ENCODING_UTF8);
    EXPECT_EQ(stack::depth(), depth);
    EXPECT_EQ(utf8_of(*added), "one");
    EXPECT_EQ(memory::series_of(node_of(block))->used(), sizeof(Cell));
}

TEST(LoadingDeathTest, UnsupportedEncodingEndsWithAFailureStatus) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            platform::set_output_sink([](void*, const char* b, size_t n) { (void)!::write(2, b, n); },
                                      nullptr);
            string::load(bytes("x"), 1, 3);
        },
        ::testing::ExitedWithCode(1), "\\*\\*\\* Loading Error: input encoding unsupported");
}

// ---- make, to and form ---------------------------------------------------------------------------

namespace {

Cell make_string(Cell spec, int type = TYPE_STRING) {
    Cell proto = datatype_of(type);
    return *datatype::handler<ACT_MAKE>(TYPE_STRING)(&proto, &spec, type);
}

Cell to_string(Cell spec, int type = TYPE_STRING) {
    Cell proto = datatype_of(type);
    return *datatype::handler<ACT_TO>(TYPE_STRING)(&proto, &spec, type);
}

}  // namespace

TEST(Make, CapacityFromANumber) {
    const std::tuple<Cell, int> cases[] = {
        {integer(0), 16}, {integer(100), 112}, {floating(5.9), 16},
    };
    for (const auto& [spec, capacity] : cases) {
        Cell s = make_string(spec, TYPE_FILE);
        EXPECT_EQ(type_of(&s), TYPE_FILE);
        EXPECT_EQ(string::length_q(&s), 0);
        EXPECT_EQ(string::buffer_of(&s)->capacity, capacity);
    }
}

TEST(Make, BadSizesAndSpecs) {
    EXPECT_EQ(error_of([] { make_string(integer(-1)); }), "script/out-of-range");
    EXPECT_EQ(error_of([] { make_string(floating(3e9)); }), "script/out-of-range");
    Cell money;
    cell::set(&money, TYPE_MONEY);
    EXPECT_EQ(error_of([&] { make_string(money, TYPE_BINARY); }), "script/bad-make-arg");
    // Other specs are the business of the type made.
    EXPECT_EQ(utf8_of(make_string(text("copy"))), "copy");
}

TEST(To, FromNoneIsRefused) {
    ErrorThrow e = caught_error([] { to_string(none::g_none, TYPE_FILE); });
    EXPECT_EQ(e.id, ERR_script_bad_to_arg);
    EXPECT_EQ(type_of(&e.args[0]), TYPE_DATATYPE);
    EXPECT_EQ(type_named_by(e.args[0]), TYPE_STRING);
    EXPECT_EQ(type_of(&e.args[1]), TYPE_NONE);
}

TEST(To, BlockItemsFormedWithNothingBetween) {
    Cell items = block_of({logic::g_true, none::g_none, text("b"), datatype_of(TYPE_STRING), unset::g_unset});
    EXPECT_EQ(utf8_of(to_string(items)), "truenonebstring");
    EXPECT_EQ(utf8_of(to_string(at_head(items, 2))), "bstring");
    Cell result = to_string(items, TYPE_TAG);
    EXPECT_EQ(type_of(&result), TYPE_TAG);
    EXPECT_EQ(utf8_of(to_string(block_of({integer(-1), floating(2.5)}))), "-12.5");
    // An item whose type cannot form yet is refused as dispatch refuses it.
    Cell event;
    cell::set(&event, TYPE_EVENT);
    EXPECT_EQ(error_of([&] { to_string(block_of({event})); }), "script/expect-arg");
}

TEST(To, TextIsCopiedFromTheHead) {
    Cell source = at_head(text("h\xC3\xA9llo \xE2\x82\xAC"), 1);
    Cell copy = to_string(source, TYPE_URL);
    EXPECT_EQ(type_of(&copy), TYPE_URL);
    EXPECT_NE(node_of(copy), node_of(source));
    EXPECT_EQ(unit_of(copy), 2);
    EXPECT_EQ(utf8_of(copy), "\xC3\xA9llo \xE2\x82\xAC");
}

TEST(To, BinaryIsDecodedAsUtf8) {
    EXPECT_EQ(utf8_of(to_string(binary_of("xy\xC3\xA9", 1))), "y\xC3\xA9");
    EXPECT_EQ(utf8_of(to_string(binary_of("xy", 5))), "");
    EXPECT_EQ(error_of([] { to_string(binary_of("ab\xE2\x82")); }), "access/invalid-utf8");
    EXPECT_EQ(error_of([] { to_string(binary_of("a\xFF")); }), "access/invalid-utf8");
}

TEST(To, OtherValuesAreFormed) {
    EXPECT_EQ(utf8_of(to_string(logic::g_false)), "false");
    EXPECT_EQ(utf8_of(to_string(datatype_of(TYPE_LOGIC))), "logic");
}

TEST(Form, AppendsTheTextWithinThePart) {
    Cell buffer = text(">");
    Cell value = at_head(text("abcdef"), 1);
    EXPECT_EQ(string::form(&value, &buffer, INT_MAX), INT_MAX - 5);
    EXPECT_EQ(utf8_of(buffer), ">bcdef");
    EXPECT_EQ(string::form(&value, &buffer, 3), -2);
    EXPECT_EQ(utf8_of(buffer), ">bcdefbcd");
}
