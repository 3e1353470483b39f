// string! sort: in place, by records of one or more characters. file!,
// url!, and binary! and vector! where they have no sort of their own,
// inherit it.
//
// The records are sorted in a private copy and written back afterwards: a
// /compare function and the owner's change handler run Zel code, which may
// change, widen or grow the very string being sorted, so the sort never
// reads that buffer while comparing. Writing back takes the buffer afresh
// and stores each character at the unit the buffer has then.
//
// Case folding depends on the unit, as it always has: unit-1 text folds only
// A-Z (to lower case), wider text folds every letter through the case
// tables (to upper case); so one text can order differently by unit.
//
// Relies on: the sorts (sorting.h), case folding, the string storage
// operations, the series! /part arguments, the ownership check, the vector
// module (elements as numbers) and the evaluator's comparator runner.
#include <algorithm>
#include <cstring>
#include <vector>

#include "foundation/raise.h"
#include "foundation/stack.h"
#include "scalars/char.h"
#include "series/case_folding.h"
#include "series/ownership.h"
#include "series/series.h"
#include "series/sorting.h"
#include "series/string.h"
#include "series/vector.h"

namespace zel::string {

namespace {

// How elements of the sorted copy read.
enum class Element { TEXT, BYTES, VECTOR_INTEGER, VECTOR_FLOAT };

struct SortSpec {
    Element element;
    int unit;        // bytes per element
    int size;        // elements per record
    int offset;      // the element compared, unless all
    bool all;        // every element of the record, in order
    bool fold;
    bool reverse;
    Cell* function;  // a function! comparator, or null
    int series_type;
    uint32_t vector_type;
};

int sign(double d) { return (d > 0) - (d < 0); }

double vector_number(const uint8_t* p, const SortSpec& sp) {
    return vector::element_number(p, sp.unit, int(sp.vector_type));
}

// Unit-1 text folds A-Z to lower case; wider text every letter to upper.
uint32_t sort_fold(uint32_t c, int unit) {
    if (unit == 1) return c >= 'A' && c <= 'Z' ? c + 32 : c;
    return case_folding::change_char(c, true);
}

int compare_elements(const uint8_t* a, const uint8_t* b, const SortSpec& sp) {
    if (sp.element == Element::VECTOR_INTEGER || sp.element == Element::VECTOR_FLOAT)
        return sign(vector_number(a, sp) - vector_number(b, sp));
    uint32_t c1 = get_char(a, sp.unit), c2 = get_char(b, sp.unit);
    if (sp.fold) {
        c1 = sort_fold(c1, sp.unit);
        c2 = sort_fold(c2, sp.unit);
    }
    return c1 == c2 ? 0 : c1 > c2 ? 1 : -1;
}

// The value a record stands for in a call of the comparator: the record as
// a new text with /all and /skip, else its first element.
Cell* push_record(const uint8_t* record, const SortSpec& sp) {
    if (sp.all && sp.size > 1) {
        Cell* text = make_at_unit(stack::push_new(), sp.size, sp.unit);
        Series* s = buffer_of(text);
        std::memcpy(s->head(), record, size_t(sp.size * sp.unit));
        s->tail = s->offset + uint32_t(sp.size * sp.unit);
        cell::set_type(text, sp.series_type);
        return text;
    }
    Cell* value = stack::push_new();
    switch (sp.element) {
        case Element::BYTES: cell::set(value, TYPE_INTEGER, 0, *record); break;
        case Element::VECTOR_FLOAT:
            cell::set(value, int(sp.vector_type));
            cell::put_float(value, vector_number(record, sp));
            break;
        case Element::VECTOR_INTEGER:
            cell::set(value, int(sp.vector_type), 0, uint32_t(int32_t(vector_number(record, sp))));
            break;
        default: char_::make_at(value, get_char(record, sp.unit)); break;
    }
    return value;
}

// The comparator's answer as an order: it is called with (b, a), or (a, b)
// under /reverse, so true means a sorts after b.
int order_from(const Cell* result) {
    switch (type_of(result)) {
        case TYPE_LOGIC: return result->data1 ? 1 : -1;
        case TYPE_INTEGER: {
            int32_t n = cell::get_int(result);
            return (n < 0) - (n > 0);
        }
        case TYPE_FLOAT: {
            double d = cell::get_float(result);
            return d > 0.0 ? -1 : d < 0.0 ? 1 : 0;
        }
        case TYPE_NONE: return -1;
        default: return 1;
    }
}

int compare_by_function(const uint8_t* a, const uint8_t* b, const SortSpec& sp) {
    Cell* top = stack::g_top;
    Cell* first = push_record(sp.reverse ? a : b, sp);
    Cell* second = push_record(sp.reverse ? b : a, sp);
    Cell result = sorting::g_comparator.run(sp.function, first, second);
    stack::g_top = top;
    return order_from(&result);
}

int compare_records(const void* a, const void* b, intptr_t option, intptr_t) {
    const SortSpec& sp = *reinterpret_cast<const SortSpec*>(option);
    auto* ra = static_cast<const uint8_t*>(a);
    auto* rb = static_cast<const uint8_t*>(b);
    if (sp.function) return compare_by_function(ra, rb, sp);
    int first = sp.all ? 0 : sp.offset, end = sp.all ? sp.size : sp.offset + 1;
    int order = 0;
    for (int i = first; i < end && order == 0; i++) order = compare_elements(ra + i * sp.unit, rb + i * sp.unit, sp);
    return sp.reverse ? -order : order;
}

SortSpec spec_for(const Cell* series, int unit) {
    SortSpec sp{};
    sp.series_type = type_of(series);
    sp.unit = unit;
    sp.element = sp.series_type == TYPE_BINARY ? Element::BYTES : Element::TEXT;
    if (sp.series_type == TYPE_VECTOR) {
        sp.vector_type = series->data3;
        bool floats = sp.vector_type == TYPE_FLOAT || sp.vector_type == TYPE_PERCENT;
        if (floats) sp.element = Element::VECTOR_FLOAT;
        else if (sp.vector_type == TYPE_INTEGER) sp.element = Element::VECTOR_INTEGER;
    }
    return sp;
}

// Stores the sorted units back from `head`, at the unit the buffer has now;
// what the comparator cut off the string is not brought back.
void write_back(Cell* series, int64_t head, const std::vector<uint8_t>& sorted, int unit) {
    Series* s = buffer_of(series);
    int64_t count = int64_t(sorted.size()) / unit;
    int64_t total = int64_t(s->used()) / s->unit();
    if (s->unit() == unit && head + count <= total) {
        std::memcpy(s->head() + head * unit, sorted.data(), sorted.size());
        return;
    }
    for (int64_t i = 0; i < count && head + i < total; i++)
        s = poke_char(s, int(head + i), get_char(sorted.data() + i * unit, unit));
}

}  // namespace

Cell* sort(Cell* series, bool case_, Cell* skip, Cell* comparator, Cell* part, bool all, bool reverse,
           bool stable) {
    Series* s = buffer_of(series);
    int unit = s->unit();
    int64_t total = int64_t(s->used()) / unit;
    int64_t head = std::clamp<int64_t>(int32_t(series->data1), 0, total);
    series->data1 = uint32_t(head);
    int64_t count = total - head;
    if (part) {
        int64_t n = series::part_count(series, part);
        if (n < 0 && head + n < 0) {
            series->data1 = 0;
            return series;
        }
        if (n < 0) {
            head += n;
            series->data1 = uint32_t(head);
            count = -n;
        } else {
            count = std::min(count, n);
        }
    }
    if (count == 0) return series;

    SortSpec sp = spec_for(series, unit);
    sp.size = 1;
    if (skip) {
        if (type_of(skip) != TYPE_INTEGER) series::bad_refinement("skip", skip);
        int64_t size = cell::get_int(skip);
        if (size < 1 || size > count || count % size != 0) series::bad_refinement("skip", skip);
        sp.size = int(size);
    } else if (all) {
        fire(ERR_script_bad_refines);
    }
    if (comparator) {
        switch (type_of(comparator)) {
            case TYPE_FUNCTION: sp.function = comparator; break;
            case TYPE_INTEGER: {
                if (!skip || all) fire(ERR_script_bad_refines);
                int32_t offset = cell::get_int(comparator);
                if (offset < 1 || offset > sp.size) fire(ERR_script_out_of_range, comparator);
                sp.offset = offset - 1;
                break;
            }
            default: series::bad_refinement("compare", comparator);
        }
    }
    sp.all = all;
    sp.reverse = reverse;
    sp.fold = !case_ && series::any_string(sp.series_type);

    bool notified = ownership::check(series, ownership::SORT, nullptr, int(head), int(count));
    if (notified) {
        // The handler may have shortened the text: sort whole records of what is left.
        s = buffer_of(series);
        int64_t left = std::max<int64_t>(int64_t(s->used()) / unit - head, 0);
        count = std::min(count, left - left % sp.size);
        if (s->unit() != unit) sp.unit = unit = s->unit();
    }
    if (count > 0) {
        s = buffer_of(series);
        std::vector<uint8_t> records(s->head() + head * unit, s->head() + (head + count) * unit);
        int32_t n = int32_t(count / sp.size), width = sp.size * unit;
        if (n > 1) {
            intptr_t option = reinterpret_cast<intptr_t>(&sp);
            if (stable) sorting::merge_sort(records.data(), n, width, option, 0, compare_records);
            else sorting::quick_sort(records.data(), n, width, option, 0, compare_records);
        }
        write_back(series, head, records, unit);
    }
    if (notified) ownership::check(series, ownership::SORTED, nullptr, int(head), int(count));
    return series;
}

}  // namespace zel::string
