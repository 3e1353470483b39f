// Float text conversion: digits, the float text layout and its thresholds,
// zeros and specials, reading text back with its stop rules, rounding at the
// edges of the double range, and a fixture of doubles checked against the
// shortest digits of another implementation.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

#include "scalars/dtoa.h"
#include "tests/support/runtime_env.h"

using namespace zel;

namespace {

constexpr double INF = std::numeric_limits<double>::infinity();

uint64_t bits_of(double d) { return std::bit_cast<uint64_t>(d); }

std::string mold(double v) { return dtoa::form_float(v, 0, true).c_str(); }

double read(const std::string& text, int adjust, int& unconsumed) {
    return dtoa::string_to_float(text.data(), text.data() + text.size(), adjust, unconsumed);
}

double read_all(const std::string& text) {
    int unconsumed = -1;
    double v = read(text, 0, unconsumed);
    EXPECT_EQ(unconsumed, 0) << text;
    return v;
}

}  // namespace

TEST(FloatToDigits, ShortestDigitsAndPointPosition) {
    struct Case {
        double value;
        const char* digits;
        int decpt;
        int sign;
    } cases[] = {
        {0.1, "1", 0, 0},
        {-0.1, "1", 0, 1},
        {0.1 + 0.2, "30000000000000004", 0, 0},
        {123456.789, "123456789", 6, 0},
        {1e16, "1", 17, 0},
        {5e-324, "5", -323, 0},
        {1.7976931348623157e308, "17976931348623157", 309, 0},
        {1e23, "1", 24, 0},
        {9007199254740993.0, "9007199254740992", 16, 0},
    };
    for (const Case& c : cases) {
        dtoa::Digits d = dtoa::float_to_digits(c.value, 0, true);
        EXPECT_STREQ(d.text, c.digits) << c.value;
        EXPECT_EQ(d.length, int(std::strlen(c.digits))) << c.value;
        EXPECT_EQ(d.decpt, c.decpt) << c.value;
        EXPECT_EQ(d.sign, c.sign) << c.value;
    }
}

TEST(FloatToDigits, GivenDigitsRoundToNearestEvenAndCarry) {
    struct Case {
        double value;
        int ndigits;
        const char* digits;
        int decpt;
    } cases[] = {
        {12.3456789, 6, "123457", 2},
        {2.5, 6, "25", 1},
        {0.000001234567, 6, "123457", -5},
        {2.5, 1, "2", 1},  // exact tie: even digit
        {3.5, 1, "4", 1},
        {0.125, 2, "12", 0},  // 0.125 is exact
        {0.375, 2, "38", 0},
        {999999.5, 6, "1", 7},  // tie to even carries through the 9s
        {9.9999996, 6, "1", 2},
        {0.1, 22, "1000000000000000055511", 0},
        {0.1, 99, "100000000000000005551115123126", 0},  // cut to the 30 digits kept
    };
    for (const Case& c : cases) {
        dtoa::Digits d = dtoa::float_to_digits(c.value, c.ndigits, false);
        EXPECT_STREQ(d.text, c.digits) << c.value << " ndigits " << c.ndigits;
        EXPECT_EQ(d.decpt, c.decpt) << c.value << " ndigits " << c.ndigits;
    }
}

TEST(FloatToDigits, ZerosAndSpecialsAreFinalTexts) {
    struct Case {
        double value;
        bool zero_text;
        const char* text;
        int decpt;
    } cases[] = {
        {0.0, true, "0.0", dtoa::DECPT_ZERO},
        {-0.0, true, "-0.0", dtoa::DECPT_ZERO},
        {0.0, false, "0", dtoa::DECPT_ZERO},
        {-0.0, false, "-0", dtoa::DECPT_ZERO},
        {INF, true, "1.#INF", dtoa::DECPT_SPECIAL},
        {-INF, false, "-1.#INF", dtoa::DECPT_SPECIAL},
        {std::nan(""), true, "1.#NaN", dtoa::DECPT_SPECIAL},
        {-std::nan(""), true, "1.#NaN", dtoa::DECPT_SPECIAL},
    };
    for (const Case& c : cases) {
        dtoa::Digits d = dtoa::float_to_digits(c.value, 0, c.zero_text);
        EXPECT_STREQ(d.text, c.text);
        EXPECT_EQ(d.length, int(std::strlen(c.text)));
        EXPECT_EQ(d.decpt, c.decpt) << c.text;
        EXPECT_STREQ(dtoa::form_float(c.value, 0, c.zero_text).c_str(), c.text);
    }
}

