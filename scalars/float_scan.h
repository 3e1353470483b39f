// The float validation automaton: decides whether a run of bytes is float
// text before it is converted. The float and point loaders check their
// tokens with it, and text-to-number conversion for `to` checks its copy of
// a string with it.
//
// Accepted: signs, then digits with "'" separators, an optional point and
// fraction, an optional "e"/"E" with an optional sign and digits ("1'000.5",
// ".5", "1.", "-1.5e10"); at most FLOAT_TEXT_MAX bytes. The end of the text is
// its length: a NUL byte inside it is an ordinary bad byte.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zel::float_scan {

constexpr size_t FLOAT_TEXT_MAX = 312;

bool float_text_q(const uint8_t* text, size_t length);

}  // namespace zel::float_scan
