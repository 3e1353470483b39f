// The root block and the word-collect flag.
#include "core/root.h"

#include "core/collector.h"
#include "series/block.h"

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

}  // namespace

void make(int argument_cells, int64_t frame_bytes, int symbol_cells) {
    collector::add_mark_callback(mark_root_block, "the root block");
    g_block = *block::make_fixed_in(nullptr, CELLS);
    block::make_fixed_in(&g_block, argument_cells);
    block::make_fixed_in(&g_block, int(memory::round_up(frame_bytes, sizeof(Cell)) / int64_t(sizeof(Cell))));
    block::make_in(&g_block, symbol_cells);
}

bool made() { return type_of(&g_block) == TYPE_BLOCK; }

Node node_at(Slot slot) { return memory::series_of(g_block.data2)->cells()[slot].data2; }

Cell* append(const Cell* value) {
    Cell copy = *value;
    return copy_cell(&copy, cell::alloc_tail(&g_block));
}

int32_t length() { return block::length_q(&g_block); }

}  // namespace zel::root
