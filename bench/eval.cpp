// Evaluator benchmarks: each Zel program of bench/eval/ is loaded once
// through the test boot environment and its evaluation timed, best of three
// runs; lines "<name> seconds=<s>".
//
// `data` holds the 1,000,000 integers foreach walks (i mod 100).
//
//   bench_eval <programs dir> <name>...     (programs: <dir>/<name>.zel)
#include <chrono>
#include <cstdio>
#include <string>

#include "core/natives.h"
#include "tests/support/boot_env.h"

using namespace zel;

namespace {

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
