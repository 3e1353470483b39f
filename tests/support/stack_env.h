// Shared set-up for tests of the stacks: both stacks are emptied around each
// test and the frame names set; helpers make the cells that name frames and
// build frames from a short description.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/frames.h"
#include "foundation/memory.h"
#include "foundation/stack.h"
#include "interpreter/exits.h"
#include "scalars/simple_types.h"
#include "tests/support/runtime_env.h"

namespace zel::test {

// Symbol ids above 65,535, so that a record keeping only 16 bits of them
// would name the wrong word.
constexpr uint32_t BODY_SYMBOL = 90001;
constexpr uint32_t ANON_SYMBOL = 90002;
constexpr uint32_t SELF_SYMBOL = 90003;

inline Cell word_of(uint32_t symbol, Node context = 0) {
    Cell w;
    cell::set(&w, TYPE_WORD, context, symbol, uint32_t(-1));
    return w;
}

inline Cell integer_of(int32_t value) {
    Cell c;
    cell::set(&c, TYPE_INTEGER, 0, uint32_t(value));
    return c;
}

// Symbols of the words that name test frames.
constexpr uint32_t F_SYMBOL = 70001;
constexpr uint32_t G_SYMBOL = 70003;
constexpr uint32_t LOOP_SYMBOL = 70004;

// A stand-in for a function context: a two-cell node whose context cell
// holds the values word.
inline Node make_context(uint32_t values, bool on_stack = true) {
    Node n = memory::alloc_cells(2);
    Series* s = memory::series_of(n);
    s->tail = 32;
    cell::set(s->cells(), TYPE_CONTEXT, 0, values);
    if (on_stack) s->cells()->header |= FLAG_CTX_ON_STACK;
    cell::set(s->cells() + 1, TYPE_UNSET);
    return n;
}

// Frames built from letters on top of the stacks as they are; each frame is
// followed by two pushed cells holding the integers 10 * i and 10 * i + 1
// (i = the letter's position):
//   E eval (<body>)   L loop   F function body   f function with a context
//   T try   A try/all barrier   C catch   N native (named g)   n native (<anon>)
// One result cell is pushed before the first frame.
struct Built {
    Cell* first_saved = nullptr;  // the base the first frame saves
    std::vector<Cell*> base;      // own base of each frame
    Node context = 0;             // the 'f' frame's context: values 111 before, 222 during
    Cell* saved(int i) const { return i ? base[i - 1] : first_saved; }
};

inline Built build(const std::string& letters) {
    static const Cell f_word = word_of(F_SYMBOL, 5), g_word = word_of(G_SYMBOL, 9),
                      loop_word = word_of(LOOP_SYMBOL), body = word_of(BODY_SYMBOL),
                      anon = word_of(ANON_SYMBOL);
    struct Letter {
        char letter;
        frames::CallFrame* (*mark)(const Cell* word);
        const Cell* word;
        bool body;
    };
    static const Letter table[] = {
        {'E', frames::mark_eval, &body, false},
        {'L', frames::mark_loop, &loop_word, false},
        {'F', frames::mark_interp_func, &f_word, true},
        {'T', frames::mark_try, &g_word, false},
        {'A', frames::mark_try_all, &g_word, false},
        {'C', frames::mark_catch, &body, false},
        {'N', frames::mark_interp_native, &g_word, false},
        {'n', frames::mark_interp_native, &anon, false},
    };
    Built b;
    b.first_saved = stack::arguments();
    stack::push(&unset::g_unset);
    for (char k : letters) {
        if (k == 'f') {
            b.context = make_context(111);
            frames::mark_func(&f_word, b.context);
            frames::context_values(b.context) = 222;
        }
        for (const Letter& l : table) {
            if (l.letter != k) continue;
            l.mark(l.word);
            frames::set_body_flag(l.body);
        }
        int i = int(b.base.size());
        b.base.push_back(stack::arguments());
        Cell c0 = integer_of(10 * i), c1 = integer_of(10 * i + 1);
        stack::push(&c0);
        stack::push(&c1);
    }
    return b;
}

inline void empty_stacks() {
    frames::set_frame_top(frames::g_frame_bottom);
    stack::g_arguments = stack::g_top = stack::g_bottom;
    exits::end_throw();
}

class StackTest : public ::testing::Test {
  protected:
    void SetUp() override {
        frames::set_frame_names(BODY_SYMBOL, ANON_SYMBOL, SELF_SYMBOL);
        empty_stacks();
    }
    void TearDown() override { empty_stacks(); }

    const Cell body_ = word_of(BODY_SYMBOL);
    const Cell anon_ = word_of(ANON_SYMBOL);
};

}  // namespace zel::test
