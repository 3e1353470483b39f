// Unicode conversion: UTF-8 and UTF-16LE decoding into the narrowest unit,
// encoding back, bounded output, conversion buffers and widening.
#include <unistd.h>

#include <string>
#include <vector>

#include "foundation/platform.h"
#include "series/string.h"
#include "series/unicode.h"
#include "tests/support/fields.h"
#include "tests/support/runtime_env.h"
#include "tests/support/text.h"

using namespace zel;
using namespace zel::test;

namespace {

using CodePoints = std::vector<uint32_t>;

Cell string_over(Node node) {
    Cell c;
    cell::set(&c, TYPE_STRING, 0, node, 0);
    return c;
}

// UTF-16LE bytes of the units.
std::vector<uint8_t> utf16le(const std::vector<uint16_t>& units) {
    std::vector<uint8_t> out;
    for (uint16_t u : units) {
        out.push_back(uint8_t(u & 0xFF));
        out.push_back(uint8_t(u >> 8));
    }
    return out;
}

Cell load16(const std::vector<uint16_t>& units, bool cr = false) {
    std::vector<uint8_t> b = utf16le(units);
    return string_over(unicode::load_utf16(b.data(), int64_t(units.size()), nullptr, cr));
}

std::string binary_bytes(const Cell& c) {
    Series* s = memory::series_of(node_of(c));
    return std::string(reinterpret_cast<const char*>(s->head()), s->used());
}

}  // namespace

// ---- UTF-8 scanning ------------------------------------------------------------------------

struct FastCase {
    const char* input;
    int32_t cp;
    int consumed;
};

TEST(FastDecode, AcceptsShortestFormsAndRejectsTheRest) {
    const FastCase cases[] = {
        {"A", 0x41, 1},
        {"\xC3\xA9", 0xE9, 2},
        {"\xE2\x82\xAC", 0x20AC, 3},
        {"\xF0\x9F\x98\x80", 0x1F600, 4},
        {"\xF4\x8F\xBF\xBF", 0x10FFFF, 4},
        {"\xC0\x80", -1, 1},          // overlong NUL
        {"\xED\xA0\x80", -1, 2},      // surrogate U+D800
        {"\x80", -1, 1},              // stray continuation
        {"\xF4\x90\x80\x80", -1, 2},  // above U+10FFFF
        {"\xF5\x80", -1, 1},
        {"\xE2\x41", -1, 2},          // the failing byte is consumed
    };
    for (const FastCase& c : cases) {
        int32_t cp = 0;
        const uint8_t* p = bytes(c.input);
        const uint8_t* after = unicode::fast_decode_utf8_char(p, cp);
        EXPECT_EQ(cp, c.cp) << c.input;
        EXPECT_EQ(after - p, c.consumed) << c.input;
    }
}

TEST(FastDecode, NeverReadsPastTheEnd) {
    // The byte after the end would complete the character.
    const uint8_t input[] = {'a', 0xE2, 0x82, 0xAC};
    const uint8_t* end = input + 3;
    int32_t cp = 0;
    const uint8_t* after = unicode::fast_decode_utf8_char(input + 1, cp, end);
    EXPECT_EQ(cp, -1);
    EXPECT_EQ(after, end);
    EXPECT_EQ(unicode::count_utf8_chars(input, end), 2);
    EXPECT_EQ(unicode::count_utf8_chars(input, input + 4), 2);
}

TEST(FastDecode, CountsAndSkipsCharacters) {
    const char* s = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";
    const uint8_t* start = bytes(s);
    const uint8_t* end = start + std::strlen(s);
    EXPECT_EQ(unicode::count_utf8_chars(start, end), 5);
    EXPECT_EQ(unicode::skip_utf8_chars(start, end, 2), start + 3);
    EXPECT_EQ(unicode::skip_utf8_chars(start, end, 4), start + 10);
    EXPECT_EQ(unicode::skip_utf8_chars(start, end, 100), end);
}

