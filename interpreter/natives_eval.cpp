// The natives that evaluate code and bind words: do, reduce, compose, get,
// set, bind, in and the entry of parse.
//
// Relies on: the evaluator and its trace hooks, contexts and words, blocks
// (and hash! upkeep), the insert action, the lexer (do of a string), the
// ownership check (reduce/into).
#include <algorithm>

#include "foundation/collector.h"
#include "foundation/frames.h"
#include "foundation/raise.h"
#include "interpreter/dispatch.h"
#include "interpreter/eval.h"
#include "interpreter/iterate.h"
#include "interpreter/natives.h"
#include "interpreter/object.h"
#include "interpreter/parse.h"
#include "interpreter/trace.h"
#include "lexer/lexer.h"
#include "scalars/simple_types.h"
#include "series/block.h"
#include "series/ownership.h"
#include "series/series.h"
#include "words/context.h"
#include "words/word.h"
#include "words/words.h"

namespace zel::natives {

namespace {

using interpreter::Next;

bool path_type(int t) { return t == TYPE_PATH || t == TYPE_LIT_PATH || t == TYPE_SET_PATH || t == TYPE_GET_PATH; }
bool function_value(int t) {
    return t == TYPE_FUNCTION || t == TYPE_NATIVE || t == TYPE_ACTION || t == TYPE_OP || t == TYPE_ROUTINE;
}

int32_t total_of(const Cell* block) { return int32_t(memory::series_of(block->data2)->used() / sizeof(Cell)); }
int32_t head_of(const Cell* block) { return std::clamp(int32_t(block->data1), 0, total_of(block)); }
Cell item_at(const Cell* block, int32_t i) { return memory::series_of(block->data2)->cells()[i]; }

// ---- Adding results to a target block --------------------------------------------------------

// Appends when the target was at its tail (keeping a hash!'s table in
// step), else inserts at its position through the insert action, moving past.
struct Adder {
    Cell* target;
    bool append = int32_t(target->data1) >= total_of(target);
    int32_t first = total_of(target);
    int32_t added = 0;

