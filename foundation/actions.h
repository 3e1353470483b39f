// The 62 polymorphic actions: their ids and the C++ signature of each
// action's handlers.
//
// A handler receives the cells of its arguments (on the argument stack, which
// never moves), decoded refinements as flags, and the argument cell of each
// refinement that takes one, or null when that refinement is absent. Class D
// handlers (the arithmetic and navigation actions) take nothing: they read
// their arguments at stack::arguments() and write the result there.
#pragma once

#include "foundation/cell.h"

namespace zel {

enum ActionId : int {
    ACT_MAKE = 1,
    ACT_RANDOM,
    ACT_REFLECT,
    ACT_TO,
    ACT_FORM,
    ACT_MOLD,
    ACT_EVAL_PATH,
    ACT_SET_PATH,
    ACT_COMPARE,
    ACT_ABSOLUTE,
    ACT_ADD,
    ACT_DIVIDE,
    ACT_MULTIPLY,
    ACT_NEGATE,
    ACT_POWER,
    ACT_REMAINDER,
    ACT_ROUND,
    ACT_SUBTRACT,
    ACT_EVEN_Q,
    ACT_ODD_Q,
    ACT_AND_T,
    ACT_COMPLEMENT,
    ACT_OR_T,
    ACT_XOR_T,
    ACT_APPEND,
    ACT_AT,
    ACT_BACK,
    ACT_CHANGE,
    ACT_CLEAR,
    ACT_COPY,
    ACT_FIND,
    ACT_HEAD,
    ACT_HEAD_Q,
    ACT_INDEX_Q,
    ACT_INSERT,
    ACT_LENGTH_Q,
    ACT_MOVE,
    ACT_NEXT,
    ACT_PICK,
    ACT_POKE,
    ACT_PUT,
    ACT_REMOVE,
    ACT_REVERSE,
    ACT_SELECT,
    ACT_SORT,
    ACT_SKIP,
    ACT_SWAP,
    ACT_TAIL,
    ACT_TAIL_Q,
    ACT_TAKE,
    ACT_TRIM,
    ACT_CREATE,
    ACT_CLOSE,
    ACT_DELETE,
    ACT_MODIFY,
    ACT_OPEN,
    ACT_OPEN_Q,
    ACT_QUERY,
    ACT_READ,
    ACT_RENAME,
    ACT_UPDATE,
    ACT_WRITE,
};
constexpr int ACTION_COUNT = 62;

// Action names in id order, as the language spells them.
extern const char* const ACTION_NAMES[ACTION_COUNT + 1];

namespace action {

// Signatures shared by several actions.
using MakeFn = Cell* (*)(Cell* proto, Cell* spec, int type);
using StackFn = Cell* (*)();              // class D: reads the argument stack
using UnaryFn = Cell* (*)(Cell* value);
using PortFn = Cell* (*)(Cell* port);
using InsertFn = Cell* (*)(Cell* series, Cell* value, int part, bool only, int dup);

using RandomFn = Cell* (*)(Cell* value, bool seed, bool secure, bool only);
using ReflectFn = Cell* (*)(Cell* value, int field);  // field: symbol id
// Form and mold write into the string `buffer` and answer the remaining
// part budget (part less what they wrote).
using FormFn = int (*)(Cell* value, Cell* buffer, int part);
using MoldFn = int (*)(Cell* value, Cell* buffer, bool only, bool all, bool flat, int part,
                       int indent);
// parent/element: the step; value: what to store (null when reading);
// path: the whole path (null when unknown), for errors; owner and prev: the
// value and element before this step; index: 0-based position of the element;
// tail: last element; notify: a set that must report the change to its owner.
using EvalPathFn = Cell* (*)(Cell* parent, Cell* element, Cell* value, Cell* path, Cell* owner,
                             Cell* prev, int index, bool case_, bool tail, bool notify);
// Answers -1, 0 or 1, or -2 when the values cannot be compared.
using CompareFn = int (*)(Cell* value1, Cell* value2, int op);
using RoundFn = Cell* (*)(Cell* value, Cell* scale, bool even, bool down, bool half_down,
                          bool floor, bool ceiling, bool half_ceiling);
using PredicateFn = bool (*)(Cell* value);
using CopyFn = Cell* (*)(Cell* value, Cell* result, Cell* part, bool deep, Cell* types);
using FindFn = Cell* (*)(Cell* series, Cell* value, Cell* part, bool only, bool case_, bool same,
                         bool any, Cell* with, Cell* skip, bool last, bool reverse, bool tail,
                         bool match);
using SelectFn = Cell* (*)(Cell* series, Cell* value, Cell* part, bool only, bool case_, bool same,
                           bool any, Cell* with, Cell* skip, bool last, bool reverse);
using LengthFn = int (*)(Cell* series);  // -1 answers none
using MoveFn = Cell* (*)(Cell* origin, Cell* target, Cell* part);
// index: the index argument as a machine integer (see pick-index); boxed:
// the index argument itself, for keyed series.
using PickFn = Cell* (*)(Cell* series, int index, Cell* boxed);
using PokeFn = Cell* (*)(Cell* series, int index, Cell* data, Cell* boxed);
using PutFn = Cell* (*)(Cell* series, Cell* key, Cell* value, bool case_);
using RemoveFn = Cell* (*)(Cell* series, Cell* part, Cell* key);
using ReverseFn = Cell* (*)(Cell* series, Cell* part, Cell* skip);
using SortFn = Cell* (*)(Cell* series, bool case_, Cell* skip, Cell* comparator, Cell* part,
                         bool all, bool reverse, bool stable);
using SwapFn = Cell* (*)(Cell* series1, Cell* series2);
using TakeFn = Cell* (*)(Cell* series, Cell* part, bool deep, bool last);
using TrimFn = Cell* (*)(Cell* series, bool head, bool tail, bool auto_, bool lines, bool all,
                         Cell* with);
using ModifyFn = Cell* (*)(Cell* target, Cell* field, Cell* value, bool case_);
using OpenFn = Cell* (*)(Cell* port, bool new_, bool read, bool write, bool seek, Cell* allow);
using ReadFn = Cell* (*)(Cell* source, Cell* part, Cell* seek, bool binary, bool lines, bool info,
                         Cell* as);
using RenameFn = Cell* (*)(Cell* from, Cell* to);
using WriteFn = Cell* (*)(Cell* destination, Cell* data, bool binary, bool lines, bool info,
                          bool append, Cell* part, Cell* seek, Cell* allow, Cell* as);

// The signature of each action's handlers, by id.
template <int A> struct Sig;
#define ZEL_ACTION_SIG(id, fn) \
    template <>                \
    struct Sig<id> {           \
        using type = fn;       \
    };
ZEL_ACTION_SIG(ACT_MAKE, MakeFn)
ZEL_ACTION_SIG(ACT_RANDOM, RandomFn)
ZEL_ACTION_SIG(ACT_REFLECT, ReflectFn)
ZEL_ACTION_SIG(ACT_TO, MakeFn)
ZEL_ACTION_SIG(ACT_FORM, FormFn)
ZEL_ACTION_SIG(ACT_MOLD, MoldFn)
ZEL_ACTION_SIG(ACT_EVAL_PATH, EvalPathFn)
ZEL_ACTION_SIG(ACT_SET_PATH, StackFn)
ZEL_ACTION_SIG(ACT_COMPARE, CompareFn)
ZEL_ACTION_SIG(ACT_ABSOLUTE, StackFn)
ZEL_ACTION_SIG(ACT_ADD, StackFn)
ZEL_ACTION_SIG(ACT_DIVIDE, StackFn)
ZEL_ACTION_SIG(ACT_MULTIPLY, StackFn)
ZEL_ACTION_SIG(ACT_NEGATE, UnaryFn)
ZEL_ACTION_SIG(ACT_POWER, StackFn)
ZEL_ACTION_SIG(ACT_REMAINDER, StackFn)
ZEL_ACTION_SIG(ACT_ROUND, RoundFn)
ZEL_ACTION_SIG(ACT_SUBTRACT, StackFn)
ZEL_ACTION_SIG(ACT_EVEN_Q, PredicateFn)
ZEL_ACTION_SIG(ACT_ODD_Q, PredicateFn)
ZEL_ACTION_SIG(ACT_AND_T, StackFn)
ZEL_ACTION_SIG(ACT_COMPLEMENT, UnaryFn)
ZEL_ACTION_SIG(ACT_OR_T, StackFn)
ZEL_ACTION_SIG(ACT_XOR_T, StackFn)
ZEL_ACTION_SIG(ACT_APPEND, InsertFn)
ZEL_ACTION_SIG(ACT_AT, StackFn)
ZEL_ACTION_SIG(ACT_BACK, StackFn)
ZEL_ACTION_SIG(ACT_CHANGE, InsertFn)
ZEL_ACTION_SIG(ACT_CLEAR, UnaryFn)
ZEL_ACTION_SIG(ACT_COPY, CopyFn)
ZEL_ACTION_SIG(ACT_FIND, FindFn)
ZEL_ACTION_SIG(ACT_HEAD, StackFn)
ZEL_ACTION_SIG(ACT_HEAD_Q, StackFn)
ZEL_ACTION_SIG(ACT_INDEX_Q, StackFn)
ZEL_ACTION_SIG(ACT_INSERT, InsertFn)
ZEL_ACTION_SIG(ACT_LENGTH_Q, LengthFn)
ZEL_ACTION_SIG(ACT_MOVE, MoveFn)
ZEL_ACTION_SIG(ACT_NEXT, StackFn)
ZEL_ACTION_SIG(ACT_PICK, PickFn)
ZEL_ACTION_SIG(ACT_POKE, PokeFn)
ZEL_ACTION_SIG(ACT_PUT, PutFn)
ZEL_ACTION_SIG(ACT_REMOVE, RemoveFn)
ZEL_ACTION_SIG(ACT_REVERSE, ReverseFn)
ZEL_ACTION_SIG(ACT_SELECT, SelectFn)
ZEL_ACTION_SIG(ACT_SORT, SortFn)
ZEL_ACTION_SIG(ACT_SKIP, StackFn)
ZEL_ACTION_SIG(ACT_SWAP, SwapFn)
ZEL_ACTION_SIG(ACT_TAIL, StackFn)
ZEL_ACTION_SIG(ACT_TAIL_Q, StackFn)
ZEL_ACTION_SIG(ACT_TAKE, TakeFn)
ZEL_ACTION_SIG(ACT_TRIM, TrimFn)
ZEL_ACTION_SIG(ACT_CREATE, PortFn)
ZEL_ACTION_SIG(ACT_CLOSE, PortFn)
ZEL_ACTION_SIG(ACT_DELETE, PortFn)
ZEL_ACTION_SIG(ACT_MODIFY, ModifyFn)
ZEL_ACTION_SIG(ACT_OPEN, OpenFn)
ZEL_ACTION_SIG(ACT_OPEN_Q, PortFn)
ZEL_ACTION_SIG(ACT_QUERY, PortFn)
ZEL_ACTION_SIG(ACT_READ, ReadFn)
ZEL_ACTION_SIG(ACT_RENAME, RenameFn)
ZEL_ACTION_SIG(ACT_UPDATE, PortFn)
ZEL_ACTION_SIG(ACT_WRITE, WriteFn)
#undef ZEL_ACTION_SIG

template <int A> using HandlerOf = typename Sig<A>::type;

}  // namespace action
}  // namespace zel
