// money!: construction from text (currencies and digit limits), integers,
// floats, words and blocks; conversion to integers; the text with its
// grouping and decimal places; comparison with money, integers and floats.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "foundation/compare.h"
#include "scalars/money.h"
#include "scalars/text_to_number.h"
#include "tests/support/held.h"
#include "tests/support/numbers.h"
#include "tests/support/runtime_env.h"
#include "words/word.h"

using namespace zel;
using namespace zel::test;
using namespace zel::compare;

namespace {

// What the system object would hand money for the length of a test: a
// money-digits setting and, optionally, a currency list.
class SystemSettings {
public:
    explicit SystemSettings(Cell digits, const Cell* list = nullptr) : saved_(money::g_system) {
        digits_ = digits;
        list_ = list ? *list : value_of(TYPE_NONE);
        money::g_system = {
            []() -> const Cell* { return type_of(&list_) == TYPE_BLOCK ? &list_ : nullptr; },
            []() -> const Cell* { return &digits_; }};
    }
    ~SystemSettings() { money::g_system = saved_; }

private:
    static inline Cell digits_, list_;
    money::System saved_;
};

std::string all_of(const char* money_text) {
    return written_by_mold(money_cell(money_text), true).text;
}

Cell money_of_float(double d, bool strict) {
    Cell m;
    return *money::from_float(&m, d, strict);
}

Cell code_word(const char* name) { return word::load(name); }

}  // namespace

TEST(MoneyFromText, CurrenciesAndDigits) {
    struct Case {
        const char* text;
        const char* mold_all;  // "" when construction refuses the text
    };
    const Case cases[] = {
        {"$1.50", "$1.50000"},
        {"-USD$1'000.25", "-USD$1000.25000"},
        {"EUR$5", "EUR$5.00000"},
        {"usd$1", "USD$1.00000"},
        {"Zel$2", "ZEL$2.00000"},
        {"aed$1", "AED$1.00000"},
        {"ZMW$1", "ZMW$1.00000"},
        {"XYZ$1", ""},
        {"US$1", ""},
        {"$99999999999999999.99999", "$99999999999999999.99999"},
        {"$0099999999999999999", "$99999999999999999.00000"},
        {"$123456789012345678", ""},
        {"$1.123456789", "$1.12345"},
        {"$0.00001", "$0.00001"},
        {"-$0", "$0.00000"},
    };
    for (const Case& c : cases) {
        Cell m = money_cell(c.text);
        if (*c.mold_all == '\0') {
            EXPECT_EQ(type_of(&m), TYPE_NONE) << c.text;
            continue;
        }
        EXPECT_EQ(written_by_mold(m, true).text, c.mold_all) << c.text;
    }
    EXPECT_EQ(money::currency_index("ZEL", 3), 123);
    EXPECT_EQ(money::currency_index("aed", 3), 1);
    EXPECT_EQ(money::currency_index("ZMW", 3), 170);
    EXPECT_EQ(money::currency_index("US", 2), -1);
    EXPECT_EQ(money::currency_count(), 170);
}

TEST(MoneyFromText, RefusalLeavesTheResultAlone) {
    text_to_number::MoneyText text{};
    std::strcpy(text.currency, "QQQ");
    text.integer_digits[0] = '1';
    text.integer_length = 1;
    Cell result = int_cell(7);
    EXPECT_FALSE(money::from_text(text, &result));
    EXPECT_EQ(typed_mold(result), "integer! 7");
    std::strcpy(text.currency, "");
    text.integer_length = 18;
    std::memset(text.integer_digits, '9', 18);
    EXPECT_FALSE(money::from_text(text, &result));
    EXPECT_EQ(typed_mold(result), "integer! 7");
}

TEST(MoneyFromText, SeparatorsAndLeadingZerosAreNoDigits) {
    struct Case {
        const char* integer;
        const char* mold;  // "" when refused
    };
    const Case cases[] = {
        {"12'345'678'901'234'567", "$12345678901234567.00"},
        {"0000012345678901234567", "$12345678901234567.00"},
        {"0'000'012'345'678'901'234'567", "$12345678901234567.00"},
        {"123'456'789'012'345'678", ""},
        {"000", "$0.00"},
        {"", "$0.00"},
    };
    for (const Case& c : cases) {
        text_to_number::MoneyText text{};
        std::strcpy(text.integer_digits, c.integer);
        text.integer_length = int(std::strlen(c.integer));
        Cell result = value_of(TYPE_NONE);
        bool made = money::from_text(text, &result);
        EXPECT_EQ(made ? written_by_mold(result).text : "", c.mold) << c.integer;
    }
}

