// Form and mold of datatype!, unset!, none! and logic! values, with /all and
// the part budget they answer.
#include <climits>
#include <string>

#include "foundation/datatype.h"
#include "scalars/simple_types.h"
#include "tests/support/numbers.h"
#include "tests/support/runtime_env.h"
#include "tests/support/text.h"

using namespace zel;
using namespace zel::test;

namespace {

struct TextCase {
    Cell value;
    const char* form;
    const char* mold;
    const char* mold_all;
};

}  // namespace

TEST(SimpleTypesText, FormMoldAndMoldAll) {
    const TextCase cases[] = {
        {logic::g_true, "true", "true", "#(true)"},
        {logic::g_false, "false", "false", "#(false)"},
        {none::g_none, "none", "none", "#(none)"},
        {unset::g_unset, "", "unset", "#(unset)"},
        {datatype_of(TYPE_DATATYPE), "datatype", "datatype!", "#(datatype!)"},
        {datatype_of(TYPE_STRING), "string", "string!", "#(string!)"},
        {datatype_of(TYPE_LOGIC), "logic", "logic!", "#(logic!)"},
    };
    for (const TextCase& c : cases) {
        Written f = written_by_form(c.value, 100);
        EXPECT_EQ(f.text, c.form);
        EXPECT_EQ(f.budget, 100 - int(f.text.size())) << c.form;
        Written m = written_by_mold(c.value, false, 100);
        EXPECT_EQ(m.text, c.mold);
        EXPECT_EQ(m.budget, 100 - int(m.text.size())) << c.mold;
        Written a = written_by_mold(c.value, true, 100);
        EXPECT_EQ(a.text, c.mold_all);
        EXPECT_EQ(a.budget, 100 - int(a.text.size())) << c.mold_all;
    }
}

// The handlers write whole texts; cutting to the part is the action's job.
TEST(SimpleTypesText, BudgetGoesNegative) {
    EXPECT_EQ(written_by_form(logic::g_false, 2).budget, -3);
    EXPECT_EQ(written_by_mold(datatype_of(TYPE_STRING), true, 0).budget, -10);
}
