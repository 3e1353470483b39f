// function!: making function values, checking specs, collecting the locals
// of `function`, and the handlers make, reflect, form, mold and compare.
#include "interpreter/function.h"

#include <algorithm>
#include <vector>

#include "foundation/collector.h"
#include "foundation/compare.h"
#include "foundation/datatype.h"
#include "foundation/raise.h"
#include "foundation/stamp.h"
#include "interpreter/eval.h"
#include "series/block.h"
#include "series/series.h"
#include "series/cell_text.h"
#include "words/context.h"
#include "words/symbol.h"
#include "words/word.h"
#include "words/words.h"

namespace zel::function {

namespace {

Cell block_of(Node node, int32_t head = 0) {
    Cell b;
    cell::set(&b, TYPE_BLOCK, uint32_t(head), node);
    return b;
}

int32_t total_of(const Cell* block) { return int32_t(memory::series_of(block->data2)->used() / sizeof(Cell)); }
int32_t head_of(const Cell* block) { return std::clamp(int32_t(block->data1), 0, total_of(block)); }
// Cell i of the block's buffer, counted from its first cell; read afresh at
// each call, as anything that allocates may move the buffer.
Cell item_at(const Cell* block, int32_t i) { return memory::series_of(block->data2)->cells()[i]; }
// The type of cell i, or no type past the tail.
int type_at(const Cell* block, int32_t i) {
    return i < total_of(block) ? type_of(memory::series_of(block->data2)->cells() + i) : int(TYPE_NONE_ID);
}

uint32_t canonical(uint32_t symbol) { return symbol::resolve(symbol); }
bool is_symbol(const Cell* word, words::Sym s) { return canonical(word->data2) == canonical(words::symbol(s)); }
bool is_refinement(const Cell* item, words::Ref r) {
    return type_of(item) == TYPE_REFINEMENT && canonical(item->data2) == canonical(words::refinement(r).data2);
}
bool argument_word(int type) { return type == TYPE_WORD || type == TYPE_LIT_WORD || type == TYPE_GET_WORD; }
bool spec_word(int type) { return argument_word(type) || type == TYPE_REFINEMENT; }

// ---- Spec checking ---------------------------------------------------------------------

// Each word of a type block names a datatype, a typeset or a word.
void check_type_block(const Cell* types) {
    for (int32_t i = head_of(types); i < total_of(types); i++) {
        Cell item = item_at(types, i);
        const Cell* value = &item;
        if (type_of(&item) == TYPE_WORD) {
            value = context::get(&item);
            if (type_of(value) == TYPE_UNSET) fire(ERR_script_no_value, &item);
        }
        int t = type_of(value);
        if (t != TYPE_DATATYPE && t != TYPE_TYPESET && t != TYPE_WORD) fire(ERR_script_invalid_type_spec, &item);
    }
}

uint32_t attribute_flags(const Cell* spec, const Cell* attributes) {
    uint32_t flags = 0;
    for (int32_t i = head_of(attributes); i < total_of(attributes); i++) {
        Cell item = item_at(attributes, i);
        if (type_of(&item) != TYPE_WORD) fire(ERR_script_bad_func_def, spec);
        if (is_symbol(&item, words::Sym::trace)) flags |= FLAG_TRACE;
        else if (is_symbol(&item, words::Sym::no_trace)) flags |= FLAG_NO_TRACE;
    }
    return flags;
}

void check_duplicates(const Cell* spec, int32_t from) {
    int32_t tail = total_of(spec);
    for (int32_t i = from; i < tail; i++) {
        Cell a = item_at(spec, i);
        if (!spec_word(type_of(&a))) continue;
        for (int32_t j = i + 1; j < tail; j++) {
            Cell b = item_at(spec, j);
            if (spec_word(type_of(&b)) && canonical(a.data2) == canonical(b.data2)) fire(ERR_script_dup_vars, &b);
        }
    }
}

// ---- Collecting locals -----------------------------------------------------------------------

struct Collector {
    Cell* collected;  // argument-stack cells
    Cell* ignore;

