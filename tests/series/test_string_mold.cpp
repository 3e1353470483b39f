// string! molding: the choice between quotes and braces, caret escapes,
// brace balancing, /all and /part.
#include <climits>
#include <string>

#include "series/string.h"
#include "tests/support/fields.h"
#include "tests/support/runtime_env.h"
#include "tests/support/text.h"

using namespace zel;
using namespace zel::test;

namespace {

struct Molded {
    std::string text;
    int remaining;
};

Molded mold(Cell value, bool all = false, int part = INT_MAX) {
    Cell buffer;
    string::make_at(&buffer, 16);
    int remaining = string::mold(&value, &buffer, false, all, false, part, 0);
    return {utf8_of(buffer), remaining};
}

std::string escaped(uint32_t cp, bool all) {
    Cell buffer;
    string::make_at(&buffer, 16);
    string::append_escaped_char(&buffer, cp, all);
    return utf8_of(buffer);
}

}  // namespace

struct EscapeCase {
    uint32_t cp;
    bool all;
    const char* expected;
};

TEST(EscapedChar, TableHexAndPlainCharacters) {
    const EscapeCase cases[] = {
        {0, false, "^@"},         {9, false, "^-"},      {10, false, "^/"},
        {27, false, "^["},        {28, false, "^\\"},    {31, false, "^_"},
        {30, false, "^(1E)"},     {'"', false, "^\""},   {'^', false, "^^"},
        {127, false, "^~"},       {128, false, "^(80)"}, {159, false, "^(9F)"},
        {160, false, "\xC2\xA0"}, {160, true, "^(A0)"},  {0x20AC, true, "^(20AC)"},
        {0x20AC, false, "\xE2\x82\xAC"},                 {0x1F600, false, "\xF0\x9F\x98\x80"},
        {'a', true, "a"},         {'{', false, "{"},     {' ', false, " "},
        // Surrogates have no UTF-8 that loads.
        {0xD800, false, "^(D800)"}, {0xDD58, false, "^(DD58)"}, {0xDFFF, false, "^(DFFF)"},
        {0xD7FF, false, "\xED\x9F\xBF"}, {0xE000, false, "\xEE\x80\x80"},
    };
    for (const EscapeCase& c : cases) EXPECT_EQ(escaped(c.cp, c.all), c.expected) << c.cp;
}

struct MoldCase {
    std::string input;  // UTF-8
    bool all;
    int part;
    std::string expected;
};

TEST(StringMold, QuotesBracesAndEscapes) {
    const MoldCase cases[] = {
        {"abc", false, INT_MAX, "\"abc\""},
        {"", false, INT_MAX, "\"\""},
        {std::string(49, 'a'), false, INT_MAX, "\"" + std::string(49, 'a') + "\""},
        {std::string(50, 'a'), false, INT_MAX, "{" + std::string(50, 'a') + "}"},
        {"a\nb\nc", false, INT_MAX, "\"a^/b^/c\""},          // two line feeds: quotes
        {"a\nb\nc\nd", false, INT_MAX, "{a^/b^/c^/d}"},      // three: braces, still escaped
        {"say \"hi\"", false, INT_MAX, "{say \"hi\"}"},      // a quote: braces, quote as is
        {"a^b\tc", false, INT_MAX, "\"a^^b^-c\""},
        {"x\x1E" "y", false, INT_MAX, "\"x^(1E)y\""},
        {"\x7F", false, INT_MAX, "\"^~\""},
        {"\xC2\xA0\xC3\xA9", false, INT_MAX, "\"\xC2\xA0\xC3\xA9\""},
        {"\xC2\xA0\xC3\xA9", true, INT_MAX, "\"^(A0)^(E9)\""},
        {"\xC2\x80", false, INT_MAX, "\"^(80)\""},
        {"{a}", false, INT_MAX, "\"{a}\""},                  // braces alone need no braces
    };
    for (const MoldCase& c : cases) EXPECT_EQ(mold(text(c.input.c_str()), c.all).text, c.expected) << c.input;
}

TEST(StringMold, BraceBalancingInsideBraces) {
    const MoldCase cases[] = {
        {"\"{x}", false, INT_MAX, "{\"{x}}"},
        {"\"a{b", false, INT_MAX, "{\"a^{b}"},              // no closing brace later
        {"\"{{}", false, INT_MAX, "{\"^{^{^}}"},            // once unbalanced, every { escapes
        {"\"}{", false, INT_MAX, "{\"^}^{}"},               // } before any {
        {"\"{a{b}c}", false, INT_MAX, "{\"{a{b}c}}"},       // nesting counted
        {"\"^\t", false, INT_MAX, "{\"^^^-}"},
        {"\"{x}", false, 2, "{\"^{}"},                      // the match must lie in the range
    };
    for (const MoldCase& c : cases)
        EXPECT_EQ(mold(text(c.input.c_str()), c.all, c.part).text, c.expected) << c.input;
}

TEST(StringMold, PartLimitsTheRange) {
    const MoldCase cases[] = {
        {"abcdef", false, 2, "\"ab\""},
        {"abc", false, 9, "\"abc\""},
        {"abc", false, -1, "\"abc\""},                      // a negative part sets no limit
        {"ab\"c", false, 2, "\"ab\""},                      // only quotes in the range count
        {"abc", false, 0, "\"\""},
        {std::string(60, 'a'), false, 0, "{}"},            // delimiters follow the whole length
        {std::string(60, 'a'), false, 3, "{aaa}"},
    };
    for (const MoldCase& c : cases)
        EXPECT_EQ(mold(text(c.input.c_str()), c.all, c.part).text, c.expected) << c.part;
}

TEST(StringMold, AnswersTheBudgetLeft) {
    EXPECT_EQ(mold(text("abc")).remaining, INT_MAX - 5);
    EXPECT_EQ(mold(text("abcdef"), false, 2).remaining, -2);
    EXPECT_EQ(mold(text("a\tb"), false, 10).remaining, 5);  // characters molded, not escapes
}

TEST(StringMold, FromTheHeadAndWideningTheBuffer) {
    Cell value = chars({'x', 0x20AC, 0x1F600}, 4);
    value = at_head(value, 1);
    Cell buffer = text("=");
    string::mold(&value, &buffer, false, false, false, INT_MAX, 0);
    EXPECT_EQ(unit_of(buffer), 4);
    EXPECT_EQ(utf8_of(buffer), "=\"\xE2\x82\xAC\xF0\x9F\x98\x80\"");
}

TEST(StringMold, IntoItself) {
    Cell s = text("a\"b");
    Cell same = s;
    string::mold(&same, &s, false, false, false, INT_MAX, 0);
    EXPECT_EQ(utf8_of(s), "a\"b{a\"b}");
}
