// Text helpers of the cell module: cycle markers and indentation.
#include <climits>
#include <string>

#include "foundation/cell.h"
#include "series/cell_text.h"
#include "tests/support/runtime_env.h"
#include "tests/support/text.h"

using namespace zel;
using namespace zel::test;

namespace {

constexpr Node WALKED = 0x12345;

// Keeps the cycle stack clean whatever a test leaves on it.
class CycleText : public ::testing::Test {
protected:
    void SetUp() override { cell::cycle_reset(); }
    void TearDown() override { cell::cycle_reset(); }
};

Cell value_over(int type, Node node) {
    Cell c;
    if (type == TYPE_OBJECT) cell::set(&c, type, node, 7, 0);  // context node in payload 1
    else cell::set(&c, type, 0, node, 0);
    return c;
}

}  // namespace

struct MarkerCase {
    int type;
    const char* mold;
};

TEST_F(CycleText, MarkerOfAValueAlreadyBeingWalked) {
    const MarkerCase cases[] = {
        {TYPE_BLOCK, "[...]"},     {TYPE_HASH, "[...]"},   {TYPE_PAREN, "(...)"},
        {TYPE_MAP, "#[...]"},      {TYPE_OBJECT, "make object! [...]"},
        {TYPE_PATH, "..."},        {TYPE_LIT_PATH, "..."}, {TYPE_SET_PATH, "..."},
        {TYPE_GET_PATH, "..."},
    };
    cell::cycle_push(WALKED);
    for (const MarkerCase& c : cases) {
        Cell value = value_over(c.type, WALKED);
        for (bool mold : {true, false}) {
            Cell out = text(">");
            int part = 50;
            EXPECT_TRUE(cell_text::cycle_detect_q(&value, &out, part, mold));
            std::string marker = mold ? c.mold : "...";
            EXPECT_EQ(utf8_of(out), ">" + marker);
            EXPECT_EQ(part, 50 - int(marker.size()));
        }
    }
}

TEST_F(CycleText, NoMarkerForAValueNotBeingWalked) {
    cell::cycle_push(WALKED + 1);
    Cell value = value_over(TYPE_BLOCK, WALKED);
    Cell out = text("");
    int part = 50;
    EXPECT_FALSE(cell_text::cycle_detect_q(&value, &out, part, true));
    EXPECT_EQ(utf8_of(out), "");
    EXPECT_EQ(part, 50);
}

// An object is walked by its context, not by payload 2.
TEST_F(CycleText, ObjectsAreFoundByTheirContext) {
    cell::cycle_push(7);
    Cell object = value_over(TYPE_OBJECT, WALKED);
    Cell out = text("");
    int part = 0;
    EXPECT_FALSE(cell_text::cycle_detect_q(&object, &out, part, true));
}

TEST(MoldIndent, FourSpacesPerLevel) {
    for (int level : {0, 1, 3}) {
        Cell out = text("[");
        EXPECT_EQ(cell_text::mold_indent(&out, level, 100), 100 - 4 * level);
        EXPECT_EQ(utf8_of(out), "[" + std::string(size_t(4 * level), ' '));
    }
}
