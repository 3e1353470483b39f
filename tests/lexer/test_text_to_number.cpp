// Text-to-number converters of `to`: integers with separators and the one
// text past the range that fits, floats through the validation automaton,
// money text taken apart, tuples, hex pairs; every converter reads 1-, 2- and
// 4-byte units alike and never takes a wide character for a narrow one.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "scalars/text_to_number.h"
#include "series/string.h"
#include "tests/support/runtime_env.h"

using namespace zel;
using namespace zel::text_to_number;

namespace {

// The text's characters stored in units of the given width.
std::vector<uint8_t> units(const std::u32string& text, int unit) {
    std::vector<uint8_t> bytes(text.size() * size_t(unit) + 1);
    for (size_t i = 0; i < text.size(); i++)
        string::put_char(bytes.data() + i * size_t(unit), unit, text[i]);
    return bytes;
}

std::u32string wide(const std::string& ascii) { return std::u32string(ascii.begin(), ascii.end()); }

constexpr int UNITS[] = {1, 2, 4};

}  // namespace

TEST(TextToInteger, SignsDigitsSeparatorsAndRange) {
    struct Case {
        const char* text;
        int32_t result;
        int error;
    };
    const Case cases[] = {
        {"0", 0, TEXT_OK},
        {"1'000'000", 1000000, TEXT_OK},
        {"'1'", 1, TEXT_OK},
        {"1''2", 12, TEXT_OK},
        {"+5", 5, TEXT_OK},
        {"-0", 0, TEXT_OK},
        {"007", 7, TEXT_OK},
        {"2147483647", 2147483647, TEXT_OK},
        {"-2147483647", -2147483647, TEXT_OK},
        {"-2147483648", INT32_MIN, TEXT_OK},
        {"-2'147'483'648''", INT32_MIN, TEXT_OK},
        {"2147483648", 0, TEXT_OVERFLOW},
        {"-2147483649", 0, TEXT_OVERFLOW},
        {"-21474836480", 0, TEXT_OVERFLOW},
        {"-2147483648'0", 0, TEXT_OVERFLOW},
        {"99999999999999999999", 0, TEXT_OVERFLOW},
        {"12a", 0, TEXT_INVALID},
        {" 1", 0, TEXT_INVALID},
        {"1.0", 0, TEXT_INVALID},
        {"--1", 0, TEXT_INVALID},
        {"", 0, TEXT_INVALID},
        {"-", 0, TEXT_INVALID},
        {"+", 0, TEXT_INVALID},
        {"'", 0, TEXT_INVALID},
        {"-''", 0, TEXT_INVALID},
    };
    for (int unit : UNITS)
        for (const Case& c : cases) {
            std::string t = c.text;
            std::vector<uint8_t> b = units(wide(t), unit);
            int error = TEXT_OK;
            int32_t v = text_to_integer(b.data(), int(t.size()), unit, error);
            EXPECT_EQ(error, c.error) << c.text << " unit " << unit;
            if (c.error == TEXT_OK) {
                EXPECT_EQ(v, c.result) << c.text << " unit " << unit;
            }
        }
}

TEST(TextToInteger, WideCharactersAreNeverDigits) {
    // Low bytes that read as "1", "-" and "'" in a narrower unit.
    for (char32_t c : {U'\u0131', U'\u012D', U'\u0127', U'\u0663', U'\U00010031'}) {
        for (int unit : {2, 4}) {
            if (c > 0xFFFF && unit == 2) continue;
            std::u32string text = U"1";
            text += c;
            std::vector<uint8_t> b = units(text, unit);
            int error = TEXT_OK;
            text_to_integer(b.data(), 2, unit, error);
            EXPECT_EQ(error, TEXT_INVALID) << uint32_t(c) << " unit " << unit;
        }
    }
}