TEST(FormFloat, MoldLayoutAndThresholds) {
    struct Case {
        double value;
        const char* text;
    } cases[] = {
        {0.1, "0.1"},
        {0.1 + 0.2, "0.30000000000000004"},
        {5e-324, "5.0e-324"},
        {1.7976931348623157e308, "1.7976931348623157e308"},
        {1e16, "10000000000000000.0"},
        {99999999999999984.0, "99999999999999980.0"},  // last positional value
        {1e17, "1.0e17"},
        {-1e17, "-1.0e17"},
        {1.2345e20, "1.2345e20"},
        {1e-7, "0.0000001"},
        {1.5e-7, "0.00000015"},
        {1e-8, "1.0e-8"},
        {-5e-8, "-5.0e-8"},
        {123456.789, "123456.789"},
        {100.0, "100.0"},
        {12.5, "12.5"},
        {-12.5, "-12.5"},
        {0.000123, "0.000123"},
        {1.0, "1.0"},
        {1e300, "1.0e300"},
        {2.2250738585072014e-308, "2.2250738585072014e-308"},
    };
    for (const Case& c : cases) EXPECT_EQ(mold(c.value), c.text) << c.value;
}

TEST(FormFloat, WithoutZeroTextThePointGoes) {
    struct Case {
        double value;
        int ndigits;
        const char* text;
    } cases[] = {
        {100.0, 0, "100"},
        {1e17, 0, "1e17"},
        {-5e-8, 0, "-5e-8"},
        {1.5e20, 0, "1.5e20"},
        {1.5, 0, "1.5"},
        {12.3456789, 6, "12.3457"},
        {2.5, 6, "2.5"},
        {0.000001234567, 6, "0.00000123457"},
        {59.9999999, 6, "60"},
        {-0.0000001234567, 6, "-0.000000123457"},
        {1.234567e-8, 6, "1.23457e-8"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(dtoa::form_float(c.value, c.ndigits, false).c_str(), c.text) << c.value;
}

TEST(StringToFloat, AcceptedTextsAndStopPositions) {
    struct Case {
        const char* text;
        int adjust;
        double value;
        int unconsumed;
    } cases[] = {
        {"0.1", 0, 0.1, 0},
        {"12abc", 0, 12.0, 3},
        {"1e", 0, 1.0, 1},    // an "e" with nothing after it is not read
        {"1e+", 0, 1.0, 0},   // but a sign after it is an exponent of 0
        {"1e5x", 0, 1e5, 1},  // a stray byte after exponent digits stops the scan
        {"1ex", 0, 1.0, 1},
        {"50", -2, 0.5, 0},
        {"12.5", -2, 0.125, 0},
        {"1e3", 2, 1e5, 0},
        {"+1.5", 0, 1.5, 0},
        {"-1.5E-3", 0, -1.5e-3, 0},
        {".5", 0, 0.5, 0},
        {"5.", 0, 5.0, 0},
        {"000123.4500", 0, 123.45, 0},
        {"0.000123", 0, 0.000123, 0},
        {"0e999999", 0, 0.0, 0},
        {"1.5.5", 0, 1.5, 2},
        {"1'000", 0, 1.0, 4},  // separators are for callers to remove
        {"1,5", 0, 1.0, 2},
        {"0.#INF", 0, 0.0, 4},    // no significant digit: not a special form
        {"12.#INF", 0, 12.0, 4},  // two digits: not a special form either
        {"1.#", 0, 1.0, 1},
        {"1.#X", 0, 1.0, 2},
        {"", 0, 0.0, 0},
        {".", 0, 0.0, 1},  // no digit: nothing is read
        {"-", 0, 0.0, 1},
        {"abc", 0, 0.0, 3},
        {" 1", 0, 0.0, 2},
        {"e5", 0, 0.0, 2},
    };
    for (const Case& c : cases) {
        int unconsumed = -1;
        double v = read(c.text, c.adjust, unconsumed);
        EXPECT_EQ(bits_of(v), bits_of(c.value)) << '"' << c.text << "\" gave " << v;
        EXPECT_EQ(unconsumed, c.unconsumed) << '"' << c.text << '"';
    }
}

TEST(StringToFloat, SpecialForms) {
    struct Case {
        const char* text;
        uint64_t bits;
    } cases[] = {
        {"1.#INF", 0x7FF0000000000000ull},  {"-1.#inf", 0xFFF0000000000000ull},
        {"+1.#Inf", 0x7FF0000000000000ull}, {"7.#INF", 0x7FF0000000000000ull},
        {"01.#INF", 0x7FF0000000000000ull}, {"1.#NaN", 0x7FF8000000000000ull},
        {"-1.#nan", 0x7FF8000000000000ull},  // NaN is always the positive quiet one
        {"1.#Ixyz", 0x7FF0000000000000ull},  // the rest is not examined
    };
    for (const Case& c : cases) {
        int unconsumed = -1;
        double v = read(c.text, 0, unconsumed);
        EXPECT_EQ(bits_of(v), c.bits) << c.text;
        EXPECT_EQ(unconsumed, 0) << c.text;
    }
}

TEST(StringToFloat, EdgesOfTheDoubleRange) {
    struct Case {
        std::string text;
        uint64_t bits;
    } cases[] = {
        {"1e400", 0x7FF0000000000000ull},
        {"-1e400", 0xFFF0000000000000ull},
        {"1e-400", 0x0000000000000000ull},
        {"-1e-400", 0x8000000000000000ull},
        {"1e99999999999", 0x7FF0000000000000ull},
        {"-1e99999999999", 0xFFF0000000000000ull},
        {"1e-99999999999", 0x0000000000000000ull},
        {"-1e-99999999999", 0x8000000000000000ull},
        {"1e99999999999999999999999999999", 0x7FF0000000000000ull},
        {"0.0000000001e99999999999", 0x7FF0000000000000ull},
        {"1.7976931348623157e308", 0x7FEFFFFFFFFFFFFFull},
        {"1.7976931348623158e308", 0x7FEFFFFFFFFFFFFFull},  // below the halfway point to 2^1024
        {"1.7976931348623159e308", 0x7FF0000000000000ull},
        {"2.2250738585072011e-308", 0x000FFFFFFFFFFFFFull},  // largest subnormal
        {"2.2250738585072014e-308", 0x0010000000000000ull},  // smallest normal
        {"5e-324", 0x0000000000000001ull},
        {"2.4703282292062327e-324",
         0x0000000000000000ull},  // just under half the smallest subnormal
        {"2.4703282292062328e-324", 0x0000000000000001ull},  // just over
        {"1e23", 0x44B52D02C7E14AF6ull},
        {"9007199254740993", 0x4340000000000000ull},  // halfway: even mantissa
        {"9007199254740995", 0x4340000000000002ull},
        {"9007199254740993.0000000000000000000000000000001", 0x4340000000000001ull},
        {"1" + std::string(400, '0') + "e-400", 0x3FF0000000000000ull},
        {"0." + std::string(400, '0') + "1e400", 0x3FB999999999999Aull},
        // More digits than are kept: a non-zero digit far out still decides the halfway case.
        {"9007199254740993" + std::string(900, '0') + "1e-901", 0x4340000000000001ull},
        {"9007199254740993" + std::string(900, '0') + "e-900", 0x4340000000000000ull},
    };
    for (const Case& c : cases)
        EXPECT_EQ(bits_of(read_all(c.text)), c.bits) << c.text.substr(0, 60);
}

TEST(StringToFloat, ExponentAdjustmentSaturatesToo) {
    int unconsumed = -1;
    EXPECT_EQ(read("1e308", 2, unconsumed), INF);
    EXPECT_EQ(bits_of(read("-1e-323", -2, unconsumed)), 0x8000000000000000ull);
    EXPECT_EQ(read("1e-2147483648", 2147483647, unconsumed), 0.1);
}

// Doubles with the shortest digits python3's repr gives for them, and decimal
// texts with the double nearest to them, made by tools/gen_float_fixture.py.
TEST(FloatTextFixture, ShortestDigitsAndRoundTripsMatchTheReference) {
    std::filesystem::path file =
        std::filesystem::path(__FILE__).parent_path() / "float_fixture.txt";
    std::ifstream in(file);
    ASSERT_TRUE(in) << file;
    int doubles = 0, texts = 0, failures = 0;
    std::string line;
    while (std::getline(in, line) && failures < 20) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string kind;
        fields >> kind;
        if (kind == "d") {
            std::string hex, digits;
            int decpt = 0;
            fields >> hex >> digits >> decpt;
            uint64_t bits = std::stoull(hex, nullptr, 16);
            double v = std::bit_cast<double>(bits);
            dtoa::Digits d = dtoa::float_to_digits(v, 0, true);
            std::string text = dtoa::form_float(v, 0, true).c_str();
            bool ok = d.text == digits && d.decpt == decpt && d.sign == int(bits >> 63) &&
                      bits_of(read_all(text)) == bits;
            if (!ok) {
                ++failures;
                ADD_FAILURE() << hex << ": digits " << d.text << " decpt " << d.decpt
                              << ", expected " << digits << " " << decpt << "; text " << text;
            }
            ++doubles;
        } else if (kind == "r") {
            std::string text, hex;
            fields >> text >> hex;
            uint64_t bits = std::stoull(hex, nullptr, 16);
            if (bits_of(read_all(text)) != bits) {
                ++failures;
                ADD_FAILURE() << "reading " << text.substr(0, 60) << " expected " << hex;
            }
            ++texts;
        }
    }
    EXPECT_EQ(failures, 0);
    EXPECT_GE(doubles, 10000);
    EXPECT_GE(texts, 1000);
}
