// The natives table and calling convention, the boot source of the natives,
// the error of an order of logic values and the switch lookup. (The
// comparison natives' results: tests/cases/comparison.cases.)
#include <map>
#include <optional>

#include "interpreter/eval.h"
#include "interpreter/native.h"
#include "interpreter/natives.h"
#include "tests/support/eval_env.h"
#include "tests/support/fields.h"
#include "tests/support/scoped_native.h"

namespace zel::test {
namespace {

using natives::Native;

TEST(NativesTable, BootSourceDefinesEveryNativeByItsNumber) {
    for (int n = 1; n <= natives::COUNT; n++) {
        Cell value = eval_value(std::string(":") + natives::NAMES[n]);
        ASSERT_EQ(type_of(&value), TYPE_NATIVE) << natives::NAMES[n];
        EXPECT_EQ(int(value.data1), n) << natives::NAMES[n];
        EXPECT_NE(natives::entry(n), nullptr);
    }
    EXPECT_STREQ(natives::NAMES[42], "intersect");
    EXPECT_STREQ(natives::NAMES[43], "unique");
    for (int n = natives::COUNT + 1; n <= native::TABLE_SLOTS; n++) EXPECT_EQ(natives::entry(n), nullptr);
}

TEST(NativesTable, SpecsGiveTheArgumentsAndRefinementsInOrder) {
    const std::map<std::string, std::string> specs = {
        {"do", "value /expand /args arg /next position /trace callback"},
        {"switch", "value cases /default case"},
        {"now", "/year /month /day /time /zone /date /weekday /yearday /precise /utc"},
        {"transcode", "src /next /one /prescan /scan /part length /into dst /trace callback"},
        {"apply", "func args /all /safer"},
        {"break", "/return value"},
        {"find", ""},
    };
    for (const auto& [name, words] : specs) {
        if (words.empty()) continue;
        Cell value = eval_value(":" + name);
        std::string listed;
        for (int i = 0;; i++) {
            Cell w = interpreter::arg_word(&value, i);
            if (type_of(&w) == TYPE_NONE) break;
            if (type_of(&w) == TYPE_SET_WORD) continue;
            listed += (listed.empty() ? "" : " ") + mold_of(w);
        }
        EXPECT_EQ(listed, words) << name;
    }
}

TEST(NativesTable, SlotsAbove107RaiseNotDone) {
    EXPECT_EQ(eval_error("f: make native! [[a] 108] f 1"), "internal/not-done");
    EXPECT_EQ(eval_error("f: make native! [[a] 120] f 1"), "internal/not-done");
    EXPECT_EQ(eval_error("make native! [[a] 121]"), "script/bad-make-arg");
}

TEST(NativesTable, TheInterpreterChecksTypesBeforeTheEntryRuns) {
    // to-hex is not built: reaching its entry would raise not-done.
    EXPECT_EQ(eval_error("to-hex \"a\""), "script/expect-arg");
    EXPECT_EQ(eval_error("to-hex/size 1 \"a\""), "script/expect-arg");
}

// The slots an entry received, recorded by an entry standing in a native's slot.
std::vector<int32_t> g_slots;
int g_slot_count = 0;
exits::Exit record_slots(bool, const int32_t* slots) {
    g_slots.assign(slots, slots + g_slot_count);
    stack::set_last(&none::g_none);
    return {};
}

class SlotTest : public ::testing::Test {
protected:
    void install(Native n, int count) {
        g_slot_count = count;
        recorder_.emplace(n, record_slots);
    }
    std::optional<ScopedNative> recorder_;
};

TEST_F(SlotTest, RefinementPositionsOfNow) {
    install(Native::now_, 10);
    eval_value("now/precise/utc");
    EXPECT_EQ(g_slots, (std::vector<int32_t>{-1, -1, -1, -1, -1, -1, -1, -1, 0, 0}));
    eval_value("now");
    EXPECT_EQ(g_slots, std::vector<int32_t>(10, -1));
    eval_value("year: true day: false now/:year/:day/time");
    EXPECT_EQ(g_slots, (std::vector<int32_t>{0, -1, -1, 0, -1, -1, -1, -1, -1, -1}));
}

TEST_F(SlotTest, RefinementPositionsOfTranscode) {
    install(Native::transcode, 7);
    eval_value("transcode/next \"x\"");
    EXPECT_EQ(g_slots, (std::vector<int32_t>{1, -1, -1, -1, -1, -1, -1}));
    eval_value("transcode/part/into \"abc\" 2 []");
    EXPECT_EQ(g_slots, (std::vector<int32_t>{-1, -1, -1, -1, 1, 2, -1}));
    eval_value("transcode/into/part \"abc\" [] 2");
    EXPECT_EQ(g_slots, (std::vector<int32_t>{-1, -1, -1, -1, 2, 1, -1}));
    EXPECT_EQ(eval_error("transcode/into \"abc\" 2"), "script/expect-arg");
}

TEST_F(SlotTest, CheckFlagChecksEveryPresentArgument) {
    Cell to_hex = eval_value(":to-hex");
    Cell a = eval_value("1"), s = eval_value("\"s\"");
    empty_both_stacks();
    frames::mark_try_all(&words::word(words::Word::body));
    frames::mark_interp_native(&words::word(words::Word::body));
    stack::push(&a);
    stack::push(&s);
    int32_t absent[1] = {-1}, present[1] = {1};
    EXPECT_EQ(error_of([&] { interpreter::check_args(&to_hex, absent); }), "");
    EXPECT_EQ(error_of([&] { interpreter::check_args(&to_hex, present); }), "script/expect-arg");
    empty_both_stacks();
}

// Two flags have no order: the error names both (the results of the
// comparison natives: tests/cases/comparison.cases).
TEST(ComparisonNatives, AnOrderOfLogicValuesNamesBoth) {
    ErrorThrow e = caught_error([] { eval_value("true < false"); });
    ASSERT_EQ(e.id, ERR_script_invalid_compare);
    EXPECT_EQ(mold_of(e.args[0]), "true");
    EXPECT_EQ(mold_of(e.args[1]), "false");
}

TEST(SelectKey, SwitchLookup) {
    struct Case {
        const char* key;
        const char* block;
        bool push;
        bool to_block;
        const char* result;
    };
    const Case cases[] = {
        {"1", "[1.0 [a] 1 [b]]", true, true, "[b]"},  // the type must match exactly
        {"1", "[1 2 [c]]", true, true, "[c]"},        // values after the match are skipped
        {"3", "[1 [a] 2 [b]]", true, true, "none"},
        {"[1]", "[[1] [a]]", true, true, "none"},   // a block key never matches
        {"1", "[1 2 3]", true, true, "none"},       // no block after the match: no match
        {"1", "[1]", true, false, "1"},             // the last value answers itself
        {"1", "[0 1 1 2]", false, false, "2"},      // steps of 2 only look at keys
        {"2", "[2 1 1 2]", false, false, "1"},
        {"1", "[0 1 1 2]", false, true, "none"},
    };
    for (const Case& c : cases) {
        Cell key = *memory::series_of(node_of(load(c.key)))->cells();
        gc::root keep(&key);
        Cell block = *memory::series_of(node_of(load(c.block)))->cells();
        empty_both_stacks();
        frames::mark_try_all(&words::word(words::Word::body));
        stack::push(&key);
        stack::push(&block);
        int depth = stack::depth();
        Cell* answer = interpreter::select_key(c.push, c.to_block);
        EXPECT_EQ(mold_of(*answer), c.result) << c.key << " " << c.block;
        EXPECT_EQ(stack::depth(), depth + (c.push ? 1 : 0));
        if (!c.push) {
            EXPECT_EQ(answer, stack::arguments());
        }
        empty_both_stacks();
    }
}

}  // namespace
}  // namespace zel::test
