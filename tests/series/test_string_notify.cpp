// What the owner of a string is told when the string changes: the string
// modifiers (append, insert, change, swap, take, trim, sort) and the series!
// handlers strings inherit call on-deep-change* before the change with the
// action's word and after it with the past form, with the field word, the
// value, the index and the count of characters. And what is left when the
// owner's handler changes the very string being changed: grows it, widens
// it to a larger unit, or empties it.
#include "tests/support/owner_handlers.h"

namespace zel::test {
namespace {

class StringNotify : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        define_owner_handlers();
        define_changing_handler("grow", "append head target #\"g\"");
        // a character that needs a wider unit
        define_changing_handler("widen", "append head target #\"^(3A9)\"");
    }
};

// The events of the code run on the field s ("abc") of an object told by `tell`.
std::string told(const std::string& code) {
    return eval("events: copy [] o: make object! [s: \"abc\" on-deep-change*: :tell] " + code + " events");
}

TEST_F(StringNotify, EveryModifierTellsItsWordsIndexAndCount) {
    expect_results({
        {"append o/s \"de\"", R"([[s append "de" 3 -1] [s appended "de" 3 1]])"},
        {"append/part o/s \"defg\" 2", R"([[s append "defg" 3 2] [s appended "defg" 3 2]])"},
        {"append o/s 12", R"([[s append 12 3 -1] [s appended 12 3 1]])"},
        {"insert next o/s \"xy\"", R"([[s insert "xy" 1 -1] [s inserted "xy" 1 2]])"},
        {"insert/dup next o/s #\"x\" 3", R"([[s insert #"x" 1 -1] [s inserted #"x" 1 3]])"},
        {"insert tail o/s \"xy\"", R"([[s insert "xy" 3 -1] [s inserted "xy" 3 2]])"},
        {"change next o/s \"XY\"", R"([[s change "XY" 1 -1] [s changed "XY" 1 2]])"},
        {"change/part o/s \"X\" 2", R"([[s change "X" 0 2] [s changed "X" 0 1]])"},
        // at the tail, change appends
        {"change tail o/s \"X\"", R"([[s append "X" 3 -1] [s appended "X" 3 1]])"},
        {"poke o/s 2 #\"z\"", R"([[s poke #"z" 1 1] [s poked #"z" 1 1]])"},
        {"clear next o/s", "[[s clear none 1 2] [s cleared none 1 0]]"},
        {"remove/part next o/s 2", "[[s remove none 1 2] [s removed none 1 0]]"},
        {"reverse o/s", "[[s reverse none 0 3] [s reversed none 0 3]]"},
        {"random o/s", "[[s random none 0 3] [s randomized none 0 3]]"},
        {"sort/reverse next o/s", "[[s sort none 1 2] [s sorted none 1 2]]"},
        {"take o/s", "[[s take none 0 1] [s taken none 0 0]]"},
        {"take/last/part o/s 2", "[[s take none 0 2] [s taken none 0 0]]"},
        {"swap o/s next o/s", R"([[s swap "ac" 0 1] [s swap "bac" 1 1] [s swaped "ac" 0 1] [s swaped "bac" 1 1]])"},
        {"move o/s tail o/s", R"([[s move "bca" 0 1] [s moved none 2 1]])"},
        {"move \"x\" next o/s", R"([[s move "" 0 1] [s moved none 1 1]])"},
    }, told);
}

TEST_F(StringNotify, TrimTellsTheCharactersBeforeAndAfter) {
    expect_results({
        {"o: make object! [s: \"  a b  \" on-deep-change*: :tell] trim o/s events",
         "[[s trim none 0 7] [s trimmed none 0 3]]"},
        {"o: make object! [s: \"xa b\" on-deep-change*: :tell] trim/all next o/s events",
         "[[s trim none 1 3] [s trimmed none 1 2]]"},
    }, [](const std::string& code) { return eval("events: copy [] " + code); });
}

TEST_F(StringNotify, BothSidesOfASwapAndOfAMoveAreTold) {
    expect_results({
        {"o: make object! [a: \"x\" b: \"y\" on-deep-change*: :tell] swap o/a o/b events",
         R"([[a swap "x" 0 1] [b swap "y" 0 1] [a swaped "x" 0 1] [b swaped "y" 0 1]])"},
        {"o: make object! [a: \"xy\" b: \"z\" on-deep-change*: :tell] move o/a o/b events",
         R"([[b move "y" 0 1] [a move none 0 1] [b moved none 0 1] [a moved none 0 1]])"},
    }, [](const std::string& code) { return eval("events: copy [] " + code); });
}

TEST_F(StringNotify, TheHandlerSeesTheOldTextThenTheNew) {
    expect_results({
        {"append o/s \"d\"", R"([[append "abc"] [appended "abcd"]])"},
        {"insert o/s \"x\"", R"([[insert "abc"] [inserted "xabc"]])"},
        {"change o/s \"XY\"", R"([[change "abc"] [changed "XYc"]])"},
        {"take/last o/s", R"([[take "abc"] [taken "ab"]])"},
        {"sort/reverse o/s", R"([[sort "abc"] [sorted "cba"]])"},
    }, [](const std::string& code) {
        return eval("events: copy [] o: make object! [s: \"abc\" on-deep-change*: :look] " + code + " events");
    });
}

