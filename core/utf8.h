// UTF-8 for the output layer and fatal paths, which must never raise: a
// code point that UTF-8 cannot carry (beyond the Unicode range, or a lone
// surrogate half, which a string may hold since "^(D800)" makes one) is
// written as U+FFFD, so what leaves the process is always valid UTF-8. The
// encoding itself is the unicode module's.
#pragma once

#include <cstddef>
#include <cstdint>

#include "series/unicode.h"

namespace zel::utf8 {

constexpr uint32_t REPLACEMENT = 0xFFFD;

inline bool encodable(uint32_t cp) { return cp <= unicode::MAX_CODE_POINT && (cp < 0xD800 || cp > 0xDFFF); }

// Writes the UTF-8 form of cp (at most 4 bytes) and answers its length.
inline size_t encode(uint32_t cp, uint8_t* out) {
    return size_t(unicode::encode_utf8(encodable(cp) ? cp : REPLACEMENT, out));
}

}  // namespace zel::utf8
