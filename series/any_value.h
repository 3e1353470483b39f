// Any value's handlers, for the datatype code that holds or is handed values
// of every type (blocks and paths molding their items, maps copying theirs,
// strings forming what they are given, url! joining a path element): the
// registry lookup that refuses a type without the handler as the action
// dispatcher refuses it, and the form, mold and eval-path workers.
//
// The dispatcher (dispatch.h) answers its own form, mold and eval-path with
// these; its lookup adds the port! rule of the actions from append on,
// which none of the callers here meets.
//
// Relies on: the registry (datatype.h), errors (script expect-arg, the path
// errors).
#pragma once

#include "foundation/actions.h"
#include "foundation/cell.h"
#include "foundation/datatype.h"

namespace zel::any_value {

// Raises script expect-arg naming the running call's word, the value's
// datatype and the callee's first argument word.
[[noreturn]] void no_handler(const Cell* value);

// The handler of action A for the value's type; refused as above.
template <int A>
inline action::HandlerOf<A> handler(const Cell* value) {
    auto h = datatype::handler<A>(type_of(value));
    if (!h) [[unlikely]] no_handler(value);
    return h;
}

// Forms or molds into the string `buffer`; answers the part budget left.
inline int form(Cell* value, Cell* buffer, int part) { return handler<ACT_FORM>(value)(value, buffer, part); }
inline int mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, int part, int indent) {
    return handler<ACT_MOLD>(value)(value, buffer, only, all, flat, part, indent);
}

// One path step (see action::EvalPathFn); answers a cell to copy at once. A
// type without eval-path raises script bad-path-type (path known) or
// bad-path-type2.
Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path, Cell* owner, Cell* prev, int index,
                bool case_, bool tail, bool notify);

}  // namespace zel::any_value
