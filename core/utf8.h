// UTF-8 for the output layer and fatal paths, which must never raise: a
// code point beyond the Unicode range is written as U+FFFD. The encoding
// itself is the unicode module's.
#pragma once

#include <cstddef>
#include <cstdint>

#include "series/unicode.h"

namespace zel::utf8 {

// Writes the UTF-8 form of cp (at most 4 bytes) and answers its length.
inline size_t encode(uint32_t cp, uint8_t* out) {
    return size_t(unicode::encode_utf8(cp > unicode::MAX_CODE_POINT ? 0xFFFD : cp, out));
}

}  // namespace zel::utf8
