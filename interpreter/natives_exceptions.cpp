// The natives that catch a running evaluation, and apply: try, throw,
// catch and apply (break, continue, exit and return are natives.cpp's).
//
// try evaluates its block under a try frame (a barrier with /all) at the
// catch level of every code: an error raised inside becomes its result;
// break, continue, return, exit and throw go on to their targets, except
// that with /all none of them crosses the barrier and each becomes an error
// there. catch evaluates its block under a catch frame at the level of
// throw alone: a throw reaching it leaves its value and its name cell at
// the frame's base; catch takes the value when the name fits, and throws it
// on otherwise.
//
// Relies on: the exits (catching, throw_value, pass_on), the evaluator
// (eval_block, call), the trace hooks, symbols (names compared by alias).
#include "interpreter/error.h"
#include "interpreter/eval.h"
#include "interpreter/natives.h"
#include "interpreter/trace.h"
#include "scalars/simple_types.h"
#include "series/block.h"
#include "words/context.h"
#include "words/symbol.h"
#include "words/words.h"

namespace zel::natives {

namespace {

Exit try_(bool, const int32_t* refinements) {
    Cell* block = stack::arguments();
    const bool all = has(refinements, 0);
    // The frame is pushed before the catching site is: a frame stack too
    // full for it raises the overflow to the try around this one, whose
    // frame that error takes away. Raised inside the site, it would stop
    // here with the stacks already gone past this call.
    const Cell* name = &words::word(words::Word::try_);
    if (all) frames::mark_try_all(name);
    else frames::mark_try(name);
    uint32_t code = exits::catching(CATCH_TRY, [block]() -> Exit {
        if (Exit e = interpreter::eval_block(block, true)) return e;
        frames::unwind_last();
        return {};
    });
    if (code == 0) return {};
    if (code != THROW_ERROR) return exits::pass_on(code);
    // The error has taken the stacks back to this call's base and pushed
    // itself there; it is taken from what was caught, which C++ guards on the
    // way cannot have moved. With /keep its stack position becomes the block
    // of the calls.
    Cell error = exits::pending_error().value;
    stack::set_last_only(&error);
    if (has(refinements, 1)) error::capture_stack(stack::arguments());
    exits::end_throw();
    return {};
}

Exit throw_(bool, const int32_t* refinements) {
    // The thrown value is always followed by a name cell: the word, or unset!.
    if (!has(refinements, 0)) {
        stack::g_top = stack::arguments() + 1;
        unset::push();
    }
    interpreter::trace_if(interpreter::TRACE_THROW, nullptr, -1, stack::arguments());
    exits::throw_value(THROW_THROW);
}

bool same_name(const Cell* a, const Cell* b) { return symbol::resolve(a->data2) == symbol::resolve(b->data2); }

// Whether a throw named `thrown` (a word, or unset! for none) is one that
// catch/name takes: the name, or one of a block of names.
bool name_fits(const Cell* thrown, const Cell* names) {
    if (type_of(thrown) != TYPE_WORD) return false;
    if (type_of(names) != TYPE_BLOCK) return same_name(thrown, names);
    int32_t n = block::length_q(names);
    for (int32_t i = 0; i < n; i++) {
        const Cell* item = memory::series_of(names->data2)->cells() + int32_t(names->data1) + i;
        if (type_of(item) != TYPE_WORD) fire(ERR_script_invalid_refine_arg, &words::word(words::Word::name), names);
        if (same_name(thrown, item)) return true;
    }
    return false;
}

Exit catch_(bool, const int32_t* refinements) {
    Cell* block = stack::arguments();
    const Cell* names = refinement_arg(refinements, 0);
    uint32_t code = exits::catching(CATCH_CATCH, [block]() -> Exit {
        frames::mark_catch(&words::word(words::Word::body));
        if (Exit e = interpreter::eval_block(block, true)) return e;
        frames::unwind_last();
        return {};
    });
    if (code == 0) return {};
    if (code != THROW_THROW) return exits::pass_on(code);
    // The throw left its value and name on top, above this call's cells.
    Cell* thrown = stack::top() - 2;
    if (names && !name_fits(thrown + 1, names)) {
        stack::g_arguments = thrown;
        exits::throw_value(THROW_THROW);
    }
    stack::set_last_only(thrown);
    exits::end_throw();
    interpreter::trace_if(interpreter::TRACE_CATCH, nullptr, -1, stack::arguments());
    return {};
}

bool any_word(int type) {
    return type == TYPE_WORD || type == TYPE_SET_WORD || type == TYPE_GET_WORD || type == TYPE_LIT_WORD;
}

bool callable_type(int type) {
    switch (type) {
        case TYPE_NATIVE: case TYPE_ACTION: case TYPE_OP: case TYPE_FUNCTION: case TYPE_ROUTINE:
            return true;
        default:
            return false;
    }
}

// apply: the function (a word or a path naming it, or the function itself)
// is called with the arguments the block gives (interpreter::FetchMode).
Exit apply_(bool, const int32_t* refinements) {
    Cell* args = stack::arguments();
    Cell func = args[0];
    Cell path;
    const Cell* path_given = nullptr;
    int32_t path_position = 0;
    if (type_of(&func) >= TYPE_PATH && type_of(&func) <= TYPE_GET_PATH) {
        path = func;
        path_given = &path;
        int32_t head = int32_t(path.data1) < 0 ? 0 : int32_t(path.data1);
        path_position = head + 1;
        func = block::length_q(&path) > 0 ? memory::series_of(path.data2)->cells()[head] : none::g_none;
    }
    Cell name = words::word(words::Word::applied), callable = func;
    if (any_word(type_of(&func))) {
        name = func;
        cell::set_type(&name, TYPE_WORD);
        callable = *context::get(&func);
    }
    if (!callable_type(type_of(&callable))) fire(ERR_script_invalid_arg, args);
    int mode = has(refinements, 0) ? interpreter::MODE_APPLY_ALL : interpreter::MODE_APPLY;
    if (has(refinements, 1)) mode |= interpreter::MODE_SAFER;
    interpreter::Code code(args + 1);
    int32_t head = int32_t(args[1].data1) < 0 ? 0 : int32_t(args[1].data1);
    interpreter::Next n =
        interpreter::call(&callable, &name, code, head, code.tail(), false, path_given, path_position, mode, false);
    return Exit{n.exit};
}

}  // namespace

void register_exceptions() {
    set(Native::try_, try_);
    set(Native::throw_, throw_);
    set(Native::catch_, catch_);
    set(Native::apply_, apply_);
}

}  // namespace zel::natives
