// Non-local exits: catch levels, the walks of break, continue, return, exit
// and throw (barriers and missing targets included), errors unwinding to
// try, catching sites shaped as try, catch, loops and function bodies will
// be, overflow of both stacks, and an error nothing catches.
#include <algorithm>
#include <string>

#include "interpreter/exits.h"
#include "tests/support/child_process.h"
#include "tests/support/fields.h"
#include "tests/support/stack_env.h"

using namespace zel;
using namespace zel::test;

namespace {

constexpr uint32_t CATCH_SYMBOL = 70010;

// Throws `code` as its exit would: errors as errors.
[[noreturn]] void raise_code(uint32_t code) {
    if (code == THROW_ERROR) fire(ERR_internal_not_done);
    throw Throw{code};
}

enum Exit { BREAK, BREAK_VALUE, CONTINUE, RETURN, EXIT, THROW };

const char* exit_name(Exit e) {
    static const char* const names[] = {"break",  "break/return", "continue",
                                        "return", "exit",         "throw"};
    return names[e];
}

[[noreturn]] void perform(Exit e) {
    switch (e) {
        case BREAK:
            exits::throw_break(false, false);
        case BREAK_VALUE:
            exits::throw_break(true, false);
        case CONTINUE:
            exits::throw_break(false, true);
        case RETURN:
            exits::throw_return(true, false);
        case EXIT:
            exits::throw_return(false, false);
        case THROW:
            exits::throw_value(THROW_THROW);
    }
    std::abort();
}

uint32_t code_of(Exit e) {
    static const uint32_t codes[] = {THROW_BREAK,  THROW_BREAK, THROW_CONTINUE,
                                     THROW_RETURN, THROW_EXIT,  THROW_THROW};
    return codes[e];
}

class Exits : public StackTest {};

}  // namespace

TEST_F(Exits, CatchLevelsCompareUnsigned) {
    struct Case {
        uint32_t level;
        uint32_t code;
        bool caught;
    };
    const Case cases[] = {
        {CATCH_ALL, THROW_ERROR, true},  // the highest level, not -1
        {CATCH_ALL, THROW_QUIT, true},
        {0x80000000, THROW_BREAK, true},  // negative if compared signed
        {CATCH_TRY, THROW_ERROR, true},
        {CATCH_TRY, THROW_THROW, true},
        {CATCH_LOOP, THROW_ERROR, false},
        {CATCH_LOOP, THROW_BREAK, true},
        {CATCH_LOOP, THROW_RETURN, true},
        {CATCH_CATCH, THROW_EXIT, false},
        {CATCH_CATCH, THROW_THROW, true},
        {CATCH_CATCH, THROW_QUIT, true},
        {0, THROW_QUIT, false},
    };
    for (const Case& c : cases) {
        uint32_t inner = 0;
        uint32_t outer = exits::run_caught(
            CATCH_ALL, [&] { inner = exits::run_caught(c.level, [&] { raise_code(c.code); }); });
        EXPECT_EQ(inner, c.caught ? c.code : 0u) << std::hex << c.level << " " << c.code;
        EXPECT_EQ(outer, c.caught ? 0u : c.code) << std::hex << c.level << " " << c.code;
    }
    EXPECT_EQ(exits::run_caught(CATCH_ALL, [] {}), 0u);
}

