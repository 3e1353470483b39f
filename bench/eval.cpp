// Evaluator benchmarks: each Zel program of bench/eval/ is loaded once
// through the test boot environment and its evaluation timed, best of three
// runs; lines "<name> seconds=<s>".
//
// The control natives (while, loop, foreach, either, if) are not built
// yet: the programs run on the small stand-ins below, C++ entries over the
// evaluator's entry points as those natives will be (a loop frame, the body
// under `catching` at the loop level), with only the behaviour the programs
// use. `data` holds the 1,000,000 integers foreach walks (i mod 100).
//
//   bench_eval <programs dir> <name>...     (programs: <dir>/<name>.zel)
#include <chrono>
#include <cstdio>
#include <string>

#include "core/natives.h"
#include "tests/support/boot_env.h"

using namespace zel;
using stack::Exit;

namespace {

Cell* arg(int i) { return natives::arg(i); }

// Runs `body` once under the loop's catch: 1 to go on, 0 after break, or
// the code to pass on (in *pass).
int iterate(const Cell& body, Exit* pass) {
    uint32_t code = stack::catching(CATCH_LOOP, [&] { return interpreter::eval_block(&body, true); });
    if (code == THROW_BREAK) {
        stack::end_throw();
        return 0;
    }
    if (code == THROW_CONTINUE) stack::end_throw();
    else if (code) *pass = stack::pass_on(code);
    return pass->code ? 0 : 1;
}

Exit while_(bool, const int32_t*) {
    Cell cond = *arg(0), body = *arg(1);
    stack::mark_loop(&words::word(words::Word::body));
    Exit pass;
    for (;;) {
        stack::reset();
        if (Exit e = interpreter::eval_block(&cond, true)) return e;
        if (logic::is_false(stack::arguments())) break;
        stack::reset();
        if (!iterate(body, &pass)) break;
    }
    if (pass) return pass;
    stack::set_last_only(&unset::g_unset);
    stack::unwind_last();
    return {};
}

Exit loop_(bool, const int32_t*) {
    int32_t count = cell::get_int(arg(0));
    Cell body = *arg(1);
    stack::mark_loop(&words::word(words::Word::body));
    Exit pass;
    for (int32_t i = 0; i < count; i++) {
        stack::reset();
        if (!iterate(body, &pass)) break;
    }
    if (pass) return pass;
    stack::unwind_last();
    return {};
}

Exit foreach_(bool, const int32_t*) {
    Cell word = *arg(0), series = *arg(1), body = *arg(2);
    stack::mark_loop(&words::word(words::Word::body));
    Exit pass;
    int32_t n = block::length_q(&series);
    for (int32_t i = 0; i < n; i++) {
        stack::reset();
        context::set(&word, memory::series_of(series.data2)->cells() + int32_t(series.data1) + i);
        if (!iterate(body, &pass)) break;
    }
    if (pass) return pass;
    stack::unwind_last();
    return {};
}

Exit either_(bool, const int32_t*) {
    Cell body = *arg(logic::is_false(arg(0)) ? 2 : 1);
    return interpreter::eval_block(&body, true);
}

Exit if_(bool, const int32_t*) {
    if (logic::is_false(arg(0))) {
        stack::set_last(&none::g_none);
        return {};
    }
    Cell body = *arg(1);
    return interpreter::eval_block(&body, true);
}

void install_stand_ins() {
    natives::set(natives::Native::while_, while_);
    natives::set(natives::Native::loop_, loop_);
    natives::set(natives::Native::foreach, foreach_);
    natives::set(natives::Native::either, either_);
    natives::set(natives::Native::if_, if_);
}

void make_data() {
    Cell data;
    block::make_at(&data, 1000000);
    for (int32_t i = 1; i <= 1000000; i++) {
        Cell n;
        cell::set(&n, TYPE_INTEGER, 0, uint32_t(i % 100));
        block::append_cell(&data, &n);
    }
    test::set_global("data", data);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_eval <programs dir> <name>...\n");
        return 2;
    }
    test::boot_environment();
    install_stand_ins();
    make_data();
    for (int k = 2; k < argc; k++) {
        std::string name = argv[k];
        std::ifstream in(std::string(argv[1]) + "/" + name + ".zel");
        std::stringstream text;
        text << in.rdbuf();
        Cell code = test::load(text.str());
        double best = 1e300;
        std::string result;
        for (int round = 0; round < 3; round++) {
            auto start = std::chrono::steady_clock::now();
            Cell value = test::run(code);
            std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
            if (spent.count() < best) best = spent.count();
            result = test::mold_of(value);
        }
        std::printf("%s seconds=%.4f result=%s\n", name.c_str(), best, result.c_str());
    }
    runtime::shutdown();
    return 0;
}
