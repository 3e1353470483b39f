// Memory manager: buffer sizes, frames, big series, expansion, nodes and the
// tracked heap.
#include <cstring>

#include "foundation/collector.h"
#include "foundation/memory.h"
#include "series/block.h"
#include "tests/support/runtime_env.h"

using namespace zel;
using zel::test::error_of;

namespace {

Series* buffer(Node n) { return memory::series_of(n); }

// A fresh run-time for tests that look at frames: everything is released
// and the memory record starts over.
class FreshStore : public ::testing::Test {
protected:
    void SetUp() override {
        runtime::shutdown();
        runtime::init();
    }
};

}  // namespace

TEST(MemorySizes, BufferCapacities) {
    struct Case {
        const char* what;
        Node (*make)();
        int32_t capacity;
        int unit;
    };
    const Case cases[] = {
        {"alloc-bytes 0 is 16 bytes", [] { return memory::alloc_bytes(0); }, 16, 1},
        {"alloc-bytes 17 rounds to 32", [] { return memory::alloc_bytes(17); }, 32, 1},
        {"alloc-chars 0 of 4 is 4 units", [] { return memory::alloc_chars(0, 4); }, 16, 4},
        {"alloc-chars 0 of 2 is 8 units", [] { return memory::alloc_chars(0, 2); }, 16, 2},
        {"alloc-chars 5 of 4", [] { return memory::alloc_chars(5, 4); }, 32, 4},
        {"alloc-cells 3", [] { return memory::alloc_cells(3); }, 48, 16},
        {"negative count is the minimum", [] { return memory::alloc_series(-5, 16, 0); }, 0, 16},
    };
    for (const Case& c : cases) {
        Series* s = buffer(c.make());
        EXPECT_EQ(s->capacity, c.capacity) << c.what;
        EXPECT_EQ(s->unit(), c.unit) << c.what;
        EXPECT_EQ(s->used(), 0u) << c.what;
        EXPECT_TRUE(s->flags & SERIES_IN_USE) << c.what;
        EXPECT_TRUE(s->flags & SERIES_ALLOCATED) << c.what;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(s->data()) % 16, 0u) << c.what;
    }
}

TEST(MemorySizes, UnsetCellsFillTheCapacity) {
    Series* s = buffer(memory::alloc_unset_cells(5));
    auto* c = reinterpret_cast<Cell*>(s->data());
    for (int i = 0; i < s->capacity / 16; i++) EXPECT_EQ(c[i].header, uint32_t(TYPE_UNSET));
}

TEST(MemorySizes, HugeCountsRaiseNoMemory) {
    const int64_t counts[][2] = {
        {int64_t(1) << 31, 1},            // one byte past the largest buffer
        {int64_t(1) << 28, 16},           // 4 GB of cells
        {INT64_MAX / 2, 16},              // would wrap a 64-bit product
        {2147483647, 1},                  // rounds up past the limit
    };
    for (auto& c : counts)
        EXPECT_EQ(error_of([&] { memory::alloc_series(c[0], int(c[1]), 0); }), "internal/no-memory")
            << c[0] << " x " << c[1];
}

TEST_F(FreshStore, FramesGrowFromOneToTwoMegabytes) {
    EXPECT_EQ(memory::g_record.s_head->size - sizeof(memory::SeriesFrame), 1048576u);
    EXPECT_EQ(memory::g_record.s_size, 2097152u);
    memory::new_series_frame();
    memory::new_series_frame();
    size_t sizes = 0;
    for (memory::SeriesFrame* f = memory::g_record.s_head; f; f = f->next) {
        size_t area = f->size - sizeof(memory::SeriesFrame);
        EXPECT_TRUE(area == 1048576u || area == 2097152u);
        sizes += area;
    }
    EXPECT_EQ(sizes, 1048576u + 2 * 2097152u);
}

TEST_F(FreshStore, FramesStaySortedByAddress) {
    for (int i = 0; i < 4; i++) memory::new_series_frame();
    for (memory::SeriesFrame* f = memory::g_record.s_head; f && f->next; f = f->next)
        EXPECT_LT(f, f->next);
}

TEST_F(FreshStore, BigSeriesFromTwoMegabytesOfNeed) {
    const size_t overhead = memory::SERIES_HEADER + memory::SERIES_SLACK;
    Series* below = buffer(memory::alloc_bytes(int64_t(2097152 - overhead - 16)));
    EXPECT_FALSE(below->flags & SERIES_BIG);
    Series* at = buffer(memory::alloc_bytes(int64_t(2097152 - overhead)));
    EXPECT_TRUE(at->flags & SERIES_BIG);
    EXPECT_EQ(memory::g_record.b_tail->buffer(), at);
}

