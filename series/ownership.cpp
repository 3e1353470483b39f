// Ownership: the table of owned buffers, making series owned and taking
// that back (both walking nested blocks and plain objects once each, by the
// cycle-detection stack), and the check the modifying handlers call.
#include "series/ownership.h"

#include "foundation/collector.h"
#include "foundation/platform.h"
#include "foundation/raise.h"
#include "series/block.h"
#include "series/hash_table.h"
#include "series/series.h"
#include "series/services.h"
#include "words/context.h"
#include "words/word.h"
#include "words/words.h"

namespace zel::ownership {

Notifier g_notifier = {[](const Cell*, const Cell*, const Cell*, const Cell*, const Cell*, int, int) {
    platform::missing_hook("the owner's change notification");
}};

namespace {

constexpr int32_t TABLE_SIZE = 1000;
constexpr int ENTRY_CELLS = 3;  // the owned value, the owner, the field word

Node g_table = 0;

// Series whose buffers are owned; an image's is the holder of its record,
// and an image without pixels has none.
bool owned_type(const Cell* value) {
    int type = type_of(value);
    return type == TYPE_BITSET || (series::series_type(type) && (type != TYPE_IMAGE || value->data2 != 0));
}

// Walks into a block or object once per walk: false when it is already
// being walked, else it is pushed (the caller pops).
bool enter(Node node) {
    if (cell::cycle_find(node)) return false;
    cell::cycle_push(node);
    return true;
}

// The value's own buffer becomes owned, unless it is already.
void own_buffer(const Cell* value, const Cell* owner, const Cell* word) {
    Series* s = memory::series_of(value->data2);
    if (s->flags & SERIES_OWNED) return;
    s->flags |= SERIES_OWNED;
    Cell entry[ENTRY_CELLS] = {*value, *owner, *word};
    Cell* cells = hash_table::put_key(g_table, value->data2);
    for (int i = 0; i < ENTRY_CELLS; i++) cells[i] = entry[i];
}

void disown_buffer(const Cell* value) {
    memory::series_of(value->data2)->flags &= ~SERIES_OWNED;
    if (Cell* entry = hash_table::get_key(g_table, value->data2)) {
        for (int i = 0; i < ENTRY_CELLS; i++) cell::set(entry + i, TYPE_UNSET);
        hash_table::remove_key(g_table, value->data2);
    }
}

// Gives (owner not null) or takes away the ownership of the value's series,
// then of those in the cells of a block or path and in the fields of a plain
// object (not one that is an owner itself), each walked once. A nested
// object's series go under its own field words; an object holding the owner
// is not walked into again.
void walk(const Cell* value_in, const Cell* owner, const Cell* word) {
    Cell value = *value_in;
    int type = type_of(&value);
    if (owned_type(&value)) {
        if (owner) own_buffer(&value, owner, word);
        else disown_buffer(&value);
        if (!series::any_block(type) || !enter(value.data2)) return;
        int32_t head = int32_t(value.data1) < 0 ? 0 : int32_t(value.data1);
        for (int32_t i = head; i < block::length_q(&value) + int32_t(value.data1); i++) {
            Cell item = *block::abs_at(&value, i);
            walk(&item, owner, word);
        }
        cell::cycle_pop();
        return;
    }
    if (type != TYPE_OBJECT) return;
    Node ctx = value.data1;
    if ((context::cell_of(ctx)->header & context::FLAG_CTX_OWNER) || !enter(ctx)) return;
    for (int32_t i = 0; i < context::word_count(ctx); i++) {
        Cell item = context::values_in(ctx)[i];
        if (owner && type_of(&item) == TYPE_OBJECT && item.data1 == owner->data1) continue;
        Cell field = context::get_word(ctx, i);
        walk(&item, owner, &field);
    }
    cell::cycle_pop();
}

}  // namespace

const char* action_name(Action action) {
    static const char* const names[] = {
        "change", "changed", "clear", "cleared", "append", "appended", "insert", "inserted",
        "poke", "poked", "put", "put-ed", "remove", "removed", "random", "randomized",
        "reverse", "reversed", "sort", "sorted", "swap", "swaped", "take", "taken",
        "move", "moved", "trim", "trimmed", "set-path", "uppercase", "lowercase",
    };
    return names[action];
}

namespace {

// The table marks only its own buffers: an entry is kept, and what its cells
// hold, while its series and its owner are both reached otherwise (which may
// only show once other entries are kept); the sweep drops the others.
void mark_table() { collector::mark_table(g_table); }
void mark_entries() {
    if (g_table) hash_table::mark_owned(g_table);
}
void sweep_entries() {
    if (g_table) hash_table::sweep(g_table);
}

}  // namespace

void init() {
    g_table = 0;
    collector::add_mark_callback(mark_table, "the ownership table");
    collector::add_settle_callback(mark_entries, "the ownership table");
    collector::add_sweep_callback(sweep_entries);
    g_table = hash_table::init(TABLE_SIZE, nullptr, hash_table::KIND_OWNERSHIP, ENTRY_CELLS);
}

Node table() { return g_table; }

void set_owner(const Cell* value, const Cell* owner_in, const Cell* word_in) {
    Cell owner = *owner_in, word = *word_in;
    {
        cell::CycleScope scope;
        walk(value, &owner, &word);
    }
    context::cell_of(owner.data1)->header |= context::FLAG_CTX_OWNER;
}

void unbind(const Cell* value) {
    cell::CycleScope scope;
    walk(value, nullptr, nullptr);
}

void owner_of_spec(const Cell* spec, Cell* owner, Cell* word) {
    Cell block = *spec;
    const Cell* cells = type_of(&block) == TYPE_BLOCK && block::length_q(&block) >= 2 ? block::head(&block) : nullptr;
    if (!cells || type_of(cells) != TYPE_OBJECT || !word::any_word_type_q(type_of(cells + 1)))
        fire(ERR_script_invalid_arg, spec);
    *owner = cells[0];
    *word = cells[1];
    cell::set_type(word, TYPE_WORD);
}

Cell* find(Node node) {
    if (g_table == 0) return nullptr;
    Cell* entry = hash_table::get_key(g_table, node);
    return entry ? entry + 1 : nullptr;
}

bool check(const Cell* series, Action action, const Cell* value, int index, int part) {
    bool object = context::object_type(type_of(series));
    Node node = object ? series->data1 : series->data2;
    if (!object && !owned(series)) return false;
    const Cell* at = find(node);
    if (!at) return false;
    // The owner as it is now: its record may be newer than the entry.
    Cell owner = *context::owner_of(at[0].data1), word = at[1];
    if (type_of(&owner) != TYPE_OBJECT || owner.data3 == 0) return false;
    Cell target = *series, action_word = words::ownership_word(action);
    Cell new_value = value ? *value : Cell{TYPE_NONE, 0, 0, 0};
    g_notifier.tell(&owner, &word, &target, &action_word, &new_value, index, part);
    return true;
}

}  // namespace zel::ownership
