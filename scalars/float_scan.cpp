// The float validation automaton: 11 states by 7 kinds of byte, as data.
#include "scalars/float_scan.h"

#include <array>

namespace zel::float_scan {

namespace {

enum ByteKind : uint8_t { OTHER, SIGN, DIGIT, EXPONENT, POINT, SEPARATOR, END, KINDS };

constexpr uint8_t ACCEPTED = 9;
constexpr uint8_t REJECTED = 10;

constexpr std::array<uint8_t, 256> make_kinds() {
    std::array<uint8_t, 256> k{};  // every other byte is OTHER
    k['+'] = k['-'] = SIGN;
    for (int c = '0'; c <= '9'; ++c) k[c] = DIGIT;
    k['e'] = k['E'] = EXPONENT;
    k['.'] = POINT;
    k['\''] = SEPARATOR;
    return k;
}
constexpr std::array<uint8_t, 256> BYTE_KINDS = make_kinds();

// Rows: states; columns: other, sign, digit, e, point, separator, end.
constexpr uint8_t TRANSITIONS[11][KINDS] = {
    {10, 0, 1, 10, 4, 10, 10},     // 0 start
    {10, 10, 1, 6, 5, 2, 9},       // 1 integer digits
    {10, 10, 1, 10, 10, 10, 9},    // 2 after a separator
    {10, 10, 3, 6, 10, 4, 9},      // 3 fraction digits
    {10, 10, 3, 10, 10, 10, 9},    // 4 after a leading point or a fraction separator
    {10, 10, 3, 10, 10, 10, 9},    // 5 after the point
    {10, 7, 8, 10, 10, 10, 10},    // 6 after "e"
    {10, 10, 8, 10, 10, 10, 10},   // 7 after the exponent sign
    {10, 10, 8, 10, 10, 10, 9},    // 8 exponent digits
    {9, 9, 9, 9, 9, 9, 9},         // 9 accepted
    {10, 10, 10, 10, 10, 10, 10},  // 10 rejected
};

}  // namespace

bool float_text_q(const uint8_t* text, size_t length) {
    if (length == 0 || length > FLOAT_TEXT_MAX) return false;
    uint8_t state = 0;
    for (size_t i = 0; i < length && state != REJECTED; ++i)
        state = TRANSITIONS[state][BYTE_KINDS[text[i]]];
    return TRANSITIONS[state][END] == ACCEPTED;
}

}  // namespace zel::float_scan
