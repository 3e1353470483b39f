// Form and mold helpers shared by every datatype's text handlers: cycle
// markers, indentation and literal words. They write through the string
// module and count what they write against the caller's part budget.
#include "series/cell_text.h"

#include <cstring>

#include "series/string.h"

namespace zel::cell_text {

namespace {

// What a molded value shows where it would recurse into itself.
const char* cycle_marker(int type) {
    switch (type) {
        case TYPE_BLOCK:
        case TYPE_HASH: return "[...]";
        case TYPE_PAREN: return "(...)";
        case TYPE_MAP: return "#[...]";
        case TYPE_OBJECT: return "make object! [...]";
        default: return "...";
    }
}

int append_counted(Cell* buffer, const char* text) {
    string::append_c_string(buffer, text);
    return int(std::strlen(text));
}

}  // namespace

bool cycle_detect_q(const Cell* value, Cell* buffer, int& part, bool mold) {
    if (!cell::cycle_find(cell::cycle_node(value))) return false;
    part -= append_counted(buffer, mold ? cycle_marker(type_of(value)) : "...");
    return true;
}

int mold_indent(Cell* buffer, int level, int remaining) {
    for (int i = 0; i < level; i++) string::append_c_string(buffer, "    ");
    return remaining - 4 * level;
}

int mold_literal(Cell* buffer, const char* text, bool all, int part) {
    if (all) part -= append_counted(buffer, "#(");
    part -= append_counted(buffer, text);
    if (all) part -= append_counted(buffer, ")");
    return part;
}

}  // namespace zel::cell_text
