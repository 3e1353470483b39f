// The lexer's automaton: byte classes, the transition table, the terminal
// states (token types), and the byte loop that runs them.
//
// Every byte maps to a class word: the class number (0-39) in the low byte,
// flag bits above. The automaton has 66 scanning states (0-65); any state
// from 66 up is terminal, and terminal state 66 + n is token type n. A token
// is read by OR-ing the class words of its bytes into one flags word and
// following the transitions until a terminal state is reached; the byte that
// reached it is not part of the token. Everything here is constant data.
#pragma once

#include <array>
#include <cstdint>

namespace zel::lexer {

// ---- Byte classes ---------------------------------------------------------------

enum CharClass : uint8_t {
    C_BLANK = 0,          // tab, CR, space
    C_LINE = 1,           // LF
    C_DIGIT = 2,          // 1-9
    C_ZERO = 3,           // 0
    C_BLOCK_OPEN = 4,     // [
    C_BLOCK_CLOSE = 5,    // ]
    C_PAREN_OPEN = 6,     // (
    C_PAREN_CLOSE = 7,    // )
    C_BRACE_OPEN = 8,     // {
    C_BRACE_CLOSE = 9,    // }
    C_DQUOTE = 10,        // "
    C_HASH = 11,          // #
    C_QUOTE = 12,         // '
    C_COLON = 13,         // :
    C_X = 14,             // x X
    C_T = 15,             // T
    C_H = 16,             // h
    C_E_LOWER = 17,       // e
    C_E_UPPER = 18,       // E
    C_HEX_LOWER = 19,     // a b c d f
    C_HEX_UPPER = 20,     // A B C D F
    C_SLASH = 21,         // /
    C_BACKSLASH = 22,     // backslash
    C_LESS = 23,          // <
    C_GREATER = 24,       // >
    C_EQUAL = 25,         // =
    C_PERCENT = 26,       // %
    C_COMMA = 27,         // ,
    C_SEMICOLON = 28,     // ;
    C_AT = 29,            // @
    C_POINT = 30,         // .
    C_DOLLAR = 31,        // $
    C_PLUS = 32,          // +
    C_MINUS = 33,         // -
    C_CARET = 34,         // ^
    C_CONTROL = 35,       // control bytes other than tab, LF, CR and 0
    C_CONTINUATION = 36,  // DEL and UTF-8 continuation bytes 128-191
    C_WORD = 37,          // other letters and word characters, UTF-8 lead bytes 194-247
    C_INVALID = 38,       // 192, 193, 248-255: never in UTF-8
    C_EOF = 39,           // byte 0; also the column taken when the input runs out
};
constexpr int CLASS_COUNT = 40;
constexpr uint32_t CLASS_MASK = 0xFF;

// Flag bits of a class word. A token's flags (the OR over its bytes, the
// leading blanks and the ending byte included) tell its scanner and loader
// what occurs in it without another pass over the text.
constexpr uint32_t LEX_MULTI_LINE =
    1u << 17;  // never in the table: set for brace strings over several lines
constexpr uint32_t LEX_PERCENT = 1u << 18;
constexpr uint32_t LEX_GREATER = 1u << 19;
constexpr uint32_t LEX_LESS = 1u << 20;
constexpr uint32_t LEX_SIGN = 1u << 21;  // + or -
constexpr uint32_t LEX_NUL = 1u << 22;   // byte 0
constexpr uint32_t LEX_HASH = 1u << 23;
constexpr uint32_t LEX_EXPONENT = 1u << 24;  // e or E
constexpr uint32_t LEX_QUOTE = 1u << 25;     // '
constexpr uint32_t LEX_COLON = 1u << 26;
constexpr uint32_t LEX_COMMA = 1u << 27;
constexpr uint32_t LEX_POINT = 1u << 28;
constexpr uint32_t LEX_CARET = 1u << 29;
constexpr uint32_t LEX_UTF8_WIDE = 1u << 30;  // lead byte of a 2- or 3-byte sequence (194-239)
constexpr uint32_t LEX_UTF8_4 = 1u << 31;     // lead byte of a 4-byte sequence (240-247)

extern const std::array<uint32_t, 256> g_class_words;

// ---- States and token types -----------------------------------------------------

constexpr int SCANNING_STATES = 66;  // states 0-65
constexpr int TERMINAL_BASE = 66;    // terminal state of token type 0
constexpr int STATE_COUNT = 102;     // 0-101

// Start states: the state in which the next token begins.
constexpr int STATE_BETWEEN = 0;  // between tokens; the only state that skips bytes
constexpr int STATE_BRACE = 4;    // inside a brace string
constexpr int STATE_POINT = 35;   // inside a point literal
constexpr int STATE_PATH = 59;    // at the start of a path element

enum Token : int {
    TOKEN_EOF = 0,
    TOKEN_ERROR,
    TOKEN_BLOCK_OPEN,
    TOKEN_BLOCK_CLOSE,
    TOKEN_PAREN_OPEN,
    TOKEN_PAREN_CLOSE,
    TOKEN_BRACE_OPEN,
    TOKEN_BRACE_CLOSE,
    TOKEN_MAP_OPEN,
    TOKEN_PATH_HEAD,
    TOKEN_CONSTRUCT,
    TOKEN_COMMENT,
    TOKEN_COMMA,
    TOKEN_STRING,  // the first value token
    TOKEN_WORD,
    TOKEN_ISSUE,
    TOKEN_INTEGER,
    TOKEN_REFINEMENT,
    TOKEN_CHAR,
    TOKEN_FILE,
    TOKEN_BINARY,
    TOKEN_PERCENT,
    TOKEN_FLOAT,
    TOKEN_SPECIAL_FLOAT,
    TOKEN_TUPLE,
    TOKEN_DATE,
    TOKEN_PAIR,
    TOKEN_POINT,
    TOKEN_TIME,
    TOKEN_MONEY,
    TOKEN_TAG,
    TOKEN_URL,
    TOKEN_EMAIL,
    TOKEN_HEX,
    TOKEN_RAW_STRING,
    TOKEN_REF,
};
constexpr int TOKEN_COUNT = 36;
constexpr int FIRST_VALUE_TOKEN = TOKEN_STRING;

// The transition table, one row of 40 targets per scanning state.
extern const std::array<std::array<uint8_t, CLASS_COUNT>, SCANNING_STATES> g_transitions;
// The datatype a token has when the automaton stops in a state (0: none);
// for scanning states, the type named in errors and for tokens cut short.
extern const std::array<uint8_t, STATE_COUNT> g_guessed_types;

// ---- Reading one token ------------------------------------------------------------

struct TokenRead {
    const uint8_t* end;  // the byte that reached the terminal state, or the input end
    uint32_t flags;      // OR of the class words read, the ending byte included
    int state;           // the terminal state: token type + TERMINAL_BASE
    int previous;        // the state before it
    int skipped;         // leading blank bytes, not part of the token
    int lines;           // line feeds consumed
};

// Runs the automaton from `start` over [p, end). One class lookup and one
// transition per byte and no call: this loop is where whole files go through.
// State 0 is the only one that skips, and LF the only class that counts a
// line, so both tests are comparisons instead of table reads.
inline TokenRead read_token(int start, const uint8_t* p, const uint8_t* end) {
    uint32_t flags = 0;
    int state = start;
    int previous = start;
    int skipped = 0;
    int lines = 0;
    while (p < end) {
        uint32_t word = g_class_words[*p];
        uint32_t cls = word & CLASS_MASK;
        flags |= word;
        previous = state;
        state = g_transitions[state][cls];
        if (state >= SCANNING_STATES) break;
        skipped += state == STATE_BETWEEN;
        lines += cls == C_LINE;
        p++;
    }
    if (state < SCANNING_STATES) {  // ran out of input inside a token
        previous = state;
        state = g_transitions[state][C_EOF];
    }
    return {p, flags, state, previous, skipped, lines};
}

}  // namespace zel::lexer
