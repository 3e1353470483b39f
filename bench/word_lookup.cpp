// Word lookup speed: reading the value of a bound word (the evaluator's hot
// path: the context's values by index, no hashing) against finding the word
// by symbol in the context's word table, for words of the global context and
// for the arguments of a running function (values on the argument stack).
//
//   bench_word_lookup [rounds]      (default 200)
//
// Prints nanoseconds per lookup for each case, best of three.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "boot/runtime.h"
#include "foundation/stack.h"
#include "words/context.h"
#include "words/symbol.h"
#include "words/word.h"

using namespace zel;

namespace {

constexpr int WORDS = 1000;

template <typename Body>
double best_ns_per_lookup(int rounds, int lookups_per_round, Body body) {
    double best = 1e30;
    for (int attempt = 0; attempt < 3; attempt++) {
        auto start = std::chrono::steady_clock::now();
        for (int r = 0; r < rounds; r++) body();
        std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - start;
        best = std::min(best, spent.count() / (double(rounds) * lookups_per_round));
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::atoi(argv[1]) : 200;
    runtime::init();

    std::vector<Cell> globals;
    for (int i = 0; i < WORDS; i++) {
        Cell w = word::load(("bench-word-" + std::to_string(i)).c_str());
        Cell v;
        cell::set(&v, TYPE_INTEGER, 0, uint32_t(i));
        context::set(&w, &v);
        globals.push_back(w);
    }

    Cell spec;
    cell::set(&spec, TYPE_BLOCK, 0, memory::alloc_cells(8));
    for (int i = 0; i < 8; i++) *cell::alloc_tail(&spec) = word::load(("bench-arg-" + std::to_string(i)).c_str());
    Node fn = context::make_from_spec(&spec, true, false, context::KIND_FUNCTION);
    std::vector<Cell> args;
    Cell* first = stack::top();
    for (int i = 0; i < 8; i++) {
        Cell w = memory::series_of(spec.data2)->cells()[i];
        context::bind_word(fn, &w);
        args.push_back(w);
        Cell v;
        cell::set(&v, TYPE_INTEGER, 0, uint32_t(i));
        stack::push(&v);
    }
    context::set_frame(fn, first);

    volatile uint32_t sink = 0;
    double global_ns = best_ns_per_lookup(rounds, WORDS, [&] {
        uint32_t sum = 0;
        for (const Cell& w : globals) sum += context::get(&w)->data2;
        sink = sink + sum;
    });
    double stack_ns = best_ns_per_lookup(rounds * 125, 8, [&] {
        uint32_t sum = 0;
        for (const Cell& w : args) sum += context::get(&w)->data2;
        sink = sink + sum;
    });
    double by_symbol_ns = best_ns_per_lookup(rounds, WORDS, [&] {
        uint32_t sum = 0;
        for (const Cell& w : globals) sum += uint32_t(context::find_word(context::g_global, w.data2, true));
        sink = sink + sum;
    });
    std::printf("bound global word     %6.2f ns\n", global_ns);
    std::printf("bound argument word   %6.2f ns\n", stack_ns);
    std::printf("lookup by symbol      %6.2f ns\n", by_symbol_ns);
    return 0;
}
