// Case folding: mappings of single code points, the generated pair lists,
// and the BMP arrays filled from them.
#include <cctype>
#include <map>
#include <span>

#include "series/case_folding.h"
#include "series/case_tables.inc"
#include "tests/support/runtime_env.h"

using namespace zel;
using case_folding::change_char;

namespace {

struct Mapping {
    const char* what;
    uint32_t cp;
    bool upper;
    uint32_t expected;
};

const Mapping k_mappings[] = {
    {"sharp s uppercases to one S", 0x00DF, true, 0x0053},
    {"dotted capital I lowercases to i", 0x0130, false, 0x0069},
    {"dotted capital I has no other upper case", 0x0130, true, 0x0130},
    {"y with diaeresis leaves Latin-1", 0x00FF, true, 0x0178},
    {"and comes back", 0x0178, false, 0x00FF},
    {"micro sign uppercases to Greek", 0x00B5, true, 0x039C},
    {"n preceded by apostrophe", 0x0149, true, 0x02BC},
    {"Greek with ypogegrammeni", 0x1F80, true, 0x1F08},
    {"its title case uppercases too", 0x1F88, true, 0x1F08},
    {"final sigma", 0x03C2, true, 0x03A3},
    {"capital sigma lowercases to the medial form", 0x03A3, false, 0x03C3},
    {"Georgian Mkhedruli to Mtavruli", 0x10D0, true, 0x1C90},
    {"Mtavruli back", 0x1C90, false, 0x10D0},
    {"fullwidth z", 0xFF5A, true, 0xFF3A},
    {"fullwidth Z", 0xFF3A, false, 0xFF5A},
    {"first supplementary lower-case letter", 0x10428, true, 0x10400},
    {"first supplementary upper-case letter", 0x10400, false, 0x10428},
    {"below the supplementary list", 0x103FF, false, 0x103FF},
    {"Medefaidrin", 0x16E60, true, 0x16E40},
    {"Adlam, last block of the list", 0x1E922, true, 0x1E900},
    {"last lower-case letter of the list", 0x1E943, true, 0x1E921},
    {"last upper-case letter of the list", 0x1E921, false, 0x1E943},
    {"just past the list", 0x1E944, true, 0x1E944},
    {"a gap inside the list", 0x10450, true, 0x10450},
    {"a digit", '7', true, '7'},
    {"a CJK ideograph", 0x4E00, true, 0x4E00},
    {"beyond Unicode", 0x110000, true, 0x110000},
    {"largest code unit", 0xFFFFFFFF, false, 0xFFFFFFFF},
};

// Letters of later Unicode versions, and older letters whose partner came
// later: the tables leave them as they are, in both directions.
const uint32_t k_later_letters[] = {
    0xA7BA, 0xA7BB, 0xA7BF, 0xA7C0, 0xA7C1, 0xA7C4, 0xA7C5, 0xA7C6,
    0x2C2F, 0x2C5F, 0x10570, 0x10597, 0x0282, 0x1D8E, 0xA794,
};

using Pairs = std::span<const uint32_t[2]>;

std::map<uint32_t, uint32_t> as_map(Pairs pairs) {
    std::map<uint32_t, uint32_t> m;
    for (const auto& pair : pairs) m[pair[0]] = pair[1];
    return m;
}

}  // namespace

TEST(CaseFolding, MapsSingleCodePoints) {
    for (const Mapping& m : k_mappings)
        EXPECT_EQ(change_char(m.cp, m.upper), m.expected) << m.what << std::hex << " U+" << m.cp;
}

TEST(CaseFolding, AsciiFollowsTheCLocale) {
    for (uint32_t cp = 0; cp < 128; cp++) {
        EXPECT_EQ(change_char(cp, true), uint32_t(std::toupper(int(cp)))) << cp;
        EXPECT_EQ(change_char(cp, false), uint32_t(std::tolower(int(cp)))) << cp;
    }
}

TEST(CaseFolding, UppercasesAWordWithSharpS) {
    const uint32_t word[] = {'s', 't', 'r', 'a', 0x00DF, 'e'};
    const uint32_t expected[] = {'S', 'T', 'R', 'A', 'S', 'E'};
    for (size_t i = 0; i < std::size(word); i++) EXPECT_EQ(change_char(word[i], true), expected[i]);
}

