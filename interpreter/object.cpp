// object!: class ids, making (make, copy, construct), assigning every field,
// the change-handler record and the calls of the change handlers, and the
// registration. Field access, reflection, text and comparison are in
// object_fields.cpp.
#include "interpreter/object.h"

#include <algorithm>

#include "foundation/datatype.h"
#include "foundation/raise.h"
#include "foundation/stamp.h"
#include "interpreter/eval.h"
#include "interpreter/eval_shortcut.h"
#include "interpreter/function.h"
#include "interpreter/trace.h"
#include "scalars/simple_types.h"
#include "series/block.h"
#include "series/ownership.h"
#include "series/series.h"
#include "words/context.h"
#include "words/symbol.h"
#include "words/words.h"

namespace zel::object {

namespace {

int32_t g_class_counter = FIRST_CLASS_ID - 1;

// The cells of the change-handler record.
enum Handler : int { ON_CHANGE = 0, ON_DEEP_CHANGE = 1 };

Cell* values_in(Node ctx) { return context::values_of(context::cell_of(ctx)); }
Node values_node(Node ctx) { return context::cell_of(ctx)->data2; }

int32_t handler_index(const Cell* object, Handler which) {
    if (object->data3 == 0) return -1;
    return cell::get_int(memory::series_of(object->data3)->cells() + which);
}

Node make_record(int32_t on_change, int32_t on_deep_change) {
    Node record = memory::alloc_cells(2);
    Series* s = memory::series_of(record);
    cell::set(s->cells(), TYPE_INTEGER, 0, uint32_t(on_change));
    cell::set(s->cells() + 1, TYPE_INTEGER, 0, uint32_t(on_deep_change));
    s->tail = s->offset + 2 * sizeof(Cell);
    return record;
}

int32_t find_symbol(Node ctx, words::Word name) { return context::find_word(ctx, words::symbol(name), true); }

// The field indexes of the two handlers (-1: none). Most objects have a few
// fields: read in order, each name resolved once, they are found sooner
// than by two lookups in the word table.
constexpr int32_t FEW_FIELDS = 8;
void find_handlers(Node ctx, int32_t* on_change, int32_t* on_deep) {
    int32_t n = context::word_count(ctx);
    if (n > FEW_FIELDS) {
        *on_change = find_symbol(ctx, words::Word::on_change_star);
        *on_deep = find_symbol(ctx, words::Word::on_deep_change_star);
        return;
    }
    *on_change = *on_deep = -1;
    if (n == 0) return;
    uint32_t change = symbol::resolve(words::symbol(words::Word::on_change_star));
    uint32_t deep = symbol::resolve(words::symbol(words::Word::on_deep_change_star));
    const Cell* fields = context::word_at(ctx, 0);  // nothing below allocates
    for (int32_t i = 0; i < n; i++) {
        uint32_t name = symbol::resolve(fields[i].data2);
        if (name == change) *on_change = i;
        else if (name == deep) *on_deep = i;
    }
}

// Pushes the value's copy made by its type's copy action.
Cell* push_copy(const Cell* value, bool deep) {
    Cell source = *value;
    Cell* result = stack::push(&none::g_none);
    auto copy = datatype::handler<ACT_COPY>(type_of(&source));
    if (!copy) raise::expect_arg(&source, 0);
    return copy_cell(copy(&source, result, nullptr, deep, nullptr), result);
}

// Slot i of the context's values becomes the copy of its value (its
// new-line flag kept); answers the slot's value afterwards.
Cell* replace_by_copy(Node ctx, int32_t i, bool deep) {
    Cell copied = *push_copy(values_in(ctx) + i, deep);
    stack::pop(1);
    Cell* slot = values_in(ctx) + i;
    copied.header = (copied.header & ~FLAG_NEW_LINE) | (slot->header & FLAG_NEW_LINE);
    *slot = copied;
    return slot;
}

// The values deep copies give their own copy of: the blocks but hash!, and
// the text types.
bool deep_copied(int type) {
    return (series::any_block(type) && type != TYPE_HASH) || series::any_string(type);
}

// A function held by field i of the object's context gets its own copy,
// whose body sees the object's fields: its context is cloned, its body
// copied deeply and bound to the object's context and then to the cloned
// one. The copy always runs interpreted.
void rebind_function(Node ctx, int32_t i) {
    stack::TopScope scope;
    Cell* function = stack::push(values_in(ctx) + i);
    Cell body = *function::body_of(function);
    if (type_of(&body) != TYPE_BLOCK) fire(ERR_script_bad_func_def, function);
    Node more_source = function->data3;
    Node function_ctx = context::clone(function, context::KIND_FUNCTION);
    Cell* copied = block::clone(&body, true, true);
    context::bind(copied, ctx, context::self_q(ctx));
    context::bind(copied, function_ctx, false);
    Cell* more = stack::push(&none::g_none);
    block::make_preset_at(more, function::MORE_CELLS, false);
    Series* m = memory::series_of(more->data2);
    m->tail = m->offset + function::MORE_CELLS * sizeof(Cell);
    m->cells()[function::MORE_BODY] = *copied;
    m->cells()[function::MORE_EXTRA] = function::more_cells(more_source)[function::MORE_EXTRA];
    function->data3 = more->data2;
    *context::owner_of(function_ctx) = *function;
    values_in(ctx)[i] = *function;
}

void rebind_functions(Node ctx) {
    for (int32_t i = 0; i < context::word_count(ctx); i++)
        if (type_of(values_in(ctx) + i) == TYPE_FUNCTION) rebind_function(ctx, i);
}

// The new object in `result` gets a context of its own with the source's
// words and a copy of its values, and the source's class id and record
// (which `copy` replaces, `make` recomputes). Deep (without a type filter)
// gives it its own copies of blocks, strings and paths; the functions get
// rebinding copies; with a type filter the values of those types are copied.
void copy_object(Cell* result, const Cell* source_in, bool deep, Cell* types) {
    Cell source = *source_in;
    Cell fresh = source;
    context::share(&fresh, context::KIND_OBJECT);
    cell::set(result, type_of(&source), fresh.data1, source.data2, source.data3);
    Node ctx = result->data1;
    int32_t n = context::word_count(ctx);
    Cell* from = values_in(source.data1);
    Cell* to = values_in(ctx);
    for (int32_t i = 0; i < n; i++) to[i] = from[i];
    store_owner(result);
    if (deep && !types) {
        for (int32_t i = 0; i < n; i++) {
            int type = type_of(values_in(ctx) + i);
            if (deep_copied(type)) replace_by_copy(ctx, i, true);
            else if (type == TYPE_FUNCTION) rebind_function(ctx, i);
        }
        return;
    }
    rebind_functions(ctx);
    if (!types) return;
    cell::CycleScope scope;
    if (deep) {
        if (cell::cycle_find(source.data1)) {
            cell::cycle_reset();
            fire(ERR_internal_no_cycle);
        }
        cell::cycle_push(source.data1);
    }
    block::copy_types(values_node(ctx), 0, n, 1, deep, types);
}

// The fields of the spec object join the new object's (a word already there
// keeps its slot) with the spec's values; then every series gets its own
// copy and every function a rebinding copy. True when the context grew.
bool extend(Cell* object, const Cell* spec) {
    Node ctx = object->data1;
    Node source = spec->data1;
    int32_t before = context::word_count(ctx);
    for (int32_t i = 0; i < context::word_count(source); i++) {
        Cell word = *context::word_at(source, i);
        int32_t index = context::ensure_word(ctx, &word);
        values_in(ctx)[index] = values_in(source)[i];
    }
    for (int32_t i = 0; i < context::word_count(ctx); i++) {
        int type = type_of(values_in(ctx) + i);
        if (series::series_type(type)) replace_by_copy(ctx, i, false);
        else if (type == TYPE_FUNCTION) rebind_function(ctx, i);
    }
    return context::word_count(ctx) > before;
}

// An object made from a prototype gets its own copies of the prototype's
// series; blocks and paths among them are bound to the new object.
void own_series(Node ctx, const Cell* prototype) {
    int32_t n = context::word_count(prototype->data1);
    for (int32_t i = 0; i < n; i++) {
        int type = type_of(values_in(ctx) + i);
        if (!series::series_type(type)) continue;
        Cell* slot = replace_by_copy(ctx, i, false);
        if (series::any_block(type)) {
            Cell copied = *slot;
            context::bind(&copied, ctx, true);
        }
    }
}

void unmark_values(Node ctx) {
    Cell* values = values_in(ctx);
    for (int32_t i = 0, n = context::word_count(ctx); i < n; i++) cell::clear_new_line(values + i);
}

// The spec block is bound to the new object and evaluated; its value is
// dropped. The set-words of the block are first collected unless the
// object has them already. True when the context grew.
bool fill_from_block(Cell* object, const Cell* spec, const Cell* prototype, bool collect = true) {
    stack::TopScope scope;
    Cell* code = stack::push(spec);
    Node ctx = object->data1;
    bool grew = collect && context::collect_set_words_shared(ctx, code);
    context::bind(code, ctx, true);
    if (prototype) own_series(ctx, prototype);
    if (exits::Exit e = interpreter::eval_block(code, false)) exits::raise_exit(e);
    context::clear_changed(ctx);
    unmark_values(ctx);
    return grew;
}

Cell truth_word_value(const Cell* value) {
    if (type_of(value) != TYPE_WORD) return *value;
    uint32_t s = symbol::resolve(value->data2);
    auto is = [s](words::Sym name) { return s == symbol::resolve(words::symbol(name)); };
    if (is(words::Sym::true_) || is(words::Sym::yes) || is(words::Sym::on)) return logic::g_true;
    if (is(words::Sym::false_) || is(words::Sym::no) || is(words::Sym::off)) return logic::g_false;
    if (is(words::Sym::none)) return none::g_none;
    return *value;
}

void on_change_hook(Cell* owner, const Cell* word, Cell* old_value, const Cell* new_value) {
    fire_on_change(owner, word, old_value, new_value);
}

// Calls a handler function with its arguments, dropping its result.
void call_handler(const Cell* function, const Cell* arguments, int count, words::Word name) {
    stack::TopScope scope;
    Cell callable = *function;
    if (exits::Exit e = interpreter::call_with(&callable, arguments, count, &words::word(name))) exits::raise_exit(e);
}

}  // namespace

// ---- Class ids ------------------------------------------------------------------------

int32_t next_class_id() { return ++g_class_counter; }

void restart_class_counter() { g_class_counter = FIRST_CLASS_ID - 1; }

void set_class(Cell* object, int32_t class_id) {
    object->data2 = uint32_t(class_id);
    store_owner(object);
}

// ---- Fields -----------------------------------------------------------------------------

int32_t count_words(const Cell* object) { return context::word_count(object->data1); }

Cell* get_values(const Cell* object) { return values_in(object->data1); }

int32_t find_word(const Cell* object, const Cell* word) {
    return context::find_word(object->data1, word->data2, true);
}

const Cell* select_word(const Cell* object, const Cell* word) {
    int32_t i = find_word(object, word);
    return i < 0 ? &none::g_none : get_values(object) + i;
}

bool bind_word(const Cell* object, Cell* word) {
    int32_t i = find_word(object, word);
    if (i < 0) return false;
    word->data1 = object->data1;
    word->data3 = uint32_t(i);
    return true;
}

// ---- Making ------------------------------------------------------------------------------

namespace {

Cell* object_at(Cell* cell, Node ctx) {
    cell::set(cell, TYPE_OBJECT, ctx, 0, 0);
    store_owner(cell);
    return cell;
}

// A new empty object whose fields are to come from the set-words of the
// block (shared keys): room for a field every two cells, as in a spec of
// set-words and their values.
Cell* make_shared_at(Cell* cell, const Cell* block) {
    int32_t slots = std::clamp(block::length_q(block) / 2, 1, context::SHARED_WORDS);
    return object_at(cell, context::create_shared_empty(slots, true, context::KIND_OBJECT));
}

// The values that stand for themselves in code: evaluating one runs, raises
// and allocates nothing.
bool literal_type(int type) {
    switch (type) {
        case TYPE_NONE: case TYPE_LOGIC: case TYPE_BLOCK: case TYPE_STRING: case TYPE_FILE: case TYPE_URL:
        case TYPE_CHAR: case TYPE_INTEGER: case TYPE_FLOAT: case TYPE_PAIR: case TYPE_PERCENT: case TYPE_TUPLE:
        case TYPE_BINARY: case TYPE_TIME: case TYPE_TAG: case TYPE_EMAIL: case TYPE_DATE: case TYPE_MONEY:
            return true;
        default:
            return false;
    }
}

// A word's value when evaluating the word would just read it (the
// evaluator's simple term); null for any other.
const Cell* plain_value(const Cell* word) { return interpreter::shortcut::simple_term(word); }

// Whether binding the spec to an object over the table leaves the word
// alone: neither one of its fields nor `self`.
bool left_unbound(const Cell* word, Node table) {
    return word->data2 != words::symbol(words::Sym::self) && context::find_in_table(table, word->data2) < 0;
}

// What the object module notes on a table of context::cached_table.
enum TableKind : uint8_t { TABLE_UNKNOWN = 0, TABLE_PLAIN = 1, TABLE_HANDLER_WORDS = 2 };

// The note's kind of a table: whether the handler words are among its
// words, found once per table.
uint8_t table_kind(context::TableNote* note, Node table) {
    if (note->kind == TABLE_UNKNOWN) {
        bool handlers = context::find_in_table(table, words::symbol(words::Word::on_change_star)) >= 0 ||
                        context::find_in_table(table, words::symbol(words::Word::on_deep_change_star)) >= 0;
        note->kind = handlers ? TABLE_HANDLER_WORDS : TABLE_PLAIN;
    }
    return note->kind;
}

// The most common specs, set-words each followed by a literal value or a
// word read as it stands (one the spec leaves bound where it was), made into
// objects again and again: the object made without evaluating the block,
// the fields taking the values the evaluation would give them and the block
// bound as the evaluation would leave it. For a block of such pairs with
// the cached table, without handler words (whose values raise unless they
// are functions), while nothing traces (tracing shows the evaluation);
// false otherwise, having made nothing. The block's values are checked once
// per change of the block: its stamp tells (`known`).
bool make_from_pairs(Cell* result, Cell* spec, Node table, context::TableNote* note, bool known) {
    if (interpreter::g_tracing || table_kind(note, table) != TABLE_PLAIN) return false;
    int32_t head = std::max(int32_t(spec->data1), 0);
    int32_t count = context::count_in_table(table);
    {
        const Cell* values = memory::series_of(spec->data2)->cells() + head + 1;
        bool nested = false;
        for (int32_t k = 0; k < count; k++) {
            const Cell* value = values + 2 * k;
            int type = type_of(value);
            if (type == TYPE_WORD) {
                if (!plain_value(value) || (!known && !left_unbound(value, table))) return false;
            } else if (!known) {
                if (!literal_type(type)) return false;
                nested |= type == TYPE_BLOCK;
            }
        }
        if (!known) note->nested = nested;
    }
    Node ctx = context::create_over(table, true, context::KIND_OBJECT);
    object_at(result, ctx);
    // Nothing below allocates: the buffers stay where they are.
    Series* s = memory::series_of(spec->data2);
    Cell* cells = s->cells() + head;
    Cell* values = values_in(ctx);
    for (int32_t k = 0; k < count; k++) {
        const Cell* value = cells + 2 * k + 1;
        values[k] = type_of(value) == TYPE_WORD ? *plain_value(value) : *value;
        cell::clear_new_line(values + k);
    }
    if (note->nested) {
        context::bind(spec, ctx, true);
    } else {
        for (int32_t k = 0; k < count; k++) {
            cells[2 * k].data1 = ctx;
            cells[2 * k].data3 = uint32_t(k);
        }
        memory::touch(s);
    }
    note->stamp = s->stamp;
    note->wraps = memory::g_stamp_wraps;
    return true;
}

// make object! of a block and no prototype. A block made into an object
// before needs no collecting of its set-words: the object starts over the
// table made then (its values within its context's series), and learns
// whether it has handler words from the note on the table. The note is read
// before the block runs: its code may make other objects, whose tables may
// take the note's place in the cache.
void make_from_block(Cell* result, Cell* spec) {
    context::TableNote* note = nullptr;
    bool pairs, known;
    Node table = context::cached_table(spec, &note, &pairs, &known);
    if (table && pairs && make_from_pairs(result, spec, table, note, known)) {
        result->data2 = uint32_t(next_class_id());
        store_owner(result);
        return;
    }
    if (table == 0) {
        make_shared_at(result, spec);
        fill_from_block(result, spec, nullptr);
        result->data2 = uint32_t(next_class_id());
        init_events(result);
        return;
    }
    bool plain = table_kind(note, table) == TABLE_PLAIN;
    object_at(result, context::create_over(table, true, context::KIND_OBJECT));
    fill_from_block(result, spec, nullptr, false);
    result->data2 = uint32_t(next_class_id());
    // Words the code added to the object give it a table of its own.
    if (plain && context::word_table(result->data1) == table) store_owner(result);
    else init_events(result);
}

}  // namespace

Cell* make_at(Cell* cell, int32_t slots) {
    return object_at(cell, context::create(slots, false, true, nullptr, context::KIND_OBJECT));
}

void store_owner(const Cell* object) { *context::owner_of(object->data1) = *object; }

void init_events(Cell* object) {
    Node ctx = object->data1;
    int32_t on_change, on_deep;
    find_handlers(ctx, &on_change, &on_deep);
    object->data3 = 0;
    if (on_change >= 0 || on_deep >= 0) {
        for (int32_t i : {on_change, on_deep}) {
            if (i < 0) continue;
            Cell value = values_in(ctx)[i];
            if (type_of(&value) != TYPE_FUNCTION && type_of(&value) != TYPE_ROUTINE) {
                Cell word = get_word(ctx, i), type = raise::datatype_arg(type_of(&value));
                fire(ERR_script_bad_field_set, &word, &type);
            }
        }
        object->data3 = make_record(on_change, on_deep);
    }
    store_owner(object);
    if (on_deep < 0) return;
    for (int32_t i = 0; i < context::word_count(ctx); i++) {
        Cell value = values_in(ctx)[i], word = get_word(ctx, i);
        ownership::set_owner(&value, object, &word);
    }
}

Cell* make(Cell* proto, Cell* spec, int) {
    stack::TopScope scope;
    bool from_prototype = type_of(proto) == TYPE_OBJECT;
    Cell* prototype = stack::push(proto);
    Cell* source = stack::push(spec);
    Cell* result = stack::push(&none::g_none);
    if (!from_prototype && type_of(source) == TYPE_BLOCK) {
        make_from_block(result, source);
        return copy_cell(result, proto);
    }
    if (from_prototype) copy_object(result, prototype, false, nullptr);
    else if (type_of(source) == TYPE_BLOCK) make_shared_at(result, source);
    else make_at(result, 4);
    bool grew;
    switch (type_of(source)) {
        case TYPE_OBJECT:
            grew = extend(result, source);
            break;
        case TYPE_BLOCK:
            grew = fill_from_block(result, source, from_prototype ? prototype : nullptr);
            break;
        default:
            fire(ERR_syntax_malconstruct, source);
    }
    // An object made from nothing but object! is a class of its own even
    // when its spec adds no field.
    result->data2 = grew || !from_prototype ? uint32_t(next_class_id()) : prototype->data2;
    init_events(result);
    return copy_cell(result, proto);
}

Cell* copy(Cell* value, Cell* result, Cell* part, bool deep, Cell* types) {
    if (part) {
        Cell word = words::refinement(words::Ref::part);
        cell::set_type(&word, TYPE_WORD);
        fire(ERR_script_invalid_refine_arg, &word, part);
    }
    copy_object(result, value, deep, types);
    init_events(result);
    return result;
}

Cell* construct(const Cell* spec, const Cell* prototype, bool only) {
    Cell* result = stack::push(&none::g_none);
    stack::TopScope scope;
    Cell* source = stack::push(spec);
    if (prototype) {
        copy_object(result, prototype, false, nullptr);
    } else {
        make_shared_at(result, source);
        set_class(result, next_class_id());
    }
    Node ctx = result->data1;
    // The words first, all at once, so that specs of one shape share them.
    context::collect_set_words_shared(ctx, source);
    int32_t end = block::length_q(source) + int32_t(source->data1);
    for (int32_t i = int32_t(source->data1) < 0 ? 0 : int32_t(source->data1); i < end;) {
        if (type_of(block::abs_at(source, i)) != TYPE_SET_WORD) {
            i++;
            continue;
        }
        int32_t after = i;
        while (after < end && type_of(block::abs_at(source, after)) == TYPE_SET_WORD) after++;
        Cell value = after < end ? *block::abs_at(source, after) : none::g_none;
        if (!only) value = truth_word_value(&value);
        for (int32_t k = i; k < after; k++) {
            Cell word = *block::abs_at(source, k);
            context::put(ctx, &word, &value);
        }
        i = after + 1;
    }
    if (prototype) init_events(result);
    return result;
}

void set_many(Cell* object, const Cell* value_in, bool any, bool only, bool some) {
    stack::TopScope scope;
    Cell* target = stack::push(object);
    Cell* value = stack::push(value_in);
    Node ctx = target->data1;
    int type = type_of(value);
    bool per_field = !only && (type == TYPE_BLOCK || object_type(type));
    // The value field i takes, or null when the field is left alone.
    auto source_of = [&](int32_t i) -> const Cell* {
        if (!per_field) return value;
        if (type == TYPE_BLOCK) {
            if (i >= block::length_q(value)) return &none::g_none;
            return block::abs_at(value, int32_t(value->data1) + i);
        }
        Cell word = get_word(ctx, i);
        int32_t found = find_word(value, &word);
        return found < 0 ? nullptr : get_values(value) + found;
    };
    if (per_field && !some) {
        for (int32_t i = 0; i < context::word_count(ctx); i++) {
            const Cell* v = source_of(i);
            if (v && type_of(v) == TYPE_UNSET && !any) {
                Cell word = get_word(ctx, i);
                fire(ERR_script_need_value, &word);
            }
        }
    }
    int32_t on_change = handler_index(target, ON_CHANGE), on_deep = handler_index(target, ON_DEEP_CHANGE);
    for (int32_t i = 0; i < context::word_count(ctx); i++) {
        const Cell* v = source_of(i);
        if (!v || (some && type_of(v) == TYPE_NONE)) continue;
        Cell assigned = *v, word = get_word(ctx, i);
        bool handler_field = target->data3 != 0 && (i == on_change || i == on_deep);
        context::set_in(&word, &assigned, ctx, !handler_field);
    }
}

// ---- Change handlers ---------------------------------------------------------------------

void fire_on_change(const Cell* object, const Cell* word, const Cell* old_value, const Cell* new_value) {
    int32_t i = handler_index(object, ON_CHANGE);
    if (i < 0) return;
    Node ctx = object->data1;
    Cell function = values_in(ctx)[i];
    if (type_of(&function) != TYPE_FUNCTION) fire(ERR_script_invalid_obj_evt, &function);
    Cell arguments[3] = {*word, *old_value, *new_value};
    Cell& field = arguments[0];
    field.header = TYPE_WORD;
    if (field.data1 != ctx || int32_t(field.data3) < 0) bind_word(object, &field);
    call_handler(&function, arguments, 3, words::Word::on_change_star);
}

void fire_on_deep_change(const Cell* owner, const Cell* word, const Cell* target, const Cell* action,
                         const Cell* value, int index, int part) {
    if (owner->data3 == 0) fire(ERR_script_invalid_obj_evt, owner);
    int32_t i = handler_index(owner, ON_DEEP_CHANGE);
    if (i < 0) return;
    Cell function = values_in(owner->data1)[i];
    if (type_of(&function) != TYPE_FUNCTION) return;
    Cell arguments[7] = {*owner, *word, *target, *action, value ? *value : none::g_none};
    cell::set(arguments + 5, TYPE_INTEGER, 0, uint32_t(index));
    cell::set(arguments + 6, TYPE_INTEGER, 0, uint32_t(part));
    call_handler(&function, arguments, 7, words::Word::on_deep_change_star);
}

// ---- Registration ------------------------------------------------------------------------

void init() {
    datatype::TypeRecord r(TYPE_OBJECT, 0, "object!");
    r.set<ACT_MAKE>(make).set<ACT_REFLECT>(reflect).set<ACT_FORM>(form).set<ACT_MOLD>(mold);
    r.set<ACT_EVAL_PATH>(eval_path).set<ACT_COMPARE>(compare).set<ACT_COPY>(copy);
    r.set<ACT_PUT>(put).set<ACT_SELECT>(select).set<ACT_MODIFY>(modify);
    datatype::register_type(r);
    context::g_on_change = on_change_hook;
    ownership::g_notifier = {fire_on_deep_change};
}

}  // namespace zel::object
