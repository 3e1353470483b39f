// make and to read a spec of every text type (string!, file!, url!, tag!,
// email!, ref!) as its text, whichever type they make: the scalars that
// load text, and the text types themselves.
#include <string>

#include "foundation/collector.h"
#include "scalars/simple_types.h"
#include "tests/support/eval_env.h"
#include "tests/support/numbers.h"
#include "tests/support/text.h"

using namespace zel;
using namespace zel::test;

namespace {

constexpr int TEXT_TYPES[] = {TYPE_STRING, TYPE_FILE, TYPE_URL, TYPE_TAG, TYPE_EMAIL, TYPE_REF};

struct SpecCase {
    int type;          // the type made
    const char* text;  // the spec's text
    const char* result;
};

// What `to` makes of the spec, as typed_mold() writes it, or the error's
// "category/id". The result and the mold's buffer are kept from the
// collector, which may run at any allocation of the mold.
std::string to_of(int type, Cell spec) {
    gc::root keep_spec(&spec);
    Cell result = value_of(TYPE_DATATYPE, uint32_t(type));
    gc::root keep_result(&result);
    auto to = reinterpret_cast<action::MakeFn>(datatype::raw_handler(type, ACT_TO));
    try {
        to(&result, &spec, type);
    } catch (const ErrorThrow& e) {
        return std::string(e.category_name()) + "/" + e.id_name();
    }
    Cell buffer;
    string::make_at(&buffer, 16);
    gc::root keep_buffer(&buffer);
    datatype::handler<ACT_MOLD>(type_of(&result))(&result, &buffer, false, false, false, 1000, 0);
    return std::string(datatype::type_name(type_of(&result))) + " " + utf8_of(buffer);
}

}  // namespace

TEST(TextSpecs, EveryTextTypeIsReadAsItsText) {
    const SpecCase cases[] = {
        {TYPE_INTEGER, "42", "integer! 42"},   {TYPE_INTEGER, "4x", "script/bad-to-arg"},
        {TYPE_FLOAT, "1.5", "float! 1.5"},     {TYPE_PERCENT, "50%", "percent! 50%"},
        {TYPE_CHAR, "a", "char! #\"a\""},      {TYPE_TIME, "1:02:03", "time! 1:02:03"},
        {TYPE_TUPLE, "1.2.3", "tuple! 1.2.3"}, {TYPE_MONEY, "$1.50", "money! $1.50"},
        {TYPE_STRING, "ab", "string! \"ab\""}, {TYPE_FILE, "ab", "file! %ab"},
    };
    for (const SpecCase& c : cases) {
        for (int text_type : TEXT_TYPES) {
            Cell spec = text(c.text);
            cell::set_type(&spec, text_type);
            EXPECT_EQ(to_of(c.type, spec), c.result)
                << datatype::type_name(c.type) << " from " << datatype::type_name(text_type) << " "
                << c.text;
        }
    }
}

// Specs of other types are still refused by the types that load text.
TEST(TextSpecs, OtherSpecsAreRefused) {
    for (int type :
         {TYPE_INTEGER, TYPE_FLOAT, TYPE_PERCENT, TYPE_CHAR, TYPE_TIME, TYPE_TUPLE, TYPE_MONEY})
        EXPECT_EQ(to_of(type, none::g_none), "script/bad-to-arg") << datatype::type_name(type);
}
