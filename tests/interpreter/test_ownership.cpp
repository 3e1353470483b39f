// Ownership where C++ looks at it: the table entries, taking ownership
// away; and the value-slot store. Which series an object with
// on-deep-change* owns is in tests/cases/ownership.cases.
#include "foundation/slot_store.h"
#include "interpreter/object.h"
#include "series/block.h"
#include "series/ownership.h"
#include "tests/support/eval_tables.h"
#include "tests/support/fields.h"

namespace zel::test {
namespace {

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

TEST_F(OwnershipTest, TheTableNamesTheOwnerAndTheFieldWord) {
    Cell b = eval_value("b: [1 2] o: make object! [f: b on-deep-change*: :log-deep] b");
    Cell o = eval_value("o");
    EXPECT_TRUE(ownership::owned(&b));
    const Cell* entry = ownership::find(node_of(b));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(type_of(entry), TYPE_OBJECT);
    EXPECT_EQ(object::context_of(entry), object::context_of(&o));
    EXPECT_EQ(mold_of(entry[1]), "f");

    ownership::unbind(&b);
    EXPECT_FALSE(ownership::owned(&b));
    EXPECT_EQ(ownership::find(node_of(b)), nullptr);
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
