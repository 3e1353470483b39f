// The run-time init, in the order the modules rely on one another, and its
// release.
#include "boot/runtime.h"

#include "boot/environment.h"
#include "boot/predicates.h"
#include "boot/routines.h"
#include "console/terminal.h"
#include "foundation/collector.h"
#include "foundation/datatype.h"
#include "foundation/ext_res.h"
#include "foundation/frames.h"
#include "foundation/memory.h"
#include "foundation/platform.h"
#include "foundation/root.h"
#include "foundation/slot_store.h"
#include "foundation/stack.h"
#include "interpreter/dispatch.h"
#include "interpreter/error.h"
#include "interpreter/eval.h"
#include "interpreter/exits.h"
#include "interpreter/function.h"
#include "interpreter/native.h"
#include "interpreter/natives.h"
#include "interpreter/object.h"
#include "interpreter/parse.h"
#include "interpreter/port.h"
#include "interpreter/routine.h"
#include "interpreter/system_object.h"
#include "interpreter/trace.h"
#include "lexer/lexer.h"
#include "os/call.h"
#include "os/checksum.h"
#include "os/clipboard.h"
#include "os/deflate.h"
#include "os/image.h"
#include "os/image_os.h"
#include "os/os_info.h"
#include "os/routines.h"
#include "os/workers.h"
#include "os/zstd.h"
#include "scalars/char.h"
#include "scalars/datatype_value.h"
#include "scalars/date.h"
#include "scalars/float.h"
#include "scalars/handle.h"
#include "scalars/integer.h"
#include "scalars/money.h"
#include "scalars/pair.h"
#include "scalars/percent.h"
#include "scalars/point.h"
#include "scalars/random.h"
#include "scalars/simple_types.h"
#include "scalars/time.h"
#include "scalars/triple.h"
#include "scalars/tuple.h"
#include "scalars/typeset.h"
#include "series/binary.h"
#include "series/bitset.h"
#include "series/block.h"
#include "series/file.h"
#include "series/hash.h"
#include "series/map.h"
#include "series/ownership.h"
#include "series/path.h"
#include "series/series.h"
#include "series/string.h"
#include "series/text_types.h"
#include "series/vector.h"
#include "words/context.h"
#include "words/symbol.h"
#include "words/word.h"
#include "words/words.h"

namespace zel::runtime {

namespace {
bool g_ready = false;

// Datatype inits in registration order: a parent always before its children.
// event! is not among them: the boot environment registers it.
void (*const g_type_inits[])() = {
    datatype_value::init,
    unset::init,
    none::init,
    logic::init,
    series::init,
    block::init,
    string::init,
    binary::init,
    integer::init,
    symbol::init,
    context::init,
    word::init,
    lit_word::init,
    set_word::init,
    get_word::init,
    refinement::init,
    char_::init,
    native::init,
    action::init,
    op::init,
    path::init,
    path::init_lit_path,
    path::init_set_path,
    path::init_get_path,
    function::init,
    routine::init,
    bitset::init,
    paren::init,
    issue::init,
    url::init,
    file::init,
    text_types::init,
    object::init,
    triple::init,
    float_::init,
    typeset::init,
    error::init,
    port::init,
    vector::init,
    map::init,
    hash::init,
    pair::init,
    percent::init,
    tuple::init,
    time::init,
    handle::init,
    date::init,
    money::init,
    point2d::init,
    point3d::init,
    image::init,
};
}  // namespace

void init() {
    if (g_ready) return;
    root::g_word_collect = true;
    platform::init_output_hooks();
    platform::init_os();
    float_::set_fpu_mode();
    random::init();
    memory::init();
    ext_res::init();
    datatype::reset();
    for (auto type_init : g_type_inits) type_init();
    dispatch::init();
    memory::new_node_frame(memory::NODE_FRAME_SLOTS);
    memory::new_series_frame();
    // The stacks start as soon as their series exist: the inits below push.
    root::make(stack::ARGUMENT_CELLS, frames::frame_bytes(), symbol::TABLE_CAPACITY);
    stack::init(root::node_at(root::SLOT_ARGUMENTS), root::node_at(root::SLOT_FRAMES));
    exits::init_exits();
    symbol::init_table(root::node_at(root::SLOT_SYMBOLS));
    context::init_global();
    datatype::init_name_symbols(words::make_type_name_symbol);
    words::init();
    words::init_refinements();
    words::init_ooo();
    frames::set_frame_names(words::symbol(words::Word::body), words::symbol(words::Word::anon),
                           words::symbol(words::Sym::self));
    frames::set_global_context(context::g_global);
    natives::init();
    parser::init();
    boot::routines::register_all();
    boot::predicates::register_all();
    simple_io::register_routines();
    checksum::init();
    image_os::init();
    workers::register_system_natives();
    call::init();
    os_info::init();
    clipboard::init();
    deflate::init();
    zstd::init();
    terminal::register_routines();
    ownership::init();
    error::init_prototype();
    lexer::init();
    interpreter::init_trace();
    interpreter::init();
    slot_store::init();
    collector::init();
    g_ready = true;
}

bool initialized() { return g_ready; }

void shutdown() {
    if (!g_ready) return;
    collector::shutdown();
    ext_res::release_all();
    memory::free_all_frames();
    memory::heap_free_all();
    root::g_block = none::g_none;
    system_object::reset();
    error::forget_catalog();
    boot::forget_environment();
    g_ready = false;
}

}  // namespace zel::runtime
