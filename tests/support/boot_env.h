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

#include "boot/runtime.h"
#include "core/collector.h"
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

// Every datatype's name, by id, registered or not yet.
inline const char* const DATATYPE_NAMES[] = {
    nullptr,     "datatype!", "unset!",    "none!",     "logic!",    "block!",    "paren!",    "string!",
    "file!",     "url!",      "char!",     "integer!",  "float!",    "symbol!",   "context!",  "word!",
    "set-word!", "lit-word!", "get-word!", "refinement!", "issue!",  "native!",   "action!",   "op!",
    "function!", "path!",     "lit-path!", "set-path!", "get-path!", "routine!",  "bitset!",   "triple!",
    "object!",   "typeset!",  "error!",    "vector!",   "hash!",     "pair!",     "percent!",  "tuple!",
    "map!",      "binary!",   "series!",   "time!",     "tag!",      "email!",    "handle!",   "date!",
    "port!",     "money!",    "ref!",      "point2D!",  "point3D!",  "image!",    "event!",
};

// The values of the text, as a block!, loaded by the lexer.
inline Cell load_text(const std::string& text) {
    Cell block;
    lexer::scan(&block, reinterpret_cast<const uint8_t*>(text.data()), int64_t(text.size()), 0);
    return block;
}

inline Cell load(const std::string& text) { return load_text(text); }

inline std::string read_source(const char* relative) {
    std::ifstream in(std::string(ZEL_SOURCE_DIR) + "/" + relative);
    std::stringstream s;
    s << in.rdbuf();
    if (s.str().empty()) throw std::runtime_error(std::string("cannot read ") + relative);
    return s.str();
}

inline void set_global(const char* name, const Cell& value) {
    gc::root keep(&value);
    Cell w = word::load(name);
    context::set(&w, &value);
}

inline void empty_both_stacks() {
    stack::set_frame_top(stack::g_frame_bottom);
    stack::g_arguments = stack::g_top = stack::g_bottom;
    stack::end_throw();
}

// The cells of a loaded source after its header (`Zel [...]`).
inline int32_t body_start(const Cell& source) {
    const Cell* cells = memory::series_of(source.data2)->cells();
    return block::length_q(&source) >= 2 && type_of(cells) == TYPE_WORD && type_of(cells + 1) == TYPE_BLOCK ? 2 : 0;
}

// Records `word: make type! argument`, as the boot sources hold them
// (native!, action!, typeset!, op!): each word gets the value made from the
// argument (a get-word standing for its value), the way start-up defines
// them, without evaluating code.
inline void define_records(const char* relative) {
    Cell source = load_text(read_source(relative));
    int32_t n = block::length_q(&source);
    for (int32_t i = body_start(source); i < n; i += 4) {
        if (i + 3 >= n) throw std::runtime_error(std::string("truncated record in ") + relative);
        const Cell* cells = memory::series_of(source.data2)->cells();
        Cell word = cells[i], type = *context::get(cells + i + 2), arg = cells[i + 3];
        if (type_of(&arg) == TYPE_GET_WORD) arg = *context::get(&arg);
        if (type_of(&word) != TYPE_SET_WORD || type_of(&type) != TYPE_DATATYPE)
            throw std::runtime_error(std::string("bad record in ") + relative);
        Cell value;
        actions::make(&value, &type, &arg);
        context::set(&word, &value);
    }
}

// Pairs `operator target`: each operator word is set to an op! made from
// the target word's value.
inline void define_operators(const char* relative) {
    Cell source = load_text(read_source(relative));
    int32_t n = block::length_q(&source);
    for (int32_t i = body_start(source); i < n; i += 2) {
        if (i + 1 >= n) throw std::runtime_error(std::string("operator without target in ") + relative);
        const Cell* cells = memory::series_of(source.data2)->cells();
        Cell word = cells[i], target = *context::get(cells + i + 1), type, value;
        cell::set(&type, TYPE_DATATYPE, TYPE_OP);
        actions::make(&value, &type, &target);
        context::set(&word, &value);
    }
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
        set_global(DATATYPE_NAMES[t], datatype);
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
    // As start-up does once the boot environment stands: allocations may
    // collect from here on.
    collector::set_active(true);
}

inline std::string mold_of(Cell value) {
    Cell buffer{TYPE_NONE, 0, 0, 0};
    gc::root keep_value(&value), keep_buffer(&buffer);
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
