// Cost of a `return` caught one and ten calls up. Each call level pushes a
// real call frame and a C++ frame; the innermost level is the `return`
// native (its own frame, its argument, the walk to the function body, the
// C++ throw), and the function body's catching site takes it.
//
// Beside the whole cost, two parts of it: the same C++ throw with no Zel
// frames at all (the exception machinery), and the same calls returning
// normally (the frame pushes and pops). Best of three runs; lines:
// "<what> depth=<d> ns=<n>".
#include <algorithm>
#include <chrono>
#include <cstdio>

#include "boot/runtime.h"
#include "foundation/frames.h"
#include "interpreter/exits.h"
#include "scalars/simple_types.h"

using namespace zel;

namespace {

Cell word_of(uint32_t symbol) {
    Cell w;
    cell::set(&w, TYPE_WORD, 0, symbol, uint32_t(-1));
    return w;
}

const Cell g_function = word_of(1), g_body = word_of(2), g_return = word_of(3);
Cell g_value;

// One call level: a frame and a C++ frame, then the next level or `return`.
__attribute__((noinline)) void level(int depth, bool throws) {
    frames::mark_eval(&g_body);
    if (depth > 1) {
        level(depth - 1, throws);
    } else {
        frames::mark_interp_native(&g_return);
        stack::push(&g_value);
        if (throws) exits::throw_return(true, false);
        frames::unwind_last();
    }
    frames::unwind_last();
}

// A function call whose body runs `depth` levels under the body's catch.
__attribute__((noinline)) void call_function(int depth, bool throws) {
    stack::push(&g_function);
    frames::mark_interp_func(&g_function);
    frames::set_body_flag(true);
    uint32_t code = exits::run_caught(CATCH_TRY, [&] { level(depth, throws); });
    if (code) {
        if (code != THROW_RETURN && code != THROW_EXIT) exits::rethrow(code);
        exits::end_throw();
    }
    frames::unwind_last();
    stack::drop_under();
    stack::reset();  // the result is dropped, as between two expressions
}

// The bare exception: the same depth of C++ frames, nothing else.
__attribute__((noinline)) void bare_level(int depth) {
    if (depth > 1)
        bare_level(depth - 1);
    else
        throw Throw{THROW_RETURN};
    asm volatile("");  // not a tail call
}

__attribute__((noinline)) void bare_call(int depth) {
    try {
        bare_level(depth);
    } catch (const Throw& t) {
        if (!t.caught_by(CATCH_TRY)) throw;
    }
}

// Best of three runs.
template <typename Run>
double nanoseconds_per_call(long iterations, Run run) {
    double best = 1e300;
    for (int round = 0; round < 3; round++) {
        auto start = std::chrono::steady_clock::now();
        for (long i = 0; i < iterations; i++) run();
        std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - start;
        best = std::min(best, spent.count() / double(iterations));
    }
    return best;
}

}  // namespace

int main() {
    runtime::init();
    cell::set(&g_value, TYPE_INTEGER, 0, 42);
    for (int depth : {1, 10}) {
        long n = 400000;
        call_function(depth, true);  // warm up the unwinder's caches
        double whole = nanoseconds_per_call(n, [&] { call_function(depth, true); });
        double bare = nanoseconds_per_call(n, [&] { bare_call(depth); });
        double normal = nanoseconds_per_call(n, [&] { call_function(depth, false); });
        if (stack::depth() != 0 || !frames::frames_empty()) return 1;
        std::printf("zel depth=%d ns=%.1f\n", depth, whole);
        std::printf("cpp-throw depth=%d ns=%.1f\n", depth, bare);
        std::printf("zel-no-throw depth=%d ns=%.1f\n", depth, normal);
    }
    runtime::shutdown();
    return 0;
}
