// Evaluation tracing: the installed call-back, its event mask, and the
// delivery of one event on top of the stacks.
#include "interpreter/trace.h"

#include <vector>

#include "foundation/collector.h"
#include "foundation/frames.h"
#include "foundation/stack.h"
#include "interpreter/eval.h"
#include "interpreter/exits.h"
#include "interpreter/function.h"
#include "scalars/pair.h"
#include "scalars/simple_types.h"
#include "series/block.h"
#include "series/series.h"
#include "words/context.h"
#include "words/symbol.h"
#include "words/word.h"
#include "words/words.h"

namespace zel::interpreter {

bool g_tracing = false;
bool g_tracer_installed = false;

namespace {

Cell g_callback{TYPE_UNSET, 0, 0, 0};
uint32_t g_mask = 0;

// The cells a function! call-back's frame takes, worked out once when it is
// installed: each entry is the index of one of the six event arguments, or
// PUSH_FALSE or PUSH_NONE (refinements, their arguments, locals). Without a
// layout (another callable) every event works it out again.
constexpr int8_t PUSH_FALSE = -1;
constexpr int8_t PUSH_NONE = -2;
constexpr int EVENT_ARGUMENTS = 6;
std::vector<int8_t> g_layout;
bool g_has_layout = false;

void make_layout(const Cell* callback) {
    g_layout.clear();
    g_has_layout = type_of(callback) == TYPE_FUNCTION;
    if (!g_has_layout) return;
    Node cache = arg_cache(callback).data2;
    int8_t given = 0;
    bool active = true;
    for (int32_t k = 0; k < function::cache_length(cache); k++) {
        const Cell* item = function::cache_items(cache) + k;
        if (type_of(item) == TYPE_REFINEMENT) {
            active = false;
            g_layout.push_back(PUSH_FALSE);
        } else if (type_of(item) == TYPE_TYPESET && arg_kind(item) != ARG_RETURN) {
            g_layout.push_back(active && given < EVENT_ARGUMENTS ? given++ : PUSH_NONE);
        } else if (type_of(item) == TYPE_INTEGER) {
            for (int32_t n = 0; n < cell::get_int(item); n++) g_layout.push_back(n == 0 ? PUSH_FALSE : PUSH_NONE);
        }
    }
}

void push_event_cells(const Cell* callback, const Cell* given, const Cell* name) {
    if (!g_has_layout) return push_call_cells(callback, given, EVENT_ARGUMENTS, name, false);
    for (int8_t k : g_layout)
        stack::push(k >= 0 ? given + k : k == PUSH_FALSE ? &logic::g_false : &none::g_none);
}

// The word of an event.
const Cell& event_word(uint32_t event) {
    using words::Word;
    switch (event) {
        case TRACE_INIT: return words::word(Word::init);
        case TRACE_END: return words::global_word(words::Sym::end);
        case TRACE_PROLOG: return words::word(Word::prolog);
        case TRACE_EPILOG: return words::word(Word::epilog);
        case TRACE_ENTER: return words::word(Word::enter);
        case TRACE_EXIT: return words::word(Word::exit);
        case TRACE_OPEN: return words::word(Word::open);
        case TRACE_RETURN: return words::word(Word::return_);
        case TRACE_FETCH: return words::word(Word::fetch);
        case TRACE_PUSH: return words::word(Word::push);
        case TRACE_SET: return words::global_word(words::Sym::set);
        case TRACE_CALL: return words::word(Word::call);
        case TRACE_ERROR: return words::word(Word::error);
        case TRACE_THROW: return words::word(Word::throw_);
        case TRACE_CATCH: return words::word(Word::catch_);
        case TRACE_EXPR: return words::word(Word::expr);
        default: return none::g_none;
    }
}

// Tracing is off while the call-back runs, and on again however it ends.
struct Untraced {
    Untraced() { g_tracing = false; }
    ~Untraced() { g_tracing = true; }
};

// The index of a position in the code block, -1 outside it.
int32_t index_in(const Cell* code, int32_t position) {
    if (!code || position < 0 || !series::any_block(type_of(code))) return -1;
    int32_t head = int32_t(code->data1);
    int32_t tail = int32_t(memory::series_of(code->data2)->used() / sizeof(Cell));
    return position >= head && position <= tail ? position - head : -1;
}

bool library_code(const Cell* code) {
    return code && series::any_block(type_of(code)) && (memory::series_of(code->data2)->flags & SERIES_LIBRARY);
}

}  // namespace

const Cell& trace_callback() { return g_callback; }

void init_trace() {
    collector::add_mark_callback([] { collector::mark_value(&g_callback); }, "the trace call-back");
}

uint32_t trace_mask(const Cell* callback) {
    Cell events;
    if (!function::event_block(callback, &events)) return TRACE_ALL;
    uint32_t mask = 0;
    for (int32_t i = 0; i < block::length_q(&events); i++) {
        const Cell* w = block::head(&events) + i;
        if (!word::any_word_type_q(type_of(w))) continue;
        for (uint32_t bit = TRACE_INIT; bit <= TRACE_EXPR; bit <<= 1)
            if (symbol::resolve(w->data2) == symbol::resolve(event_word(bit).data2)) mask |= bit;
    }
    return mask;
}

void trace(uint32_t event, const Cell* code, int32_t position, const Cell* value, const Cell* ref) {
    if (!(g_mask & event)) return;
    // The run-time's own library code (the boot image's blocks) is opaque:
    // nothing is sent from inside it. A library function called from other
    // code still shows the entry and exit of its body, as a native shows its
    // call; called from library code it shows nothing.
    if (library_code(code)) {
        if (!(event & (TRACE_PROLOG | TRACE_EPILOG)) || library_code(&g_code_position)) return;
    }
    Cell* arguments = stack::arguments();
    Cell* top = stack::top();
    frames::CallFrame* frames = frames::g_frame_top;
    // Copies first: the cells given may lie where the call-back's cells go.
    Cell given[EVENT_ARGUMENTS] = {};
    gc::root keep(given, EVENT_ARGUMENTS);
    collector::HoldCompaction hold;
    given[0] = event_word(event);
    given[1] = code ? *code : none::g_none;
    cell::set(given + 2, TYPE_INTEGER, 0, uint32_t(index_in(code, position)));
    given[3] = value ? *value : none::g_none;
    given[4] = ref ? *ref : none::g_none;
    pair::make_at(given + 5, int32_t(arguments - stack::bottom()), int32_t(top - stack::bottom()));
    Cell callback = g_callback;
    const Cell& name = words::word(words::Word::interp_callback);
    {
        // Off from the call-back's set-up on: an error raised while its frame
        // is pushed (a full frame stack) is not traced again, which would
        // push the same frame again, for ever.
        Untraced untraced;
        frames::mark_func(&name, callback.data1);
        push_event_cells(&callback, given, &name);
        if (Exit e = call_function(&callback, &name)) exits::raise_exit(e);
    }
    frames::unwind_func();
    frames::set_frame_top(frames);
    stack::g_arguments = arguments;
    stack::g_top = top;
}

bool install_tracer(const Cell* callback) {
    if (g_tracer_installed) return false;
    g_mask = trace_mask(callback);
    g_callback = *callback;
    make_layout(callback);
    g_tracer_installed = true;
    g_tracing = true;
    return true;
}

void remove_tracer(const Cell* code, bool result_at_top) {
    struct Removed {
        ~Removed() {
            g_tracing = false;
            g_tracer_installed = false;
            cell::set(&g_callback, TYPE_UNSET);
            g_mask = 0;
        }
    } removed;
    uint32_t pending = exits::g_throw_code;
    exits::g_throw_code = 0;
    g_tracing = true;
    if (result_at_top) {
        Cell result = *stack::top();
        stack::push(&result);
    }
    trace(TRACE_END, code, code ? int32_t(code->data1) : -1, nullptr, nullptr);
    if (result_at_top) stack::g_top--;
    exits::g_throw_code = pending;
}

}  // namespace zel::interpreter