TEST(Utf8CharSize, FromTheLeadByte) {
    const std::pair<uint8_t, int> cases[] = {{'a', 0},  {0x80, 0}, {0xBF, 0}, {0xC0, 2},
                                             {0xDF, 2}, {0xE0, 3}, {0xEF, 3}, {0xF0, 4}, {0xFF, 4}};
    for (auto [lead, size] : cases) EXPECT_EQ(unicode::utf8_char_size_q(lead), size) << int(lead);
}

struct ValidatingCase {
    const char* input;
    int available;
    int32_t cp;  // -1: cut short, the count left as it was
    int used;
};

TEST(ValidatingDecode, DecodesWithItsOwnRules) {
    const ValidatingCase cases[] = {
        {"z", 1, 'z', 1},
        {"\xC3\xA9", 2, 0xE9, 2},
        {"\xC0\x80", 2, 0, 2},           // overlong forms are accepted
        {"\xED\xA0\x80", 3, 0xD800, 3},  // only U+DC00-DCFF are refused
        {"\xF0\x9F\x98\x80", 4, 0x1F600, 4},
        {"\xE2\x82", 2, -1, 2},
        {"\xF0\x9F\x98", 3, -1, 3},
    };
    for (const ValidatingCase& c : cases) {
        int count = c.available;
        EXPECT_EQ(unicode::decode_utf8_char(bytes(c.input), count), c.cp) << c.input;
        EXPECT_EQ(count, c.used) << c.input;
    }
}

TEST(ValidatingDecode, MalformedRaisesWithUpToFourBytes) {
    const std::pair<const char*, std::string> cases[] = {
        {"\x80" "abc", std::string("\x80" "abc")},
        {"\xED\xB0\x80", std::string("\xED\xB0\x80")},   // U+DC00
        {"\xF4\x90\x80\x80", std::string("\xF4\x90\x80\x80")},
        {"\xE2\x41\x41\x41\x41", std::string("\xE2\x41\x41\x41")},
        {"\xF8\x80", std::string("\xF8\x80")},
    };
    for (const auto& c : cases) {
        const uint8_t* input = bytes(c.first);
        int count = int(std::strlen(c.first));
        ErrorThrow e = caught_error([&] { unicode::decode_utf8_char(input, count); });
        EXPECT_EQ(e.id, ERR_access_invalid_utf8) << c.first;
        ASSERT_EQ(type_of(&e.args[0]), TYPE_BINARY);
        EXPECT_EQ(binary_bytes(e.args[0]), c.second);
    }
}

// ---- Single code points ---------------------------------------------------------------------

TEST(CodePoint, Utf8SizesAndForms) {
    const std::pair<uint32_t, std::string> cases[] = {
        {0, std::string(1, '\0')},     {0x7F, "\x7F"},         {0x80, "\xC2\x80"},
        {0x7FF, "\xDF\xBF"},           {0x800, "\xE0\xA0\x80"}, {0xFFFF, "\xEF\xBF\xBF"},
        {0x10000, "\xF0\x90\x80\x80"}, {0x10FFFF, "\xF4\x8F\xBF\xBF"},
    };
    for (const auto& [cp, form] : cases) {
        uint8_t out[4];
        EXPECT_EQ(unicode::cp_utf8_size(cp), int(form.size()));
        ASSERT_EQ(unicode::cp_to_utf8(cp, out), int(form.size()));
        EXPECT_EQ(std::string(reinterpret_cast<char*>(out), form.size()), form);
    }
}

TEST(CodePoint, BeyondUnicodeIsAnInvalidChar) {
    for (auto body : {+[] { unicode::cp_utf8_size(0x110000); },
                      +[] { uint8_t o[4]; unicode::cp_to_utf8(0x110000, o); }}) {
        ErrorThrow e = caught_error(body);
        EXPECT_EQ(e.id, ERR_script_invalid_char);
        EXPECT_EQ(type_of(&e.args[0]), TYPE_INTEGER);
        EXPECT_EQ(cell::get_int(&e.args[0]), 0x110000);
    }
}

