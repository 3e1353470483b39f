// on-deep-change* handlers for tests of what the owner of a series is told,
// and of handlers that change the very series they are told about:
//
//   tell     appends [field action new index part] to `events`
//   look     appends [action the-series-from-its-head] to `events`
//   empty    empties the series before each change
//   define_changing_handler("grow", "append head target 'g")
//            runs the change on the series at every notification but those
//            its own change causes (`busy` is set meanwhile)
//
// The case files of the same (tests/cases/*_notify.cases) define them in Zel.
#pragma once

#include <string>

#include "tests/support/eval_env.h"

namespace zel::test {

inline void define_owner_handlers() {
    const char* spec = "[owner word target action new index part]";
    define_function("tell", spec, "[append/only events reduce [word action :new index part]]");
    define_function("look", spec, "[append/only events reduce [action copy head target]]");
    define_function("empty", spec,
                    "[if find [append insert change poke put remove reverse random sort swap take trim move] "
                    "action [clear head target]]");
}

inline void define_changing_handler(const char* name, const std::string& change) {
    define_function(name, "[owner word target action new index part]",
                    "[if not busy [busy: true " + change + " busy: false]]");
}

}  // namespace zel::test
