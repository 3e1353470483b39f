// block! sorting: records of one or more cells, ordered in place by their
// types' compare handlers, or through a comparator function.
//
// A comparator function runs Zel code between two comparisons; that code
// may change, grow or empty the block being sorted, and the collector may
// move buffers at its safe points. So such a sort copies its records into a
// private block, sorts an array of record numbers (holding no buffer address
// across a call), and gives the block its records back in their new order
// at the end, as far as the block still reaches. A comparator that fails
// leaves the block as it was. Under /all each call gets whole records, in
// two blocks that belong to the one sort.
//
// Relies on: the sorting module, the comparison service, the argument stack
// (the private block, the function and the record blocks live there while
// the sort runs), the ownership check, and the evaluator's comparator runner
// (sorting.h).
#include <algorithm>
#include <cstring>

#include "foundation/compare.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "foundation/stamp.h"
#include "scalars/simple_types.h"
#include "series/block.h"
#include "series/block_cells.h"
#include "series/hash_table.h"
#include "series/ownership.h"
#include "series/series.h"
#include "series/sorting.h"

namespace zel::block {

namespace {

int records_order(const void* a, const void* b, intptr_t mode, intptr_t flags) {
    return compare_records(static_cast<const Cell*>(a), static_cast<const Cell*>(b), int(mode), int(flags));
}

// A sort through a comparator function; every cell is on the argument stack.
struct Comparator {
    Cell* records;   // a private block: the records in their first order
    Cell* function;
    Cell* carriers;  // under /all: the two blocks that carry whole records
    int64_t size;    // cells a record
    int flags;
};

// Copies a record of the private block into a carrier, which the comparator
// may have changed since the last call; it doubles when the record does not fit.
void carry(Cell* carrier, Node records, int64_t first, int64_t size) {
    int64_t bytes = size * int64_t(sizeof(Cell));
    Series* s = memory::series_of(carrier->data2);
    if (int64_t(s->offset) + bytes > s->capacity)
        s = memory::expand_series(s, std::max<int64_t>(bytes, 2 * int64_t(s->capacity)));
    std::memcpy(s->head(), memory::series_of(records)->cells() + first, size_t(bytes));
    s->tail = s->offset + uint32_t(bytes);
    memory::touch(s);
    carrier->data1 = 0;
}

// The comparator gets (B, A), or (A, B) reversed: so a comparator that is
// true for (x, y) puts x first.
int call_comparator(const Comparator& c, int32_t a, int32_t b) {
    Cell first, second;
    if (c.flags & SORT_ALL) {
        carry(c.carriers, c.records->data2, a * c.size, c.size);
        carry(c.carriers + 1, c.records->data2, b * c.size, c.size);
        first = c.carriers[0];
        second = c.carriers[1];
    } else {
        first = first_cell(c.records)[a * c.size];
        second = first_cell(c.records)[b * c.size];
    }
    bool reverse = (c.flags & SORT_REVERSE) != 0;
    const Cell* x = reverse ? &first : &second;
    const Cell* y = reverse ? &second : &first;
    Cell result = sorting::g_comparator.run(c.function, x, y);
    return comparator_order(&result);
}

int numbers_order(const void* a, const void* b, intptr_t context, intptr_t) {
    int32_t x, y;
    std::memcpy(&x, a, sizeof x);
    std::memcpy(&y, b, sizeof y);
    return call_comparator(*reinterpret_cast<const Comparator*>(context), x, y);
}

// A new empty block in a new argument-stack cell (none until it exists).
Cell* push_block(int64_t capacity) {
    Cell* c = stack::push_new();
    cell::set(c, TYPE_NONE);
    return make_at(c, int(capacity));
}

void sort_by_function(Cell* series, int64_t start, int64_t count, int64_t size, const Cell* function, int flags,
                      bool stable) {
    Cell* base = stack::top();
    Comparator c{nullptr, nullptr, nullptr, size, flags};
    c.records = stack::push_new();
    cell::set(c.records, TYPE_NONE);
    Node copied = memory::copy_series_part(series->data2, start, count);
    cell::set(c.records, TYPE_BLOCK, 0, copied);
    c.function = stack::push(function);
    if (flags & SORT_ALL) {
        c.carriers = push_block(size);
        push_block(size);
    }
    int32_t n = int32_t(count / size);
    series::Scratch order(int64_t(n) * int64_t(sizeof(int32_t)));
    auto* numbers = reinterpret_cast<int32_t*>(order.get());
    for (int32_t i = 0; i < n; i++) numbers[i] = i;
    intptr_t context = reinterpret_cast<intptr_t>(&c);
    if (stable) sorting::merge_sort(numbers, n, sizeof(int32_t), context, 0, numbers_order);
    else sorting::quick_sort(numbers, n, sizeof(int32_t), context, 0, numbers_order);

    int64_t total = total_of(series);
    for (int32_t i = 0; i < n; i++) {
        int64_t to = start + i * size;
        if (to + size > total) break;
        std::memcpy(first_cell(series) + to, first_cell(c.records) + numbers[i] * size, size_t(size) * sizeof(Cell));
    }
    memory::touch(series);
    stack::g_top = base;
}

void sort_in_place(Cell* series, int64_t start, int64_t count, int64_t size, int mode, int flags, bool stable) {
    Cell* base = first_cell(series) + start;
    int32_t n = int32_t(count / size), width = int32_t(size * int64_t(sizeof(Cell)));
    memory::touch(series);  // no Zel code runs while the cells move
    if (stable) sorting::merge_sort(base, n, width, mode, flags, records_order);
    else sorting::quick_sort(base, n, width, mode, flags, records_order);
}

// A hash!'s entries for the cells a sort reordered are put again.
void reindex(const Cell* series, int64_t start, int64_t count) {
    Node table = series::hash_table_of(series);
    if (!table) return;
    hash_table::delete_range(table, int32_t(start), int32_t(count));
    series::hash_put_cells(table, series->data2, start, std::min(count, total_of(series) - start));
}

// The cells a record holds: /skip's size, checked against the count sorted.
int64_t record_size(const Cell* skip, int64_t count, bool all) {
    if (!skip) {
        if (all) fire(ERR_script_bad_refines);
        return 1;
    }
    if (type_of(skip) != TYPE_INTEGER) series::bad_refinement("skip", skip);
    int64_t size = cell::get_int(skip);
    if (size < 1 || count < size || count % size != 0) series::bad_refinement("skip", skip);
    return size;
}

}  // namespace

int compare_records(const Cell* a, const Cell* b, int mode, int flags) {
    if (flags & SORT_REVERSE) std::swap(a, b);
    int fields = 1, offset = flags >> SORT_FIELD_SHIFT;
    if (flags & SORT_ALL) {
        fields = offset;
        offset = 0;
    }
    for (int i = offset; i < offset + fields; i++) {
        // Compare handlers only read the cells.
        Cell* x = const_cast<Cell*>(a + i);
        Cell* y = const_cast<Cell*>(b + i);
        int order = compare::compare_value(x, y, mode);
        if (order == -2) order = type_of(x) - type_of(y);
        if (order != 0) return order;
    }
    return 0;
}

int comparator_order(const Cell* result) {
    switch (type_of(result)) {
        case TYPE_LOGIC: return logic::get(result) ? 1 : -1;
        case TYPE_INTEGER: return cell::get_int(result);
        case TYPE_FLOAT: {
            double d = cell::get_float(result);
            return d > 0.0 ? 1 : d < 0.0 ? -1 : 0;
        }
        case TYPE_NONE: return -1;
        default: return 1;
    }
}

Cell* sort(Cell* series, bool case_, Cell* skip, Cell* comparator, Cell* part, bool all, bool reverse, bool stable) {
    int64_t total = total_of(series);
    if (total == 0) return series;
    int64_t head = head_index(series);
    int64_t start = head, count = total - head;
    if (part) {
        int64_t n = type_of(part) == TYPE_INTEGER ? cell::get_int(part) : series::part_position(series, part) - head;
        if (n < 0) {
            // The cells before the head; none when that passes the first cell.
            if (head + n < 0) {
                series->data1 = 0;
                return series;
            }
            start = head + n;
            count = -n;
        } else {
            count = std::min(n, count);
        }
    }
    if (count == 0) return series;

    int64_t size = record_size(skip, count, all);
    int mode = case_ ? compare::COMP_CASE_SORT : compare::COMP_SORT;
    int flags = reverse ? SORT_REVERSE : 0;
    int whole = SORT_ALL | int(size << SORT_FIELD_SHIFT);
    bool by_function = false;
    if (comparator) {
        switch (type_of(comparator)) {
            case TYPE_FUNCTION:
                by_function = true;
                if (all) flags |= whole;
                break;
            case TYPE_INTEGER: {
                if (!skip || all) fire(ERR_script_bad_refines);
                int64_t field = cell::get_int(comparator);
                if (field < 1 || field > size) fire(ERR_script_out_of_range, comparator);
                flags |= int((field - 1) << SORT_FIELD_SHIFT);
                break;
            }
            default: series::bad_refinement("compare", comparator);
        }
    } else if (all) {
        flags |= whole;
    }

    series->data1 = uint32_t(start);
    bool told = ownership::check(series, ownership::SORT, nullptr, int(start), 0);
    if (told) {
        // The owner's handler may have changed the block: whole records still there.
        total = total_of(series);
        start = std::min(start, total);
        count = std::min(count, (total - start) / size * size);
    }
    if (count > 0) {
        if (by_function) {
            sort_by_function(series, start, count, size, comparator, flags, stable);
        } else {
            try {
                sort_in_place(series, start, count, size, mode, flags, stable);
            } catch (...) {
                reindex(series, start, count);  // the cells may be half sorted
                throw;
            }
        }
        reindex(series, start, count);
    }
    if (told) ownership::check(series, ownership::SORTED, nullptr, int(start), int(count));
    return series;
}

}  // namespace zel::block
