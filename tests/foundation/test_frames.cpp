// Call frames: what each push records, where each pop and unwind leaves the
// two stacks, and the call-stack queries.
#include <string>
#include <utility>
#include <vector>

#include "foundation/frames.h"
#include "foundation/memory.h"
#include "tests/support/fields.h"
#include "tests/support/stack_env.h"

using namespace zel;
using namespace zel::test;

namespace {

Cell block_on(Node node) {
    Cell b;
    cell::set(&b, TYPE_BLOCK, 0, node);
    return b;
}

// Copies of all the cells of a block, from its first.
std::vector<Cell> cells_copied(const Cell& block) {
    Series* s = memory::series_of(node_of(block));
    return std::vector<Cell>(s->cells(), s->cells() + s->used() / 16);
}

class Frames : public StackTest {};

}  // namespace

TEST_F(Frames, MarkRecordsTheWholeSymbolAndStartsANewBase) {
    stack::push(&unset::g_unset);
    Cell w = word_of(F_SYMBOL, 4242);
    frames::CallFrame* f = frames::mark_interp_func(&w);
    EXPECT_EQ(f->symbol, F_SYMBOL);
    EXPECT_EQ(f->word_context, 4242u);
    EXPECT_EQ(f->saved_base, stack::bottom());
    EXPECT_EQ(f->function_context, 0u);
    EXPECT_EQ(stack::arguments(), stack::bottom() + 1);
    EXPECT_EQ(stack::top(), stack::arguments());
    EXPECT_EQ(frames::frame_count(), 1);

    struct Case {
        frames::CallFrame* (*mark)(const Cell*);
        int kind;
        bool interpreted;
    };
    const Case cases[] = {
        {[](const Cell* w) { return frames::mark_func(w); }, 1, false},
        {frames::mark_native, 2, false},
        {frames::mark_try, 4, false},
        {frames::mark_try_all, 5, false},
        {frames::mark_catch, 6, false},
        {frames::mark_eval, 7, true},
        {frames::mark_loop, 8, false},
        {frames::mark_interp_native, 2, true},
        {frames::mark_interp_func, 1, true},
    };
    for (const Case& c : cases) {
        frames::CallFrame* g = c.mark(&w);
        EXPECT_EQ(g->kind(), c.kind);
        EXPECT_EQ(g->interpreted(), c.interpreted) << "kind " << c.kind;
        EXPECT_FALSE(g->body());
    }
}

TEST_F(Frames, EachPopLeavesTheStacksWhereItsRowSays) {
    enum Top { CALL_BASE, CALL_BASE_PLUS_1, SAVED_BASE };
    struct Case {
        const char* name;
        void (*pop)();
        Top top;
        bool restores_context;
        bool copies_result;
    };
    const Case cases[] = {
        {"pop_frame", frames::pop_frame, CALL_BASE, true, false},
        {"unwind", frames::unwind, CALL_BASE_PLUS_1, false, false},
        {"unwind_func", frames::unwind_func, CALL_BASE_PLUS_1, true, false},
        {"unwind_func_reset", frames::unwind_func_reset, SAVED_BASE, true, false},
        {"unwind_reset", frames::unwind_reset, SAVED_BASE, false, false},
        {"unwind_last", [] { frames::unwind_last(); }, CALL_BASE_PLUS_1, false, true},
        {"unwind_func_last", [] { frames::unwind_func_last(); }, CALL_BASE_PLUS_1, true, true},
    };
    for (const Case& c : cases) {
        empty_stacks();
        Built b = build("Ef");
        Cell* caller = b.base[0];
        Cell* call = b.base[1];
        c.pop();
        EXPECT_EQ(frames::frame_count(), 1) << c.name;
        EXPECT_EQ(stack::arguments(), caller) << c.name;
        Cell* top = c.top == CALL_BASE ? call : c.top == CALL_BASE_PLUS_1 ? call + 1 : caller;
        EXPECT_EQ(stack::top(), top) << c.name;
        EXPECT_EQ(frames::context_values(b.context), c.restores_context ? 111u : 222u) << c.name;
        EXPECT_EQ(cell::get_int(caller), c.copies_result ? 10 : 0) << c.name;
    }
}

