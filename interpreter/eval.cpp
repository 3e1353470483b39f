// The evaluator: blocks, expressions, the infix check, parens and paths.
// Calls are call.cpp's. Relies on the stacks, contexts, the registry's
// eval-path handlers (through dispatch.h) and the trace hooks. init hands
// the datatypes below the /compare runner and the path store-back
// (services.h).
#include "interpreter/eval.h"

#include <emmintrin.h>

#include "foundation/collector.h"
#include "foundation/frames.h"
#include "foundation/platform.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "foundation/stamp.h"
#include "interpreter/dispatch.h"
#include "interpreter/eval_loop.h"
#include "interpreter/eval_shortcut.h"
#include "interpreter/native.h"
#include "interpreter/natives.h"
#include "interpreter/trace.h"
#include "scalars/simple_types.h"
#include "series/path.h"
#include "series/series.h"
#include "series/sorting.h"
#include "words/context.h"
#include "words/symbol.h"
#include "words/word.h"
#include "words/words.h"

namespace zel::interpreter {

using namespace shortcut;

Cell g_code_position;

namespace {

// sort's /compare function, for the sorts below (sorting.h): an exit
// leaving it goes on as an exception, since a sort cannot hand one back.
Cell run_comparator(const Cell* function, const Cell* first, const Cell* second) {
    const Cell arguments[2] = {*first, *second};
    const Cell& name = words::word(words::Word::compare_callback);
    if (exits::Exit e = call_with(function, arguments, 2, &name)) exits::raise_exit(e);
    Cell result = *(stack::top() - 1);
    stack::pop(1);
    return result;
}

}  // namespace

void init() {
    cell::set(&g_code_position, TYPE_UNSET);
    collector::add_mark_callback([] { collector::mark_value(&g_code_position); }, "the code position");
    init_block_loop();
    install_lexer_callbacks();
    sorting::g_comparator = {run_comparator};
    path::g_store_back = {store_back};
}

namespace {

inline Cell* cells_of(const Cell* block) { return memory::series_of(block->data2)->cells(); }
inline int32_t tail_of(const Cell* block) {
    return int32_t(memory::series_of(block->data2)->used() / sizeof(Cell));
}

// An event of the evaluator's hot path, compiled away in the instantiation
// that runs while nothing traces.
template <bool TRACE>
inline void trace_at(uint32_t event, const Cell* code, int32_t position, const Cell* value,
                     const Cell* ref = nullptr) {
    if constexpr (TRACE) trace_if(event, code, position, value, ref);
}

// Puts the code-position cell back however the evaluation ends (one
// 16-byte load and store: the copy is not split into words).
struct CodePositionScope {
    __m128i saved = _mm_load_si128(reinterpret_cast<const __m128i*>(&g_code_position));
    ~CodePositionScope() { _mm_store_si128(reinterpret_cast<__m128i*>(&g_code_position), saved); }
};

// shortcut::op_at in the running code, whose cells are not taken again at
// its end.
inline const Cell* op_at(const Code& code, int32_t i, int32_t end) {
    return i < end ? shortcut::op_at(code.cells(), i, end) : nullptr;
}

// An op! after an expression takes it as its left operand, again and again
// while operators follow. `entry_top` is the argument top when the
// expression began: the left operand sits there. `value` is the op! the
// word at `i` holds (op_at, which the caller tests inline).
template <bool TRACE>
Next infix_chain(const Code& code, int32_t i, int32_t end, bool sub, Cell* entry_top, const Cell* value) {
    do {
        const Cell* next = code.cells() + i;
        if ((!TRACE || !g_tracing) && i + 1 < end && operate(value, entry_top, next + 1)) {
            stack::g_top = entry_top + 1;
            i += 2;
            continue;
        }
        // Copies before the event: its call-back may grow the block or the
        // context the operator's word is in.
        Cell callable = *value;
        callable.header = uint32_t(op::wrapped_type(value));
        Cell name = *next;
        trace_at<TRACE>(TRACE_FETCH, code.block(), i, &name);
        stack::g_top = entry_top;
        int32_t arity = type_of(&callable) == TYPE_ROUTINE ? -1 : plain_arity(&callable);
        Next n = arity >= 0 ? call_plain(callable, name, code, i + 1, end, sub, true, uint32_t(arity))
                            : call(&callable, &name, code, i + 1, end, sub, nullptr, 0, MODE_CALL, true);
        if (n.exit) return n;
        i = n.position;
    } while ((value = op_at(code, i, end)));
    return Next{i, 0};
}

template <bool TRACE>
Next eval_set_word(const Code& code, int32_t i, int32_t end, bool sub) {
    Cell word = code.cells()[i];
    frames::mark_interp_native(&word);
    stack::push(&word);
    trace_at<TRACE>(TRACE_PUSH, code.block(), i, &word);
    if (i + 1 >= end) fire(ERR_script_need_value, &word);
    Next n = eval_expression(code, i + 1, end, false, true, false);
    if (n.exit) return n;
    Cell* value = stack::arguments() + 1;
    trace_at<TRACE>(TRACE_SET, code.block(), n.position, value, &word);
    if (type_of(value) == TYPE_UNSET) fire(ERR_script_need_value, &word);
    context::assign(&word, value);
    *stack::arguments() = *value;
    if (sub) frames::unwind();
    else frames::unwind_last();
    return n;
}

// The set-path's fetch event has been sent with the expression's first value.
Next eval_set_path(const Code& code, int32_t i, int32_t end, bool sub) {
    Cell path = code.cells()[i];
    if (i + 1 >= end) fire(ERR_script_need_value, &path);
    frames::mark_interp_native(&words::word(words::Word::set_path));
    Next n = eval_expression(code, i + 1, end, false, true, false);
    if (n.exit) return n;
    trace_if(TRACE_SET, code.block(), n.position, stack::arguments(), &path);
    Cell value = *stack::arguments();
    Next p = eval_path(&path, code, n.position, end, true, false, false, &value);
    if (p.exit) return p;
    if (sub) frames::unwind();
    else frames::unwind_last();
    return n;
}

// A paren is a block evaluated under its own frame (named <body>, like the
// block's): its value goes to the result cell (chain) or is pushed.
Next eval_paren(const Code& code, int32_t i, bool sub) {
    Cell paren = code.cells()[i];
    if (Exit e = eval_block(&paren, !sub)) return exiting(e);
    return Next{i + 1, 0};
}

bool system_marker(const Cell* issue) {
    uint32_t s = symbol::resolve(issue->data2);
    return s == symbol::resolve(words::symbol(words::Sym::system)) ||
           s == symbol::resolve(words::symbol(words::Sym::system_global));
}

template <bool TRACE>
Next eval_expression_as(const Code& code, int32_t i, int32_t end, bool no_infix, bool sub, bool passive);

}  // namespace

// While nothing traces, the block runs in the block loop (eval_loop.cpp).
// There, as here, the block's leading simple expressions run before its
// base is set: they call nothing, raise nothing and allocate nothing, so
// no walker, error or collection can see the difference, and the cell
// that becomes the block's result cell holds their values. The first other
// expression sets the base and runs in the general loop, from the stacks
// it would have run from had the base been set first. A stack too full
// for the result cell takes the general loop at once, which raises the
// overflow.
Exit eval_block(const Cell* block, bool chain) {
    // Every nesting of code in C++ passes here or through a call: the
    // native stack's guard is checked at both.
    platform::check_native_stack();
    stamp::check_entry(block);
    int32_t i = int32_t(block->data1) < 0 ? 0 : int32_t(block->data1);
    Series* series = memory::series_of(block->data2);
    int32_t end = int32_t(series->used() / sizeof(Cell));
    if (g_tracing) [[unlikely]]
        return eval_block_general(block, i, end, chain, false);
    bool general = false;
    if (i < end && stack::g_top < stack::g_end) [[likely]] {
        i = simple_prefix(series->cells(), i, end, chain);
        if (i < 0) return Exit{};
        general = true;
    }
    return run_block(block, i, end, chain, general);
}

Exit eval_block_general(const Cell* block, int32_t i, int32_t end, bool chain, bool general) {
    // The general loop, which every block entered while tracing runs from
    // its head, and the others join at their first expression the shortcut
    // cannot take (`general`).
    Cell block_cell = *block;
    Code code(&block_cell);
    CodePositionScope saved;
    // A block has no frame record of its own.
    Cell* caller_base = begin_unframed();
    trace_if(TRACE_ENTER, &block_cell, i, nullptr);
    if (i >= end) {
        stack::set_last_only(&unset::g_unset);
    } else {
        g_code_position = block_cell;
        for (;;) {
            collector::safe_point();
            int32_t next = general || g_tracing ? -1 : simple_expression(code.cells(), i, end, stack::arguments());
            general = false;
            if (next >= 0) {
                stack::g_top = stack::arguments() + 1;
                i = next;
            } else {
                g_code_position.data1 = uint32_t(i);
                Next n = g_tracing ? eval_expression_as<true>(code, i, end, false, false, false)
                                   : eval_expression_as<false>(code, i, end, false, false, false);
                if (n.exit) return Exit{n.exit};
                i = n.position;
                // The code may have cut its own block short.
                int32_t tail = code.tail();
                if (tail < end) end = tail;
            }
            if (i >= end) break;
            // Every value of the block's previous expression is dropped.
            // Before the next one is the safe point, where nothing refers
            // into a buffer (also before the first: a loop's body of one
            // expression still reaches it).
            stack::reset();
        }
    }
    trace_if(TRACE_EXIT, &block_cell, end, stack::arguments());
    end_unframed(caller_base, chain);
    return Exit{};
}

namespace {

// The values of other_type.
[[gnu::noinline]] Next eval_other(const Code& code, int32_t i, int32_t end, bool sub, bool passive) {
    const Cell* value = code.cells() + i;
    switch (type_of(value)) {
        case TYPE_PAREN: {
            Next n = eval_paren(code, i, sub);
            if (n.exit) return n;
            i = n.position;
            break;
        }
        case TYPE_GET_WORD: {
            Cell got = *context::get(value);  // the event's call-back may grow the context
            trace_if(TRACE_PUSH, code.block(), i, &got);
            place(&got, sub);
            i++;
            break;
        }
        case TYPE_LIT_WORD: {
            Cell w = *value;
            cell::set_type(&w, TYPE_WORD);
            trace_if(TRACE_PUSH, code.block(), i, &w);
            place(&w, sub);
            i++;
            break;
        }
        case TYPE_PATH: case TYPE_GET_PATH: {
            Next n;
            if (type_of(value) != TYPE_PATH || g_tracing || !call_path(value, code, i + 1, end, sub, &n)) {
                Cell path = *value;
                n = eval_path(&path, code, i + 1, end, false, type_of(&path) == TYPE_GET_PATH, sub, nullptr);
            }
            if (n.exit) return n;
            if (g_tracing) [[unlikely]]
                trace(TRACE_PUSH, code.block(), n.position, stack::get_top(), nullptr);
            i = n.position;
            break;
        }
        case TYPE_SET_PATH: {
            Next n = eval_set_path(code, i, end, sub);
            if (n.exit) return n;
            i = n.position;
            break;
        }
        case TYPE_LIT_PATH: {
            Cell path = *value;
            cell::set_type(&path, TYPE_PATH);
            path.data3 = 0;
            trace_if(TRACE_PUSH, code.block(), i, &path);
            place(&path, sub);
            i++;
            break;
        }
        case TYPE_OP:
            fire(ERR_internal_not_done);
        case TYPE_FUNCTION: case TYPE_NATIVE: case TYPE_ACTION: case TYPE_ROUTINE: {
            Cell callable = *value;
            if (passive) {
                place(&callable, sub);
                i++;
                break;
            }
            Next n = call(&callable, &callable, code, i + 1, end < i + 1 ? i + 1 : end, sub, nullptr, 0,
                          MODE_CALL, false);
            if (n.exit) return n;
            i = n.position;
            break;
        }
        case TYPE_ISSUE:
            if (i + 1 < end && type_of(value + 1) == TYPE_BLOCK && system_marker(value))
                fire(ERR_internal_zel_system);
            place(value, sub);
            i++;
            break;
        default:
            break;
    }
    return Next{i, 0};
}

}  // namespace

namespace {

// The general call of a word's value: the value and the word are copied
// first, as the code run by the call may move them.
[[gnu::noinline]] Next call_word(const Cell* value, const Cell* word, const Code& code, int32_t i, int32_t end,
                                 bool sub) {
    Cell callable = *value, name = *word;
    return call(&callable, &name, code, i, end, sub, nullptr, 0, MODE_CALL, false);
}

template <bool TRACE>
Next eval_expression_as(const Code& code, int32_t i, int32_t end, bool no_infix, bool sub, bool passive) {
    Cell* entry_top = stack::top();
    const Cell* value = code.cells() + i;
    // Traced, the cells an event shows are copied first: its call-back may
    // grow the running block or a context, replacing their buffers.
    Cell fetched;
    if constexpr (TRACE) {
        fetched = *value;
        value = &fetched;
    }
    trace_at<TRACE>(TRACE_FETCH, code.block(), i, value);
    int type = type_of(value);
    if (type == TYPE_WORD) {
        const Cell* v = context::get(value);
        int t = type_of(v);
        if (callable_type(t)) {
            int32_t arity = t == TYPE_ROUTINE ? -1 : plain_arity(v);
            Next n = arity >= 0 ? call_plain(*v, *value, code, i + 1, end, sub, false, uint32_t(arity))
                                : call_word(v, value, code, i + 1, end, sub);
            if (n.exit) return n;
            i = n.position;
        } else if (t == TYPE_UNSET) {
            fire(ERR_script_no_value, value);
        } else if (t == TYPE_OP) {
            fire(ERR_script_no_op_arg, value);
        } else {
            Cell got;
            if constexpr (TRACE) {
                got = *v;
                v = &got;
            }
            trace_at<TRACE>(TRACE_PUSH, code.block(), i, v);
            if (t == TYPE_LIT_WORD) stack::push(v);
            else place(v, sub);
            i++;
        }
    } else if (type == TYPE_SET_WORD) {
        Next n = eval_set_word<TRACE>(code, i, end, sub);
        if (n.exit) return n;
        i = n.position;
    } else if (type == TYPE_PAREN) {
        Cell paren = *value;
        if (Exit e = eval_block(&paren, !sub)) return exiting(e);
        i++;
    } else if (other_type(type)) {
        Next n = eval_other(code, i, end, sub, passive);
        if (n.exit) return n;
        i = n.position;
    } else {
        trace_at<TRACE>(TRACE_PUSH, code.block(), i, value);
        place(value, sub);
        i++;
    }
    // The infix check.
    if (const Cell* infix_op = no_infix ? nullptr : op_at(code, i, end)) {
        Next n = infix_chain<TRACE>(code, i, end, sub, entry_top, infix_op);
        if (n.exit) return n;
        i = n.position;
    }
    if (!sub) trace_at<TRACE>(TRACE_EXPR, code.block(), i, stack::arguments());
    return Next{i, 0};
}

}  // namespace

// Tracing is decided once per expression: an expression started untraced
// runs the instantiation without a single event test.
Next eval_expression(const Code& code, int32_t i, int32_t end, bool no_infix, bool sub, bool passive) {
    if (g_tracing) [[unlikely]]
        return eval_expression_as<true>(code, i, end, no_infix, sub, passive);
    return eval_expression_as<false>(code, i, end, no_infix, sub, passive);
}

Next eval_one(const Code& code, int32_t position, int32_t end, bool sub) {
    Cell* caller_base = begin_unframed();
    Next n = eval_expression(code, position, end, false, false, false);
    if (n.exit) return n;
    end_unframed(caller_base, !sub);
    return n;
}

Next eval_next(const Cell* block) {
    stamp::check_entry(block);
    Cell block_cell = *block;
    Code code(&block_cell);
    int32_t head = int32_t(block_cell.data1) < 0 ? 0 : int32_t(block_cell.data1);
    if (head >= code.tail()) {
        stack::set_last_only(&unset::g_unset);
        return Next{head, 0};
    }
    return eval_one(code, head, code.tail(), false);
}

// ---- Paths -------------------------------------------------------------------------------

namespace {

// A copy of the path holding its elements up to `last` (for the message).
Cell path_cut_after(const Cell* path, int32_t last) {
    int32_t head = int32_t(path->data1);
    Cell cut;
    cell::set(&cut, type_of(path), 0, memory::copy_series_part(path->data2, head, last - head + 1));
    return cut;
}

bool notifies(const Cell* owner) {
    int t = type_of(owner);
    return (t == TYPE_OBJECT && owner->data3 != 0) || series::any_block(t);
}

}  // namespace

void store_back(const Cell* changed, const Cell* path, Cell* owner, Cell* owner_element, int index) {
    Cell value = *changed;
    if (index <= 1) {
        Cell first = cells_of(path)[int32_t(path->data1) < 0 ? 0 : int32_t(path->data1)];
        context::set(&first, &value);
        return;
    }
    Cell none = none::g_none, before = none::g_none;
    dispatch::eval_path(owner, owner_element, &value, const_cast<Cell*>(path), &none, &before, index - 1, false,
                       false, notifies(owner));
}

Next eval_path(const Cell* path_in, const Code& code, int32_t position, int32_t end, bool set, bool get,
               bool sub, const Cell* new_value) {
    Cell path = *path_in;
    int32_t head = int32_t(path.data1) < 0 ? 0 : int32_t(path.data1);
    int32_t tail = tail_of(&path);
    if (head >= tail) fire(ERR_script_empty_path);
    trace_if(TRACE_ENTER, &path, head, nullptr);
    Cell first = cells_of(&path)[head];
    trace_if(TRACE_FETCH, &path, head, &first);
    if (type_of(&first) != TYPE_WORD) fire(ERR_script_word_first, &path);
    // The values walked stay on the argument stack, where the collector sees
    // them while parens run: the current value, the one before it and its
    // element.
    Cell* base = stack::top();
    const Cell* head_value = context::get(&first);
    // A function at the head is called at once when the three cells would
    // have been pushed (and dropped) without a word.
    if (!set && !get && callable_type(type_of(head_value)) && stack::g_top + 3 <= stack::g_end) {
        Cell callable = *head_value;
        return call_in_path(&callable, &first, code, position, end, sub, &path, head + 1);
    }
    Cell* cur = stack::push(head_value);
    Cell* prev = stack::push(&none::g_none);
    Cell* prev_element = stack::push(&none::g_none);
    int t = type_of(cur);
    if (callable_type(t)) {
        if (set) fire(ERR_script_invalid_path_set, &path);
        if (get) fire(ERR_script_invalid_path_get, &path);
        Cell callable = *cur;
        stack::g_top = base;
        return call_in_path(&callable, &first, code, position, end, sub, &path, head + 1);
    }
    if (t == TYPE_UNSET) fire(ERR_script_unset_path, &path, &first);
    for (int32_t k = head + 1; k < tail; k++) {
        Cell element = cells_of(&path)[k];
        gc::root keep_element(&element);  // a paren's value is held by nothing else
        if (type_of(&element) == TYPE_GET_WORD) {
            element = *context::get(&element);
        } else if (type_of(&element) == TYPE_PAREN) {
            if (Exit e = eval_block(&element, false)) return exiting(e);
            element = *stack::get_top();
            stack::g_top = prev_element + 1;
        }
        trace_if(TRACE_FETCH, &path, k, &element);
        trace_if(TRACE_PUSH, &path, k, &element);
        if (type_of(&element) == TYPE_UNSET) fire(ERR_script_unset_path, &path, &element);
        bool last = k + 1 == tail;
        Cell* store = set && last ? const_cast<Cell*>(new_value) : nullptr;
        bool notify = set && last && tail - head >= 2 && notifies(prev);
        Cell parent = *cur;
        Cell step;
        if (!datatype::raw_handler(type_of(&parent), ACT_EVAL_PATH)) {
            Cell type = raise::datatype_arg(type_of(&parent));
            Cell cut = path_cut_after(&path, k);
            fire(ERR_script_bad_path_type, &cut, &type, &element);
        }
        step = *dispatch::eval_path(&parent, &element, store, &path, prev, prev_element, k - head, get, last,
                                   notify);
        *prev = parent;
        *prev_element = element;
        *cur = step;
        if (!set && !get && callable_type(type_of(&step))) {
            stack::g_top = base;
            return call_in_path(&step, &element, code, position, end, sub, &path, k + 1);
        }
    }
    Cell result = *cur;
    stack::g_top = base;
    place(&result, sub);
    trace_if(TRACE_EXIT, &path, tail, &result);
    return Next{position, 0};
}

}  // namespace zel::interpreter
