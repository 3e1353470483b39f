// The collector: marking at any depth, what reachable values keep and what
// dropping them frees, the roots C++ code registers, compaction, recycle and
// stats, and the external-resource registry. (What Zel code sees of it:
// tests/cases/collector.cases.)
#include <cstring>

#include "foundation/collector.h"
#include "foundation/ext_res.h"
#include "foundation/root.h"
#include "foundation/slot_store.h"
#include "interpreter/eval.h"
#include "interpreter/exits.h"
#include "interpreter/natives.h"
#include "series/hash_table.h"
#include "series/ownership.h"
#include "series/series.h"
#include "series/unicode.h"
#include "tests/support/eval_env.h"

using namespace zel;
using namespace zel::test;

namespace {

// The suite's stress pass (ZEL_GC_STRESS set) stresses a share of the
// allocations; the collector's own tests then stress every one of them, and
// their long loops are cut short. Vacated frames are held back, unreadable,
// for a while.
bool stressed() {
#ifdef ZEL_GC_STRESS
    return collector::stress_one_in() != 0;
#else
    return false;
#endif
}

#ifdef ZEL_GC_STRESS
::testing::Environment* const g_stress_every_time = ZEL_FILE_ENVIRONMENT([] {
    if (collector::stress_one_in()) collector::set_stress(1, 0);
});
#endif

int loop_count() { return stressed() ? 2000 : 1000000; }
double held_back() { return stressed() ? 4 * 2097152.0 : 0; }

// A freed node's slot holds a free-list link (or, in stress builds, an
// unmapped address), never a buffer.
bool freed(Node n) {
    memory::NodeFrame* f = memory::frame_of_node(n);
    return !f || memory::g_node_slots[n >> memory::NODE_SLOT_BITS][n & memory::NODE_SLOT_MASK].link < 0x10000;
}

Cell* global_cell(const char* name) {
    Cell w = word::load(name);
    return const_cast<Cell*>(context::get(&w));
}

double number(const Cell& c) { return type_of(&c) == TYPE_FLOAT ? cell::get_float(&c) : cell::get_int(&c); }

// The nodes a value holds, by type: what must live while it lives.
std::vector<Node> nodes_of(const Cell& v) {
    std::vector<Node> nodes;
    auto add = [&](uint32_t n) {
        if (n) nodes.push_back(n);
    };
    switch (type_of(&v)) {
        case TYPE_OBJECT:
            add(v.data1);
            add(context::cell_of(v.data1)->data2);  // its values
            // its word table, unless shared: objects of its shape made
            // later take it again (context.h)
            if (!context::shared_keys_q(v.data1)) add(context::cell_of(v.data1)->data1);
            add(v.data3);
            break;
        case TYPE_FUNCTION:
            add(v.data1);
            add(v.data2);
            add(v.data3);
            break;
        default:  // series, map!, hash!, texts and their conversion buffers
            add(v.data2);
            add(v.data3);
            break;
    }
    return nodes;
}

}  // namespace

// ---- Marking ----------------------------------------------------------------------------------

TEST(CollectorMarking, BlockNestedAMillionDeepSurvives) {
    constexpr int DEPTH = 1000000;
    {
        collector::Pause pause;
        Cell outer;
        block::make_at(&outer, 1);
        Cell inner = outer;
        for (int i = 1; i < DEPTH; i++) {
            Cell next;
            block::make_at(&next, 1);
            block::append_cell(&inner, &next);
            inner = next;
        }
        set_global("deep", outer);
    }
    EXPECT_EQ(eval("type? recycle"), "integer!");
    Cell b = *global_cell("deep");
    int depth = 1;
    while (block::length_q(&b) == 1) {
        b = *memory::series_of(b.data2)->cells();
        depth++;
    }
    EXPECT_EQ(depth, DEPTH);
    EXPECT_EQ(eval("deep: none type? recycle"), "integer!");
    EXPECT_TRUE(freed(b.data2));
}