    void add(const Cell* value) {
        Cell v = *value;
        if (append) {
            int32_t at = total_of(target);
            block::append_cell(target, &v);
            if (Node table = series::hash_table_of(target)) series::hash_put_cells(table, target->data2, at, 1);
        } else {
            Cell* moved = dispatch::handler<ACT_INSERT>(target)(target, &v, -1, true, 1);
            copy_cell(moved, target);
        }
        added++;
    }
};

// The value of one expression made of the value alone (a word its value, a
// function called with no arguments), pushed.
Next eval_alone(const Cell* value) {
    Cell* code = block::push_only(1);
    block::append_cell(code, value);
    Next n = interpreter::eval_one(code, 0, 1, true);
    if (n.exit) return n;
    stack::drop_under();
    return n;
}

// ---- Gaps: services of modules that come later ------------------------------------------------

// do of a file! or url! runs the library's do-file with the value, no
// trace callback and the /args value; its result is do's.
Exit do_file(Cell* value, const Cell* args) {
    Cell name = word::load("do-file");
    const Cell* fn = context::get(&name);
    if (type_of(fn) != TYPE_FUNCTION) fire(ERR_internal_not_done);
    Cell callable = *fn;
    Cell arguments[3] = {*value, none::g_none, args ? *args : none::g_none};
    if (Exit e = interpreter::call_with(&callable, arguments, 3, &name)) return e;
    stack::set_last_only(stack::top() - 1);
    return Exit{};
}
// do/expand hands the block to the library's preprocessor/expand with no
// job and no /clean: the block's directives are carried out in place and
// expand's result is dropped.
Exit expand_block(const Cell* block) {
    Cell owner_word = word::load("preprocessor");
    Cell owner = *context::get(&owner_word);
    gc::root keep(&owner);
    Cell name = word::load("expand");
    const Cell* expand = type_of(&owner) == TYPE_OBJECT ? object::select_word(&owner, &name) : &none::g_none;
    if (type_of(expand) != TYPE_FUNCTION) fire(ERR_internal_not_done);
    Cell callable = *expand;
    Cell arguments[2] = {*block, none::g_none};
    Cell* top = stack::g_top;
    if (Exit e = interpreter::call_with(&callable, arguments, 2, &name)) return e;
    stack::g_top = top;
    return Exit{};
}

// ---- do ---------------------------------------------------------------------------------------

// do's refinement slots: /expand, /args arg, /next position, /trace callback.
enum DoRefinement { DO_EXPAND, DO_ARGS, DO_NEXT, DO_TRACE };

Exit do_block(Cell* block, bool expand, const Cell* next_word) {
    block->data1 = uint32_t(head_of(block));
    if (expand) {
        if (Exit e = expand_block(block)) return e;
    }
    if (!next_word) return interpreter::hand_back(block);
    Cell word = *next_word;
    Cell code = *block;
    stack::set_last_only(&code);
    Next n = interpreter::eval_next(&code);
    if (n.exit) return Exit{n.exit};
    code.data1 = uint32_t(n.position);
    context::set(&word, &code);
    return Exit{};
}

Exit do_value(const int32_t* r) {
    Cell* value = arg(0);
    const Cell* next_word = refinement_arg(r, DO_NEXT);
    int t = type_of(value);
    if (t == TYPE_STRING) {
        Cell text = *value;
        gc::root keep(&text);  // the loaded block takes the value's cell
        lexer::scan_string(value, &text, -1, 0);
        t = TYPE_BLOCK;
    }
    switch (t) {
        case TYPE_BLOCK: case TYPE_PAREN: case TYPE_HASH:
            return do_block(value, has(r, DO_EXPAND), next_word);
        case TYPE_FILE: case TYPE_URL:
            return do_file(value, refinement_arg(r, DO_ARGS));
        case TYPE_ERROR:
            exits::throw_error(value);
        default:
            break;
    }
    Next n;
    if (path_type(t)) {
        Cell path = *value;
        n = interpreter::eval_path(&path, nullptr, 0, 0, false, t == TYPE_GET_PATH, false, nullptr);
        if (n.exit) return Exit{n.exit};
        return Exit{};
    }
    Cell alone = *value;
    n = eval_alone(&alone);
    if (n.exit) return Exit{n.exit};
    stack::set_last_only(stack::top() - 1);
    return Exit{};
}

// An error has taken the stacks to the try that catches it, and taken that
// try's frame away: the end event's call-back runs under a try of its own,
// and an error it raises gives way to the error on its way.
void end_trace_after_error(const Cell* code) {
    ErrorThrow error = exits::pending_error();
    Cell* top = stack::top();
    Cell* arguments = stack::arguments();
    frames::CallFrame* frames = frames::g_frame_top;
    frames::mark_try(&words::word(words::Word::body));
    uint32_t thrown = exits::catching(CATCH_TRY, [&] {
        interpreter::remove_tracer(code);
        return Exit{};
    });
    if (thrown && thrown != THROW_ERROR) exits::rethrow(thrown);
    frames::set_frame_top(frames);
    stack::g_arguments = arguments;
    stack::g_top = top;
    exits::end_throw();
    throw error;
}

// do/trace: the caller's frame is made a function body while the code runs,
// so that return and exit in it stop there, once the trace has ended; the
// call-back is installed unless one already is.
class BodyClaim {
public:
    BodyClaim() : frame_(frames::claim_body_flag()) {}
    ~BodyClaim() { release(); }
    BodyClaim(const BodyClaim&) = delete;
    BodyClaim& operator=(const BodyClaim&) = delete;
    // Gives the frame its flag back; true when it was claimed here.
    bool release() {
        if (!frame_) return false;
        frames::clear_body_flag(frame_);
        frame_ = nullptr;
        return true;
    }

private:
    frames::CallFrame* frame_;
};

Exit do_traced(const int32_t* r) {
    Cell callback = *refinement_arg(r, DO_TRACE);
    Cell code = *arg(0);
    BodyClaim claim;
    bool installed = interpreter::install_tracer(&callback);
    uint32_t thrown = exits::catching(CATCH_TRY, [&] {
        if (installed) interpreter::trace_init(&code);
        return do_value(r);
    });
    if (installed) {
        if (thrown == THROW_ERROR) end_trace_after_error(&code);
        else interpreter::remove_tracer(&code, thrown >= THROW_EXIT && thrown <= THROW_BREAK);
    }
    bool claimed = claim.release();
    if (!thrown) return Exit{};
    if (claimed && (thrown == THROW_RETURN || thrown == THROW_EXIT)) {
        // The exit landed on the caller's frame, which is no body of its own:
        // it goes on from there to the function it belongs to.
        exits::end_throw();
        return exits::start_return(thrown == THROW_RETURN, true);
    }
    return exits::pass_on(thrown);
}

Exit do_(bool, const int32_t* r) {
    if (has(r, DO_TRACE)) return do_traced(r);
    return do_value(r);
}

// ---- reduce and compose -------------------------------------------------------------------------

Exit reduce_(bool, const int32_t* r) {
    Cell value = *arg(0);
    Cell* out = refinement_arg(r, 0);
    int t = type_of(&value);
    if (!out && t != TYPE_BLOCK) {
        if (function_value(t)) return Exit{};
        Next n = eval_alone(&value);
        if (n.exit) return Exit{n.exit};
        stack::set_last_only(stack::top() - 1);
        return Exit{};
    }
    Cell* target = out ? stack::push(out) : block::push_only(std::max(block::length_q(&value), 1));
    if (Exit e = reduce_into(&value, target)) return e;
    stack::set_last(target);
    return Exit{};
}

struct Compose {
    bool deep, only;

