// Action dispatch: the entries of the 62 polymorphic actions and the handler
// lookup behind them.
//
// An action! holds its id; calling it runs the action's entry (one load from
// the entries table), which reads the arguments the evaluator left on the
// argument stack, turns the refinement slots (natives.h) into flags and
// argument cells, looks the handler of the first argument's type up in the
// registry (one load: datatype::raw_handler) and calls it. Class D entries
// (arithmetic, navigation) hand the stack to the handler as it is.
//
// Workers are the entries' second half for C++ callers: they take decoded
// arguments and look the handler up with the same errors (handler<A>, and
// named workers for the actions other modules call most).
//
// Errors of the lookup: a type with no handler raises script expect-arg
// naming the running call's word, the datatype and the callee's first
// argument word; a port! whose actor is a handle! raises access
// invalid-port for every action from append on (port actors are never run
// through a handle). Path steps on a type without eval-path raise script
// bad-path-type (path known) or bad-path-type2.
//
// Relies on: the registry, the argument stack, the comparison service
// (compare.h), the call machinery's frames (names for errors), strings (form
// and mold buffers), the form, mold and eval-path workers (any_value.h).
#pragma once

#include <cstdint>

#include "foundation/actions.h"
#include "foundation/datatype.h"
#include "interpreter/natives.h"
#include "series/any_value.h"

namespace zel::dispatch {

// The entries by action id (index 0 and set-path's 8 empty).
extern natives::Entry g_entries[ACTION_COUNT + 1];
inline natives::Entry entry(int id) { return g_entries[id]; }
void init();

// The fields of a port's object, by position (system/standard/port).
enum PortField : int {
    PORT_SPEC, PORT_SCHEME, PORT_ACTOR, PORT_AWAKE, PORT_STATE, PORT_DATA, PORT_EXTRA,
};

// The handler of action `id` for values of `type` (`value` is the value
// itself, for ports); raises the lookup errors above.
datatype::AnyHandler get_handler_in(int type, const Cell* value, int id);
template <int A>
inline action::HandlerOf<A> handler(const Cell* value) {
    datatype::AnyHandler h = datatype::raw_handler(type_of(value), A);
    if (!h || type_of(value) == TYPE_PORT) h = get_handler_in(type_of(value), value, A);
    return reinterpret_cast<action::HandlerOf<A>>(h);
}
// make and to dispatch on the type a datatype! names.
inline int make_type(const Cell* first) {
    return type_of(first) == TYPE_DATATYPE ? int(first->data1) : type_of(first);
}

// ---- Workers ---------------------------------------------------------------------------------

// make/to: the result is written into `result`.
Cell* make(Cell* result, Cell* type, Cell* spec);
Cell* to(Cell* result, Cell* type, Cell* spec);
// form, mold and one path step: the datatypes' own workers (any_value.h).
using any_value::eval_path;
using any_value::form;
using any_value::mold;
// The comparison of the call's first two cells under `op`: a logic! in the
// result cell.
Cell* compare_args(int op);
// The index argument of pick and poke: logic! true 1, false 2, char! and
// integer! their value, anything else 0.
int pick_index(const Cell* index);

}  // namespace zel::dispatch
