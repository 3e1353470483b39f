// datatype!: the values that name a type. Their handlers (form, mold and
// compare) and the registration live here, with the other datatypes; the
// registry itself and the constructors (datatype::make_in, datatype::push)
// stay in the foundation (foundation/datatype.h), which makes such values without
// writing text.
//
// Cell: {header (type 1), the type id}.
#pragma once

namespace zel::datatype_value {

// Registers datatype! (no parent): the first of the datatype inits.
void init();

}  // namespace zel::datatype_value
