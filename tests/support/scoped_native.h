// A native's entry swapped for a test's own while a scope lives: for tests
// that stand a C++ entry in for a native.
#pragma once

#include "interpreter/natives.h"

namespace zel::test {

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

}  // namespace zel::test
