// The automaton's tables, written the way they are read: the byte classes as
// lists of bytes, and each state's row as a default target plus the classes
// that go elsewhere. Both are expanded into flat arrays at compile time; a
// row that names a class twice, a class or target out of range, or a byte
// left without a class stops the build.
#include "lexer/lexer_tables.h"

#include "foundation/cell.h"

namespace zel::lexer {

namespace {

// ---- Byte classes ---------------------------------------------------------------

struct ClassSpec {
    uint8_t cls;
    const char* bytes;  // printable bytes of the class
    uint8_t first;      // and one range of byte values (first > last: none)
    uint8_t last;
};

constexpr uint8_t NO_RANGE_FIRST = 1;
constexpr uint8_t NO_RANGE_LAST = 0;

constexpr ClassSpec CLASS_SPECS[] = {
    {C_BLANK, "\t\r ", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_LINE, "\n", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_DIGIT, "123456789", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_ZERO, "0", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_BLOCK_OPEN, "[", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_BLOCK_CLOSE, "]", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_PAREN_OPEN, "(", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_PAREN_CLOSE, ")", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_BRACE_OPEN, "{", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_BRACE_CLOSE, "}", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_DQUOTE, "\"", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_HASH, "#", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_QUOTE, "'", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_COLON, ":", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_X, "xX", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_T, "T", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_H, "h", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_E_LOWER, "e", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_E_UPPER, "E", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_HEX_LOWER, "abcdf", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_HEX_UPPER, "ABCDF", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_SLASH, "/", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_BACKSLASH, "\\", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_LESS, "<", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_GREATER, ">", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_EQUAL, "=", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_PERCENT, "%", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_COMMA, ",", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_SEMICOLON, ";", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_AT, "@", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_POINT, ".", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_DOLLAR, "$", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_PLUS, "+", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_MINUS, "-", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_CARET, "^", NO_RANGE_FIRST, NO_RANGE_LAST},
    {C_CONTROL, "\x0B\x0C", 1, 8},
    {C_CONTROL, "", 14, 31},
    {C_CONTINUATION, "", 127, 191},
    {C_WORD, "GHIJKLMNOPQRSUVWYZgijklmnopqrstuvwyz!&*?_`~|", 194, 247},
    {C_INVALID, "", 192, 193},
    {C_INVALID, "", 248, 255},
    {C_EOF, "", 0, 0},
};

struct FlagSpec {
    uint32_t flag;
    uint8_t first;
    uint8_t last;
};

constexpr FlagSpec FLAG_SPECS[] = {
    {LEX_PERCENT, '%', '%'}, {LEX_GREATER, '>', '>'},  {LEX_LESS, '<', '<'},
    {LEX_SIGN, '+', '+'},    {LEX_SIGN, '-', '-'},     {LEX_NUL, 0, 0},
    {LEX_HASH, '#', '#'},    {LEX_EXPONENT, 'e', 'e'}, {LEX_EXPONENT, 'E', 'E'},
    {LEX_QUOTE, '\'', '\''}, {LEX_COLON, ':', ':'},    {LEX_COMMA, ',', ','},
    {LEX_POINT, '.', '.'},   {LEX_CARET, '^', '^'},    {LEX_UTF8_WIDE, 194, 239},
    {LEX_UTF8_4, 240, 247},
};

constexpr std::array<uint32_t, 256> build_class_words() {
    std::array<uint32_t, 256> words{};
    std::array<bool, 256> given{};
    auto assign = [&](int byte, uint8_t cls) {
        if (given[byte]) throw "a byte is in two classes";
        given[byte] = true;
        words[byte] = cls;
    };
    for (const ClassSpec& spec : CLASS_SPECS) {
        for (const char* p = spec.bytes; *p; p++) assign(uint8_t(*p), spec.cls);
        for (int b = spec.first; b <= spec.last; b++) assign(b, spec.cls);
    }
    for (bool g : given)
        if (!g) throw "a byte has no class";
    for (const FlagSpec& spec : FLAG_SPECS)
        for (int b = spec.first; b <= spec.last; b++) words[b] |= spec.flag;
    return words;
}

// ---- Transitions -------------------------------------------------------------------

// One state's row: the target of every class not listed, then the listed
// ones as "classes: target" groups separated by "; ", the classes given as
// numbers and ranges separated by commas.
struct RowSpec {
    uint8_t state;
    uint8_t guessed;  // datatype id, 0 for none
    uint8_t fallback;
    const char* exceptions;
};

// What each state reads:
//  0 between tokens; 1 a comment to the end of the line;
//  2-3 a string in double quotes and the byte after a caret;
//  4-5 inside a brace string and the byte after a caret;
//  6-9 a file after "%" (7 plain, 8 quoted, 9 after "%%"), 65 the byte
//  after a caret in a quoted file, so that ^" does not end it;
//  10-12 a raw string: "%"s, "{", the text, "}" and the closing "%"s;
//  13-15 a lone slash, a refinement, two slashes; 16 after "#";
//  17-18 a binary in braces and a comment inside it;
//  19-20 a character after "#" and a double quote, the byte after a caret;
//  21 a construction "#(...)"; 22 an issue;
//  23 decimal digits; 24-28 a float (after the point, fraction, exponent,
//  after "E", after "#"); 29 a tuple; 30 a date; 31-32 a time; 33-34 a pair;
//  35 a point literal; 36-38 money; 39-42 hexadecimal digits and the "h";
//  43-46 a tag and its quoted parts; 47-50 words beginning with a sign or a
//  point; 51 after a leading "'" or ":"; 52 a word; 53 after a word and ":"
//  (a URL scheme); 54 a word of "%"s; 55 a URL; 56 an email; 57 a ref;
//  58 a word beginning with "=";
//  59 the start of a path element; 60 a number in a path; 61 after "'" or
//  ":" in a path; 62 a word in a path; 63 "#" in a path; 64 a sign in a path.
// clang-format off
constexpr RowSpec ROW_SPECS[SCANNING_STATES] = {
    {0, 0, 52, "0-1,35: 0; 2-3: 23; 4: 68; 5: 69; 6: 70; 7: 71; 8: 72; 9,22,36,38: 67; 10: 2; 11: 16; 12-13: 51; 18,20: 40; 21: 13; 23: 43; 25: 58; 26: 6; 27: 78; 28: 1; 29: 57; 30: 49; 31: 36; 32-33: 47; 39: 66"},
    {1, 0, 1, "1,39: 77; 38: 67"},
    {2, TYPE_STRING, 2, "1,38-39: 67; 10: 79; 34: 3"},
    {3, TYPE_STRING, 2, "38-39: 67"},
    {4, TYPE_STRING, 4, "8: 72; 9: 73; 34: 5; 38-39: 67"},
    {5, TYPE_STRING, 4, "38-39: 67"},
    {6, TYPE_FILE, 7, "0-1,4-7,9,28-29,35,39: 80; 8: 10; 10: 8; 13: 54; 26: 9; 38: 67"},
    {7, TYPE_FILE, 7, "0-1,4-9,13,28-29,39: 85; 10,38: 67"},
    {8, TYPE_FILE, 8, "1,38-39: 67; 10: 85; 34: 65"},
    {9, TYPE_FILE, 7, "0-1,4-7,9-10,22,28,35,39: 80; 8: 10; 26: 9; 38: 67"},
    {10, TYPE_STRING, 10, "9: 11; 38-39: 67"},
    {11, TYPE_STRING, 10, "9: 11; 26: 12; 38-39: 67"},
    {12, TYPE_STRING, 67, "0-1,4-8,10,23,28,35,39: 100; 26: 12"},
    {13, TYPE_WORD, 14, "0-1,4-11,28-29,35,39: 80; 13: 53; 21: 15; 27,38: 67"},
    {14, TYPE_REFINEMENT, 14, "0-1,4-10,21,28-29,35,39: 83; 13,27,38: 67"},
    {15, TYPE_WORD, 52, "0-1,4-11,28-29,35,39: 80; 21: 15; 26-27,31,38: 67"},
    {16, TYPE_ISSUE, 22, "0-1,5,7,9,13,23-24,27,38: 67; 4: 74; 6: 21; 8: 17; 10: 19; 28-29,35,39: 81"},
    {17, TYPE_BINARY, 67, "0-3,14-21,25,32,37: 17; 9: 86; 28: 18"},
    {18, 0, 18, "1: 17; 38-39: 67"},
    {19, TYPE_CHAR, 19, "10: 84; 34: 20; 38-39: 67"},
    {20, TYPE_CHAR, 19, "38-39: 67"},
    {21, 0, 21, "7: 76; 38-39: 67"},
    {22, TYPE_ISSUE, 22, "0-1,4-10,28-29,35,39: 81; 13,21,38: 67"},
    {23, TYPE_INTEGER, 82, "2-3,12: 23; 11: 16; 13: 31; 14: 33; 15,21,33: 30; 16: 42; 17: 26; 18: 27; 19,22,24-25,31-32,34,36-38: 67; 20: 39; 26: 87; 29: 56; 30: 24"},
    {24, TYPE_FLOAT, 67, "0-1,4-10,21,23,27-28,35,39: 88; 2-3,12: 25; 11: 28; 14: 33; 17-18: 26; 26: 87"},
    {25, TYPE_FLOAT, 88, "2-3,12: 25; 11,15-16,19-20,22,24-25,31-34,36-38: 67; 14: 33; 17-18: 26; 26: 87; 29: 56; 30: 29"},
    {26, TYPE_FLOAT, 67, "0-1,4-10,13,21,23,27-28,35,39: 88; 2-3,32-33: 26; 29: 56"},
    {27, TYPE_FLOAT, 88, "2-3: 27; 11-12,14-15,17,19,22,24-25,28,31,34,36-38: 67; 16: 42; 18,20: 40; 26: 87; 29: 56; 30: 29; 32-33: 26"},
    {28, TYPE_FLOAT, 89, "2: 88; 11-13,26,29,31,34,38: 67; 14-20,24-25,30,32-33,36-37: 28"},
    {29, TYPE_TUPLE, 67, "0-1,4-10,13,21,23,28,35,39: 90; 2-3,30: 29"},
    {30, TYPE_DATE, 30, "0-1,4-10,23,28,31,35,39: 91; 26-27,29,34,36,38: 67"},
    {31, TYPE_TIME, 67, "2-3: 32"},
    {32, TYPE_TIME, 67, "0-1,4-10,21,23,28,35,39: 94; 2-3,13,30: 32"},
    {33, TYPE_PAIR, 67, "2-3,32-33: 34; 29: 56"},
    {34, TYPE_PAIR, 67, "0-1,4-10,13,21,23,28,35,39: 92; 2-3,17-18,30: 34; 29: 56"},
    {35, TYPE_POINT2D, 67, "0,2-3,5,11,17-20,27,30,32-33,37: 35; 7: 93"},
    {36, TYPE_MONEY, 67, "2-3: 37"},
    {37, TYPE_MONEY, 67, "0-1,4-11,13,21,23,28,35,39: 95; 2-3,12: 37; 30: 38"},
    {38, TYPE_MONEY, 67, "0-1,4-11,13,21,23,28,35,39: 95; 2-3,12: 38"},
    {39, 0, 67, "2-3,18,20: 39; 16: 41; 29: 56"},
    {40, TYPE_INTEGER, 80, "2-3,18,20: 40; 12,14-15,17,19,23-25,30,32-34,36-37: 52; 13: 53; 16: 41; 21: 75; 26-27,38: 67; 29: 56; 31: 37"},
    {41, TYPE_WORD, 52, "0-1,4-10,22,28,35,39: 99; 11,26-27,38: 67; 13: 53; 21: 75; 29: 56; 31: 37"},
    {42, TYPE_INTEGER, 67, "0-1,4-10,22-23,28,35,39: 99; 21: 75; 29: 56; 31: 37"},
    {43, TYPE_TAG, 44, "0-1,4-10,28,35,39: 80; 12: 46; 13: 53; 23: 43; 24-25,33: 52; 38: 67"},
    {44, TYPE_TAG, 44, "10: 45; 12: 46; 24: 96; 38-39: 67"},
    {45, TYPE_TAG, 45, "10: 44; 38-39: 67"},
    {46, TYPE_TAG, 46, "12: 44; 38-39: 67"},
    {47, TYPE_WORD, 52, "0-1,4-11,22,28,35,39: 80; 2-3: 23; 12,26,34,38: 67; 21: 75; 30: 49; 31: 37"},
    {48, TYPE_WORD, 52, "0-1,4-11,22,28,35,39: 80; 12,26,31,34,38: 67; 21: 75"},
    {49, TYPE_WORD, 52, "0-1,4-11,22,28,35,39: 80; 2-3,32-33: 50; 13: 53; 21: 75; 26-27,31,38: 67; 29: 56"},
    {50, TYPE_FLOAT, 67, "0-1,4-10,13,21,23,35,39: 88; 2-3,17-18,32-33: 50; 14: 33; 26: 87; 29: 56"},
    {51, TYPE_WORD, 67, "14-20,24,30,34,36-37: 52; 21: 13; 23: 43; 25: 58; 26: 54; 32-33: 48"},
    {52, TYPE_WORD, 52, "0-1,4-11,22-23,28,35,39: 80; 13: 53; 21: 75; 26-27,38: 67; 29: 56; 31: 36"},
    {53, TYPE_SET_WORD, 55, "0-1,4-10,22,28,35,39: 80; 23,38: 67"},
    {54, TYPE_WORD, 67, "0-1,4-9,22,28,35,39: 80; 26: 54"},
    {55, TYPE_URL, 55, "0-1,4-10,22-23,28,35,39: 97; 24,34,38: 67"},
    {56, TYPE_EMAIL, 98, "2-3,14-20,26,30,32-33,36-37: 56; 11-13,24-25,27,29,31,34,38: 67"},
    {57, TYPE_REF, 57, "0-1,4-10,23,28,35,39: 101; 11-12,22,24-25,27,29,31,34,38: 67"},
    {58, TYPE_WORD, 52, "0-1,4-10,13,22,28,35,39: 80; 11,26-27,29,31,38: 67; 21: 75"},
    {59, TYPE_PATH, 67, "2-3: 60; 6: 70; 7: 71; 10: 2; 11: 63; 12-13: 61; 14-20,24-25,30,36-37: 62; 23: 43; 29: 57; 31: 36; 32-33: 64"},
    {60, TYPE_INTEGER, 67, "0-1,4-10,13,21,23,28,35,39: 82; 2-3,12: 60; 14: 33; 17-18: 26; 26: 87; 29: 56; 30: 24"},
    {61, TYPE_WORD, 67, "14-20,23-25,30,32-33,36-37: 62"},
    {62, TYPE_WORD, 62, "0-1,4-10,13,21-22,28,35,39: 80; 11,26-27,38: 67; 29: 56; 31: 36"},
    {63, TYPE_ISSUE, 22, "0-1,5-9,13,21,23-25,27-29,35,38-39: 67; 4: 21; 10: 19"},
    {64, TYPE_WORD, 80, "2-3: 60; 11-12,23,26-27,34,38: 67; 14-20,24-25,30,36-37: 62; 29: 56; 31: 36; 32-33: 64"},
    {65, TYPE_FILE, 8, "1,38-39: 67"},
};
// clang-format on

// The datatype of each token type, as its terminal state guesses it.
constexpr uint8_t TOKEN_TYPES[TOKEN_COUNT] = {
    0,                // end of input
    TYPE_ERROR,       // error transition
    0,                // [
    0,                // ]
    0,                // (
    0,                // )
    0,                // {
    TYPE_STRING,      // } closing a brace string
    0,                // #[
    0,                // path head
    0,                // #( ... )
    0,                // comment
    0,                // ,
    TYPE_STRING,      // string
    TYPE_WORD,        // word
    TYPE_ISSUE,       // issue
    TYPE_INTEGER,     // integer
    TYPE_REFINEMENT,  // refinement
    TYPE_CHAR,        // char
    TYPE_FILE,        // file
    TYPE_BINARY,      // binary
    TYPE_PERCENT,     // percent
    TYPE_FLOAT,       // float
    TYPE_FLOAT,       // special float
    TYPE_TUPLE,       // tuple
    TYPE_DATE,        // date
    TYPE_PAIR,        // pair
    TYPE_POINT2D,     // point
    TYPE_TIME,        // time
    TYPE_MONEY,       // money
    TYPE_TAG,         // tag
    TYPE_URL,         // url
    TYPE_EMAIL,       // email
    TYPE_INTEGER,     // hexadecimal integer
    TYPE_STRING,      // raw string
    TYPE_REF,         // ref
};

constexpr bool is_digit(char c) { return c >= '0' && c <= '9'; }

constexpr int read_number(const char*& p) {
    if (!is_digit(*p)) throw "a number is expected";
    int n = 0;
    while (is_digit(*p)) n = n * 10 + (*p++ - '0');
    return n;
}

constexpr void expect(const char*& p, char c) {
    if (*p != c) throw "unexpected character in a row";
    p++;
}

// Reads "classes: target" groups into the row, checking every class is
// named at most once.
constexpr void apply_exceptions(const char* p, std::array<uint8_t, CLASS_COUNT>& row) {
    std::array<bool, CLASS_COUNT> named{};
    while (*p) {
        int classes[CLASS_COUNT][2] = {};
        int ranges = 0;
        for (;;) {
            int first = read_number(p);
            int last = first;
            if (*p == '-') {
                p++;
                last = read_number(p);
            }
            if (first > last || last >= CLASS_COUNT) throw "bad class range";
            classes[ranges][0] = first;
            classes[ranges][1] = last;
            ranges++;
            if (*p != ',') break;
            p++;
        }
        expect(p, ':');
        expect(p, ' ');
        int target = read_number(p);
        if (target >= STATE_COUNT) throw "bad target state";
        for (int r = 0; r < ranges; r++)
            for (int c = classes[r][0]; c <= classes[r][1]; c++) {
                if (named[c]) throw "a class is named twice in a row";
                named[c] = true;
                row[c] = uint8_t(target);
            }
        if (*p) {
            expect(p, ';');
            expect(p, ' ');
        }
    }
}

constexpr std::array<std::array<uint8_t, CLASS_COUNT>, SCANNING_STATES> build_transitions() {
    std::array<std::array<uint8_t, CLASS_COUNT>, SCANNING_STATES> rows{};
    for (int s = 0; s < SCANNING_STATES; s++) {
        const RowSpec& spec = ROW_SPECS[s];
        if (spec.state != s) throw "rows are out of order";
        if (spec.fallback >= STATE_COUNT) throw "bad default";
        rows[s].fill(spec.fallback);
        apply_exceptions(spec.exceptions, rows[s]);
    }
    return rows;
}

constexpr std::array<uint8_t, STATE_COUNT> build_guessed_types() {
    std::array<uint8_t, STATE_COUNT> types{};
    for (int s = 0; s < SCANNING_STATES; s++) types[s] = ROW_SPECS[s].guessed;
    for (int t = 0; t < TOKEN_COUNT; t++) types[TERMINAL_BASE + t] = TOKEN_TYPES[t];
    return types;
}

}  // namespace

constexpr std::array<uint32_t, 256> g_class_words = build_class_words();
constexpr std::array<std::array<uint8_t, CLASS_COUNT>, SCANNING_STATES> g_transitions =
    build_transitions();
constexpr std::array<uint8_t, STATE_COUNT> g_guessed_types = build_guessed_types();

}  // namespace zel::lexer
