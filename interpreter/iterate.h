// The steps the loop natives share, and the assignment of a block of words
// from a block of values (foreach, and the `set` native).
//
// A loop that walks a series keeps its state in two argument-stack cells
// just below its loop frame: the series, whose head the walk advances (the
// value the loop was given is never moved), and the loop word or block of
// words. `state` points at the first of them. Every step takes the series'
// buffer again: the body may have changed the series since the last one.
//
// A map! is walked by its live pairs only (the map module's walk): a pair
// whose value cell has no type (a removed key) is skipped, wherever words
// are assigned from a map.
//
// Relies on: contexts (setting words), the pick and remove actions of the
// series types (dispatch.h), the series positions (series.h), the map
// module (map.h).
#pragma once

#include <cstdint>

#include "foundation/cell.h"
#include "foundation/memory.h"
#include "words/context.h"

namespace zel::iterate {

// True while the series' head is before its tail, counted in cells for
// blocks and maps and in units of the buffer for the other series.
bool series_more_q(const Cell* series);

// Sets `count` words of the block `words` (from its head). A block, paren,
// path or hash! (or the live pairs of a map!) is spread over them, the i-th
// word taking the i-th value and the words past its end none; with `only`,
// or any other value, every word takes the whole value. Spread values are
// checked first: every item must be a word of some kind (script invalid-arg
// with the item) and, unless `any`, no value may be unset! (script
// need-value with the word), so that nothing is set when a check fails.
// With `some`, a none value leaves its word as it was.
void set_many(const Cell* words, const Cell* values, int count, bool any, bool only, bool some);
// The i-th of `count` words takes the i-th element of the series from its
// head (pick), none past its end.
void set_from_series(const Cell* words, const Cell* series, int count);

// One-word step: when the series has more, the word takes its current
// element and the head advances by one. Answers whether it took one. The
// walk of a block! (the most frequent one) is inline.
bool foreach_next_any(Cell* state);
inline bool foreach_next(Cell* state) {
    if (type_of(state) == TYPE_BLOCK) {
        Series* s = memory::series_of(state->data2);
        int32_t i = int32_t(state->data1);
        if (i >= 0 && int64_t(i) < int64_t(s->used() / sizeof(Cell))) {
            Cell element = s->cells()[i];
            state->data1 = uint32_t(i + 1);
            context::assign(state + 1, &element);
            return true;
        }
    }
    return foreach_next_any(state);
}
// n-word step: when the series has more, the words take the next n
// elements (by the series' type: spread from a block, picked from a
// string, binary or vector, the next live pair of a map, which takes
// exactly two words: script invalid-arg otherwise) and the head advances
// past them. Answers whether it took any.
bool foreach_next_block(Cell* state, int n);

// After a remove-each body whose value was `result`: when it is true (none
// and false are not), the n elements just taken are removed and the walk
// goes on at their place.
void remove_each_drop(Cell* state, int n, const Cell* result);

// forall: the series the loop word holds now (state[0] is the start
// saved). With `advance` its head moves on by one in place; a word that no
// longer holds the walked series raises script bad-loop-series. Answers
// whether it is at its tail.
bool forall_end_q(Cell* state, bool advance);
// The loop word holds the saved start again.
void forall_restore(Cell* state);

// A count of a counted loop: a float! is truncated toward zero (NaN, the
// infinities and values out of the integer range raise script
// out-of-range). Answers the count; the cell becomes an integer!.
int32_t loop_count(Cell* count);

}  // namespace zel::iterate
