// Ownership: which series an object with on-deep-change* owns (nested
// blocks, plain nested objects, shared and self-containing series), the
// table entries, taking ownership away; and the value-slot store.
#include "core/ownership.h"
#include "core/slot_store.h"
#include "series/block.h"
#include "tests/support/eval_tables.h"

namespace zel::test {
namespace {

// The code's molded result, with a fresh log of notifications.
std::string logged(const std::string& code) { return eval("count: 0 events: [_ _ _ _] " + code); }

void define_ownership_functions() {
    // Each notification's field word and action, in order.
    define_function("log-deep", "[owner word target action new index part]",
                    "[count: count + 1 poke events count reduce [word action]]");
    define_function("log-owner", "[owner word target action new index part]", "[last: owner]");
}

class OwnershipTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { define_ownership_functions(); }
};

const EvalTable an_owner_is_told_about_series_at_any_depth_under_its_field_word{
    "OwnershipTest.AnOwnerIsToldAboutSeriesAtAnyDepthUnderItsFieldWord", define_ownership_functions, {
    {"o: make object! [a: [[[1]]] on-deep-change*: :log-deep] poke o/a/1/1 1 2 events",
     "[[a poke] [a poked] _ _]"},
    // a series of a plain nested object: under that object's own field word
    {"o: make object! [i: make object! [s: [1]] on-deep-change*: :log-deep] poke o/i/s 1 2 events",
     "[[s poke] [s poked] _ _]"},
    // a nested object that is an owner itself keeps its series
    {"last: none o: make object! [i: make object! [s: [1] on-deep-change*: :log-owner] "
     "on-deep-change*: :log-deep] poke o/i/s 1 2 reduce [count same? last o/i]",
     "[0 true]"},
}, logged};

TEST_F(OwnershipTest, AnOwnerIsToldAboutSeriesAtAnyDepthUnderItsFieldWord) {
    expect_table(an_owner_is_told_about_series_at_any_depth_under_its_field_word);
}

const EvalTable every_modifying_action_tells_the_owner_before_and_after{
    "OwnershipTest.EveryModifyingActionTellsTheOwnerBeforeAndAfter", define_ownership_functions, {
    {"o: make object! [b: [1] on-deep-change*: :log-deep] append o/b 2 events",
     "[[b append] [b appended] _ _]"},
    {"o: make object! [b: [1] on-deep-change*: :log-deep] insert o/b 0 events",
     "[[b insert] [b inserted] _ _]"},
    {"o: make object! [b: [3 1 2] on-deep-change*: :log-deep] sort o/b events",
     "[[b sort] [b sorted] _ _]"},
    {"o: make object! [s: \"ab\" on-deep-change*: :log-deep] append o/s \"c\" reduce [o/s events]",
     "[\"abc\" [[s append] [s appended] _ _]]"},
}, logged};

TEST_F(OwnershipTest, EveryModifyingActionTellsTheOwnerBeforeAndAfter) {
    expect_table(every_modifying_action_tells_the_owner_before_and_after);
}

const EvalTable the_first_owner_of_a_series_keeps_it{"OwnershipTest.TheFirstOwnerOfASeriesKeepsIt",
    define_ownership_functions, {
    {"b: [1] o: make object! [x: b y: b on-deep-change*: :log-deep] poke b 1 2 events",
     "[[x poke] [x poked] _ _]"},
    {"b: [1] o: make object! [x: b on-deep-change*: :log-deep] last: none "
     "p: make object! [y: b on-deep-change*: :log-owner] poke b 1 2 reduce [count last]",
     "[2 none]"},
}, logged};

TEST_F(OwnershipTest, TheFirstOwnerOfASeriesKeepsIt) {
    expect_table(the_first_owner_of_a_series_keeps_it);
}

const EvalTable self_containing_blocks_are_walked_once{
    "OwnershipTest.SelfContainingBlocksAreWalkedOnce", define_ownership_functions, {
    {"b: [1 2] poke b 2 b o: make object! [x: b on-deep-change*: :log-deep] poke b 1 5 count", "2"},
    // taking the ownership away walks it once too
    {"b: [1 2] poke b 2 b o: make object! [x: b on-deep-change*: :log-deep] modify o 'owned none "
     "poke b 1 5 count",
     "0"},
}, logged};

TEST_F(OwnershipTest, SelfContainingBlocksAreWalkedOnce) {
    expect_table(self_containing_blocks_are_walked_once);
}

TEST_F(OwnershipTest, TheTableNamesTheOwnerAndTheFieldWord) {
    Cell b = eval_value("b: [1 2] o: make object! [f: b on-deep-change*: :log-deep] b");
    Cell o = eval_value("o");
    EXPECT_TRUE(ownership::owned(&b));
    const Cell* entry = ownership::find(b.data2);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(type_of(entry), TYPE_OBJECT);
    EXPECT_EQ(entry[0].data1, o.data1);
    EXPECT_EQ(mold_of(entry[1]), "f");

    ownership::unbind(&b);
    EXPECT_FALSE(ownership::owned(&b));
    EXPECT_EQ(ownership::find(b.data2), nullptr);
}

const EvalTable a_series_names_its_owner{"OwnershipTest.ASeriesNamesItsOwner",
    define_ownership_functions, {
    {"o: make object! [a: [1 [2]] on-deep-change*: :log-deep] same? o reflect o/a 'owned", "true"},
    // nested, and at any position of the series
    {"o: make object! [a: [1 [2]] on-deep-change*: :log-deep] same? o reflect o/a/2 'owned", "true"},
    {"o: make object! [s: \"ab\" on-deep-change*: :log-deep] same? o reflect next o/s 'owned", "true"},
    // owned without a change-handler record
    {"o: make object! [a: [1]] modify o 'owner true same? o reflect o/a 'owned", "true"},
    {"reflect [1 2] 'owned", "none"},
    {"o: make object! [a: [1]] reflect o/a 'owned", "none"},
    {"reflect [1] 'owner", "error internal/not-done"},
}, logged};

TEST_F(OwnershipTest, ASeriesNamesItsOwner) { expect_table(a_series_names_its_owner); }

const EvalTable modify_of_the_owned_field_gives_a_series_away_or_takes_it_back{
    "OwnershipTest.ModifyOfTheOwnedFieldGivesASeriesAwayOrTakesItBack", define_ownership_functions, {
    // given to an object, under the field word named, with what it holds
    {"o: make object! [on-deep-change*: :log-deep] b: [1 [2]] modify b 'owned reduce [o 'f] "
     "append b 3 append b/2 4 reduce [events same? o reflect b/2 'owned]",
     "[[[f append] [f appended] [f append] [f appended]] true]"},
    {"o: make object! [on-deep-change*: :log-deep] s: \"ab\" modify s 'OWNED reduce [o to lit-word! 'g] "
     "append s \"c\" events",
     "[[g append] [g appended] _ _]"},
    // an owner without on-deep-change* becomes one, though nobody is told
    {"o: make object! [] b: [1] modify b 'owned reduce [o 'f] reduce [reflect o 'owner same? o reflect b 'owned]",
     "[true true]"},
    // taken back, from the series and those inside it
    {"o: make object! [a: [1 [2]] on-deep-change*: :log-deep] b: o/a modify b 'owned none "
     "append b 3 append b/2 4 reduce [count reflect b 'owned reflect b/2 'owned]",
     "[0 none none]"},
    // the action answers the series; other fields and values change nothing
    {"b: [1] modify b 'owned none", "[1]"},
    {"o: make object! [on-deep-change*: :log-deep] b: [1] modify b 'other reduce [o 'f] "
     "modify b 'owned 5 append b 2 reduce [count reflect b 'owned]",
     "[0 none]"},
    // the block must hold an object and a word
    {"modify [1] 'owned [1 2]", "error script/invalid-arg"},
    {"modify [1] 'owned reduce [make object! [] 1]", "error script/invalid-arg"},
    {"modify [1] 'owned reduce [make object! []]", "error script/invalid-arg"},
}, logged};

TEST_F(OwnershipTest, ModifyOfTheOwnedFieldGivesASeriesAwayOrTakesItBack) {
    expect_table(modify_of_the_owned_field_gives_a_series_away_or_takes_it_back);
}

TEST_F(OwnershipTest, AnUnownedSeriesCostsOneFlagTest) {
    Cell b = eval_value("[1 2]");
    EXPECT_FALSE(ownership::owned(&b));
    EXPECT_FALSE(ownership::check(&b, ownership::POKE, nullptr, 0, 1));
    // owned by an object without a change-handler record: nobody is told
    Cell owned = eval_value("o: make object! [b: [1]] modify o 'owner true o/b");
    EXPECT_TRUE(ownership::owned(&owned));
    EXPECT_FALSE(ownership::check(&owned, ownership::POKE, nullptr, 0, 1));
}

// ---- The value-slot store ----------------------------------------------------------------------

Cell integer_cell(int32_t n) {
    Cell c;
    cell::set(&c, TYPE_INTEGER, 0, uint32_t(n));
    return c;
}

TEST(SlotStore, HandsOutSlotsInOrderAndReusesTheLastReleasedFirst) {
    slot_store::init();
    for (int32_t i = 1; i <= 3; i++) {
        Cell v = integer_cell(10 * i);
        EXPECT_EQ(slot_store::put(&v), i);
    }
    EXPECT_EQ(cell::get_int(slot_store::get(2)), 20);
    slot_store::release(1);
    slot_store::release(3);
    Cell v = integer_cell(99);
    EXPECT_EQ(slot_store::put(&v), 3);
    EXPECT_EQ(slot_store::put(&v), 1);
    EXPECT_EQ(slot_store::put(&v), 4);
    // Index 0, and indexes outside the store, are ignored.
    slot_store::release(0);
    slot_store::release(-4);
    slot_store::release(slot_store::capacity() + 1);
    EXPECT_EQ(slot_store::get(0), nullptr);
    EXPECT_EQ(slot_store::put(&v), 5);
}

TEST(SlotStore, DoublesWhenFullKeepingEverySlot) {
    slot_store::init();
    for (int32_t i = 1; i <= slot_store::CAPACITY; i++) {
        Cell v = integer_cell(i);
        slot_store::put(&v);
    }
    EXPECT_EQ(slot_store::capacity(), slot_store::CAPACITY);
    Cell v = integer_cell(101);
    EXPECT_EQ(slot_store::put(&v), 101);
    EXPECT_EQ(slot_store::capacity(), 2 * slot_store::CAPACITY);
    for (int32_t i = 1; i <= 101; i++) EXPECT_EQ(cell::get_int(slot_store::get(i)), i);
    EXPECT_EQ(slot_store::put(&v), 102);
}

}  // namespace
}  // namespace zel::test
