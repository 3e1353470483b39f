// Stand-ins for the conditionals if and either, whose natives are not
// built yet: C++ entries over the evaluator's entry points,
// as those natives will be, installed in their slots while a test suite
// that needs them runs (ControlStandIns).
#pragma once

#include "core/eval.h"
#include "core/natives.h"
#include "core/simple_types.h"

namespace zel::test {

inline stack::Exit test_if(bool, const int32_t*) {
    if (logic::is_false(natives::arg(0))) {
        stack::set_last(&none::g_none);
        return {};
    }
    Cell body = *natives::arg(1);
    return interpreter::eval_block(&body, true);
}

inline stack::Exit test_either(bool, const int32_t*) {
    Cell body = *natives::arg(logic::is_false(natives::arg(0)) ? 2 : 1);
    return interpreter::eval_block(&body, true);
}

// An entry in a native's slot while it lives; the slot's entry before it
// comes back afterwards.
class ScopedNative {
public:
    ScopedNative(natives::Native number, natives::Entry entry)
        : number_(number), saved_(natives::entry(int(number))) {
        natives::set(number, entry);
    }
    ~ScopedNative() { natives::set(number_, saved_); }
    ScopedNative(const ScopedNative&) = delete;
    ScopedNative& operator=(const ScopedNative&) = delete;

private:
    natives::Native number_;
    natives::Entry saved_;
};

// Installs the stand-ins while it lives.
class ControlStandIns {
public:
    ControlStandIns()
        : if_(natives::Native::if_, test_if),
          either_(natives::Native::either, test_either) {}

private:
    ScopedNative if_, either_;
};

}  // namespace zel::test
