// The evaluator's shortcut: expressions and operators computed without a
// call while nothing traces, where the call would give the same value and
// leave the same stacks, and nothing could have seen it run (no code runs,
// nothing is raised or allocated). Shared by the block loop (eval.cpp) and
// the argument fetch (call.cpp).
//
// Relies on: contexts (word values), the stacks' limits, the op! cell
// layout and the natives' numbers.
#pragma once

#include <cstdint>

#include "foundation/cell.h"
#include "foundation/frames.h"
#include "interpreter/native.h"
#include "interpreter/natives.h"
#include "scalars/int_math.h"
#include "scalars/simple_types.h"
#include "words/context.h"

namespace zel::interpreter::shortcut {

constexpr bool callable_type(int type) {
    return type == TYPE_FUNCTION || type == TYPE_NATIVE || type == TYPE_ACTION || type == TYPE_ROUTINE;
}

// A word's value without raising: null when the word has no value cell now
// (unbound, `self`, or a function context whose call is not running).
inline const Cell* value_if_any(const Cell* word) {
    Node ctx = word->data1;
    int32_t index = int32_t(word->data3);
    if (ctx == 0 || index < 0) return nullptr;
    Cell* values = context::values_in(ctx);
    return values ? values + index : nullptr;
}

// The integer value of a right operand that is a single integer term: an
// integer! literal, or a word holding one.
inline bool integer_term(const Cell* term, int32_t* value) {
    if (type_of(term) == TYPE_WORD) {
        term = value_if_any(term);
        if (!term) return false;
    }
    if (type_of(term) != TYPE_INTEGER) return false;
    *value = cell::get_int(term);
    return true;
}

// The operators over two integers that nothing can make fail or look
// different: add, subtract and multiply without overflow and the
// comparisons. Computed in place of the call, which would give the same
// value after pushing a frame, fetching and dispatching; false when the call
// must run (another operator) or number_call below may take it (an
// overflow). `type` is the type of the callable (action! or native!),
// `number` its action id or native number.
inline bool integer_call(int type, uint32_t number, int32_t left, int32_t right, Cell* result) {
    if (type == TYPE_ACTION) {
        int_math::Op op;
        int32_t n;
        if (!int_math::of_action(number, &op) || !int_math::fits(op, left, right, &n)) return false;
        cell::set(result, TYPE_INTEGER, 0, uint32_t(n));
        return true;
    }
    if (type != TYPE_NATIVE) return false;
    bool truth;
    switch (natives::Native(number)) {
        case natives::Native::equal_q: case natives::Native::strict_equal_q: truth = left == right; break;
        case natives::Native::not_equal_q: truth = left != right; break;
        case natives::Native::lesser_q: truth = left < right; break;
        case natives::Native::greater_q: truth = left > right; break;
        case natives::Native::lesser_or_equal_q: truth = left <= right; break;
        case natives::Native::greater_or_equal_q: truth = left >= right; break;
        default: return false;
    }
    logic::set(result, truth);
    return true;
}

// The same for an op!, which wraps the callable.
inline bool integer_operator(const Cell* op, int32_t left, int32_t right, Cell* result) {
    return integer_call(op::wrapped_type(op), op->data1, left, right, result);
}

inline bool number_type(int type) { return type == TYPE_INTEGER || type == TYPE_FLOAT; }

// Where integer_call gives up, add, subtract and multiply over two numbers
// (integer! or float!) with a float! result: of two integers that overflow,
// or with a float! operand; the float! of the operation done on doubles, as
// the actions give it. Out of line: rarer in code. `result` may be either
// operand's cell.
[[gnu::noinline]] inline bool number_call(int type, uint32_t number, const Cell* left, const Cell* right,
                                          Cell* result) {
    if (type != TYPE_ACTION || !number_type(type_of(left)) || !number_type(type_of(right))) return false;
    double x = type_of(left) == TYPE_INTEGER ? double(cell::get_int(left)) : cell::get_float(left);
    double y = type_of(right) == TYPE_INTEGER ? double(cell::get_int(right)) : cell::get_float(right);
    int_math::Op op;
    if (!int_math::of_action(number, &op)) return false;
    cell::set(result, TYPE_FLOAT);
    cell::put_float(result, int_math::on_doubles(op, x, y));
    return true;
}

// number_call for an op!, the left operand's cell and the right operand's
// term (a literal or a word), in place of the left operand.
[[gnu::noinline]] inline bool number_operator(const Cell* op, Cell* left, const Cell* right_term) {
    if (type_of(right_term) == TYPE_WORD && !(right_term = value_if_any(right_term))) return false;
    return number_call(op::wrapped_type(op), op->data1, left, right_term, left);
}

// An op! between the left operand's cell and the right operand's term (a
// literal or a word) computed in place of the left operand: the integer
// operators first, then the others over numbers.
[[gnu::always_inline]] inline bool operate(const Cell* op, Cell* left, const Cell* right_term) {
    int32_t right;
    if (type_of(left) == TYPE_INTEGER && integer_term(right_term, &right) &&
        integer_operator(op, cell::get_int(left), right, left))
        return true;
    return number_operator(op, left, right_term);
}

// The op! held by the word at `i` (before `end`), or null when none follows
// there (most often no word does, or one starting the next expression).
inline const Cell* op_at(const Cell* cells, int32_t i, int32_t end) {
    if (i >= end || type_of(cells + i) != TYPE_WORD) return nullptr;
    const Cell* value = value_if_any(cells + i);
    return value && type_of(value) == TYPE_OP ? value : nullptr;
}

// Both, for the two argument cells of a call.
inline bool number_arguments(int type, uint32_t number, Cell* args) {
    if (type_of(args) == TYPE_INTEGER && type_of(args + 1) == TYPE_INTEGER &&
        integer_call(type, number, cell::get_int(args), cell::get_int(args + 1), args))
        return true;
    return number_call(type, number, args, args + 1, args);
}

// ---- The shortcut of simple expressions ------------------------------------------------
//
// While nothing traces, an expression that is a term (a value that stands for
// itself, a word holding a value that is not called, or a block's value
// picked by a path of a word and an integer) followed by nothing
// but integer operators the shortcut above computes is evaluated here, without
// a call: it can neither run code, nor raise, nor allocate. A set-word before
// such an expression stores its value when the word's context takes a plain
// store. Anything else answers -1 having changed nothing but the cell it was
// to write, and the general path runs the expression from its start.

// The kinds of values that are rarer in code than words, set-words and
// literals, out of the evaluator's hot path.
constexpr bool other_type(int type) {
    switch (type) {
        case TYPE_PAREN: case TYPE_GET_WORD: case TYPE_LIT_WORD: case TYPE_PATH: case TYPE_GET_PATH:
        case TYPE_SET_PATH: case TYPE_LIT_PATH: case TYPE_OP: case TYPE_FUNCTION: case TYPE_NATIVE:
        case TYPE_ACTION: case TYPE_ROUTINE: case TYPE_ISSUE:
            return true;
        default:
            return false;
    }
}

// What the evaluator does with a value met in code, and which values a word
// gives as they stand.
enum CodeKind : uint8_t { CODE_LITERAL, CODE_WORD, CODE_SET_WORD, CODE_PATH, CODE_OTHER };
struct CodeKinds {
    uint8_t kind[256];
    bool plain[256];
    constexpr CodeKinds() : kind(), plain() {
        for (int t = 0; t < 256; t++) {
            kind[t] = t == TYPE_WORD ? CODE_WORD : t == TYPE_SET_WORD ? CODE_SET_WORD : t == TYPE_PATH ? CODE_PATH
                    : other_type(t) ? CODE_OTHER : CODE_LITERAL;
            plain[t] = !(callable_type(t) || t == TYPE_UNSET || t == TYPE_OP || t == TYPE_LIT_WORD);
        }
    }
};
inline constexpr CodeKinds g_kinds;

// A path of two elements, a word holding a block! and an integer!: the
// block's value at that position as the block's path handler picks it (none
// outside the block), unless that value is one the path would call.
inline const Cell* simple_pick(const Cell* path) {
    Series* s = memory::series_of(path->data2);
    int32_t head = int32_t(path->data1) < 0 ? 0 : int32_t(path->data1);
    if (int32_t(s->used() / sizeof(Cell)) - head != 2) return nullptr;
    const Cell* elements = s->cells() + head;
    if (type_of(elements) != TYPE_WORD || type_of(elements + 1) != TYPE_INTEGER) return nullptr;
    const Cell* block = value_if_any(elements);
    if (!block || type_of(block) != TYPE_BLOCK) return nullptr;
    int32_t index = cell::get_int(elements + 1);
    int64_t p = index == 0 ? -1 : int64_t(int32_t(block->data1)) + (index > 0 ? int64_t(index) - 1 : index);
    Series* b = memory::series_of(block->data2);
    if (p < 0 || p >= int64_t(b->used() / sizeof(Cell))) return &none::g_none;
    const Cell* v = b->cells() + p;
    return callable_type(type_of(v)) ? nullptr : v;
}

// The value a simple term gives, or null.
[[gnu::always_inline]] inline const Cell* simple_term(const Cell* term) {
    uint8_t kind = g_kinds.kind[type_of(term)];
    if (kind == CODE_LITERAL) return term;
    if (kind == CODE_PATH) return simple_pick(term);
    if (kind != CODE_WORD) return nullptr;
    const Cell* v = value_if_any(term);
    return v && g_kinds.plain[type_of(v)] ? v : nullptr;
}

// The term at `i` and the integer operators after it, into *out. The
// argument fetch (`ARGUMENT`) meets a term followed by no word more often:
// it tests for one before the loop (the block loop runs faster without).
template <bool ARGUMENT = false>
[[gnu::always_inline]] inline int32_t simple_operand(const Cell* cells, int32_t i, int32_t end, Cell* out) {
    const Cell* v = simple_term(cells + i);
    if (!v) return -1;
    *out = *v;
    i++;
    if (ARGUMENT && (i >= end || type_of(cells + i) != TYPE_WORD)) return i;
    while (const Cell* op = op_at(cells, i, end)) {
        if (i + 1 >= end || !operate(op, out, cells + i + 1)) return -1;
        i += 2;
    }
    return i;
}

// The set-word at `i` and its simple expression. The general path would push
// a frame and two cells: without room for them it runs, and raises.
[[gnu::always_inline]] inline int32_t simple_set_word(const Cell* cells, int32_t i, int32_t end, Cell* out) {
    const Cell* word = cells + i;
    Node ctx = word->data1;
    int32_t index = int32_t(word->data3);
    if (i + 1 >= end || ctx == 0 || index < 0 || frames::g_frame_top >= frames::g_frame_end ||
        stack::g_top + 2 > stack::g_end)
        return -1;
    if (ctx != context::g_global && !context::on_stack(ctx) && context::kind_of(ctx) == context::KIND_OBJECT)
        return -1;
    int32_t next = simple_operand(cells, i + 1, end, out);
    if (next < 0 || type_of(out) == TYPE_UNSET) return -1;
    Cell* values = context::values_in(ctx);
    if (!values) return -1;
    values[index] = *out;
    return next;
}

[[gnu::always_inline]] inline int32_t simple_expression(const Cell* cells, int32_t i, int32_t end, Cell* out) {
    if (type_of(cells + i) == TYPE_SET_WORD) return simple_set_word(cells, i, end, out);
    return simple_operand(cells, i, end, out);
}

// An argument: pushed when it is simple (only its term with `no_infix`, as
// the right operand of an operator takes it). The general path would push
// it: without room it runs, and raises.
[[gnu::always_inline]] inline int32_t simple_argument(const Cell* cells, int32_t i, int32_t end, bool no_infix) {
    if (stack::g_top >= stack::g_end) return -1;
    int32_t next;
    if (no_infix) {
        const Cell* v = simple_term(cells + i);
        if (!v) return -1;
        *stack::g_top = *v;
        next = i + 1;
    } else {
        next = simple_operand<true>(cells, i, end, stack::g_top);
        if (next < 0) return -1;
    }
    stack::g_top++;
    return next;
}

}  // namespace zel::interpreter::shortcut
