// The conditionals: if, unless, either, any, all, switch and case.
//
// Truth: none and false are false, every other value is true. The plain
// test (if, unless, any, all) lets unset! pass as true; the strict test
// (either, case's conditions) raises script no-return on it.
//
// A branch block is evaluated straight into the native's result cell, in
// the native's place when the block loop made the call (hand_back). any,
// all and case evaluate one expression at a time (eval_one) into a cell
// above the call's own cells, which keep the block they walk on the
// argument stack, where the collector sees it.
//
// Relies on: the evaluator (hand_back, eval_block, eval_one), the switch lookup
// (interpreter::select_key), the natives table.
#include "foundation/raise.h"
#include "interpreter/eval.h"
#include "interpreter/natives.h"
#include "scalars/simple_types.h"
#include "words/words.h"

namespace zel::natives {

namespace {

using interpreter::Next;

inline bool strict_true(const Cell* value) {
    if (type_of(value) == TYPE_UNSET) fire(ERR_script_no_return);
    return !logic::is_false(value);
}

inline Exit none_result() {
    stack::set_last(&none::g_none);
    return {};
}

// The branch's value becomes the result.
inline Exit branch(const Cell* block) { return interpreter::hand_back(block); }

Exit if_(bool, const int32_t*) {
    if (logic::is_false(arg(0))) return none_result();
    return branch(arg(1));
}

Exit unless(bool, const int32_t*) {
    if (!logic::is_false(arg(0))) return none_result();
    return branch(arg(1));
}

Exit either(bool, const int32_t*) { return branch(arg(strict_true(arg(0)) ? 1 : 2)); }

// any and all: the expressions of the block one at a time (the block
// pushed again above the call's cells), each value into the result cell.
// any ends at the first true value and gives it, all at the first false
// one and gives none; at the tail any gives none and all the last value.
template <bool ANY>
Exit any_or_all() {
    Cell* result = stack::arguments();
    Cell* block = stack::push(result);
    int32_t i = int32_t(block->data1) < 0 ? 0 : int32_t(block->data1);
    interpreter::Code code(block);
    if (i >= code.tail()) return none_result();
    while (i < code.tail()) {
        Next n = interpreter::eval_one(code, i, code.tail(), false);
        if (n.exit) return Exit{n.exit};
        stack::g_top = block + 1;
        if (logic::is_false(result) != ANY) return ANY ? Exit{} : none_result();
        i = n.position;
    }
    if (ANY) cell::set(result, TYPE_NONE);
    return {};
}

Exit any_(bool, const int32_t*) { return any_or_all<true>(); }
Exit all_(bool, const int32_t*) { return any_or_all<false>(); }

Exit switch_(bool, const int32_t* refinements) {
    Cell* default_block = refinement_arg(refinements, 0);
    Cell* selected = interpreter::select_key(true, true);
    if (type_of(selected) == TYPE_BLOCK) return branch(selected);
    if (default_block) return branch(default_block);
    return none_result();
}

// case: condition and value pairs. A true condition's block (or, when no
// block follows it, the next expression) gives the result; without /all
// the first one ends the walk. With /all every pair is walked and the
// result is the last condition's value when that condition was true, else
// none. A false condition skips the one cell after it, whatever it is.
Exit case_(bool, const int32_t* refinements) {
    const bool all = has(refinements, 0);
    Cell* cases = stack::arguments();
    interpreter::Code code(cases);
    int32_t i = int32_t(cases->data1) < 0 ? 0 : int32_t(cases->data1);
    if (i >= code.tail()) return none_result();
    frames::mark_native(&words::word(words::Word::body));
    bool matched = false;
    while (i < code.tail()) {
        stack::reset();
        if (all) matched = false;
        Next condition = interpreter::eval_one(code, i, code.tail(), false);
        if (condition.exit) return Exit{condition.exit};
        i = condition.position;
        if (i >= code.tail()) fire(ERR_script_need_value, &words::global_word(words::Sym::case_));
        if (!strict_true(stack::arguments())) {
            i++;
            continue;
        }
        Cell value = code.cells()[i];
        if (type_of(&value) == TYPE_BLOCK) {
            if (Exit e = interpreter::eval_block(&value, true)) return e;
            i++;
        } else {
            Next n = interpreter::eval_one(code, i, code.tail(), false);
            if (n.exit) return Exit{n.exit};
            i = n.position;
        }
        matched = true;
        if (!all) break;
    }
    if (!matched) stack::set_last(&none::g_none);
    frames::unwind_last();
    return {};
}

}  // namespace

void register_conditionals() {
    set(Native::if_, if_);
    set(Native::unless, unless);
    set(Native::either, either);
    set(Native::any_, any_);
    set(Native::all_, all_);
    set(Native::switch_, switch_);
    set(Native::case_, case_);
}

}  // namespace zel::natives
