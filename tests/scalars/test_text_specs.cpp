// make and to read a spec of every text type (string!, file!, url!, tag!,
// email!, ref!) as its text, whichever type they make: the scalars that
// load text, and the text types themselves.
#include <string>

#include "core/collector.h"
#include "core/simple_types.h"
#include "tests/support/numbers.h"
#include "tests/support/eval_env.h"
#include "tests/support/text.h"

using namespace zel;
using namespace zel::test;

namespace {

constexpr int TEXT_TYPES[] = {TYPE_STRING, TYPE_FILE, TYPE_URL, TYPE_TAG, TYPE_EMAIL, TYPE_REF};

struct SpecCase {
    int type;          // made
    const char* text;  // of the spec
    const char* result;
};

}  // namespace

TEST(TextSpecs, EveryTextTypeIsReadAsItsText) {
    const SpecCase cases[] = {
        {TYPE_INTEGER, "42", "integer! 42"},
        {TYPE_INTEGER, "4x", "script/bad-to-arg"},
        {TYPE_FLOAT, "1.5", "float! 1.5"},
        {TYPE_PERCENT, "50%", "percent! 50%"},
        {TYPE_CHAR, "a", "char! #\"a\""},
        {TYPE_TIME, "1:02:03", "time! 1:02:03"},
        {TYPE_TUPLE, "1.2.3", "tuple! 1.2.3"},
        {TYPE_MONEY, "$1.50", "money! $1.50"},
        {TYPE_STRING, "ab", "string! \"ab\""},
        {TYPE_FILE, "ab", "file! %ab"},
    };
    for (const SpecCase& c : cases) {
        for (int text_type : TEXT_TYPES) {
            Cell spec = text(c.text);
            gc::root keep(&spec);
            cell::set_type(&spec, text_type);
            EXPECT_EQ(made(ACT_TO, c.type, spec), c.result)
                << datatype::type_name(c.type) << " from " << datatype::type_name(text_type) << " " << c.text;
        }
    }
}

// Specs of other types are still refused by the types that load text.
TEST(TextSpecs, OtherSpecsAreRefused) {
    for (int type : {TYPE_INTEGER, TYPE_FLOAT, TYPE_PERCENT, TYPE_CHAR, TYPE_TIME, TYPE_TUPLE, TYPE_MONEY})
        EXPECT_EQ(made(ACT_TO, type, none::g_none), "script/bad-to-arg") << datatype::type_name(type);
}