TEST(CodePoint, BoundedWritesOnlyWholeCharacters) {
    uint8_t out[4] = {0, 0, 0, 0};
    EXPECT_EQ(unicode::cp_to_utf8_bounded(0x20AC, out, 2), 0);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(unicode::cp_to_utf8_bounded(0x20AC, out, 3), 3);
    EXPECT_EQ(out[0], 0xE2);
}

TEST(CodePoint, Utf16UnitsAndPairs) {
    struct Case {
        uint32_t cp;
        std::vector<uint16_t> units;
    };
    const Case cases[] = {
        {0x41, {0x41}}, {0xFFFF, {0xFFFF}}, {0x10000, {0xD800, 0xDC00}},
        {0x1F600, {0xD83D, 0xDE00}}, {0x10FFFF, {0xDBFF, 0xDFFF}}, {0x110000, {}},
    };
    for (const Case& c : cases) {
        uint16_t out[2] = {0x1234, 0x1234};
        int n = unicode::cp_to_utf16(c.cp, out);
        ASSERT_EQ(n, int(c.units.size())) << c.cp;
        for (int i = 0; i < n; i++) EXPECT_EQ(out[i], c.units[i]);
        if (n == 0) {
            EXPECT_EQ(out[0], 0x1234);
        }
    }
}

// ---- Loading UTF-8 ---------------------------------------------------------------------------

struct LoadCase {
    const char* utf8;
    int unit;
};