TEST_F(FreshStore, BigAllocationCollectsFirstOnlyWhenActive) {
    uint32_t cycles = collector::cycle_count();
    memory::alloc_bytes(3 << 20);
    EXPECT_EQ(collector::cycle_count(), cycles);
    collector::set_active(true);
    memory::alloc_bytes(3 << 20);
    collector::set_active(false);
    EXPECT_GT(collector::cycle_count(), cycles);
}

TEST_F(FreshStore, RequestAboveNextFrameSizeMakesATwoMegabyteFrame) {
    // Fill the first frame so that the next request needs a new frame.
    memory::alloc_bytes(1048576 - 4096);
    EXPECT_EQ(memory::g_record.s_size, 2097152u);
    Series* s = buffer(memory::alloc_bytes(1500000));
    EXPECT_FALSE(s->flags & SERIES_BIG);
    bool found = false;
    for (memory::SeriesFrame* f = memory::g_record.s_head; f; f = f->next)
        if (reinterpret_cast<uint8_t*>(s) >= f->area() && reinterpret_cast<uint8_t*>(s) < f->tail) {
            EXPECT_EQ(f->size - sizeof(memory::SeriesFrame), 2097152u);
            found = true;
        }
    EXPECT_TRUE(found);
}

TEST(MemoryExpand, DoublesAndKeepsTheContent) {
    // Two layouts: a buffer with another one after it gets a new buffer, the
    // last one taken from the frame grows where it lies.
    for (bool last : {false, true}) {
        Node n = memory::alloc_bytes(32);
        if (!last) memory::alloc_bytes(16);
        Series* old = buffer(n);
        std::memcpy(old->data(), "0123456789", 10);
        old->offset = 2;
        old->tail = 10;
        uint32_t moves = memory::g_buffer_moves;
        Series* fresh = memory::expand_series(old, 0);
        EXPECT_EQ(fresh->capacity, 64) << last;
        EXPECT_EQ(buffer(n), fresh) << last;
        EXPECT_EQ(fresh->node, n) << last;
        EXPECT_NE(memory::g_buffer_moves, moves) << last;  // counts as a move either way
        if (fresh != old) {
            EXPECT_EQ(old->node, 0u);  // a frame buffer's header stays readable
            EXPECT_FALSE(old->flags & SERIES_IN_USE);
        }
        EXPECT_EQ(fresh->offset, 0u) << last;
        EXPECT_EQ(fresh->used(), 8u) << last;
        EXPECT_EQ(std::memcmp(fresh->head(), "23456789", 8), 0) << last;
    }
}

TEST(MemoryExpand, ZeroCapacityDoublesToSixteen) {
    Node n = memory::alloc_series(0, 1, 0);
    EXPECT_EQ(buffer(n)->capacity, 0);
    Series* fresh = memory::expand_series(buffer(n), 0);
    EXPECT_EQ(fresh->capacity, 16);
}

TEST(MemoryExpand, ShrinkingNeverCopiesPastTheNewCapacity) {
    Node n = memory::alloc_bytes(256);
    Series* old = buffer(n);
    std::memset(old->data(), 'x', 256);
    old->tail = 256;
    Series* fresh = memory::expand_series(old, 32);
    EXPECT_EQ(fresh->capacity, 32);
    EXPECT_EQ(fresh->used(), 32u);
    EXPECT_EQ(fresh->head()[31], 'x');
}

TEST(MemoryExpand, NegativeCapacityRaisesNoMemory) {
    Node n = memory::alloc_bytes(16);
    EXPECT_EQ(error_of([&] { memory::replace_series_buffer(buffer(n), -1); }), "internal/no-memory");
}

TEST(MemoryExpand, FilledExpansionFillsTheNewPart) {
    Node n = memory::alloc_bytes(16);
    Series* fresh = memory::expand_series_filled(buffer(n), 48, 0xAB);
    EXPECT_EQ(fresh->capacity, 48);
    for (int i = 16; i < 48; i++) EXPECT_EQ(fresh->data()[i], 0xAB);
}

TEST(MemoryExpand, TailBytesGrowTheBuffer) {
    Node n = memory::alloc_bytes(16);
    EXPECT_EQ(memory::alloc_tail_bytes(n, 10), 0u);
    EXPECT_EQ(memory::alloc_tail_bytes(n, 10), 10u);  // 20 > 16: doubled
    EXPECT_EQ(buffer(n)->capacity, 32);
    EXPECT_EQ(memory::alloc_tail_bytes(n, 100), 20u);  // capacity below n: 2n
    EXPECT_EQ(buffer(n)->capacity, 208);
    EXPECT_EQ(buffer(n)->used(), 120u);
}

