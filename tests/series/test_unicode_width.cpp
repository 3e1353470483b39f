// Display widths: columns per code point, the ambiguous widths, the range
// test, and the generated range tables.
#include <algorithm>
#include <span>
#include <vector>

#include "series/unicode_width.h"
#include "series/width_tables.inc"
#include "tests/support/runtime_env.h"

using namespace zel;

namespace {

struct Width {
    const char* what;
    uint32_t cp;
    int expected;
};

const Width k_widths[] = {
    {"letter", 'a', 1},
    {"NUL", 0x0000, 0},
    {"tab", '\t', 1},
    {"last C0 control", 0x001F, 1},
    {"delete", 0x007F, 1},
    {"last C1 control", 0x009F, 1},
    {"no-break space", 0x00A0, 1},
    {"soft hyphen", 0x00AD, 1},
    {"combining acute", 0x0301, 0},
    {"enclosing mark", 0x0488, 0},
    {"Arabic number sign", 0x0600, 0},
    {"Arabic letter mark", 0x061C, 0},
    {"Arabic end of ayah", 0x06DD, 0},
    {"Syriac abbreviation mark", 0x070F, 0},
    {"Hangul choseong", 0x1100, 2},
    {"Hangul jungseong filler", 0x1160, 0},
    {"last Hangul jongseong", 0x11FF, 0},
    {"zero width space", 0x200B, 1},
    {"combining enclosing circle", 0x20DD, 0},
    {"umbrella with rain drops", 0x2614, 2},
    {"ideographic space", 0x3000, 2},
    {"ideographic comma", 0x3001, 2},
    {"CJK ideograph", 0x4E00, 2},
    {"last Hangul syllable", 0xD7A3, 2},
    {"after the syllables", 0xD7A4, 1},
    {"Hangul jungseong extended", 0xD7B0, 0},
    {"last Hangul jongseong extended", 0xD7FB, 0},
    {"private use", 0xE000, 1},
    {"variation selector", 0xFE0F, 0},
    {"fullwidth exclamation", 0xFF01, 2},
    {"halfwidth katakana", 0xFF61, 1},
    {"replacement character", 0xFFFD, 1},
    {"Ahom medial ra", 0x1171E, 0},
    {"emoji", 0x1F600, 2},
    {"last wide emoji of the version", 0x1FAF6, 2},
    {"emoji of a later version", 0x1FAF7, 1},
    {"first of plane 2", 0x20000, 2},
    {"unassigned in plane 2", 0x2FA20, 2},
    {"last of plane 2", 0x2FFFD, 2},
    {"plane 2 noncharacter", 0x2FFFE, 1},
    {"last of plane 3", 0x3FFFD, 2},
    {"plane 4", 0x40000, 1},
    {"first variation selector supplement", 0xE0100, 0},
    {"last variation selector supplement", 0xE01EF, 0},
    {"after them", 0xE01F0, 1},
    {"last code point", 0x10FFFF, 1},
    {"beyond Unicode", 0x110000, 1},
};

const Width k_cjk_widths[] = {
    {"inverted exclamation", 0x00A1, 2},
    {"section sign", 0x00A7, 2},
    {"diaeresis", 0x00A8, 2},
    {"between ambiguous ranges", 0x00A9, 1},
    {"letter", 'a', 1},
    {"soft hyphen stays narrow", 0x00AD, 1},
    {"combining mark stays zero", 0x0301, 0},
    {"Greek alpha", 0x03B1, 2},
    {"umbrella with rain drops", 0x2614, 2},
    {"private use", 0xE000, 2},
    {"variation selector stays zero", 0xFE00, 0},
    {"replacement character", 0xFFFD, 2},
    {"wide stays wide", 0x4E00, 2},
    {"enclosed alphanumeric of a later version", 0x1F100, 1},
    {"variation selector supplement stays zero", 0xE0100, 0},
    {"plane 15 private use", 0xF0000, 2},
    {"last private use", 0x10FFFD, 2},
    {"noncharacter", 0x10FFFE, 1},
};

using Ranges = std::span<const uint32_t>;

}  // namespace

TEST(CharWidth, Columns) {
    for (const Width& w : k_widths) EXPECT_EQ(unicode::char_width(w.cp), w.expected) << w.what;
}

TEST(CharWidth, AmbiguousCountTwoInCjkText) {
    for (const Width& w : k_cjk_widths) EXPECT_EQ(unicode::char_width_cjk(w.cp), w.expected) << w.what;
}

TEST(CharWidth, InRanges) {
    const uint32_t table[] = {10, 20, 30, 30, 40, 50};
    const struct {
        uint32_t cp;
        bool expected;
    } cases[] = {{9, false}, {10, true}, {20, true}, {21, false}, {29, false}, {30, true},
                 {31, false}, {45, true}, {50, true}, {51, false}, {0xFFFFFFFF, false}};
    for (const auto& c : cases) EXPECT_EQ(unicode::in_ranges_q(c.cp, table, 6), c.expected) << c.cp;
    EXPECT_FALSE(unicode::in_ranges_q(15, table, 0));
    EXPECT_TRUE(unicode::in_ranges_q(15, table, 2));
    EXPECT_FALSE(unicode::in_ranges_q(45, table, 2));
}

TEST(WidthTables, CountsAndBoundaries) {
    struct Table {
        const char* name;
        Ranges words;
        size_t ranges;
        std::vector<uint32_t> first, last;
    };
    const Table tables[] = {
        {"zero width", width_tables::ZERO_WIDTH, 339,
         {0x0300, 0x036F, 0x0483, 0x0489, 0x0591, 0x05BD},
         {0x1E944, 0x1E94A, 0xE0100, 0xE01EF}},
        {"wide", width_tables::WIDE, 122,
         {0x1100, 0x115F, 0x231A, 0x231B, 0x2329, 0x232A},
         {0x1FAF0, 0x1FAF6, 0x20000, 0x2FFFD, 0x30000, 0x3FFFD}},
        {"ambiguous", width_tables::AMBIGUOUS, 156,
         {0x00A1, 0x00A1, 0x00A4, 0x00A4, 0x00A7, 0x00A8},
         {0xE000, 0xF8FF, 0xFFFD, 0xFFFD, 0xF0000, 0xFFFFD, 0x100000, 0x10FFFD}},
    };
    for (const Table& t : tables) {
        ASSERT_EQ(t.words.size(), t.ranges * 2) << t.name;
        EXPECT_TRUE(std::equal(t.first.begin(), t.first.end(), t.words.begin())) << t.name;
        EXPECT_TRUE(std::equal(t.last.begin(), t.last.end(), t.words.end() - t.last.size())) << t.name;
        for (size_t i = 0; i < t.words.size(); i += 2) {
            ASSERT_LE(t.words[i], t.words[i + 1]) << t.name << " range " << i / 2;
            if (i > 0) {
                ASSERT_LT(t.words[i - 1], t.words[i]) << t.name << " sorted at " << i / 2;
            }
        }
    }
}
