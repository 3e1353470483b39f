// The type predicates of the boot environment (block?, string?, number? ...):
// routines that accept any value, never raise and answer a logic!. Each is
// registered under its own word; boot/library/predicates.zel binds them.
//
// A single-type predicate compares the value's type id with one datatype's
// (a child type does not count: string? of a file! is false). A typeset
// predicate reads the typeset its global word holds at the moment of the
// call (number? reads number!), so rebinding the word changes the answer; a
// word that no longer holds a typeset answers false.
//
// Relies on: the routine table, contexts and words, typesets.
#pragma once

namespace zel::boot::predicates {

// The run-time init: every predicate goes into the routine table.
void register_all();

}  // namespace zel::boot::predicates
