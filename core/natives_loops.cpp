// The loops: while, until, loop, repeat, forever, foreach, forall and
// remove-each.
//
// Every loop pushes a loop frame (the target of break and continue) above
// its call's cells and evaluates its body straight from the block, under
// the loop's catch level, into the frame's result cell; before each
// evaluation the argument stack is cut back to that cell, so a loop runs in
// constant stack however long it runs. After the body: a normal end or
// continue goes on, break leaves the loop with the value break left in the
// result cell, and any other exit (return, exit, throw) is passed on at
// once, the stacks already at its target. Leaving the loop pops its frame
// and the result cell's value becomes the native's result.
//
// The loops that walk a series keep their state (the series being walked,
// the word or words) in two cells pushed below the frame (iterate.h). The
// body may change the series: every step takes its buffer again.
//
// Relies on: the evaluator (eval_block), the exits (catching, pass_on), the
// iteration steps (iterate.h), contexts (loop words).
#include "core/context.h"
#include "core/error.h"
#include "core/eval.h"
#include "core/iterate.h"
#include "core/natives.h"
#include "core/simple_types.h"
#include "core/words.h"
#include "series/block.h"
#include "series/series.h"

namespace zel::natives {

namespace {

// How an evaluation of a loop's body ended.
enum class Turn { done, continued, broke, passed };

inline void mark_loop() { stack::mark_loop(&words::word(words::Word::body)); }

// Evaluates the body once under the loop's catch level; an exit that is
// not the loop's own is put in *pass.
inline Turn turn(const Cell* body, Exit* pass) {
    stack::reset();
    uint32_t code = stack::catching(CATCH_LOOP, [body] { return interpreter::eval_block(body, true); });
    if (!code) [[likely]]
        return Turn::done;
    if (code == THROW_CONTINUE) {
        stack::end_throw();
        return Turn::continued;
    }
    if (code == THROW_BREAK) {
        stack::end_throw();
        return Turn::broke;
    }
    *pass = stack::pass_on(code);
    return Turn::passed;
}

// Pops the loop frame; the value in its result cell becomes the result.
inline Exit leave() {
    stack::unwind_last();
    return {};
}

inline bool strict_true(const Cell* value) {
    if (type_of(value) == TYPE_UNSET) fire(ERR_script_no_return);
    return !logic::is_false(value);
}

Exit while_(bool, const int32_t*) {
    const Cell* cond = arg(0);
    const Cell* body = arg(1);
    mark_loop();
    for (;;) {
        stack::reset();
        uint32_t code = stack::catching(CATCH_LOOP, [cond] { return interpreter::eval_block(cond, true); });
        if (code == THROW_BREAK || code == THROW_CONTINUE) {
            stack::end_throw();
            fire(ERR_throw_while_cond);
        }
        if (code) return stack::pass_on(code);
        if (!strict_true(stack::arguments())) break;
        Exit pass;
        Turn t = turn(body, &pass);
        if (t == Turn::passed) return pass;
        if (t == Turn::broke) break;
    }
    stack::set_last(&unset::g_unset);
    return leave();
}

Exit until(bool, const int32_t*) {
    const Cell* body = arg(0);
    mark_loop();
    for (;;) {
        Exit pass;
        Turn t = turn(body, &pass);
        if (t == Turn::passed) return pass;
        if (t == Turn::broke) break;
        if (t == Turn::done && strict_true(stack::arguments())) break;
    }
    return leave();
}

// loop and repeat: a count below 1 evaluates nothing and gives none.
Exit loop_(bool, const int32_t*) {
    int32_t count = loop_count(arg(0));
    if (count < 1) {
        stack::set_last(&none::g_none);
        return {};
    }
    const Cell* body = arg(1);
    mark_loop();
    for (int32_t i = 0; i < count; i++) {
        Exit pass;
        Turn t = turn(body, &pass);
        if (t == Turn::passed) return pass;
        if (t == Turn::broke) break;
    }
    return leave();
}

// The count's cell becomes the counter: the word is set from it before
// each evaluation, so the body changing the word changes nothing else.
Exit repeat(bool, const int32_t*) {
    Cell* word = arg(0);
    Cell* counter = arg(1);
    const Cell* body = arg(2);
    int32_t count = loop_count(counter);
    if (count < 1) {
        stack::set_last(&none::g_none);
        return {};
    }
    mark_loop();
    for (int32_t i = 1; i <= count; i++) {
        counter->data2 = uint32_t(i);
        context::assign(word, counter);
        Exit pass;
        Turn t = turn(body, &pass);
        if (t == Turn::passed) return pass;
        if (t == Turn::broke) break;
    }
    return leave();
}

Exit forever(bool, const int32_t*) {
    const Cell* body = arg(0);
    mark_loop();
    for (;;) {
        Exit pass;
        Turn t = turn(body, &pass);
        if (t == Turn::passed) return pass;
        if (t == Turn::broke) break;
    }
    return leave();
}

// A series walk: its state pushed above the call's cells (a copy of the
// series, then of the word or block of words) and its step, one word or
// the n words of a block.
struct Walk {
    Cell* state;
    bool words_block;
    int n;

