// The scan driver: token streams, line counting, scan modes, delivery of
// values, open delimiters at the end, nested scans, string sources and the
// shared buffers. Values come from small test loaders installed in the
// routine tables, since the real loaders are not part of the driver.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/memory.h"
#include "lexer/lexer.h"
#include "lexer/lexer_state.h"
#include "tests/support/fields.h"
#include "tests/support/runtime_env.h"
#include "tests/support/text.h"

namespace zel::lexer {
namespace {

const uint8_t* bytes(std::string_view text) {
    return reinterpret_cast<const uint8_t*>(text.data());
}

// ---- Observing tokens ------------------------------------------------------------

struct Seen {
    int token;
    std::string text;  // from the token's first byte to the byte that ended it
    int line;
    bool operator==(const Seen&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Seen& s) {
    return out << "{" << s.token << ", \"" << s.text << "\", line " << s.line << "}";
}

void record(State* lex, int token, const uint8_t* start, uint32_t, void* context) {
    auto* seen = static_cast<std::vector<Seen>*>(context);
    seen->push_back(
        {token, std::string(reinterpret_cast<const char*>(start), size_t(lex->token_end - start)),
         lex->line});
}

class Observer {
public:
    Observer() { set_token_observer(record, &seen); }
    ~Observer() { set_token_observer(nullptr, nullptr); }
    std::vector<Seen> seen;
};

std::vector<Seen> tokens_of(std::string_view text, unsigned flags = SCAN_ONLY) {
    Observer observer;
    Cell result;
    scan(&result, bytes(text), int64_t(text.size()), flags);
    return observer.seen;
}

TEST(LexerDriver, TokenStreamOfMixedText) {
    const std::vector<Seen> expected = {
        {TOKEN_WORD, "a", 1},         {TOKEN_BLOCK_OPEN, "", 1},    {TOKEN_WORD, "b", 1},
        {TOKEN_BLOCK_CLOSE, "", 1},   {TOKEN_PAREN_OPEN, "", 1},    {TOKEN_INTEGER, "1", 1},
        {TOKEN_WORD, "c", 1},         {TOKEN_PAREN_CLOSE, "", 1},
        {TOKEN_MAP_OPEN, "#", 1},     {TOKEN_WORD, "d", 1},         {TOKEN_STRING, "\"s", 1},
        {TOKEN_BLOCK_CLOSE, "", 1},   {TOKEN_PATH_HEAD, "e", 1},    {TOKEN_WORD, "f", 1},
        {TOKEN_BRACE_OPEN, "", 1},    {TOKEN_BRACE_OPEN, "x ", 1},  {TOKEN_BRACE_CLOSE, "y", 1},
        {TOKEN_BRACE_CLOSE, " z", 1}, {TOKEN_COMMENT, "; note", 1}, {TOKEN_FILE, "%f", 2},
        {TOKEN_EOF, "", 2},
    };
    EXPECT_EQ(tokens_of("a [b] (1 c) #[d \"s\"] e/f {x {y} z} ; note\n%f "), expected);
}

TEST(LexerDriver, NumbersOfEveryFormOneAfterAnother) {
    const std::vector<Seen> expected = {
        {TOKEN_INTEGER, "1", 1},   {TOKEN_FLOAT, "2.5", 1},
        {TOKEN_PERCENT, "3", 1},   {TOKEN_HEX, "FFh", 1},
        {TOKEN_PAIR, "4x5", 1},    {TOKEN_TUPLE, "1.2.3", 1},
        {TOKEN_TIME, "10:30", 1},  {TOKEN_DATE, "2020-01-15", 1},
        {TOKEN_SPECIAL_FLOAT, "1.#NaN", 1},
    };
    EXPECT_EQ(tokens_of("1 2.5 3% FFh 4x5 1.2.3 10:30 2020-01-15 1.#NaN"), expected);
}

TEST(LexerDriver, LinesAreCountedAcrossBlanksCommentsAndBraceStrings) {
    const std::vector<Seen> expected = {
        {TOKEN_WORD, "one", 1},   {TOKEN_WORD, "two", 2},    {TOKEN_COMMENT, ";c", 2},
        {TOKEN_WORD, "three", 4}, {TOKEN_BRACE_OPEN, "", 4}, {TOKEN_BRACE_CLOSE, "a\nb", 5},
        {TOKEN_WORD, "four", 5},
    };
    EXPECT_EQ(tokens_of("one\ntwo ;c\n\nthree {a\nb} four"), expected);
}

// A byte 0 between tokens ends the text; what follows is never read.
TEST(LexerDriver, ByteZeroEndsTheText) {
    std::string text("a \0 b", 5);
    Observer observer;
    Cell result;
    int64_t consumed = -1;
    scan(&result, bytes(text), int64_t(text.size()), 0, &consumed);
    const std::vector<Seen> expected = {{TOKEN_WORD, "a", 1}, {TOKEN_EOF, "", 1}};
    EXPECT_EQ(observer.seen, expected);
    EXPECT_EQ(consumed, 5);
}

// Words made only of Unicode blanks are blank space; a look-alike that is not
// well-formed UTF-8 (an overlong no-break space) stays a word.
TEST(LexerDriver, UnicodeBlankWordsAreSkipped) {
    const std::vector<Seen> two_words = {{TOKEN_WORD, "a", 1}, {TOKEN_WORD, "b", 1}};
    EXPECT_EQ(tokens_of("a \xC2\xA0\xE3\x80\x80 b"), two_words);
    EXPECT_EQ(tokens_of("a \xE2\x80\x8B\xE1\x9A\x80 b"), two_words);

    const std::vector<Seen> end = {{TOKEN_EOF, "\xC2\xA0", 1}};
    EXPECT_EQ(tokens_of("\xC2\xA0"), end);

    struct Case {
        std::string_view text;
        int type;
    };
    const Case cases[] = {
        {"\xE3\x80\x80", 0},
        {"\xC2\xA0 12", TYPE_INTEGER},
        {"\xE0\x82\xA0", TYPE_WORD},
        {"\xC2\xA0x", TYPE_WORD},
    };
    for (const Case& c : cases)
        EXPECT_EQ(scan(nullptr, bytes(c.text), int64_t(c.text.size()), SCAN_ONLY | ONE_VALUE),
                  c.type)
            << c.text;
}

// ---- Scan modes ---------------------------------------------------------------------

// A scan checks the first token through its routines and reports how far
// it read; a prescan only classifies it.
TEST(LexerDriver, ScanAndPrescanAnswerTheFirstTokensDatatype) {
    struct Case {
        std::string_view text;
        int type;
        int64_t consumed;
    };
    const Case cases[] = {
        {"123 x", TYPE_INTEGER, 3},
        {"1.5", TYPE_FLOAT, 3},
        {"50% x", TYPE_PERCENT, 3},
        {"FFh", TYPE_INTEGER, 3},
        {"1x2", TYPE_PAIR, 3},
        {"1.2.3", TYPE_TUPLE, 5},
        {"10:30", TYPE_TIME, 5},
        {"2020-01-15", TYPE_DATE, 10},
        {"$1", TYPE_MONEY, 2},
        {"\"s\" x", TYPE_STRING, 3},
        {"#\"c\"", TYPE_CHAR, 4},
        {"%f x", TYPE_FILE, 2},
        {"%{r}%", TYPE_STRING, 5},
        {"#{00}", TYPE_BINARY, 5},
        {"<t>", TYPE_TAG, 3},
        {"a@b", TYPE_EMAIL, 3},
        {"@r", TYPE_REF, 2},
        {"http://a", TYPE_URL, 8},
        {"#i", TYPE_ISSUE, 2},
        {"/r", TYPE_REFINEMENT, 2},
        {"  w x", TYPE_WORD, 3},
        {"; c\nw", TYPE_WORD, 5},
        {"1a", TYPE_ERROR, 1},
        {"\xC0", TYPE_ERROR, 0},
        {"\"abc", TYPE_ERROR, 4},
        {"", 0, 0},
        {"  ", 0, 2},
    };
    for (unsigned mode : {SCAN_ONLY | ONE_VALUE, PRESCAN}) {
        for (const Case& c : cases) {
            int64_t consumed = -1;
            EXPECT_EQ(scan(nullptr, bytes(c.text), int64_t(c.text.size()), mode, &consumed), c.type)
                << "'" << c.text << "' mode " << mode;
            if (mode != PRESCAN) {
                EXPECT_EQ(consumed, c.consumed) << "'" << c.text << "'";
            }
        }
    }
}

TEST(LexerDriver, OneValueStopsAfterTheFirstToken) {
    const std::vector<Seen> first = {{TOKEN_WORD, "a", 1}};
    EXPECT_EQ(tokens_of("a b c", SCAN_ONLY | ONE_VALUE), first);
    EXPECT_EQ(tokens_of("a b c", PRESCAN), first);
    EXPECT_EQ(tokens_of("a b c", SCAN_ONLY).size(), 3u);
}

// Outside load mode an error ends the scan with error! as its type; one
// value, or a prescan, reads only as far as the first value.
TEST(LexerDriver, SyntaxErrorsAreRaisedOnlyWhenLoading) {
    struct Case {
        std::string_view text;
        std::string error;
        int datatype;  // of an `invalid` error
        bool first;    // the first value is the bad one
    };
    const Case cases[] = {
        {"1a", "syntax/invalid", TYPE_INTEGER, true},
        {"1a b", "syntax/invalid", TYPE_INTEGER, true},
        {"x 12:", "syntax/invalid", TYPE_TIME, false},
        {"\"abc\ndef\"", "syntax/invalid", TYPE_STRING, true},
        {"abc \"def", "syntax/invalid", TYPE_STRING, false},
        {"{abc", "syntax/invalid", TYPE_STRING, true},
        {"x {", "syntax/invalid", TYPE_STRING, false},
        {"{a {b}", "syntax/invalid", TYPE_STRING, true},
        {"#(true", "syntax/bad-char", 0, true},
        {"\xC0", "syntax/bad-char", 0, true},
        {"a }", "syntax/bad-char", 0, false},
    };
    for (const Case& c : cases) {
        Cell result;
        ErrorThrow e =
            test::caught_error([&] { scan(&result, bytes(c.text), int64_t(c.text.size()), 0); });
        EXPECT_EQ(std::string(e.category_name()) + "/" + e.id_name(), c.error) << c.text;
        if (c.datatype) {
            EXPECT_EQ(type_of(&e.args[1]), TYPE_DATATYPE) << c.text;
            EXPECT_EQ(test::type_named_by(e.args[1]), c.datatype) << c.text;
        }
        int64_t length = int64_t(c.text.size());
        EXPECT_EQ(scan(nullptr, bytes(c.text), length, SCAN_ONLY), TYPE_ERROR) << c.text;
        EXPECT_EQ(scan(nullptr, bytes(c.text), length, SCAN_ONLY | ONE_VALUE) == TYPE_ERROR,
                  c.first)
            << c.text;
        EXPECT_EQ(scan(nullptr, bytes(c.text), length, PRESCAN) == TYPE_ERROR, c.first) << c.text;
    }
}

// ---- Values -------------------------------------------------------------------------

// Integers of plain digits become integer! cells; "[" opens a block.
void load_test_integer(State* lex, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
    lex->position = end;
    if (!load) return;
    Cell* c = push_cell(lex);
    cell::set_type(c, TYPE_INTEGER);
    c->data2 =
        uint32_t(std::stoi(std::string(reinterpret_cast<const char*>(start), size_t(end - start))));
}

void open_test_block(State* lex, const uint8_t*, const uint8_t* end, uint32_t, bool) {
    push_marker(lex, TYPE_BLOCK, end);
    lex->position = end + 1;
}

// Cells of a block value, from its head.
std::vector<Cell> cells_from_head(const Cell* block) {
    Series* s = memory::series_of(test::node_of(*block));
    const Cell* first = s->cells() + test::head_of(*block);
    const Cell* end = s->cell_tail();
    return std::vector<Cell>(first, end);
}

std::vector<int> integers_of(const Cell* block) {
    std::vector<int> values;
    for (const Cell& c : cells_from_head(block))
        values.push_back(type_of(&c) == TYPE_INTEGER ? cell::get_int(&c) : -1);
    return values;
}

Cell int_block(std::initializer_list<int> values) {
    Node node = memory::alloc_cells(int64_t(values.size()));
    Cell block;
    cell::set(&block, TYPE_BLOCK, 0, node);
    for (int v : values) cell::set(cell::alloc_tail(&block), TYPE_INTEGER, 0, uint32_t(v));
    return block;
}

std::string numbers_text(int first, int last) {
    std::string text;
    for (int i = first; i <= last; i++) text += std::to_string(i) + " ";
    return text;
}

class LexerValues : public ::testing::Test {
protected:
    void SetUp() override {
        g_loaders[TOKEN_INTEGER] = load_test_integer;
        g_scanners[TOKEN_BLOCK_OPEN] = open_test_block;
    }
    void TearDown() override { init_routines(); }