    bool ignored(const Cell* word) const {
        uint32_t s = canonical(word->data2);
        for (int32_t i = head_of(ignore); i < total_of(ignore); i++) {
            Cell item = item_at(ignore, i);
            if (type_of(&item) == TYPE_WORD && canonical(item.data2) == s) return true;
        }
        return false;
    }
    void collect(const Cell* found) {
        Cell word = *found;
        cell::set_type(&word, TYPE_WORD);
        cell::clear_new_line(&word);
        if (ignored(&word)) return;
        block::append_cell(collected, &word);
        block::append_cell(ignore, &word);
    }
    // The words of a block given to foreach or remove-each.
    void collect_loop_words(const Cell* words) {
        for (int32_t i = head_of(words); i < total_of(words); i++) {
            Cell item = item_at(words, i);
            if (argument_word(type_of(&item))) collect(&item);
        }
    }
    void walk(const Cell* code) {
        if (cell::cycle_find(code->data2)) return;
        cell::cycle_push(code->data2);
        for (int32_t i = head_of(code); i < total_of(code); i++) {
            Cell item = item_at(code, i);
            int t = type_of(&item);
            if (t == TYPE_SET_WORD) {
                collect(&item);
            } else if (t == TYPE_BLOCK || t == TYPE_PAREN) {
                walk(&item);
            } else if (t == TYPE_WORD && i + 1 < total_of(code)) {
                Cell next = item_at(code, i + 1);
                bool each = is_symbol(&item, words::Sym::foreach) || is_symbol(&item, words::Sym::remove_each);
                if (each && type_of(&next) == TYPE_BLOCK) collect_loop_words(&next);
                else if ((each || is_symbol(&item, words::Sym::repeat)) &&
                         (type_of(&next) == TYPE_WORD || type_of(&next) == TYPE_SET_WORD))
                    collect(&next);
            }
        }
        cell::cycle_pop();
    }
};

// The walk's nodes leave the cycle stack however the walk ends.
struct CycleDepth {
    int depth = cell::cycle_depth();
    ~CycleDepth() {
        if (cell::cycle_depth() > depth) cell::cycle_pop_n(cell::cycle_depth() - depth);
    }
};

// The word `local` is no local of its own: /local stands for it.
void remove_local_word(Cell* collected) {
    uint32_t local = canonical(words::symbol(words::Word::local));
    for (int32_t i = total_of(collected) - 1; i >= 0; i--) {
        if (canonical(item_at(collected, i).data2) != local) continue;
        Series* s = memory::series_of(collected->data2);
        std::copy(s->cells() + i + 1, s->cell_tail(), s->cells() + i);
        s->tail -= sizeof(Cell);
        memory::touch(s);
    }
}

// The position of the refinement in the spec from its head, or -1.
int32_t find_refinement(const Cell* spec, words::Ref r) {
    for (int32_t i = head_of(spec); i < total_of(spec); i++) {
        Cell item = item_at(spec, i);
        if (is_refinement(&item, r)) return i;
    }
    return -1;
}

// ---- Molding ------------------------------------------------------------------------------------

int append_text(Cell* buffer, const char* text, int part) { return cell_text::mold_literal(buffer, text, false, part); }

int mold_block_value(const Cell* value, Cell* buffer, bool all, bool flat, int part, int indent) {
    Cell copy = *value;
    return datatype::handler<ACT_MOLD>(type_of(&copy))(&copy, buffer, false, all, flat, part, indent);
}

}  // namespace

// ---- Making ----------------------------------------------------------------------------------------

Node alloc_more() {
    Node more = memory::alloc_unset_cells(MORE_CELLS);
    memory::series_of(more)->tail = MORE_CELLS * sizeof(Cell);
    return more;
}

namespace {
// The body of a library function is a copy of its boot-image block, and stays
// library code, nested blocks and paths included: its events are not sent.
void mark_library(Node body) {
    std::vector<Node> work{body};
    while (!work.empty()) {
        Series* s = memory::series_of(work.back());
        work.pop_back();
        s->flags |= SERIES_LIBRARY;
        for (const Cell* c = s->cells(); c < s->cell_tail(); c++)
            if (series::any_block(type_of(c)) && !(memory::series_of(c->data2)->flags & SERIES_LIBRARY))
                work.push_back(c->data2);
    }
}
}  // namespace

Node push(const Cell* spec_in, const Cell* body_in, Node context, int32_t extra, uint32_t flags) {
    Cell spec = *spec_in;
    Cell body;
    cell::set(&body, TYPE_NONE);
    gc::root keep_spec(&spec), keep_body(&body);
    spec.data1 = uint32_t(head_of(&spec));
    if (spec.data1 > 0) {
        spec = *block::clone(&spec, false, false);
        stack::pop(1);
    }
    if (body_in && type_of(body_in) == TYPE_BLOCK) {
        body = *body_in;
        body.data1 = uint32_t(head_of(&body));
    }
    Node more = alloc_more();
    Cell* fn = stack::push_new();
    cell::set(fn, TYPE_FUNCTION, 0, spec.data2, more);
    bool own_context = context == 0;
    if (own_context) context = context::make_from_spec(&spec, true, false, context::KIND_FUNCTION);
    fn->data1 = context;
    fn->header |= flags & TRACE_FLAGS;
    *context::owner_of(context) = *fn;
    if (type_of(&body) == TYPE_BLOCK) {
        Cell copied = *block::clone(&body, true, true);
        stack::pop(1);
        if (memory::series_of(body.data2)->flags & SERIES_LIBRARY) mark_library(copied.data2);
        *body_of(fn) = copied;
        if (own_context) context::bind(&copied, context, false);
    } else {
        *body_of(fn) = none::g_none;
    }
    if (extra != 0) cell::set(more_of(fn) + MORE_EXTRA, TYPE_INTEGER, 0, uint32_t(extra));
    interpreter::build_arg_cache(fn);
    // A call pushes one cell per cache entry; the body reads one per word.
    if (interpreter::call_cells(fn) != context::word_count(context)) fire(ERR_script_bad_func_def, &spec);
    return context;
}

uint32_t validate_spec(const Cell* spec_in) {
    Cell spec = *spec_in;
    int32_t i = head_of(&spec);
    uint32_t flags = 0;
    if (type_at(&spec, i) == TYPE_BLOCK) {
        Cell attributes = item_at(&spec, i++);
        flags = attribute_flags(&spec, &attributes);
    }
    int32_t words_from = i;
    bool return_seen = false, local_seen = false;
    for (; i < total_of(&spec); i++) {
        Cell item = item_at(&spec, i);
        int next = type_at(&spec, i + 1), after = type_at(&spec, i + 2);
        switch (type_of(&item)) {
            case TYPE_WORD: case TYPE_LIT_WORD: case TYPE_GET_WORD:
                if (local_seen && type_of(&item) != TYPE_WORD) fire(ERR_script_bad_func_def, &spec);
                if (return_seen && !local_seen) fire(ERR_script_bad_func_def, &spec);
                // The type block comes before the doc strings.
                if (next == TYPE_STRING && after == TYPE_BLOCK) fire(ERR_script_bad_func_def, &spec);
                if (next == TYPE_BLOCK) {
                    Cell types = item_at(&spec, ++i);
                    check_type_block(&types);
                }
                break;
            case TYPE_SET_WORD:
                if (return_seen || local_seen || !is_symbol(&item, words::Sym::return_))
                    fire(ERR_script_bad_func_def, &spec);
                if (next != TYPE_BLOCK) fire(ERR_script_bad_func_def, &spec);
                if (after != TYPE_NONE_ID && after != TYPE_REFINEMENT && after != TYPE_STRING)
                    fire(ERR_script_bad_func_def, &spec);
                return_seen = true;
                i++;
                break;
            case TYPE_REFINEMENT:
                if (is_refinement(&item, words::Ref::local)) local_seen = true;
                else if (local_seen || return_seen) fire(ERR_script_bad_func_def, &spec);
                if (next != TYPE_NONE_ID && !spec_word(next) && next != TYPE_SET_WORD && next != TYPE_STRING)
                    fire(ERR_script_bad_func_def, &spec);
                break;
            case TYPE_STRING:
                break;
            default:
                fire(ERR_script_bad_func_def, &spec);
        }
    }
    check_duplicates(&spec, words_from);
    return flags;
}

Cell collect_locals(Cell* spec, const Cell* body) {
    Cell* top = stack::top();
    Collector c{block::push_only(8), nullptr};
    c.ignore = block::clone(spec, false, false);
    int32_t extern_at = find_refinement(spec, words::Ref::extern_);
    if (extern_at >= 0) {
        int32_t i = extern_at + 1;
        while (type_at(spec, i) == TYPE_WORD) i++;
        if (i < total_of(spec)) {
            Cell after = item_at(spec, i);
            if (is_refinement(&after, words::Ref::local))
                for (i++; i < total_of(spec); i++) {
                    Cell item = item_at(spec, i);
                    if (type_of(&item) == TYPE_WORD) block::append_cell(c.collected, &item);
                }
        }
        block::cut_at(spec, extern_at);
    }
    for (int32_t i = head_of(c.ignore); i < total_of(c.ignore); i++) {
        Cell* item = memory::series_of(c.ignore->data2)->cells() + i;
        switch (type_of(item)) {
            case TYPE_SET_WORD: case TYPE_LIT_WORD: case TYPE_GET_WORD: case TYPE_REFINEMENT:
                cell::set_type(item, TYPE_WORD);
                break;
            case TYPE_WORD: case TYPE_BLOCK: case TYPE_STRING:
                break;
            default:
                if (extern_at >= 0) {
                    Cell bad = *item;
                    fire(ERR_script_bad_func_extern, &bad);
                }
        }
    }
    {
        CycleDepth depth;
        c.walk(body);
    }
    Cell collected = *c.collected;
    if (block::length_q(&collected) > 0) {
        if (find_refinement(spec, words::Ref::local) < 0) block::append_cell(spec, &words::refinement(words::Ref::local));
        remove_local_word(&collected);
        block::append_block(spec, &collected);
    }
    stack::g_top = top;
    return collected;
}

// ---- Handlers ---------------------------------------------------------------------------------------

Cell* make(Cell* proto, Cell* arg, int) {
    if (type_of(arg) != TYPE_BLOCK || block::length_q(arg) < 2) fire(ERR_script_bad_func_def, arg);
    Cell spec = *block::head(arg), body = block::head(arg)[1];
    if (type_of(&spec) != TYPE_BLOCK) fire(ERR_script_bad_func_def, arg);
    uint32_t flags = validate_spec(&spec);
    if (type_of(&body) != TYPE_BLOCK) fire(ERR_script_bad_func_def, arg);
    push(&spec, &body, 0, 0, flags);
    Cell made = *(stack::top() - 1);
    stack::pop(1);
    return copy_cell(&made, proto);
}

Cell* reflect(Cell* value, int field) {
    uint32_t f = canonical(uint32_t(field));
    if (f == canonical(words::symbol(words::Sym::spec))) {
        *value = block_of(value->data2);
    } else if (f == canonical(words::symbol(words::Sym::body))) {
        *value = *body_of(value);
    } else if (f == canonical(words::symbol(words::Sym::words))) {
        Node ctx = value->data1;
        Node copy = memory::copy_series(memory::series_of(context::words_node(ctx)));
        *value = block_of(copy);
    } else {
        fire(ERR_internal_not_done);
    }
    return value;
}

int form(Cell*, Cell* buffer, int part) { return append_text(buffer, "?function?", part); }

int mold_spec(const Cell* value, Cell* buffer, bool all, bool flat, int part, int indent) {
    Cell spec = block_of(value->data2);
    return mold_block_value(&spec, buffer, all, flat, part, indent);
}

int mold(Cell* value, Cell* buffer, bool, bool all, bool flat, int part, int indent) {
    part = append_text(buffer, "func ", part);
    part = mold_spec(value, buffer, all, flat, part, indent);
    Cell body = *body_of(value);
    if (type_of(&body) != TYPE_BLOCK) return append_text(buffer, " none", part);
    return mold_block_value(&body, buffer, all, flat, part, indent);
}

int compare_more(const Cell* value1, const Cell* value2, int op) {
    if (type_of(value1) != type_of(value2)) return -2;
    switch (op) {
        case compare::COMP_EQUAL: case compare::COMP_NOT_EQUAL: case compare::COMP_STRICT_EQUAL:
        case compare::COMP_SORT: case compare::COMP_CASE_SORT: case compare::COMP_SAME: case compare::COMP_FIND:
            return value1->data3 < value2->data3 ? -1 : value1->data3 > value2->data3 ? 1 : 0;
        default:
            return -2;
    }
}

int compare(Cell* value1, Cell* value2, int op) { return compare_more(value1, value2, op); }

bool event_block(const Cell* callback, Cell* block) {
    Cell spec = block_of(callback->data2);
    if (block::length_q(&spec) > 0 && type_of(block::head(&spec)) == TYPE_BLOCK) {
        *block = *block::head(&spec);
        return true;
    }
    Cell body = *body_of(callback);
    if (type_of(&body) == TYPE_BLOCK && block::length_q(&body) > 0 && type_of(block::head(&body)) == TYPE_BLOCK) {
        *block = *block::head(&body);
        return true;
    }
    return false;
}

void init() {
    datatype::TypeRecord r(TYPE_FUNCTION, TYPE_CONTEXT, "function!");
    r.set<ACT_MAKE>(make).set<ACT_REFLECT>(reflect).set<ACT_FORM>(form).set<ACT_MOLD>(mold);
    r.set<ACT_COMPARE>(compare);
    datatype::register_type(r);
}

}  // namespace zel::function
