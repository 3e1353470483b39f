// The text of float! and percent! values for form and mold, and of the
// float-like parts of other values (vector elements, seconds of a time,
// point coordinates).
//
// form prints at a fixed precision per kind and, with pretty printing on,
// hides magnitudes below the double epsilon and the noise digits of results
// such as 0.7 + 0.1. The precision of a "%.Ng" print is reached the way the
// language always has: the value is first rounded to 17 significant digits,
// then half-up to N. mold is the shortest text that reads back to the same
// double (dtoa.h).
#pragma once

#include "scalars/dtoa.h"

namespace zel::float_ {

// Run-time switches, 1 = yes, mirrored by system/options/float.
extern int pretty_print_q;  // initially 1
extern int full_support_q;  // initially 0; nothing in the run-time reads it

// Kinds of to_text. Percent kinds receive the value already multiplied by 100.
enum TextKind : int {
    TEXT_FLOAT32 = 0,    // a 32-bit element of a vector!
    TEXT_FLOAT = 1,      // float!
    TEXT_PERCENT32 = 2,  // a 32-bit percent element of a vector!
    TEXT_PERCENT = 3,    // percent!
    TEXT_SECONDS = 4,    // the seconds of a time!
    TEXT_POINT = 5,      // a coordinate of a point
};

dtoa::FloatText to_text(double value, int kind);

// What the form and mold handlers of float! append.
dtoa::FloatText form_text(double value);
dtoa::FloatText mold_text(double value);

}  // namespace zel::float_

namespace zel::percent {

// form and mold of a percent! holding `fraction` (50% holds 0.5): "50%".
dtoa::FloatText form_text(double fraction);

}  // namespace zel::percent
