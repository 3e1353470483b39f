// block! search: find with every refinement and their useful mixes, select
// and put, each case run on a block and on a hash! of the same cells (the
// table must answer what the scan answers), and the refinement errors.
#include <climits>
#include <string>

#include "foundation/datatype.h"
#include "foundation/stack.h"
#include "series/block.h"
#include "series/hash.h"
#include "tests/support/runtime_env.h"
#include "tests/support/twins.h"

using namespace zel;
using namespace zel::test;

namespace {

class BlockSearch : public ::testing::Test {
protected:
    void TearDown() override { stack::g_top = stack::g_arguments; }
    StandInCompare compare_;
};

constexpr int NONE = INT_MIN;
// A /part argument that is a position of the series itself.
constexpr int AT = 1000;

struct Refinements {
    bool only = false, case_ = false, same = false, last = false, reverse = false, tail = false, match = false;
};

Refinements parse(const std::string& words) {
    Refinements r;
    std::istringstream in(words);
    for (std::string w; in >> w;) {
        if (w == "only") r.only = true;
        else if (w == "case") r.case_ = true;
        else if (w == "same") r.same = true;
        else if (w == "last") r.last = true;
        else if (w == "reverse") r.reverse = true;
        else if (w == "tail") r.tail = true;
        else if (w == "match") r.match = true;
        else ADD_FAILURE() << "no refinement " << w;
    }
    return r;
}

struct Search {
    const char* what;
    const char* cells;
    int head;
    const char* value;
    const char* refinements;
    int part;  // NONE; a count; AT + n: the series at index n
    int skip;  // NONE or the size
};

// find's result as the head index it answers, or -1 for none.
int find_in(Cell series, const Search& s, Cell value) {
    Refinements r = parse(s.refinements);
    Cell part = s.part >= AT ? at_head(series, s.part - AT) : integer(s.part);
    Cell skip = integer(s.skip);
    Cell* found = block::find(&series, &value, s.part == NONE ? nullptr : &part, r.only, r.case_, r.same, false,
                              nullptr, s.skip == NONE ? nullptr : &skip, r.last, r.reverse, r.tail, r.match);
    return type_of(found) == TYPE_NONE ? -1 : head_of(*found);
}

std::string select_in(Cell series, const Search& s, Cell value) {
    Refinements r = parse(s.refinements);
    Cell part = s.part >= AT ? at_head(series, s.part - AT) : integer(s.part);
    Cell skip = integer(s.skip);
    Cell* found = block::select(&series, &value, s.part == NONE ? nullptr : &part, r.only, r.case_, r.same, false,
                                nullptr, s.skip == NONE ? nullptr : &skip, r.last, r.reverse);
    return shown_or_none(*found);
}

struct FindCase {
    Search s;
    int expected;  // the result's head index; -1 for none
};

TEST_F(BlockSearch, FindOnBlocksAndHashes) {
    const char* eight = "a b c d a b c d";
    const FindCase cases[] = {
        {{"a value", eight, 0, "b", "", NONE, NONE}, 1},
        {{"from a later head", eight, 2, "b", "", NONE, NONE}, 5},
        {{"absent", eight, 0, "z", "", NONE, NONE}, -1},
        {{"empty block", "", 0, "a", "", NONE, NONE}, -1},
        {{"at the tail", eight, 8, "a", "", NONE, NONE}, -1},
        {{"past the tail", eight, 12, "a", "", NONE, NONE}, -1},
        {{"tail first: a bad skip is not looked at", eight, 8, "a", "", NONE, 0}, -1},

        {{"part cuts the search", eight, 0, "c", "", 2, NONE}, -1},
        {{"part reaching the value", eight, 0, "c", "", 3, NONE}, 2},
        {{"part 0", eight, 0, "a", "", 0, NONE}, -1},
        {{"negative part", eight, 0, "a", "", -3, NONE}, -1},
        {{"part past the tail is cut", eight, 6, "d", "", 100, NONE}, 7},
        {{"part as a position", eight, 0, "c", "", AT + 2, NONE}, 2},
        {{"part position before the value", eight, 0, "d", "", AT + 2, NONE}, -1},

        {{"skip tests every second cell", "a 1 b 2 c 3", 0, "2", "", NONE, 2}, -1},
        {{"skip finds a key", "a 1 b 2 c 3", 0, "b", "", NONE, 2}, 2},
        {{"skip tail gives the next record", "a 1 b 2 c 3", 0, "b", "tail", NONE, 2}, 4},
        {{"skip from an odd head", "a 1 b 2 c 3", 1, "2", "", NONE, 2}, 3},
        {{"tail after a value found forwards", eight, 0, "b", "tail", NONE, NONE}, 2},

        {{"last", eight, 0, "b", "last", NONE, NONE}, 5},
        {{"last reaches the first cell from a later head", eight, 6, "a", "last", NONE, NONE}, 4},
        {{"last below the head", "a b c d e", 4, "a", "last", NONE, NONE}, 0},
        {{"last with part starts at the limit", eight, 0, "b", "last", 3, NONE}, 1},
        {{"last with skip steps back from the last cell", "a 1 b 2 c 3", 0, "b", "last", NONE, 2}, -1},
        {{"last with skip", "a 1 b 2 c 3", 0, "2", "last", NONE, 2}, 3},
        {{"tail after a value found backwards", eight, 0, "b", "last tail", NONE, NONE}, 6},
        {{"last with skip, tail: the next cell", "a 1 b 2 c 3", 0, "2", "last tail", NONE, 2}, 4},

        {{"reverse from the head", eight, 6, "b", "reverse", NONE, NONE}, 5},
        {{"reverse skips the head cell", eight, 5, "b", "reverse", NONE, NONE}, 1},
        {{"reverse at the first cell", eight, 0, "a", "reverse", NONE, NONE}, -1},
        {{"reverse from the tail", eight, 8, "d", "reverse", NONE, NONE}, 7},
        {{"reverse from past the tail", eight, 11, "c", "reverse", NONE, NONE}, 6},
        {{"reverse with part starts at the limit", eight, 0, "a", "reverse", 3, NONE}, 0},
        {{"reverse, tail", eight, 6, "b", "reverse tail", NONE, NONE}, 6},

        {{"a run of cells", eight, 0, "[c d]", "", NONE, NONE}, 2},
        {{"a run, tail", eight, 0, "[c d]", "tail", NONE, NONE}, 4},
        {{"a run found last", eight, 0, "[c d]", "last", NONE, NONE}, 6},
        {{"a run found last, tail", eight, 0, "[a b]", "last tail", NONE, NONE}, 6},
        {{"a run reversed ends before the head", eight, 6, "[b c]", "reverse", NONE, NONE}, 1},
        {{"a run cut by the tail", "a b c", 0, "[c d]", "", NONE, NONE}, -1},
        {{"a run cut by part", "a b c d", 0, "[b c]", "", 2, NONE}, -1},
        {{"a run inside part", "a b c d", 0, "[b c]", "", 3, NONE}, 1},
        {{"an empty run", eight, 0, "[]", "", NONE, NONE}, -1},
        {{"a paren is a run", eight, 0, "(d a)", "", NONE, NONE}, 3},
        {{"only: the block as one cell", "a [b c] b c", 0, "[b c]", "only", NONE, NONE}, 1},
        {{"without only: the run", "a [b c] b c", 0, "[b c]", "", NONE, NONE}, 2},
        {{"a run with skip starts at records only", "x a b a b", 0, "[a b]", "", NONE, 2}, -1},
        {{"a run without skip", "x a b a b", 0, "[a b]", "", NONE, NONE}, 1},

        {{"match at the head", eight, 1, "b", "match", NONE, NONE}, 1},
        {{"match tests the head only", eight, 1, "c", "match", NONE, NONE}, -1},
        {{"match a run", eight, 1, "[b c]", "match", NONE, NONE}, 1},
        {{"match a run, tail", eight, 1, "[b c]", "match tail", NONE, NONE}, 3},

        {{"a datatype matches by type", "a 1 b 2", 0, "integer!", "", NONE, NONE}, 1},
        {{"a datatype, tail", "a 1 b 2", 0, "integer!", "tail", NONE, NONE}, 2},
        {{"a datatype found last", "a 1 b 2", 0, "integer!", "last", NONE, NONE}, 3},
        {{"a datatype only: no such cell", "a 1 b 2", 0, "integer!", "only", NONE, NONE}, -1},
        {{"a typeset matches by type", "a b \"x\" 3", 0, "typeset integer! string!", "", NONE, NONE}, 2},

        {{"text without case", "\"x\" \"A\" \"a\"", 0, "\"a\"", "", NONE, NONE}, 1},
        {{"text with case", "\"x\" \"A\" \"a\"", 0, "\"a\"", "case", NONE, NONE}, 2},
        {{"text with case, last", "\"a\" \"A\" \"a\" \"A\"", 0, "\"a\"", "case last", NONE, NONE}, 2},
        {{"words of any spelling", "x Word word", 0, "word", "", NONE, NONE}, 1},
        {{"words with case", "x Word word", 0, "word", "case", NONE, NONE}, 2},
        {{"numbers keep their type", "1.0 1", 0, "1", "", NONE, NONE}, 1},
    };
    for (const FindCase& c : cases) {
        Cell value = sought(c.s.value);
        Cell b = at_head(loaded(c.s.cells), c.s.head);
        EXPECT_EQ(find_in(b, c.s, value), c.expected) << c.s.what << " (block!)";
        Cell h = hash_twin(b);
        EXPECT_EQ(find_in(h, c.s, value), c.expected) << c.s.what << " (hash!)";
    }
}

// Identity: the same series at the same place; /same wins over /case.
TEST_F(BlockSearch, FindTheSameValue) {
    Cell inner = loaded("x y");
    Cell twin = loaded("x y");
    Cell b = block_of({twin, inner, at_head(inner, 1), inner});
    for (Cell series : {b, hash_twin(b)}) {
        const char* type = type_of(&series) == TYPE_HASH ? " (hash!)" : " (block!)";
        Search s{"", "", 0, "", "only", NONE, NONE};
        EXPECT_EQ(find_in(series, s, inner), 0) << "equal blocks" << type;
        s.refinements = "only same";
        EXPECT_EQ(find_in(series, s, inner), 1) << "the same block" << type;
        s.refinements = "only same case last";
        EXPECT_EQ(find_in(series, s, inner), 3) << "same wins over case" << type;
        s.refinements = "only same";
        EXPECT_EQ(find_in(series, s, at_head(inner, 1)), 2) << "the same block at its own head" << type;
    }
    Cell kinds = block_of({datatype_of(TYPE_WORD), integer(1), datatype_of(TYPE_INTEGER)});
    Search s{"", "", 0, "", "only", NONE, NONE};
    EXPECT_EQ(find_in(kinds, s, datatype_of(TYPE_INTEGER)), 2) << "a datatype with only is a value";
    EXPECT_EQ(find_in(hash_twin(kinds), s, datatype_of(TYPE_INTEGER)), 2);
}

TEST_F(BlockSearch, FindRefinementErrors) {
    Cell b = loaded("a b c");
    Cell other = loaded("a b c");
    Cell a = sought("a");
    Cell zero = integer(0), word = sought("x"), elsewhere = at_head(other, 1), paren = b;
    cell::set_type(&paren, TYPE_PAREN);
    auto find = [&](Cell* part, Cell* skip) {
        Cell s = b;
        block::find(&s, &a, part, false, false, false, false, nullptr, skip, false, false, false, false);
    };
    EXPECT_EQ(error_of([&] { find(nullptr, &zero); }), "script/out-of-range");
    EXPECT_EQ(error_of([&] { find(nullptr, &word); }), "script/invalid-refine-arg");
    EXPECT_EQ(error_of([&] { find(&elsewhere, nullptr); }), "script/invalid-refine-arg");
    EXPECT_EQ(error_of([&] { find(&paren, nullptr); }), "script/invalid-refine-arg") << "another type";
    ErrorThrow e = caught_error([&] { find(nullptr, &word); });
    EXPECT_EQ(shown(e.args[0]), "skip");
}

struct SelectCase {
    Search s;
    const char* expected;
};

TEST_F(BlockSearch, SelectOnBlocksAndHashes) {
    const SelectCase cases[] = {
        {{"the value after", "a 1 b 2", 0, "b", "", NONE, NONE}, "2"},
        {{"the last cell's value", "a 1 b 2", 0, "2", "", NONE, NONE}, "none"},
        {{"absent", "a 1 b 2", 0, "z", "", NONE, NONE}, "none"},
        {{"after a run", "a b c d", 0, "[b c]", "", NONE, NONE}, "d"},
        {{"a run at the tail", "a b c d", 0, "[c d]", "", NONE, NONE}, "none"},
        {{"after a block found as one cell", "a [b c] d", 0, "[b c]", "only", NONE, NONE}, "d"},
        {{"records", "a b b c", 0, "b", "", NONE, 2}, "c"},
        {{"last", "a 1 a 2", 0, "a", "last", NONE, NONE}, "2"},
        {{"reverse", "a 1 a 2", 2, "a", "reverse", NONE, NONE}, "1"},
        {{"case", "\"k\" 1 \"K\" 2", 0, "\"K\"", "case", NONE, NONE}, "2"},
        {{"part", "a 1 b 2", 0, "b", "", 2, NONE}, "none"},
    };
    for (const SelectCase& c : cases) {
        Cell value = sought(c.s.value);
        Cell b = at_head(loaded(c.s.cells), c.s.head);
        EXPECT_EQ(select_in(b, c.s, value), c.expected) << c.s.what << " (block!)";
        EXPECT_EQ(select_in(hash_twin(b), c.s, value), c.expected) << c.s.what << " (hash!)";
    }
    // A hash! value is a run of cells, as in find.
    Cell b = loaded("a b c d");
    Cell run = hash_twin(loaded("b c"));
    Search s{"", "", 0, "", "", NONE, NONE};
    EXPECT_EQ(find_in(b, s, run), 1);
    EXPECT_EQ(select_in(b, s, run), "d");
}

struct PutCase {
    const char* what;
    const char* cells;
    const char* key;
    const char* value;
    bool case_;
    const char* expected;
};

TEST_F(BlockSearch, PutOnBlocksAndHashes) {
    const PutCase cases[] = {
        {"an absent key is appended with the value", "a 1", "b", "2", false, "[a 1 b 2]"},
        {"a present key gets the value", "a 1 b 2", "a", "3", false, "[a 3 b 2]"},
        {"an equal value changes nothing", "a 1 b 2", "a", "1", false, "[a 1 b 2]"},
        {"the key as the last cell gets a value cell", "a 1 b", "b", "5", false, "[a 1 b 5]"},
        {"keys of any case", "\"k\" 1", "\"K\"", "2", false, "[\"k\" 2]"},
        {"keys of one case", "\"k\" 1", "\"K\"", "2", true, "[\"k\" 1 \"K\" 2]"},
        {"a block key is one cell", "[x] 1", "[x]", "2", false, "[[x] 2]"},
        {"a block key is not a run", "x 1", "[x]", "2", false, "[x 1 [x] 2]"},
        {"a datatype key is a value", "1 2", "integer!", "3", false, "[1 2 integer! 3]"},
    };
    for (const PutCase& c : cases) {
        Cell key = sought(c.key), value = sought(c.value);
        for (Cell series : {loaded(c.cells), hash_twin(loaded(c.cells))}) {
            bool hashed = type_of(&series) == TYPE_HASH;
            Cell* answer = block::put(&series, &key, &value, c.case_);
            EXPECT_EQ(answer, &value) << c.what;
            std::string text = shown(at_head(series, 0));
            EXPECT_EQ(hashed ? text.substr(11) : text, c.expected) << c.what << (hashed ? " (hash!)" : "");
            if (hashed) expect_exact_table(series, c.what);
        }
    }
    // Rewriting a hash! cell takes its old entry out first: the new value
    // is found there, and the old value wherever else it is.
    Cell h = hash_twin(loaded("k 1 x 1 y 1"));
    Cell k = sought("k"), two = sought("2"), one = sought("1");
    block::put(&h, &k, &two, false);
    expect_exact_table(h, "rewritten");
    Search s{"", "", 0, "", "", NONE, NONE};
    EXPECT_EQ(find_in(h, s, two), 1);
    EXPECT_EQ(find_in(h, s, one), 3);
    s.refinements = "last";
    EXPECT_EQ(find_in(h, s, one), 5);
}

}  // namespace
