// The automaton's tables against their published form, and single tokens
// read by the automaton from each start state.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "foundation/cell.h"
#include "lexer/lexer_tables.h"

namespace zel::lexer {
namespace {

// ---- Byte classes -------------------------------------------------------------

// The class of every byte, sixteen bytes to a row.
// clang-format off
constexpr uint8_t EXPECTED_CLASSES[256] = {
    /* 00 */ 39, 35, 35, 35, 35, 35, 35, 35, 35,  0,  1, 35, 35,  0, 35, 35,
    /* 10 */ 35, 35, 35, 35, 35, 35, 35, 35, 35, 35, 35, 35, 35, 35, 35, 35,
    /* 20 */  0, 37, 10, 11, 31, 26, 37, 12,  6,  7, 37, 32, 27, 33, 30, 21,
    /* 30 */  3,  2,  2,  2,  2,  2,  2,  2,  2,  2, 13, 28, 23, 25, 24, 37,
    /* 40 */ 29, 20, 20, 20, 20, 18, 20, 37, 37, 37, 37, 37, 37, 37, 37, 37,
    /* 50 */ 37, 37, 37, 37, 15, 37, 37, 37, 14, 37, 37,  4, 22,  5, 34, 37,
    /* 60 */ 37, 19, 19, 19, 19, 17, 19, 37, 16, 37, 37, 37, 37, 37, 37, 37,
    /* 70 */ 37, 37, 37, 37, 37, 37, 37, 37, 14, 37, 37,  8, 37,  9, 37, 36,
    /* 80 */ 36, 36, 36, 36, 36, 36, 36, 36, 36, 36, 36, 36, 36, 36, 36, 36,
    /* 90 */ 36, 36, 36, 36, 36, 36, 36, 36, 36, 36, 36, 36, 36, 36, 36, 36,
    /* A0 */ 36, 36, 36, 36, 36, 36, 36, 36, 36, 36, 36, 36, 36, 36, 36, 36,
    /* B0 */ 36, 36, 36, 36, 36, 36, 36, 36, 36, 36, 36, 36, 36, 36, 36, 36,
    /* C0 */ 38, 38, 37, 37, 37, 37, 37, 37, 37, 37, 37, 37, 37, 37, 37, 37,
    /* D0 */ 37, 37, 37, 37, 37, 37, 37, 37, 37, 37, 37, 37, 37, 37, 37, 37,
    /* E0 */ 37, 37, 37, 37, 37, 37, 37, 37, 37, 37, 37, 37, 37, 37, 37, 37,
    /* F0 */ 37, 37, 37, 37, 37, 37, 37, 37, 38, 38, 38, 38, 38, 38, 38, 38,
};
// clang-format on

TEST(LexerTables, EveryByteHasItsClass) {
    for (int b = 0; b < 256; b++)
        EXPECT_EQ(g_class_words[b] & CLASS_MASK, EXPECTED_CLASSES[b]) << "byte " << b;
}

TEST(LexerTables, FlagBitsMarkTheirBytes) {
    struct FlagCase {
        uint32_t flag;
        int first;  // bytes first..last, and the bytes of `more`
        int last;
        std::string_view more;
    };
    const FlagCase cases[] = {
        {LEX_PERCENT, '%', '%', ""},   {LEX_GREATER, '>', '>', ""}, {LEX_LESS, '<', '<', ""},
        {LEX_SIGN, '+', '+', "-"},     {LEX_NUL, 0, 0, ""},         {LEX_HASH, '#', '#', ""},
        {LEX_EXPONENT, 'e', 'e', "E"}, {LEX_QUOTE, '\'', '\'', ""}, {LEX_COLON, ':', ':', ""},
        {LEX_COMMA, ',', ',', ""},     {LEX_POINT, '.', '.', ""},   {LEX_CARET, '^', '^', ""},
        {LEX_UTF8_WIDE, 194, 239, ""}, {LEX_UTF8_4, 240, 247, ""},
    };
    uint32_t all_flags = 0;
    for (const FlagCase& c : cases) {
        all_flags |= c.flag;
        for (int b = 0; b < 256; b++) {
            bool expected =
                (b >= c.first && b <= c.last) || c.more.find(char(b)) != std::string_view::npos;
            EXPECT_EQ((g_class_words[b] & c.flag) != 0, expected)
                << "byte " << b << " flag 0x" << std::hex << c.flag;
        }
    }
    // Nothing else: bits 8-17 are free (17 is set by the brace-string scanner only).
    for (int b = 0; b < 256; b++) EXPECT_EQ(g_class_words[b] & ~(all_flags | CLASS_MASK), 0u);
}

// ---- Transitions ----------------------------------------------------------------

// Every target of every scanning state, by class 0-19 then 20-39.
// clang-format off
constexpr uint8_t EXPECTED_TRANSITIONS[SCANNING_STATES][CLASS_COUNT] = {
    /*  0 */ {  0,  0, 23, 23, 68, 69, 70, 71, 72, 67,  2, 16, 51, 51, 52, 52, 52, 52, 40, 52,
               40, 13, 67, 43, 52, 58,  6, 78,  1, 57, 49, 36, 47, 47, 52,  0, 67, 52, 67, 66},
    /*  1 */ {  1, 77,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,
                1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1, 67, 77},
    /*  2 */ {  2, 67,  2,  2,  2,  2,  2,  2,  2,  2, 79,  2,  2,  2,  2,  2,  2,  2,  2,  2,
                2,  2,  2,  2,  2,  2,  2,  2,  2,  2,  2,  2,  2,  2,  3,  2,  2,  2, 67, 67},
    /*  3 */ {  2,  2,  2,  2,  2,  2,  2,  2,  2,  2,  2,  2,  2,  2,  2,  2,  2,  2,  2,  2,
                2,  2,  2,  2,  2,  2,  2,  2,  2,  2,  2,  2,  2,  2,  2,  2,  2,  2, 67, 67},
    /*  4 */ {  4,  4,  4,  4,  4,  4,  4,  4, 72, 73,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,
                4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  5,  4,  4,  4, 67, 67},
    /*  5 */ {  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,
                4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4,  4, 67, 67},
    /*  6 */ { 80, 80,  7,  7, 80, 80, 80, 80, 10, 80,  8,  7,  7, 54,  7,  7,  7,  7,  7,  7,
                7,  7,  7,  7,  7,  7,  9,  7, 80, 80,  7,  7,  7,  7,  7, 80,  7,  7, 67, 80},
    /*  7 */ { 85, 85,  7,  7, 85, 85, 85, 85, 85, 85, 67,  7,  7, 85,  7,  7,  7,  7,  7,  7,
                7,  7,  7,  7,  7,  7,  7,  7, 85, 85,  7,  7,  7,  7,  7,  7,  7,  7, 67, 85},
    /*  8 */ {  8, 67,  8,  8,  8,  8,  8,  8,  8,  8, 85,  8,  8,  8,  8,  8,  8,  8,  8,  8,
                8,  8,  8,  8,  8,  8,  8,  8,  8,  8,  8,  8,  8,  8, 65,  8,  8,  8, 67, 67},
    /*  9 */ { 80, 80,  7,  7, 80, 80, 80, 80, 10, 80, 80,  7,  7,  7,  7,  7,  7,  7,  7,  7,
                7,  7, 80,  7,  7,  7,  9,  7, 80,  7,  7,  7,  7,  7,  7, 80,  7,  7, 67, 80},
    /* 10 */ { 10, 10, 10, 10, 10, 10, 10, 10, 10, 11, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10,
               10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 67, 67},
    /* 11 */ { 10, 10, 10, 10, 10, 10, 10, 10, 10, 11, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10,
               10, 10, 10, 10, 10, 10, 12, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 67, 67},
    /* 12 */ {100,100, 67, 67,100,100,100,100,100, 67,100, 67, 67, 67, 67, 67, 67, 67, 67, 67,
               67, 67, 67,100, 67, 67, 12, 67,100, 67, 67, 67, 67, 67, 67,100, 67, 67, 67,100},
    /* 13 */ { 80, 80, 14, 14, 80, 80, 80, 80, 80, 80, 80, 80, 14, 53, 14, 14, 14, 14, 14, 14,
               14, 15, 14, 14, 14, 14, 14, 67, 80, 80, 14, 14, 14, 14, 14, 80, 14, 14, 67, 80},
    /* 14 */ { 83, 83, 14, 14, 83, 83, 83, 83, 83, 83, 83, 14, 14, 67, 14, 14, 14, 14, 14, 14,
               14, 83, 14, 14, 14, 14, 14, 67, 83, 83, 14, 14, 14, 14, 14, 83, 14, 14, 67, 83},
    /* 15 */ { 80, 80, 52, 52, 80, 80, 80, 80, 80, 80, 80, 80, 52, 52, 52, 52, 52, 52, 52, 52,
               52, 15, 52, 52, 52, 52, 67, 67, 80, 80, 52, 67, 52, 52, 52, 80, 52, 52, 67, 80},
    /* 16 */ { 67, 67, 22, 22, 74, 67, 21, 67, 17, 67, 19, 22, 22, 67, 22, 22, 22, 22, 22, 22,
               22, 22, 22, 67, 67, 22, 22, 67, 81, 81, 22, 22, 22, 22, 22, 81, 22, 22, 67, 81},
    /* 17 */ { 17, 17, 17, 17, 67, 67, 67, 67, 67, 86, 67, 67, 67, 67, 17, 17, 17, 17, 17, 17,
               17, 17, 67, 67, 67, 17, 67, 67, 18, 67, 67, 67, 17, 67, 67, 67, 67, 17, 67, 67},
    /* 18 */ { 18, 17, 18, 18, 18, 18, 18, 18, 18, 18, 18, 18, 18, 18, 18, 18, 18, 18, 18, 18,
               18, 18, 18, 18, 18, 18, 18, 18, 18, 18, 18, 18, 18, 18, 18, 18, 18, 18, 67, 67},
    /* 19 */ { 19, 19, 19, 19, 19, 19, 19, 19, 19, 19, 84, 19, 19, 19, 19, 19, 19, 19, 19, 19,
               19, 19, 19, 19, 19, 19, 19, 19, 19, 19, 19, 19, 19, 19, 20, 19, 19, 19, 67, 67},
    /* 20 */ { 19, 19, 19, 19, 19, 19, 19, 19, 19, 19, 19, 19, 19, 19, 19, 19, 19, 19, 19, 19,
               19, 19, 19, 19, 19, 19, 19, 19, 19, 19, 19, 19, 19, 19, 19, 19, 19, 19, 67, 67},
    /* 21 */ { 21, 21, 21, 21, 21, 21, 21, 76, 21, 21, 21, 21, 21, 21, 21, 21, 21, 21, 21, 21,
               21, 21, 21, 21, 21, 21, 21, 21, 21, 21, 21, 21, 21, 21, 21, 21, 21, 21, 67, 67},
    /* 22 */ { 81, 81, 22, 22, 81, 81, 81, 81, 81, 81, 81, 22, 22, 67, 22, 22, 22, 22, 22, 22,
               22, 67, 22, 22, 22, 22, 22, 22, 81, 81, 22, 22, 22, 22, 22, 81, 22, 22, 67, 81},
    /* 23 */ { 82, 82, 23, 23, 82, 82, 82, 82, 82, 82, 82, 16, 23, 31, 33, 30, 42, 26, 27, 67,
               39, 30, 67, 82, 67, 67, 87, 82, 82, 56, 24, 67, 67, 30, 67, 82, 67, 67, 67, 82},
    /* 24 */ { 88, 88, 25, 25, 88, 88, 88, 88, 88, 88, 88, 28, 25, 67, 33, 67, 67, 26, 26, 67,
               67, 88, 67, 88, 67, 67, 87, 88, 88, 67, 67, 67, 67, 67, 67, 88, 67, 67, 67, 88},
    /* 25 */ { 88, 88, 25, 25, 88, 88, 88, 88, 88, 88, 88, 67, 25, 88, 33, 67, 67, 26, 26, 67,
               67, 88, 67, 88, 67, 67, 87, 88, 88, 56, 29, 67, 67, 67, 67, 88, 67, 67, 67, 88},
    /* 26 */ { 88, 88, 26, 26, 88, 88, 88, 88, 88, 88, 88, 67, 67, 88, 67, 67, 67, 67, 67, 67,
               67, 88, 67, 88, 67, 67, 67, 88, 88, 56, 67, 67, 26, 26, 67, 88, 67, 67, 67, 88},
    /* 27 */ { 88, 88, 27, 27, 88, 88, 88, 88, 88, 88, 88, 67, 67, 88, 67, 67, 42, 67, 40, 67,
               40, 88, 67, 88, 67, 67, 87, 88, 67, 56, 29, 67, 26, 26, 67, 88, 67, 67, 67, 88},
    /* 28 */ { 89, 89, 88, 89, 89, 89, 89, 89, 89, 89, 89, 67, 67, 67, 28, 28, 28, 28, 28, 28,
               28, 89, 89, 89, 28, 28, 67, 89, 89, 67, 28, 67, 28, 28, 67, 89, 28, 28, 67, 89},
    /* 29 */ { 90, 90, 29, 29, 90, 90, 90, 90, 90, 90, 90, 67, 67, 90, 67, 67, 67, 67, 67, 67,
               67, 90, 67, 90, 67, 67, 67, 67, 90, 67, 29, 67, 67, 67, 67, 90, 67, 67, 67, 90},
    /* 30 */ { 91, 91, 30, 30, 91, 91, 91, 91, 91, 91, 91, 30, 30, 30, 30, 30, 30, 30, 30, 30,
               30, 30, 30, 91, 30, 30, 67, 67, 91, 67, 30, 91, 30, 30, 67, 91, 67, 30, 67, 91},
    /* 31 */ { 67, 67, 32, 32, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67,
               67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67},
    /* 32 */ { 94, 94, 32, 32, 94, 94, 94, 94, 94, 94, 94, 67, 67, 32, 67, 67, 67, 67, 67, 67,
               67, 94, 67, 94, 67, 67, 67, 67, 94, 67, 32, 67, 67, 67, 67, 94, 67, 67, 67, 94},
    /* 33 */ { 67, 67, 34, 34, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67,
               67, 67, 67, 67, 67, 67, 67, 67, 67, 56, 67, 67, 34, 34, 67, 67, 67, 67, 67, 67},
    /* 34 */ { 92, 92, 34, 34, 92, 92, 92, 92, 92, 92, 92, 67, 67, 92, 67, 67, 67, 34, 34, 67,
               67, 92, 67, 92, 67, 67, 67, 67, 92, 56, 34, 67, 67, 67, 67, 92, 67, 67, 67, 92},
    /* 35 */ { 35, 67, 35, 35, 67, 35, 67, 93, 67, 67, 67, 35, 67, 67, 67, 67, 67, 35, 35, 35,
               35, 67, 67, 67, 67, 67, 67, 35, 67, 67, 35, 67, 35, 35, 67, 67, 67, 35, 67, 67},
    /* 36 */ { 67, 67, 37, 37, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67,
               67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67},
    /* 37 */ { 95, 95, 37, 37, 95, 95, 95, 95, 95, 95, 95, 95, 37, 95, 67, 67, 67, 67, 67, 67,
               67, 95, 67, 95, 67, 67, 67, 67, 95, 67, 38, 67, 67, 67, 67, 95, 67, 67, 67, 95},
    /* 38 */ { 95, 95, 38, 38, 95, 95, 95, 95, 95, 95, 95, 95, 38, 95, 67, 67, 67, 67, 67, 67,
               67, 95, 67, 95, 67, 67, 67, 67, 95, 67, 67, 67, 67, 67, 67, 95, 67, 67, 67, 95},
    /* 39 */ { 67, 67, 39, 39, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 41, 67, 39, 67,
               39, 67, 67, 67, 67, 67, 67, 67, 67, 56, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67},
    /* 40 */ { 80, 80, 40, 40, 80, 80, 80, 80, 80, 80, 80, 80, 52, 53, 52, 52, 41, 52, 40, 52,
               40, 75, 80, 52, 52, 52, 67, 67, 80, 56, 52, 37, 52, 52, 52, 80, 52, 52, 67, 80},
    /* 41 */ { 99, 99, 52, 52, 99, 99, 99, 99, 99, 99, 99, 67, 52, 53, 52, 52, 52, 52, 52, 52,
               52, 75, 99, 52, 52, 52, 67, 67, 99, 56, 52, 37, 52, 52, 52, 99, 52, 52, 67, 99},
    /* 42 */ { 99, 99, 67, 67, 99, 99, 99, 99, 99, 99, 99, 67, 67, 67, 67, 67, 67, 67, 67, 67,
               67, 75, 99, 99, 67, 67, 67, 67, 99, 56, 67, 37, 67, 67, 67, 99, 67, 67, 67, 99},
    /* 43 */ { 80, 80, 44, 44, 80, 80, 80, 80, 80, 80, 80, 44, 46, 53, 44, 44, 44, 44, 44, 44,
               44, 44, 44, 43, 52, 52, 44, 44, 80, 44, 44, 44, 44, 52, 44, 80, 44, 44, 67, 80},
    /* 44 */ { 44, 44, 44, 44, 44, 44, 44, 44, 44, 44, 45, 44, 46, 44, 44, 44, 44, 44, 44, 44,
               44, 44, 44, 44, 96, 44, 44, 44, 44, 44, 44, 44, 44, 44, 44, 44, 44, 44, 67, 67},
    /* 45 */ { 45, 45, 45, 45, 45, 45, 45, 45, 45, 45, 44, 45, 45, 45, 45, 45, 45, 45, 45, 45,
               45, 45, 45, 45, 45, 45, 45, 45, 45, 45, 45, 45, 45, 45, 45, 45, 45, 45, 67, 67},
    /* 46 */ { 46, 46, 46, 46, 46, 46, 46, 46, 46, 46, 46, 46, 44, 46, 46, 46, 46, 46, 46, 46,
               46, 46, 46, 46, 46, 46, 46, 46, 46, 46, 46, 46, 46, 46, 46, 46, 46, 46, 67, 67},
    /* 47 */ { 80, 80, 23, 23, 80, 80, 80, 80, 80, 80, 80, 80, 67, 52, 52, 52, 52, 52, 52, 52,
               52, 75, 80, 52, 52, 52, 67, 52, 80, 52, 49, 37, 52, 52, 67, 80, 52, 52, 67, 80},
    /* 48 */ { 80, 80, 52, 52, 80, 80, 80, 80, 80, 80, 80, 80, 67, 52, 52, 52, 52, 52, 52, 52,
               52, 75, 80, 52, 52, 52, 67, 52, 80, 52, 52, 67, 52, 52, 67, 80, 52, 52, 67, 80},
    /* 49 */ { 80, 80, 50, 50, 80, 80, 80, 80, 80, 80, 80, 80, 52, 53, 52, 52, 52, 52, 52, 52,
               52, 75, 80, 52, 52, 52, 67, 67, 80, 56, 52, 67, 50, 50, 52, 80, 52, 52, 67, 80},
    /* 50 */ { 88, 88, 50, 50, 88, 88, 88, 88, 88, 88, 88, 67, 67, 88, 33, 67, 67, 50, 50, 67,
               67, 88, 67, 88, 67, 67, 87, 67, 67, 56, 67, 67, 50, 50, 67, 88, 67, 67, 67, 88},
    /* 51 */ { 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 52, 52, 52, 52, 52, 52,
               52, 13, 67, 43, 52, 58, 54, 67, 67, 67, 52, 67, 48, 48, 52, 67, 52, 52, 67, 67},
    /* 52 */ { 80, 80, 52, 52, 80, 80, 80, 80, 80, 80, 80, 80, 52, 53, 52, 52, 52, 52, 52, 52,
               52, 75, 80, 80, 52, 52, 67, 67, 80, 56, 52, 36, 52, 52, 52, 80, 52, 52, 67, 80},
    /* 53 */ { 80, 80, 55, 55, 80, 80, 80, 80, 80, 80, 80, 55, 55, 55, 55, 55, 55, 55, 55, 55,
               55, 55, 80, 67, 55, 55, 55, 55, 80, 55, 55, 55, 55, 55, 55, 80, 55, 55, 67, 80},
    /* 54 */ { 80, 80, 67, 67, 80, 80, 80, 80, 80, 80, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67,
               67, 67, 80, 67, 67, 67, 54, 67, 80, 67, 67, 67, 67, 67, 67, 80, 67, 67, 67, 80},
    /* 55 */ { 97, 97, 55, 55, 97, 97, 97, 97, 97, 97, 97, 55, 55, 55, 55, 55, 55, 55, 55, 55,
               55, 55, 97, 97, 67, 55, 55, 55, 97, 55, 55, 55, 55, 55, 67, 97, 55, 55, 67, 97},
    /* 56 */ { 98, 98, 56, 56, 98, 98, 98, 98, 98, 98, 98, 67, 67, 67, 56, 56, 56, 56, 56, 56,
               56, 98, 98, 98, 67, 67, 56, 67, 98, 67, 56, 67, 56, 56, 67, 98, 56, 56, 67, 98},
    /* 57 */ {101,101, 57, 57,101,101,101,101,101,101,101, 67, 67, 57, 57, 57, 57, 57, 57, 57,
               57, 57, 67,101, 67, 67, 57, 67,101, 67, 57, 67, 57, 57, 67,101, 57, 57, 67,101},
    /* 58 */ { 80, 80, 52, 52, 80, 80, 80, 80, 80, 80, 80, 67, 52, 80, 52, 52, 52, 52, 52, 52,
               52, 75, 80, 52, 52, 52, 67, 67, 80, 67, 52, 67, 52, 52, 52, 80, 52, 52, 67, 80},
    /* 59 */ { 67, 67, 60, 60, 67, 67, 70, 71, 67, 67,  2, 63, 61, 61, 62, 62, 62, 62, 62, 62,
               62, 67, 67, 43, 62, 62, 67, 67, 67, 57, 62, 36, 64, 64, 67, 67, 62, 62, 67, 67},
    /* 60 */ { 82, 82, 60, 60, 82, 82, 82, 82, 82, 82, 82, 67, 60, 82, 33, 67, 67, 26, 26, 67,
               67, 82, 67, 82, 67, 67, 87, 67, 82, 56, 24, 67, 67, 67, 67, 82, 67, 67, 67, 82},
    /* 61 */ { 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 67, 62, 62, 62, 62, 62, 62,
               62, 67, 67, 62, 62, 62, 67, 67, 67, 67, 62, 67, 62, 62, 67, 67, 62, 62, 67, 67},
    /* 62 */ { 80, 80, 62, 62, 80, 80, 80, 80, 80, 80, 80, 67, 62, 80, 62, 62, 62, 62, 62, 62,
               62, 80, 80, 62, 62, 62, 67, 67, 80, 56, 62, 36, 62, 62, 62, 80, 62, 62, 67, 80},
    /* 63 */ { 67, 67, 22, 22, 21, 67, 67, 67, 67, 67, 19, 22, 22, 67, 22, 22, 22, 22, 22, 22,
               22, 67, 22, 67, 67, 67, 22, 67, 67, 67, 22, 22, 22, 22, 22, 67, 22, 22, 67, 67},
    /* 64 */ { 80, 80, 60, 60, 80, 80, 80, 80, 80, 80, 80, 67, 67, 80, 62, 62, 62, 62, 62, 62,
               62, 80, 80, 67, 62, 62, 67, 67, 80, 56, 62, 36, 64, 64, 67, 80, 62, 62, 67, 80},
    /* 65 */ {  8, 67,  8,  8,  8,  8,  8,  8,  8,  8,  8,  8,  8,  8,  8,  8,  8,  8,  8,  8,
                8,  8,  8,  8,  8,  8,  8,  8,  8,  8,  8,  8,  8,  8,  8,  8,  8,  8, 67, 67},
};
// clang-format on

TEST(LexerTables, EveryTransitionOfEveryState) {
    for (int s = 0; s < SCANNING_STATES; s++)
        for (int c = 0; c < CLASS_COUNT; c++)
            EXPECT_EQ(g_transitions[s][c], EXPECTED_TRANSITIONS[s][c])
                << "state " << s << " class " << c;
}

TEST(LexerTables, GuessedTypesOfScanningStates) {
    // The states whose guessed type is none; every other one is listed.
    const int none_states[] = {0, 1, 18, 21, 39};
    struct Guess {
        int first, last, type;
    };
    const Guess guesses[] = {
        {2, 5, TYPE_STRING},    {6, 9, TYPE_FILE},         {10, 12, TYPE_STRING},
        {13, 13, TYPE_WORD},    {14, 14, TYPE_REFINEMENT}, {15, 15, TYPE_WORD},
        {16, 16, TYPE_ISSUE},   {17, 17, TYPE_BINARY},     {19, 20, TYPE_CHAR},
        {22, 22, TYPE_ISSUE},   {23, 23, TYPE_INTEGER},    {24, 28, TYPE_FLOAT},
        {29, 29, TYPE_TUPLE},   {30, 30, TYPE_DATE},       {31, 32, TYPE_TIME},
        {33, 34, TYPE_PAIR},    {35, 35, TYPE_POINT2D},    {36, 38, TYPE_MONEY},
        {40, 40, TYPE_INTEGER}, {41, 41, TYPE_WORD},       {42, 42, TYPE_INTEGER},
        {43, 46, TYPE_TAG},     {47, 49, TYPE_WORD},       {50, 50, TYPE_FLOAT},
        {51, 52, TYPE_WORD},    {53, 53, TYPE_SET_WORD},   {54, 54, TYPE_WORD},
        {55, 55, TYPE_URL},     {56, 56, TYPE_EMAIL},      {57, 57, TYPE_REF},
        {58, 58, TYPE_WORD},    {59, 59, TYPE_PATH},       {60, 60, TYPE_INTEGER},
        {61, 62, TYPE_WORD},    {63, 63, TYPE_ISSUE},      {64, 64, TYPE_WORD},
        {65, 65, TYPE_FILE},
    };
    int expected[SCANNING_STATES];
    for (int& e : expected) e = -1;
    for (int s : none_states) expected[s] = 0;
    for (const Guess& g : guesses)
        for (int s = g.first; s <= g.last; s++) expected[s] = g.type;
    for (int s = 0; s < SCANNING_STATES; s++) {
        ASSERT_NE(expected[s], -1) << "state " << s << " not described";
        EXPECT_EQ(g_guessed_types[s], expected[s]) << "state " << s;
    }
}

TEST(LexerTables, TerminalStatesAreTokenTypesWithTheirDatatypes) {
    const int datatypes[TOKEN_COUNT] = {
        0,
        TYPE_ERROR,
        0,
        0,
        0,
        0,
        0,
        TYPE_STRING,
        0,
        0,
        0,
        0,
        0,
        TYPE_STRING,
        TYPE_WORD,
        TYPE_ISSUE,
        TYPE_INTEGER,
        TYPE_REFINEMENT,
        TYPE_CHAR,
        TYPE_FILE,
        TYPE_BINARY,
        TYPE_PERCENT,
        TYPE_FLOAT,
        TYPE_FLOAT,
        TYPE_TUPLE,
        TYPE_DATE,
        TYPE_PAIR,
        TYPE_POINT2D,
        TYPE_TIME,
        TYPE_MONEY,
        TYPE_TAG,
        TYPE_URL,
        TYPE_EMAIL,
        TYPE_INTEGER,
        TYPE_STRING,
        TYPE_REF,
    };
    for (int t = 0; t < TOKEN_COUNT; t++)
        EXPECT_EQ(g_guessed_types[TERMINAL_BASE + t], datatypes[t]) << "token type " << t;
    EXPECT_EQ(TERMINAL_BASE + TOKEN_REF, STATE_COUNT - 1);
}

// Every state a transition names exists.
TEST(LexerTables, TargetsAreScanningOrTerminalStates) {
    for (int s = 0; s < SCANNING_STATES; s++)
        for (int c = 0; c < CLASS_COUNT; c++) {
            int target = g_transitions[s][c];
            EXPECT_TRUE(target < SCANNING_STATES ||
                        (target >= TERMINAL_BASE && target < STATE_COUNT))
                << "state " << s << " class " << c << " -> " << target;
        }
}

// ---- Reading one token ----------------------------------------------------------

struct Read {
    int token;
    std::string text;  // the token's bytes, leading blanks and the ending byte excluded
    int previous;      // the state before the terminal one
    TokenRead raw;
};

Read read(int start, std::string_view text) {
    const auto* p = reinterpret_cast<const uint8_t*>(text.data());
    TokenRead r = read_token(start, p, p + text.size());
    std::string token(text.substr(size_t(r.skipped), size_t(r.end - p - r.skipped)));
    return {r.state - TERMINAL_BASE, token, r.previous, r};
}

struct TokenCase {
    int start;
    std::string_view input;
    int token;
    std::string_view text;
};

// clang-format off
const TokenCase TOKEN_CASES[] = {
    // Words and their relatives.
    {STATE_BETWEEN, "abc", TOKEN_WORD, "abc"},
    {STATE_BETWEEN, "  \t\r\x01\x1F abc def", TOKEN_WORD, "abc"},
    {STATE_BETWEEN, "abc: 1", TOKEN_WORD, "abc:"},
    {STATE_BETWEEN, ":abc", TOKEN_WORD, ":abc"},
    {STATE_BETWEEN, "'abc]", TOKEN_WORD, "'abc"},
    {STATE_BETWEEN, "+", TOKEN_WORD, "+"},
    {STATE_BETWEEN, "-abc", TOKEN_WORD, "-abc"},
    {STATE_BETWEEN, "=", TOKEN_WORD, "="},
    {STATE_BETWEEN, "<", TOKEN_WORD, "<"},
    {STATE_BETWEEN, "/", TOKEN_WORD, "/"},
    {STATE_BETWEEN, "//", TOKEN_WORD, "//"},
    {STATE_BETWEEN, "%%", TOKEN_WORD, "%%"},
    {STATE_BETWEEN, "caf\xC3\xA9 x", TOKEN_WORD, "caf\xC3\xA9"},
    {STATE_BETWEEN, "/ref x", TOKEN_REFINEMENT, "/ref"},
    {STATE_BETWEEN, "#issue", TOKEN_ISSUE, "#issue"},
    {STATE_BETWEEN, "a/b", TOKEN_PATH_HEAD, "a"},
    {STATE_BETWEEN, "http://a.b/c d", TOKEN_URL, "http://a.b/c"},
    {STATE_BETWEEN, "a@b.c", TOKEN_EMAIL, "a@b.c"},
    {STATE_BETWEEN, "@ref", TOKEN_REF, "@ref"},
    // Numbers of every form.
    {STATE_BETWEEN, "123 ", TOKEN_INTEGER, "123"},
    {STATE_BETWEEN, "-12", TOKEN_INTEGER, "-12"},
    {STATE_BETWEEN, "1'000'000", TOKEN_INTEGER, "1'000'000"},
    {STATE_BETWEEN, "0", TOKEN_INTEGER, "0"},
    {STATE_BETWEEN, "FFh", TOKEN_HEX, "FFh"},
    {STATE_BETWEEN, "0Fh]", TOKEN_HEX, "0Fh"},
    {STATE_BETWEEN, "1.5", TOKEN_FLOAT, "1.5"},
    {STATE_BETWEEN, ".5", TOKEN_FLOAT, ".5"},
    {STATE_BETWEEN, "1e10", TOKEN_FLOAT, "1e10"},
    {STATE_BETWEEN, "1E-5)", TOKEN_FLOAT, "1E-5"},
    {STATE_BETWEEN, "1'000.5", TOKEN_FLOAT, "1'000.5"},
    {STATE_BETWEEN, "1.#NaN", TOKEN_SPECIAL_FLOAT, "1.#NaN"},
    {STATE_BETWEEN, "-1.#inf", TOKEN_SPECIAL_FLOAT, "-1.#inf"},
    {STATE_BETWEEN, "50%", TOKEN_PERCENT, "50"},
    {STATE_BETWEEN, "1.2.3", TOKEN_TUPLE, "1.2.3"},
    {STATE_BETWEEN, "2020-01-15", TOKEN_DATE, "2020-01-15"},
    {STATE_BETWEEN, "15-Jan-2020/10:30:00+2:00", TOKEN_DATE, "15-Jan-2020/10:30:00+2:00"},
    {STATE_BETWEEN, "20200115T103000Z", TOKEN_DATE, "20200115T103000Z"},
    {STATE_BETWEEN, "10:30", TOKEN_TIME, "10:30"},
    {STATE_BETWEEN, "1:30:15.5", TOKEN_TIME, "1:30:15.5"},
    {STATE_BETWEEN, "1x2", TOKEN_PAIR, "1x2"},
    {STATE_BETWEEN, "-1X-2", TOKEN_PAIR, "-1X-2"},
    {STATE_BETWEEN, "$1.50", TOKEN_MONEY, "$1.50"},
    {STATE_BETWEEN, "-USD$1'000.25", TOKEN_MONEY, "-USD$1'000.25"},
    // Strings and other series literals.
    {STATE_BETWEEN, "\"a b\" c", TOKEN_STRING, "\"a b"},
    {STATE_BETWEEN, "\"a^\"b\"", TOKEN_STRING, "\"a^\"b"},
    {STATE_BETWEEN, "#\"a\"", TOKEN_CHAR, "#\"a"},
    {STATE_BETWEEN, "#\"^\"\"", TOKEN_CHAR, "#\"^\""},
    {STATE_BETWEEN, "%file.txt", TOKEN_FILE, "%file.txt"},
    {STATE_BETWEEN, "%\"a b\"", TOKEN_FILE, "%\"a b"},
    {STATE_BETWEEN, "%\"a^\"b\" c", TOKEN_FILE, "%\"a^\"b"},
    {STATE_BETWEEN, "%\"a^^\"b", TOKEN_FILE, "%\"a^^"},
    {STATE_BETWEEN, "%{raw \"}%", TOKEN_RAW_STRING, "%{raw \"}%"},
    {STATE_BETWEEN, "%%{a}% b}%% x", TOKEN_RAW_STRING, "%%{a}%"},
    {STATE_BETWEEN, "#{0F 10}", TOKEN_BINARY, "#{0F 10"},
    {STATE_BETWEEN, "2#{0000 ; bits\n1111}", TOKEN_BINARY, "2#{0000 ; bits\n1111"},
    {STATE_BETWEEN, "<tag a=\">\">", TOKEN_TAG, "<tag a=\">\""},
    // Delimiters, comments, commas.
    {STATE_BETWEEN, " [", TOKEN_BLOCK_OPEN, ""},
    {STATE_BETWEEN, "]", TOKEN_BLOCK_CLOSE, ""},
    {STATE_BETWEEN, "(", TOKEN_PAREN_OPEN, ""},
    {STATE_BETWEEN, ")", TOKEN_PAREN_CLOSE, ""},
    {STATE_BETWEEN, "{", TOKEN_BRACE_OPEN, ""},
    {STATE_BETWEEN, "#[", TOKEN_MAP_OPEN, "#"},
    {STATE_BETWEEN, "#(true)", TOKEN_CONSTRUCT, "#(true"},
    {STATE_BETWEEN, "; note\nx", TOKEN_COMMENT, "; note"},
    {STATE_BETWEEN, "; note", TOKEN_COMMENT, "; note"},
    {STATE_BETWEEN, ",", TOKEN_COMMA, ""},
    {STATE_BETWEEN, " \n ", TOKEN_EOF, ""},
    {STATE_BETWEEN, "", TOKEN_EOF, ""},
    {STATE_BETWEEN, std::string_view("\0abc", 4), TOKEN_EOF, ""},
    // Inside a brace string: everything up to the next brace.
    {STATE_BRACE, "a \"b\n c}", TOKEN_BRACE_CLOSE, "a \"b\n c"},
    {STATE_BRACE, "a {b}", TOKEN_BRACE_OPEN, "a "},
    {STATE_BRACE, "a^}b}", TOKEN_BRACE_CLOSE, "a^}b"},
    // Path elements.
    {STATE_PATH, "b/c", TOKEN_WORD, "b"},
    {STATE_PATH, "'b/c", TOKEN_WORD, "'b"},
    {STATE_PATH, "1/c", TOKEN_INTEGER, "1"},
    {STATE_PATH, "-1)", TOKEN_INTEGER, "-1"},
    {STATE_PATH, ":b", TOKEN_WORD, ":b"},
    {STATE_PATH, "(", TOKEN_PAREN_OPEN, ""},
    {STATE_PATH, "\"s\"", TOKEN_STRING, "\"s"},
    {STATE_PATH, "#\"c\"", TOKEN_CHAR, "#\"c"},
    // A point literal after its "(".
    {STATE_POINT, "1.5, 2, 3)", TOKEN_POINT, "1.5, 2, 3"},
    {STATE_POINT, "1.#INF, -2)", TOKEN_POINT, "1.#INF, -2"},
};
// clang-format on

TEST(LexerAutomaton, ReadsEachTokenType) {
    for (const TokenCase& c : TOKEN_CASES) {
        Read r = read(c.start, c.input);
        EXPECT_EQ(r.token, c.token) << "'" << c.input << "' from state " << c.start;
        EXPECT_EQ(r.text, c.text) << "'" << c.input << "' from state " << c.start;
    }
}

// An error transition remembers the state it left, whose guessed datatype
// names the error: none for a byte that cannot start a token.
TEST(LexerAutomaton, BadBytesReachTheErrorState) {
    struct ErrorCase {
        int start;
        std::string_view input;
        int guessed;  // the guessed type of the state before the error
    };
    // clang-format off
    const ErrorCase cases[] = {
        {STATE_BETWEEN, "\xC0", 0},          // never in UTF-8
        {STATE_BETWEEN, "\xFF", 0},
        {STATE_BETWEEN, "\x80", 0},          // a continuation byte on its own
        {STATE_BETWEEN, "}", 0},
        {STATE_BETWEEN, "\\", 0},
        {STATE_BETWEEN, "\"abc\ndef\"", TYPE_STRING},  // a line feed inside a quoted string
        {STATE_BETWEEN, "\"abc", TYPE_STRING},           // the text ends inside the string
        {STATE_BETWEEN, std::string_view("\"a\0\"", 4), TYPE_STRING},  // byte 0 inside a token
        {STATE_BETWEEN, "1a", TYPE_INTEGER},
        {STATE_BETWEEN, "12:", TYPE_TIME},
        {STATE_BETWEEN, "1.5x", TYPE_PAIR},
        {STATE_BETWEEN, "#\"a", TYPE_CHAR},
        {STATE_BETWEEN, "#{0F", TYPE_BINARY},
        {STATE_BETWEEN, "<a", TYPE_TAG},
        {STATE_BETWEEN, "abc\xC0", TYPE_WORD},
        {STATE_BETWEEN, "#(true", 0},
        {STATE_BRACE, "abc", TYPE_STRING},
        {STATE_PATH, " ", TYPE_PATH},
        {STATE_POINT, "1, 2", TYPE_POINT2D},
    };
    // clang-format on
    for (const ErrorCase& c : cases) {
        Read r = read(c.start, c.input);
        EXPECT_EQ(r.token, TOKEN_ERROR) << "'" << c.input << "'";
        EXPECT_EQ(g_guessed_types[r.previous], c.guessed) << "'" << c.input << "'";
    }
}

TEST(LexerAutomaton, FlagsGatherEveryByteOfTheTokenAndItsEnd) {
    struct FlagsCase {
        std::string_view input;
        uint32_t present;
        uint32_t absent;
    };
    const FlagsCase cases[] = {
        {"a^b", LEX_CARET, LEX_COLON},
        {"a:b", LEX_COLON, LEX_CARET},
        {"abc,", LEX_COMMA, LEX_POINT},  // the ending byte counts
        {"1.5e3", LEX_POINT | LEX_EXPONENT, LEX_SIGN},
        {"-1", LEX_SIGN, LEX_POINT},
        {"caf\xC3\xA9", LEX_UTF8_WIDE, LEX_UTF8_4},
        {"\xF0\x9D\x84\x9E", LEX_UTF8_4, LEX_UTF8_WIDE},
        {"1'000", LEX_QUOTE, LEX_HASH},
        {"#a", LEX_HASH, LEX_QUOTE},
        {"50%", LEX_PERCENT, LEX_POINT},
        {"<a>", LEX_LESS | LEX_GREATER, LEX_PERCENT},
        {std::string_view("a\0", 2), LEX_NUL, LEX_CARET},
    };
    for (const FlagsCase& c : cases) {
        Read r = read(STATE_BETWEEN, c.input);
        EXPECT_EQ(r.raw.flags & c.present, c.present) << "'" << c.input << "'";
        EXPECT_EQ(r.raw.flags & c.absent, 0u) << "'" << c.input << "'";
    }
}

// Leading blanks and line feeds are skipped and counted; the line feed that
// ends a token is left to be read again.
TEST(LexerAutomaton, SkipsBlanksAndCountsLines) {
    Read r = read(STATE_BETWEEN, "\n \r\n\tword\nnext");
    EXPECT_EQ(r.text, "word");
    EXPECT_EQ(r.raw.skipped, 5);
    EXPECT_EQ(r.raw.lines, 2);
    EXPECT_EQ(*r.raw.end, '\n');

    Read brace = read(STATE_BRACE, "a\nb\n}");
    EXPECT_EQ(brace.token, TOKEN_BRACE_CLOSE);
    EXPECT_EQ(brace.raw.skipped, 0);  // nothing is blank inside a brace string
    EXPECT_EQ(brace.raw.lines, 2);
}

}  // namespace
}  // namespace zel::lexer
