// The loop steps and the multi-word assignment. Relies on contexts, the
// series positions, the pick and remove handlers of the series types and
// the map module (the live pairs of a map).
#include "interpreter/iterate.h"

#include "foundation/memory.h"
#include "foundation/raise.h"
#include "interpreter/dispatch.h"
#include "scalars/simple_types.h"
#include "series/map.h"
#include "series/series.h"
#include "words/context.h"
#include "words/word.h"

namespace zel::iterate {

namespace {

inline int32_t cell_count(const Series* s) { return int32_t(s->used() / sizeof(Cell)); }
inline int32_t head_of(const Cell* series) {
    int32_t head = int32_t(series->data1);
    return head < 0 ? 0 : head;
}

bool assignable(const Cell* item) {
    switch (type_of(item)) {
        case TYPE_WORD: case TYPE_SET_WORD: case TYPE_GET_WORD: case TYPE_LIT_WORD:
            return true;
        default:
            return false;
    }
}

// The i-th item of the words block, which must be a word of some kind.
Cell word_item(const Cell* words, int i) {
    Series* s = memory::series_of(words->data2);
    int32_t at = head_of(words) + i;
    Cell item = at < cell_count(s) ? s->cells()[at] : none::g_none;
    if (!assignable(&item)) fire(ERR_script_invalid_arg, &item);
    return item;
}

void set_word(Cell word, const Cell* value) {
    Cell v = *value;  // the value may lie in the buffer the setting grows
    context::assign(&word, &v);
}

// The i-th value a spread assignment gives.
Cell spread_value(const Cell* values, int i) {
    if (type_of(values) == TYPE_MAP) return map::live_cell(values, i);
    Series* s = memory::series_of(values->data2);
    int32_t at = head_of(values) + i;
    return at < cell_count(s) ? s->cells()[at] : none::g_none;
}

// The element at the 1-based index from the series' head (pick).
Cell picked(const Cell* series, int index) {
    Cell element = *series;
    Cell boxed;
    cell::set(&boxed, TYPE_INTEGER, 0, uint32_t(index));
    dispatch::handler<ACT_PICK>(&element)(&element, index, &boxed);
    return element;
}

}  // namespace

bool series_more_q(const Cell* series) {
    // An image is walked by pixel up to width x height (height:16 | width:16
    // in its last word); an empty one has no buffer at all.
    if (type_of(series) == TYPE_IMAGE)
        return int64_t(head_of(series)) < int64_t(series->data3 & 0xFFFF) * int64_t(series->data3 >> 16);
    Series* s = memory::series_of(series->data2);
    int64_t units = type_of(series) == TYPE_MAP ? cell_count(s) : int64_t(s->used()) >> series::shift_of(s);
    return int64_t(head_of(series)) < units;
}

void set_many(const Cell* words, const Cell* values, int count, bool any, bool only, bool some) {
    bool spread = !only && (series::any_block(type_of(values)) || type_of(values) == TYPE_MAP);
    if (spread) {
        for (int i = 0; i < count; i++) {
            Cell word = word_item(words, i);
            Cell value = spread_value(values, i);
            if (!any && type_of(&value) == TYPE_UNSET) fire(ERR_script_need_value, &word);
        }
    }
    for (int i = 0; i < count; i++) {
        // Each setting may run code (an object's change handler): values
        // and words are read again from their blocks every time.
        Cell value = spread ? spread_value(values, i) : *values;
        if (some && type_of(&value) == TYPE_NONE) continue;
        set_word(word_item(words, i), &value);
    }
}

void set_from_series(const Cell* words, const Cell* series, int count) {
    for (int i = 0; i < count; i++) {
        Cell value = picked(series, i + 1);
        set_word(word_item(words, i), &value);
    }
}

bool foreach_next_any(Cell* state) {
    int type = type_of(state);
    if (series::any_block(type)) {
        Series* s = memory::series_of(state->data2);
        int32_t i = head_of(state);
        if (i >= cell_count(s)) return false;
        Cell element = s->cells()[i];
        state->data1 = uint32_t(i + 1);
        context::assign(state + 1, &element);
        return true;
    }
    if (!series_more_q(state)) return false;
    Cell element = picked(state, 1);
    state->data1 = uint32_t(head_of(state) + 1);
    context::assign(state + 1, &element);
    return true;
}

bool foreach_next_block(Cell* state, int n) {
    if (n <= 0 || !series_more_q(state)) return false;
    int type = type_of(state);
    if (type == TYPE_MAP) {
        if (n != 2) fire(ERR_script_invalid_arg, state + 1);
        // The words are set from the pair at the head, which then moves past it.
        if (!map::seek_live(state)) return false;
        int32_t pair = head_of(state);
        set_many(state + 1, state, n, true, false, false);
        state->data1 = uint32_t(pair + 2);
        return true;
    }
    if (series::any_block(type)) set_many(state + 1, state, n, false, false, false);
    else set_from_series(state + 1, state, n);
    state->data1 = uint32_t(head_of(state) + n);
    return true;
}

void remove_each_drop(Cell* state, int n, const Cell* result) {
    if (logic::is_false(result)) return;
    state->data1 = uint32_t(head_of(state) - n);
    Cell series = *state, part;
    cell::set(&part, TYPE_INTEGER, 0, uint32_t(n));
    dispatch::handler<ACT_REMOVE>(&series)(&series, n > 1 ? &part : nullptr, nullptr);
}

bool forall_end_q(Cell* state, bool advance) {
    Cell* value = context::get(state + 1);
    if (advance) {
        if (!series::series_type(type_of(value)) || value->data2 != state->data2)
            fire(ERR_script_bad_loop_series, value);
        value->data1 = uint32_t(head_of(value) + 1);
    }
    return !series_more_q(value);
}

void forall_restore(Cell* state) { set_word(state[1], state); }

int32_t loop_count(Cell* count) {
    int32_t n = cell::number_to_int(count);
    cell::set(count, TYPE_INTEGER, 0, uint32_t(n));
    return n;
}

}  // namespace zel::iterate
