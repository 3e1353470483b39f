// Case folding: upper- and lower-case forms of single code points. Every
// case-insensitive comparison, search and hash of text maps code points to
// upper case through change_char, so the Basic Multilingual Plane costs two
// array reads; the few supplementary letters are looked up in a short list.
#pragma once

#include <cstdint>

#include "foundation/cell.h"

namespace zel::case_folding {

namespace detail {
// A mapping of the 65,536 code points of the Basic Multilingual Plane in
// two levels: the high byte picks a page of 256 entries, the low byte the
// entry; an entry is the mapped code point, or 0 for "maps to itself".
// Page 0 maps nothing, and every high byte without a mapping picks it.
struct Table {
    const uint8_t* index;
    const uint32_t (*pages)[256];
};
extern const Table g_to_upper;
extern const Table g_to_lower;
uint32_t change_supplementary(uint32_t cp, bool upper);
}  // namespace detail

// Upper case when `upper` is set, lower case otherwise; unknown code points
// map to themselves. A letter whose full mapping is several characters maps
// to the first of them (U+00DF to U+0053).
inline uint32_t change_char(uint32_t cp, bool upper) {
    if (cp > 0xFFFF) return detail::change_supplementary(cp, upper);
    const detail::Table& table = upper ? detail::g_to_upper : detail::g_to_lower;
    uint32_t mapped = table.pages[table.index[cp >> 8]][cp & 0xFF];
    return mapped ? mapped : cp;
}

inline uint32_t upper_char(uint32_t cp) { return change_char(cp, true); }

// The upper case when it differs from cp, else the lower case.
inline uint32_t toggle_char(uint32_t cp) {
    uint32_t up = change_char(cp, true);
    return up != cp ? up : change_char(cp, false);
}

// The body of the uppercase and lowercase natives: changes the char! or
// text in args[0] in place and answers it. part_index is the position of
// the /part argument among the args (0 when absent): an integer! count or a
// position in the same text; a negative count changes nothing and a count
// past the tail stops there. A character that no longer fits the text's
// unit widens it. The owner is told afterwards, with the head index and the
// count changed.
Cell* change(Cell* args, int part_index, bool upper);

}  // namespace zel::case_folding