TEST(MoneyFromNumbers, IntegersAndTheShortestDigitsOfFloats) {
    struct Case {
        Cell money;
        const char* mold_all;
    };
    Cell m;
    const Case cases[] = {
        {*money::from_integer(&m, 0), "$0.00000"},
        {*money::from_integer(&m, INT32_MIN), "-$2147483648.00000"},
        {*money::from_integer(&m, INT32_MAX), "$2147483647.00000"},
        {money_of_float(0.1, true), "$0.10000"},
        {money_of_float(0.29, true), "$0.29000"},
        {money_of_float(-1.5, true), "-$1.50000"},
        {money_of_float(123456.789, true), "$123456.78900"},
        {money_of_float(1e-5, true), "$0.00001"},
        {money_of_float(1.123456, false), "$1.12345"},
        // The shortest digits that read back as the same double.
        {money_of_float(99999999999999984.0, true), "$99999999999999980.00000"},
        {money_of_float(-0.0, true), "$0.00000"},
        {money_of_float(0.0, true), "$0.00000"},
    };
    for (const Case& c : cases) EXPECT_EQ(written_by_mold(c.money, true).text, c.mold_all);

    const double refused[] = {1e17, -1e17, 1e-6, -1e-6, INFINITY, -INFINITY, NAN};
    for (double d : refused) {
        EXPECT_EQ(error_of([d] { money_of_float(d, false); }), "script/bad-make-arg") << d;
    }
    EXPECT_EQ(error_of([] { money_of_float(1.123456, true); }), "script/bad-make-arg");
    ErrorThrow e = caught_error([] { money_of_float(1e17, false); });
    EXPECT_EQ(type_named_by(e.args[0]), TYPE_MONEY);
    EXPECT_EQ(type_of(&e.args[1]), TYPE_FLOAT);
}

TEST(MoneyToInteger, IntegralPartWithinThirtyTwoBits) {
    struct Case {
        const char* text;
        int32_t value;
    };
    const Case cases[] = {
        {"$2147483647.99999", INT32_MAX},
        {"-$2147483648", INT32_MIN},
        {"-$0.5", 0},
        {"USD$12.9", 12},
        {"$0", 0},
    };
    for (const Case& c : cases) {
        Cell m = money_cell(c.text);
        EXPECT_EQ(money::to_integer(&m), c.value) << c.text;
    }
    for (const char* text : {"$2147483648", "-$2147483649", "$99999999999999999"}) {
        Cell m = money_cell(text);
        EXPECT_EQ(error_of([&] { money::to_integer(&m); }), "script/type-limit") << text;
    }
}

TEST(MoneyText, SignCodeGroupingAndPlaces) {
    struct Case {
        const char* text;
        const char* form;
        const char* mold;
    };
    const Case cases[] = {
        {"$1", "$1.00", "$1.00"},
        {"-$0.5", "-$0.50", "-$0.50"},
        {"-$0", "$0.00", "$0.00"},
        {"USD$1234", "USD$1'234.00", "USD$1234.00"},
        {"EUR$0.12999", "EUR$0.12", "EUR$0.12"},
        {"$1234567", "$1'234'567.00", "$1234567.00"},
        {"$123", "$123.00", "$123.00"},
        {"$12345678901234567", "$12'345'678'901'234'567.00", "$12345678901234567.00"},
        {"-CHF$999999.99999", "-CHF$999'999.99", "-CHF$999999.99"},
    };
    for (const Case& c : cases) {
        Written f = written_by_form(money_cell(c.text)), m = written_by_mold(money_cell(c.text));
        EXPECT_EQ(f.text, c.form) << c.text;
        EXPECT_EQ(m.text, c.mold) << c.text;
        EXPECT_EQ(f.budget, 1000 - int(f.text.size())) << c.text;
        EXPECT_EQ(m.budget, 1000 - int(m.text.size())) << c.text;
    }
}

