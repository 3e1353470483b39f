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
#include "foundation/raise.h"
#include "interpreter/eval.h"
#include "interpreter/iterate.h"
#include "interpreter/natives.h"
#include "scalars/simple_types.h"
#include "series/block.h"
#include "series/series.h"
#include "words/context.h"
#include "words/words.h"

namespace zel::natives {

namespace {

// How a loop ended.
enum class End { normal, broke, passed };

const Cell& body_word() { return words::word(words::Word::body); }

// Evaluates `block` under the loop's catch level: 0, or the code caught.
[[gnu::always_inline]] inline uint32_t evaluate(const Cell* block) {
    stack::reset();
    return exits::catching(CATCH_LOOP, [block] { return interpreter::eval_block(block, true); });
}

// The turns of a loop whose frame is on top: before each evaluation of the
// body `more()` tells whether there is one; after it ends normally or by
// continue, `stop(continued)` may end the loop. break ends it with the
// value break left in the result cell; any other exit is put in *pass.
template <typename More, typename Stop>
[[gnu::always_inline]] inline End run(const Cell* body, Exit* pass, More more, Stop stop) {
    while (more()) {
        uint32_t code = evaluate(body);
        if (code) [[unlikely]] {
            if (code != THROW_CONTINUE && code != THROW_BREAK) {
                *pass = exits::pass_on(code);
                return End::passed;
            }
            exits::end_throw();
            if (code == THROW_BREAK) return End::broke;
        }
        if (stop(code == THROW_CONTINUE)) break;
    }
    return End::normal;
}

inline bool never(bool) { return false; }

// Leaves the loop: an exit to pass on is passed on; else the frame goes
// and the value in its result cell becomes the result.
inline Exit leave(End end, Exit pass) {
    if (end == End::passed) return pass;
    frames::unwind_last();
    return {};
}

inline bool strict_true(const Cell* value) {
    if (type_of(value) == TYPE_UNSET) fire(ERR_script_no_return);
    return !logic::is_false(value);
}

// The condition is evaluated under the loop's frame too; a break or
// continue in it is refused. The result is always unset.
Exit while_(bool, const int32_t*) {
    const Cell* cond = arg(0);
    const Cell* body = arg(1);
    frames::mark_loop(&body_word());
    Exit pass;
    auto holds = [cond, &pass] {
        uint32_t code = evaluate(cond);
        if (code == THROW_BREAK || code == THROW_CONTINUE) {
            exits::end_throw();
            fire(ERR_throw_while_cond);
        }
        if (code) {
            pass = exits::pass_on(code);
            return false;
        }
        return strict_true(stack::arguments());
    };
    End end = run(body, &pass, holds, never);
    if (pass) return pass;
    stack::set_last(&unset::g_unset);
    return leave(end, pass);
}

// continue skips the test of the body's value.
Exit until(bool, const int32_t*) {
    const Cell* body = arg(0);
    frames::mark_loop(&body_word());
    Exit pass;
    End end = run(body, &pass, [] { return true; },
                  [](bool continued) { return !continued && strict_true(stack::arguments()); });
    return leave(end, pass);
}

// loop and repeat: a count below 1 evaluates nothing and gives none.
Exit loop_(bool, const int32_t*) {
    int32_t count = iterate::loop_count(arg(0));
    if (count < 1) {
        stack::set_last(&none::g_none);
        return {};
    }
    const Cell* body = arg(1);
    frames::mark_loop(&body_word());
    Exit pass;
    int32_t done = 0;
    End end = run(body, &pass, [&done, count] { return done++ < count; }, never);
    return leave(end, pass);
}

// The count's cell becomes the counter: the word is set from it before
// each evaluation, so the body changing the word changes nothing else.
Exit repeat(bool, const int32_t*) {
    Cell* word = arg(0);
    Cell* counter = arg(1);
    const Cell* body = arg(2);
    int32_t count = iterate::loop_count(counter);
    if (count < 1) {
        stack::set_last(&none::g_none);
        return {};
    }
    frames::mark_loop(&body_word());
    Exit pass;
    int32_t i = 0;
    auto next = [&i, count, word, counter] {
        if (i == count) return false;
        counter->data2 = uint32_t(++i);
        context::assign(word, counter);
        return true;
    };
    End end = run(body, &pass, next, never);
    return leave(end, pass);
}

Exit forever(bool, const int32_t*) {
    const Cell* body = arg(0);
    frames::mark_loop(&body_word());
    Exit pass;
    End end = run(body, &pass, [] { return true; }, never);
    return leave(end, pass);
}

// A series walk: its state pushed above the call's cells (a copy of the
// series, then of the word or block of words), its loop frame with unset
// in the result cell, and its step, one word or the n words of a block.
struct Walk {
    Cell* state;
    bool words_block;
    int n;

    Walk(const Cell* word, const Cell* series)
        : state(stack::push(series)), words_block(type_of(word) == TYPE_BLOCK),
          n(words_block ? block::length_q(word) : 1) {
        stack::push(word);
    }
    void start() {
        frames::mark_loop(&body_word());
        stack::set_last_only(&unset::g_unset);
    }
    bool step() { return words_block ? iterate::foreach_next_block(state, n) : iterate::foreach_next(state); }
};

Exit foreach(bool, const int32_t*) {
    const Cell* body = arg(2);
    Walk walk(arg(0), arg(1));
    // A map is walked by two words (the step checks their count).
    if (walk.words_block ? walk.n < 1 : type_of(walk.state) == TYPE_MAP) fire(ERR_script_invalid_arg, walk.state + 1);
    walk.start();
    Exit pass;
    End end = run(body, &pass, [&walk] { return walk.step(); }, never);
    return leave(end, pass);
}

// The word is advanced in place after each turn. After a normal end it
// holds the series at its entry position again; after break it keeps the
// position reached.
Exit forall(bool, const int32_t*) {
    Cell* word = arg(0);
    const Cell* body = arg(1);
    const Cell* value = context::get(word);
    if (type_of(value) == TYPE_UNSET) fire(ERR_script_no_value, word);
    if (!series::series_type(type_of(value))) raise::expect_arg(value, 0);
    Walk walk(word, value);
    walk.start();
    Exit pass;
    bool first = true;
    auto more = [&first, &walk] { return !first || (first = false, !iterate::forall_end_q(walk.state, false)); };
    End end = run(body, &pass, more, [&walk](bool) { return iterate::forall_end_q(walk.state, true); });
    if (end == End::normal) iterate::forall_restore(walk.state);
    return leave(end, pass);
}

// After a normal end of the body, a true value removes the elements just
// taken. The result is the series at its entry position, unless break ends
// the walk (break's value then).
Exit remove_each(bool, const int32_t*) {
    Cell* data = arg(1);
    const Cell* body = arg(2);
    Walk walk(arg(0), data);
    walk.start();
    Exit pass;
    auto drop = [&walk](bool continued) {
        if (!continued) iterate::remove_each_drop(walk.state, walk.n, stack::arguments());
        return false;
    };
    End end = run(body, &pass, [&walk] { return walk.step(); }, drop);
    if (end == End::normal) stack::set_last(data);
    return leave(end, pass);
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