TEST_F(Frames, PoppingTheLastFrameEmptiesBothStacks) {
    build("EE");
    frames::pop_frame();
    EXPECT_NE(stack::arguments(), stack::bottom());
    frames::pop_frame();
    EXPECT_TRUE(frames::frames_empty());
    EXPECT_EQ(stack::arguments(), stack::bottom());
    EXPECT_EQ(stack::top(), stack::bottom());
}

TEST_F(Frames, UnwindToKindStopsAtTheKindABarrierOrTheBottom) {
    constexpr int BOTTOM = -1;
    struct Case {
        const char* frames;
        int kind;
        bool keep;
        int found;
        int arguments;  // own base of this frame, or BOTTOM
        int top;        // own base of this frame + 1, or BOTTOM
        bool context_restored;
    };
    const Case cases[] = {
        {"ELfE", 8, false, 1, 0, 3, true},
        {"ELfE", 8, true, 1, 1, 3, true},
        {"ELfE", 7, true, 3, 3, 3, false},  // the top frame itself: only its result stays
        {"ELfE", 7, false, 3, 2, 3, false},
        {"ELfE", 4, false, 0, BOTTOM, BOTTOM, true},
        {"ELfE", 4, true, 0, 0, 3, true},
        {"ELAfE", 8, false, 2, 1, 4, true},  // the barrier stops the walk
        {"ELAfE", 5, true, 2, 2, 4, true},
        {"E", 8, false, 0, BOTTOM, BOTTOM, false},
    };
    for (const Case& c : cases) {
        empty_stacks();
        Built b = build(c.frames);
        std::string what =
            std::string(c.frames) + " kind " + std::to_string(c.kind) + (c.keep ? " keep" : "");
        frames::CallFrame* found = frames::unwind_to_kind(c.kind, c.keep);
        EXPECT_EQ(found, frames::g_frame_bottom + c.found) << what;
        EXPECT_EQ(frames::frame_count(), c.found + 1) << what;
        EXPECT_EQ(stack::arguments(), c.arguments == BOTTOM ? stack::bottom() : b.base[c.arguments])
            << what;
        EXPECT_EQ(stack::top(), c.top == BOTTOM ? stack::bottom() : b.base[c.top] + 1) << what;
        if (b.context) {
            EXPECT_EQ(frames::context_values(b.context), c.context_restored ? 111u : 222u) << what;
        }
    }
}

TEST_F(Frames, UnwindToCopiesTheResultIntoTheFoundCallsOwnBase) {
    Built b = build("ELEE");
    Cell result = integer_of(99);
    stack::set_last(&result);
    frames::unwind_to(8);
    EXPECT_EQ(frames::frame_count(), 2);
    EXPECT_EQ(stack::arguments(), b.base[1]);
    EXPECT_EQ(stack::top(), b.base[1]);
    EXPECT_EQ(cell::get_int(b.base[1]), 99);
    EXPECT_EQ(cell::get_int(b.base[0]), 0);  // the caller's cells are untouched

    empty_stacks();
    b = build("EL");
    frames::unwind_to(8);
    EXPECT_EQ(frames::frame_count(), 2);
    EXPECT_EQ(stack::arguments(), b.base[1]);
    EXPECT_EQ(stack::top(), b.base[1]);
    EXPECT_EQ(cell::get_int(b.base[1]), 10);
}

