// vector! where C++ looks at it: the element functions at each unit, and a
// unit its element type cannot have, which is fatal. The cases of Zel code
// (spec forms, elements, mold, comparison, modification, arithmetic, the
// inherited series handlers) are in tests/cases/vector.cases.
#include <unistd.h>

#include <cstring>
#include <string>

#include "foundation/platform.h"
#include "series/vector.h"
#include "tests/support/eval_env.h"

namespace zel::test {
namespace {

TEST(Vector, ElementFunctions) {
    uint8_t bytes[8] = {};
    Cell value;
    cell::set(&value, TYPE_INTEGER, 0, uint32_t(-2));
    vector::set_value(bytes, &value, 2);
    EXPECT_EQ(bytes[0], 0xFE);
    EXPECT_EQ(bytes[1], 0xFF);
    EXPECT_EQ(bytes[2], 0x00) << "the bytes past the unit are left alone";
    Cell integer = vector::get_value(bytes, 2, TYPE_INTEGER);
    EXPECT_EQ(type_of(&integer), TYPE_INTEGER);
    EXPECT_EQ(cell::get_int(&integer), -2);
    EXPECT_EQ(vector::get_value(bytes, 2, TYPE_CHAR).data2, 0xFFFEu);
    EXPECT_EQ(vector::element_number(bytes, 1, TYPE_INTEGER), -2.0);
    EXPECT_EQ(vector::element_number(bytes, 1, TYPE_CHAR), 254.0);

    cell::set(&value, TYPE_PERCENT);
    cell::put_float(&value, 0.5);
    vector::set_value(bytes, &value, 8);
    Cell read = vector::get_value(bytes, 8, TYPE_PERCENT);
    EXPECT_EQ(type_of(&read), TYPE_PERCENT);
    EXPECT_EQ(cell::get_float(&read), 0.5);

    cell::set(&value, TYPE_LOGIC, 1);
    EXPECT_EQ(error_of([&] { vector::set_value(bytes, &value, 4); }), "script/invalid-type");
}

// An element read at a unit its type cannot have is a fault of the run-time:
// run-time error 101.
TEST(VectorDeathTest, ImpossibleUnitIsFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            platform::set_output_sink([](void*, const char* b, size_t n) { (void)!::write(2, b, n); },
                                      nullptr);
            Cell v = eval_value("make vector! [1.5]");
            v.data3 = TYPE_INTEGER;  // 8-byte elements read as integers
            vector::element_at(&v, 0);
        },
        ::testing::ExitedWithCode(101), "Runtime Error 101");
}

}  // namespace
}  // namespace zel::test
