// handle!: constructors, form, mold, compare and the registration.
//
// Cell: {header (type 46), the class, the handle value (32 bits), -1}.
//
// Relies on the string module for the hexadecimal text.
#include "scalars/handle.h"

#include "foundation/datatype.h"
#include "foundation/stack.h"
#include "series/cell_text.h"
#include "series/string.h"

namespace zel::handle {

namespace {
// Class n's name is entry n; class 0 shows no name.
constexpr const char* CLASS_NAMES[] = {"null", "fd", "monitor", "window", "font", "rich-text"};
constexpr uint32_t CLASS_COUNT = sizeof CLASS_NAMES / sizeof CLASS_NAMES[0];
}  // namespace

Cell* make_at(Cell* cell, int32_t value, uint32_t cls) {
    cell::set(cell, TYPE_HANDLE, cls, uint32_t(value), 0xFFFFFFFFu);
    return cell;
}

Cell* box(int32_t value, uint32_t cls) { return make_at(stack::arguments(), value, cls); }
Cell* push(int32_t value, uint32_t cls) { return make_at(stack::push_new(), value, cls); }
Cell* push_null() { return push(0, CLASS_NONE); }
Cell* make_in(Cell* block, int32_t value, uint32_t cls) {
    return make_at(cell::alloc_tail(block), value, cls);
}

namespace {

// "0000ABCDh".
int form(Cell* value, Cell* buffer, int part) {
    part = cell_text::mold_literal(buffer, string::to_hex(get(value), false), false, part);
    return cell_text::mold_literal(buffer, "h", false, part);
}

// "handle!", or with /all "#[handle! 000000FFh window]".
int mold(Cell* value, Cell* buffer, bool, bool all, bool, int part, int) {
    if (!all) return cell_text::mold_literal(buffer, "handle!", false, part);
    part = cell_text::mold_literal(buffer, "#[handle! ", false, part);
    part = form(value, buffer, part);
    uint32_t cls = class_of(value);
    if (cls > 0 && cls < CLASS_COUNT) {
        part = cell_text::mold_literal(buffer, " ", false, part);
        part = cell_text::mold_literal(buffer, CLASS_NAMES[cls], false, part);
    }
    return cell_text::mold_literal(buffer, "]", false, part);
}

// By value only, the class aside; another type is never equal.
int compare(Cell* value1, Cell* value2, int) {
    if (type_of(value2) != TYPE_HANDLE) return 1;
    int32_t a = get(value1), b = get(value2);
    return (a > b) - (a < b);
}

}  // namespace

void init() {
    datatype::TypeRecord r(TYPE_HANDLE, TYPE_INTEGER, "handle!");
    r.set<ACT_FORM>(form).set<ACT_MOLD>(mold).set<ACT_COMPARE>(compare);
    datatype::register_type(r);
}

}  // namespace zel::handle
