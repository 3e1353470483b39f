// Every literal form through the lexer: the value each text loads as, the
// limits of each syntax, nested blocks, paths of every kind, maps, brace
// strings, constructions, point literals, line breaks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lexer/lexer.h"
#include "tests/support/loaded.h"
#include "tests/support/runtime_env.h"
#include "tests/support/locale_months.h"
#include "words/context.h"
#include "words/word.h"

namespace zel::lexer {
namespace {

using test::loaded;
using test::shown;

struct Literal {
    const char* text;
    int type;
    std::string shown;  // molded where the type molds, its contents otherwise
};

// One value each: its type and what it holds.
void expect_literals(const std::vector<Literal>& cases) {
    for (const Literal& c : cases) {
        std::string error = test::error_of([&] {
            Cell block = loaded(c.text);
            ASSERT_EQ(test::total_cells(block), 1) << c.text;
            const Cell& value = test::cells_of(block)[0];
            EXPECT_EQ(type_of(&value), c.type) << c.text;
            EXPECT_EQ(shown(value), c.shown) << c.text;
        });
        EXPECT_EQ(error, "") << c.text;
    }
}

TEST(Loaders, Numbers) {
    expect_literals({
        {"0", TYPE_INTEGER, "0"},
        {"+17", TYPE_INTEGER, "17"},
        {"-42", TYPE_INTEGER, "-42"},
        {"1'000'000", TYPE_INTEGER, "1000000"},
        {"2147483647", TYPE_INTEGER, "2147483647"},
        {"-2147483648", TYPE_INTEGER, "-2147483648"},
        {"2147483648", TYPE_FLOAT, "2147483648.0"},
        {"12345678901", TYPE_FLOAT, "12345678901.0"},
        {"FFh", TYPE_INTEGER, "255"},
        {"00FFh", TYPE_INTEGER, "255"},
        {"FFFFFFFFh", TYPE_INTEGER, "-1"},
        {"1.5", TYPE_FLOAT, "1.5"},
        {"1e10", TYPE_FLOAT, "10000000000.0"},
        {".5", TYPE_FLOAT, "0.5"},
        {"-1.5e-3", TYPE_FLOAT, "-0.0015"},
        {"1'000.5", TYPE_FLOAT, "1000.5"},
        {"1.#NaN", TYPE_FLOAT, "1.#NaN"},
        {"-1.#inf", TYPE_FLOAT, "-1.#INF"},
        {"1.#INF", TYPE_FLOAT, "1.#INF"},
        {"50%", TYPE_PERCENT, "50%"},
        {"12.5%", TYPE_PERCENT, "12.5%"},
        {"-3%", TYPE_PERCENT, "-3%"},
        {"0.0000000001%", TYPE_PERCENT, "0.0000000001%"},
        {"123456789012345678901234567890%", TYPE_PERCENT, "123456789012345690000000000000%"},
    });
}

TEST(Loaders, Scalars) {
    expect_literals({
        {"1.2.3", TYPE_TUPLE, "1.2.3"},
        {"255.0.127.1", TYPE_TUPLE, "255.0.127.1"},
        {"1.2.3.4.5.6.7.8.9.10.11.12", TYPE_TUPLE, "1.2.3.4.5.6.7.8.9.10.11.12"},
        {"1x2", TYPE_PAIR, "1x2"},
        {"-10X+20", TYPE_PAIR, "-10x20"},
        {"2147483647x-2147483648", TYPE_PAIR, "2147483647x-2147483648"},
        {"(1, 2)", TYPE_POINT2D, "(1, 2)"},
        {"(1.5, -2, 3e1)", TYPE_POINT3D, "(1.5, -2, 30)"},
        {"( 1 ,2 )", TYPE_POINT2D, "(1, 2)"},
        {"(1.#INF, 0)", TYPE_POINT2D, "(1.#INF, 0)"},
        {"1:30", TYPE_TIME, "1:30:00"},
        {"1:30:15.5", TYPE_TIME, "1:30:15.5"},
        {"0:0:1.1234567", TYPE_TIME, "0:00:01.1234567"},
        {"1:30.5", TYPE_TIME, "0:01:30.5"},
        {"-0:30", TYPE_TIME, "-0:30:00"},
        {"+2:00", TYPE_TIME, "2:00:00"},
        {"2147483647:59:59.5", TYPE_TIME, "2147483647:59:59.5"},
        {"-2147483648:00", TYPE_TIME, "-2147483648:00:00"},
        {"1:2147483647", TYPE_TIME, "35791395:07:00"},
        {"#\"a\"", TYPE_CHAR, "#\"a\""},
        {"#\"^/\"", TYPE_CHAR, "#\"^/\""},
        {"#\"^(41)\"", TYPE_CHAR, "#\"A\""},
        {"#\"^(line)\"", TYPE_CHAR, "#\"^/\""},
        {"#\"^(1F600)\"", TYPE_CHAR, "#\"\xF0\x9F\x98\x80\""},
        {"#\"^[\"", TYPE_CHAR, "#\"^[\""},
        {"#\"^\"\"", TYPE_CHAR, "#\"^\"\""},
        {"#\"\xC3\xA9\"", TYPE_CHAR, "#\"\xC3\xA9\""},
        {"$1.50", TYPE_MONEY, "$1.50"},
        {"-USD$1'000.25", TYPE_MONEY, "-USD$1000.25"},
        {"EUR$5", TYPE_MONEY, "EUR$5.00"},
        {"$12.5", TYPE_MONEY, "$12.50"},
        {"$007", TYPE_MONEY, "$7.00"},
    });
}

TEST(Loaders, Dates) {
    expect_literals({
        {"2020-01-15", TYPE_DATE, "15-Jan-2020"},
        {"15-Jan-2020", TYPE_DATE, "15-Jan-2020"},
        {"15-january-2020", TYPE_DATE, "15-Jan-2020"},
        {"15-01-20", TYPE_DATE, "15-Jan-2020"},
        {"1-2-99", TYPE_DATE, "1-Feb-1999"},
        {"2020/12/31", TYPE_DATE, "31-Dec-2020"},
        {"2020-02-29", TYPE_DATE, "29-Feb-2020"},
        {"15/January/2020/10:30:00+2:00", TYPE_DATE, "15-Jan-2020/10:30:00+02:00"},
        {"15-Jan-2020/10:30-5:30", TYPE_DATE, "15-Jan-2020/10:30:00-05:30"},
        {"2020-01-15T10:30:15.5Z", TYPE_DATE, "15-Jan-2020/10:30:15.5"},
        {"20200115T103000Z", TYPE_DATE, "15-Jan-2020/10:30:00"},
        {"20200115T1030+0100", TYPE_DATE, "15-Jan-2020/10:30:00+01:00"},
        {"2020-W03-2", TYPE_DATE, "14-Jan-2020"},
        {"2020-W03", TYPE_DATE, "13-Jan-2020"},
        {"2020-015", TYPE_DATE, "15-Jan-2020"},
        {"2020-366T10:00", TYPE_DATE, "31-Dec-2020/10:00:00"},
        {"1-Jan-2000/10:00:01.1234567", TYPE_DATE, "1-Jan-2000/10:00:01.1234567"},
        {"2020-W53-7", TYPE_DATE, "3-Jan-2021"},
        {"-02-120", TYPE_DATE, "30/Apr/-0002"},
        {"30/Apr/-0002", TYPE_DATE, "30/Apr/-0002"},
        {"1/1/-150/10:00+15:45", TYPE_DATE, "1/Jan/-150/10:00:00+15:45"},
    });
}

TEST(Loaders, Texts) {
    expect_literals({
        {"\"abc\"", TYPE_STRING, "\"abc\""},
        {"\"\"", TYPE_STRING, "\"\""},
        {"\"a^\"b^^c\"", TYPE_STRING, "{a\"b^^c}"},
        {"\"tab^-line^/\"", TYPE_STRING, "\"tab^-line^/\""},
        {"\"^(41)^(tab)^(DEL)\"", TYPE_STRING, "\"A^-^~\""},
        {"\"caf\xC3\xA9\"", TYPE_STRING, "\"caf\xC3\xA9\""},
        {"\"\xF0\x9F\x98\x80\"", TYPE_STRING, "\"\xF0\x9F\x98\x80\""},
        {"\"^(1F600)\"", TYPE_STRING, "\"\xF0\x9F\x98\x80\""},
        {"{a {b} c}", TYPE_STRING, "\"a {b} c\""},
        {"{a^}b}", TYPE_STRING, "\"a}b\""},
        {"{two\nlines}", TYPE_STRING, "\"two^/lines\""},
        {"%{raw ^ \"text\"}%", TYPE_STRING, "{raw ^^ \"text\"}"},
        {"%%{a}% b}%%", TYPE_STRING, "\"a}% b\""},
        {"%file.txt", TYPE_FILE, "%file.txt"},
        {"%dir/a%20b", TYPE_FILE, "%\"dir/a b\""},
        {"%a%C3%A9", TYPE_FILE, "%a\xC3\xA9"},
        {"%100%", TYPE_FILE, "%\"100%\""},
        {"%\"with space^/\"", TYPE_FILE, "%\"with space^/\""},
        {"%!/c%40a%40", TYPE_FILE, "%\"!/c@a@\""},
        {"%a%28b%29%3A", TYPE_FILE, "%\"a(b):\""},
        {"%\"q^(22)^^^-\"", TYPE_FILE, "%\"q^\"^^^-\""},
        {"%\"q^\"^^\"", TYPE_FILE, "%\"q^\"^^\""},
        {"http://example.com/a?b=c", TYPE_URL, "http://example.com/a?b=c"},
        {"ftp://x/%41", TYPE_URL, "ftp://x/A"},
        {"http://a%28b%29", TYPE_URL, "http://a%28b%29"},
        {"^e\xC3\xA9:a%5E", TYPE_URL, "^e\xC3\xA9:a%5E"},  // the scheme is read as a word: no escapes
        {"<tag a=\"1\">", TYPE_TAG, "<tag a=\"1\">"},
        {"<a^b>", TYPE_TAG, "<a^b>"},
        {"user@example.com", TYPE_EMAIL, "user@example.com"},
        {"@ref", TYPE_REF, "@ref"},
    });
}

TEST(Loaders, WordsOfEveryKind) {
    expect_literals({
        {"abc", TYPE_WORD, "abc"},
        {"set:", TYPE_SET_WORD, "set:"},
        {":get", TYPE_GET_WORD, ":get"},
        {"'lit", TYPE_LIT_WORD, "'lit"},
        {"/refine", TYPE_REFINEMENT, "/refine"},
        {"#issue", TYPE_ISSUE, "#issue"},
        {"+", TYPE_WORD, "+"},
        {"<=", TYPE_WORD, "<="},
        {"/", TYPE_WORD, "/"},
        {"//", TYPE_WORD, "//"},
        {"%", TYPE_WORD, "%"},
        {"-", TYPE_WORD, "-"},
        {"a1", TYPE_WORD, "a1"},
        {"Fh1", TYPE_WORD, "Fh1"},
        {"\xC3\xA9t\xC3\xA9", TYPE_WORD, "\xC3\xA9t\xC3\xA9"},
    });
}

TEST(Loaders, BinariesInEveryBase) {
    expect_literals({
        {"#{0F 10}", TYPE_BINARY, "#{0F10}"},
        {"#{}", TYPE_BINARY, "#{}"},
        {"#{0a\n\tFF}", TYPE_BINARY, "#{0AFF}"},
        {"#{01 ; a comment\n02}", TYPE_BINARY, "#{0102}"},
        {"16#{ABCD}", TYPE_BINARY, "#{ABCD}"},
        {"2#{00001111 11110000}", TYPE_BINARY, "#{0FF0}"},
        {"64#{AQID}", TYPE_BINARY, "#{010203}"},
        {"64#{AQI=}", TYPE_BINARY, "#{0102}"},
        {"64#{AQ==}", TYPE_BINARY, "#{01}"},
    });
}

TEST(Loaders, Constructions) {
    expect_literals({
        {"#(true)", TYPE_LOGIC, "true"},
        {"#(TRUE)", TYPE_LOGIC, "true"},
        {"#(false)", TYPE_LOGIC, "false"},
        {"#(none)", TYPE_NONE, "none"},
        {"#(unset)", TYPE_UNSET, "unset"},
        {"#(integer!)", TYPE_DATATYPE, "integer!"},
        {"#(block!)", TYPE_DATATYPE, "block!"},
        {"#(str)", TYPE_DATATYPE, "string!"},  // a datatype may be named by its beginning
    });
}

TEST(Loaders, OnePlusTwoIsAnIntegerAWordAndAnInteger) {
    Cell block = loaded("1 + 2");
    ASSERT_EQ(test::total_cells(block), 3);
    const Cell* items = test::cells_of(block);
    EXPECT_EQ(shown(items[0]), "1");
    EXPECT_EQ(type_of(&items[1]), TYPE_WORD);
    EXPECT_EQ(test::binding_of(items[1]), context::g_global);
    EXPECT_EQ(std::string(symbol::c_string(test::symbol_of(items[1]))), "+");
    EXPECT_EQ(test::slot_of(items[1]), context::find_word(context::g_global, test::symbol_of(items[1]), true));
    EXPECT_EQ(shown(items[2]), "2");
}

// Words are bound in the global context: loading the same name twice
// reaches the same value cell, whatever its kind.
TEST(Loaders, WordsShareTheirGlobalSlot) {
    Cell block = loaded("zeta zeta: :zeta 'zeta /zeta");
    const Cell* items = test::cells_of(block);
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(test::binding_of(items[i]), context::g_global) << i;
        EXPECT_EQ(test::slot_of(items[i]), test::slot_of(items[0])) << i;
    }
}

// ---- Blocks, paths, maps ---------------------------------------------------------------

TEST(Loaders, NestedSeries) {
    expect_literals({
        {"[]", TYPE_BLOCK, "[]"},
        {"[1 [2 [3 (4 5)]] 6]", TYPE_BLOCK, "[1 [2 [3 (4 5)]] 6]"},
        {"(a [b] ())", TYPE_PAREN, "(a [b] ())"},
    });
}

TEST(Loaders, PathsOfEveryKind) {
    expect_literals({
        {"a/b", TYPE_PATH, "path a/b"},
        {"a/b/c", TYPE_PATH, "path a/b/c"},
        {"a/b:", TYPE_SET_PATH, "set-path a/b"},
        {":a/b", TYPE_GET_PATH, "get-path a/b"},
        {"'a/b", TYPE_LIT_PATH, "lit-path a/b"},
        {"a/1/b", TYPE_PATH, "path a/1/b"},
        {"a/(b c)/d", TYPE_PATH, "path a/(b c)/d"},
        {"a/:b/'c", TYPE_PATH, "path a/:b/'c"},
        {"a/\"s\"", TYPE_PATH, "path a/\"s\""},
        {"a/#i", TYPE_PATH, "path a/#i"},
        {"obj/1.5", TYPE_PATH, "path obj/1.5"},
    });
    Cell block = loaded("[a/b c/d:] e");
    EXPECT_EQ(shown(block), "[[path a/b set-path c/d] e]");
}

TEST(Loaders, Maps) {
    expect_literals({
        {"#[]", TYPE_MAP, "map []"},
        {"#[a 1 b 2]", TYPE_MAP, "map [a: 1 b: 2]"},
        {"#[\"k\" [v] 3 4 #\"c\" x]", TYPE_MAP, "map [\"k\" [v] 3 4 #\"c\" x]"},
    });
    // The keys are indexed: a kind-1 table over the block.
    Cell map = test::cells_of(loaded("#[a 1 b 2 a 3]"))[0];
    EXPECT_NE(map.data3, 0u);
    EXPECT_EQ(shown(map), "map [a: 3 b: 2]");  // a key met again takes the later value
}

// The first value of a text on its first line has no line break; a value
// after a line feed has one, whatever token it is.
TEST(Loaders, NewLineMarkers) {
    Cell block = loaded("a [b\n c] \"s\"\n{x\ny} 1\n\n  (1, 2)\n%{r\n}% #(none)\nd/e");
    std::vector<bool> flags;
    for (int i = 0; i < test::total_cells(block); i++) flags.push_back(cell::new_line(&test::cells_of(block)[i]));
    EXPECT_EQ(flags, (std::vector<bool>{false, false, false, true, false, true, true, false, true}));
    const Cell inner = test::cells_of(block)[1];
    EXPECT_TRUE(cell::new_line(&test::cells_of(inner)[1]));
}

TEST(Loaders, LinesAreCountedForErrors) {
    ErrorThrow e = test::caught_error([] { loaded("one\n\"two\nthree\"\n"); });
    EXPECT_EQ(test::utf8_of(e.args[0]), "(line 2)");
    e = test::caught_error([] { loaded("a\n{b\nc} ; d\n\n 1a"); });
    EXPECT_EQ(test::utf8_of(e.args[0]), "(line 5)");
}

// Blanks of Unicode end a word and separate values like spaces.
TEST(Loaders, UnicodeBlanksSeparateWords) {
    Cell block = loaded("a\xC2\xA0" "b \xE3\x80\x80" "c");
    EXPECT_EQ(shown(block), "[a b c]");
}

// Many values in one block: the value stack grows under them.
TEST(Loaders, LargeBlocks) {
    std::string text = "[";
    for (int i = 0; i < 3000; i++) text += "[" + std::to_string(i) + " x] ";
    text += "]";
    Cell block = test::cells_of(loaded(text))[0];
    ASSERT_EQ(test::total_cells(block), 3000);
    EXPECT_EQ(shown(test::cells_of(block)[2999]), "[2999 x]");
}

// ---- Scan modes ----------------------------------------------------------------------------

TEST(Loaders, ScanModesAnswerTheDatatypeOfTheFirstValue) {
    struct Case {
        const char* text;
        int type;
    };
    const Case cases[] = {
        {"[1 2] 3", TYPE_BLOCK}, {"(1 2)", TYPE_PAREN}, {"#[a 1]", TYPE_MAP},
        {"a/b c", TYPE_PATH},    {"a/b: 1", TYPE_SET_PATH}, {"(1, 2)", TYPE_POINT2D},
        {"{a {b}}", TYPE_STRING}, {"#(none)", TYPE_NONE}, {"$1.50", TYPE_MONEY},
        {"x: 1", TYPE_SET_WORD}, {"#[a]", TYPE_MAP}, {"[1 2", TYPE_ERROR}, {"(1, 2, 3)", TYPE_POINT3D},
        {"64#{A}", TYPE_ERROR},
    };
    for (const Case& c : cases) {
        auto text = reinterpret_cast<const uint8_t*>(c.text);
        EXPECT_EQ(scan(nullptr, text, int64_t(std::strlen(c.text)), SCAN_ONLY | ONE_VALUE), c.type)
            << c.text;
    }
}

TEST(Loaders, NameCheckOfWords) {
    struct Case {
        const char* text;
        int type;
    };
    const Case cases[] = {
        {"abc", TYPE_WORD},  {"abc:", TYPE_SET_WORD}, {":abc", TYPE_GET_WORD}, {"'abc", TYPE_LIT_WORD},
        {"/abc", TYPE_REFINEMENT}, {"#abc", TYPE_ISSUE}, {"+", TYPE_WORD}, {"a b", 0},
        {" a", 0}, {"1", TYPE_INTEGER}, {"a/b", TYPE_PATH}, {"a:b", TYPE_URL}, {"", 0}, {"1a", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(word::name_type(reinterpret_cast<const uint8_t*>(c.text), int32_t(std::strlen(c.text))), c.type)
            << c.text;
}

// A string may hold surrogate code points: each is one character of the
// count, though it is no valid UTF-8 once converted.
TEST(Loaders, ConsumedCountsSurrogatesAsCharacters) {
    Cell text = test::chars({'a', 0xDD71, ' ', 'b'}, 2);
    int64_t consumed = -1;
    EXPECT_EQ(scan_string(nullptr, &text, -1, SCAN_ONLY | ONE_VALUE, &consumed), TYPE_WORD);
    EXPECT_EQ(consumed, 2);
    // Loaded, such a name is no valid word.
    Cell tail = test::chars({'1', ' ', 0xD800, 0xDC00}, 2);
    EXPECT_EQ(scan_string(nullptr, &tail, -1, SCAN_ONLY, &consumed), TYPE_ERROR);
    EXPECT_EQ(consumed, 4);
}

TEST(Loaders, LoadValueOfAString) {
    Cell result;
    Cell one = test::text("50%"), blank = test::text(" "), two = test::text("1 2");
    load_value(&one, &result);
    EXPECT_EQ(shown(result), "50%");
    load_value(&blank, &result);
    EXPECT_EQ(type_of(&result), TYPE_UNSET);
    load_value(&two, &result);
    EXPECT_EQ(type_of(&result), TYPE_NONE);
}

}  // namespace
}  // namespace zel::lexer
