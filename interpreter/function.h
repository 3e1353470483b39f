// function!: a function written in the language, its spec checked, its body
// bound to a context of its own whose values live on the argument stack
// while a call runs.
//
// Cell layout (type 24):
//   header  the type id; attribute flags FLAG_TRACE (the spec's attribute
//           block says `trace`) and FLAG_NO_TRACE (`no-trace`)
//   data1   node of the function context (kind 1, on stack, no self): one
//           word per word!, lit-word!, get-word! and refinement! of the spec,
//           in spec order; its owner cell holds a copy of the function
//   data2   node of the spec block (head 0)
//   data3   node of the "more" block, five cells and then the argument cache
//           (eval.h):
//             0  the body: a deep copy of the body block, or none
//             1  the argument cache (a block! into this same buffer), built
//                when the function is made, from the same spec as the context
//             2  unset: no compiled code
//             3  unset, or the function itself once an op! wraps it
//             4  an integer! the maker gives (an object's context for the
//                functions made in objects), or unset
//           Routines share this layout; natives and actions have two cells,
//           0 their argument context's cell and 1 the argument cache. The
//           cache cell is a block! of the more block's own node: data1 its
//           first cell's index (the cache's items follow the fixed cells),
//           data3 its summary word (eval.h). Only the accessors below read
//           the layout.
//
// A call pushes exactly one cell per word of the context (eval.h, call.cpp):
// the arguments, for each refinement a logic! and its arguments, then
// /local (false) and the locals (none). The spec block is shared with the
// caller of `func`; changing it later changes what `spec-of` shows, never the
// cells a call pushes.
//
// Registration: function! (parent context!) with make, reflect, form, mold
// and compare.
//
// Relies on: contexts (the function context, binding), blocks (copying the
// body, molding), typesets (type blocks), the argument cache (call.cpp),
// words (`/local`, `/extern`, `return:`, the attribute words).
#pragma once

#include <cstdint>

#include "foundation/cell.h"
#include "foundation/memory.h"
#include "foundation/stack.h"
#include "scalars/simple_types.h"

namespace zel::function {

constexpr uint32_t FLAG_TRACE = 0x400;
constexpr uint32_t FLAG_NO_TRACE = 0x200;
// The attributes that switch tracing for one body.
constexpr uint32_t TRACE_FLAGS = FLAG_TRACE | FLAG_NO_TRACE;
constexpr int MORE_CELLS = 5;
enum MoreCell : int {
    MORE_BODY = 0,
    MORE_NATIVE_CONTEXT = 0,  // natives and actions
    MORE_CACHE = 1,
    MORE_CODE = 2,
    MORE_OP = 3,
    MORE_EXTRA = 4
};

// ---- The more block (function!, routine!, native!, action!) ------------------------------
// As cheap as the raw reads (always inlined): the evaluator's calls go through them.

[[gnu::always_inline]] inline Cell* more_cells(Node more) { return memory::series_of(more)->cells(); }
[[gnu::always_inline]] inline Cell* more_of(const Cell* callable) { return more_cells(callable->data3); }
// A function's or routine's body: a block!, or none.
[[gnu::always_inline]] inline Cell* body_of(const Cell* callable) { return more_of(callable) + MORE_BODY; }

// The argument cache's block! cell; unset until the cache is built.
[[gnu::always_inline]] inline Cell* cache_cell(Node more) { return more_cells(more) + MORE_CACHE; }
[[gnu::always_inline]] inline bool cache_built(Node more) { return type_of(cache_cell(more)) == TYPE_BLOCK; }
// The cache's items (the cache must be built) and their number.
[[gnu::always_inline]] inline Cell* cache_items(Node more) {
    Cell* cells = more_cells(more);
    return cells + int32_t(cells[MORE_CACHE].data1);
}
[[gnu::always_inline]] inline int32_t cache_length(Node more) {
    Series* s = memory::series_of(more);
    return int32_t(s->used() / sizeof(Cell)) - int32_t(s->cells()[MORE_CACHE].data1);
}
// The cache's summary word; 0 while the cache is not built.
[[gnu::always_inline]] inline uint32_t cache_summary(Node more) {
    const Cell* cache = cache_cell(more);
    return type_of(cache) == TYPE_BLOCK ? cache->data3 : 0;
}
[[gnu::always_inline]] inline void set_cache_summary(Node more, uint32_t summary) { cache_cell(more)->data3 = summary; }

// A new more block of a function or routine: MORE_CELLS unset cells, no
// argument cache yet.
Node alloc_more();

// A new function! pushed on the argument stack; answers its context. A spec
// whose head is past 0 is first copied from its head. `context` 0 makes one
// from the spec and binds the body's copy to it; `extra` non-zero goes to
// more cell 4. The argument cache is built here.
Node push(const Cell* spec, const Cell* body, Node context, int32_t extra, uint32_t flags);

// Checks a spec block from its head; answers its attribute flags. Raises
// script bad-func-def (with the spec), dup-vars (with the later word),
// invalid-type-spec or no-value (type blocks).
uint32_t validate_spec(const Cell* spec);

// The `function` native's locals: appends to the spec the set-words of the
// body (and the words of foreach, remove-each and repeat), after /local,
// leaving out the spec's own words and, with /extern, the words after it
// (which leave the spec). Answers a block of the collected words.
Cell collect_locals(Cell* spec, const Cell* body);

// The local frame of a call: /local as false, then n - 1 none cells.
inline void init_locals(int32_t n) {
    if (n <= 0) return;
    stack::push(&logic::g_false);
    for (int32_t i = 1; i < n; i++) stack::push(&none::g_none);
}

// Handlers.
Cell* make(Cell* proto, Cell* spec, int type);
// `spec` the spec block, `body` the body, `words` the context's words bound
// to it; other fields raise internal not-done.
Cell* reflect(Cell* value, int field);
int form(Cell* value, Cell* buffer, int part);
int mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, int part, int indent);
// Only the same function is equal: the more blocks' nodes are compared.
int compare(Cell* value1, Cell* value2, int op);
void init();

// Shared with routine!: the spec block molded, and the ordering of the more nodes.
int mold_spec(const Cell* value, Cell* buffer, bool all, bool flat, int part, int indent);
int compare_more(const Cell* value1, const Cell* value2, int op);

// The event block a trace callback declares: the first value of its spec
// when that is a block, else the first value of its body when that is a
// block. False when it declares none (it takes every event).
bool event_block(const Cell* callback, Cell* block);

}  // namespace zel::function
