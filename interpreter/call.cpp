// Calls: framing a call, the argument cache, fetching and checking arguments
// (from the code, a path's refinements or an apply block), running native and
// action entries and function bodies. Relies on the evaluator (eval.cpp), the
// stacks and exits, contexts, typesets, the natives table and the action
// entries.
#include <cstring>

#include "foundation/collector.h"
#include "foundation/frames.h"
#include "foundation/platform.h"
#include "foundation/raise.h"
#include "interpreter/dispatch.h"
#include "interpreter/eval.h"
#include "interpreter/eval_loop.h"
#include "interpreter/eval_shortcut.h"
#include "interpreter/function.h"
#include "interpreter/native.h"
#include "interpreter/natives.h"
#include "interpreter/port.h"
#include "interpreter/routine.h"
#include "interpreter/trace.h"
#include "lexer/lexer.h"
#include "scalars/simple_types.h"
#include "scalars/typeset.h"
#include "series/block.h"
#include "words/context.h"
#include "words/symbol.h"
#include "words/word.h"
#include "words/words.h"

namespace zel::interpreter {

// The open event of a call. The left operand of an infix call waits above
// the top: the call-back's cells go above it.
void trace_open(const Code& code, int32_t position, const Cell* callable, const Cell* name, bool infix) {
    if (!g_tracing) [[likely]]
        return;
    if (infix) stack::g_top++;
    trace(TRACE_OPEN, code.block(), position, callable, name);
    if (infix) stack::g_top--;
}

namespace {

// Distinct refinements one call can be given.
constexpr int MAX_USED = 32;

inline Cell* cells_of(const Cell* block) { return memory::series_of(block->data2)->cells(); }
inline int32_t tail_of(const Cell* block) {
    return int32_t(memory::series_of(block->data2)->used() / sizeof(Cell));
}
// The argument cache lives in the callable's more block after the block's
// own cells, so that a call reaches it through one node (function.h).
using function::cache_items;
using function::cache_length;

inline bool function_type(int type) { return type == TYPE_FUNCTION || type == TYPE_ROUTINE; }

const Cell& anon_word() { return words::word(words::Word::anon); }

uint32_t canonical(uint32_t symbol) { return symbol::resolve(symbol); }

Cell block_of(Node node) {
    Cell b;
    cell::set(&b, TYPE_BLOCK, 0, node);
    return b;
}

inline void check_type(const Cell* item, const Cell* value, const Cell* name, const Cell* callable, int index) {
    if (!typeset::has(item, type_of(value))) expect_arg(name, value, callable, index);
}

// Spec attributes trace and no-trace switch tracing for one body. A body
// without them leaves the flag as its code set it: `trace false` and `trace
// true` pause and resume a run from inside a function.
struct TracingScope {
    bool saved = g_tracing;
    bool switched;
    explicit TracingScope(uint32_t header) : switched(header & function::TRACE_FLAGS) {
        if (header & function::FLAG_TRACE) g_tracing = g_tracer_installed;
        else if (header & function::FLAG_NO_TRACE) g_tracing = false;
    }
    ~TracingScope() {
        if (switched) g_tracing = saved;
    }
};

// The function context's values are the call's cells while its body runs,
// and what they were before afterwards, however the body ends.
struct ValuesScope {
    Node context;
    Cell* cell;  // the context cell, while no buffer moves
    uint32_t moves;
    uint32_t saved;
    ValuesScope(Node ctx, const Cell* first)
        : context(ctx), cell(context::cell_of(ctx)), moves(memory::g_buffer_moves), saved(cell->data2) {
        cell->data2 = stack::values_ref(first);
    }
    ~ValuesScope() {
        if (moves != memory::g_buffer_moves) cell = context::cell_of(context);
        cell->data2 = saved;
    }
};

// Fetches one argument at `position`, by the cache cell's kind.
Next fetch_arg(const Code& code, int32_t position, int32_t end, const Cell* item, bool infix, bool safer,
               const Cell* name, const Cell* callable, int index) {
    if (position >= end) {
        Cell word = arg_word(callable, index);
        fire(ERR_script_no_arg, name, &word);
    }
    int kind = arg_kind(item);
    if (kind == ARG_EVALUATED) {
        int32_t limit = safer ? position + 1 : end;
        int32_t next = g_tracing ? -1 : shortcut::simple_argument(code.cells(), position, limit, infix);
        if (next >= 0) return Next{next, 0};
        return eval_expression(code, position, limit, infix, true, false);
    }
    Cell value = code.cells()[position];
    trace_if(TRACE_FETCH, code.block(), position, &value);
    if (kind == ARG_LITERAL) {
        switch (type_of(&value)) {
            case TYPE_PAREN:
                if (Exit e = eval_block(&value, false)) return exiting(e);
                trace_if(TRACE_PUSH, code.block(), position, stack::get_top());
                return Next{position + 1, 0};
            case TYPE_GET_WORD:
                value = *context::get(&value);
                break;
            case TYPE_GET_PATH: {
                Next n = eval_path(&value, nullptr, 0, 0, false, true, true, nullptr);
                if (n.exit) return n;
                trace_if(TRACE_PUSH, code.block(), position, stack::get_top());
                return Next{position + 1, 0};
            }
            default:
                break;
        }
    }
    stack::push(&value);
    trace_if(TRACE_PUSH, code.block(), position, &value);
    return Next{position + 1, 0};
}

// Where a call's refinements come from and how they are checked.
struct Refiner {
    const Cell* callable;
    const Cell* name;
    const Code* code;
    int32_t end;
    Node cache;
    bool function;
    bool safer;
    bool apply;
    int32_t* slots;
    int* count;  // argument cells fetched so far (natives' positions)
    int nused = 0;
    int32_t used[MAX_USED];  // the first nused are set

