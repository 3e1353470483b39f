// Display widths: the number of terminal columns a code point takes (0, 1
// or 2), for the line editor and the terminal back-end to place the cursor
// and lay out text.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zel::unicode {

// 0 for U+0000 and for combining marks, 1 for control characters, 2 for
// wide and fullwidth characters, 1 for everything else (unassigned and
// private-use code points included).
int char_width(uint32_t cp);

// As char_width, but the characters whose width East Asian text makes 2
// (the ambiguous ones) count 2.
int char_width_cjk(uint32_t cp);

// True when cp lies in one of the ranges of `table`: sorted, disjoint,
// inclusive {first, last} pairs, `words` 32-bit words in all.
bool in_ranges_q(uint32_t cp, const uint32_t* table, size_t words);

}  // namespace zel::unicode
