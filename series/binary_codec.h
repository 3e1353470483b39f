// The base-2, base-16, base-58 and base-64 text codecs of binary!: `enbase`
// and `debase` use them, and binary literals ("2#{...}", "#{...}",
// "64#{...}") are read with the decoders under stricter rules.
//
// Encoders write ASCII text, one byte a character, into an area the caller
// provides (at least encoded_capacity() bytes) and answer the end of what
// they wrote. Base 16 writes upper-case digits; base 58 uses the Bitcoin
// alphabet and writes each leading zero byte as "1"; base 64 is the standard
// alphabet of RFC 4648 with "=" padding and no line breaks.
//
// Decoders read text code unit by code unit (units of 1, 2 or 4 bytes), never
// past the given count; ";" starts a comment that runs to the next line
// feed, and a comment reaching the end of the text ends it. Each decoder
// answers the node of a new byte buffer, or 0 when the text is invalid; `bad`
// (when given) then receives the index of the offending code unit, or the
// count when the text ended too early.
//
// Relies on: the memory manager.
#pragma once

#include <cstdint>

#include "foundation/memory.h"

namespace zel::binary {

enum class DecodeRules {
    // `debase`: characters up to space are skipped (base 58 and base 64:
    // white space); an odd base-16 digit or leftover base-64 digits at the
    // end are dropped.
    general,
    // Literals: only tab, LF, CR and space are skipped (base 64 also
    // backspace, form feed and "'"); a digit left without its pair, leftover
    // base-64 digits and anything after base-64 padding are errors.
    literal,
};

// The most characters encoding n bytes in the base (2, 16, 58 or 64) can
// write: exact for 2, 16 and 64.
int64_t encoded_capacity(int base, int64_t n);

uint8_t* encode_base2(uint8_t* out, const uint8_t* bytes, int64_t n);
uint8_t* encode_base16(uint8_t* out, const uint8_t* bytes, int64_t n);
uint8_t* encode_base58(uint8_t* out, const uint8_t* bytes, int64_t n);
uint8_t* encode_base64(uint8_t* out, const uint8_t* bytes, int64_t n);

// A code unit above 127 fails in base 2, 16 and 64, and ends the text in
// base 58.
Node decode_base2(const uint8_t* text, int64_t count, int unit, DecodeRules rules = DecodeRules::general,
                  int64_t* bad = nullptr);
Node decode_base16(const uint8_t* text, int64_t count, int unit, DecodeRules rules = DecodeRules::general,
                   int64_t* bad = nullptr);
Node decode_base64(const uint8_t* text, int64_t count, int unit, DecodeRules rules = DecodeRules::general,
                   int64_t* bad = nullptr);
// Base 58 has no literal form: general rules only.
Node decode_base58(const uint8_t* text, int64_t count, int unit, int64_t* bad = nullptr);

}  // namespace zel::binary