TEST(TextToFloat, ValidatedThenConverted) {
    struct Case {
        std::string text;
        double result;
        bool ok;
    };
    const Case cases[] = {
        {"1,5", 1.5, true},
        {"1'000.25", 1000.25, true},
        {"1.5e3", 1500.0, true},
        {"-1.5E-3", -0.0015, true},
        {".5", 0.5, true},
        {"1.", 1.0, true},
        {"0.1", 0.1, true},
        {"1e400", HUGE_VAL, true},
        {"1e-400", 0.0, true},
        {"0." + std::string(309, '0') + "1", 1e-310, true},  // 312 characters
        {"0." + std::string(310, '0') + "1", 0, false},      // 313
        {"abc", 0, false},
        {"", 0, false},
        {"1e", 0, false},
        {"1.5.2", 0, false},
        {"+-1", 0, false},
        {"'1", 0, false},
        {"1.#INF", 0, false},
        {"1 ", 0, false},
    };
    for (int unit : UNITS)
        for (const Case& c : cases) {
            std::vector<uint8_t> b = units(wide(c.text), unit);
            int error = TEXT_OK;
            double d = text_to_float(b.data(), int(c.text.size()), unit, error);
            if (c.ok) {
                EXPECT_EQ(error, TEXT_OK) << c.text << " unit " << unit;
                EXPECT_EQ(d, c.result) << c.text << " unit " << unit;
            } else {
                EXPECT_EQ(error, TEXT_INVALID) << c.text << " unit " << unit;
                EXPECT_TRUE(std::isnan(d)) << c.text;
            }
        }
    // U+012E holds "." in its low byte.
    std::vector<uint8_t> b = units(U"1\u012E5", 2);
    int error = TEXT_OK;
    EXPECT_TRUE(std::isnan(text_to_float(b.data(), 3, 2, error)));
    EXPECT_EQ(error, TEXT_INVALID);
}

TEST(TextToMoney, ScannedIntoParts) {
    struct Case {
        const char* text;
        int error;
        bool negative = false;
        const char* currency = "";
        const char* integer = "";
        const char* fraction = "";
    };
    const Case cases[] = {
        {"$1.50", TEXT_OK, false, "", "1", "50"},
        {"-USD$1'000.25", TEXT_OK, true, "USD", "1000", "25"},
        {"EUR$5", TEXT_OK, false, "EUR", "5", ""},
        {"eur$5", TEXT_OK, false, "eur", "5", ""},
        {"+$5", TEXT_OK, false, "", "5", ""},
        {"1.5", TEXT_OK, false, "", "1", "5"},
        {"007.50", TEXT_OK, false, "", "7", "50"},
        {"0.05", TEXT_OK, false, "", "", "05"},
        {"-$0", TEXT_OK, true, "", "", ""},
        {"USD1", TEXT_INVALID},
        {"$'1", TEXT_INVALID},
        {"$1.", TEXT_INVALID},
        {"$1,5", TEXT_INVALID},
        {"US$1", TEXT_INVALID},
        {"USD$", TEXT_INVALID},
        {"", TEXT_INVALID},
        {"$", TEXT_INVALID},
        {"-", TEXT_INVALID},
        {"$.5", TEXT_INVALID},
        {"1'", TEXT_INVALID},
        {"1''2", TEXT_INVALID},
        {"1'.5", TEXT_INVALID},
        {"1.2'3", TEXT_INVALID},
        {"1.2.3", TEXT_INVALID},
        {"$$1", TEXT_INVALID},
        {"1 ", TEXT_INVALID},
        {"123456789012345678901234567890123", TEXT_INVALID},  // 33 digits
    };
    for (int unit : UNITS)
        for (const Case& c : cases) {
            std::string t = c.text;
            std::vector<uint8_t> b = units(wide(t), unit);
            MoneyText parts;
            EXPECT_EQ(scan_money_text(b.data(), int(t.size()), unit, parts), c.error)
                << c.text << " unit " << unit;
            if (c.error != TEXT_OK) continue;
            EXPECT_EQ(parts.negative, c.negative) << c.text;
            EXPECT_STREQ(parts.currency, c.currency) << c.text;
            EXPECT_EQ(std::string(parts.integer_digits, size_t(parts.integer_length)), c.integer)
                << c.text;
            EXPECT_EQ(std::string(parts.fraction_digits, size_t(parts.fraction_length)), c.fraction)
                << c.text;
        }
}

