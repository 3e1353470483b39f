// The console launcher's stand-in until the console exists: there is nothing
// to run, so the program ends at once.
#include "console/launch.h"

namespace zel::console {

int launch() { return 0; }

}  // namespace zel::console
