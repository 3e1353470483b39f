// The trigonometric, logarithmic and exponential natives against results
// computed apart (make_maths_fixture.py: the same degree reduction, then
// Python's math module), within four units in the last place; the results
// the natives give exactly (zeros of sine and cosine, tangent's infinities)
// are in the fixture as exact values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/boot_env.h"

using namespace zel;

namespace {

int64_t ordered_bits(double d) {
    int64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return bits < 0 ? INT64_MIN - bits : bits;
}

// Units in the last place between two finite doubles of any sign.
uint64_t ulps_between(double a, double b) {
    int64_t x = ordered_bits(a), y = ordered_bits(b);
    return x > y ? uint64_t(x) - uint64_t(y) : uint64_t(y) - uint64_t(x);
}

}  // namespace

TEST(MathsNatives, MatchTheFixtureWithinFourUlps) {
    test::boot_environment();
    std::ifstream in(std::filesystem::path(__FILE__).parent_path() / "maths_fixture.txt");
    ASSERT_TRUE(in) << "maths_fixture.txt is missing";
    std::string line;
    int rows = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string native, arg_hex, result_hex;
        fields >> native >> arg_hex >> result_hex;
        double x = std::strtod(arg_hex.c_str(), nullptr);
        double expected = std::strtod(result_hex.c_str(), nullptr);
        char code[128];
        std::snprintf(code, sizeof code, "%s %.17e", native.c_str(), x);
        Cell result = test::eval_value(code);
        ASSERT_EQ(type_of(&result), TYPE_FLOAT) << code;
        double got = cell::get_float(&result);
        if (std::isnan(expected)) {
            EXPECT_TRUE(std::isnan(got)) << code;
        } else if (std::isinf(expected) || expected == 0.0) {
            EXPECT_EQ(got, expected) << code;  // stated exactly
        } else {
            EXPECT_LE(ulps_between(got, expected), 4u) << code << " gave " << got << ", expected " << expected;
        }
        rows++;
    }
    EXPECT_GT(rows, 1000);
}
