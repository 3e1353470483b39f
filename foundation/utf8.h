// UTF-8 for the output layer and fatal paths, which must never raise: a
// code point that UTF-8 cannot carry (beyond the Unicode range, or a lone
// surrogate half, which a string may hold since "^(D800)" makes one) is
// written as U+FFFD, so what leaves the process is always valid UTF-8.
//
// It owns the one UTF-8 encoder of the run-time: the unicode module (text
// conversion for the OS) encodes through it too.
//
// Relies on nothing but the C++ library.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zel::utf8 {

constexpr uint32_t MAX_CODE_POINT = 0x10FFFF;
constexpr uint32_t REPLACEMENT = 0xFFFD;

// The shortest form of cp (at most MAX_CODE_POINT, not checked), 1 to 4
// bytes; answers the count.
inline int encode_shortest(uint32_t cp, uint8_t* out) {
    if (cp < 0x80) {
        out[0] = uint8_t(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = uint8_t(0xC0 | (cp >> 6));
        out[1] = uint8_t(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = uint8_t(0xE0 | (cp >> 12));
        out[1] = uint8_t(0x80 | ((cp >> 6) & 0x3F));
        out[2] = uint8_t(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = uint8_t(0xF0 | (cp >> 18));
    out[1] = uint8_t(0x80 | ((cp >> 12) & 0x3F));
    out[2] = uint8_t(0x80 | ((cp >> 6) & 0x3F));
    out[3] = uint8_t(0x80 | (cp & 0x3F));
    return 4;
}

inline bool encodable(uint32_t cp) { return cp <= MAX_CODE_POINT && (cp < 0xD800 || cp > 0xDFFF); }

// Writes the UTF-8 form of cp (at most 4 bytes), U+FFFD for what UTF-8
// cannot carry, and answers its length.
inline size_t encode(uint32_t cp, uint8_t* out) {
    return size_t(encode_shortest(encodable(cp) ? cp : REPLACEMENT, out));
}

}  // namespace zel::utf8
