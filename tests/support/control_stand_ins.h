// Stand-ins for the conditionals if and either and for reduce, whose
// natives are not built yet: C++ entries over the evaluator's entry points,
// as those natives will be, installed in their slots while a test suite
// that needs them runs (ControlStandIns).
#pragma once

#include "core/eval.h"
#include "core/natives.h"
#include "core/simple_types.h"
#include "series/block.h"

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

inline stack::Exit test_reduce(bool, const int32_t*) {
    Cell source = *natives::arg(0);
    Cell* out = stack::push(&none::g_none);
    block::make_at(out, 4);
    int32_t i = int32_t(source.data1);
    while (i < block::length_q(&source) + int32_t(source.data1)) {
        interpreter::Next n = interpreter::eval_one(&source, i, block::length_q(&source) + int32_t(source.data1), true);
        if (n.exit) return stack::Exit{n.exit};
        block::append_cell(out, stack::top() - 1);
        stack::g_top--;
        i = n.position;
    }
    stack::set_last(out);
    return {};
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
          either_(natives::Native::either, test_either),
          reduce_(natives::Native::reduce_, test_reduce) {}

private:
    ScopedNative if_, either_, reduce_;
};

}  // namespace zel::test
