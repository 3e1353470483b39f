// The boot environment of evaluating tests and benchmarks, without the test
// framework: the datatype words, none/true/false, the natives and actions of
// boot/base/natives.zel and actions.zel and the typesets (records `word: make
// native! [[spec] number]` and the like) and the operators (pairs of words),
// defined the way start-up defines them, and the error catalogue of
// boot/base/errors.zel, evaluated; text loaded by the lexer; code run on
// empty stacks under a barrier, as the console's evaluation does; the
// boot-only `_boot-routine` (left set, for tests of routines); and function!
// values made from text, as `func` makes them.
#pragma once

#include <climits>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "boot/records.h"
#include "boot/runtime.h"
#include "core/context.h"
#include "core/datatype.h"
#include "core/dispatch.h"
#include "core/error.h"
#include "core/eval.h"
#include "core/frames.h"
#include "core/function.h"
#include "core/native.h"
#include "core/object.h"
#include "core/routine.h"
#include "core/simple_types.h"
#include "core/stack.h"
#include "core/word.h"
#include "core/words.h"
#include "series/block.h"
#include "series/string.h"
#include "lexer/lexer.h"
#include "tests/support/text.h"

#ifndef ZEL_SOURCE_DIR
#error "ZEL_SOURCE_DIR names the source tree (set by the build)"
#endif

namespace zel::test {

// The values of the text, as a block!, loaded by the lexer.
inline Cell load_text(const std::string& text) { return boot::load_source(text); }

inline Cell load(const std::string& text) { return load_text(text); }

inline std::string read_source(const char* relative) {
    std::ifstream in(std::string(ZEL_SOURCE_DIR) + "/" + relative);
    std::stringstream s;
    s << in.rdbuf();
    if (s.str().empty()) throw std::runtime_error(std::string("cannot read ") + relative);
    return s.str();
}

inline void set_global(const char* name, const Cell& value) {
    Cell w = word::load(name);
    context::set(&w, &value);
}

inline void empty_both_stacks() {
    stack::set_frame_top(stack::g_frame_bottom);
    stack::g_arguments = stack::g_top = stack::g_bottom;
    stack::end_throw();
}

inline int32_t body_start(const Cell& source) { return boot::body_start(&source); }

inline void define_word(void*, const Cell* word, const Cell* value) {
    Cell w = *word;
    context::set(&w, value);
}

// Records `word: make type! argument`, as the boot sources hold them
// (native!, action!, typeset!), defined the way start-up defines them,
// without evaluating code.
inline void define_records(const char* relative) {
    Cell source = load_text(read_source(relative));
    boot::make_records(&source, define_word, nullptr);
}

// Pairs `operator target`: each operator word is set to an op! made from
// the target word's value.
inline void define_operators(const char* relative) {
    Cell source = load_text(read_source(relative));
    boot::make_operators(&source, define_word, nullptr);
}

// Runs the code on empty stacks under a barrier; answers the result.
inline Cell run(const Cell& code) {
    empty_both_stacks();
    struct Empty {
        ~Empty() { empty_both_stacks(); }
    } empty;
    stack::push(&code);
    Cell* block = stack::arguments();
    stack::mark_try_all(&words::word(words::Word::body));
    if (stack::Exit e = interpreter::eval_block(block, true))
        throw std::runtime_error("an exit crossed the barrier: " + std::to_string(e.code));
    return *stack::arguments();
}

inline Cell eval_value(const std::string& text) { return run(load_text(text)); }

// A library source evaluated after its header; answers its value.
inline Cell run_source(const char* relative) {
    Cell source = load_text(read_source(relative));
    source.data1 = uint32_t(body_start(source));
    return run(source);
}

inline void boot_environment() {
    runtime::init();
    for (int t = 1; t <= TYPE_LAST; t++) {
        Cell datatype;
        cell::set(&datatype, TYPE_DATATYPE, uint32_t(t));
        set_global(datatype::ALL_TYPE_NAMES[t], datatype);
    }
    set_global("none", none::g_none);
    set_global("true", logic::g_true);
    set_global("false", logic::g_false);
    define_records("boot/base/natives.zel");
    define_records("boot/base/actions.zel");
    define_records("boot/base/typesets.zel");
    define_operators("boot/base/operators.zel");
    Cell catalog = run_source("boot/base/errors.zel");
    error::set_catalog(&catalog);
    // The boot objects carry fixed class ids: those made later count from
    // the first run-time class id.
    object::restart_class_counter();
    routine::define_boot_intrinsic();
}

inline std::string mold_of(Cell value) {
    Cell buffer;
    string::make_at(&buffer, 16);
    actions::mold(&value, &buffer, false, false, false, INT_MAX, 0);
    return utf8_of(buffer);
}

// The block written as the text "[...]".
inline Cell load_block(const std::string& text) {
    Cell loaded = load_text(text);
    Cell first = *memory::series_of(loaded.data2)->cells();
    if (block::length_q(&loaded) != 1 || type_of(&first) != TYPE_BLOCK)
        throw std::runtime_error("not one block: " + text);
    return first;
}

// A function! over a spec and a body ("[...]" texts below), as `func`
// makes it: the spec checked, the body copied and bound to a context of
// its own.
inline Cell make_function_of(Cell spec, Cell body) {
    uint32_t flags = function::validate_spec(&spec);
    function::push(&spec, &body, 0, 0, flags);
    Cell fn = *(stack::top() - 1);
    stack::pop(1);
    return fn;
}

inline Cell make_function(const std::string& spec_text, const std::string& body_text) {
    return make_function_of(load_block(spec_text), load_block(body_text));
}

inline void define_function(const char* name, const std::string& spec, const std::string& body) {
    set_global(name, make_function(spec, body));
}

}  // namespace zel::test