// ---- Growth: what a replaced buffer leaves behind -------------------------------------------

namespace {

// Under the stress switch every expansion takes a new buffer (a stale
// pointer then shows); the tests of growing in place switch it off.
class StressOff {
public:
#ifdef ZEL_GC_STRESS
    StressOff() : saved_(collector::stress_one_in()) { collector::set_stress(0, 0); }
    ~StressOff() { collector::set_stress(saved_, 12345); }

private:
    uint32_t saved_;
#endif
};

size_t big_count() {
    size_t n = 0;
    for (memory::BigSeries* b = memory::g_record.b_head; b; b = b->next) n++;
    return n;
}

bool is_big_listed(const Series* s) {
    for (memory::BigSeries* b = memory::g_record.b_head; b; b = b->next)
        if (b->buffer() == s) return true;
    return false;
}

double held_bytes() { return memory::usage_stats(nullptr, memory::USAGE_BYTES); }

// Data, slack and header of a buffer of this capacity: what it holds.
size_t buffer_size(const Series* s) { return memory::SERIES_HEADER + size_t(s->capacity) + memory::SERIES_SLACK; }

}  // namespace

// A series grown step by step, with no collection: what the buffers hold
// stays near the last buffer's size, at every step (once past the frames,
// whose dead buffers wait for compaction: at most about a frame's worth)
// and at the end.
TEST_F(FreshStore, GrowingGivesOldBuffersBackWithoutACollection) {
    struct Case {
        const char* what;
        int unit;
        int64_t step;   // bytes a step
        int64_t total;  // bytes in the end
    };
    const Case cases[] = {
        {"a million cells", 16, 16, 16000000},
        {"bytes, seven at a time", 1, 7, 14 << 20},
        {"wide text", 4, 4, 16 << 20},
    };
    collector::Pause pause;
    for (const Case& c : cases) {
        uint32_t cycles = collector::cycle_count();
        double before = held_bytes();
        Node n = memory::alloc_series(0, c.unit, 0);
        int32_t capacity = 0;
        for (int64_t done = 0; done < c.total; done += c.step) {
            memory::alloc_tail_bytes(n, c.step);
            if (buffer(n)->capacity == capacity) continue;
            capacity = buffer(n)->capacity;
            if (buffer(n)->flags & SERIES_BIG) {
                ASSERT_LE(held_bytes() - before, double(buffer_size(buffer(n)) + 2 * memory::SERIES_FRAME_MAX))
                    << c.what << " at " << capacity;
            }
        }
        EXPECT_EQ(collector::cycle_count(), cycles) << c.what;
        EXPECT_EQ(big_count(), 1u) << c.what;
        EXPECT_TRUE(is_big_listed(buffer(n))) << c.what;
        EXPECT_LE(held_bytes() - before, 1.25 * double(buffer_size(buffer(n)))) << c.what;
        EXPECT_EQ(int64_t(buffer(n)->used()), (c.total + c.step - 1) / c.step * c.step) << c.what;
        memory::free_big_series(buffer(n));  // the next case starts with none
    }
}