TEST(LoadUtf8, PicksTheNarrowestUnitAndEncodesBack) {
    const LoadCase cases[] = {
        {"", 1},
        {"plain ascii", 1},
        {"A\xC3\xA9", 1},                                      // Latin-1 still fits bytes
        {"A\xC3\xA9\xE2\x82\xAC", 2},                          // a euro sign needs 2
        {"\xE2\x82\xAC" "abc", 2},
        {"a\xF0\x9F\x98\x80", 4},                              // one astral char: all unit 4
        {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xC3\xA9", 4},   // 1 -> 2 -> 4 while loading
    };
    for (const LoadCase& c : cases) {
        Cell s = text(c.utf8);
        EXPECT_EQ(unit_of(s), c.unit) << c.utf8;
        EXPECT_EQ(utf8_of(s), c.utf8);
    }
}

TEST(LoadUtf8, LongTextGrowsThroughEveryUnit) {
    std::string input;
    for (int i = 0; i < 500; i++) input += "\xC3\xA9";
    for (int i = 0; i < 500; i++) input += "\xE2\x82\xAC";
    for (int i = 0; i < 500; i++) input += "\xF0\x9F\x98\x80";
    input += "end";
    Cell s = text(input.c_str());
    EXPECT_EQ(unit_of(s), 4);
    EXPECT_EQ(string::length_q(&s), 1503);
    EXPECT_EQ(utf8_of(s), input);
}

TEST(LoadUtf8, ByteOrderMarkIsSkipped) {
    int remainder = 99;
    Cell empty = string_over(unicode::load_utf8_buffer(bytes("\xEF\xBB\xBF"), 3, 0, &remainder, false));
    EXPECT_EQ(string::length_q(&empty), 0);
    EXPECT_EQ(remainder, 0);
    EXPECT_EQ(utf8_of(text("\xEF\xBB\xBFx")), "x");
}

TEST(LoadUtf8, CrFlagTurnsLineEndsIntoLineFeeds) {
    const char* input = "a\r\nb\rc\r";
    Cell s = string_over(unicode::load_utf8_buffer(bytes(input), 7, 0, nullptr, true));
    EXPECT_EQ(utf8_of(s), "a\nb\nc\n");
    Cell kept = string_over(unicode::load_utf8(bytes(input), 7));
    EXPECT_EQ(utf8_of(kept), input);
}

TEST(LoadUtf8, CutShortInputLeavesARemainder) {
    const char* input = "ab\xE2\x82";
    int remainder = 0;
    Cell s = string_over(unicode::load_utf8_buffer(bytes(input), 4, 0, &remainder, false));
    EXPECT_EQ(utf8_of(s), "ab");
    EXPECT_EQ(remainder, 2);
}

TEST(LoadUtf8, MalformedInputRaises) {
    EXPECT_EQ(error_of([] { unicode::load_utf8(bytes("ok\x80" "x"), 4); }), "access/invalid-utf8");
    EXPECT_EQ(error_of([] { unicode::load_utf8(bytes("\xED\xB0\x80"), 3); }), "access/invalid-utf8");
}

TEST(LoadUtf8, IntoAStringReplacesItsText) {
    Cell s = chars({0x20AC, 'x', 'y'}, 2);
    unicode::load_utf8_into(bytes("abc"), 3, &s, nullptr);
    EXPECT_EQ(unit_of(s), 2);  // a given buffer keeps its unit
    EXPECT_EQ(code_points(s), (CodePoints{'a', 'b', 'c'}));
    // Nothing to decode still replaces the old text.
    unicode::load_utf8_into(bytes(""), 0, &s, nullptr);
    EXPECT_EQ(string::length_q(&s), 0);
}

TEST(LoadUtf8, IntoASmallStringGrowsIt) {
    Cell s = chars({'q'}, 1);
    std::string input(300, 'z');
    input += "\xF0\x9F\x98\x80";
    unicode::load_utf8_into(bytes(input.c_str()), int64_t(input.size()), &s, nullptr);
    EXPECT_EQ(unit_of(s), 4);
    EXPECT_EQ(utf8_of(s), input);
}

// ---- Loading UTF-16LE ------------------------------------------------------------------------

struct Utf16Case {
    std::vector<uint16_t> units;
    int unit;
    CodePoints expected;
};

TEST(LoadUtf16, PicksTheUnitAndJoinsPairs) {
    const Utf16Case cases[] = {
        {{'A', 'B'}, 1, {'A', 'B'}},
        {{'A', 0xE9}, 1, {'A', 0xE9}},
        {{'A', 0x20AC}, 2, {'A', 0x20AC}},
        {{0xD83D, 0xDE00, 'x'}, 4, {0x1F600, 'x'}},
        {{0xDC00, 'A'}, 4, {0xDC00, 'A'}},          // lone low surrogate
        {{'A', 0xD800}, 4, {'A', 0xD800}},          // lone high surrogate at the end
        {{0xD800, 'A', 0xDBFF}, 4, {0xD800, 'A', 0xDBFF}},
        {{0xD800, 0xD801, 0xDC01}, 4, {0xD800, 0x10401}},
    };
    for (const Utf16Case& c : cases) {
        std::vector<uint8_t> b = utf16le(c.units);
        EXPECT_EQ(unicode::utf16_unit_needed(b.data(), int64_t(c.units.size())), c.unit);
        Cell s = load16(c.units);
        EXPECT_EQ(unit_of(s), c.unit);
        EXPECT_EQ(code_points(s), c.expected);
    }
}

TEST(LoadUtf16, CrFlagDropsEveryCr) {
    Cell s = load16({'x', '\r', '\n', 'y', '\r', 'z'}, true);
    EXPECT_EQ(code_points(s), (CodePoints{'x', '\n', 'y', 'z'}));
}

TEST(LoadUtf16, EmptyInputGivesAnEmptyString) {
    Cell s = load16({});
    EXPECT_EQ(string::length_q(&s), 0);
    EXPECT_EQ(unit_of(s), 2);
}

TEST(LoadUtf16, FromTheConversionBufferBackIntoTheString) {
    Cell s = text("h\xC3\xA9llo \xE2\x82\xAC \xF0\x9F\x98\x80");
    CodePoints before = code_points(s);
    int units = -1;
    ASSERT_NE(unicode::to_utf16_part(&s, units, false), nullptr);
    EXPECT_EQ(units, 10);  // the astral character takes a pair
    unicode::load_utf16(nullptr, units, &s, false);
    EXPECT_EQ(unit_of(s), 4);
    EXPECT_EQ(code_points(s), before);
}

TEST(LoadCp1251, MapsTheHighHalf) {
    const uint8_t input[] = {'A', 0x98, 0xA0, 0xCF, 0xF0, '\r', 0x88};
    Cell latin = string_over(unicode::load_cp1251(input, 3, nullptr, false));
    EXPECT_EQ(unit_of(latin), 1);
    EXPECT_EQ(code_points(latin), (CodePoints{'A', 0x98, 0xA0}));
    Cell cyrillic = string_over(unicode::load_cp1251(input + 3, 4, nullptr, true));
    EXPECT_EQ(unit_of(cyrillic), 2);
    EXPECT_EQ(code_points(cyrillic), (CodePoints{0x041F, 0x0440, 0x20AC}));
}

// ---- Encoding strings ----------------------------------------------------------------------------

TEST(ToUtf8, ConvertsEveryUnitWithLimits) {
    struct Case {
        CodePoints cps;
        int unit;
        int limit;
        std::string expected;
    };
    const Case cases[] = {
        {{'a', 0xE9, 'b'}, 1, -1, "a\xC3\xA9" "b"},
        {{'a', 0x20AC, 'b'}, 2, -1, "a\xE2\x82\xAC" "b"},
        {{0x1F600, 'b'}, 4, -1, "\xF0\x9F\x98\x80" "b"},
        {{'a', 0x20AC, 'b'}, 2, 2, "a\xE2\x82\xAC"},
        {{'a', 'b'}, 1, 0, ""},
        {{'a', 'b'}, 1, 9, "ab"},
    };
    for (const Case& c : cases) {
        Cell s = chars(c.cps, c.unit);
        int limit = c.limit;
        char* out = unicode::to_utf8(&s, limit);
        EXPECT_EQ(std::string(out, size_t(limit)), c.expected);
        EXPECT_EQ(out[limit], 0);
    }
}

TEST(ToUtf8, CrFlagWritesCrLf) {
    Cell s = text("x\ny\n");
    int limit = -1;
    EXPECT_STREQ(unicode::to_utf8_crlf(&s, limit, true), "x\r\ny\r\n");
    EXPECT_EQ(limit, 6);
}

TEST(ToUtf8, UnitAboveUnicodeRaises) {
    Cell s = chars({'a', 0x110000}, 4);
    int limit = -1;
    EXPECT_EQ(error_of([&] { unicode::to_utf8(&s, limit); }), "script/invalid-char");
    EXPECT_EQ(error_of([&] {
        Series* b = string::buffer_of(&s);
        unicode::utf8_size_of_units(b->head(), b->tail_ptr(), 4);
    }), "script/invalid-char");
}

TEST(ToUtf8, ConversionBufferIsKeptAndReused) {
    Cell s = text("reused");
    int limit = -1;
    char* first = unicode::to_utf8(&s, limit);
    Node node = s.data3;
    EXPECT_NE(node, 0u);
    limit = -1;
    EXPECT_EQ(unicode::to_utf8(&s, limit), first);
    EXPECT_EQ(s.data3, node);
}

TEST(ToUtf8, IntoCallerBuffer) {
    Cell s = text("a\xE2\x82\xAC");
    uint8_t out[16];
    std::memset(out, 'X', sizeof out);
    EXPECT_EQ(unicode::to_utf8_buffer(&s, out, -1, true), 4);
    EXPECT_STREQ(reinterpret_cast<char*>(out), "a\xE2\x82\xAC");
    EXPECT_EQ(unicode::utf8_size_of_units(string::head(&s), string::tail(&s), 2), 4);
}

// A character that does not fit whole is not started.
TEST(ToUtf8Into, StopsBeforeACharacterThatDoesNotFit) {
    struct Case {
        int room;
        int part;
        std::string expected;
    };
    const Case cases[] = {
        {0, -1, ""},
        {1, -1, "a"},
        {3, -1, "a"},
        {4, -1, "a\xE2\x82\xAC"},
        {5, -1, "a\xE2\x82\xAC" "b"},
        {64, 1, "a"},      // a part limit between 1 and the length counts
        {64, 0, "a\xE2\x82\xAC" "b"},
        {64, 7, "a\xE2\x82\xAC" "b"},
    };
    Cell s = text("a\xE2\x82\xAC" "b");
    for (const Case& c : cases) {
        uint8_t out[80];
        std::memset(out, 'X', sizeof out);
        int n = unicode::to_utf8_into(&s, out, c.room, c.part, true);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(out), size_t(n)), c.expected) << c.room;
        EXPECT_EQ(out[n], 0);            // the NUL comes after the text
        EXPECT_EQ(out[n + 1], 'X');      // and nothing more is touched
    }
}

