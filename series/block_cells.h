// The cells of a block as the block modules address them: its buffer, its
// cell count, its first cell and its head counted from 0 and not past the
// tail. Shared by the block modules only; everything answered here is taken
// again after anything that may allocate or run Zel code.
#pragma once

#include <algorithm>
#include <cstdint>

#include "foundation/cell.h"
#include "foundation/memory.h"

namespace zel::block {

inline Series* buffer_of(const Cell* block) { return memory::series_of(block->data2); }
inline int64_t total_of(const Cell* block) { return buffer_of(block)->used() / sizeof(Cell); }
inline Cell* first_cell(const Cell* block) { return buffer_of(block)->cells(); }

inline int64_t head_index(const Cell* block) {
    return std::clamp<int64_t>(int32_t(block->data1), 0, total_of(block));
}

}  // namespace zel::block