TEST(CollectorMarking, ReachableValuesLiveAndDroppedOnesAreFreed) {
    struct Case {
        const char* make;   // sets v
        const char* check;  // after a collection, with v alive (null: its cells as a block)
        const char* expected;
    };
    const Case cases[] = {
        {"v: make object! [a: \"text\" b: [1 2]]", "reduce [v/a v/b]", "[\"text\" [1 2]]"},
        {"v: func [x] [x + 1]", "v 2", "3"},
        {"v: #[a 1 b \"two\"]", nullptr, "[a: 1 b: \"two\"]"},  // its pairs, as a block
        {"v: make hash! [a 1 b 2]", "select v 'b", "2"},
        {"v: copy \"abc\"", "v", "\"abc\""},
        {"v: [[nested [deeper]] (paren) a/path]", "v", "[[nested [deeper]] (paren) a/path]"},
    };
    for (const Case& c : cases) {
        eval(c.make);
        Cell* v = global_cell("v");
        if (type_of(v) == TYPE_STRING) {
            int limit = -1;
            unicode::to_utf8(v, limit);  // the text gets its conversion buffer
            ASSERT_NE(v->data3, 0u) << c.make;
        }
        std::vector<Node> nodes = nodes_of(*v);
        eval("recycle");
        for (Node n : nodes) EXPECT_FALSE(freed(n)) << c.make;
        Cell cells{TYPE_BLOCK, 0, global_cell("v")->data2, 0};
        EXPECT_EQ(c.check ? eval(c.check) : mold_of(cells), c.expected) << c.make;
        eval("v: none recycle");
        for (Node n : nodes) EXPECT_TRUE(freed(n)) << c.make << " node " << n;
    }
}

TEST(CollectorMarking, OwnedSeriesKeepTheirEntriesWhileTheOwnerLives) {
    Node table = ownership::table();
    eval("recycle");
    int32_t before = hash_table::record(table)->live;
    eval("o: make object! [b: copy [1 2] n: 0 on-deep-change*: func [owner word target action new index part] ["
         "n: n + 1]]");
    EXPECT_GT(hash_table::record(table)->live, before);
    eval("recycle");
    EXPECT_EQ(eval("append o/b 3 o/n > 0"), "true");
    eval("o: none recycle");
    EXPECT_EQ(hash_table::record(table)->live, before);
}

// ---- Roots held by C++ -------------------------------------------------------------------------

TEST(CollectorRoots, AGuardKeepsALocalAlive) {
    Node kept = 0;
    {
        Cell local;
        block::make_at(&local, 4);
        gc::root keep(&local);
        kept = local.data2;
        collector::do_cycle();
        EXPECT_FALSE(freed(kept));
    }
    collector::do_cycle();
    EXPECT_TRUE(freed(kept));
}

namespace {
Node g_callback_node = 0;
int g_callback_calls = 0;
void mark_test_node() {
    g_callback_calls++;
    collector::mark_node(g_callback_node);
}
void count_call() { g_callback_calls++; }
}  // namespace

TEST(CollectorRoots, MarkCallbacksRunInEveryCycleAndTheirTableGrows) {
    g_callback_node = memory::alloc_bytes(8);
    collector::add_mark_callback(mark_test_node);
    collector::do_cycle();
    EXPECT_FALSE(freed(g_callback_node));
    collector::remove_mark_callback(mark_test_node);
    collector::do_cycle();
    EXPECT_TRUE(freed(g_callback_node));

    // More than the hundred entries the table starts with.
    for (int i = 0; i < 150; i++) collector::add_mark_callback(count_call);
    g_callback_calls = 0;
    collector::do_cycle();
    EXPECT_EQ(g_callback_calls, 150);
    for (int i = 0; i < 150; i++) collector::remove_mark_callback(count_call);
    g_callback_calls = 0;
    collector::do_cycle();
    EXPECT_EQ(g_callback_calls, 0);
}

// ---- Roots the modules register ----------------------------------------------------------------

// Every module above the foundation registers its roots from its init, and
// shutdown forgets every registration: a run-time started again has them all
// back, or the first cycle frees what only they hold.
TEST(CollectorRoots, EveryStartRegistersEachModulesRootsAgain) {
    const char* owned = "o: make object! [b: copy [1 2] n: 0 on-deep-change*: func [owner word target action new "
                        "index part] [n: n + 1]] recycle append o/b 3 o/n > 0";
    for (int start = 0; start < 2; start++) {
        runtime::shutdown();
        boot_environment();
        Cell text = eval_value("copy \"ab\"");
        gc::root keep(&text);
        series::take(&text, nullptr, false, false);
        stack::pop(1);
        eval("try [1 / 0] none");
        Cell position;
        block::make_at(&position, 1);
        interpreter::g_code_position = position;
        const struct {
            const char* what;
            Node node;
        } roots[] = {
            {"the root block", root::g_block.data2},
            {"the symbol table", hash_table::g_symbol_table},
            {"the ownership table", ownership::table()},
            {"take's buffer", series::take_buffer()},
            {"the slot store", slot_store::block()},
            {"the print buffer", natives::g_print_buffer.data2},
            {"the pending error", exits::pending_error().value.data1},
            {"the code position", position.data2},
        };
        collector::do_cycle();
        for (const auto& r : roots) {
            ASSERT_NE(r.node, 0u) << r.what;
            EXPECT_FALSE(freed(r.node)) << r.what << ", start " << start;
        }
        cell::set(&interpreter::g_code_position, TYPE_UNSET);
        // The ownership table's entries are kept and swept again.
        EXPECT_EQ(eval(owned), "true") << "start " << start;
    }
}

