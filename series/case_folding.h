// Case folding: upper- and lower-case forms of single code points. Every
// case-insensitive comparison, search and hash of text maps code points to
// upper case through change_char.
#pragma once

#include <cstdint>

#include "core/cell.h"

namespace zel::case_folding {

// Fills the tables; once, at start-up.
void init();
// Upper case when `upper` is set, lower case otherwise; unknown code points
// map to themselves.
uint32_t change_char(uint32_t cp, bool upper);
uint32_t upper_char(uint32_t cp);
uint32_t toggle_char(uint32_t cp);

}  // namespace zel::case_folding