    Refiner(const Cell* callable_, const Cell* name_, const Code* code_, int32_t end_, Node cache_, bool function_,
            bool safer_, bool apply_, int32_t* slots_, int* count_)
        : callable(callable_), name(name_), code(code_), end(end_), cache(cache_), function(function_),
          safer(safer_), apply(apply_), slots(slots_), count(count_) {}

    // The cache index of the refinement named by `element`.
    // The spelling of the spec is looked for first; case folding only when
    // it is not there. Nothing here allocates: the cells stay put.
    int32_t find(const Cell* element) const {
        int32_t n = cache_length(cache);
        const Cell* cells = cache_items(cache);
        for (int32_t k = 0; k < n; k++)
            if (type_of(cells + k) == TYPE_REFINEMENT && cells[k].data2 == element->data2) return k;
        uint32_t s = canonical(element->data2);
        for (int32_t k = 0; k < n; k++)
            if (type_of(cells + k) == TYPE_REFINEMENT && canonical(cells[k].data2) == s) return k;
        fire(ERR_script_no_refine, name, element);
    }

    // Activates (or not) the refinement and fetches its arguments at `position`.
    Next use(const Cell* element, bool active, int32_t position, const Cell* dup_arg) {
        int32_t k = find(element);
        for (int i = 0; i < nused; i++)
            if (used[i] == k) fire(ERR_script_dup_refine, dup_arg);
        if (nused < MAX_USED) used[nused++] = k;
        Cell refinement = cache_items(cache)[k];
        Cell* logic_cell = nullptr;
        if (function) {
            logic_cell = stack::arguments() + refinement.data3;
            logic::set(logic_cell, active);
        } else if (active && int(refinement.data3) <= MAX_SLOTS) {
            slots[refinement.data3 - 1] = *count;
        }
        int32_t n = cache_length(cache);
        int argument = 0;
        for (int32_t j = k + 1; j < n; j++) {
            Cell item = cache_items(cache)[j];
            if (type_of(&item) != TYPE_TYPESET) break;
            if (arg_kind(&item) == ARG_RETURN) continue;
            argument++;
            if (safer && !active) {
                if (position < end) position++;
                continue;
            }
            if (apply && position >= end) {
                none::push();
            } else {
                Next f = fetch_arg(*code, position, end, &item, false, safer, name, callable, j);
                if (f.exit) return f;
                position = f.position;
                // The argument of a refinement passed on as inactive (f/:ref x)
                // is dropped unseen: its value, often none, is not checked.
                if (active) check_type(&item, stack::top() - 1, name, callable, j);
            }
            if (!active) {
                stack::g_top--;
            } else if (function) {
                copy_cell(stack::top() - 1, logic_cell + argument);
                stack::g_top--;
            } else {
                (*count)++;
            }
        }
        return Next{position, 0};
    }
};

// Refinements from a path: each element a word (active) or a get-word
// (active when its value is truthy).
Next path_refinements(Refiner& r, const Cell* path, int32_t from, int32_t position) {
    int32_t tail = tail_of(path);
    for (int32_t k = from; k < tail; k++) {
        Cell element = cells_of(path)[k];
        bool active = true;
        if (type_of(&element) == TYPE_GET_WORD) {
            const Cell* v = context::get(&element);
            if (type_of(v) == TYPE_UNSET) fire(ERR_script_no_value, &element);
            active = !logic::is_false(v);
        } else if (type_of(&element) != TYPE_WORD) {
            fire(ERR_script_bad_refine, &element);
        }
        Next n = r.use(&element, active, position, path);
        if (n.exit) return n;
        position = n.position;
    }
    return Next{position, 0};
}

// The common case of a function's path refinements, without the Refiner:
// words spelled as in the spec, each naming a different refinement that
// takes no argument. Their logic! cells, all false until then, are set;
// false, with those cells all false again, when the path is not of that
// kind (the Refiner then takes it). The refinements are looked for from
// cache cell `first` on (any cell before the first refinement). Nothing
// here allocates: the cells stay put.
bool set_plain_refinements(const Cell* path, int32_t from, Node cache, int32_t first) {
    Series* p = memory::series_of(path->data2);
    const Cell* elements_end = p->cells() + p->used() / sizeof(Cell);
    const Cell* items = cache_items(cache) + first;
    const Cell* items_end = items - first + cache_length(cache);
    Cell* cells = stack::arguments();
    for (const Cell* element = p->cells() + from; element < elements_end; element++) {
        const Cell* k = type_of(element) == TYPE_WORD ? items : items_end;
        while (k < items_end && !(type_of(k) == TYPE_REFINEMENT && k->data2 == element->data2)) k++;
        if (k == items_end || (k + 1 < items_end && type_of(k + 1) == TYPE_TYPESET) || logic::get(cells + k->data3)) {
            for (k = items; k < items_end; k++)
                if (type_of(k) == TYPE_REFINEMENT) logic::set(cells + k->data3, false);
            return false;
        }
        logic::set(cells + k->data3, true);
    }
    return true;
}

// Refinements from the rest of an apply block: a refinement!, the
// expression that activates it, then its arguments.
Next list_refinements(Refiner& r, const Code& args, int32_t position, int32_t end) {
    while (position < end) {
        Cell element = args.cells()[position];
        if (type_of(&element) != TYPE_REFINEMENT) fire(ERR_script_bad_refine, &element);
        position++;
        if (position >= end) fire(ERR_script_no_arg, r.name, &element);
        Next c = eval_expression(args, position, end, false, true, false);
        if (c.exit) return c;
        bool active = !logic::is_false(stack::top() - 1);
        stack::g_top--;
        Next n = r.use(&element, active, c.position, args.block());
        if (n.exit) return n;
        position = n.position;
    }
    return Next{position, 0};
}

// The cache's summary: PLAIN_CALL | n, else (`leading`: not a routine's)
// LEADING_PLAIN | n when its first n cells are evaluated arguments followed
// by a refinement or a function's locals; else 0.
uint32_t summarize_cache(Node cache, bool leading) {
    const Cell* cells = cache_items(cache);
    int32_t length = cache_length(cache);
    uint32_t n = 0;  // evaluated arguments
    int32_t k = 0;
    for (; k < length; k++) {
        const Cell* c = cells + k;
        if (type_of(c) != TYPE_TYPESET || arg_kind(c) == ARG_GET || arg_kind(c) == ARG_LITERAL) break;
        if (arg_kind(c) == ARG_EVALUATED) n++;
    }
    if (k == length) return PLAIN_CALL | n;
    // Leading: nothing but evaluated arguments (no return:) before it.
    int t = type_of(cells + k);
    return leading && n == uint32_t(k) && (t == TYPE_REFINEMENT || t == TYPE_INTEGER) ? LEADING_PLAIN | n : 0;
}

}  // namespace

void expect_arg(const Cell* name, const Cell* value, const Cell* callable, int index) {
    Cell type = raise::datatype_arg(type_of(value));
    Cell word = arg_word(callable, index);
    fire(ERR_script_expect_arg, name, &type, &word);
}

void no_arg(const Cell* name, const Cell* callable, int index) {
    Cell word = arg_word(callable, index);
    fire(ERR_script_no_arg, name, &word);
}

Exit run_entry(const Cell* callable, const int32_t* slots) {
    // A port's actions are its actor's functions.
    if (type_of(callable) == TYPE_ACTION && type_of(stack::arguments()) == TYPE_PORT &&
        port::forwarded(int(callable->data1)))
        return port::forward(callable, slots);
    // A native's number within the used slots needs no further check.
    natives::Entry entry = type_of(callable) == TYPE_ACTION ? dispatch::entry(int(callable->data1))
                           : callable->data1 <= uint32_t(native::USED_SLOTS)
                               ? natives::entry(int(callable->data1))
                               : natives::entry(native::callable_number(callable));
    if (!entry) fire(ERR_internal_not_done);
    return entry(false, slots);
}

namespace {

// The short path: n evaluated arguments, no refinements, no locals. Inline:
// a call of it would cost more than the fetch of a simple argument.
[[gnu::always_inline]] inline Next fetch_plain(const Cell* callable, const Cell* name, const Code& code,
                                              int32_t position, int32_t end, Node cache, const Cell* items,
                                              uint32_t n, bool infix) {
    // The shortcut neither moves buffers nor switches tracing: both are read
    // again only after an argument the general path evaluated.
    const Cell* cells = code.cells();
    bool shortcut = !g_tracing;
    for (uint32_t k = 0; k < n; k++) {
        if (!(infix && k == 0)) {
            if (position >= end) {
                Cell word = arg_word(callable, int(k));
                fire(ERR_script_no_arg, name, &word);
            }
            int32_t next = shortcut ? shortcut::simple_argument(cells, position, end, infix) : -1;
            if (next >= 0) {
                position = next;
            } else {
                uint32_t moves = memory::g_buffer_moves;
                Next f = eval_expression(code, position, end, infix, true, false);
                if (f.exit) return f;
                position = f.position;
                shortcut = !g_tracing;
                if (moves != memory::g_buffer_moves) {
                    items = cache_items(cache);
                    cells = code.cells();
                }
            }
        }
        if (!typeset::has(items + k, type_of(stack::g_top - 1))) [[unlikely]]
            expect_arg(name, stack::g_top - 1, callable, int(k));
    }
    return Next{position, 0};
}

}  // namespace

// ---- The argument cache ------------------------------------------------------------------

Cell arg_cache(const Cell* callable) {
    if (!function::cache_built(callable->data3)) build_arg_cache(callable);
    return *function::cache_cell(callable->data3);
}

Node build_arg_cache(const Cell* callable) {
    bool function = function_type(type_of(callable));
    Cell spec = block_of(callable->data2);
    int32_t n = tail_of(&spec);
    Node more = callable->data3;
    Cell* cache = stack::push(&none::g_none);
    cell::set(cache, TYPE_BLOCK, memory::series_of(more)->used() / sizeof(Cell), more);
    uint32_t local = canonical(words::refinement(words::Ref::local).data2);
    uint32_t return_ = canonical(words::symbol(words::Sym::return_));
    int ordinal = 0, context_index = 0, locals = 0;
    for (int32_t i = 0; i < n; i++) {
        Cell item = cells_of(&spec)[i];
        Cell next;
        cell::set(&next, TYPE_NONE);
        if (i + 1 < n) next = cells_of(&spec)[i + 1];
        bool typed = type_of(&next) == TYPE_BLOCK && block::length_q(&next) > 0;
        switch (type_of(&item)) {
            case TYPE_WORD: case TYPE_GET_WORD: case TYPE_LIT_WORD: {
                uint32_t kind = type_of(&item) == TYPE_WORD       ? ARG_EVALUATED
                                : type_of(&item) == TYPE_GET_WORD ? ARG_GET
                                                                  : ARG_LITERAL;
                Cell* ts = typed ? typeset::make_from_spec_in(cache, &next) : typeset::make_default_in(cache);
                ts->header |= kind << ARG_KIND_SHIFT;
                if (type_of(&next) == TYPE_BLOCK) i++;
                context_index++;
                break;
            }
            case TYPE_REFINEMENT: {
                if (canonical(item.data2) == local) {
                    locals = 1;
                    while (i + 1 < n && type_of(cells_of(&spec) + i + 1) != TYPE_SET_WORD) {
                        if (type_of(cells_of(&spec) + i + 1) == TYPE_WORD) locals++;
                        i++;
                    }
                    break;
                }
                ordinal++;
                Cell* r = block::append_cell(cache, &item);
                r->data1 = 0;  // a cell of a block: no context that is not one
                r->data3 = uint32_t(function ? context_index : ordinal);
                context_index++;
                break;
            }
            case TYPE_SET_WORD: {
                if (canonical(item.data2) != return_) fire(ERR_script_bad_func_def, &item);
                Cell* ts = typed ? typeset::make_from_spec_in(cache, &next) : typeset::make_default_in(cache);
                ts->header |= uint32_t(ARG_RETURN) << ARG_KIND_SHIFT;
                if (type_of(&next) == TYPE_BLOCK) i++;
                break;
            }
            default:
                break;
        }
    }
    Cell count;
    if (!function && ordinal > 0) {
        cell::set(&count, TYPE_INTEGER, 0, uint32_t(ordinal));
        block::append_cell(cache, &count);
    } else if (function && locals > 0) {
        cell::set(&count, TYPE_INTEGER, 0, uint32_t(locals));
        block::append_cell(cache, &count);
    }
    Cell made = *cache;
    stack::g_top--;
    copy_cell(&made, function::cache_cell(more));
    function::set_cache_summary(more, summarize_cache(more, type_of(callable) != TYPE_ROUTINE));
    return more;
}

Cell arg_word(const Cell* callable, int index) {
    Cell spec = block_of(callable->data2);
    uint32_t local = canonical(words::refinement(words::Ref::local).data2);
    int k = 0;
    for (int32_t i = 0; i < tail_of(&spec); i++) {
        Cell item = cells_of(&spec)[i];
        int t = type_of(&item);
        if (t == TYPE_REFINEMENT && canonical(item.data2) == local) break;
        if (!word::any_word_type_q(t) || t == TYPE_ISSUE) continue;
        if (k++ == index) {
            if (t == TYPE_LIT_WORD || t == TYPE_GET_WORD) cell::set_type(&item, TYPE_WORD);
            return item;
        }
    }
    return none::g_none;
}

// ---- Fetching arguments --------------------------------------------------------------------

Next fetch_args(const Cell* callable, const Cell* name, const Code& code, int32_t position, int32_t end,
                const Cell* path, int32_t path_position, int mode, bool infix) {
    // The left operand of an infix call is already at the top.
    if (infix) stack::g_top++;
    Node cache = callable->data3;
    // Untraced ordinary calls of a plain or leading callable took call_plain
    // or call_leading already; the others come here, a callable whose cache
    // is still to be built among them.
    if (!function::cache_built(cache)) build_arg_cache(callable);
    const bool function = function_type(type_of(callable));
    const bool apply = mode != MODE_CALL;
    const bool all = apply && (mode & MODE_APPLY_ALL) && !path;
    const bool safer = (mode & MODE_SAFER) != 0;
    int32_t slots[MAX_SLOTS];
    int32_t length = cache_length(cache);
    int32_t locals = 0;
    if (length > 0) {
        const Cell* last = cache_items(cache) + length - 1;
        if (type_of(last) == TYPE_INTEGER) {
            locals = cell::get_int(last);
            if (!function)
                for (int i = 0; i < locals && i < MAX_SLOTS; i++) slots[i] = -1;
        }
    }
    int count = 0;
    bool active = true, left_pending = infix;
    for (int32_t k = 0; k < length; k++) {
        Cell item = cache_items(cache)[k];
        switch (type_of(&item)) {
            case TYPE_TYPESET: {
                if (arg_kind(&item) == ARG_RETURN) break;
                // An evaluated argument of an ordinary call the shortcut takes.
                if (active && !apply && !left_pending && arg_kind(&item) == ARG_EVALUATED && position < end &&
                    !g_tracing) {
                    int32_t next = shortcut::simple_argument(code.cells(), position, end, infix);
                    if (next >= 0) {
                        position = next;
                        check_type(&item, stack::g_top - 1, name, callable, k);
                        count++;
                        break;
                    }
                }
                if (!active) {
                    if (all && position < end) {
                        Next f = fetch_arg(code, position, end, &item, false, safer, name, callable, k);
                        if (f.exit) return f;
                        position = f.position;
                        stack::g_top--;
                    }
                    if (function) stack::push(&none::g_none);
                    break;
                }
                if (left_pending) {
                    left_pending = false;
                } else if (apply && position >= end) {
                    stack::push(&none::g_none);
                } else if (arg_kind(&item) == ARG_LITERAL && position >= end && typeset::has(&item, TYPE_UNSET)) {
                    stack::push(&unset::g_unset);
                } else {
                    Next f = fetch_arg(code, position, end, &item, infix, safer, name, callable, k);
                    if (f.exit) return f;
                    position = f.position;
                }
                check_type(&item, stack::top() - 1, name, callable, k);
                count++;
                break;
            }
            case TYPE_REFINEMENT: {
                if (!all) {
                    active = false;
                    if (function) {
                        stack::push(&logic::g_false);
                        count++;
                    }
                    break;
                }
                if (position >= end) {
                    active = false;
                    if (function) stack::push(&logic::g_false);
                    break;
                }
                Next f = eval_expression(code, position, end, false, true, false);
                if (f.exit) return f;
                position = f.position;
                Cell* flag = stack::top() - 1;
                if (type_of(flag) != TYPE_LOGIC) expect_arg(name, flag, callable, k);
                active = logic::get(flag);
                if (function) {
                    count++;
                } else {
                    stack::g_top--;
                    if (active && int(item.data3) <= MAX_SLOTS) slots[item.data3 - 1] = count;
                }
                break;
            }
            default:
                break;
        }
    }
    if (path && !apply && function && set_plain_refinements(path, path_position, cache, 0)) {
        // Done: the refinements were words taking no arguments.
    } else if (path || (apply && !all)) {
        Refiner r(callable, name, &code, end, cache, function, safer, apply, slots, &count);
        Next n = path ? path_refinements(r, path, path_position, position)
                      : list_refinements(r, code, position, end);
        if (n.exit) return n;
        position = n.position;
    }
    trace_if(TRACE_CALL, code.block(), apply ? -1 : position, callable, name);
    if (function) {
        function::init_locals(locals);
        return Next{position, 0};
    }
    if (Exit e = run_entry(callable, slots)) return exiting(e);
    return Next{position, 0};
}

// ---- Calls ---------------------------------------------------------------------------------------

namespace {

// The end of a call: its frame popped, its result left where the callable
// was pushed (in the result cell too unless `sub`).
[[gnu::always_inline]] inline Next end_call(Next n, const Code& code, const Cell* name, bool sub, bool infix) {
    if (sub) frames::unwind();
    else frames::unwind_last();
    if (g_tracing) [[unlikely]]
        trace(TRACE_RETURN, code.block(), n.position, stack::get_top(), name);
    if (!infix) stack::drop_under();
    return n;
}

}  // namespace

Next leading_refinements(const Cell* callable, const Cell* name, const Code& code, int32_t position, int32_t end,
                         const Cell* path, int32_t from, uint32_t n, int32_t* slots, int32_t* last) {
    const bool function = type_of(callable) == TYPE_FUNCTION;
    Node cache = callable->data3;
    int32_t length = cache_length(cache);
    *last = 0;  // the closing integer: a function's locals, a native's refinements
    for (int32_t k = int32_t(n); k < length; k++) {
        const Cell* item = cache_items(cache) + k;
        if (type_of(item) == TYPE_INTEGER) *last = cell::get_int(item);
        else if (!function) continue;
        else if (type_of(item) == TYPE_REFINEMENT) stack::push(&logic::g_false);
        else if (type_of(item) == TYPE_TYPESET && arg_kind(item) != ARG_RETURN) stack::push(&none::g_none);
    }
    if (!function)
        for (int32_t i = 0; i < *last && i < MAX_SLOTS; i++) slots[i] = -1;
    if (path && !(function && set_plain_refinements(path, from, cache, int32_t(n)))) {
        int count = int(n);
        Refiner r(callable, name, &code, end, cache, function, false, false, slots, &count);
        Next p = path_refinements(r, path, from, position);
        if (p.exit) return p;
        position = p.position;
    }
    trace_if(TRACE_CALL, code.block(), position, callable, name);
    return Next{position, 0};
}

namespace {

// A callable of leading_arity n called without tracing: its n arguments
// fetched as a plain call fetches them, its refinements inactive (a
// function's refinements, their arguments and its locals pushed), then the
// path's refinements from `from` (path null: none) activated, as fetch_args
// would.
Next call_leading(Cell callable_cell, Cell name_cell, const Code& code, int32_t position, int32_t end, bool sub,
                  const Cell* path, int32_t from, uint32_t n) {
    const Cell* callable = &callable_cell;
    const Cell* name = &name_cell;
    const bool function = type_of(callable) == TYPE_FUNCTION;
    stack::push(callable);
    if (function) frames::mark_interp_func(name);
    else frames::mark_interp_native(name);
    Node cache = callable->data3;
    Next f = fetch_plain(callable, name, code, position, end, cache, cache_items(cache), n, false);
    if (f.exit) return f;
    int32_t slots[MAX_SLOTS];
    int32_t last;
    f = leading_refinements(callable, name, code, f.position, end, path, from, n, slots, &last);
    if (f.exit) return f;
    if (function) {
        function::init_locals(last);
        if (Exit e = call_function(callable, name)) return exiting(e);
    } else if (Exit e = run_entry(callable, slots)) {
        return exiting(e);
    }
    return end_call(f, code, name, sub, false);
}

}  // namespace

Next call_plain(Cell callable_cell, Cell name_cell, const Code& code, int32_t position, int32_t end, bool sub,
                bool infix, uint32_t n) {
    platform::check_native_stack();
    const Cell* callable = &callable_cell;
    const Cell* name = &name_cell;
    trace_open(code, position, callable, name, infix);
    if (!infix) stack::push(callable);
    const bool function = type_of(callable) == TYPE_FUNCTION;
    if (function) frames::mark_interp_func(name);
    else frames::mark_interp_native(name);
    // The left operand of an infix call is already at the top.
    if (infix) stack::g_top++;
    Node cache = callable->data3;
    Next f = fetch_plain(callable, name, code, position, end, cache, cache_items(cache), n, infix);
    if (f.exit) return f;
    trace_if(TRACE_CALL, code.block(), f.position, callable, name);
    if (function) {
        if (Exit e = call_function(callable, name)) return exiting(e);
    } else {
        Cell* args = stack::arguments();
        if (n != 2 || g_tracing || !shortcut::number_arguments(type_of(callable), callable->data1, args)) {
            if (Exit e = run_entry(callable, nullptr)) return exiting(e);
        }
    }
    return end_call(f, code, name, sub, infix);
}

namespace {

// call_in_path's call, without its end; `refined` when the path has
// elements from `from` on.
[[gnu::always_inline]] inline Next call_refined(const Cell* callable, const Cell* name, const Code& code,
                                                int32_t position, int32_t end, bool sub, const Cell* path,
                                                int32_t from, bool refined) {
    if (!g_tracing && type_of(name) == TYPE_WORD) {
        int32_t leading = leading_arity(callable);
        if (leading >= 0) {
            platform::check_native_stack();
            return call_leading(*callable, *name, code, position, end, sub, refined ? path : nullptr, from,
                                uint32_t(leading));
        }
        int32_t arity = type_of(callable) == TYPE_ROUTINE || refined ? -1 : plain_arity(callable);
        if (arity >= 0) return call_plain(*callable, *name, code, position, end, sub, false, uint32_t(arity));
    }
    return call(callable, name, code, position, end, sub, path, from, MODE_CALL, false);
}

[[gnu::always_inline]] inline Next end_path_call(Next n, const Cell* path, bool sub) {
    if (n.exit) return n;
    if (!sub) stack::set_last_only(stack::get_top());
    if (g_tracing) [[unlikely]]
        trace(TRACE_EXIT, path, tail_of(path), stack::get_top(), nullptr);
    return n;
}

}  // namespace

Next call_in_path(const Cell* callable, const Cell* name, const Code& code, int32_t position, int32_t end, bool sub,
                  const Cell* path, int32_t from) {
    Next n = call_refined(callable, name, code, position, end, sub, path, from, from < tail_of(path));
    return end_path_call(n, path, sub);
}

bool path_target(const Cell* path, const Cell** callable, const Cell** name, int32_t* from) {
    Series* s = memory::series_of(path->data2);
    int32_t head = int32_t(path->data1) < 0 ? 0 : int32_t(path->data1);
    int32_t tail = int32_t(s->used() / sizeof(Cell));
    if (head >= tail || stack::g_top + 3 > stack::g_end) return false;
    const Cell* first = s->cells() + head;
    if (type_of(first) != TYPE_WORD) return false;
    const Cell* value = shortcut::value_if_any(first);
    if (!value) return false;
    *from = head + 1;
    if (type_of(value) == TYPE_OBJECT && *from < tail) {
        first++;
        Node ctx = value->data1;
        if (type_of(first) != TYPE_WORD || first->data1 != ctx || int32_t(first->data3) < 0) return false;
        Cell* values = context::values_in(ctx);
        if (!values) return false;
        value = values + first->data3;
        (*from)++;
    }
    if (!shortcut::callable_type(type_of(value))) return false;
    *callable = value;
    *name = first;
    return true;
}

Next call_target(const Cell* path_in, const Cell* value, const Cell* first, int32_t from, const Code& code,
                 int32_t position, int32_t end, bool sub) {
    Cell path = *path_in, callable = *value, name = *first;
    bool refined = from < tail_of(&path);
    return end_path_call(call_refined(&callable, &name, code, position, end, sub, &path, from, refined), &path, sub);
}

bool call_path(const Cell* path, const Code& code, int32_t position, int32_t end, bool sub, Next* out) {
    const Cell *value, *first;
    int32_t from;
    if (!path_target(path, &value, &first, &from)) return false;
    *out = call_target(path, value, first, from, code, position, end, sub);
    return true;
}

Next call(const Cell* callable_in, const Cell* name, const Code& code, int32_t position, int32_t end, bool sub,
          const Cell* path, int32_t path_position, int mode, bool infix) {
    platform::check_native_stack();
    const Cell* call_name = name && type_of(name) == TYPE_WORD ? name : &anon_word();
    Cell callable = *callable_in;
    if (type_of(&callable) == TYPE_OP) callable.header = uint32_t(op::wrapped_type(callable_in));
    // A path that names no refinement after the callable (o/f) calls it as
    // its word would.
    if (path && path_position >= tail_of(path)) path = nullptr;
    if (!path && mode == MODE_CALL && type_of(&callable) != TYPE_ROUTINE) {
        int32_t arity = plain_arity(&callable);
        if (arity >= 0) return call_plain(callable, *call_name, code, position, end, sub, infix, uint32_t(arity));
    }
    if (mode == MODE_CALL && !infix && !g_tracing) {
        int32_t leading = leading_arity(&callable);
        if (leading >= 0)
            return call_leading(callable, *call_name, code, position, end, sub, path, path_position,
                                uint32_t(leading));
    }
    trace_open(code, position, &callable, call_name, infix);
    if (!infix) stack::push(&callable);
    Next n;
    switch (type_of(&callable)) {
        case TYPE_FUNCTION:
            frames::mark_interp_func(call_name);
            n = fetch_args(&callable, call_name, code, position, end, path, path_position, mode, infix);
            if (n.exit) return n;
            if (Exit e = call_function(&callable, call_name)) return exiting(e);
            break;
        case TYPE_NATIVE: case TYPE_ACTION:
            frames::mark_interp_native(call_name);
            n = fetch_args(&callable, call_name, code, position, end, path, path_position, mode, infix);
            if (n.exit) return n;
            break;
        case TYPE_ROUTINE:
            frames::mark_interp_native(call_name);
            n = fetch_args(&callable, call_name, code, position, end, path, path_position, mode, infix);
            if (n.exit) return n;
            routine::exec(&callable);
            break;
        default:
            fire(ERR_internal_not_done);
    }
    return end_call(n, code, call_name, sub, infix);
}

Exit call_function(const Cell* function, const Cell* name) {
    Cell body = *function::body_of(function);
    if (type_of(&body) != TYPE_BLOCK) {
        stack::set_last(&unset::g_unset);
        return Exit{};
    }
    return run_body(function, &body, name);
}

// The prolog and epilog events of a traced body: the call-back runs with
// the pending throw code put aside and back.
void trace_body(uint32_t event, const Cell* body, const Cell* function, const Cell* name) {
    uint32_t pending = exits::g_throw_code;
    exits::g_throw_code = 0;
    trace(event, body, int32_t(body->data1), function, name);
    exits::g_throw_code = pending;
}

Exit run_body(const Cell* function, const Cell* body, const Cell* name) {
    ValuesScope values(function->data1, stack::arguments());
    frames::CallFrame* frame = frames::top_frame();
    frame->header |= frames::FRAME_BODY;
    TracingScope tracing(function->header);
    if (g_tracing) [[unlikely]]
        trace_body(TRACE_PROLOG, body, function, name);
    Exit e;
    try {
        e = eval_block(body, true);
    } catch (const exits::ExitThrow& t) {
        if (t.code != THROW_RETURN && t.code != THROW_EXIT) throw;
        e.code = t.code;
    }
    if (e.code == THROW_RETURN || e.code == THROW_EXIT) {
        exits::end_throw();
        e.code = 0;
        // The exit left the result in the call's first cell with the top on
        // it: above it, the epilog's call-back cannot take its place.
        stack::g_top = stack::arguments() + 1;
    }
    if (!e.code) {
        if (g_tracing) [[unlikely]]
            trace_body(TRACE_EPILOG, body, function, name);
        frame->header &= ~frames::FRAME_BODY;
    }
    return e;
}

// ---- From C++ ----------------------------------------------------------------------------------

const Cell* running_callable(const Cell* word) {
    if (type_of(word) != TYPE_WORD) return nullptr;
    Node ctx = word->data1;
    if (ctx == 0 || context::on_stack(ctx)) ctx = context::g_global;
    int32_t found = context::find_word(ctx, word->data2, true);
    Cell* values = context::values_of(context::cell_of(ctx));
    if (found < 0 || !values) return nullptr;
    const Cell* v = values + context::word_at(ctx, found)->data3;
    int t = type_of(v);
    bool callable = t == TYPE_NATIVE || t == TYPE_ACTION || t == TYPE_OP || t == TYPE_FUNCTION || t == TYPE_ROUTINE;
    return callable ? v : nullptr;
}

void expect_arg_words(int index, Cell* function, Cell* argument) {
    *function = frames::get_call_word();
    *argument = none::g_none;
    if (const Cell* callable = running_callable(function)) *argument = arg_word(callable, index);
}

void check_args(const Cell* callable, const int32_t* refinements) {
    Node cache = arg_cache(callable).data2;
    Cell name = frames::get_call_word();
    int32_t length = cache_length(cache);
    int position = 0;
    bool active = true;
    for (int32_t k = 0; k < length; k++) {
        Cell item = cache_items(cache)[k];
        if (type_of(&item) == TYPE_REFINEMENT) {
            int32_t slot = refinements[item.data3 - 1];
            active = slot >= 0;
            if (active) position = slot;
        } else if (type_of(&item) == TYPE_TYPESET && arg_kind(&item) != ARG_RETURN && active) {
            check_type(&item, stack::arguments() + position, &name, callable, k);
            position++;
        }
    }
}

int32_t call_cells(const Cell* callable) {
    Node cache = arg_cache(callable).data2;
    int32_t cells = 0;
    for (int32_t k = 0; k < cache_length(cache); k++) {
        const Cell* item = cache_items(cache) + k;
        if (type_of(item) == TYPE_REFINEMENT || (type_of(item) == TYPE_TYPESET && arg_kind(item) != ARG_RETURN))
            cells++;
        else if (type_of(item) == TYPE_INTEGER && function_type(type_of(callable))) cells += cell::get_int(item);
    }
    return cells;
}

void push_call_cells(const Cell* callable, const Cell* arguments, int count, const Cell* name, bool check) {
    const bool function = function_type(type_of(callable));
    Node cache = arg_cache(callable).data2;
    int given = 0;
    bool active = true;
    for (int32_t k = 0; k < cache_length(cache); k++) {
        Cell item = cache_items(cache)[k];
        if (type_of(&item) == TYPE_REFINEMENT) {
            active = false;
            if (function) stack::push(&logic::g_false);
        } else if (type_of(&item) == TYPE_TYPESET && arg_kind(&item) != ARG_RETURN) {
            if (!active) {
                if (function) stack::push(&none::g_none);
            } else if (given < count) {
                Cell* a = stack::push(arguments + given++);
                if (check) check_type(&item, a, name, callable, k);
            } else if (function) {
                stack::push(&none::g_none);
            } else {
                Cell word = arg_word(callable, k);
                fire(ERR_script_no_arg, name, &word);
            }
        } else if (type_of(&item) == TYPE_INTEGER && function) {
            function::init_locals(cell::get_int(&item));
        }
    }
}

namespace {

// Cells of a call's arguments before its first refinement.
int32_t leading_arguments(const Cell* callable) {
    Node cache = arg_cache(callable).data2;
    int32_t n = 0;
    for (int32_t k = 0; k < cache_length(cache); k++) {
        const Cell* item = cache_items(cache) + k;
        if (type_of(item) != TYPE_TYPESET) break;
        if (arg_kind(item) != ARG_RETURN) n++;
    }
    return n;
}

// The lexer's call-backs: a function! through the evaluator, a routine!
// straight on its argument cells. The input argument as the call-back left
// it goes back to the lexer, which moves the scan by it.
void run_lexer_callback(const Cell* callback, Cell* arguments, Cell* result) {
    constexpr int COUNT = 5;
    const Cell& name = words::word(words::Word::lexer_callback);
    Cell* top = stack::top();
    Cell callable = *callback;
    int type = type_of(&callable);
    if (type != TYPE_FUNCTION && type != TYPE_ROUTINE) fire(ERR_internal_not_done);
    collector::HoldCompaction hold;  // the scan reads its input where it lies
    stack::push(&callable);
    if (type == TYPE_FUNCTION) frames::mark_interp_func(&name);
    else frames::mark_interp_native(&name);
    Cell* base = stack::arguments();
    push_call_cells(&callable, arguments, COUNT, &name, false);
    Cell input = arguments[1];
    if (type == TYPE_FUNCTION) {
        if (Exit e = call_function(&callable, &name)) exits::raise_exit(e);
        if (leading_arguments(&callable) > 1) input = base[1];
    } else {
        routine::exec(&callable);
    }
    *result = base[0];
    arguments[1] = input;
    frames::unwind();
    stack::g_top = top;
}

// A lexer call-back's events come from its event block: the block answered
// here begins with it.
bool lexer_callback_body(const Cell* callback, Cell* body) {
    int type = type_of(callback);
    if (type != TYPE_FUNCTION && type != TYPE_ROUTINE) return false;
    Cell events;
    if (!function::event_block(callback, &events)) return false;
    block::make_at(body, 1);
    block::append_cell(body, &events);
    return true;
}

}  // namespace

void install_lexer_callbacks() { lexer::set_callback_runner(run_lexer_callback, lexer_callback_body); }

Exit call_with(const Cell* callable_in, const Cell* arguments, int count, const Cell* name) {
    const Cell* call_name = name && type_of(name) == TYPE_WORD ? name : &anon_word();
    Cell callable = *callable_in;
    if (type_of(&callable) == TYPE_OP) callable.header = uint32_t(op::wrapped_type(callable_in));
    int type = type_of(&callable);
    if (type != TYPE_FUNCTION && type != TYPE_ROUTINE && type != TYPE_NATIVE && type != TYPE_ACTION)
        fire(ERR_internal_not_done);
    stack::push(&callable);
    if (type == TYPE_FUNCTION) frames::mark_interp_func(call_name);
    else frames::mark_interp_native(call_name);
    push_call_cells(&callable, arguments, count, call_name, true);
    if (type == TYPE_FUNCTION) {
        if (Exit e = call_function(&callable, call_name)) return e;
    } else if (type == TYPE_ROUTINE) {
        routine::exec(&callable);
    } else {
        int32_t slots[MAX_SLOTS];
        for (int32_t& s : slots) s = -1;
        if (Exit e = run_entry(&callable, slots)) return e;
    }
    frames::unwind();
    stack::drop_under();
    return Exit{};
}

}  // namespace zel::interpreter
