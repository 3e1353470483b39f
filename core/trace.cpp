// The tracing flags. Delivering events to a call-back is the tracing
// module's; until it is built no call-back is ever installed, the flag stays
// clear and no hook calls `trace`.
#include "core/trace.h"

namespace zel::interpreter {

bool g_tracing = false;
bool g_tracer_installed = false;

void trace(uint32_t, const Cell*, int32_t, const Cell*, const Cell*) {}

}  // namespace zel::interpreter
