// binary! cells and buffers.
#include "series/binary.h"

namespace zel::binary {

Cell* make_over(Cell* cell, Node node) {
    uint32_t flags = cell->header & ~HEADER_TYPE_MASK;
    cell::set(cell, TYPE_BINARY, 0, node, 0);
    cell->header |= flags;
    return cell;
}

Cell* make_at(Cell* cell, int64_t n) { return make_over(cell, memory::alloc_bytes(n > 0 ? n : 16)); }

int64_t length_q(const Cell* bin) {
    Series* s = memory::series_of(bin->data2);
    int64_t n = int64_t(s->used()) - int64_t(bin->data1);
    return n > 0 ? n : 0;
}

uint8_t* head(const Cell* bin) {
    Series* s = memory::series_of(bin->data2);
    uint32_t at = bin->data1 < s->used() ? bin->data1 : s->used();
    return s->head() + at;
}

}  // namespace zel::binary
