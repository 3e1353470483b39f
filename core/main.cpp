// zel: the entry point. The interpreter runs on a thread with a large stack
// so deep recursion in Zel code reaches the depth guard, not the OS limit.
#include "boot/boot_image.h"
#include "boot/runtime.h"
#include "boot/zelbin/format.h"
#include "core/error.h"
#include "core/exits.h"
#include "core/platform.h"
#include "series/block.h"

using namespace zel;

static int run(void*) {
    try {
        runtime::init();
        // The boot image: its records define the datatype words, the natives
        // and the actions; its library blocks wait in the root block.
        static Cell root;
        block::make_at(&root, 64);
        zelbin::load_boot_image(boot_image::g_image, boot_image::g_image_size, &root);
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
