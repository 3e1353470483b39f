// The console as the zel program will run it, over the stand-in start-up
// of console_env.h: the script tests run it until start-up itself calls the
// console.
#include "core/platform.h"
#include "tests/support/console_env.h"

namespace {

int run(void*) {
    try {
        zel::test::console_environment(zel::platform::argument_count(), zel::platform::arguments());
    } catch (const zel::ErrorThrow& e) {
        zel::stack::report_uncaught(&e.value);
    }
    return zel::console::launch();
}

}  // namespace

int main(int argc, char** argv) {
    zel::platform::startup(argc, argv);
    return zel::platform::run_on_big_stack(run, nullptr);
}
