// Start-up and the outermost catch.
#include "boot/start.h"

#include "boot/environment.h"
#include "boot/image.h"
#include "boot/runtime.h"
#include "foundation/frames.h"
#include "foundation/platform.h"
#include "foundation/raise.h"
#include "interpreter/exits.h"
#include "scalars/float.h"
#include "words/word.h"

namespace zel::boot {

namespace {

// The launcher runs as the call of `launch`, whose frame is unwound when it
// returns.
int run_launcher(Launcher launch) {
    Cell name = word::load("launch");
    frames::mark_func(&name);
    int status = launch();
    frames::set_frame_top(frames::g_frame_bottom);
    stack::g_arguments = stack::g_top = stack::g_bottom;
    return status;
}

}  // namespace

void on_uncaught_throw(uint32_t code) {
    if (code == THROW_QUIT) platform::runtime_error(0, 0);
    platform::runtime_error(95, reinterpret_cast<uintptr_t>(&on_uncaught_throw));
}

void main(Image image, Launcher launch) {
    float_::set_fpu_mode();
    int status = 0;
    try {
        runtime::init();
        image::load(image.data, image.size);
        build_environment();
        status = run_launcher(launch);
    } catch (const ErrorThrow& e) {
        exits::report_uncaught(&e.value);
    } catch (const Throw& t) {
        on_uncaught_throw(t.code);
    }
    platform::quit(status);
}

}  // namespace zel::boot