// Each exit is performed by a native (the last frame, whose first argument
// is the value and second the throw's name) above the frames described;
// the try at the bottom catches the errors of exits without a target.
TEST_F(Exits, WalksFindTheirTargetOrRaiseTheirError) {
    constexpr int ERROR = -1;
    struct Case {
        const char* frames;
        Exit exit;
        int target;      // index of the frame the exit lands on, or ERROR
        ErrorId error;   // when it fails
        int error_stop;  // frames left after the error: the try or barrier is popped
    };
    const ErrorId none = ErrorId(0);
    const Case cases[] = {
        {"TLEN", BREAK, 1, none, 0},
        {"TLEN", BREAK_VALUE, 1, none, 0},
        {"TLFLEN", CONTINUE, 3, none, 0},
        {"TLFEN", BREAK, 1, none, 0},  // a loop in the caller of a function
        {"TEN", BREAK, ERROR, ERR_throw_break, 0},
        {"TEN", CONTINUE, ERROR, ERR_throw_continue, 0},
        {"TLAEN", BREAK, ERROR, ERR_throw_break, 2},  // the barrier hides the loop
        {"TFEN", RETURN, 1, none, 0},
        {"TFLEN", RETURN, 1, none, 0},  // returns from the function, not the loop
        {"TFFEN", RETURN, 2, none, 0},
        {"TFEN", EXIT, 1, none, 0},
        {"TLEN", RETURN, ERROR, ERR_throw_return, 0},
        {"TFAEN", EXIT, ERROR, ERR_throw_return, 2},
        {"TCEN", THROW, 1, none, 0},
        {"TCFLEN", THROW, 1, none, 0},
        {"TEN", THROW, ERROR, ERR_throw_throw, 0},
        {"TCAEN", THROW, ERROR, ERR_throw_throw, 2},
    };
    for (const Case& c : cases) {
        empty_stacks();
        Built b = build(c.frames);
        int last = int(b.base.size()) - 1;
        std::string what = std::string(exit_name(c.exit)) + " in " + c.frames;

        uint32_t code = exits::run_caught(CATCH_TRY, [&] { perform(c.exit); });
        if (c.target == ERROR) {
            ASSERT_EQ(code, THROW_ERROR) << what;
            const ErrorThrow& e = exits::pending_error();
            EXPECT_EQ(e.id, c.error) << what;
            EXPECT_EQ(frames::frame_count(), c.error_stop) << what;
            EXPECT_EQ(symbol_of(e.where), G_SYMBOL) << what;  // the exit's own call
            if (c.exit == THROW) {
                EXPECT_EQ(cell::get_int(&e.args[0]), 10 * last) << what;
            }
            continue;
        }
        ASSERT_EQ(code, code_of(c.exit)) << what;
        EXPECT_EQ(frames::frame_count(), c.target + 1) << what;
        Cell* own_base = b.saved(c.target + 1);
        EXPECT_EQ(stack::arguments(), own_base) << what;
        switch (c.exit) {
            case BREAK_VALUE:
            case RETURN:
                EXPECT_EQ(stack::top(), own_base) << what;
                EXPECT_EQ(cell::get_int(own_base), 10 * last) << what;
                break;
            case THROW:
                EXPECT_EQ(stack::top(), own_base + 2) << what;
                EXPECT_EQ(cell::get_int(own_base), 10 * last) << what;
                EXPECT_EQ(cell::get_int(own_base + 1), 10 * last + 1) << what;
                break;
            default:
                EXPECT_EQ(stack::top(), own_base) << what;
                EXPECT_EQ(type_of(own_base), TYPE_UNSET) << what;
        }
    }
}

TEST_F(Exits, ReturnCanTargetTheTopFrameItself) {
    Built b = build("TFE");
    uint32_t code = exits::run_caught(CATCH_TRY, [] { exits::throw_return(true, true); });
    EXPECT_EQ(code, THROW_RETURN);
    EXPECT_EQ(frames::frame_count(), 2);
    EXPECT_EQ(stack::arguments(), b.base[1]);
    EXPECT_EQ(cell::get_int(b.base[1]), 20);

    empty_stacks();
    b = build("TF");
    code = exits::run_caught(CATCH_TRY, [] { exits::throw_return(false, true); });
    EXPECT_EQ(code, THROW_EXIT);
    EXPECT_EQ(frames::frame_count(), 2);
    EXPECT_EQ(stack::top(), b.base[1]);
    EXPECT_EQ(type_of(b.base[1]), TYPE_UNSET);
}

// try: the error unwinds to the try frame and pops it; the try native is
// back at its own base with its call below, and `where` names the
// innermost named call, not <body> or <anon>.
TEST_F(Exits, AnErrorLandsAtTheNearestTry) {
    Built outer = build("AN");
    Cell* try_base = stack::arguments();
    Cell try_word = word_of(CATCH_SYMBOL);
    Cell* kept_top = nullptr;
    uint32_t code = exits::run_caught(CATCH_TRY, [&] {
        frames::mark_try(&try_word);
        Built inner = build("LFEn");
        kept_top = stack::top();
        fire(ERR_script_past_end, &unset::g_unset);
    });
    ASSERT_EQ(code, THROW_ERROR);
    const ErrorThrow& e = exits::pending_error();
    EXPECT_EQ(e.id, ERR_script_past_end);
    EXPECT_EQ(type_of(&e.where), TYPE_WORD);
    EXPECT_EQ(symbol_of(e.where), F_SYMBOL);
    EXPECT_EQ(binding_of(e.where), 5u);
    EXPECT_EQ(type_of(&e.stack_position), TYPE_INTEGER);
    EXPECT_EQ(cell::get_int(&e.stack_position), 7);  // A N try L F E n
    EXPECT_EQ(frames::frame_count(), 2);
    EXPECT_EQ(stack::arguments(), try_base);
    EXPECT_EQ(stack::top(), kept_top + 1);  // the error is pushed where the top was
    EXPECT_EQ(type_of(kept_top), TYPE_ERROR);
    EXPECT_EQ(cell::get_int(outer.base[1]), 10);
}

