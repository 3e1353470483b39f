// zel: the entry point. The interpreter runs on a thread with a large stack
// so deep recursion in Zel code reaches the depth guard, not the OS limit.
#include "boot/boot_image.h"
#include "boot/start.h"
#include "console/launch.h"
#include "foundation/platform.h"

using namespace zel;

static int run(void*) { boot::main({boot_image::g_image, boot_image::g_image_size}, console::launch); }

int main(int argc, char** argv) {
    platform::startup(argc, argv);
    return platform::run_on_big_stack(run, nullptr);
}