#ifdef ZEL_GC_STRESS
namespace {
Node g_stale_node = 0;
}  // namespace

// A stress build names the registration through which marking reached a
// freed node: the module that kept a stale value.
TEST(CollectorRootsDeathTest, AFreedNodeReachedIsReportedWithTheRegistrationThatHeldIt) {
    g_stale_node = memory::alloc_bytes(8);
    collector::do_cycle();
    ASSERT_TRUE(freed(g_stale_node));
    EXPECT_EXIT(
        {
            collector::add_mark_callback([] { collector::mark_node(g_stale_node); }, "the test's stale node");
            collector::do_cycle();
        },
        ::testing::ExitedWithCode(98), "node [0-9]+, reached from the test's stale node, was freed");
}
#endif

// ---- Compaction and memory -----------------------------------------------------------------------

TEST(CollectorCompaction, LiveBuffersMoveAndKeepTheirContent) {
    Cell live;
    cell::set(&live, TYPE_NONE);
    gc::root keep(&live);
    for (int i = 0; i < 2000; i++) memory::alloc_cells(8);  // garbage below the live block
    live = load_block("[1 \"two\" [three]]");
    collector::do_cycle();
    uint32_t moves = memory::g_buffer_moves;
    Series* before = memory::series_of(live.data2);
    collector::compact();
    EXPECT_NE(memory::g_buffer_moves, moves);
    EXPECT_NE(memory::series_of(live.data2), before);
    EXPECT_EQ(mold_of(live), "[1 \"two\" [three]]");
}

TEST(CollectorCompaction, EmptiedFramesAreReleased) {
    eval("recycle");
    size_t held = memory::g_record.total;
    // Blocks of eight cells, some 180 bytes each.
    int count = stressed() ? 3000 : 20000;
    eval("big: copy [] loop " + std::to_string(count) + " [append big copy [1 2 3 4 5 6 7 8]]");
    // (Under stress, held-back frames come and go with every compaction.)
    if (!stressed()) {
        EXPECT_GT(memory::g_record.total, held + size_t(count) * 100);
    }
    eval("big: none recycle");
    EXPECT_LE(double(memory::g_record.total), double(held) + 4.2e6 + held_back());
}

TEST(CollectorMemory, BuildingAndDroppingBlocksStaysBounded) {
    double live = number(eval_value("recycle"));
    std::string n = std::to_string(loop_count());
    // The peak seen between expressions, and what the process holds after a
    // loop whose body is one expression.
    double peak = number(eval_value("m: 0 loop " + n + " [b: copy [1 2 3 4] if m < stats [m: stats]] m"));
    EXPECT_LT(peak, 2 * live + 8e6) << "live " << live;
    size_t held = memory::g_record.total;
    eval("loop " + n + " [copy [1 2 3 4 5 6 7 8]]");
    EXPECT_LT(double(memory::g_record.total), double(held) + 8e6 + held_back());
    eval("loop " + n + " [copy \"a short string that is dropped\"]");
    EXPECT_LT(double(memory::g_record.total), double(held) + 8e6 + held_back());
}

// Allocation starts a cycle once it has made half as much as the last cycle
// left live: much live data is not marked again after every frame of
// garbage, and little live data is still collected every 2 MB.
TEST(CollectorMemory, CyclesComeLessOftenAsLiveDataGrows) {
    if (stressed()) GTEST_SKIP() << "every allocation collects";
    eval("keep: make block! 100000 loop 100000 [append/only keep copy [1 2 3 4 5 6 7 8]] recycle");
    uint32_t cycles = collector::cycle_count();
    eval("loop 30000 [copy [1 2 3 4 5 6 7 8]]");  // about 5 MB, a third of what is live
    EXPECT_EQ(collector::cycle_count(), cycles);
    eval("keep: none recycle");
    cycles = collector::cycle_count();
    eval("loop 30000 [copy [1 2 3 4 5 6 7 8]]");
    EXPECT_GT(collector::cycle_count(), cycles);
}

