// Contexts: creation, the word-table operations, binding, the shared word
// tables and their cache, change flags, getting and setting values, the
// global context, and context!'s registration.
#include "words/context.h"

#include <algorithm>

#include "foundation/collector.h"
#include "foundation/datatype.h"
#include "foundation/frames.h"
#include "foundation/raise.h"
#include "foundation/root.h"
#include "foundation/stamp.h"
#include "scalars/simple_types.h"
#include "series/hash_table.h"
#include "words/symbol.h"
#include "words/words.h"

namespace zel::context {

Node g_global = 0;
ChangeHook g_on_change = nullptr;

namespace {

// Keeps a node only C++ holds reachable while the next allocations run.
class Hold {
public:
    explicit Hold(Node node) { cell::set(stack::push_new(), TYPE_BLOCK, 0, node); }
    ~Hold() { stack::pop(1); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
};

Node values_node(Node ctx) { return on_stack(ctx) ? 0 : cell_of(ctx)->data2; }

// The values of a context that holds them within its own series move to a
// series of their own with room for `more` values, before the context grows:
// code holds the context's two cells while it adds words, and they stay
// where they are. The values move (a buffer move).
void detach_values(Node ctx, int32_t more) {
    if (!(cell_of(ctx)->header & FLAG_CTX_VALUES_WITHIN)) return;
    int32_t n = int32_t(memory::series_of(ctx)->used() / sizeof(Cell)) - 2;
    Node values = memory::alloc_unset_cells(std::max(n + more, 2 * n));
    Series* own = memory::series_of(ctx);
    Series* v = memory::series_of(values);
    std::copy(own->cells() + 2, own->cells() + 2 + n, v->cells());
    v->tail = uint32_t(n) * sizeof(Cell);
    for (Cell* c = own->cells() + 2; c < own->cell_tail(); c++) cell::set(c, TYPE_UNSET);
    own->tail = 2 * sizeof(Cell);
    Cell* c = cell_of(ctx);
    c->data2 = values;
    c->header &= ~FLAG_CTX_VALUES_WITHIN;
    memory::g_buffer_moves++;
}

// The value index of the word at a table position (see the header on the
// global context's shared spellings).
int32_t index_at(Node ctx, int32_t position) { return int32_t(word_at(ctx, position)->data3); }

// Appends a value in step with a word just added; a context on the stack has
// no values series to append to.
Cell* append_value(Node ctx, const Cell* value) {
    Cell copy = *value;  // the value may lie in the values that move or grow
    detach_values(ctx, 1);
    Node values = values_node(ctx);
    if (values == 0) return nullptr;
    return copy_cell(&copy, cell::alloc_tail_in_buffer(values));
}

Cell word_of_symbol(uint32_t symbol) {
    Cell w;
    cell::set(&w, TYPE_WORD, 0, symbol, uint32_t(-1));
    return w;
}

bool bound_type(int type) { return type >= TYPE_WORD && type <= TYPE_REFINEMENT; }

bool nested_type(int type) {
    switch (type) {
        case TYPE_BLOCK: case TYPE_PAREN: case TYPE_HASH: case TYPE_PATH: case TYPE_LIT_PATH:
        case TYPE_SET_PATH: case TYPE_GET_PATH: return true;
        default: return false;
    }
}

int32_t head_of(const Cell* block) { return std::max(int32_t(block->data1), 0); }

// The values series grows to `count` unset cells (none for a context on the
// stack); the cells past its tail are made unset, the others kept.
void fill_values(Node ctx, int32_t count) {
    if (cell_of(ctx)->header & FLAG_CTX_VALUES_WITHIN) {
        int32_t held = int32_t(memory::series_of(ctx)->used() / sizeof(Cell)) - 2;
        if (count <= held) return;
        detach_values(ctx, count - held);
    }
    Node node = values_node(ctx);
    if (node == 0) return;
    Series* values = memory::series_of(node);
    int64_t bytes = int64_t(count) * int64_t(sizeof(Cell));
    if (bytes <= int64_t(values->tail)) return;
    if (bytes > values->capacity) values = memory::expand_series(values, bytes);
    for (int64_t b = values->tail; b < bytes; b += sizeof(Cell))
        cell::set(reinterpret_cast<Cell*>(values->data() + b), TYPE_UNSET);
    values->tail = uint32_t(bytes);
}

// ---- Shared word tables ---------------------------------------------------------------

// The word cells of a table about to be shared stop naming their context.
void release_words(Node table) {
    Series* keys = memory::series_of(hash_table::record(table)->keys);
    for (Cell* c = keys->cells(); c < keys->cell_tail(); c++) c->data1 = 0;
}

void use_table(Node ctx, Node table, bool shared) {
    Cell* c = cell_of(ctx);
    c->data1 = table;
    if (shared) c->header |= FLAG_CTX_SHARED_KEYS;
    else c->header &= ~FLAG_CTX_SHARED_KEYS;
}

// The context's table becomes shared (it may be so already).
void share_table(Node ctx) {
    if (shared_keys_q(ctx)) return;
    release_words(word_table(ctx));
    use_table(ctx, word_table(ctx), true);
}

// Copy on write: a context about to add a word to a shared table takes a
// copy of its own, whose words name it.
void unshare(Node ctx) {
    Node fresh = hash_table::copy(word_table(ctx), 0);
    use_table(ctx, fresh, false);
    Series* keys = memory::series_of(words_node(ctx));
    for (Cell* c = keys->cells(); c < keys->cell_tail(); c++) c->data1 = ctx;
}

// The tables made by collect_set_words_shared: the table a context started
// with (shared), the block node and head the set-words came from, and the
// table they grew it to (shared too). Entries are chosen by hash and
// replaced at will; the collector keeps the tables of every entry, so a node
// named here is never reused for another table. The block node is only a
// hint: the block's set-words are checked against the table at each use.
struct CacheEntry {
    Node base = 0;
    Node block = 0;
    int32_t head = 0;
    Node table = 0;
    TableNote note;  // cached_table's caller's
};
constexpr uint32_t CACHE_ENTRIES = 64;
CacheEntry g_cache[CACHE_ENTRIES];
Node g_empty_table = 0;

CacheEntry& cache_entry(Node base, Node block, int32_t head) {
    uint32_t h = hash_table::fmix32(base * 0x9E3779B1u ^ block * 0x85EBCA77u ^ uint32_t(head));
    return g_cache[h & (CACHE_ENTRIES - 1)];
}

void mark_cache() {
    collector::mark_table(g_empty_table);
    for (const CacheEntry& e : g_cache) {
        collector::mark_table(e.base);
        collector::mark_table(e.table);
    }
}

void mark_global() { collector::mark_context(g_global); }

// The call frames' function test (frames.h): the word's value in its own
// context is a function!.
bool holds_function(Node ctx, uint32_t symbol) {
    int32_t found = find_word(ctx, symbol, true);
    const Cell* values = values_of(cell_of(ctx));
    if (found < 0 || !values) return false;
    return type_of(values + word_at(ctx, found)->data3) == TYPE_FUNCTION;
}

int32_t count_of(Node table) {
    return int32_t(memory::series_of(hash_table::record(table)->keys)->used() / sizeof(Cell));
}

// Whether collecting the block's set-words into a table of the first `start`
// words of `table` gives `table`: each set-word, from the head, is either
// the next word of the table (same spelling) or one already before it (any
// spelling), and no word of the table is left over.
bool same_set_words(Node table, int32_t start, const Cell* block) {
    Series* keys = memory::series_of(hash_table::record(table)->keys);
    int32_t count = int32_t(keys->used() / sizeof(Cell));
    int32_t next = start;
    Series* s = memory::series_of(block->data2);
    for (const Cell *c = s->cells() + head_of(block), *end = s->cell_tail(); c < end; c++) {
        if (type_of(c) != TYPE_SET_WORD) continue;
        if (next < count && keys->cells()[next].data2 == c->data2) {
            next++;
            continue;
        }
        int32_t found = hash_table::find_word(table, c->data2, true, 0, nullptr);
        if (found < 0 || found >= next) return false;
    }
    return next == count;
}

}  // namespace

void init_global() {
    for (CacheEntry& e : g_cache) e = CacheEntry{};
    g_empty_table = 0;
    collector::remove_mark_callback(mark_cache);
    collector::add_mark_callback(mark_cache, "the context cache");
    collector::remove_mark_callback(mark_global);
    collector::add_mark_callback(mark_global, "the global context");
    frames::set_function_test(holds_function);
    g_global = create(GLOBAL_SLOTS, false, false, nullptr, KIND_GLOBAL);
}

void init() { datatype::register_type(datatype::TypeRecord(TYPE_CONTEXT, 0, "context!")); }

// ---- The word table -------------------------------------------------------------------

Node word_table(Node ctx) { return cell_of(ctx)->data1; }

Node words_node(Node ctx) { return hash_table::record(word_table(ctx))->keys; }

int32_t word_count(Node ctx) { return count_of(word_table(ctx)); }

Cell* word_at(Node ctx, int32_t n) { return memory::series_of(words_node(ctx))->cells() + n; }

int32_t find_word(Node ctx, uint32_t symbol, bool any_case) {
    return hash_table::find_word(word_table(ctx), symbol, any_case, 0, nullptr);
}

int32_t find_or_add_word(Node ctx, uint32_t symbol, bool any_case, int32_t* added) {
    if (shared_keys_q(ctx)) {
        int32_t present = find_word(ctx, symbol, any_case);
        if (present >= 0) {
            if (added) *added = present;
            return present;
        }
        unshare(ctx);
    }
    int32_t found = hash_table::find_word(word_table(ctx), symbol, any_case, ctx, added);
    if (found >= 0 && added) *added = found;
    return found;
}

int32_t ensure_symbol(Node ctx, uint32_t symbol) {
    int32_t added = -1;
    int32_t found = find_or_add_word(ctx, symbol, true, &added);
    if (found >= 0) return index_at(ctx, found);
    append_value(ctx, &unset::g_unset);
    return added;
}

int32_t ensure_word(Node ctx, const Cell* word) { return ensure_symbol(ctx, word->data2); }

Cell* add_word(Node ctx, const Cell* word, const Cell* value) {
    int32_t added = -1;
    if (find_or_add_word(ctx, word->data2, true, &added) >= 0) return nullptr;
    return append_value(ctx, value);
}

void put(Node ctx, const Cell* word, const Cell* value) {
    int32_t added = -1;
    int32_t found = find_or_add_word(ctx, word->data2, true, &added);
    if (found < 0) {
        append_value(ctx, value);
        return;
    }
    Cell* values = values_of(cell_of(ctx));
    if (values) copy_cell(value, values + index_at(ctx, found));
}

// ---- Binding ----------------------------------------------------------------------------

int32_t bind_word(Node ctx, Cell* word) {
    int32_t found = find_word(ctx, word->data2, true);
    if (found < 0) return -1;
    int32_t index = index_at(ctx, found);
    word->data1 = ctx;
    word->data3 = uint32_t(index);
    return index;
}

Cell* bind(Cell* block, Node ctx, bool self) {
    Node node = block->data2;
    if (cell::cycle_find(node)) return block;
    cell::cycle_push(node);
    uint32_t self_symbol = words::symbol(words::Sym::self);
    // Binding allocates nothing, so the buffer stays where it is.
    Series* s = memory::series_of(node);
    Cell* end = s->cell_tail();
    for (Cell* c = s->cells() + head_of(block); c < end; c++) {
        int type = type_of(c);
        if (bound_type(type)) {
            if (self && type == TYPE_WORD && c->data2 == self_symbol) {
                c->data1 = ctx;
                c->data3 = uint32_t(-1);
            } else if (c->data1 != 0 && c->data1 != ctx && int32_t(c->data3) >= 0 &&
                       word_table(c->data1) == word_table(ctx) && !on_stack(c->data1)) {
                // Bound to a context over the same table (an object of the
                // same shape made from this block before): the index holds.
                c->data1 = ctx;
            } else {
                bind_word(ctx, c);
            }
        } else if (nested_type(type)) {
            bind(c, ctx, self);
        }
    }
    memory::touch(s);
    cell::cycle_pop();
    return block;
}

bool collect_set_words(Node ctx, Cell* block) {
    int32_t length = int32_t(memory::series_of(block->data2)->used() / sizeof(Cell));
    if (int32_t(block->data1) > length) block->data1 = uint32_t(length);
    int32_t before = word_count(ctx);
    // Adding words allocates: the block's cells are read afresh each time.
    for (int32_t i = head_of(block);; i++) {
        Series* s = memory::series_of(block->data2);
        if (i >= int32_t(s->used() / sizeof(Cell))) break;
        const Cell* c = s->cells() + i;
        if (type_of(c) == TYPE_SET_WORD) ensure_symbol(ctx, c->data2);
    }
    return word_count(ctx) > before;
}

bool collect_set_words_shared(Node ctx, Cell* block) {
    if (!shared_keys_q(ctx)) return collect_set_words(ctx, block);
    int32_t length = int32_t(memory::series_of(block->data2)->used() / sizeof(Cell));
    if (int32_t(block->data1) > length) block->data1 = uint32_t(length);
    Node base = word_table(ctx);
    int32_t before = count_of(base);
    CacheEntry& entry = cache_entry(base, block->data2, head_of(block));
    if (entry.table && entry.base == base && entry.block == block->data2 && entry.head == head_of(block) &&
        same_set_words(entry.table, before, block)) {
        use_table(ctx, entry.table, true);
        int32_t after = count_of(entry.table);
        fill_values(ctx, after);
        return after > before;
    }
    if (!collect_set_words(ctx, block)) return false;
    if (word_count(ctx) <= SHARED_WORDS) {
        share_table(ctx);
        entry = CacheEntry{base, block->data2, head_of(block), word_table(ctx), TableNote{}};
    }
    return true;
}

Node cached_table(const Cell* block, TableNote** note, bool* pairs, bool* known) {
    *pairs = *known = false;
    if (g_empty_table == 0) return 0;
    Series* s = memory::series_of(block->data2);
    int32_t head = head_of(block);
    CacheEntry& entry = cache_entry(g_empty_table, block->data2, head);
    if (entry.table == 0 || entry.base != g_empty_table || entry.block != block->data2 || entry.head != head)
        return 0;
    *note = &entry.note;
    if (entry.note.stamp != 0 && entry.note.stamp == s->stamp && entry.note.wraps == memory::g_stamp_wraps) {
        *pairs = *known = true;
        return entry.table;
    }
    int32_t length = int32_t(s->used() / sizeof(Cell)) - head;
    Series* keys = memory::series_of(hash_table::record(entry.table)->keys);
    if (length > 0 && length == 2 * int32_t(keys->used() / sizeof(Cell))) {
        const Cell* c = s->cells() + head;
        const Cell* key = keys->cells();
        int32_t k = 0;
        while (k < length && type_of(c + k) == TYPE_SET_WORD && c[k].data2 == key->data2) {
            k += 2;
            key++;
        }
        *pairs = k == length;
    }
    return *pairs || same_set_words(entry.table, 0, block) ? entry.table : 0;
}

// ---- Making -----------------------------------------------------------------------------

namespace {

// create, or with a shared table (not 0) a context over it.
Node assemble(int32_t slots, bool on_stack, bool self, const Cell* source, int kind, Node shared) {
    if (slots <= 0) slots = 1;
    Node ctx = memory::alloc_cells(2);
    Hold hold(ctx);
    Series* s = memory::series_of(ctx);
    cell::set(s->cells(), TYPE_UNSET);
    cell::set(s->cells() + 1, TYPE_UNSET);
    s->tail = 2 * sizeof(Cell);
    Node table = shared ? shared : hash_table::init(slots, source, hash_table::KIND_SYMBOL, source ? 2 : 0);
    cell::set(cell_of(ctx), TYPE_CONTEXT, table);
    int32_t words = word_count(ctx);
    Node values = 0;
    if (!on_stack) {
        values = memory::alloc_unset_cells(std::max(slots, words));
        memory::series_of(values)->tail = uint32_t(words) * sizeof(Cell);
    }
    Cell* c = cell_of(ctx);
    c->data2 = values;
    c->header = TYPE_CONTEXT | ((uint32_t(kind) << KIND_SHIFT) & KIND_MASK);
    if (on_stack) c->header |= FLAG_CTX_ON_STACK;
    if (self) c->header |= FLAG_CTX_SELF;
    if (shared) c->header |= FLAG_CTX_SHARED_KEYS;
    return ctx;
}

}  // namespace

Node create(int32_t slots, bool on_stack, bool self, const Cell* source, int kind) {
    return assemble(slots, on_stack, self, source, kind, 0);
}

Node clone(Cell* value, int kind) {
    Node old = value->data1;
    Cell source;
    cell::set(&source, TYPE_BLOCK, 0, words_node(old));
    Node fresh = create(word_count(old), on_stack(old), self_q(old), &source, kind);
    for (int32_t i = 0; i < word_count(fresh); i++) word_at(fresh, i)->data1 = fresh;
    cell_of(fresh)->data3 = cell_of(old)->data3;
    value->data1 = fresh;
    return fresh;
}

Node share(Cell* value, int kind) {
    Node old = value->data1;
    if (on_stack(old) || word_count(old) > SHARED_WORDS) return clone(value, kind);
    share_table(old);
    Node fresh = assemble(word_count(old), false, self_q(old), nullptr, kind, word_table(old));
    cell_of(fresh)->data3 = cell_of(old)->data3;
    value->data1 = fresh;
    return fresh;
}

Node create_shared_empty(int32_t slots, bool self, int kind) {
    if (g_empty_table == 0) g_empty_table = hash_table::init(1, nullptr, hash_table::KIND_SYMBOL, 0);
    return assemble(slots, false, self, nullptr, kind, g_empty_table);
}

int32_t count_in_table(Node table) { return count_of(table); }

int32_t find_in_table(Node table, uint32_t symbol) { return hash_table::find_word(table, symbol, true, 0, nullptr); }

Node create_over(Node table, bool self, int kind) {
    int32_t words = count_of(table);
    Node ctx = memory::alloc_unset_cells(2 + std::max(words, 1));
    Series* s = memory::series_of(ctx);
    s->tail = uint32_t(2 + words) * sizeof(Cell);
    Cell* c = s->cells();
    c->header = TYPE_CONTEXT | ((uint32_t(kind) << KIND_SHIFT) & KIND_MASK) | FLAG_CTX_SHARED_KEYS |
                FLAG_CTX_VALUES_WITHIN | (self ? FLAG_CTX_SELF : 0);
    c->data1 = table;
    c->data2 = ctx;
    c->data3 = 0;
    return ctx;
}

Node make_from_spec(const Cell* spec, bool on_stack, bool self, int kind) {
    Cell block = *spec;  // read afresh below: the spec may be any cell
    int32_t length = int32_t(memory::series_of(block.data2)->used() / sizeof(Cell)) - head_of(&block);
    Node ctx = create(length, on_stack, self, nullptr, kind);
    Hold hold(ctx);
    for (int32_t i = head_of(&block);; i++) {
        Series* s = memory::series_of(block.data2);
        if (i >= int32_t(s->used() / sizeof(Cell))) break;
        const Cell* c = s->cells() + i;
        int type = type_of(c);
        if (type == TYPE_WORD || type == TYPE_LIT_WORD || type == TYPE_GET_WORD || type == TYPE_REFINEMENT) {
            int32_t added = -1;
            find_or_add_word(ctx, c->data2, true, &added);
        }
    }
    fill_values(ctx, word_count(ctx));
    return ctx;
}

// ---- Values -----------------------------------------------------------------------------

GlobalValues g_global_values;

Cell* refresh_global_values() {
    Cell* values = values_of(cell_of(g_global));
    g_global_values.cells = values;
    g_global_values.moves = memory::g_buffer_moves;
    return values;
}

Cell* missing_value(const Cell* word, Node) {
    if (int32_t(word->data3) < 0) {
        if (word->data2 == words::symbol(words::Sym::self) && word->data1 != 0) return owner_of(word->data1);
        fire(ERR_script_no_value, word);
    }
    fire(ERR_script_not_in_context, word);
}

Cell* set_in(Cell* word, const Cell* value, Node ctx, bool notify) {
    if (ctx == 0) fire(ERR_script_not_defined, word);
    int32_t index = int32_t(word->data3);
    if (index < 0) {
        int32_t found = find_word(ctx, word->data2, false);
        index = found >= 0 ? index_at(ctx, found) : ensure_word(ctx, word);
        word->data3 = uint32_t(index);
    }
    Cell* values = values_of(cell_of(ctx));
    if (!values) fire(ERR_script_not_defined, word);
    if (on_stack(ctx) || kind_of(ctx) != KIND_OBJECT) return copy_cell(value, values + index);

    mark_changed(ctx, index);
    Cell* owner = owner_of(ctx);
    if (!notify || !g_on_change || type_of(owner) != TYPE_OBJECT || owner->data3 == 0)
        return copy_cell(value, values + index);
    Cell* top = stack::top();
    Cell* old = stack::push(values + index);
    copy_cell(value, values + index);
    g_on_change(owner, word, old, value);
    stack::g_top = top;
    // The handler runs code that may have grown the context.
    return values_of(cell_of(ctx)) + index;
}

// ---- Change flags -----------------------------------------------------------------------

void mark_changed(Node ctx, int32_t n) {
    if (n < SHARED_WORDS) cell_of(ctx)->data3 |= 1u << n;
    else word_at(ctx, n)->header |= FLAG_FIELD_CHANGED;
}

bool changed_q(Node ctx, int32_t n) {
    if (n < SHARED_WORDS) return (cell_of(ctx)->data3 >> n) & 1;
    return (word_at(ctx, n)->header & FLAG_FIELD_CHANGED) != 0;
}

void clear_changed(Node ctx) {
    cell_of(ctx)->data3 = 0;
    for (int32_t n = SHARED_WORDS; n < word_count(ctx); n++) word_at(ctx, n)->header &= ~FLAG_FIELD_CHANGED;
}

// ---- The global context -----------------------------------------------------------------

Cell add_global(uint32_t symbol) { return find_or_add_global(symbol, false, true); }

Cell find_or_add_global(uint32_t symbol, bool any_case, bool copy_variant) {
    Node g = g_global;
    int32_t added = -1;
    int32_t found = find_or_add_word(g, symbol, any_case, &added);
    if (found >= 0) {
        Cell w = *word_at(g, found);
        if (any_case && copy_variant) w.data2 = symbol;
        return w;
    }
    // A new spelling shares the value cell of the earliest spelling present,
    // whichever of the two is the canonical one.
    int32_t first = find_word(g, symbol, true);
    word_at(g, added)->data3 = uint32_t(index_at(g, first));
    append_value(g, &unset::g_unset);
    Cell w = *word_at(g, added);
    root::collect_word(w);
    return w;
}

Cell* get_by_symbol(uint32_t symbol, Node ctx) {
    if (ctx == 0 || on_stack(ctx)) ctx = g_global;
    int32_t found = find_word(ctx, symbol, true);
    if (found < 0) {
        Cell w = word_of_symbol(symbol);
        fire(ERR_script_no_value, &w);
    }
    return values_of(cell_of(ctx)) + index_at(ctx, found);
}

}  // namespace zel::context