TEST_F(Exits, AnErrorWithNoFrameGoesToTheCppCaller) {
    EXPECT_EQ(error_of([] { fire(ERR_math_zero_divide); }), "math/zero-divide");
    EXPECT_TRUE(frames::frames_empty());
}

TEST_F(Exits, AnErrorNobodyCatchesEndsTheProcessWith254) {
    ChildResult r = run_helper("uncaught-error");
    EXPECT_EQ(r.status, 254);
    EXPECT_EQ(r.out,
              "*** Math Error: attempt to divide by zero\n*** Where: /\n*** Near : 1 / 0\n*** Stack: \n");
}

// catch: the site starts before its catch frame; a caught throw drops that
// frame and leaves the site at its own base with the value and the name above.
TEST_F(Exits, ACatchSiteGetsTheThrownValueAndName) {
    build("TN");
    Cell* catch_base = stack::arguments();
    Cell* catch_frame_base = nullptr;
    uint32_t code = exits::run_caught(CATCH_CATCH, [&] {
        frames::mark_catch(&body_);
        catch_frame_base = stack::arguments();
        build("FEN");
        exits::throw_value(THROW_THROW);
    });
    EXPECT_EQ(code, THROW_THROW);
    EXPECT_EQ(exits::throw_code(), THROW_THROW);
    EXPECT_EQ(frames::frame_count(), 2);
    EXPECT_EQ(stack::arguments(), catch_base);
    EXPECT_EQ(stack::top(), catch_frame_base + 2);
    EXPECT_EQ(cell::get_int(stack::top() - 2), 20);  // the throw's value
    EXPECT_EQ(cell::get_int(stack::top() - 1), 21);  // and its name
    exits::end_throw();
    EXPECT_EQ(exits::throw_code(), 0u);
}

// A throw that a catch passes on (its name did not match) still names the
// call that threw; once a throw is handled that position is forgotten.
TEST_F(Exits, AThrowPassedOnNamesItsThrower) {
    for (bool handled : {false, true}) {
        empty_stacks();
        build("T");
        Cell catch_word = word_of(CATCH_SYMBOL);
        frames::mark_interp_native(&catch_word);
        stack::push(&unset::g_unset);
        stack::push(&unset::g_unset);
        exits::run_caught(CATCH_CATCH, [&] {
            frames::mark_catch(&body_);
            build("EN");
            exits::throw_value(THROW_THROW);
        });
        if (handled) exits::end_throw();
        // Put the value and the name back as the catch's arguments and throw on.
        Cell* thrown = stack::top() - 2;
        stack::set_last(thrown);
        copy_cell(thrown + 1, stack::arguments() + 1);
        exits::run_caught(CATCH_TRY, [] { exits::throw_value(THROW_THROW); });
        const ErrorThrow& e = exits::pending_error();
        EXPECT_EQ(e.id, ERR_throw_throw);
        EXPECT_EQ(cell::get_int(&e.args[0]), 10);
        EXPECT_EQ(symbol_of(e.where), handled ? CATCH_SYMBOL : G_SYMBOL);
    }
}

// A code above a site's level passes it by; a site below its target, like a
// function body that a break crosses, passes it on after its guards ran.
TEST_F(Exits, CodesPassSitesThatAreNotTheirTarget) {
    Built loop = build("TL");
    Node context = make_context(111);
    uint32_t loop_code = exits::run_caught(CATCH_LOOP, [&] {
        Cell f = word_of(F_SYMBOL);
        frames::mark_interp_func(&f);
        frames::set_body_flag(true);
        struct ValuesGuard {
            Node context;
            uint32_t saved;
            ~ValuesGuard() { frames::context_values(context) = saved; }
        } guard{context, frames::context_values(context)};
        frames::context_values(context) = stack::values_ref(stack::arguments());
        uint32_t body_code = exits::run_caught(CATCH_TRY, [&] {
            uint32_t catch_code = exits::run_caught(CATCH_CATCH, [&] {
                build("CEN");
                exits::throw_break(true, false);
            });
            ADD_FAILURE() << "catch stopped code " << catch_code;
        });
        EXPECT_EQ(body_code, THROW_BREAK);
        EXPECT_EQ(frames::frame_count(), 2);  // the break has already landed
        exits::rethrow(body_code);
    });
    EXPECT_EQ(loop_code, THROW_BREAK);
    EXPECT_EQ(frames::context_values(context), 111u);
    EXPECT_EQ(frames::frame_count(), 2);
    EXPECT_EQ(stack::arguments(), loop.base[1]);
    EXPECT_EQ(stack::top(), stack::arguments());
    EXPECT_EQ(cell::get_int(stack::arguments()), 20);
}

