// Syntax errors: every kind names its line and the text near it, and every
// bad input is an error in every scan mode, never a crash.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "foundation/datatype.h"
#include "lexer/lexer.h"
#include "scalars/char.h"
#include "tests/support/fields.h"
#include "tests/support/loaded.h"
#include "tests/support/runtime_env.h"

namespace zel::lexer {
namespace {

struct Bad {
    std::string text;
    const char* error;  // category/id
    const char* what;   // invalid: the datatype; missing: the delimiter; else ""
    std::string near;
    int line = 1;
    bool in_scans = true;  // also an error when only scanning (maps are checked only when loading)
};

// Names of the datatypes, registered yet or not.
const char* const TYPE_NAMES[] = {
    "", "datatype!", "unset!", "none!", "logic!", "block!", "paren!", "string!", "file!", "url!",
    "char!", "integer!", "float!", "symbol!", "context!", "word!", "set-word!", "lit-word!",
    "get-word!", "refinement!", "issue!", "native!", "action!", "op!", "function!", "path!",
    "lit-path!", "set-path!", "get-path!", "routine!", "bitset!", "triple!", "object!", "typeset!",
    "error!", "vector!", "hash!", "pair!", "percent!", "tuple!", "map!", "binary!", "series!",
    "time!", "tag!", "email!", "handle!", "date!", "port!", "money!", "ref!", "point2D!",
    "point3D!", "image!", "event!",
};

std::string what_of(const ErrorThrow& e) {
    if (e.id == ERR_syntax_invalid) {
        EXPECT_EQ(type_of(&e.args[1]), TYPE_DATATYPE);
        int type = test::type_named_by(e.args[1]);
        return TYPE_NAMES[type >= 0 && type <= TYPE_LAST ? type : 0];
    }
    if (e.id == ERR_syntax_missing) return std::string(1, char(char_::get(&e.args[1])));
    return "";
}

std::string near_of(const ErrorThrow& e) {
    return test::utf8_of(e.id == ERR_syntax_invalid || e.id == ERR_syntax_missing ? e.args[2] : e.args[1]);
}

void expect_errors(const std::vector<Bad>& cases) {
    for (const Bad& c : cases) {
        ErrorThrow e = test::caught_error([&] { test::loaded(c.text); });
        EXPECT_EQ(std::string(e.category_name()) + "/" + e.id_name(), c.error) << c.text;
        EXPECT_EQ(what_of(e), c.what) << c.text;
        EXPECT_EQ(near_of(e), c.near) << c.text;
        EXPECT_EQ(test::utf8_of(e.args[0]), "(line " + std::to_string(c.line) + ")") << c.text;
        auto text = reinterpret_cast<const uint8_t*>(c.text.data());
        auto length = int64_t(c.text.size());
        if (c.in_scans) {
            EXPECT_EQ(scan(nullptr, text, length, SCAN_ONLY), TYPE_ERROR) << c.text;
        }
    }
}

TEST(SyntaxErrors, InvalidValues) {
    expect_errors({
        {"1''0", "syntax/invalid", "integer!", "1''0"},
        {"Fh", "syntax/invalid", "word!", "Fh"},
        {"1h", "syntax/invalid", "integer!", "1h"},
        {"123456789h", "syntax/invalid", "integer!", "123456789h"},
        {"1.2.256", "syntax/invalid", "tuple!", "1.2.256"},
        {"1.2.3.4.5.6.7.8.9.10.11.12.13", "syntax/invalid", "tuple!", "1.2.3.4.5.6.7.8.9.10.11.12.13"},
        {"1.2..3", "syntax/invalid", "tuple!", "1.2..3"},
        {"1.5x2", "syntax/invalid", "pair!", "1.5x2"},
        {"(1, )", "syntax/invalid", "point2D!", "(1, )"},
        {"(1, 2, 3, 4)", "syntax/invalid", "point3D!", "(1, 2, 3, 4)"},
        {"(1, 2e)", "syntax/invalid", "float!", "2e)"},
        {"1:30:", "syntax/invalid", "time!", "1:30:"},
        {"2019-02-29", "syntax/invalid", "date!", "2019-02-29"},
        {"2020-13-01", "syntax/invalid", "date!", "2020-13-01"},
        {"15-Foo-2020", "syntax/invalid", "date!", "15-Foo-2020"},
        {"2020-01-15/25:00", "syntax/invalid", "date!", "2020-01-15/25:00"},
        {"2020-01-15/10:00+16", "syntax/invalid", "date!", "2020-01-15/10:00+16"},
        {"$.5", "syntax/invalid", "money!", "$.5"},
        {"$1.", "syntax/invalid", "money!", "$1."},
        {"$1'", "syntax/invalid", "money!", "$1'"},
        {"$1.123456", "syntax/invalid", "money!", "$1.123456"},
        {"US$1", "syntax/invalid", "money!", "US$1"},
        {"$123456789012345678", "syntax/invalid", "money!", "$123456789012345678"},
        {"XYZ$1", "syntax/invalid", "money!", "XYZ$1"},
        {"2019-366", "syntax/invalid", "date!", "2019-366"},
        {"2021-W53", "syntax/invalid", "date!", "2021-W53"},  // 2021 has 52 ISO weeks
        {"30-Apr--0002", "syntax/invalid", "date!", "30-Apr--0002"},  // a year's sign only after "/"
        {"2020-W54", "syntax/invalid", "date!", "2020-W54"},
        {"#{0F1}", "syntax/invalid", "binary!", "1}"},
        {"#{0G}", "syntax/invalid", "binary!", "G}"},
        {"3#{}", "syntax/invalid", "binary!", "3#{}"},
        {"2#{0101}", "syntax/invalid", "binary!", "0101}"},
        {"64#{AQI}", "syntax/invalid", "binary!", "}"},
        {"64#{A===}", "syntax/invalid", "binary!", "===}"},
        {"#\"\"", "syntax/invalid", "char!", "#\"\""},
    });
}

// Literals beyond what their datatype holds are errors, not other values.
TEST(SyntaxErrors, OutOfRangeLiterals) {
    expect_errors({
        {"1:99999999999999999999", "syntax/invalid", "time!", "1:99999999999999999999"},
        {"1:2147483648", "syntax/invalid", "time!", "1:2147483648"},
        {"1:2:99999999999999999", "syntax/invalid", "time!", "1:2:99999999999999999"},
        {"0:99999999999999.5", "syntax/invalid", "time!", "0:99999999999999.5"},
        {"2147483648:00", "syntax/invalid", "time!", "2147483648:00"},
        {"2147483647:60", "syntax/invalid", "time!", "2147483647:60"},
        {"-2147483648:60", "syntax/invalid", "time!", "-2147483648:60"},
        {"1x99999999999999999", "syntax/invalid", "pair!", "1x99999999999999999"},
        {"99999999999x3", "syntax/invalid", "pair!", "99999999999x3"},
        {"2147483648x0", "syntax/invalid", "pair!", "2147483648x0"},
        {"1-Jan-2000/10:00+1:99", "syntax/invalid", "date!", "1-Jan-2000/10:00+1:99"},
        {"1-Jan-2000/10:00-0:60", "syntax/invalid", "date!", "1-Jan-2000/10:00-0:60"},
        {"20200115T1030+0199", "syntax/invalid", "date!", "20200115T1030+0199"},
        {"#\"ab\"", "syntax/invalid", "char!", "#\"ab\""},
        {"#\"^(110000)\"", "syntax/invalid", "char!", "#\"^(110000)\""},
        {"\"^(1234567)\"", "syntax/invalid", "string!", "\"^(1234567)\""},
        {"\"a^(zz)\"", "syntax/invalid", "string!", "\"a^(zz)\""},
        {"\"abc\ndef\"", "syntax/invalid", "string!", "\"abc"},
        {"{a", "syntax/invalid", "string!", "{a"},
        {"x {a {b}", "syntax/invalid", "string!", "{a {b}"},
        {"%%{a}%", "syntax/invalid", "string!", "%%{a}%"},
        {"%{a}%%", "syntax/invalid", "string!", "%{a}%%"},
        {"'a:", "syntax/invalid", "lit-word!", "'a:"},
        {":a:b", "syntax/invalid", "get-word!", ":a:b"},
        {"a/b:/c", "syntax/invalid", "path!", "a/b:/c"},
        {"a/", "syntax/invalid", "path!", "a/"},
        {"a/b/", "syntax/invalid", "path!", "a/b/"},
        // A path's head of no valid UTF-8; names are checked only when loading.
        {"Z2\xCD/10", "syntax/invalid", "word!", "Z2\xC3\x8D/10", 1, false},
        {"#[a 1 b]", "syntax/invalid", "map!", "#[a 1 b]", 1, false},
        {"#[[a] 1]", "syntax/invalid", "map!", "#[[a] 1]", 1, false},
        {"[a , b]", "syntax/invalid", "point2D!", ", b]"},
        {"[a, b]", "syntax/invalid", "word!", "a, b]"},
        {"(a, b)", "syntax/invalid", "float!", "a, b)"},
        {"(x , [2])", "syntax/invalid", "point2D!", "[2])"},
        {"(1, [2])", "syntax/invalid", "point2D!", "1, [2])"},
    });
}

TEST(SyntaxErrors, MissingDelimiters) {
    expect_errors({
        {"[1 2", "syntax/missing", "]", "[1 2"},
        {"x\n(1 [2", "syntax/missing", "]", "[2", 2},
        {"#[a 1", "syntax/missing", "]", "#[a 1"},
        {"(1 2", "syntax/missing", ")", "(1 2"},
        {"1 2]", "syntax/missing", "[", "1 2]"},
        {"1 2)", "syntax/missing", "(", "1 2)"},
        {"(1 2]", "syntax/missing", ")", "(1 2]"},
        {"[1 2)", "syntax/missing", "]", "[1 2)"},
        {"(x , y)", "syntax/missing", "(", "(x , y)"},
    });
}

// A path closed by the wrong delimiter names no delimiter: it is reported
// as a bad character.
TEST(SyntaxErrors, PathsClosedWrongly) {
    expect_errors({
        {"'a/b:", "syntax/bad-char", "", "'a/b:"},
        {":a/b:", "syntax/bad-char", "", ":a/b:"},
    });
}

TEST(SyntaxErrors, ConstructionsAndBadCharacters) {
    expect_errors({
        {"#(foo)", "syntax/malconstruct", "", "#(foo)"},
        {"#(tr)", "syntax/malconstruct", "", "#(tr)"},
        {"#(truex)", "syntax/malconstruct", "", "#(truex)"},
        {"#()", "syntax/malconstruct", "", "#()"},
        {"#(integer!x)", "syntax/malconstruct", "", "#(integer!x)"},
        {"\xC0", "syntax/bad-char", "", "\xC3\x80"},
        {"a }", "syntax/bad-char", "", "}"},
        {"a\n\n  ]", "syntax/missing", "[", "a", 3},
    });
}

TEST(SyntaxErrors, LineOfTheError) {
    expect_errors({
        {"a\nb\n1a", "syntax/invalid", "integer!", "1a", 3},
        {"{x\ny\n}\n\"a\nb\"", "syntax/invalid", "string!", "\"a", 4},
        {";c\n;d\n#(x)", "syntax/malconstruct", "", "#(x)", 3},
    });
}

// The near text stops at a line feed or after 30 bytes, finishing the
// character that crosses the limit.
TEST(SyntaxErrors, NearTextIsShort) {
    std::string long_token = "1.2.3.4.5.6.7.8.9.10.11.12.13.14.15.16";
    expect_errors({{long_token, "syntax/invalid", "tuple!", long_token.substr(0, 30)}});
    std::string wide = "\"" + std::string(28, 'a') + "\xC3\xA9" + "zz^(1234567)\"";
    expect_errors({{wide, "syntax/invalid", "string!", wide.substr(0, 31)}});
}

// Every bad input is an error when scanned, never a crash.
TEST(SyntaxErrors, EveryModeAnswersError) {
    const char* cases[] = {"1a", "[1", "]", "#(x)", "{a", "(1,)", "a/", "#{1}", "'a:", "\xFF"};
    for (const char* text : cases) {
        auto p = reinterpret_cast<const uint8_t*>(text);
        auto n = int64_t(std::strlen(text));
        for (unsigned mode : {SCAN_ONLY, SCAN_ONLY | ONE_VALUE})
            EXPECT_EQ(scan(nullptr, p, n, mode), TYPE_ERROR) << text << " mode " << mode;
        EXPECT_EQ(test::error_of([&] { test::loaded(text); }).rfind("syntax/", 0), 0u) << text;
    }
}

}  // namespace
}  // namespace zel::lexer
