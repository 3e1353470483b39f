// The boot environment of evaluating tests and benchmarks, without the test
// framework: start-up's own (the run-time init, the embedded boot image's
// load and every phase of the boot environment, as `zel` runs them), with
// `_boot-routine` made again for tests of routines; text loaded by the
// lexer; code run on empty stacks under a barrier, as the console's
// evaluation does; and function! values made from text, as `func` makes
// them.
#pragma once

#include <climits>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "boot/boot_image.h"
#include "boot/environment.h"
#include "boot/image.h"
#include "boot/records.h"
#include "boot/runtime.h"
#include "foundation/collector.h"
#include "foundation/datatype.h"
#include "foundation/frames.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "interpreter/dispatch.h"
#include "interpreter/eval.h"
#include "interpreter/function.h"
#include "interpreter/native.h"
#include "interpreter/object.h"
#include "interpreter/routine.h"
#include "interpreter/trace.h"
#include "lexer/lexer.h"
#include "scalars/simple_types.h"
#include "series/block.h"
#include "series/string.h"
#include "tests/support/fields.h"
#include "tests/support/text.h"
#include "words/context.h"
#include "words/word.h"
#include "words/words.h"

namespace zel::test {

// The values of the text, as a block!, loaded by the lexer.
inline Cell load_text(const std::string& text) { return boot::load_source(text); }

inline Cell load(const std::string& text) { return load_text(text); }

inline void set_global(const char* name, const Cell& value) {
    gc::root keep(&value);
    Cell w = word::load(name);
    context::set(&w, &value);
}

inline void empty_both_stacks() {
    frames::set_frame_top(frames::g_frame_bottom);
    stack::g_arguments = stack::g_top = stack::g_bottom;
    exits::end_throw();
}

inline int32_t body_start(const Cell& source) { return boot::body_start(&source); }

#ifdef ZEL_SOURCE_DIR
// The text of a file of the source tree.
inline std::string read_source(const char* relative) {
    std::ifstream in(std::string(ZEL_SOURCE_DIR) + "/" + relative, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    if (!in) throw std::runtime_error(std::string("cannot read ") + relative);
    return s.str();
}
#endif

// A trace call-back that `run` installs around the code it runs, as do/trace
// installs one, or null: the traced runs of evaluation tables set it (the
// cell is theirs to keep alive).
inline const Cell* g_run_tracer = nullptr;

// Runs the code on empty stacks under a barrier; answers the result. Under
// g_run_tracer the code is traced from its init event to its end event,
// which an error also sends before it goes on to the caller.
inline Cell run(const Cell& code) {
    empty_both_stacks();
    struct Empty {
        ~Empty() { empty_both_stacks(); }
    } empty;
    gc::root keep_code(&code);  // for the end event, once the stacks let it go
    stack::push(&code);
    Cell* block = stack::arguments();
    frames::mark_try_all(&words::word(words::Word::body));
    bool traced = g_run_tracer && interpreter::install_tracer(g_run_tracer);
    exits::Exit e;
    try {
        if (traced) interpreter::trace_init(&code);
        e = interpreter::eval_block(block, true);
    } catch (...) {
        if (!traced) throw;
        // The end event runs on fresh stacks; an error of its own gives way.
        empty_both_stacks();
        frames::mark_try_all(&words::word(words::Word::body));
        try {
            interpreter::remove_tracer(&code);
        } catch (...) {
        }
        throw;
    }
    if (traced) interpreter::remove_tracer(&code);
    if (e) throw std::runtime_error("an exit crossed the barrier: " + std::to_string(e.code));
    return *stack::arguments();
}

inline Cell eval_value(const std::string& text) { return run(load_text(text)); }

// The boot environment, built once per process the way `zel` builds it.
inline void boot_environment() {
    runtime::init();
    boot::image::load(boot_image::g_image, boot_image::g_image_size);
    boot::build_environment();
    // Tests of routines make their own.
    routine::define_boot_intrinsic();
    // As start-up does once the boot environment stands: allocations may
    // collect from here on.
    collector::set_active(true);
}

inline std::string mold_of(Cell value) {
    Cell buffer{TYPE_NONE, 0, 0, 0};
    gc::root keep_value(&value), keep_buffer(&buffer);
    string::make_at(&buffer, 16);
    dispatch::mold(&value, &buffer, false, false, false, INT_MAX, 0);
    return utf8_of(buffer);
}

// The block written as the text "[...]".
inline Cell load_block(const std::string& text) {
    Cell loaded = load_text(text);
    Cell first = *memory::series_of(node_of(loaded))->cells();
    if (block::length_q(&loaded) != 1 || type_of(&first) != TYPE_BLOCK)
        throw std::runtime_error("not one block: " + text);
    return first;
}

// A function! over a spec and a body ("[...]" texts below), as `func`
// makes it: the spec checked, the body copied and bound to a context of
// its own.
inline Cell make_function_of(Cell spec, Cell body) {
    gc::root keep_spec(&spec), keep_body(&body);
    uint32_t flags = function::validate_spec(&spec);
    function::push(&spec, &body, 0, 0, flags);
    Cell fn = *(stack::top() - 1);
    stack::pop(1);
    return fn;
}

inline Cell make_function(const std::string& spec_text, const std::string& body_text) {
    Cell spec = load_block(spec_text);
    gc::root keep(&spec);
    return make_function_of(spec, load_block(body_text));
}

inline void define_function(const char* name, const std::string& spec, const std::string& body) {
    set_global(name, make_function(spec, body));
}

}  // namespace zel::test