    Exit into(const Cell* source_in, Cell* target) {
        Cell* source = stack::push(source_in);
        Cell* mark = stack::top();
        Adder adder{target};
        for (int32_t i = head_of(source); i < total_of(source); i++) {
            Cell item = item_at(source, i);
            switch (type_of(&item)) {
                case TYPE_BLOCK:
                    if (deep) {
                        Cell* inner = block::push_only(std::max(block::length_q(&item), 1));
                        if (Exit e = into(&item, inner)) return e;
                        inner->header = (inner->header & HEADER_TYPE_MASK) | (item.header & ~HEADER_TYPE_MASK);
                        adder.add(inner);
                    } else {
                        adder.add(&item);
                    }
                    break;
                case TYPE_PAREN: {
                    if (block::length_q(&item) <= 0) break;
                    if (Exit e = interpreter::eval_block(&item, false)) return e;
                    Cell result = *(stack::top() - 1);
                    if (type_of(&result) == TYPE_UNSET) break;
                    if (type_of(&result) == TYPE_BLOCK && !only) {
                        for (int32_t k = head_of(&result); k < total_of(&result); k++) {
                            Cell element = item_at(&result, k);
                            adder.add(&element);
                        }
                    } else {
                        adder.add(&result);
                    }
                    break;
                }
                default:
                    adder.add(&item);
            }
            stack::g_top = mark;
        }
        stack::g_top = source;
        return Exit{};
    }
};

// compose's refinement slots: /deep, /only, /into out.
Exit compose_(bool, const int32_t* r) {
    Cell value = *arg(0);
    if (type_of(&value) != TYPE_BLOCK) {
        Cell block_type = raise::datatype_arg(TYPE_BLOCK), type = raise::datatype_arg(type_of(&value));
        fire(ERR_script_expect_val, &block_type, &type);
    }
    Cell* out = refinement_arg(r, 2);
    Cell* target = out ? stack::push(out) : block::push_only(std::max(block::length_q(&value), 1));
    Compose compose{has(r, 0), has(r, 1)};
    if (Exit e = compose.into(&value, target)) return e;
    stack::set_last(target);
    return Exit{};
}

// ---- get and set ---------------------------------------------------------------------------------

// get's refinement slots: /any, /case.
Exit get_(bool, const int32_t* r) {
    Cell target = *arg(0);
    int t = type_of(&target);
    if (path_type(t)) {
        Next n = interpreter::eval_path(&target, nullptr, 0, 0, false, true, false, nullptr);
        return Exit{n.exit};
    }
    if (t == TYPE_OBJECT) {
        object::reflect(arg(0), int(words::symbol(words::Sym::values)));
        return Exit{};
    }
    const Cell* value = context::get(&target);
    if (type_of(value) == TYPE_UNSET && !has(r, 0)) fire(ERR_script_no_value, &target);
    stack::set_last(value);
    return Exit{};
}

// set's refinement slots: /any, /case, /only, /some.
Exit set_(bool, const int32_t* r) {
    Cell target = *arg(0), value = *arg(1);
    bool any = has(r, 0), only = has(r, 2), some = has(r, 3);
    if (type_of(&value) == TYPE_UNSET && !any) fire(ERR_script_need_value, &target);
    int t = type_of(&target);
    if (t == TYPE_BLOCK) {
        iterate::set_many(&target, &value, std::max(block::length_q(&target), 0), any, only, some);
    } else if (path_type(t)) {
        Next n = interpreter::eval_path(&target, nullptr, 0, 0, true, false, true, &value);
        if (n.exit) return Exit{n.exit};
    } else if (t == TYPE_OBJECT) {
        object::set_many(&target, &value, any, only, some);
    } else {
        context::set(&target, &value);
    }
    stack::set_last_only(&value);
    return Exit{};
}

// ---- bind and in ---------------------------------------------------------------------------------

// The context a value stands for: a function's or an object's own, a word's
// binding, or the one its last payload word holds (natives and actions:
// their spec's).
Node context_of(const Cell* value) {
    int t = type_of(value);
    if (word::any_word_type_q(t) || t == TYPE_FUNCTION || t == TYPE_ROUTINE || t == TYPE_OBJECT ||
        t == TYPE_ERROR || t == TYPE_PORT)
        return value->data1;
    return value->data3;
}

// bind's refinement slot: /copy.
Exit bind_(bool, const int32_t* r) {
    Cell target = *arg(0);
    Node ctx = context_of(arg(1));
    if (ctx == 0) return Exit{};
    if (type_of(&target) == TYPE_BLOCK) {
        Cell* block = has(r, 0) ? block::clone(&target, true, true) : stack::push(&target);
        bool self = type_of(context::owner_of(ctx)) == TYPE_OBJECT;
        context::bind(block, ctx, self);
        stack::set_last(block);
        return Exit{};
    }
    context::bind_word(ctx, &target);
    stack::set_last(&target);
    return Exit{};
}

Exit in_(bool, const int32_t*) {
    Node ctx = context_of(arg(0));
    Cell word = *arg(1);
    int32_t found = ctx ? context::find_word(ctx, word.data2, true) : -1;
    if (found < 0) {
        stack::set_last(&none::g_none);
        return Exit{};
    }
    word.data1 = ctx;
    word.data3 = context::word_at(ctx, found)->data3;
    if (type_of(&word) == TYPE_REFINEMENT) cell::set_type(&word, TYPE_WORD);
    stack::set_last(&word);
    return Exit{};
}

// ---- parse ------------------------------------------------------------------------------------------

// parse's refinement slots: /case, /part length, /trace callback.
Exit parse_(bool, const int32_t* r) {
    Cell input = *arg(0);
    int mode = has(r, 0) ? 2 : 0;
    int32_t limit = 0;
    if (const Cell* part = refinement_arg(r, 1)) {
        if (type_of(part) == TYPE_INTEGER || type_of(part) == TYPE_FLOAT) {
            limit = int32_t(input.data1) + cell::number_to_int(part);
        } else if (type_of(part) == type_of(&input) && part->data2 == input.data2) {
            limit = int32_t(part->data1);
        } else {
            Cell word = words::refinement(words::Ref::part);
            cell::set_type(&word, TYPE_WORD);
            fire(ERR_script_invalid_refine_arg, &word, part);
        }
        if (limit < 1) {
            logic::set(arg(0), series::at_tail_q(&input));
            return Exit{};
        }
    }
    Cell rules = *arg(1);
    Cell result;
    // A break, continue, return or exit out of a paren has left the run
    // released and the stacks at its target: it goes on from here.
    if (Exit e = parser::process(&input, &rules, mode, limit, refinement_arg(r, 2), &result)) return e;
    stack::set_last(&result);
    return Exit{};
}

}  // namespace

// ---- Services ---------------------------------------------------------------------------------------

Exit reduce_into(const Cell* value, Cell* target) {
    Cell* mark = stack::top();
    Adder adder{target};
    int t = type_of(value);
    if (t == TYPE_BLOCK) {
        Cell* source = stack::push(value);
        interpreter::Code code(source);
        int32_t position = head_of(source);
        Cell* above = stack::top();
        while (position < code.tail()) {
            Next n = interpreter::eval_one(code, position, code.tail(), true);
            if (n.exit) return Exit{n.exit};
            adder.add(stack::top() - 1);
            stack::g_top = above;
            position = n.position;
        }
    } else if (function_value(t)) {
        adder.add(value);
    } else {
        Next n = eval_alone(value);
        if (n.exit) return Exit{n.exit};
        adder.add(stack::top() - 1);
    }
    stack::g_top = mark;
    if (adder.append && adder.added > 0) ownership::check(target, ownership::INSERT, nullptr, adder.first, adder.added);
    return Exit{};
}

void register_evaluation() {
    set(Native::do_, do_);
    set(Native::reduce_, reduce_);
    set(Native::compose, compose_);
    set(Native::get_, get_);
    set(Native::set_, set_);
    set(Native::bind_, bind_);
    set(Native::in_, in_);
    set(Native::parse, parse_);
}

}  // namespace zel::natives
