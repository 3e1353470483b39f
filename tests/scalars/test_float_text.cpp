// The text of float! and percent! values: form precision per kind, the pretty
// pass that hides tiny magnitudes and noise digits, the rounding of the
// fixed-precision prints, the ".0" and "%" decorations and the specials.
#include <cmath>
#include <limits>
#include <string>

#include "scalars/float_text.h"
#include "tests/support/runtime_env.h"

using namespace zel;

namespace {

constexpr double INF = std::numeric_limits<double>::infinity();

// Sets pretty printing for one test and puts it back afterwards.
class Pretty {
  public:
    explicit Pretty(int on) : saved_(float_::pretty_print_q) { float_::pretty_print_q = on; }
    ~Pretty() { float_::pretty_print_q = saved_; }

  private:
    int saved_;
};

struct Case {
    double value;
    const char* text;
};

std::string text(double value, int kind) { return float_::to_text(value, kind).c_str(); }

}  // namespace

TEST(FloatForm, PrettyPrinting) {
    Pretty on(1);
    Case cases[] = {
        {0.1 + 0.2, "0.3"},
        {0.7 + 0.1, "0.8"},  // 0.7999999999999999 ends in "99": printed again at 14 digits
        {1e23, "1.0e23"},    // 9.999999999999999e22 likewise
        {1e20, "1.0e20"},
        {1e-20, "0.0"},
        {1e-16, "0.0"},
        {-1e-16, "0.0"},
        {-0.0, "0.0"},
        {2.220446049250313e-16, "2.220446049250313e-16"},  // not below epsilon
        {100.0, "100.0"},
        {1.5, "1.5"},
        {-2.0, "-2.0"},
        {1e15, "1000000000000000.0"},
        {1e16, "1.0e16"},
        {0.0001, "0.0001"},
        {0.00001, "1.0e-5"},
        {123456789012345.6, "123456789012345.6"},  // long, but not ending in 01 or 99
        {1.234567890123401, "1.2345678901234"},    // 17 characters before the exponent
        {0.1234567890123401, "0.12345678901234"},  // a leading 0 allows 17 characters
        {0.123456789012301, "0.123456789012301"},  // 17 with a leading 0: kept
        {-0.1234567890123401, "-0.12345678901234"},
        {1234567890123456789.0, "1.234567890123457e18"},
        {INF, "1.#INF"},
        {-INF, "-1.#INF"},
        {std::nan(""), "1.#NaN"},
    };
    for (const Case& c : cases) EXPECT_EQ(text(c.value, float_::TEXT_FLOAT), c.text) << c.value;
}

TEST(FloatForm, WithoutPrettyPrintingEveryDigitShows) {
    Pretty off(0);
    Case cases[] = {
        {1e-20, "1.0e-20"},  // 9.9999999999999995e-21 at 17 digits, half-up to 16
        {0.7 + 0.1, "0.7999999999999999"},
        {1e23, "9.999999999999999e22"},
        {0.1 + 0.2, "0.3"},
        {-0.0, "-0.0"},
        {0.0, "0.0"},
        {1e-300, "1.0e-300"},
        {5e-324, "4.940656458412465e-324"},
        {INF, "1.#INF"},
    };
    for (const Case& c : cases) EXPECT_EQ(text(c.value, float_::TEXT_FLOAT), c.text) << c.value;
}

TEST(FloatForm, MoldIsTheShortestTextWithItsPoint) {
    Case cases[] = {
        {0.1, "0.1"},     {100.0, "100.0"}, {1e17, "1.0e17"}, {1e-7, "0.0000001"},
        {1e-8, "1.0e-8"}, {0.0, "0.0"},     {-0.0, "-0.0"},   {0.7 + 0.1, "0.7999999999999999"},
        {INF, "1.#INF"},
    };
    for (const Case& c : cases) EXPECT_STREQ(float_::mold_text(c.value).c_str(), c.text) << c.value;
    EXPECT_STREQ(float_::form_text(0.7 + 0.1).c_str(), "0.8");
}

TEST(PercentForm, HundredfoldWithThirteenDigits) {
    Pretty on(1);
    Case cases[] = {
        {0.5, "50%"},
        {0.125, "12.5%"},
        {-0.5, "-50%"},
        {1e-22, "0%"},
        {0.07, "7%"},  // 7.000000000000001 at 13 digits
        {1.0 / 3, "33.33333333333%"},
        {1e20, "1e22%"},
        {INF, "1.#INF"},
        {-INF, "-1.#INF"},
        {std::nan(""), "1.#NaN"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(percent::form_text(c.value).c_str(), std::string(c.text)) << c.value;
    Pretty off(0);
    EXPECT_STREQ(percent::form_text(1e-22).c_str(), "1e-20%");
    EXPECT_STREQ(percent::form_text(-0.0).c_str(), "-0%");
}

TEST(FloatForm, OtherKinds) {
    Pretty on(1);
    struct KindCase {
        double value;
        int kind;
        const char* text;
    } cases[] = {
        {double(0.1f), float_::TEXT_FLOAT32, "0.1"},
        {double(3.0f), float_::TEXT_FLOAT32, "3.0"},
        {double(16777216.0f), float_::TEXT_FLOAT32, "1.677722e7"},
        {double(1e10f), float_::TEXT_FLOAT32, "1.0e10"},
        {double(1e-20f), float_::TEXT_FLOAT32, "0.0"},
        {double(0.5f) * 100.0, float_::TEXT_PERCENT32, "50%"},
        {double(1.1f) * 100.0, float_::TEXT_PERCENT32, "110%"},
        {12.3456789, float_::TEXT_SECONDS, "12.3457"},  // 6 significant digits
        {2.5, float_::TEXT_SECONDS, "2.5"},
        {30.0, float_::TEXT_SECONDS, "30"},
        {59.9999999, float_::TEXT_SECONDS, "60"},
        {0.000001234567, float_::TEXT_SECONDS, "0.00000123457"},
        {1e-20, float_::TEXT_SECONDS, "0.0"},
        {1.5, float_::TEXT_POINT, "1.5"},
        {2.0, float_::TEXT_POINT, "2"},
        {1e20, float_::TEXT_POINT, "1e20"},
        {1e-20, float_::TEXT_POINT, "0"},
        {1.0 / 3, float_::TEXT_POINT, "0.3333333"},
        {-INF, float_::TEXT_POINT, "-1.#INF"},
    };
    for (const KindCase& c : cases)
        EXPECT_EQ(text(c.value, c.kind), c.text) << c.value << " kind " << c.kind;
    Pretty off(0);
    EXPECT_EQ(text(1e-20, float_::TEXT_SECONDS), "1e-20");
    EXPECT_EQ(text(1e-20, float_::TEXT_POINT), "1e-20");
}