TEST(TextToMoney, RefusedTextNeverReachesConstruction) {
    Cell result;
    cell::set(&result, TYPE_NONE);
    std::vector<uint8_t> bad = units(U"US$1", 1), good = units(U"$1", 1);
    int error = TEXT_OK;
    text_to_money(bad.data(), 4, 1, error, &result);
    EXPECT_EQ(error, TEXT_INVALID);
    EXPECT_EQ(type_of(&result), TYPE_NONE);
    error = TEXT_OK;
    text_to_money(good.data(), 2, 1, error, &result);
    EXPECT_EQ(error, TEXT_OK);
    EXPECT_EQ(type_of(&result), TYPE_MONEY);
}

TEST(TextToTuple, PartsAndLength) {
    struct Case {
        const char* text;
        std::vector<uint8_t> bytes;  // empty: invalid
        int length;
    };
    const Case cases[] = {
        {"1.2.3", {1, 2, 3}, 3},
        {"255.0.127.1", {255, 0, 127, 1}, 4},
        {"1.2", {1, 2, 0}, 3},
        {"007.1.1", {7, 1, 1}, 3},
        {"1.2.3.4.5.6.7.8.9.10.11.12", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 12},
        {"1.2.3.4.5.6.7.8.9.10.11.12.13", {}, 0},
        {"256.1.1", {}, 0},
        {"1..2", {}, 0},
        {"1.2.3.", {}, 0},
        {".1.2", {}, 0},
        {"", {}, 0},
        {"a.b.c", {}, 0},
        {"1.-2.3", {}, 0},
    };
    for (int unit : UNITS)
        for (const Case& c : cases) {
            std::string t = c.text;
            std::vector<uint8_t> b = units(wide(t), unit);
            Cell result;
            cell::set(&result, TYPE_NONE);
            int error = TEXT_OK;
            text_to_tuple(b.data(), int(t.size()), unit, error, &result);
            if (c.bytes.empty()) {
                EXPECT_EQ(error, TEXT_INVALID) << c.text;
                EXPECT_EQ(type_of(&result), TYPE_NONE) << c.text;
                continue;
            }
            EXPECT_EQ(error, TEXT_OK) << c.text;
            EXPECT_EQ(type_of(&result), TYPE_TUPLE);
            EXPECT_EQ(int((result.header >> 19) & 0xF), c.length) << c.text;
            const uint8_t* stored = reinterpret_cast<const uint8_t*>(&result.data1);
            for (size_t i = 0; i < 12; i++)
                EXPECT_EQ(stored[i], i < c.bytes.size() ? c.bytes[i] : 0)
                    << c.text << " byte " << i;
        }
}

TEST(TextHelpers, HexPairAndUpcase) {
    struct Case {
        const char* text;
        int value;
    };
    const Case cases[] = {{"1F", 31}, {"ff", 255}, {"00", 0}, {"a0x", 160},
                          {"g0", -1}, {"0g", -1},  {"A", -1}, {"", -1}};
    for (const Case& c : cases) {
        auto p = reinterpret_cast<const uint8_t*>(c.text);
        int value = 0;
        const uint8_t* after = hex_pair(p, p + std::strlen(c.text), value);
        EXPECT_EQ(value, c.value) << c.text;
        EXPECT_EQ(after, c.value < 0 ? p : p + 2) << c.text;
    }
    char text[] = "abc{xyz}ABC 09";
    EXPECT_STREQ(upcase_ascii(text), "ABC[XYZ]ABC 09");
}
