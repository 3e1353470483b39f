// Form and mold of datatype!, unset!, none! and logic! values, with /all and
// the part budget they answer.
#include <climits>
#include <string>

#include "core/datatype.h"
#include "core/simple_types.h"
#include "tests/support/runtime_env.h"
#include "tests/support/text.h"

using namespace zel;
using namespace zel::test;

namespace {

Cell datatype_of(int type) {
    Cell c;
    cell::set(&c, TYPE_DATATYPE, uint32_t(type));
    return c;
}

struct Written {
    std::string text;
    int remaining;
};

Written formed(Cell value, int part = 100) {
    Cell buffer;
    string::make_at(&buffer, 16);
    int remaining = datatype::handler<ACT_FORM>(type_of(&value))(&value, &buffer, part);
    return {utf8_of(buffer), remaining};
}

Written molded(Cell value, bool all, int part = 100) {
    Cell buffer;
    string::make_at(&buffer, 16);
    int remaining = datatype::handler<ACT_MOLD>(type_of(&value))(&value, &buffer, false, all, false, part, 0);
    return {utf8_of(buffer), remaining};
}

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
        Written f = formed(c.value);
        EXPECT_EQ(f.text, c.form);
        EXPECT_EQ(f.remaining, 100 - int(f.text.size())) << c.form;
        Written m = molded(c.value, false);
        EXPECT_EQ(m.text, c.mold);
        EXPECT_EQ(m.remaining, 100 - int(m.text.size())) << c.mold;
        Written a = molded(c.value, true);
        EXPECT_EQ(a.text, c.mold_all);
        EXPECT_EQ(a.remaining, 100 - int(a.text.size())) << c.mold_all;
    }
}

// The handlers write whole texts; cutting to the part is the action's job.
TEST(SimpleTypesText, BudgetGoesNegative) {
    EXPECT_EQ(formed(logic::g_false, 2).remaining, -3);
    EXPECT_EQ(molded(datatype_of(TYPE_STRING), true, 0).remaining, -10);
}
