// The root block and the word-collect flag. The root and its sub-blocks are
// made here from the memory manager: a block! value is its head index
// (payload 1) and the node of a buffer of cells (payload 2), which is all the
// root needs to know of blocks.
#include "foundation/root.h"

#include "foundation/collector.h"

namespace zel::root {

Cell g_block = {TYPE_NONE, 0, 0, 0};
bool g_word_collect = false;

namespace {

// The first two cells name the argument stack's and the call frames'
// series: marked, never walked (the stack is marked up to its top, the
// frames by their own marker). The other cells are walked.
void mark_root_block() {
    if (!made()) return;
    Node block = g_block.data2;
    collector::mark_node(block);
    collector::mark_node(node_at(SLOT_ARGUMENTS));
    collector::mark_node(node_at(SLOT_FRAMES));
    Series* s = memory::series_of(block);
    collector::mark_values(s->cells() + SLOT_SYMBOLS, s->cell_tail());
}

// Appends a block! of a new buffer of `cells` cells. The root's cell is
// taken first, so that the buffer is reachable as soon as it exists.
void add_block(int64_t cells, bool fixed) {
    int32_t index = length();
    cell::alloc_tail(&g_block);
    Node node = fixed ? memory::alloc_fixed_series(cells, sizeof(Cell), 0) : memory::alloc_cells(cells);
    cell::set(memory::series_of(g_block.data2)->cells() + index, TYPE_BLOCK, 0, node, 0);
}

}  // namespace

void make(int argument_cells, int64_t frame_bytes, int symbol_cells) {
    collector::add_mark_callback(mark_root_block, "the root block");
    cell::set(&g_block, TYPE_BLOCK, 0, memory::alloc_fixed_series(CELLS, sizeof(Cell), 0), 0);
    add_block(argument_cells, true);
    add_block(memory::round_up(frame_bytes, sizeof(Cell)) / int64_t(sizeof(Cell)), true);
    add_block(symbol_cells < 0 ? 1 : symbol_cells, false);
}

bool made() { return type_of(&g_block) == TYPE_BLOCK; }

Node node_at(Slot slot) { return memory::series_of(g_block.data2)->cells()[slot].data2; }

Cell* append(const Cell* value) {
    Cell copy = *value;
    return copy_cell(&copy, cell::alloc_tail(&g_block));
}

int32_t length() {
    return int32_t(memory::series_of(g_block.data2)->used() / sizeof(Cell)) - int32_t(g_block.data1);
}

}  // namespace zel::root