TEST_F(Exits, ARethrownErrorKeepsItsContent) {
    build("T");
    Cell seven = integer_of(7);
    exits::run_caught(CATCH_TRY, [&] {
        uint32_t code = exits::run_caught(CATCH_TRY, [&] {
            Cell w = word_of(CATCH_SYMBOL);
            frames::mark_try(&w);
            fire(ERR_script_out_of_range, &seven);
        });
        exits::rethrow(code);
    });
    const ErrorThrow& e = exits::pending_error();
    EXPECT_EQ(e.id, ERR_script_out_of_range);
    EXPECT_EQ(e.argc, 1);
    EXPECT_EQ(cell::get_int(&e.args[0]), 7);
}

// ---- Overflow ------------------------------------------------------------------------

TEST_F(Exits, EveryArgumentCellIsUsableAndOneMoreOverflows) {
    for (int round = 0; round < 2; round++) {
        for (int i = 0; i < stack::ARGUMENT_CELLS; i++) none::push();
        EXPECT_EQ(stack::depth(), stack::ARGUMENT_CELLS);
        EXPECT_EQ(error_of([] { none::push(); }), "internal/stack-overflow");
        EXPECT_EQ(stack::depth(), stack::ARGUMENT_CELLS + 1 - stack::OVERFLOW_HEADROOM);
        none::push();  // the headroom
        stack::reset();
    }
}

// Under a try, overflowing either stack ends at the try, and the stacks can
// be filled to the same depth again.
TEST_F(Exits, OverflowOfEitherStackRecoversAtATry) {
    Cell try_word = word_of(CATCH_SYMBOL);
    struct Case {
        const char* what;
        int cells_per_frame;
        int expected_frames;  // at the raise
    };
    // Enough cells per frame that the argument stack fills first.
    constexpr int per_frame = 4 * std::max(1, stack::ARGUMENT_CELLS / 2 / frames::CALL_FRAMES);
    const Case cases[] = {
        {"frames", 0, frames::CALL_FRAMES},
        {"cells", per_frame, 2 + stack::ARGUMENT_CELLS / per_frame},  // the native, the try, one frame per so many cells
    };
    for (const Case& c : cases) {
        empty_stacks();
        stack::push(&unset::g_unset);
        frames::mark_interp_native(&try_word);
        Cell* try_base = stack::arguments();
        for (int round = 0; round < 2; round++) {
            uint32_t code = exits::run_caught(CATCH_TRY, [&] {
                frames::mark_try(&try_word);
                for (;;) {
                    frames::mark_eval(&body_);
                    for (int i = 0; i < c.cells_per_frame; i++) none::push();
                }
            });
            ASSERT_EQ(code, THROW_ERROR) << c.what;
            const ErrorThrow& e = exits::pending_error();
            EXPECT_EQ(e.id, ERR_internal_stack_overflow) << c.what;
            EXPECT_EQ(cell::get_int(&e.stack_position), c.expected_frames) << c.what;
            EXPECT_EQ(frames::frame_count(), 1) << c.what;
            EXPECT_EQ(stack::arguments(), try_base) << c.what;
            EXPECT_GE(stack::top(), try_base) << c.what;
            exits::end_throw();
            stack::reset();
        }
    }
}

// A full argument stack gives its headroom back below the top, which may be
// below the base of the try that catches: the error's place is not.
TEST_F(Exits, TheErrorOfAFullStackLandsAboveTheCatchingBase) {
    while (stack::top() < stack::g_end - 2) none::push();
    Cell try_word = word_of(CATCH_SYMBOL);
    frames::mark_interp_native(&try_word);
    Cell* try_base = stack::arguments();
    uint32_t code = exits::run_caught(CATCH_TRY, [&] {
        frames::mark_try(&try_word);
        for (;;) none::push();
    });
    ASSERT_EQ(code, THROW_ERROR);
    EXPECT_EQ(stack::arguments(), try_base);
    EXPECT_GE(stack::top(), try_base);
}
