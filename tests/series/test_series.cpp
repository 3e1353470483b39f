// series! shared handlers, on blocks and on strings (which inherit them):
// positions and their clamping, pick and poke, clear, remove, reverse,
// random, move, copy and take, and a hash!'s table kept in step by every
// handler that rewrites, shifts or moves its cells.
#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "foundation/datatype.h"
#include "foundation/stack.h"
#include "scalars/char.h"
#include "scalars/random.h"
#include "scalars/simple_types.h"
#include "series/hash_table.h"
#include "series/series.h"
#include "tests/support/blocks.h"
#include "tests/support/runtime_env.h"

using namespace zel;
using namespace zel::test;
namespace ht = zel::hash_table;

namespace {

// The same letters as a block of one-letter strings or as a string.
struct Kind {
    const char* name;
    Cell (*make)(const std::string&);
    std::string (*read)(const Cell&);
    // A value that poke stores, and the letter it reads back as.
    Cell (*element)(char);
};

Cell make_block(const std::string& s) { return letters(s); }
Cell make_string(const std::string& s) { return text(s.c_str()); }
std::string read_block(const Cell& c) { return letters_of(c); }
std::string read_string(const Cell& c) { return utf8_of(c); }
Cell char_cell(char c) {
    Cell v;
    cell::set(&v, TYPE_CHAR, 0, uint32_t(uint8_t(c)));
    return v;
}

const Kind KINDS[] = {
    {"block!", make_block, read_block, letter},
    {"string!", make_string, read_string, char_cell},
};

// The whole series, whatever the head.
std::string whole(const Kind& k, Cell c) { return k.read(at_head(c, 0)); }

// A picked value as text: a string or char by its letter, none as "none".
std::string picked_text(const Cell& v) {
    switch (type_of(&v)) {
        case TYPE_NONE: return "none";
        case TYPE_CHAR: return std::string(1, char(char_::get(&v)));
        case TYPE_STRING: return utf8_of(v);
        case TYPE_INTEGER: return std::to_string(cell::get_int(&v));
        default: return "?";
    }
}

// Runs a handler that reads its arguments from the stack, with the series
// and (when given) the second argument; answers the result cell.
Cell call_on_stack(Cell* (*handler)(), const Cell& series, const Cell* second = nullptr) {
    Cell* base = stack::top();
    Cell* saved = stack::g_arguments;
    stack::push(&series);
    if (second) stack::push(second);
    stack::g_arguments = base;
    Cell result;
    try {
        result = *handler();
    } catch (...) {
        stack::g_arguments = saved;
        stack::g_top = base;
        throw;
    }
    stack::g_arguments = saved;
    stack::g_top = base;
    return result;
}

template <int A>
action::HandlerOf<A> handler(const Cell& value) {
    auto h = datatype::handler<A>(type_of(&value));
    EXPECT_NE(h, nullptr) << ACTION_NAMES[A] << " of " << datatype::type_name(type_of(&value));
    return h;
}

class SeriesHandlers : public ::testing::Test {
protected:
    void TearDown() override { stack::g_top = stack::g_arguments; }
    StandInCompare compare_;
};

// ---- Positions --------------------------------------------------------------------------------

struct PositionCase {
    const char* op;
    int head;
    int offset;
    int expected;
};

TEST_F(SeriesHandlers, PositionsMoveAndClamp) {
    const PositionCase cases[] = {
        {"at", 2, 1, 2},     {"at", 2, 0, 2},     {"at", 2, -1, 1},    {"at", 2, 3, 4},
        {"at", 2, 100, 5},   {"at", 2, -100, 0},  {"skip", 2, 2, 4},   {"skip", 2, 0, 2},
        {"skip", 2, -100, 0}, {"skip", 2, 100, 5}, {"next", 4, 0, 5},  {"next", 5, 0, 5},
        {"next", 7, 0, 7},   {"back", 0, 0, 0},   {"back", 3, 0, 2},   {"head", 3, 0, 0},
        {"tail", 1, 0, 5},
    };
    for (const Kind& k : KINDS) {
        for (const PositionCase& c : cases) {
            Cell s = at_head(k.make("abcde"), c.head);
            Cell offset = integer(c.offset);
            std::string op = c.op;
            Cell r = op == "at"     ? call_on_stack(handler<ACT_AT>(s), s, &offset)
                     : op == "skip" ? call_on_stack(handler<ACT_SKIP>(s), s, &offset)
                     : op == "next" ? call_on_stack(handler<ACT_NEXT>(s), s)
                     : op == "back" ? call_on_stack(handler<ACT_BACK>(s), s)
                     : op == "head" ? call_on_stack(handler<ACT_HEAD>(s), s)
                                    : call_on_stack(handler<ACT_TAIL>(s), s);
            EXPECT_EQ(head_of(r), c.expected) << k.name << " " << c.op << " " << c.offset << " from " << c.head;
            EXPECT_EQ(type_of(&r), type_of(&s));
        }
        Cell s = k.make("abc");
        Cell word = text("x");
        EXPECT_EQ(error_of([&] { call_on_stack(handler<ACT_AT>(s), s, &word); }), "script/invalid-arg");
        EXPECT_EQ(error_of([&] { call_on_stack(handler<ACT_SKIP>(s), s, &word); }), "script/invalid-arg");
    }
}

TEST_F(SeriesHandlers, PositionQuestions) {
    for (const Kind& k : KINDS) {
        Cell s = k.make("abcde");
        auto head_q = [&](int h) { return call_on_stack(handler<ACT_HEAD_Q>(s), at_head(s, h)); };
        auto tail_q = [&](int h) { return call_on_stack(handler<ACT_TAIL_Q>(s), at_head(s, h)); };
        Cell r = head_q(0);
        EXPECT_TRUE(logic::get(&r)) << k.name;
        r = head_q(1);
        EXPECT_FALSE(logic::get(&r));
        r = tail_q(5);
        EXPECT_TRUE(logic::get(&r));
        r = tail_q(7);  // past the tail
        EXPECT_TRUE(logic::get(&r));
        r = tail_q(4);
        EXPECT_FALSE(logic::get(&r));
        r = call_on_stack(handler<ACT_INDEX_Q>(s), at_head(s, 2));
        EXPECT_EQ(type_of(&r), TYPE_INTEGER);
        EXPECT_EQ(cell::get_int(&r), 3);
        Cell at2 = at_head(s, 2);
        EXPECT_EQ(handler<ACT_LENGTH_Q>(s)(&at2), 3);
    }
}

TEST_F(SeriesHandlers, LengthOfAValueWhoseBufferWasShortenedPullsItsHeadBack) {
    for (const Kind& k : KINDS) {
        Cell s = k.make("abcde");
        Cell late = at_head(s, 3), early = at_head(s, 1);
        handler<ACT_CLEAR>(s)(&early);
        EXPECT_EQ(handler<ACT_LENGTH_Q>(s)(&late), 0) << k.name;
        EXPECT_EQ(head_of(late), 1);
        EXPECT_EQ(series::get_length(&late, true), 1);
        EXPECT_TRUE(series::advance(&early, -2)) << "would leave the series: unchanged, at the tail";
        EXPECT_EQ(head_of(early), 1);
    }
}

// ---- pick and poke ------------------------------------------------------------------------------

TEST_F(SeriesHandlers, PickCountsFromTheHeadAndAnswersNoneOutside) {
    const std::pair<int, const char*> cases[] = {
        {1, "c"}, {3, "e"}, {4, "none"}, {0, "none"}, {-1, "b"}, {-2, "a"}, {-3, "none"}, {INT_MIN, "none"},
    };
    for (const Kind& k : KINDS) {
        for (auto [index, expected] : cases) {
            Cell s = at_head(k.make("abcde"), 2);
            Cell* r = handler<ACT_PICK>(s)(&s, index, nullptr);
            EXPECT_EQ(picked_text(*r), expected) << k.name << " pick " << index;
        }
        Cell past = at_head(k.make("ab"), 5);
        EXPECT_EQ(picked_text(*handler<ACT_PICK>(past)(&past, -1, nullptr)), "none") << "head past the tail";
    }
    Cell s = text("abc");
    EXPECT_EQ(type_of(handler<ACT_PICK>(s)(&s, 1, nullptr)), TYPE_CHAR);
}

TEST_F(SeriesHandlers, PokeWritesInsideAndRefusesOutside) {
    const std::pair<int, const char*> cases[] = {{1, "abZde"}, {-1, "aZcde"}, {3, "abcdZ"}, {-2, "Zbcde"}};
    for (const Kind& k : KINDS) {
        for (auto [index, expected] : cases) {
            Cell s = at_head(k.make("abcde"), 2);
            Cell value = k.element('Z');
            EXPECT_EQ(handler<ACT_POKE>(s)(&s, index, &value, nullptr), &value);
            EXPECT_EQ(whole(k, s), expected) << k.name << " poke " << index;
        }
        for (int index : {0, 4, -3}) {
            Cell s = at_head(k.make("abcde"), 2);
            Cell value = k.element('Z');
            ErrorThrow e = caught_error([&] { handler<ACT_POKE>(s)(&s, index, &value, nullptr); });
            EXPECT_EQ(e.id, ERR_script_out_of_range) << k.name << " poke " << index;
            EXPECT_EQ(type_of(&e.args[0]), TYPE_INTEGER);
            EXPECT_EQ(cell::get_int(&e.args[0]), index);
            EXPECT_EQ(whole(k, s), "abcde");
        }
    }
    Cell s = text("abc");
    Cell not_char = text("Z");
    EXPECT_EQ(error_of([&] { handler<ACT_POKE>(s)(&s, 1, &not_char, nullptr); }), "script/invalid-arg");
    Cell euro = char_cell(0);
    euro.data2 = 0x20AC;
    handler<ACT_POKE>(s)(&s, 2, &euro, nullptr);
    EXPECT_EQ(unit_of(s), 2);
    EXPECT_EQ(code_points(s), (std::vector<uint32_t>{'a', 0x20AC, 'c'}));
}

TEST_F(SeriesHandlers, BinaryElementsAreBytes) {
    Node node = memory::alloc_bytes(3);
    Series* b = memory::series_of(node);
    b->data()[0] = 1, b->data()[1] = 200, b->data()[2] = 3;
    b->tail = 3;
    Cell bin;
    cell::set(&bin, TYPE_BINARY, 0, node, 0);
    Cell picked = bin;
    series::pick(&picked, 2, nullptr);
    EXPECT_EQ(type_of(&picked), TYPE_INTEGER);
    EXPECT_EQ(cell::get_int(&picked), 200);
    Cell big = integer(300);
    series::poke(&bin, 1, &big, nullptr);
    EXPECT_EQ(memory::series_of(node)->data()[0], 300 & 0xFF);
    Cell word = text("x");
    EXPECT_EQ(error_of([&] { series::poke(&bin, 1, &word, nullptr); }), "script/invalid-arg");
}

// ---- clear and remove ------------------------------------------------------------------------------

TEST_F(SeriesHandlers, ClearCutsFromTheHead) {
    for (const Kind& k : KINDS) {
        Cell s = at_head(k.make("abcde"), 2);
        EXPECT_EQ(handler<ACT_CLEAR>(s)(&s), &s);
        EXPECT_EQ(whole(k, s), "ab") << k.name;
        Cell past = at_head(s, 9);
        handler<ACT_CLEAR>(s)(&past);
        EXPECT_EQ(whole(k, s), "ab");
    }
}

struct RemoveCase {
    int head;
    int part;       // INT_MIN: no /part; INT_MAX: a position at index 4
    const char* expected;
};

TEST_F(SeriesHandlers, RemoveTakesOneOrAPart) {
    const RemoveCase cases[] = {
        {1, INT_MIN, "acdef"}, {1, 2, "adef"}, {1, 0, "abcdef"}, {1, -1, "abcdef"},
        {1, 100, "a"},         {1, INT_MAX, "aef"}, {6, INT_MIN, "abcdef"}, {8, 1, "abcdef"},
    };
    for (const Kind& k : KINDS) {
        for (const RemoveCase& c : cases) {
            Cell s = at_head(k.make("abcdef"), c.head);
            Cell part = c.part == INT_MAX ? at_head(s, 4) : integer(c.part);
            Cell* r = handler<ACT_REMOVE>(s)(&s, c.part == INT_MIN ? nullptr : &part, nullptr);
            EXPECT_EQ(r, &s);
            EXPECT_EQ(whole(k, s), c.expected) << k.name << " head " << c.head << " part " << c.part;
        }
        Cell s = k.make("abc");
        Cell other = k.make("abc");
        ErrorThrow e = caught_error([&] { handler<ACT_REMOVE>(s)(&s, &other, nullptr); });
        EXPECT_EQ(e.id, ERR_script_invalid_refine_arg) << k.name;
        EXPECT_EQ(whole(k, s), "abc");
    }
}

TEST_F(SeriesHandlers, RemoveKeyTakesTheKeyAndWhatFollows) {
    Cell s = letters("abcdef");
    Cell key = letter('c');
    series::remove(&s, nullptr, &key);
    EXPECT_EQ(whole(KINDS[0], s), "abef");
    EXPECT_EQ(head_of(s), 2);
    Cell t = letters("abcdef");
    Cell missing = letter('z');
    EXPECT_EQ(type_of(series::remove(&t, nullptr, &missing)), TYPE_NONE);
    EXPECT_EQ(letters_of(letters("abcdef")), "abcdef");
    Cell upper = letter('C');
    Cell u = letters("abcdef");
    EXPECT_EQ(type_of(series::remove(&u, nullptr, &upper)), TYPE_NONE) << "the key is found with /case";
}

// ---- reverse and random ---------------------------------------------------------------------------------

struct ReverseCase {
    int head;
    int part;  // INT_MIN: none; INT_MAX: a position at index 3
    int skip;  // INT_MIN: none
    const char* expected;
    const char* error;
};

TEST_F(SeriesHandlers, ReverseWholeRecordsAndParts) {
    const ReverseCase cases[] = {
        {0, INT_MIN, INT_MIN, "fedcba", ""},
        {2, INT_MIN, INT_MIN, "abfedc", ""},
        {0, 3, INT_MIN, "cbadef", ""},
        {0, INT_MAX, INT_MIN, "cbadef", ""},
        {0, 0, INT_MIN, "abcdef", ""},
        {0, 100, INT_MIN, "fedcba", ""},
        {0, INT_MIN, 2, "efcdab", ""},
        {0, INT_MIN, 3, "defabc", ""},
        {0, 4, 2, "cdabef", ""},
        {0, INT_MIN, 6, "abcdef", ""},
        {6, INT_MIN, INT_MIN, "abcdef", ""},
        {0, INT_MIN, 4, "abcdef", "script/invalid-refine-arg"},
        {0, INT_MIN, 0, "abcdef", "script/out-of-range"},
        {0, INT_MIN, -2, "abcdef", "script/out-of-range"},
        {0, 3, 2, "abcdef", "script/invalid-refine-arg"},
    };
    for (const Kind& k : KINDS) {
        for (const ReverseCase& c : cases) {
            Cell s = at_head(k.make("abcdef"), c.head);
            Cell part = c.part == INT_MAX ? at_head(s, 3) : integer(c.part);
            Cell skip = integer(c.skip);
            std::string err = error_of([&] {
                handler<ACT_REVERSE>(s)(&s, c.part == INT_MIN ? nullptr : &part, c.skip == INT_MIN ? nullptr : &skip);
            });
            EXPECT_EQ(err, c.error) << k.name << " part " << c.part << " skip " << c.skip;
            EXPECT_EQ(whole(k, s), c.expected) << k.name << " part " << c.part << " skip " << c.skip;
        }
        Cell s = k.make("abcd");
        Cell word = text("2");
        EXPECT_EQ(error_of([&] { handler<ACT_REVERSE>(s)(&s, nullptr, &word); }), "script/invalid-refine-arg");
    }
}

TEST_F(SeriesHandlers, RandomShufflesFromTheHeadAndSeedsFromContent) {
    for (const Kind& k : KINDS) {
        Cell seed = text("same seed");
        Cell seed_again = text("same seed");
        Cell* r = handler<ACT_RANDOM>(seed)(&seed, true, false, false);
        EXPECT_EQ(type_of(r), TYPE_UNSET);
        Cell first = at_head(k.make("abcdefghijklmnop"), 2);
        handler<ACT_RANDOM>(first)(&first, false, false, false);
        handler<ACT_RANDOM>(seed_again)(&seed_again, true, false, false);
        Cell second = at_head(k.make("abcdefghijklmnop"), 2);
        handler<ACT_RANDOM>(second)(&second, false, false, false);

        std::string shuffled = whole(k, first);
        EXPECT_EQ(shuffled, whole(k, second)) << k.name << ": equal seeds, equal shuffles";
        EXPECT_EQ(shuffled.substr(0, 2), "ab") << "units before the head stay";
        EXPECT_NE(shuffled, "abcdefghijklmnop");
        std::sort(shuffled.begin(), shuffled.end());
        EXPECT_EQ(shuffled, "abcdefghijklmnop");

        Cell empty = at_head(k.make("ab"), 2);
        EXPECT_EQ(type_of(handler<ACT_RANDOM>(empty)(&empty, false, false, true)), TYPE_NONE);
        Cell one = at_head(k.make("abc"), 2);
        EXPECT_EQ(picked_text(*handler<ACT_RANDOM>(one)(&one, false, true, true)), "c") << "secure /only";
    }
}

// ---- move ------------------------------------------------------------------------------------------

TEST_F(SeriesHandlers, MoveBetweenSeries) {
    for (const Kind& k : KINDS) {
        struct {
            int part;
            const char* origin;
            const char* target;
        } cases[] = {{INT_MIN, "bc", "xayz"}, {2, "c", "xabyz"}, {100, "", "xabcyz"}, {0, "abc", "xyz"}};
        for (auto c : cases) {
            Cell o = k.make("abc");
            Cell t = at_head(k.make("xyz"), 1);
            Cell part = integer(c.part);
            Cell* r = handler<ACT_MOVE>(o)(&o, &t, c.part == INT_MIN ? nullptr : &part);
            EXPECT_EQ(r, &t);
            EXPECT_EQ(whole(k, o), c.origin) << k.name << " part " << c.part;
            EXPECT_EQ(whole(k, t), c.target) << k.name << " part " << c.part;
        }
        Cell done = at_head(k.make("ab"), 2);
        Cell t = k.make("xy");
        EXPECT_EQ(handler<ACT_MOVE>(done)(&done, &t, nullptr), &t);
        EXPECT_EQ(whole(k, t), "xy");
        Cell o = k.make("ab");
        Cell flag = logic_cell(true);
        EXPECT_EQ(error_of([&] { handler<ACT_MOVE>(o)(&o, &flag, nullptr); }), "script/expect-arg");
    }
    Cell block = letters("ab");
    Cell str = text("xy");
    ErrorThrow e = caught_error([&] { series::move(&block, &str, nullptr); });
    EXPECT_EQ(e.id, ERR_script_move_bad);
    EXPECT_EQ(type_named_by(e.args[0]), TYPE_BLOCK);
    EXPECT_EQ(type_named_by(e.args[1]), TYPE_STRING);
    EXPECT_EQ(error_of([&] { series::move(&str, &block, nullptr); }), "script/move-bad");
    EXPECT_EQ(letters_of(block), "ab");
    EXPECT_EQ(utf8_of(str), "xy");

    // Text of different widths moves character by character.
    Cell narrow = text("ab");
    Cell wide = chars({0x20AC, 0x20AD}, 2);
    Cell part = integer(2);
    series::move(&narrow, &wide, &part);
    EXPECT_EQ(code_points(wide), (std::vector<uint32_t>{'a', 'b', 0x20AC, 0x20AD}));
    EXPECT_EQ(utf8_of(narrow), "");
}

struct MoveWithinCase {
    int from;
    int to;
    int part;  // INT_MIN: none
    const char* expected;
    bool answers_origin;
};

TEST_F(SeriesHandlers, MoveWithinOneSeries) {
    const MoveWithinCase cases[] = {
        {0, 2, INT_MIN, "bcade", false},  // after the item at the target
        {0, 4, INT_MIN, "bcdea", false},
        {0, 5, INT_MIN, "bcdea", false},  // the tail: to the end
        {0, 9, INT_MIN, "bcdea", false},  // past the tail: the tail
        {0, 5, 2, "cdeab", false},
        {0, 4, 2, "cdeab", false},
        {0, 3, 3, "dabce", false},        // just after the run
        {3, 0, INT_MIN, "dabce", false},
        {3, 1, 2, "adebc", false},
        {0, 1, 3, "abcde", true},         // inside the run: nothing moves
        {1, 3, 3, "abcde", true},
        {2, 2, INT_MIN, "abcde", false},
    };
    for (const Kind& k : KINDS) {
        for (const MoveWithinCase& c : cases) {
            Cell s = k.make("abcde");
            Cell o = at_head(s, c.from), t = at_head(s, c.to);
            Cell part = integer(c.part);
            Cell* r = handler<ACT_MOVE>(s)(&o, &t, c.part == INT_MIN ? nullptr : &part);
            EXPECT_EQ(r, c.answers_origin ? &o : &t) << k.name << " " << c.from << " to " << c.to;
            EXPECT_EQ(whole(k, s), c.expected) << k.name << " " << c.from << " to " << c.to << " part " << c.part;
        }
    }
}

// ---- copy and take ----------------------------------------------------------------------------------

struct CopyCase {
    int head;
    Cell part;
    bool has_part;
    const char* expected;
};

TEST_F(SeriesHandlers, CopyFromTheHeadByCountPairOrPosition) {
    for (const Kind& k : KINDS) {
        Cell s = k.make("abcde");
        const CopyCase cases[] = {
            {2, {}, false, "cde"},
            {2, integer(2), true, "cd"},
            {2, integer(0), true, ""},
            {2, integer(-2), true, "ab"},
            {2, integer(-5), true, "ab"},
            {2, integer(100), true, "cde"},
            {2, pair_cell(2, 4), true, "de"},
            {2, pair_cell(-1, 3), true, "bcde"},
            {2, pair_cell(4, 2), true, ""},
            {2, at_head(s, 4), true, "cd"},
            {2, at_head(s, 0), true, "ab"},
            {7, {}, false, ""},
        };
        for (const CopyCase& c : cases) {
            Cell from = at_head(s, c.head);
            Cell part = c.part, result;
            Cell* r = handler<ACT_COPY>(s)(&from, &result, c.has_part ? &part : nullptr, false, nullptr);
            EXPECT_EQ(r, &result);
            EXPECT_EQ(k.read(result), c.expected) << k.name << " head " << c.head;
            EXPECT_EQ(type_of(&result), type_of(&s));
            EXPECT_EQ(head_of(result), 0);
            EXPECT_NE(node_of(result), node_of(s));
        }
        Cell other = k.make("ab"), result;
        EXPECT_EQ(error_of([&] { handler<ACT_COPY>(s)(&s, &result, &other, false, nullptr); }),
                  "script/invalid-refine-arg");
    }
    // The copy keeps the unit and the new-line marker, not the owner.
    Cell wide = on_new_line(chars({'a', 0x20AC}, 2));
    memory::set_series_flags(node_of(wide), SERIES_OWNED);
    Cell result;
    series::copy(&wide, &result, nullptr, false, nullptr);
    EXPECT_EQ(unit_of(result), 2);
    EXPECT_TRUE(cell::new_line(&result));
    EXPECT_EQ(memory::series_of(node_of(result))->flags & SERIES_OWNED, 0u);
    memory::series_of(node_of(wide))->flags &= ~SERIES_OWNED;
    Cell h = hash_of("ab");
    series::copy(&h, &result, nullptr, false, nullptr);
    EXPECT_EQ(series::hash_table_of(&result), 0u) << "the hash! copy's table is made by its own handler";
}

struct TakeCase {
    int head;
    Cell part;
    bool has_part;
    bool last;
    const char* taken;
    const char* left;
};

// take is called directly: each datatype registers its own take handler,
// which turns the series answered here into its value.
TEST_F(SeriesHandlers, TakeRemovesAndAnswersWhatItTook) {
    for (const Kind& k : KINDS) {
        Cell model = k.make("abcde");
        const TakeCase cases[] = {
            {1, {}, false, false, "b", "acde"},
            {1, integer(2), true, false, "bc", "ade"},
            {1, {}, false, true, "e", "abcd"},
            {1, integer(2), true, true, "de", "abc"},
            {2, integer(-1), true, false, "b", "acde"},
            {2, integer(-2), true, false, "ab", "cde"},
            {2, integer(-5), true, false, "ab", "cde"},
            {2, integer(100), true, false, "cde", "ab"},
            {2, integer(0), true, false, "", "abcde"},          // a count of 0 takes nothing
            {0, integer(-1), true, false, "", "abcde"},
            {2, integer(-2), true, true, "", "abcde"},
            {2, at_head(model, 2), true, false, "", "abcde"},   // a position at the head
            {2, at_head(model, 1), true, false, "", "abcde"},   // before the head
            {2, at_head(model, 4), true, false, "cd", "abe"},
            {2, at_head(model, 3), true, true, "de", "abc"},
            {2, at_head(model, 9), true, false, "cde", "ab"},
        };
        for (const TakeCase& c : cases) {
            Cell s = at_head(k.make("abcde"), c.head);
            Cell part = c.part;
            if (type_of(&part) == type_of(&model)) part.data2 = node_of(s);
            Cell* r = series::take(&s, c.has_part ? &part : nullptr, false, c.last);
            EXPECT_EQ(type_of(r), type_of(&s)) << k.name;
            EXPECT_EQ(head_of(*r), 0);
            EXPECT_EQ(k.read(*r), c.taken) << k.name << " head " << c.head << (c.last ? " last" : "");
            EXPECT_EQ(whole(k, s), c.left) << k.name << " head " << c.head << (c.last ? " last" : "");
            stack::pop(1);
        }
        Cell empty = at_head(k.make("ab"), 2);
        EXPECT_EQ(type_of(series::take(&empty, nullptr, false, false)), TYPE_NONE);
        Cell s = k.make("abc"), other = k.make("abc");
        EXPECT_EQ(error_of([&] { series::take(&s, &other, false, false); }), "script/invalid-refine-arg");
        EXPECT_EQ(whole(k, s), "abc");
    }
}

TEST_F(SeriesHandlers, TakeOfOneUnitKeepsTheSeriesUnit) {
    Cell wide = chars({0x20AC, 'b'}, 2);
    Cell* r = series::take(&wide, nullptr, false, false);
    EXPECT_EQ(unit_of(*r), 2);
    EXPECT_EQ(code_points(*r), (std::vector<uint32_t>{0x20AC}));
    EXPECT_EQ(node_of(*r), series::take_buffer()) << "one unit goes to the shared buffer";
    stack::pop(1);
    Cell part = integer(1);
    r = series::take(&wide, &part, false, false);
    EXPECT_NE(node_of(*r), series::take_buffer());
    stack::pop(1);
}

// ---- A hash!'s table kept in step ------------------------------------------------------------------

struct HashCase {
    const char* what;
    void (*change)(Cell& h);
    const char* expected;
};

const HashCase HASH_CASES[] = {
    {"poke", [](Cell& h) { Cell v = letter('b'); series::poke(&h, 3, &v, nullptr); }, "abbAcB"},
    {"poke over a group's first", [](Cell& h) { Cell v = letter('z'); series::poke(&h, 1, &v, nullptr); }, "zbcAcB"},
    {"remove", [](Cell& h) { Cell p = integer(2); Cell at = at_head(h, 1); series::remove(&at, &p, nullptr); }, "aAcB"},
    {"reverse", [](Cell& h) { series::reverse(&h, nullptr, nullptr); }, "BcAcba"},
    {"reverse/skip", [](Cell& h) { Cell p = integer(4), s = integer(2); series::reverse(&h, &p, &s); }, "cAabcB"},
    {"random", [](Cell& h) { random::seed(7); series::random_(&h, false, false, false); }, nullptr},
    {"clear", [](Cell& h) { Cell at = at_head(h, 3); series::clear(&at); }, "abc"},
    {"move forward", [](Cell& h) { Cell t = at_head(h, 4); series::move(&h, &t, nullptr); }, "bcAcaB"},
    {"move back", [](Cell& h) { Cell o = at_head(h, 4), p = integer(2); series::move(&o, &h, &p); }, "cBabcA"},
    {"take", [](Cell& h) { Cell p = integer(2); Cell at = at_head(h, 2); series::take(&at, &p, false, false); stack::pop(1); }, "abcB"},
    {"take last", [](Cell& h) { series::take(&h, nullptr, false, true); stack::pop(1); }, "abcAc"},
};

TEST_F(SeriesHandlers, HashTableFollowsEveryChange) {
    for (const HashCase& c : HASH_CASES) {
        Cell h = hash_of("abcAcB");
        c.change(h);
        if (c.expected) {
            EXPECT_EQ(whole(KINDS[0], h), c.expected) << c.what;
        }
        expect_table_in_step(h, c.what);
    }
}

TEST_F(SeriesHandlers, HashTableFollowsMovesBetweenSeries) {
    Cell h = hash_of("abcAcB");
    Cell b = letters("xy");
    Cell part = integer(2);
    Cell from = at_head(h, 1);
    series::move(&from, &b, &part);
    EXPECT_EQ(letters_of(h), "aAcB");
    EXPECT_EQ(letters_of(b), "bcxy");
    expect_table_in_step(h, "origin");

    Cell into = at_head(hash_of("abc"), 1);
    Cell src = letters("Bz");
    series::move(&src, &into, &part);
    EXPECT_EQ(whole(KINDS[0], into), "aBzbc");
    expect_table_in_step(into, "target");
}

TEST_F(SeriesHandlers, TakeFromAHashGivesAHashWithItsOwnTable) {
    Cell h = hash_of("abcAcB");
    Cell part = integer(3);
    Cell at = at_head(h, 2);
    Cell taken = *series::take(&at, &part, false, false);
    stack::pop(1);
    EXPECT_EQ(type_of(&taken), TYPE_HASH);
    EXPECT_NE(series::hash_table_of(&taken), series::hash_table_of(&h));
    EXPECT_EQ(letters_of(taken), "cAc");
    expect_table_in_step(taken, "taken");
    expect_table_in_step(h, "source");
    Cell none_taken = *series::take(&at, &(part = integer(0)), false, false);
    stack::pop(1);
    EXPECT_EQ(type_of(&none_taken), TYPE_HASH);
    EXPECT_EQ(total_cells(none_taken), 0);
    EXPECT_NE(series::hash_table_of(&none_taken), 0u);
}

TEST_F(SeriesHandlers, HashTableIsRebuiltWhenTooManyCellsFollowAChange) {
    std::vector<Cell> items;
    for (int i = 0; i < 30010; i++) items.push_back(text(("k" + std::to_string(i)).c_str()));
    Cell h = block_of(items, TYPE_HASH);
    h.data3 = ht::init(int32_t(items.size()), &h, ht::KIND_HASH, 1);
    Cell part = integer(3);
    series::remove(&h, &part, nullptr);
    ASSERT_EQ(total_cells(h), 30007);
    for (int i : {0, 1, 15000, 30006}) {
        Cell key = cells_of(h)[i];
        EXPECT_EQ(ht::find(series::hash_table_of(&h), &key, 0, 1, 0, false, false), cells_of(h) + i) << i;
    }
    Cell gone = text("k1");
    EXPECT_EQ(ht::find(series::hash_table_of(&h), &gone, 0, 1, 0, false, false), nullptr);
}

// ---- Ownership fields ---------------------------------------------------------------------------------

TEST_F(SeriesHandlers, ReflectKnowsOnlyTheOwnedField) {
    Cell s = letters("ab");
    EXPECT_EQ(error_of([&] { series::reflect(&s, 1); }), "internal/not-done") << "no symbols yet";
    Node saved = ht::g_symbol_table;
    Cell symbols = block_of({});
    ht::g_symbol_table = ht::init(4, &symbols, ht::KIND_SYMBOL, 1);
    int owned = ht::put_symbol(ht::g_symbol_table, bytes("owned"), 5, false);
    int other = ht::put_symbol(ht::g_symbol_table, bytes("other"), 5, false);
    EXPECT_EQ(type_of(series::reflect(&s, owned)), TYPE_NONE);
    Cell t = letters("ab");
    EXPECT_EQ(error_of([&] { series::reflect(&t, other); }), "internal/not-done");
    Cell field, value = integer(1);
    cell::set(&field, TYPE_WORD, 0, uint32_t(other), uint32_t(-1));
    EXPECT_EQ(series::modify(&t, &field, &value, false), &value) << "other fields change nothing";
    ht::g_symbol_table = saved;
}

TEST_F(SeriesHandlers, StringsInheritTheSharedHandlers) {
    for (int action : {ACT_RANDOM, ACT_AT, ACT_CLEAR, ACT_COPY, ACT_MOVE, ACT_PICK, ACT_POKE, ACT_REMOVE,
                       ACT_REVERSE, ACT_SKIP, ACT_TAIL_Q})
        EXPECT_EQ(datatype::raw_handler(TYPE_STRING, action), datatype::raw_handler(TYPE_SERIES, action))
            << ACTION_NAMES[action];
    EXPECT_NE(datatype::raw_handler(TYPE_SERIES, ACT_TAKE), nullptr);
    EXPECT_EQ(datatype::raw_handler(TYPE_SERIES, ACT_FIND), nullptr);
}

}  // namespace