// Each modifier under a handler that changes the string it is told about,
// before and after the change.
void expect_strings(std::initializer_list<HandlerRun> runs) { expect_after_handler("s", "\"abc\"", runs); }

TEST_F(StringNotify, AHandlerThatGrowsTheString) {
    expect_strings({
        {"grow", "append o/s \"de\"", R"("abcgdeg")"},
        {"grow", "append o/s [1 2]", R"("abcg12g")"},
        {"grow", "append o/s o/s", R"("abcgabcgg")"},
        {"grow", "insert next o/s o/s", R"("aabcgbcgg")"},
        {"grow", "change next o/s o/s", R"("aabcgg")"},
        {"grow", "insert next o/s \"xy\"", R"("axybcgg")"},
        {"grow", "insert next o/s 12", R"("a12bcgg")"},
        {"grow", "change next o/s \"XY\"", R"("aXYgg")"},
        {"grow", "change next o/s 123", R"("a123g")"},
        {"grow", "poke o/s 2 #\"z\"", R"("azcgg")"},
        {"grow", "clear next o/s", R"("ag")"},
        {"grow", "remove next o/s", R"("acgg")"},
        {"grow", "reverse o/s", R"("cbagg")"},
        {"grow", "random o/s sort o/s", R"("abcgggg")"},
        {"grow", "sort/reverse o/s", R"("cbagg")"},
        {"grow", "swap o/s next o/s", R"("bacgggg")"},
        {"grow", "take/last o/s", R"("abcg")"},
        {"grow", "trim o/s", R"("abcgg")"},
        {"grow", "move o/s tail o/s", R"("bcgag")"},
        {"grow", "move \"xy\" next o/s", R"("axbcgg")"},
    });
}

TEST_F(StringNotify, AHandlerThatWidensTheString) {
    expect_strings({
        {"widen", "append o/s \"de\"", "\"abc\u03A9de\u03A9\""},
        {"widen", "append o/s [1 2]", "\"abc\u03A912\u03A9\""},
        {"widen", "append o/s o/s", "\"abc\u03A9abc\u03A9\u03A9\""},
        {"widen", "insert next o/s o/s", "\"aabc\u03A9bc\u03A9\u03A9\""},
        {"widen", "change next o/s o/s", "\"aabc\u03A9\u03A9\""},
        {"widen", "insert next o/s \"xy\"", "\"axybc\u03A9\u03A9\""},
        {"widen", "insert next o/s 12", "\"a12bc\u03A9\u03A9\""},
        {"widen", "change next o/s \"XY\"", "\"aXY\u03A9\u03A9\""},
        {"widen", "change next o/s 123", "\"a123\u03A9\""},
        {"widen", "poke o/s 2 #\"z\"", "\"azc\u03A9\u03A9\""},
        {"widen", "remove next o/s", "\"ac\u03A9\u03A9\""},
        {"widen", "reverse o/s", "\"cba\u03A9\u03A9\""},
        {"widen", "random o/s sort o/s", "\"abc\u03A9\u03A9\u03A9\u03A9\""},
        {"widen", "sort/reverse o/s", "\"cba\u03A9\u03A9\""},
        {"widen", "swap o/s next o/s", "\"bac\u03A9\u03A9\u03A9\u03A9\""},
        {"widen", "take/last o/s", "\"abc\u03A9\""},
        {"widen", "trim o/s", "\"abc\u03A9\u03A9\""},
        {"widen", "move o/s tail o/s", "\"bc\u03A9a\u03A9\""},
        {"widen", "move \"xy\" next o/s", "\"axbc\u03A9\u03A9\""},
    });
}

TEST_F(StringNotify, AHandlerThatEmptiesTheString) {
    expect_strings({
        {"empty", "append o/s \"de\"", R"("de")"},
        {"empty", "insert at o/s 3 \"xy\"", R"("xy")"},
        {"empty", "insert at o/s 3 12", R"("12")"},
        {"empty", "append o/s o/s", R"("")"},
        {"empty", "insert at o/s 3 o/s", R"("")"},
        {"empty", "change at o/s 3 o/s", R"("")"},
        {"empty", "change at o/s 3 \"XY\"", R"("XY")"},
        {"empty", "change at o/s 3 123", R"("123")"},
        {"empty", "poke o/s 2 #\"z\"", "error script/out-of-range"},
        {"empty", "remove next o/s", R"("")"},
        {"empty", "reverse o/s", R"("")"},
        {"empty", "random o/s", R"("")"},
        {"empty", "sort/compare o/s func [a b] [a < b]", R"("")"},
        {"empty", "swap o/s next o/s", R"("")"},
        {"empty", "take/last o/s", R"("")"},
        {"empty", "trim next o/s", R"("")"},
        {"empty", "trim/all next o/s", R"("")"},
        {"empty", "move o/s tail o/s", R"("")"},
        {"empty", "move next o/s \"x\"", R"("")"},
    });
}

// A sort comparator that appends to the text being sorted, while its owner
// is told too.
TEST_F(StringNotify, AComparatorThatGrowsAnOwnedString) {
    expect_results({
        {"o: make object! [s: \"cab\" on-deep-change*: :tell] "
         "sort/compare o/s func [x y] [append o/s #\"^(3A9)\" x < y] reduce [copy/part o/s 3 pick events 1]",
         R"(["abc" [s sort none 0 3]])"},
    }, [](const std::string& code) { return eval("events: copy [] " + code); });
}

}  // namespace
}  // namespace zel::test
