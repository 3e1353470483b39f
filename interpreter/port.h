// port!: an object whose actions are the functions of its scheme's actor.
//
// A port holds the fields of system/standard/port (spec, scheme, actor,
// awake, state, data, extra). The run-time does no I/O for ports: every
// series and I/O action applied to one calls the actor's function of the
// action's name with the port and the action's arguments in spec order, each
// refinement as a logic! followed by its arguments (none when it was not
// used). `read` and `write` are open, copy (write: insert first) and close.
// make, form and mold are the datatype's own; reflect, eval-path and compare
// are object!'s; the arithmetic actions, random, to and open? are refused.
//
// URLs of schemes other than HTTP reach ports through the services of
// series/services.h, which this module fills.
//
// Relies on: objects, the call machinery (call_with, argument caches), the
// system object (standard/port, url-parts, schemes), the library function
// parse-url.
#pragma once

#include <cstdint>

#include "foundation/cell.h"
#include "interpreter/exits.h"

namespace zel::port {

// True for the actions a port forwards to its actor (read and write too).
bool forwarded(int action);
// Runs a forwarded action whose call is on the argument stack, the port its
// first argument, `slots` its refinement slots (natives.h); the result goes
// to the first argument cell.
exits::Exit forward(const Cell* action, const int32_t* slots);

void init();

}  // namespace zel::port