TEST(ToUtf16, UnitsWithCrAndPairs) {
    struct Case {
        CodePoints cps;
        int unit;
        bool cr;
        std::vector<uint16_t> expected;
    };
    const Case cases[] = {
        {{'x', '\n', 'y'}, 1, true, {'x', '\r', '\n', 'y'}},
        {{'x', '\n', 'y'}, 1, false, {'x', '\n', 'y'}},
        {{0x20AC, '\n'}, 2, true, {0x20AC, '\r', '\n'}},
        {{0x1F600, '\n', 0x10FFFF}, 4, true, {0xD83D, 0xDE00, '\r', '\n', 0xDBFF, 0xDFFF}},
    };
    for (const Case& c : cases) {
        Cell s = chars(c.cps, c.unit);
        int n = -1;
        uint16_t* out = unicode::to_utf16_part(&s, n, c.cr);
        ASSERT_NE(out, nullptr);
        ASSERT_EQ(n, int(c.expected.size()));
        for (int i = 0; i < n; i++) EXPECT_EQ(out[i], c.expected[i]);
        EXPECT_EQ(out[n], 0);
    }
    Cell whole = text("x\ny");
    uint16_t* out = unicode::to_utf16(&whole);
    EXPECT_EQ(out[1], '\r');
    EXPECT_EQ(out[4], 0);
}

