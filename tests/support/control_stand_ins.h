// A stand-in for reduce, whose native is not built yet: a C++ entry over
// the evaluator's entry points, as the native will be, installed in its slot
// while a test suite that needs it runs (ControlStandIns); and the scoped
// swap of a native's entry that installs it.
#pragma once

#include "core/eval.h"
#include "core/natives.h"
#include "core/simple_types.h"
#include "series/block.h"

namespace zel::test {

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

// Installs the stand-in while it lives.
class ControlStandIns {
public:
    ControlStandIns() : reduce_(natives::Native::reduce_, test_reduce) {}

private:
    ScopedNative reduce_;
};

}  // namespace zel::test
