// Run-time init, in the order the parts rely on: output first (so anything
// can report), the floating-point mode, the random generator (its seed
// fixes hashing), memory, the datatypes (parents before children), the
// first frames, the stacks, the case-folding tables, then the lexer.
#include "boot/runtime.h"

#include "core/datatype.h"
#include "core/memory.h"
#include "core/platform.h"
#include "core/simple_types.h"
#include "core/stack.h"
#include "lexer/lexer.h"
#include "scalars/float.h"
#include "scalars/integer.h"
#include "scalars/percent.h"
#include "scalars/random.h"
#include "series/case_folding.h"
#include "series/series.h"
#include "series/string.h"

namespace zel::runtime {

namespace {
bool g_initialized = false;

// Datatype inits in registration order: a parent always before its children.
void (*const g_type_inits[])() = {
    datatype::init,
    unset::init,
    none::init,
    logic::init,
    series::init,
    string::init,
    integer::init,
    float_::init,
    percent::init,
};
}  // namespace

void init() {
    if (g_initialized) return;
    platform::init_output_hooks();
    platform::init_os();
    float_::set_fpu_mode();
    random::init();
    memory::init();
    datatype::reset();
    for (auto type_init : g_type_inits) type_init();
    memory::new_node_frame(memory::NODE_FRAME_SLOTS);
    memory::new_series_frame();
    stack::init();
    case_folding::init();
    lexer::init();
    g_initialized = true;
}

bool initialized() { return g_initialized; }

void shutdown() {
    if (!g_initialized) return;
    memory::free_all_frames();
    memory::heap_free_all();
    g_initialized = false;
}

}  // namespace zel::runtime