TEST(ToUtf16, CodePointBeyondUnicodeGivesNull) {
    Cell s = chars({'a', 0x110000}, 4);
    int n = -1;
    EXPECT_EQ(unicode::to_utf16_part(&s, n, false), nullptr);
}

TEST(ToUtf16, AsciiWidening) {
    uint16_t out[4] = {9, 9, 9, 9};
    unicode::ascii_to_utf16("ab", out);
    EXPECT_EQ(out[0], 'a');
    EXPECT_EQ(out[1], 'b');
    EXPECT_EQ(out[2], 0);
}

// ---- Widening ---------------------------------------------------------------------------------

TEST(Widen, KeepsEveryCharacter) {
    struct Case {
        int from;
        int to;
    };
    const Case cases[] = {{1, 2}, {1, 4}, {2, 4}};
    for (const Case& c : cases) {
        CodePoints cps;
        for (uint32_t i = 0; i < 100; i++) cps.push_back(0x80 + i);
        Cell s = chars(cps, c.from);
        Series* b = string::buffer_of(&s);
        if (c.from == 1) b = c.to == 2 ? unicode::widen_1_2(b) : unicode::widen_1_4(b);
        else b = unicode::widen_2_4(b);
        EXPECT_EQ(b, string::buffer_of(&s));  // the node follows the buffer
        EXPECT_EQ(unit_of(s), c.to);
        EXPECT_EQ(code_points(s), cps);
    }
}

// A buffer header whose unit is not 1, 2 or 4 is corrupt: run-time error 101.
TEST(UnitCheckDeathTest, CorruptUnitIsFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            platform::set_output_sink([](void*, const char* b, size_t n) { (void)!::write(2, b, n); },
                                      nullptr);
            Cell s = text("abc");
            Series* b = string::buffer_of(&s);
            b->flags = (b->flags & ~SERIES_UNIT_MASK) | 3u;
            string::length_q(&s);
        },
        ::testing::ExitedWithCode(101), "Runtime Error 101");
}