    int load(std::string_view text, Cell* result, unsigned flags = 0, int64_t* consumed = nullptr,
             Cell* into = nullptr) {
        return scan(result, bytes(text), int64_t(text.size()), flags, consumed, nullptr, nullptr,
                    into);
    }
};

TEST_F(LexerValues, TextLoadsIntoABlockWithNewLineFlags) {
    Cell result;
    EXPECT_EQ(load("1 2\n3\n\n  4", &result), TYPE_INTEGER);
    ASSERT_EQ(type_of(&result), TYPE_BLOCK);
    EXPECT_EQ(integers_of(&result), (std::vector<int>{1, 2, 3, 4}));
    std::vector<bool> new_lines;
    for (const Cell& c : cells_from_head(&result)) new_lines.push_back(cell::new_line(&c));
    EXPECT_EQ(new_lines, (std::vector<bool>{false, false, true, true}));

    load("\n5", &result);
    EXPECT_TRUE(cell::new_line(&cells_from_head(&result)[0]));
}

TEST_F(LexerValues, EmptyTextLoadsAnEmptyBlock) {
    Cell result;
    int64_t consumed = -1;
    EXPECT_EQ(load("", &result, 0, &consumed), 0);
    ASSERT_EQ(type_of(&result), TYPE_BLOCK);
    EXPECT_TRUE(cells_from_head(&result).empty());
    EXPECT_EQ(consumed, 0);
}

TEST_F(LexerValues, OneValueDeliversTheValueOrAOneValueBlock) {
    Cell result;
    int64_t consumed = -1;
    EXPECT_EQ(load("  7 8", &result, ONE_VALUE, &consumed), TYPE_INTEGER);
    EXPECT_EQ(type_of(&result), TYPE_INTEGER);
    EXPECT_EQ(cell::get_int(&result), 7);
    EXPECT_EQ(consumed, 3);

    load("7 8", &result, ONE_VALUE | WHOLE_BLOCK);
    ASSERT_EQ(type_of(&result), TYPE_BLOCK);
    EXPECT_EQ(integers_of(&result), (std::vector<int>{7}));

    load("  ", &result, ONE_VALUE);  // nothing to deliver: an empty block
    ASSERT_EQ(type_of(&result), TYPE_BLOCK);
    EXPECT_TRUE(cells_from_head(&result).empty());
}

TEST_F(LexerValues, IntoAppendsAndLeavesTheResultAlone) {
    Cell into = int_block({9});
    Cell result;
    cell::set(&result, TYPE_NONE);
    load("1 2", &result, 0, nullptr, &into);
    EXPECT_EQ(integers_of(&into), (std::vector<int>{9, 1, 2}));
    EXPECT_EQ(type_of(&result), TYPE_NONE);
}

TEST_F(LexerValues, ScanOnlyDeliversNothing) {
    Cell result;
    cell::set(&result, TYPE_NONE);
    EXPECT_EQ(load("1 2", &result, SCAN_ONLY), TYPE_INTEGER);
    EXPECT_EQ(type_of(&result), TYPE_NONE);
}

// The value stack starts at 1,000 cells and doubles as it fills.
TEST_F(LexerValues, ManyValuesGrowTheStack) {
    Cell result;
    load(numbers_text(1, 2500), &result);
    std::vector<int> values = integers_of(&result);
    ASSERT_EQ(values.size(), 2500u);
    for (int i = 0; i < 2500; i++) ASSERT_EQ(values[size_t(i)], i + 1);
}

// A series still open at the end is a missing closing delimiter; outside
// load mode the scan answers error! and delivers none.
TEST_F(LexerValues, OpenBlockAtTheEndIsMissing) {
    Cell result;
    EXPECT_EQ(test::error_of([&] { load("1 [2", &result); }), "syntax/missing");
    cell::set(&result, TYPE_BLOCK);
    EXPECT_EQ(load("[1 2", &result, PRESCAN), TYPE_ERROR);
    EXPECT_EQ(type_of(&result), TYPE_NONE);
    EXPECT_EQ(load("[", nullptr, SCAN_ONLY), TYPE_ERROR);
}

void refuse_integer(State* lex, const uint8_t* start, const uint8_t* end, uint32_t, bool) {
    raise_error(lex, start, end, TYPE_INTEGER);
}

// A value the loader refuses is a syntax error when loading, and ends any
// other scan with error!, whatever follows.
TEST_F(LexerValues, RefusedValueEndsTheScan) {
    g_loaders[TOKEN_INTEGER] = refuse_integer;
    Cell result;
    EXPECT_EQ(test::error_of([&] { load("a 1 b", &result); }), "syntax/invalid");
    for (unsigned mode : {SCAN_ONLY, SCAN_ONLY | ONE_VALUE}) {
        int64_t consumed = -1;
        EXPECT_EQ(load("1 b", nullptr, mode, &consumed), TYPE_ERROR);
        EXPECT_EQ(consumed, 1);
    }
    EXPECT_EQ(load("a 1 b", nullptr, SCAN_ONLY), TYPE_ERROR);
}

int g_absorbed = 0;

// What a trace callback does when it absorbs an error without moving on.
void absorb_error(State* lex, const uint8_t*, const uint8_t*, uint32_t, bool) {
    if (++g_absorbed > 10) lex->position = lex->input_end;  // the test has failed: get out
    stop();
}

// The scan goes on after an absorbed error, but not over the same byte again.
TEST_F(LexerValues, AbsorbedErrorThatReadsNothingEndsTheScan) {
    g_scanners[TOKEN_ERROR] = absorb_error;
    g_absorbed = 0;
    Cell result;
    load("1 2a 3 \xC0 4", &result);
    // "2a" once, which leaves the word "a"; the bad byte twice: after its
    // leading blank, then in place.
    EXPECT_EQ(g_absorbed, 3);
    EXPECT_EQ(integers_of(&result), (std::vector<int>{1, -1, 3}));
}

// ---- Markers and nested scans ---------------------------------------------------------

struct MarkerSeen {
    int type;
    uint32_t back, open_type, offset;
};
std::vector<MarkerSeen> g_markers;

void load_and_record_markers(State* lex, const uint8_t* start, const uint8_t* end, uint32_t flags,
                             bool load) {
    load_test_integer(lex, start, end, flags, load);
    g_markers.clear();
    uint32_t head = lex->head;
    while (head > lex->base) {
        Cell* m = stack_cell(head - 1);
        g_markers.push_back({type_of(m), m->data1, m->data2, m->data3});
        head = head - 1 - m->data1;
    }
}

TEST_F(LexerValues, MarkersFindTheirEnclosingHead) {
    g_loaders[TOKEN_INTEGER] = load_and_record_markers;
    Cell result;
    test::error_of([&] { load("1 [2 3 [4", &result); });
    ASSERT_EQ(g_markers.size(), 2u);
    // Innermost first: two cells back to the outer head, the "[" at offset 7.
    EXPECT_EQ(g_markers[0].type, TYPE_MARKER);
    EXPECT_NE(g_markers[0].type, int(TYPE_TRIPLE));
    EXPECT_EQ(g_markers[0].back, 2u);
    EXPECT_EQ(g_markers[0].open_type, uint32_t(TYPE_BLOCK));
    EXPECT_EQ(g_markers[0].offset, 7u);
    EXPECT_EQ(g_markers[1].back, 1u);
    EXPECT_EQ(g_markers[1].offset, 2u);
}

struct Range {
    int64_t first, end;  // cell offsets from the first range's start
};
std::vector<const Cell*> g_range_starts;
std::vector<const Cell*> g_range_ends;
// The type of each range's first cell, read while the scan runs (its cells
// are gone once it returns).
std::vector<int> g_range_types;

void record_range(const Cell* first, const Cell* end) {
    g_range_starts.push_back(first);
    g_range_ends.push_back(end);
    g_range_types.push_back(first < end ? type_of(first) : -1);
}

int active_scans() {
    g_range_starts.clear();
    g_range_ends.clear();
    g_range_types.clear();
    mark_active(record_range);
    return int(g_range_starts.size());
}

Cell g_inner_result;
std::string g_inner_text;
int g_nesting_value = 0;
int g_scans_seen_inside = 0;
bool g_ranges_follow = false;

// Loads an integer; the chosen one also loads the inner text while the outer
// scan runs.
void load_and_nest(State* lex, const uint8_t* start, const uint8_t* end, uint32_t flags,
                   bool load) {
    load_test_integer(lex, start, end, flags, load);
    if (cell::get_int(stack_cell(lex->tail - 1)) != g_nesting_value) return;
    g_loaders[TOKEN_INTEGER] = load_test_integer;
    scan(&g_inner_result, bytes(g_inner_text), int64_t(g_inner_text.size()), 0);
    g_loaders[TOKEN_INTEGER] = load_and_nest;
}

// Records the active scans from inside the inner one.
void load_and_look(State* lex, const uint8_t* start, const uint8_t* end, uint32_t flags,
                   bool load) {
    load_test_integer(lex, start, end, flags, load);
    g_scans_seen_inside = active_scans();
    g_ranges_follow = g_scans_seen_inside == 2 && g_range_starts[1] == g_range_ends[0];
}

TEST_F(LexerValues, NestedScanTakesCellsAboveTheRunningOne) {
    g_loaders[TOKEN_INTEGER] = load_and_nest;
    g_nesting_value = 5;
    g_inner_text = "8 9";
    Cell result;
    load("1 5 2", &result);
    EXPECT_EQ(integers_of(&result), (std::vector<int>{1, 5, 2}));
    EXPECT_EQ(integers_of(&g_inner_result), (std::vector<int>{8, 9}));
    EXPECT_EQ(active_scans(), 0);
}

TEST_F(LexerValues, NestedScanGrowsTheStackUnderTheRunningOne) {
    g_loaders[TOKEN_INTEGER] = load_and_nest;
    g_nesting_value = 999;
    g_inner_text = numbers_text(1, 50);
    Cell result;
    load(numbers_text(1, 1200), &result);
    std::vector<int> outer = integers_of(&result);
    ASSERT_EQ(outer.size(), 1200u);
    for (int i = 0; i < 1200; i++) ASSERT_EQ(outer[size_t(i)], i + 1);
    EXPECT_EQ(integers_of(&g_inner_result).size(), 50u);
}

void load_and_nest_looking(State* lex, const uint8_t* start, const uint8_t* end, uint32_t flags,
                           bool load) {
    load_test_integer(lex, start, end, flags, load);
    g_loaders[TOKEN_INTEGER] = load_and_look;
    Cell inner;
    scan(&inner, bytes("8"), 1, 0);
    g_loaders[TOKEN_INTEGER] = load_and_nest_looking;
}

TEST_F(LexerValues, CollectorSeesEveryRunningScan) {
    g_loaders[TOKEN_INTEGER] = load_and_nest_looking;
    Cell result;
    load("1", &result);
    EXPECT_EQ(g_scans_seen_inside, 2);
    EXPECT_TRUE(g_ranges_follow);  // the inner scan's cells start at the outer one's tail

    Cell source;
    cell::set(&source, TYPE_BINARY);
    Cell callback;
    cell::set(&callback, TYPE_NONE);
    set_callback_runner([](const Cell*, Cell*, Cell* result) { cell::set(result, TYPE_LOGIC, 1); },
                        nullptr);
    g_loaders[TOKEN_INTEGER] = load_and_look;
    scan(&result, bytes("1"), 1, 0, nullptr, &callback, &source);
    // One scan: its cells, its source and its callback.
    EXPECT_EQ(g_scans_seen_inside, 3);
    EXPECT_EQ(g_range_ends[1] - g_range_starts[1], 1);
    EXPECT_EQ(g_range_types[1], TYPE_BINARY);
    EXPECT_EQ(g_range_ends[2] - g_range_starts[2], 1);
    set_callback_runner(nullptr, nullptr);
}

TEST_F(LexerValues, FailedScanLeavesTheChain) {
    Cell result;
    EXPECT_EQ(test::error_of([&] { load("1 2 1a", &result); }), "syntax/invalid");
    EXPECT_EQ(active_scans(), 0);
    load("3", &result);
    EXPECT_EQ(integers_of(&result), (std::vector<int>{3}));
}

// ---- String sources -------------------------------------------------------------------

// A unit-1 string of the bytes of `text`, taken as Latin-1 code points.
Cell latin1(std::string_view text) {
    std::vector<uint32_t> cps;
    for (char c : text) cps.push_back(uint8_t(c));
    return test::chars(cps, 1);
}

TEST(LexerStrings, ConsumedCountsCharactersOfEveryUnitWidth) {
    struct Case {
        Cell string;
        int type;
        int64_t consumed;
    };
    const Case cases[] = {
        {latin1("\xE9t\xE9 1"), TYPE_WORD, 3},
        {test::chars({0x03B1, 0x03B2, ' ', 0x03B3}, 2), TYPE_WORD, 2},
        {test::chars({0x1F600, ' ', '1'}, 4), TYPE_WORD, 1},
        {test::at_head(test::text("abc def"), 4), TYPE_WORD, 3},  // from the head index
    };
    for (const Case& c : cases) {
        int64_t consumed = -1;
        EXPECT_EQ(scan_string(nullptr, &c.string, -1, SCAN_ONLY | ONE_VALUE, &consumed), c.type);
        EXPECT_EQ(consumed, c.consumed);
    }
    Cell text = latin1("abc def");
    int64_t consumed = -1;
    EXPECT_EQ(scan_string(nullptr, &text, 3, SCAN_ONLY, &consumed), TYPE_WORD);
    EXPECT_EQ(consumed, 3);  // the length limits the text

    // The same text as bytes of a binary counts bytes.
    Cell binary;
    cell::set(&binary, TYPE_BINARY);
    std::string_view greek = "\xCE\xB1\xCE\xB2 \xCE\xB3";
    scan(nullptr, bytes(greek), int64_t(greek.size()), SCAN_ONLY | ONE_VALUE, &consumed, nullptr,
         &binary);
    EXPECT_EQ(consumed, 4);
    EXPECT_EQ(utf8_buffer_used(), 0);
}

class LexerStringValues : public LexerValues {};

// Longer texts than the shared buffer holds take a temporary one.
TEST_F(LexerStringValues, LongStringsLoad) {
    std::string text;
    for (int i = 0; i < 60000; i++) text += "1 ";
    Cell string = latin1(text);
    Cell result;
    int64_t consumed = -1;
    scan_string(&result, &string, -1, 0, &consumed);
    EXPECT_EQ(integers_of(&result).size(), 60000u);
    EXPECT_EQ(consumed, 120000);
    EXPECT_EQ(utf8_buffer_used(), 0);
}

Cell g_inner_string;
int64_t g_buffer_used_inside = 0;

void load_and_nest_string(State* lex, const uint8_t* start, const uint8_t* end, uint32_t flags,
                          bool load) {
    load_test_integer(lex, start, end, flags, load);
    if (cell::get_int(stack_cell(lex->tail - 1)) != 5) return;
    g_loaders[TOKEN_INTEGER] = load_test_integer;
    g_buffer_used_inside = utf8_buffer_used();
    scan_string(&g_inner_result, &g_inner_string, -1, 0);
    g_loaders[TOKEN_INTEGER] = load_and_nest_string;
}

// The inner scan's text goes after the outer one's, which is still being read.
TEST_F(LexerStringValues, NestedStringScanKeepsTheOuterText) {
    g_loaders[TOKEN_INTEGER] = load_and_nest_string;
    g_inner_string = latin1("8 9");
    Cell outer = latin1("1 5 2");
    Cell result;
    scan_string(&result, &outer, -1, 0);
    EXPECT_EQ(integers_of(&result), (std::vector<int>{1, 5, 2}));
    EXPECT_EQ(integers_of(&g_inner_result), (std::vector<int>{8, 9}));
    EXPECT_EQ(g_buffer_used_inside, 6);  // "1 5 2" and its NUL
    EXPECT_EQ(utf8_buffer_used(), 0);
}

TEST_F(LexerStringValues, BufferIsGivenBackWhenAScanFails) {
    Cell string = latin1("1 1a");
    Cell result;
    EXPECT_EQ(test::error_of([&] { scan_string(&result, &string, -1, 0); }), "syntax/invalid");
    EXPECT_EQ(utf8_buffer_used(), 0);
    EXPECT_EQ(active_scans(), 0);
}

}  // namespace
}  // namespace zel::lexer