// ---- recycle and stats -------------------------------------------------------------------------------

// What stats counts once it has its argument cache equals what recycle
// answers (the other answers: tests/cases/collector.cases).
TEST(CollectorNatives, StatsEqualsWhatRecycleAnswers) {
    expect_results({
        {"stats equal? recycle stats", "true"},
    });
}

TEST(CollectorNatives, RecycleOffHoldsCollectionsBackUntilOn) {
    // Some 20 MB of garbage outside stress builds: past the pace.
    std::string garbage = "loop " + std::to_string(loop_count() / 10) + " [copy [1 2 3 4 5 6 7 8]]";
    eval("recycle/off");
    EXPECT_FALSE(collector::active());
    uint32_t cycles = collector::cycle_count();
    eval(garbage);
    EXPECT_EQ(collector::cycle_count(), cycles);
    eval("recycle");  // runs whatever the flag says
    EXPECT_EQ(collector::cycle_count(), cycles + 1);
    eval("recycle/on");
    EXPECT_TRUE(collector::active());
    eval(garbage);
    EXPECT_GT(collector::cycle_count(), cycles + 1);
}

// ---- The external-resource registry ------------------------------------------------------------------

namespace {
int g_released = 0;
void count_release(void* resource) {
    g_released++;
    std::memset(resource, 0, 1);
}
int test_class() {
    static int number = ext_res::register_class("test", count_release);
    return number;
}
}  // namespace

TEST(ExtRes, StoringTheLastFreeSlotDoublesTheTable) {
    int32_t capacity = ext_res::capacity();
    int32_t used = ext_res::used_count();
    static char resource;
    std::vector<int32_t> slots;
    for (int32_t i = used; i < capacity; i++) slots.push_back(ext_res::store(&resource, uint32_t(test_class())));
    EXPECT_EQ(ext_res::capacity(), 2 * capacity);
    for (int32_t s : slots) EXPECT_EQ(ext_res::slot(s)->resource, &resource);
    for (int32_t s : slots) ext_res::remove(s, false);
    EXPECT_EQ(ext_res::used_count(), used);
}

TEST(ExtRes, TheSweepReleasesWhatNoHandleReaches) {
    static char a, b, c;
    // The words exist before the slots do: a collection may come with any
    // allocation, and the kept slot must be reachable from the first one on.
    eval("h: h2: none");
    static int silent = ext_res::register_class("silent", nullptr);
    int kept = ext_res::store(&a, uint32_t(test_class()));
    cell::set(global_cell("h"), TYPE_HANDLE, 1, 7, uint32_t(kept));
    int dropped = ext_res::store(&b, uint32_t(test_class()));
    int no_routine = ext_res::store(&c, uint32_t(silent));
    cell::set(global_cell("h2"), TYPE_HANDLE, 1, 8, uint32_t(-1));  // marks no slot
    g_released = 0;
    eval("recycle");
    EXPECT_EQ(g_released, 1);
    EXPECT_EQ(ext_res::slot(dropped)->class_word, ext_res::SLOT_FREE);
    EXPECT_EQ(ext_res::slot(no_routine)->class_word, ext_res::SLOT_FREE);
    EXPECT_EQ(ext_res::slot(kept)->resource, &a);
    eval("h: none recycle");
    EXPECT_EQ(g_released, 2);
    EXPECT_EQ(ext_res::slot(kept)->class_word, ext_res::SLOT_FREE);
    EXPECT_FALSE(ext_res::mark(kept, nullptr));  // a stale index marks nothing
}

TEST(ExtResDeathTest, BadIndexesAndTooManyClassesAreRuntimeError98) {
    EXPECT_EXIT(ext_res::remove(ext_res::capacity() + 5, true), ::testing::ExitedWithCode(98), "");
    EXPECT_EXIT(ext_res::replace(-1, nullptr), ::testing::ExitedWithCode(98), "");
    EXPECT_EXIT(
        {
            for (int i = 0; i <= ext_res::MAX_CLASSES; i++) ext_res::register_class("many", nullptr);
        },
        ::testing::ExitedWithCode(98), "");
}
