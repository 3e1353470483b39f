// Start-up: the program's outermost procedure, on the interpreter's thread.
// It fixes the floating-point mode, runs the run-time init, loads the boot
// image, builds the boot environment, and calls the console launcher inside
// a call frame named `launch`; when the launcher returns, the process ends
// with the status it answers. Nothing returns from here.
//
// The outermost catch stands around all of it: an error that nothing caught
// is reported and ends the process with status -2; another non-local exit
// that nothing caught ends it with status 0 when its code is the quit code
// (0xBADCAFE), else as run-time error 95 ("no CATCH for THROW").
//
// Relies on: the run-time init, the boot image, the boot environment, the console launcher,
// the frames and exits, the platform's exits.
#pragma once

#include <cstdint>

namespace zel::boot {

using Launcher = int (*)();

// The boot image's bytes (boot_image.h for the embedded one).
struct Image {
    const uint8_t* data;
    int64_t size;
};

[[noreturn]] void main(Image image, Launcher launch);
[[noreturn]] void on_uncaught_throw(uint32_t code);

}  // namespace zel::boot
