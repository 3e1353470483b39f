// Text helpers of form and mold, shared by every datatype's text handlers:
// cycle markers, indentation and literal words. `buffer` is the string!
// being built; each answers the part budget less what it wrote.
//
// Relies on: cells, the cycle-detection stack (cell.h), strings.
#pragma once

#include "foundation/cell.h"

namespace zel::cell_text {

// When the value's node is already being walked, appends the marker of the
// cycle, takes its length off `part` and answers true. Mold markers show the
// value's delimiters ("[...]", "(...)", "#[...]", "make object! [...]");
// path types and form always write "...".
bool cycle_detect_q(const Cell* value, Cell* buffer, int& part, bool mold);
// Appends four spaces per indentation level.
int mold_indent(Cell* buffer, int level, int remaining);
// Appends a value's literal text, as "#(text)" with /all.
int mold_literal(Cell* buffer, const char* text, bool all, int part);

}  // namespace zel::cell_text
