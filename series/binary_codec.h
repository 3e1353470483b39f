// The base-2, base-16 and base-64 text decoders of binary!: `debase` reads
// text with them, and so do binary literals ("2#{...}", "#{...}",
// "64#{...}"), which are stricter.
//
// Text is read code unit by code unit (units of 1, 2 or 4 bytes); ";" starts
// a comment that runs to the next line feed, and a comment reaching the end
// of the text ends it. Each decoder answers the node of a new byte buffer,
// or 0 when the text is invalid; `bad` (when given) then receives the index
// of the offending code unit, or the count when the text ended too early.
//
// Relies on: the memory manager.
#pragma once

#include <cstdint>

#include "foundation/memory.h"

namespace zel::binary {

enum class DecodeRules {
    // `debase`: characters up to space are skipped (base 64: white space);
    // an odd base-16 digit or leftover base-64 digits at the end are dropped.
    general,
    // Literals: only tab, LF, CR and space are skipped (base 64 also
    // backspace, form feed and "'"); a digit left without its pair, leftover
    // base-64 digits and anything after base-64 padding are errors.
    literal,
};

Node decode_base2(const uint8_t* text, int64_t count, int unit, DecodeRules rules = DecodeRules::general,
                  int64_t* bad = nullptr);
Node decode_base16(const uint8_t* text, int64_t count, int unit, DecodeRules rules = DecodeRules::general,
                   int64_t* bad = nullptr);
Node decode_base64(const uint8_t* text, int64_t count, int unit, DecodeRules rules = DecodeRules::general,
                   int64_t* bad = nullptr);

}  // namespace zel::binary
