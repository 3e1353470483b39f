// triple!: the constructor, form and mold, and the registration.
//
// Cell: {header (type 31), the three signed 32-bit integers in order}.
#include "scalars/triple.h"

#include "foundation/datatype.h"
#include "scalars/integer.h"
#include "series/cell_text.h"

namespace zel::triple {

Cell* make_at(Cell* cell, int32_t a, int32_t b, int32_t c) {
    cell::set(cell, TYPE_TRIPLE, uint32_t(a), uint32_t(b), uint32_t(c));
    return cell;
}

namespace {

// form and mold: "make triple! [1 2 3]".
int form(Cell* value, Cell* buffer, int part) {
    const uint32_t items[] = {value->data1, value->data2, value->data3};
    part = cell_text::mold_literal(buffer, "make triple! [", false, part);
    for (int i = 0; i < 3; i++) {
        if (i > 0) part = cell_text::mold_literal(buffer, " ", false, part);
        part =
            cell_text::mold_literal(buffer, integer::to_decimal(int32_t(items[i])).c_str(), false, part);
    }
    return cell_text::mold_literal(buffer, "]", false, part);
}

int mold(Cell* value, Cell* buffer, bool, bool, bool, int part, int) {
    return form(value, buffer, part);
}

}  // namespace

void init() {
    datatype::TypeRecord r(TYPE_TRIPLE, 0, "triple!");
    r.set<ACT_FORM>(form).set<ACT_MOLD>(mold);
    datatype::register_type(r);
}

}  // namespace zel::triple
