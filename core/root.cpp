// The root block and the word-collect flag.
#include "core/root.h"

#include "series/block.h"

namespace zel::root {

Cell g_block = {TYPE_NONE, 0, 0, 0};
bool g_word_collect = false;

void make(int argument_cells, int64_t frame_bytes, int symbol_cells) {
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