TEST(MoneyText, DecimalPlacesFollowTheSetting) {
    struct Case {
        int digits;
        const char* mold;
        const char* mold_all;
    };
    const Case cases[] = {
        {0, "$1", "$1.23456"},       {1, "$1.2", "$1.23456"}, {5, "$1.23456", "$1.23456"},
        {7, "$1.23456", "$1.23456"}, {-3, "$1", "$1.23456"},
    };
    for (const Case& c : cases) {
        SystemSettings setting(int_cell(c.digits));
        EXPECT_EQ(written_by_mold(money_cell("$1.23456")).text, c.mold) << c.digits;
        EXPECT_EQ(all_of("$1.23456"), c.mold_all) << c.digits;
    }
    // A setting that is no integer shows 2 places, and so does no setting.
    {
        SystemSettings setting(float_cell(4.0));
        EXPECT_EQ(written_by_mold(money_cell("$1.23456")).text, "$1.23");
    }
    EXPECT_EQ(written_by_mold(money_cell("$1.23456")).text, "$1.23");
}

// Codes are read from the list the system object holds: its positions are
// the indexes, letters match in any case, and a list of more than 255
// codes counts 255.
TEST(MoneyCurrencies, TheSystemListDecides) {
    Cell list = held(block_of({code_word("EUR"), code_word("ABC"), int_cell(5), code_word("usd")}));
    SystemSettings setting(int_cell(2), &list);
    EXPECT_EQ(money::currency_count(), 4);
    EXPECT_EQ(money::currency_index("abc", 3), 2);
    EXPECT_EQ(money::currency_index("USD", 3), 4);
    EXPECT_EQ(money::currency_index("ZEL", 3), -1) << "not in this list";
    EXPECT_EQ(written_by_mold(money_cell("abc$1"), true).text, "ABC$1.00000");
    EXPECT_EQ(written_by_mold(money_cell("USD$1")).text, "usd$1.00");
    Cell unknown = money_cell("ZEL$1");
    EXPECT_EQ(type_of(&unknown), TYPE_NONE);
    char code[4];
    EXPECT_FALSE(money::currency_code(3, code)) << "a slot that holds no word";
    EXPECT_FALSE(money::currency_code(5, code));
    Cell word;
    EXPECT_EQ(typed_mold(*money::currency_word(2, &word)), "word! ABC");
    EXPECT_EQ(typed_mold(*money::currency_word(0, &word)), "none! none");

    std::vector<Cell> many;
    for (int i = 0; i < 300; i++) many.push_back(code_word("AAA"));
    Cell long_list = held(block_of(many));
    SystemSettings longer(int_cell(2), &long_list);
    EXPECT_EQ(money::currency_count(), 255);
}

TEST(MoneyMakeAndTo, FromEveryKindOfValue) {
    struct Case {
        Cell spec;
        const char* make;
        const char* to;
    };
    const char* BAD_MAKE = "script/bad-make-arg";
    const char* BAD_TO = "script/bad-to-arg";
    const Case cases[] = {
        {money_cell("EUR$2"), "money! EUR$2.00", "money! EUR$2.00"},
        {int_cell(-5), "money! -$5.00", "money! -$5.00"},
        {float_cell(1.25), "money! $1.25", "money! $1.25"},
        {float_cell(1.123456), BAD_MAKE, BAD_MAKE},
        {text("-USD$1'000.25"), "money! -USD$1000.25", "money! -USD$1000.25"},
        {text("US$1"), BAD_TO, BAD_TO},
        {text("$1,5"), BAD_TO, BAD_TO},
        {text("$123456789012345678"), BAD_TO, BAD_TO},
        {code_word("usd"), "money! USD$0.00", BAD_TO},
        {code_word("XYZ"), BAD_MAKE, BAD_TO},
        {block_of({code_word("USD"), int_cell(1), int_cell(50)}), "money! USD$1.00", BAD_TO},
        {block_of({code_word("USD"), int_cell(1), int_cell(50000)}), "money! USD$1.50", BAD_TO},
        {block_of({int_cell(-1), int_cell(50000)}), "money! -$1.50", BAD_TO},
        {block_of({int_cell(2)}), "money! $2.00", BAD_TO},
        {block_of({code_word("EUR"), float_cell(1.25)}), "money! EUR$1.25", BAD_TO},
        {block_of({float_cell(1.5), int_cell(20)}), BAD_MAKE, BAD_TO},
        {block_of({code_word("USD")}), BAD_MAKE, BAD_TO},
        {block_of({}), BAD_MAKE, BAD_TO},
        {block_of({int_cell(1), int_cell(2), int_cell(3)}), BAD_MAKE, BAD_TO},
        {block_of({code_word("USD"), int_cell(1), int_cell(100000)}), BAD_MAKE, BAD_TO},
        {block_of({code_word("USD"), int_cell(1), int_cell(-1)}), BAD_MAKE, BAD_TO},
        {block_of({code_word("USD"), int_cell(1), int_cell(2), int_cell(3)}), BAD_MAKE, BAD_TO},
        {block_of({code_word("XYZ"), int_cell(1)}), BAD_MAKE, BAD_TO},
        {block_of({code_word("USD"), code_word("EUR")}), BAD_MAKE, BAD_TO},
        {block_of({code_word("USD"), float_cell(1.123456)}), BAD_MAKE, BAD_TO},
        {value_of(TYPE_NONE), BAD_TO, BAD_TO},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(make_outcome(ACT_MAKE, TYPE_MONEY, c.spec), c.make) << typed_mold(c.spec);
        EXPECT_EQ(make_outcome(ACT_TO, TYPE_MONEY, c.spec), c.to) << typed_mold(c.spec);
    }
    Cell spec = block_of({code_word("USD"), int_cell(1), int_cell(50)}), result;
    datatype::handler<ACT_MAKE>(TYPE_MONEY)(&result, &spec, TYPE_MONEY);
    EXPECT_EQ(written_by_mold(result, true).text, "USD$1.00050");

    spec = block_of({int_cell(1), int_cell(2), int_cell(3)});
    ErrorThrow e =
        caught_error([&] { datatype::handler<ACT_MAKE>(TYPE_MONEY)(&result, &spec, TYPE_MONEY); });
    EXPECT_EQ(typed_mold(e.args[1]), "integer! 3") << "the offending value";
}

