// zel: the entry point. The interpreter runs on a thread with a large stack
// so deep recursion in Zel code reaches the depth guard, not the OS limit.
#include "boot/runtime.h"
#include "core/error.h"
#include "core/exits.h"
#include "core/platform.h"

using namespace zel;

static int run(void*) {
    try {
        runtime::init();
        platform::print_line({"Zel run-time core: the evaluator is not built yet."});
    } catch (const ErrorThrow& e) {
        stack::report_uncaught(&e.value);
    } catch (const Throw&) {
        platform::runtime_error(95, 0);
    }
    runtime::shutdown();
    return 0;
}

int main(int argc, char** argv) {
    platform::startup(argc, argv);
    return platform::run_on_big_stack(run, nullptr);
}