TEST(CaseFolding, LaterLettersMapToThemselves) {
    for (uint32_t cp : k_later_letters) {
        EXPECT_EQ(change_char(cp, true), cp) << std::hex << cp;
        EXPECT_EQ(change_char(cp, false), cp) << std::hex << cp;
    }
}

TEST(CaseFolding, UpperAndToggle) {
    EXPECT_EQ(case_folding::upper_char('q'), uint32_t('Q'));
    EXPECT_EQ(case_folding::upper_char(0x1E922), 0x1E900u);
    const Mapping toggles[] = {
        {"lower-case letter", 'a', true, 'A'},
        {"upper-case letter", 'A', true, 'a'},
        {"sharp s has an upper case", 0x00DF, true, 'S'},
        {"dotted capital I only a lower case", 0x0130, true, 'i'},
        {"supplementary capital", 0x1E900, true, 0x1E922},
        {"no case", '1', true, '1'},
    };
    for (const Mapping& m : toggles) EXPECT_EQ(case_folding::toggle_char(m.cp), m.expected) << m.what;
}

// Every code point of the BMP maps as the generated lists say, and to
// itself when they do not list it: the arrays hold nothing more or less.
TEST(CaseFolding, BmpArraysHoldExactlyTheLists) {
    const auto upper = as_map(case_tables::BMP_TO_UPPER);
    const auto lower = as_map(case_tables::BMP_TO_LOWER);
    for (uint32_t cp = 0; cp <= 0xFFFF; cp++) {
        auto up = upper.find(cp);
        auto down = lower.find(cp);
        ASSERT_EQ(change_char(cp, true), up == upper.end() ? cp : up->second) << std::hex << cp;
        ASSERT_EQ(change_char(cp, false), down == lower.end() ? cp : down->second) << std::hex << cp;
    }
}

TEST(CaseFolding, SupplementaryListsAreLookedUp) {
    for (const auto& pair : case_tables::SUPPLEMENTARY_TO_UPPER)
        EXPECT_EQ(change_char(pair[0], true), pair[1]) << std::hex << pair[0];
    for (const auto& pair : case_tables::SUPPLEMENTARY_TO_LOWER)
        EXPECT_EQ(change_char(pair[0], false), pair[1]) << std::hex << pair[0];
}

TEST(CaseTables, CountsAndBoundaries) {
    struct Table {
        const char* name;
        Pairs pairs;
        size_t count;
        uint32_t first, last;
    };
    const Table tables[] = {
        {"BMP to upper", case_tables::BMP_TO_UPPER, 1250, 0x0061, 0xFF5A},
        {"BMP to lower", case_tables::BMP_TO_LOWER, 1158, 0x0041, 0xFF3A},
        {"supplementary to upper", case_tables::SUPPLEMENTARY_TO_UPPER, 225, 0x10428, 0x1E943},
        {"supplementary to lower", case_tables::SUPPLEMENTARY_TO_LOWER, 225, 0x10400, 0x1E921},
    };
    for (const Table& t : tables) {
        EXPECT_EQ(t.pairs.size(), t.count) << t.name;
        EXPECT_EQ(t.pairs.front()[0], t.first) << t.name;
        EXPECT_EQ(t.pairs.back()[0], t.last) << t.name;
        for (size_t i = 1; i < t.pairs.size(); i++)
            ASSERT_LT(t.pairs[i - 1][0], t.pairs[i][0]) << t.name << " is sorted";
        for (const auto& pair : t.pairs) ASSERT_NE(pair[0], pair[1]) << t.name;
    }
}

// The arrays live on the tracked heap, which a shutdown releases: a new
// start must fill fresh ones.
TEST(CaseFolding, SurvivesARestartOfTheRuntime) {
    runtime::shutdown();
    runtime::init();
    EXPECT_EQ(change_char(0x00FF, true), 0x0178u);
    EXPECT_EQ(change_char('Q', false), uint32_t('q'));
}