TEST(MoneyCompare, AmountsCurrenciesAndNumbers) {
    struct Case {
        Cell a, b;
        int op;
        int result;
    };
    auto m = money_cell;
    const Case cases[] = {
        {m("USD$1"), m("USD$2"), COMP_LESSER, -1},
        {m("-$2"), m("-$1"), COMP_LESSER, -1},
        {m("-$1"), m("$0"), COMP_LESSER, -1},
        {m("$0"), m("-$0"), COMP_STRICT_EQUAL, 0},
        {m("$0.00001"), m("$0"), COMP_GREATER, 1},
        {m("$10"), m("$9.99999"), COMP_GREATER, 1},
        {m("$1"), m("USD$1"), COMP_EQUAL, 0},
        {m("USD$1"), m("EUR$1"), COMP_EQUAL, 1},
        {m("USD$1"), m("EUR$1"), COMP_NOT_EQUAL, 1},
        {m("$1"), m("USD$1"), COMP_STRICT_EQUAL, 1},
        {m("USD$1"), m("USD$1"), COMP_SAME, 0},
        {m("$1"), m("USD$1"), COMP_FIND, 1},
        {m("USD$1"), m("$1"), COMP_FIND, 0},
        {m("$5"), m("USD$1"), COMP_SORT, -1},
        {m("EUR$5"), m("USD$1"), COMP_SORT, -1},
        {m("USD$1"), m("EUR$5"), COMP_CASE_SORT, 1},
        {m("USD$1"), m("USD$2"), COMP_SORT, -1},
        {m("$1"), int_cell(1), COMP_EQUAL, 0},
        {m("$1.5"), int_cell(1), COMP_GREATER, 1},
        {m("$1"), int_cell(1), COMP_STRICT_EQUAL, 1},
        {m("$0.1"), float_cell(0.1), COMP_EQUAL, 0},
        {m("$0"), float_cell(1e-6), COMP_EQUAL, -1},
        {m("$0"), float_cell(-1e-6), COMP_EQUAL, 1},
        {m("$0.00001"), float_cell(1e-6), COMP_GREATER, 1},
        {m("-$0.00001"), float_cell(-1e-6), COMP_LESSER, -1},
        {m("-$5"), float_cell(1e-6), COMP_LESSER, -1},
        {m("$99999999999999999"), float_cell(1e17), COMP_LESSER, -1},
        {m("-$99999999999999999"), float_cell(-1e17), COMP_GREATER, 1},
        {m("$5"), float_cell(-INFINITY), COMP_GREATER, 1},
        {m("$1"), text("1"), COMP_EQUAL, -2},
    };
    for (Case c : cases)
        EXPECT_EQ(datatype::handler<ACT_COMPARE>(TYPE_MONEY)(&c.a, &c.b, c.op), c.result)
            << typed_mold(c.a) << " " << typed_mold(c.b) << " op " << c.op;

    Cell usd = m("USD$1"), eur = m("EUR$1"), fine = float_cell(0.123456);
    auto compare = datatype::handler<ACT_COMPARE>(TYPE_MONEY);
    EXPECT_EQ(error_of([&] { compare(&usd, &eur, COMP_LESSER); }), "script/wrong-denom");
    EXPECT_EQ(error_of([&] { compare(&usd, &fine, COMP_EQUAL); }), "script/bad-make-arg");
}

