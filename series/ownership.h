// Ownership and change notification: an object with an on-deep-change*
// handler is told about every change to a series held (at any depth of
// nested blocks and plain objects) in one of its fields.
//
// Ownership is recorded per series buffer: the buffer's SERIES_OWNED flag,
// and an entry of the ownership table (a hash table of kind 4 keyed by the
// buffer's node) of three cells: the value as it was when it became owned,
// the owner object, and the word of the owner's field that leads to it.
// Every modifying series handler calls `check` before the change with the
// action's word and after it with the word's past form; an unowned series
// costs one flag test. The first owner of a series keeps it until unbound.
//
// The table is a collector root, registered by init with the marking of the
// entries still reached and the sweep that drops those of dead buffers
// (hash_table::mark_owned, hash_table::sweep).
//
// Telling the owner runs its on-deep-change* handler, a Zel function: the
// object module hands that over from its init (g_notifier, services.h).
//
// Relies on: hash tables (kind 4), the cycle-detection stack (self-containing
// blocks and objects), contexts (an object's fields and its owner flag).
#pragma once

#include <cstdint>

#include "foundation/cell.h"
#include "foundation/memory.h"

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

// Start-up: the ownership table (1,000 entries to begin with).
void init();
Node table();

inline bool owned(const Cell* series) {
    return (memory::series_of(series->data2)->flags & SERIES_OWNED) != 0;
}

// Makes the value's series (and those inside it: the cells of blocks and
// paths, the values of plain objects) owned by `owner` under `word`, then
// flags the owner's context as an owner.
void set_owner(const Cell* value, const Cell* owner, const Cell* word);
// Takes the ownership of the value's series (and of those inside it) away.
void unbind(const Cell* value);
// The owner object and field word that `modify ... 'owned` is given as a
// block [owner word]; anything else raises script invalid-arg with it.
void owner_of_spec(const Cell* spec, Cell* owner, Cell* word);
// The owner cell of the node's entry (the field word cell follows it), or
// null; valid until the next allocation.
Cell* find(Node node);

// Tells the owner of `series` (when it has one with a change-handler record)
// about a change: the action, the new value (null for none), the index and
// the part. Answers true when an owner was told.
bool check(const Cell* series, Action action, const Cell* value, int index, int part);

// Calling the owner's on-deep-change* (when it has one) with the owner, the
// field word, the series, the action word, the new value (null: none), the
// index and the part. Set by object!'s init.
struct Notifier {
    void (*tell)(const Cell* owner, const Cell* word, const Cell* target, const Cell* action,
                 const Cell* value, int index, int part);
};
extern Notifier g_notifier;

}  // namespace zel::ownership
