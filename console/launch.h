// The console launcher: what start-up calls once the boot environment is
// built. It runs the script named on the command line, or the read-eval-print
// loop, and answers the exit status when the console ends.
#pragma once

namespace zel::console {

int launch();

}  // namespace zel::console