// The frame below the top is claimed as a body only when a return from
// there has a function body to reach, with no barrier (try/all) between.
TEST_F(Frames, ClaimingTheCallersFrameAsABody) {
    struct Case {
        const char* frames;
        bool claimed;
    } cases[] = {
        {"NE", false},    // no body below: nothing to reach
        {"FNE", true},    // a function below the caller
        {"FTNE", true},   // a try is no barrier
        {"FANE", false},  // try/all is
        {"FAE", false},   // the caller is the barrier itself
        {"FE", false},    // the caller is a body already
    };
    for (const Case& c : cases) {
        empty_stacks();
        build(c.frames);
        frames::CallFrame* caller = frames::g_frame_top - 2;
        bool was_body = caller->body();
        frames::CallFrame* claimed = frames::claim_body_flag();
        EXPECT_EQ(claimed, c.claimed ? caller : nullptr) << c.frames;
        EXPECT_EQ(caller->body(), c.claimed || was_body) << c.frames;
        if (claimed) {
            EXPECT_EQ(frames::claim_body_flag(), nullptr) << c.frames;  // already a body
            frames::clear_body_flag(caller);
            EXPECT_FALSE(caller->body()) << c.frames;
        }
    }
}

TEST_F(Frames, BodyAndInterpreterFlags) {
    build("NE");

    frames::set_body_flag(true);
    EXPECT_TRUE(frames::top_frame()->body());
    frames::set_body_flag(false);
    EXPECT_FALSE(frames::top_frame()->body());

    Cell w = word_of(G_SYMBOL);
    frames::mark_native(&w);
    EXPECT_FALSE(frames::top_frame()->interpreted());
    frames::set_interp_flag();
    EXPECT_TRUE(frames::top_frame()->interpreted());
}

TEST_F(Frames, CallWordNamesTheInnermostNamedFrame) {
    build("ENEn");
    Cell w = frames::get_call_word();
    EXPECT_EQ(type_of(&w), TYPE_WORD);
    EXPECT_EQ(binding_of(w), 9u);
    EXPECT_EQ(symbol_of(w), G_SYMBOL);
    EXPECT_EQ(slot_of(w), -1);

    // From the position where a throw began, which is then forgotten.
    empty_stacks();
    build("FENE");
    frames::g_saved_frame = frames::g_frame_bottom + 2;
    w = frames::get_call_word();
    EXPECT_EQ(symbol_of(w), F_SYMBOL);
    EXPECT_EQ(frames::g_saved_frame, nullptr);
    EXPECT_EQ(symbol_of(frames::get_call_word()), G_SYMBOL);

    empty_stacks();
    build("EnE");
    w = frames::get_call_word();
    EXPECT_EQ(type_of(&w), TYPE_NONE);
    empty_stacks();
    w = frames::get_call_word();
    EXPECT_EQ(type_of(&w), TYPE_NONE);
}

TEST_F(Frames, EvalLooksBelowTheGivenFrame) {
    Cell w = word_of(G_SYMBOL);
    frames::mark_interp_native(&w);
    frames::mark_native(&w);
    frames::mark_native(&w);
    EXPECT_TRUE(frames::eval_q(nullptr, false));
    EXPECT_FALSE(frames::eval_q(nullptr, true));
    EXPECT_TRUE(frames::eval_q(frames::g_frame_bottom + 1, true));
    EXPECT_FALSE(frames::eval_q(frames::g_frame_bottom, false));
}

TEST_F(Frames, CollectCallsListsNamedFramesFromTheTop) {
    Built b = build("NfEN");
    frames::set_global_context(777);
    Cell block = block_on(memory::alloc_cells(4));
    frames::collect_calls(&block);
    frames::set_global_context(0);
    std::vector<Cell> got = cells_copied(block);
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(type_of(&got[0]), TYPE_WORD);
    EXPECT_EQ(binding_of(got[0]), 777u);  // no function context: the global one
    EXPECT_EQ(symbol_of(got[0]), G_SYMBOL);
    EXPECT_EQ(cell::get_int(&got[1]), int(b.saved(3) - stack::bottom()));
    EXPECT_EQ(binding_of(got[2]), b.context);
    EXPECT_EQ(symbol_of(got[2]), F_SYMBOL);
    EXPECT_EQ(type_of(&got[3]), TYPE_INTEGER);
    EXPECT_EQ(cell::get_int(&got[3]), int(b.saved(1) - stack::bottom()));
}