TEST(MoneyCompare, NumbersOnTheLeftAreMadeMoney) {
    struct Case {
        Cell number;
        const char* money;
        int op;
        int result;
    };
    const Case cases[] = {
        {int_cell(1), "$1", COMP_EQUAL, 0},
        {int_cell(2), "USD$1", COMP_GREATER, 1},
        {int_cell(-3), "-$2.5", COMP_LESSER, -1},
        {float_cell(0.5), "$0.5", COMP_EQUAL, 0},
        {float_cell(0.123456), "$0.12345", COMP_EQUAL, 0},
        // Beyond what money holds, by the float's sign: the mirror of the
        // money on the left.
        {float_cell(1e-6), "$0", COMP_GREATER, 1},
        {float_cell(-1e-6), "$0", COMP_LESSER, -1},
        {float_cell(1e-6), "$0.00001", COMP_LESSER, -1},
        {float_cell(-1e20), "$0", COMP_GREATER, -1},
        {float_cell(1e20), "-$99999999999999999", COMP_GREATER, 1},
    };
    for (Case c : cases) {
        Cell money = money_cell(c.money);
        EXPECT_EQ(datatype::handler<ACT_COMPARE>(type_of(&c.number))(&c.number, &money, c.op),
                  c.result)
            << typed_mold(c.number) << " " << c.money << " op " << c.op;
    }
}

TEST(MoneyCell, LayoutOfSignCurrencyAndDigits) {
    Cell m = money_cell("-EUR$12.34567");
    EXPECT_EQ(m.header, money::SIGN_FLAG | TYPE_MONEY);
    EXPECT_EQ(money::currency_of(&m), money::currency_index("EUR", 3));
    EXPECT_EQ(money::get_digit(&m, 16), 1);
    EXPECT_EQ(money::get_digit(&m, 17), 2);
    EXPECT_EQ(money::get_digit(&m, 22), 7);
    EXPECT_EQ(money::significant_digits(&m), 7);
    EXPECT_EQ(money::sign(&m), -1);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&m);
    const uint8_t expected[11] = {0, 0, 0, 0, 0, 0, 0, 0x01, 0x23, 0x45, 0x67};
    EXPECT_EQ(std::memcmp(bytes + 5, expected, 11), 0);

    Cell copy;
    money::make_at(&copy, true, money::currency_of(&m), bytes + 5);
    EXPECT_EQ(std::memcmp(&copy, &m, sizeof m), 0);
}

// Random pairs of amounts with their sum, difference, product, quotient and
// remainder, worked out by python3's decimal module (tools/gen_money_fixture.py).
TEST(MoneyArithmetic, FixtureMatchesTheDecimalReference) {
    std::filesystem::path file =
        std::filesystem::path(__FILE__).parent_path() / "money_fixture.txt";
    std::ifstream in(file);
    ASSERT_TRUE(in) << file;
    const char* const OPS[] = {"+", "-", "*", "/", "%"};
    int pairs = 0, failures = 0;
    std::string line;
    while (std::getline(in, line) && failures < 20) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string a_text, b_text, expected[5];
        fields >> a_text >> b_text;
        for (std::string& e : expected) fields >> e;
        for (int op = 0; op < 5; op++) {
            Cell a = money_cell(a_text.c_str()), b = money_cell(b_text.c_str());
            std::string error = error_of([&] { money::do_op(&a, &b, op); });
            std::string got = !error.empty()                 ? error
                              : type_of(&a) != TYPE_MONEY     ? "not money"
                                                              : written_by_mold(a, true).text;
            const std::string& e = expected[op];
            std::string want = e == "overflow" || e == "underflow" ? "script/type-limit"
                               : e == "zero-divide"                ? "math/zero-divide"
                                                                   : e;
            if (got != want) {
                ++failures;
                ADD_FAILURE() << a_text << " " << OPS[op] << " " << b_text << ": " << got
                              << ", expected " << e;
            }
        }
        ++pairs;
    }
    EXPECT_EQ(failures, 0);
    EXPECT_GE(pairs, 3000);
}
