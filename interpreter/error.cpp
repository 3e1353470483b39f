// error!: the prototype, the catalogue and its lookups, making errors (fire,
// make error!), their printed form and mold, and the registration.
#include "interpreter/error.h"

#include <climits>
#include <cstring>

#include "foundation/collector.h"
#include "foundation/datatype.h"
#include "interpreter/dispatch.h"
#include "interpreter/eval.h"
#include "interpreter/exits.h"
#include "interpreter/object.h"
#include "interpreter/trace.h"
#include "scalars/simple_types.h"
#include "series/block.h"
#include "series/series.h"
#include "series/string.h"
#include "words/context.h"
#include "words/symbol.h"
#include "words/word.h"
#include "words/words.h"

namespace zel {

namespace error {

namespace {

constexpr int CATEGORY_COUNT = 10;
constexpr int FIRST_ID = 2;  // code and type come first in a category
constexpr int CATALOG_CLASS = 184;
constexpr int FIRST_CATEGORY_CLASS = 186;
constexpr int NEAR_LIMIT = 40;

const char* const FIELD_NAMES[FIELD_COUNT] = {"code", "type", "id",   "arg1",  "arg2",
                                              "arg3", "near", "where", "stack", "files"};

struct Known {
    int category;
    int position;
};
const Known KNOWN[] = {
#define ZEL_ERR_ROW(cat, cname, word, pos) {ERR_CAT_##cat, pos},
    ZEL_ERROR_LIST(ZEL_ERR_ROW)
#undef ZEL_ERR_ROW
};

Cell g_prototype = {TYPE_NONE, 0, 0, 0};
Cell g_catalog = {TYPE_NONE, 0, 0, 0};
Cell g_depth = {TYPE_INTEGER, 0, 1, 0};
Cell g_files = {TYPE_NONE, 0, 0, 0};

bool installed() { return type_of(&g_catalog) == TYPE_OBJECT; }
Node catalog_context() { return g_catalog.data1; }

Cell* values_of(const Cell* object) { return object::get_values(object); }

bool same_symbol(uint32_t a, uint32_t b) { return symbol::resolve(a) == symbol::resolve(b); }

// The run-time's own list, for naming errors without a catalogue.
int known_position(int category, uint32_t symbol) {
    for (const Known& k : KNOWN) {
        if (k.category != category) continue;
        const char* name = error_id_name(ErrorId(uint32_t(k.category) << 8 | uint32_t(k.position)));
        if (same_symbol(symbol, symbol::make(name))) return k.position;
    }
    return -1;
}

int known_last_position(int category) {
    int last = FIRST_ID - 1;
    for (const Known& k : KNOWN)
        if (k.category == category && k.position > last) last = k.position;
    return last;
}

// The category object at an index of the catalogue; null without one.
const Cell* category_object(int category) {
    if (!installed() || category < 0 || category >= context::word_count(catalog_context())) return nullptr;
    const Cell* c = values_of(&g_catalog) + category;
    return type_of(c) == TYPE_OBJECT ? c : nullptr;
}

Cell category_word(int category) {
    if (installed()) return object::get_word(catalog_context(), category);
    return word::load(error_category_name(category));
}

Cell id_word(int category, int position) {
    if (const Cell* c = category_object(category)) return object::get_word(c->data1, position);
    return word::load(error_id_name(ErrorId(uint32_t(category) << 8 | uint32_t(position))));
}

// The index of the category a word names, or -1.
int find_category(const Cell* word) {
    if (!word::any_word_type_q(type_of(word))) return -1;
    if (installed()) {
        int32_t i = context::find_word(catalog_context(), word->data2, true);
        return i < CATEGORY_COUNT ? i : -1;
    }
    for (int c = 0; c < CATEGORY_COUNT; c++)
        if (same_symbol(word->data2, symbol::make(error_category_name(c)))) return c;
    return -1;
}

// The position of the id a word names in its category, or -1.
int find_id(int category, const Cell* word) {
    if (!word::any_word_type_q(type_of(word))) return -1;
    if (!installed()) return known_position(category, word->data2);
    const Cell* c = category_object(category);
    if (!c) return -1;
    int32_t i = context::find_word(c->data1, word->data2, true);
    return i >= FIRST_ID ? i : -1;
}

int id_count_end(int category) {
    if (!installed()) return known_last_position(category) + 1;
    const Cell* c = category_object(category);
    return c ? context::word_count(c->data1) : 0;
}

void set_id(Cell* error, int category, int position) {
    Cell type = category_word(category), id = id_word(category, position);
    Cell* v = values_of(error);
    cell::set(v + FIELD_CODE, TYPE_INTEGER, 0, uint32_t(category * 100 + position - FIRST_ID));
    v[FIELD_TYPE] = type;
    v[FIELD_ID] = id;
}

// The cell becomes a new error: a copy of the prototype, class 1, no handlers.
Cell* new_error(Cell* result) {
    Cell prototype = g_prototype;
    object::copy(&prototype, result, nullptr, false, nullptr);
    result->header = TYPE_ERROR;
    result->data2 = uint32_t(ERROR_CLASS);
    result->data3 = 0;
    object::store_owner(result);
    return result;
}


// The error becomes internal invalid-error about the bad word.
void make_invalid(Cell* error, const Cell* bad) {
    Cell word = *bad;
    ErrorId invalid = ERR_internal_invalid_error;
    set_id(error, error_category(invalid), error_position(invalid));
    values_of(error)[FIELD_ARG1] = word;
}

// ---- Text ---------------------------------------------------------------------------------

int append_text(Cell* buffer, const char* text, int part) {
    string::append_c_string(buffer, text);
    return part - int(std::strlen(text));
}

int append_string(Cell* buffer, const Cell* text, int part) {
    Cell s = *text;
    return string::form(&s, buffer, part);
}

// ---- Showing values in a report ----------------------------------------------------------
//
// A report shows whatever the error holds, and some values cannot be shown
// yet (a binary! or a tag! the lexer made, before their types have
// handlers). Such a value must not take the report, and the error it
// reports, with it: a value whose mold or form raises stands as its type in
// construction syntax, #(binary!), and the report goes on.

int stand_in(Cell* buffer, const Cell* value, int part) {
    part = append_text(buffer, "#(", part);
    part = append_text(buffer, datatype::type_name(type_of(value)), part);
    return append_text(buffer, ")", part);
}

// Appends what `show` writes (it answers the budget left), or the stand-in
// of `value` when that raises.
template <typename Show>
int shown(Cell* buffer, const Cell* value, int part, Show&& show) {
    int before = string::abs_length_q(buffer);
    int left = part;
    if (exits::attempt([&] { left = show(); })) return left;
    string::truncate(string::buffer_of(buffer), before);
    return stand_in(buffer, value, part);
}

int form_shown(Cell* buffer, const Cell* value, int part) {
    Cell v = *value;
    return shown(buffer, value, part, [&] { return dispatch::form(&v, buffer, part); });
}

bool mold_flat(Cell* buffer, const Cell* value, bool only, int limit) {
    Cell v = *value;
    return exits::attempt([&] { dispatch::mold(&v, buffer, only, false, true, limit, 0); });
}

// The values of a block that cannot be molded whole, one by one, until the
// text since `start` passes `limit`: a block or paren among them is opened
// the same way, any other value that cannot be molded stands in.
void mold_each(Cell* buffer, const Cell* block, int start, int limit) {
    int32_t head = int32_t(block->data1), end = head + block::length_q(block);
    for (int32_t i = head; i < end && string::abs_length_q(buffer) - start <= limit; i++) {
        if (i > head) append_text(buffer, " ", limit);
        Cell item = *block::abs_at(block, i);
        int before = string::abs_length_q(buffer);
        if (mold_flat(buffer, &item, false, limit)) continue;
        string::truncate(string::buffer_of(buffer), before);
        int t = type_of(&item);
        if (t != TYPE_BLOCK && t != TYPE_PAREN) {
            stand_in(buffer, &item, limit);
            continue;
        }
        append_text(buffer, t == TYPE_BLOCK ? "[" : "(", limit);
        mold_each(buffer, &item, start, limit);
        append_text(buffer, t == TYPE_BLOCK ? "]" : ")", limit);
    }
}

// Molds /only /flat, cut at `limit` characters. When the whole cannot be
// molded, a block's values are molded one by one, so that only those that
// cannot be are replaced.
int mold_limited(Cell* buffer, const Cell* value, int limit, int part) {
    Cell v = *value;
    int before = string::abs_length_q(buffer);
    if (!mold_flat(buffer, &v, true, limit)) {
        string::truncate(string::buffer_of(buffer), before);
        if (series::any_block(type_of(&v))) mold_each(buffer, &v, before, limit);
        else stand_in(buffer, &v, limit);
    }
    int written = string::abs_length_q(buffer) - before;
    if (written > limit) {
        string::truncate(string::buffer_of(buffer), before + limit);
        written = limit;
    }
    return part - written;
}

// The template's items, one space between each two: strings as they are,
// words as the error's field of that name (formed for syntax errors, molded
// otherwise).
int form_message(const Cell* message, Cell* buffer, const Cell* error, int part) {
    bool syntax = find_category(values_of(error) + FIELD_TYPE) == ERR_CAT_syntax;
    Cell tmpl = *message;
    int32_t head = int32_t(tmpl.data1) < 0 ? 0 : int32_t(tmpl.data1);
    int32_t end = head + block::length_q(&tmpl);
    for (int32_t i = head; i < end; i++) {
        if (i > head) part = append_text(buffer, " ", part);
        Cell item = *block::abs_at(&tmpl, i);
        if (type_of(&item) == TYPE_STRING) {
            part = append_string(buffer, &item, part);
        } else if (type_of(&item) == TYPE_WORD || type_of(&item) == TYPE_GET_WORD) {
            Cell v = *object::select_word(error, &item);
            part = syntax ? form_shown(buffer, &v, part)
                          : shown(buffer, &v, part, [&] { return dispatch::mold(&v, buffer, false, false, false, part, 0); });
        }
    }
    return part;
}

// The calls up to the frame position, each formed and followed by a space.
int form_calls(Cell* buffer, int position, int depth, int part) {
    stack::TopScope scope;
    Cell* calls = block::push_only(8);
    frames::list_calls(depth, calls, position);
    for (int32_t i = 0; i < block::length_q(calls); i++) {
        Cell word = *block::abs_at(calls, i);
        part = dispatch::form(&word, buffer, part);
        part = append_text(buffer, " ", part);
    }
    return part;
}

// The message template of the error's id; an error whose category or id the
// catalogue does not know becomes internal invalid-error first.
Cell message_of(Cell* error, int& category) {
    category = find_category(values_of(error) + FIELD_TYPE);
    if (category < 0) {
        Cell bad = values_of(error)[FIELD_TYPE];
        make_invalid(error, &bad);
        category = ERR_CAT_internal;
    }
    int position = find_id(category, values_of(error) + FIELD_ID);
    if (position < 0) {
        Cell bad = values_of(error)[FIELD_ID];
        make_invalid(error, &bad);
        category = ERR_CAT_internal;
        position = error_position(ERR_internal_invalid_error);
    }
    const Cell* c = category_object(category);
    Cell message = c ? values_of(c)[position] : none::g_none;
    if (type_of(&message) == TYPE_WORD) message = *object::select_word(error, &message);
    return message;
}

// Without a catalogue an error shows its category and id words.
int form_heading(Cell* error, Cell* buffer, int part) {
    int category;
    Cell message = message_of(error, category);
    const Cell* c = category_object(category);
    if (!c) {
        Cell type = values_of(error)[FIELD_TYPE], id = values_of(error)[FIELD_ID];
        part = dispatch::form(&type, buffer, part);
        part = append_text(buffer, "/", part);
        return dispatch::form(&id, buffer, part);
    }
    Cell title = values_of(c)[1];
    part = dispatch::form(&title, buffer, part);
    part = append_text(buffer, ": ", part);
    if (type_of(&message) == TYPE_STRING) return append_string(buffer, &message, part);
    if (type_of(&message) == TYPE_BLOCK) return form_message(&message, buffer, error, part);
    Cell bad = values_of(error)[FIELD_ID];
    make_invalid(error, &bad);
    return part;
}

}  // namespace

// ---- The prototype and the catalogue ---------------------------------------------------------

namespace {
// What `fire` runs once this module is registered. Before start-up has made
// the prototype there is no error! to throw: it returns, and the error
// travels bare.
void make_and_throw(ErrorId id, const Cell* arg1, const Cell* arg2, const Cell* arg3) {
    if (type_of(&g_prototype) != TYPE_ERROR) return;
    Cell made = *error::create(id, arg1, arg2, arg3);
    if (interpreter::g_tracing) {
        uint32_t pending = exits::g_throw_code;
        interpreter::trace(interpreter::TRACE_ERROR, nullptr, -1, stack::top() - 1, nullptr);
        exits::g_throw_code = pending;
    }
    // throw_error pushes the error where the catch finds it.
    stack::pop(1);
    exits::throw_error(&made, arg3 ? 3 : arg2 ? 2 : arg1 ? 1 : 0);
}

}  // namespace

void init() {
    raise::install({make_and_throw, interpreter::expect_arg_words});
    datatype::TypeRecord r(TYPE_ERROR, TYPE_OBJECT, "error!");
    r.set<ACT_MAKE>(make).set<ACT_FORM>(form).set<ACT_MOLD>(mold).set<ACT_EVAL_PATH>(eval_path);
    r.set<ACT_COMPARE>(compare);
    for (int action : {ACT_REFLECT, ACT_COPY, ACT_SELECT}) r.inherit(action);
    datatype::register_type(r);
}

namespace {

// Collector root: the prototype, the catalogue and the two settings.
void mark_roots() {
    for (const Cell* c : {&g_prototype, &g_catalog, &g_depth, &g_files}) collector::mark_value(c);
}

}  // namespace

void init_prototype() {
    g_prototype = none::g_none;
    collector::add_mark_callback(mark_roots, "the error prototype and catalogue");
    Cell* prototype = stack::push(&none::g_none);
    object::make_at(prototype, FIELD_COUNT);
    for (const char* name : FIELD_NAMES) {
        Cell word;
        cell::set(&word, TYPE_WORD, 0, symbol::make(name), uint32_t(-1));
        context::add_word(prototype->data1, &word, &none::g_none);
    }
    prototype->header = TYPE_ERROR;
    prototype->data2 = uint32_t(ERROR_CLASS);
    object::store_owner(prototype);
    g_prototype = *prototype;
    stack::pop(1);
}

void set_catalog(const Cell* catalog) {
    if (type_of(catalog) != TYPE_OBJECT) return;
    g_catalog = *catalog;
    object::set_class(&g_catalog, CATALOG_CLASS);
    for (int c = 0; c < CATEGORY_COUNT; c++)
        if (category_object(c)) object::set_class(values_of(&g_catalog) + c, FIRST_CATEGORY_CLASS + 2 * c);
}

void forget_catalog() {
    g_catalog = Cell{TYPE_NONE, 0, 0, 0};
    g_depth = Cell{TYPE_INTEGER, 0, 1, 0};
    g_files = Cell{TYPE_NONE, 0, 0, 0};
}

const Cell* catalog() { return &g_catalog; }

void set_trace_settings(const Cell* depth, const Cell* files) {
    g_depth = *depth;
    g_files = *files;
}

Cell* field(const Cell* error, Field f) { return values_of(error) + f; }

// ---- Making errors --------------------------------------------------------------------------

Cell* create(ErrorId id, const Cell* arg1, const Cell* arg2, const Cell* arg3) {
    Cell args[3];
    const Cell* given[3] = {arg1, arg2, arg3};
    for (int i = 0; i < 3; i++) args[i] = given[i] ? *given[i] : none::g_none;
    Cell near = interpreter::g_code_position;
    if (!series::any_block(type_of(&near))) near = none::g_none;
    gc::root keep_args(args, 3), keep_near(&near);
    Cell* error = new_error(stack::push(&none::g_none));
    set_id(error, error_category(id), error_position(id));
    Cell* v = values_of(error);
    for (int i = 0; i < 3; i++) v[FIELD_ARG1 + i] = args[i];
    v[FIELD_NEAR] = near;
    return error;
}

ErrorId id_of(const Cell* error) {
    int category = find_category(field(error, FIELD_TYPE));
    int position = category < 0 ? -1 : find_id(category, field(error, FIELD_ID));
    if (position < 0) return ERR_internal_invalid_error;
    return ErrorId(uint32_t(category) << 8 | uint32_t(position));
}

ErrorThrow in_flight(const Cell* error, int argc) {
    const Cell* none_args[3] = {nullptr, nullptr, nullptr};
    ErrorThrow t = raise::bare(ERR_internal_invalid_error, none_args);
    if (!object::object_type(type_of(error))) return t;
    t.value = *error;
    t.id = id_of(error);
    const Cell* v = values_of(error);
    for (int i = 0; i < 3; i++) {
        t.args[i] = v[FIELD_ARG1 + i];
        if (type_of(t.args + i) != TYPE_NONE) t.argc = i + 1;
    }
    if (argc >= 0) t.argc = argc;
    t.where = v[FIELD_WHERE];
    t.stack_position = v[FIELD_STACK];
    return t;
}

void capture_stack(Cell* error) {
    if (type_of(field(error, FIELD_STACK)) != TYPE_INTEGER) return;
    stack::TopScope scope;
    Cell* kept = stack::push(error);
    int position = cell::get_int(field(kept, FIELD_STACK));
    int depth = type_of(&g_depth) == TYPE_INTEGER && cell::get_int(&g_depth) > 0 ? cell::get_int(&g_depth) : 1;
    Cell* calls = block::push_only(20);
    frames::list_calls(depth, calls, position);
    *field(kept, FIELD_STACK) = *calls;
    if (type_of(&g_files) != TYPE_NONE) {
        Cell files = g_files;
        if (series::any_block(type_of(&files))) files = *block::clone(&files, false, false);
        *field(kept, FIELD_FILES) = files;
    }
}

}  // namespace error


namespace error {

// ---- Handlers --------------------------------------------------------------------------------

Cell* make(Cell* proto, Cell* spec, int) {
    stack::TopScope scope;
    Cell* source = stack::push(spec);
    Cell* error = new_error(stack::push(&none::g_none));
    switch (type_of(source)) {
        case TYPE_INTEGER: {
            int32_t code = cell::get_int(source);
            int category = code / 100, position = code % 100 + FIRST_ID;
            if (code < 0 || category >= CATEGORY_COUNT || position >= id_count_end(category))
                fire(ERR_script_out_of_range, source);
            set_id(error, category, position);
            break;
        }
        case TYPE_BLOCK: {
            const Cell* first = block::length_q(source) > 0 ? block::head(source) : nullptr;
            int first_type = first ? type_of(first) : TYPE_NONE;
            if (first_type == TYPE_WORD) {
                Cell type = *first;
                int category = find_category(&type);
                if (category < 0) fire(ERR_script_invalid_spec_field, &words::word(words::Word::type));
                if (block::length_q(source) < 2) fire(ERR_script_invalid_spec_field, &words::word(words::Word::id));
                Cell id = block::head(source)[1];
                if (type_of(&id) != TYPE_WORD) fire(ERR_script_invalid_arg, &id);
                int position = find_id(category, &id);
                if (position < 0) fire(ERR_script_invalid_spec_field, &words::word(words::Word::id));
                set_id(error, category, position);
                values_of(error)[FIELD_TYPE] = type;
                values_of(error)[FIELD_ID] = id;
            } else if (first_type == TYPE_SET_WORD) {
                context::bind(source, error->data1, true);
                if (exits::Exit e = interpreter::eval_block(source, false)) exits::raise_exit(e);
                int category = find_category(field(error, FIELD_TYPE));
                if (category < 0) fire(ERR_script_invalid_spec_field, &words::word(words::Word::type));
                int position = find_id(category, field(error, FIELD_ID));
                if (position < 0) fire(ERR_script_invalid_spec_field, &words::word(words::Word::id));
                cell::set(field(error, FIELD_CODE), TYPE_INTEGER, 0,
                          uint32_t(category * 100 + position - FIRST_ID));
            } else {
                fire(ERR_internal_invalid_error);
            }
            break;
        }
        case TYPE_STRING: {
            set_id(error, ERR_CAT_user, error_position(ERR_user_message));
            *field(error, FIELD_ARG1) = *source;
            break;
        }
        default:
            raise::bad_make_arg(TYPE_ERROR, source);
    }
    return copy_cell(error, proto);
}

int form(Cell* value, Cell* buffer, int part) {
    stack::TopScope scope;
    Cell* error = stack::push(value);
    part = append_text(buffer, "*** ", part);
    part = form_heading(error, buffer, part);
    part = append_text(buffer, "\n*** Where: ", part);
    Cell where = *field(error, FIELD_WHERE);
    if (type_of(&where) == TYPE_WORD) part = dispatch::form(&where, buffer, part);
    else if (type_of(&where) == TYPE_STRING) part = append_string(buffer, &where, part);
    else part = append_text(buffer, "???", part);
    part = append_text(buffer, "\n*** Near : ", part);
    part = mold_limited(buffer, field(error, FIELD_NEAR), NEAR_LIMIT, part);
    int depth = type_of(&g_depth) == TYPE_INTEGER ? cell::get_int(&g_depth) : 0;
    Cell stack_field = *field(error, FIELD_STACK);
    if (depth > 0 && type_of(&stack_field) == TYPE_INTEGER) {
        part = append_text(buffer, "\n*** Stack: ", part);
        part = form_calls(buffer, cell::get_int(&stack_field), depth, part);
    } else if (depth > 0 && type_of(&stack_field) == TYPE_BLOCK) {
        part = append_text(buffer, "\n*** Stack: ", part);
        part = dispatch::form(&stack_field, buffer, part);
    }
    Cell files = *field(error, FIELD_FILES);
    if (type_of(&files) == TYPE_BLOCK) {
        part = append_text(buffer, "\n*** Files: ", part);
        part = mold_limited(buffer, &files, NEAR_LIMIT, part);
    }
    return part;
}

int mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, int part, int indent) {
    return object::mold_as(value, buffer, "make error! [", only, all, flat, part, indent);
}

Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path, Cell* owner, Cell* prev, int index,
                bool case_, bool tail, bool notify) {
    return object::eval_path(parent, element, value, path, owner, prev, index, case_, tail, notify);
}

int compare(Cell* value1, Cell* value2, int op) {
    if (type_of(value2) != TYPE_ERROR) return -2;
    return object::compare_fields(value1, value2, op);
}

// ---- Errors raised by the run-time's own modules ---------------------------------------------

}  // namespace error
}  // namespace zel