    Walk(const Cell* word, const Cell* series)
        : state(stack::push(series)), words_block(type_of(word) == TYPE_BLOCK),
          n(words_block ? block::length_q(word) : 1) {
        stack::push(word);
    }
    bool step() { return words_block ? foreach_next_block(state, n) : foreach_next(state); }
};

Exit foreach(bool, const int32_t*) {
    const Cell* body = arg(2);
    Walk walk(arg(0), arg(1));
    // A map is walked by two words (the step checks their count).
    if (walk.words_block ? walk.n < 1 : type_of(walk.state) == TYPE_MAP) fire(ERR_script_invalid_arg, walk.state + 1);
    mark_loop();
    stack::set_last_only(&unset::g_unset);
    while (walk.step()) {
        Exit pass;
        Turn t = turn(body, &pass);
        if (t == Turn::passed) return pass;
        if (t == Turn::broke) break;
    }
    return leave();
}

// After a normal end the word holds the series at its entry position again;
// after break it keeps the position reached.
Exit forall(bool, const int32_t*) {
    Cell* word = arg(0);
    const Cell* body = arg(1);
    const Cell* value = context::get(word);
    if (type_of(value) == TYPE_UNSET) fire(ERR_script_no_value, word);
    if (!series::series_type(type_of(value))) error::raise_expect_arg(value, 0);
    Cell* state = stack::push(value);
    stack::push(word);
    mark_loop();
    stack::set_last_only(&unset::g_unset);
    if (!forall_end_q(state, false)) {
        for (;;) {
            Exit pass;
            Turn t = turn(body, &pass);
            if (t == Turn::passed) return pass;
            if (t == Turn::broke) return leave();
            if (forall_end_q(state, true)) break;
        }
    }
    forall_restore(state);
    return leave();
}

// The result is the series at its entry position, unless break ends the
// walk (break's value then).
Exit remove_each(bool, const int32_t*) {
    Cell* data = arg(1);
    const Cell* body = arg(2);
    Walk walk(arg(0), data);
    mark_loop();
    stack::set_last_only(&unset::g_unset);
    while (walk.step()) {
        Exit pass;
        Turn t = turn(body, &pass);
        if (t == Turn::passed) return pass;
        if (t == Turn::broke) return leave();
        if (t == Turn::done) remove_each_drop(walk.state, walk.n, stack::arguments());
    }
    stack::set_last(data);
    return leave();
}

}  // namespace

void register_loops() {
    set(Native::while_, while_);
    set(Native::until, until);
    set(Native::loop_, loop_);
    set(Native::repeat, repeat);
    set(Native::forever, forever);
    set(Native::foreach, foreach);
    set(Native::forall, forall);
    set(Native::remove_each, remove_each);
}

}  // namespace zel::natives
