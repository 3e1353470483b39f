// Ownership and change notification: an object with an on-deep-change*
// handler is told about every change to a series held (at any depth) in one
// of its fields. Every modifying series handler calls `check` before the
// change with the action's word and after it with the word's past form; an
// unowned series costs one flag test.
#pragma once

#include <cstdint>

#include "core/cell.h"
#include "core/memory.h"

namespace zel::ownership {

// The action words of notifications, in pairs of before/after forms.
enum Action : int {
    CHANGE, CHANGED, CLEAR, CLEARED, APPEND, APPENDED, INSERT, INSERTED, POKE, POKED,
    PUT, PUT_ED, REMOVE, REMOVED, RANDOM, RANDOMIZED, REVERSE, REVERSED, SORT, SORTED,
    SWAP, SWAPED, TAKE, TAKEN, MOVE, MOVED, TRIM, TRIMMED,
    SET_PATH, UPPERCASE, LOWERCASE,
};

// The action word's name, as the notification passes it.
const char* action_name(Action action);

inline bool owned(const Cell* series) {
    return (memory::series_of(series->data2)->flags & SERIES_OWNED) != 0;
}

// Tells the owner of `series` (when it has one with a change handler) about
// a change: the action, the new value (null for none), the index and the
// part. Answers true when an owner was told.
bool check(const Cell* series, Action action, const Cell* value, int index, int part);

}  // namespace zel::ownership