// Values appended a cell at a time while cycles run and compaction moves
// the buffers, with garbage between: all there, in order, afterwards. The
// stress pass runs a cycle before every allocation here too.
TEST(MemoryGrowth, ContentSurvivesGrowthWhileCollecting) {
    Cell block, text;
    block::make_at(&block, 0);
    block::make_at(&text, 0);
    gc::root keep(&block), keep_text(&text);
    text.data2 = memory::alloc_bytes(0);
    bool was_active = collector::active();
    collector::set_active(true);
    const int count = 300000;  // past the frames: the last buffers are big
    for (int i = 0; i < count; i++) {
        Cell c;
        cell::set(&c, TYPE_INTEGER, 0, uint32_t(i));
        block::append_cell(&block, &c);
        uint32_t at = memory::alloc_tail_bytes(text.data2, 1);
        buffer(text.data2)->data()[at] = uint8_t(i);
        if (i % 1000 == 0) memory::alloc_cells(4);  // garbage between the two
        if (i % 20000 == 0) {
            collector::do_cycle();
            collector::compact();
        }
    }
    collector::set_active(was_active);
    ASSERT_EQ(block::length_q(&block), count);
    ASSERT_EQ(int(buffer(text.data2)->used()), count);
    int wrong = 0;
    for (int i = 0; i < count; i++) {
        if (cell::get_int(block::abs_at(&block, i)) != i) wrong++;
        if (buffer(text.data2)->head()[i] != uint8_t(i)) wrong++;
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(FreshStore, TheFrameTopGrowsWhereItLies) {
    [[maybe_unused]] StressOff off;
    Node n = memory::alloc_bytes(64);
    Series* s = buffer(n);
    memory::SeriesFrame* f = memory::g_record.s_active;
    std::memcpy(s->data(), "abcdef", 6);
    s->offset = 2;
    s->tail = 6;
    uint32_t moves = memory::g_buffer_moves;
    EXPECT_EQ(memory::expand_series(s, 256), s);
    EXPECT_NE(memory::g_buffer_moves, moves);
    EXPECT_EQ(s->capacity, 256);
    EXPECT_EQ(f->heap, reinterpret_cast<uint8_t*>(s) + buffer_size(s));
    EXPECT_EQ(s->used(), 4u);
    EXPECT_EQ(std::memcmp(s->head(), "cdef", 4), 0);
    // Once the frame's last buffer, it takes the room after it; past the
    // frames' largest size it becomes big, and its old space is the
    // frame's again at once.
    Series* grown = memory::expand_series(s, 3 << 20);
    EXPECT_TRUE(grown->flags & SERIES_BIG);
    EXPECT_EQ(f->heap, reinterpret_cast<uint8_t*>(s));
    EXPECT_EQ(std::memcmp(grown->head(), "cdef", 4), 0);
}

TEST_F(FreshStore, BigBuffersGrowByRemapping) {
    [[maybe_unused]] StressOff off;
    Node n = memory::alloc_bytes(3 << 20);
    Series* s = buffer(n);
    s->data()[0] = 'a';
    s->data()[s->capacity - 1] = 'z';
    s->tail = uint32_t(s->capacity);
    int32_t old_capacity = s->capacity;
    size_t total = memory::g_record.total;
    Series* grown = memory::expand_series(s, 12 << 20);
    EXPECT_EQ(buffer(n), grown);
    EXPECT_EQ(grown->capacity, 12 << 20);
    EXPECT_EQ(big_count(), 1u);
    EXPECT_EQ(memory::g_record.b_tail->bytes, buffer_size(grown));
    EXPECT_NEAR(double(memory::g_record.total - total), double(12 << 20) - old_capacity, 4096);
    EXPECT_EQ(grown->data()[0], 'a');
    EXPECT_EQ(grown->data()[old_capacity - 1], 'z');
    EXPECT_EQ(grown->used(), uint32_t(old_capacity));
}

// Buffers that cannot grow where they lie are replaced and go at once: a
// big one shrunk, a fixed one grown.
TEST_F(FreshStore, ReplacedBuffersGoAtOnce) {
    Node big = memory::alloc_bytes(6 << 20);
    size_t total = memory::g_record.total;
    Series* smaller = memory::expand_series(buffer(big), 3 << 20);
    EXPECT_EQ(big_count(), 1u);
    EXPECT_TRUE(is_big_listed(smaller));
    EXPECT_LT(memory::g_record.total, total);

    Node fixed = memory::alloc_fixed_series(2, 16, 0);
    size_t blocks = memory::heap_block_count();
    Series* grown = memory::expand_series(buffer(fixed), 1024);
    EXPECT_EQ(memory::heap_block_count(), blocks - 1);
    EXPECT_FALSE(grown->flags & SERIES_FIXED);
}

// Under a compaction hold the C++ code below reads buffers where they lie:
// nothing grows in place and the old buffer stays as it was, its content
// readable, until a cycle frees it.
TEST_F(FreshStore, AHeldBufferStaysUntilACycle) {
    Node big = memory::alloc_bytes(3 << 20);
    Series* old = buffer(big);
    std::memcpy(old->data(), "kept", 4);
    Node small = memory::alloc_bytes(16);
    Series* old_small = buffer(small);
    std::memcpy(old_small->data(), "also", 4);
    {
        collector::HoldCompaction hold;
        EXPECT_NE(memory::expand_series(old, 6 << 20), old);
        EXPECT_NE(memory::expand_series(old_small, 64), old_small);
    }
    EXPECT_EQ(std::memcmp(old->data(), "kept", 4), 0);
    EXPECT_EQ(std::memcmp(old_small->data(), "also", 4), 0);
    EXPECT_EQ(big_count(), 2u);
    collector::do_cycle();  // nothing reaches the new buffers either
    EXPECT_EQ(big_count(), 0u);
}

TEST(MemoryCopy, CopiesUsedContentAndFlags) {
    Node n = memory::alloc_chars(8, 2);
    Series* s = buffer(n);
    const uint16_t text[] = {'a', 'b', 'c'};
    std::memcpy(s->data(), text, sizeof text);
    s->tail = sizeof text;
    s->flags |= SERIES_OWNED;
    Node c = memory::copy_series(buffer(n));
    EXPECT_NE(c, n);
    EXPECT_EQ(buffer(c)->unit(), 2);
    EXPECT_EQ(buffer(c)->used(), sizeof text);
    EXPECT_EQ(std::memcmp(buffer(c)->head(), text, sizeof text), 0);
    EXPECT_FALSE(buffer(c)->flags & SERIES_OWNED);  // no ownership entry comes with it
    Node part = memory::copy_series_part(n, 1, 5);
    EXPECT_EQ(buffer(part)->used(), 4u);  // two units, cut at the tail
    EXPECT_FALSE(buffer(part)->flags & SERIES_OWNED);
}

TEST_F(FreshStore, NodesAreRecycledAndEmptyFramesReleased) {
    Node a = memory::alloc_node();
    Node b = memory::alloc_node();
    EXPECT_NE(a, 0u);
    EXPECT_NE(a, b);
    memory::NodeFrame* f = memory::frame_of_node(a);
    uint32_t used = f->used;
    memory::free_node(f, b);
    EXPECT_EQ(f->used, used - 1);
    EXPECT_EQ(memory::alloc_node(), b);  // the freed slot comes back first

    // A second frame whose nodes all go is released at the end of a cycle.
    memory::NodeFrame* second = memory::new_node_frame(memory::NODE_FRAME_SLOTS);
    EXPECT_EQ(memory::g_record.n_tail, second);
    memory::release_node_frames();
    EXPECT_EQ(memory::g_record.n_tail, f);
}

TEST_F(FreshStore, FullNodeFrameMakesANewOne) {
    memory::NodeFrame* first = memory::g_record.n_head;
    while (first->used < first->capacity) memory::alloc_node();
    Node next = memory::alloc_node();
    EXPECT_NE(memory::frame_of_node(next), first);
    EXPECT_EQ(memory::g_record.n_tail, memory::frame_of_node(next));
}

TEST(TrackedHeap, AllocFreeAndRealloc) {
    size_t blocks = memory::heap_block_count();
    void* p = memory::heap_realloc(nullptr, 40);  // null allocates
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(memory::heap_asked_size(p), 40);
    EXPECT_EQ(memory::heap_block_count(), blocks + 1);
    std::memset(p, 7, 40);
    void* q = memory::heap_realloc(p, 4000);
    EXPECT_EQ(memory::heap_asked_size(q), 4000);
    EXPECT_EQ(static_cast<uint8_t*>(q)[39], 7);
    EXPECT_EQ(memory::heap_realloc(q, 0), nullptr);  // 0 frees
    EXPECT_EQ(memory::heap_block_count(), blocks);
    int local = 0;
    memory::heap_free(&local);  // not ours: ignored
    EXPECT_EQ(memory::heap_block_count(), blocks);
}

TEST(TrackedHeap, ZeroedAndFixedSeries) {
    auto* z = static_cast<uint8_t*>(memory::heap_alloc_zeroed(100));
    for (int i = 0; i < 100; i++) EXPECT_EQ(z[i], 0);
    memory::heap_free(z);
    Node n = memory::alloc_fixed_series(10, 16, 0);
    EXPECT_EQ(buffer(n)->flags & 0xFFF0001F, SERIES_IN_USE | SERIES_ALLOCATED | SERIES_FIXED | 16u);
    EXPECT_EQ(buffer(n)->capacity, 160);
}

TEST(MemoryHelpers, RepeatPatternAndRoundUp) {
    uint8_t buf[10] = {1, 2, 3};
    uint8_t* end = memory::repeat_pattern(buf, 3, 3);
    EXPECT_EQ(end, buf + 9);
    const uint8_t want[9] = {1, 2, 3, 1, 2, 3, 1, 2, 3};
    EXPECT_EQ(std::memcmp(buf, want, 9), 0);
    EXPECT_EQ(memory::round_up(0, 16), 0);
    EXPECT_EQ(memory::round_up(1, 16), 16);
    EXPECT_EQ(memory::round_up(32, 16), 32);
}