TEST_F(Frames, ListCallsWalksUpToThePositionAndNoFurtherThanTheRecords) {
    build("NEFN");
    Cell block = block_on(memory::alloc_cells(4));
    frames::list_calls(2, &block, 3);
    std::vector<Cell> got = cells_copied(block);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(symbol_of(got[0]), G_SYMBOL);
    EXPECT_EQ(binding_of(got[0]), 9u);
    EXPECT_EQ(symbol_of(got[1]), F_SYMBOL);

    // A position from a script-set stack field stays inside the records.
    Cell other = block_on(memory::alloc_cells(4));
    frames::list_calls(2, &other, -7);
    EXPECT_TRUE(cells_copied(other).empty());
    frames::list_calls(2, &other, 1 << 30);
    EXPECT_GE(cells_copied(other).size(), 3u);
}

// At depth 1 only the frames whose word holds a function! in its context
// are listed; the words layer answers that, and a frame with no word context
// is never asked about.
TEST_F(Frames, ListCallsAtDepthOneKeepsTheWordsThatHoldAFunction) {
    build("NLFN");
    static std::vector<std::pair<Node, uint32_t>> asked;
    asked.clear();
    frames::FunctionTest previous = frames::set_function_test([](Node context, uint32_t symbol) {
        asked.emplace_back(context, symbol);
        return symbol == F_SYMBOL;
    });
    Cell block = block_on(memory::alloc_cells(4));
    frames::list_calls(1, &block, 4);
    frames::set_function_test(previous);
    std::vector<Cell> got = cells_copied(block);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].data1, 5u);
    EXPECT_EQ(got[0].data2, F_SYMBOL);
    using Asked = std::pair<Node, uint32_t>;
    EXPECT_EQ(asked, (std::vector<Asked>{{9, G_SYMBOL}, {5, F_SYMBOL}, {9, G_SYMBOL}}));
}

TEST_F(Frames, ListCallsAtDepthOneWithoutTheWordsLayerEndsTheProcess) {
    build("N");
    Cell block = block_on(memory::alloc_cells(4));
    EXPECT_EXIT(
        {
            frames::set_function_test(nullptr);
            frames::list_calls(1, &block, 1);
        },
        ::testing::ExitedWithCode(98),
        "Start-up Error: the function test of the call list used before its module registered it");
}

namespace {
std::vector<Node> g_marked_blocks, g_marked_contexts;
}  // namespace

TEST_F(Frames, MarkFramesReportsEveryNodeTheFramesHold) {
    Cell named = word_of(G_SYMBOL, 11), self = word_of(SELF_SYMBOL, 12), unbound = word_of(F_SYMBOL);
    Node in_series = make_context(555, false);
    Node on_stack = make_context(0, true);
    frames::mark_native(&named);
    frames::mark_native(&self);
    frames::mark_func(&unbound, in_series);
    frames::mark_func(&unbound, on_stack);
    frames::context_values(on_stack) = stack::values_ref(stack::arguments());

    g_marked_blocks.clear();
    g_marked_contexts.clear();
    frames::mark_frames({[](Node n) { g_marked_blocks.push_back(n); },
                        [](Node n) { g_marked_contexts.push_back(n); }});
    EXPECT_EQ(g_marked_blocks, (std::vector<Node>{12, 555}));
    EXPECT_EQ(g_marked_contexts, (std::vector<Node>{11, in_series, on_stack}));
}

TEST_F(Frames, ValuesReferencesTellTheBottomCellFromNoCall) {
    EXPECT_NE(stack::values_ref(stack::bottom()), 0u);
    EXPECT_EQ(stack::values_cells(stack::values_ref(stack::bottom())), stack::bottom());
    EXPECT_EQ(stack::values_cells(stack::values_ref(stack::bottom() + 19999)),
              stack::bottom() + 19999);
    EXPECT_EQ(stack::values_cells(0), nullptr);
}
