// The smallest UTF-8 encoder, for the output layer and fatal paths that must
// not depend on the text datatypes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zel::utf8 {

// Writes the UTF-8 form of cp (at most 4 bytes) and answers its length.
// Code points beyond the Unicode range are written as U+FFFD.
inline size_t encode(uint32_t cp, uint8_t* out) {
    if (cp < 0x80) {
        out[0] = uint8_t(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = uint8_t(0xC0 | (cp >> 6));
        out[1] = uint8_t(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp > 0x10FFFF) cp = 0xFFFD;
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

}  // namespace zel::utf8
