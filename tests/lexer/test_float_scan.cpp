// The float validation automaton: where signs, digits, the point, separators
// and the exponent may stand, and the length limit.
#include <string>

#include "scalars/float_scan.h"
#include "tests/support/runtime_env.h"

using namespace zel;

namespace {

bool valid(const std::string& text) {
    return float_scan::float_text_q(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

}  // namespace

TEST(FloatScan, AcceptedTexts) {
    const char* texts[] = {
        "1",
        "0",
        "-1.5e10",
        "+1.5E-10",
        "1e5",
        "1E+5",
        ".5",
        "1.",
        ".",
        "-.",
        "1'000",
        "1'000.5",
        "1'0'0",
        "1.5'5",
        "1.5'",
        "1'",
        "+-1",
        "--1",
        "1.5e0",
        "007",
        "0.000",
        "-.5e-3",
        "123456789012345678901234567890",
    };
    for (const char* t : texts) EXPECT_TRUE(valid(t)) << '"' << t << '"';
}

TEST(FloatScan, RejectedTexts) {
    const char* texts[] = {
        "",   "+",    "-",       "e5",    "1e",   "1e+",  "1e5.5", "1e5'0", "1ee5",   "1''0",
        "'1", "1'.5", "1'e5",    "1.5.5", "1..5", ".e5",  ".'5",   "1,5",   "1.#INF", "1x",
        " 1", "1 ",   "1.5e-+3", "1-",    "1e-",  "1.e5", "1.5''", "1.'5",
    };
    for (const char* t : texts) EXPECT_FALSE(valid(t)) << '"' << t << '"';
}

TEST(FloatScan, BytesOutsideTheTableAndNulAreBad) {
    EXPECT_FALSE(valid(std::string("1\0", 2)));
    EXPECT_FALSE(valid(std::string("\0", 1)));
    EXPECT_FALSE(valid("1\xC3\xA9"));
    EXPECT_FALSE(valid("1h"));
    EXPECT_FALSE(valid("1e\xFF"));
}

TEST(FloatScan, LengthLimit) {
    std::string longest(float_scan::FLOAT_TEXT_MAX, '1');
    EXPECT_TRUE(valid(longest));
    EXPECT_FALSE(valid(longest + "1"));
    EXPECT_FALSE(valid("1." + std::string(float_scan::FLOAT_TEXT_MAX - 1, '5')));
}
