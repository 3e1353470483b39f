// string! sort: folding by unit, records and their errors, compare offsets,
// /all, /reverse, /stable and negative parts.
#include <climits>
#include <string>
#include <vector>

#include "series/string.h"
#include "tests/support/runtime_env.h"
#include "tests/support/text.h"
#include "tests/support/values.h"

using namespace zel;
using namespace zel::test;

namespace {

struct Options {
    bool case_ = false;
    int skip = 0;
    int compare = 0;  // an offset; 0 for none
    bool all = false, reverse = false, stable = true;
};

Cell sorted_cell(Cell s, Options o, Cell* part = nullptr) {
    Cell skip = integer(o.skip), offset = integer(o.compare);
    return *string::sort(&s, o.case_, o.skip ? &skip : nullptr, o.compare ? &offset : nullptr, part, o.all,
                         o.reverse, o.stable);
}

// The whole text after sorting, from its first character.
std::string sorted(Cell s, Options o = {}) {
    sorted_cell(s, o);
    return utf8_of(at_head(s, 0));
}

std::vector<uint32_t> sorted_points(Cell s, Options o = {}) {
    sorted_cell(s, o);
    return code_points(s);
}

}  // namespace

TEST(Sort, TextAndItsRefinements) {
    Options cased, skip2, offset2, all2, reversed, unstable;
    cased.case_ = true;
    skip2.skip = offset2.skip = all2.skip = 2;
    offset2.compare = 2;
    all2.all = true;
    reversed.reverse = true;
    unstable.stable = false;
    struct Case {
        const char* text;
        Options options;
        const char* expected;
    } cases[] = {
        {"cBaA", {}, "aABc"},
        {"bBaA", cased, "ABab"},
        {"b2a1c3", skip2, "a1b2c3"},
        {"b2a3c1", offset2, "c1b2a3"},
        {"b2a3a1", all2, "a1a3b2"},
        {"b2a3a1", skip2, "a3a1b2"},
        {"abc", reversed, "cba"},
        {"dcbaedcba", unstable, "aabbccdde"},
        {"", {}, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(sorted(text(c.text), c.options), c.expected) << c.text;
}

TEST(Sort, FoldingDependsOnTheUnit) {
    // Unit 1 folds A-Z only (to lower case): E9 and C9 stay apart, and "_"
    // (5F) sorts before "b" (62). Wider units fold every letter to upper
    // case: E9 and C9 are equal, and "B" (42) sorts before "_".
    EXPECT_EQ(sorted_points(chars({0xE9, 0xC9}, 1)), (std::vector<uint32_t>{0xC9, 0xE9}));
    EXPECT_EQ(sorted_points(chars({0xE9, 0xC9}, 2)), (std::vector<uint32_t>{0xE9, 0xC9}));
    EXPECT_EQ(sorted_points(chars({'b', '_'}, 1)), (std::vector<uint32_t>{'_', 'b'}));
    EXPECT_EQ(sorted_points(chars({'_', 'b'}, 2)), (std::vector<uint32_t>{'b', '_'}));
    EXPECT_EQ(sorted_points(chars({'_', 'b'}, 4)), (std::vector<uint32_t>{'b', '_'}));
    EXPECT_EQ(sorted_points(chars({0x1F601, 'a', 0x1F600}, 4)), (std::vector<uint32_t>{'a', 0x1F600, 0x1F601}));
}

TEST(Sort, StableKeepsTheOrderOfEqualRecords) {
    Options stable_cased;
    stable_cased.case_ = true;
    stable_cased.skip = 2;
    // Records compare on their first character only: equal ones keep their
    // order, with /case too.
    EXPECT_EQ(sorted(text("b1a3b0a2a1"), stable_cased), "a3a2a1b1b0");
}

TEST(Sort, PartCountsPositionsAndNegativeCounts) {
    Cell s = text("dcba");
    Cell two = integer(2);
    sorted_cell(s, {}, &two);
    EXPECT_EQ(utf8_of(s), "cdba");

    Cell t = text("badc");
    t = at_head(t, 2);
    Cell back = integer(-2);
    Cell result = sorted_cell(t, {}, &back);
    EXPECT_EQ(head_of(result), 0) << "the head moves back by the count";
    EXPECT_EQ(utf8_of(result), "abdc");

    Cell u = text("cba");
    u = at_head(u, 1);
    Cell far = integer(-3);
    result = sorted_cell(u, {}, &far);
    EXPECT_EQ(head_of(result), 0);
    EXPECT_EQ(utf8_of(result), "cba") << "reaching before the first character sorts nothing";

    Cell v = text("dcba"), at3 = v;
    at3 = at_head(at3, 3);
    sorted_cell(v, {}, &at3);
    EXPECT_EQ(utf8_of(v), "bcda") << "a position in the same text";
}

TEST(Sort, Errors) {
    auto error_sorting = [](const char* content, Options o, Cell* comparator = nullptr) {
        return error_of([&] {
            Cell s = text(content), skip = integer(o.skip);
            string::sort(&s, o.case_, o.skip ? &skip : nullptr, comparator, nullptr, o.all, o.reverse, o.stable);
        });
    };
    Options skip2, skip0, skip6, all, all_skip;
    skip2.skip = 2;
    skip0.skip = -1;
    skip6.skip = 6;
    all.all = true;
    all_skip.all = true;
    all_skip.skip = 2;
    EXPECT_EQ(error_sorting("abcde", skip2), "script/invalid-refine-arg") << "2 does not divide 5";
    EXPECT_EQ(error_sorting("abcd", skip0), "script/invalid-refine-arg");
    EXPECT_EQ(error_sorting("abcd", skip6), "script/invalid-refine-arg") << "larger than the count";
    EXPECT_EQ(error_sorting("abcd", all), "script/bad-refines");
    Cell one = integer(1), three = integer(3), zero = integer(0), block = block_of({});
    EXPECT_EQ(error_sorting("abcd", {}, &one), "script/bad-refines") << "an offset needs /skip";
    EXPECT_EQ(error_sorting("abcd", all_skip, &one), "script/bad-refines") << "and no /all";
    EXPECT_EQ(error_sorting("abcd", skip2, &three), "script/out-of-range");
    EXPECT_EQ(error_sorting("abcd", skip2, &zero), "script/out-of-range");
    EXPECT_EQ(error_sorting("abcd", skip2, &block), "script/invalid-refine-arg");
    Cell s = text("dcba"), bad_part = text("x");
    EXPECT_EQ(error_of([&] { string::sort(&s, false, nullptr, nullptr, &bad_part, false, false, false); }),
              "script/invalid-refine-arg");
    EXPECT_EQ(utf8_of(s), "dcba");
}
