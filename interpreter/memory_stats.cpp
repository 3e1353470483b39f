// Memory usage statistics: the figures `stats` answers with, from the
// memory manager's frame lists and the tracked heap. Sizes are those of this
// build's records (node slots, frame headers), not of any other layout.
#include "foundation/collector.h"
#include "foundation/memory.h"
#include "series/block.h"

namespace zel::memory {

namespace {

constexpr double INTEGER_LIMIT = 2147483647.0;

Cell* append_integer(Cell* block, int64_t n) {
    Cell c;
    cell::set(&c, TYPE_INTEGER, 0, uint32_t(int32_t(n)));
    return block::append_cell(block, &c);
}

// A row of three figures, starting a line when molded.
void append_row(Cell* rows, int64_t a, int64_t b, int64_t c) {
    Cell row;
    block::make_at(&row, 3);
    row.header |= FLAG_NEW_LINE;
    append_integer(&row, a);
    append_integer(&row, b);
    append_integer(&row, c);
    block::append_cell(rows, &row);
}

}  // namespace

Cell* byte_count_at(Cell* cell, double bytes) {
    if (bytes <= INTEGER_LIMIT) {
        cell::set(cell, TYPE_INTEGER, 0, uint32_t(int32_t(bytes)));
    } else {
        cell::set(cell, TYPE_FLOAT);
        cell::put_float(cell, bytes);
    }
    return cell;
}

double usage_stats(Cell* block, int mode) {
    if (mode == USAGE_BYTES) {
        double used = 0;
        for (NodeFrame* f = g_record.n_head; f; f = f->next) used += double(f->used) * sizeof(NodeSlot);
        for (SeriesFrame* f = g_record.s_head; f; f = f->next) used += double(f->heap - f->area());
        for (BigSeries* b = g_record.b_head; b; b = b->next) used += double(b->bytes);
        return used;
    }
    collector::Pause pause;
    double total = 0;
    Cell nodes, series, big;
    block::make_at(&nodes, 4);
    for (NodeFrame* f = g_record.n_head; f; f = f->next) {
        append_row(&nodes, f->capacity - f->used, f->used, f->capacity);
        total += double(sizeof(NodeFrame)) + double(sizeof(NodeSlot)) * f->capacity;
    }
    block::append_cell(block, &nodes);
    block::make_at(&series, 4);
    for (SeriesFrame* f = g_record.s_head; f; f = f->next) {
        append_row(&series, f->tail - f->heap, f->heap - f->area(), f->tail - f->area());
        total += double(f->size);
    }
    block::append_cell(block, &series);
    block::make_at(&big, 4);
    for (BigSeries* b = g_record.b_head; b; b = b->next) {
        append_integer(&big, int64_t(b->bytes));
        total += double(b->bytes);
    }
    block::append_cell(block, &big);
    double heap = double(heap_total_bytes());
    Cell figure;
    block::append_cell(block, byte_count_at(&figure, total + heap));
    block::append_cell(block, byte_count_at(&figure, heap));
    return 0;
}

}  // namespace zel::memory
