// port!: making ports, and their actions forwarded to the scheme's actor
// (port.h).
#include "interpreter/port.h"

#include <initializer_list>

#include "foundation/collector.h"
#include "foundation/datatype.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "interpreter/dispatch.h"
#include "interpreter/eval.h"
#include "interpreter/function.h"
#include "interpreter/object.h"
#include "interpreter/system_object.h"
#include "scalars/simple_types.h"
#include "series/block.h"
#include "series/file.h"
#include "words/context.h"
#include "words/symbol.h"
#include "words/word.h"

namespace zel::port {

namespace {

using exits::Exit;

enum StandardField : int { STANDARD_HEADER, STANDARD_PORT, STANDARD_ERROR, STANDARD_FILE_INFO, STANDARD_URL_PARTS };
constexpr int SCHEME_ACTOR = 3;  // name title info actor awake
constexpr int MAX_ARGS = 16;     // the widest action spec (find) has 15 cells after the port

bool g_forwarded[ACTION_COUNT + 1];

Cell* field_of(const Cell* object, int index) { return object::get_values(object) + index; }

// The actor function of the action's name (fields are found in any case).
Cell actor_function(const Cell* port, int action) {
    Cell actor = *field_of(port, dispatch::PORT_ACTOR);
    if (type_of(&actor) != TYPE_OBJECT) fire(ERR_access_invalid_port);
    Cell name = word::load(ACTION_NAMES[action]);
    int32_t i = context::find_word(object::context_of(&actor), name.data2, true);
    Cell function = i < 0 ? none::g_none : object::get_values(&actor)[i];
    if (type_of(&function) != TYPE_FUNCTION) fire(ERR_access_no_port_action);
    return function;
}

// The action! value of an action, as the global word of its name holds it.
Cell action_value(int action) {
    Cell name = word::load(ACTION_NAMES[action]);
    Cell value = *context::get(&name);
    if (type_of(&value) != TYPE_ACTION || int(value.data1) != action) fire(ERR_internal_not_done);
    return value;
}

// Where a refinement's arguments are: absent (null), or the first of them.
struct Refined {
    bool used;
    const Cell* arguments;
};

// The forwarded arguments of an action: the port, its other fixed
// arguments, then for each refinement in spec order its flag and its
// arguments (none for an unused one). `refined` answers for a refinement
// given its ordinal and symbol. Answers the count.
template <typename Refine>
int arguments_of(const Cell* action, const Cell* fixed, int fixed_count, Refine refined, Cell* out) {
    Node cache = interpreter::arg_cache(action).data2;
    const Cell* items = function::cache_items(cache);
    int32_t length = function::cache_length(cache);
    int n = 0, k = 0;
    for (; k < length && type_of(items + k) == TYPE_TYPESET; k++) {
        if (interpreter::arg_kind(items + k) == interpreter::ARG_RETURN) continue;
        out[n] = n < fixed_count ? fixed[n] : none::g_none;
        n++;
    }
    Refined current{false, nullptr};
    int taken = 0;
    for (; k < length && n < MAX_ARGS; k++) {
        const Cell* item = items + k;
        if (type_of(item) == TYPE_REFINEMENT) {
            current = refined(int(item->data3), item->data2);
            taken = 0;
            logic::set(out + n++, current.used);
        } else if (type_of(item) == TYPE_TYPESET && interpreter::arg_kind(item) != interpreter::ARG_RETURN) {
            out[n++] = current.used && current.arguments ? current.arguments[taken++] : none::g_none;
        }
    }
    return n;
}

// Calls the actor's function of the action with the arguments; the result
// into `result`.
void call_actor(const Cell* port, int action, const Cell* arguments, int count, Cell* result) {
    Cell function = actor_function(port, action);
    Cell name = word::load(ACTION_NAMES[action]);
    stack::TopScope scope;
    if (Exit e = interpreter::call_with(&function, arguments, count, &name)) exits::raise_exit(e);
    *result = *(stack::top() - 1);
}

// An action called from here, with the refinements named and their
// arguments: {"seek", nullptr} for a refinement without one.
struct Use {
    const char* name;
    const Cell* argument;
};
void call_with_uses(const Cell* port, int action, std::initializer_list<const Cell*> fixed, const Use* uses,
                    int use_count, Cell* result) {
    Cell action_cell = action_value(action);
    Cell fixed_cells[4];
    int fixed_count = 0;
    fixed_cells[fixed_count++] = *port;
    for (const Cell* c : fixed) fixed_cells[fixed_count++] = *c;
    Cell arguments[MAX_ARGS];
    int n = arguments_of(&action_cell, fixed_cells, fixed_count,
                         [&](int, uint32_t symbol) {
                             for (int i = 0; i < use_count; i++)
                                 if (word::load(uses[i].name).data2 == symbol) return Refined{true, uses[i].argument};
                             return Refined{false, nullptr};
                         },
                         arguments);
    call_actor(port, action, arguments, n, result);
}
void call_with_uses(const Cell* port, int action, std::initializer_list<const Cell*> fixed,
                    std::initializer_list<Use> uses, Cell* result) {
    call_with_uses(port, action, fixed, uses.begin(), int(uses.size()), result);
}

// read: open (with /seek), copy (with /part), close; copy's result.
void read_port(Cell* port, const Cell* part, bool seek, Cell* result) {
    Cell scratch{}, copied{};
    gc::root keep_scratch(&scratch), keep_copied(&copied);
    if (seek) call_with_uses(port, ACT_OPEN, {}, {{"seek", nullptr}}, &scratch);
    else call_with_uses(port, ACT_OPEN, {}, {}, &scratch);
    if (part) call_with_uses(port, ACT_COPY, {}, {{"part", part}}, &copied);
    else call_with_uses(port, ACT_COPY, {}, {}, &copied);
    call_with_uses(port, ACT_CLOSE, {}, {}, &scratch);
    *result = copied;
}

// write: open/write (with /seek), insert (with /part for an integer part),
// copy (with /part), close; copy's result.
void write_port(Cell* port, const Cell* data, const Cell* part, bool seek, Cell* result) {
    Cell scratch{}, copied{};
    gc::root keep_scratch(&scratch), keep_copied(&copied);
    if (seek) call_with_uses(port, ACT_OPEN, {}, {{"write", nullptr}, {"seek", nullptr}}, &scratch);
    else call_with_uses(port, ACT_OPEN, {}, {{"write", nullptr}}, &scratch);
    if (part && type_of(part) == TYPE_INTEGER) call_with_uses(port, ACT_INSERT, {data}, {{"part", part}}, &scratch);
    else call_with_uses(port, ACT_INSERT, {data}, {}, &scratch);
    if (part) call_with_uses(port, ACT_COPY, {}, {{"part", part}}, &copied);
    else call_with_uses(port, ACT_COPY, {}, {}, &copied);
    call_with_uses(port, ACT_CLOSE, {}, {}, &scratch);
    *result = copied;
}

// The argument cell of a refinement of the running action, by name, or
// null when it was not used.
const Cell* refinement_argument(const Cell* action, const int32_t* slots, const char* name) {
    Node cache = interpreter::arg_cache(action).data2;
    const Cell* items = function::cache_items(cache);
    uint32_t symbol = word::load(name).data2;
    for (int32_t k = 0; k < function::cache_length(cache); k++) {
        const Cell* item = items + k;
        if (type_of(item) != TYPE_REFINEMENT || item->data2 != symbol) continue;
        int32_t at = slots[item->data3 - 1];
        return at < 0 ? nullptr : stack::arguments() + at;
    }
    return nullptr;
}

// ---- Making ----------------------------------------------------------------------------

Cell* make(Cell* proto, Cell* spec, int) {
    stack::TopScope scope;
    Cell* spec_object = stack::push(spec);
    if (type_of(spec) == TYPE_OBJECT) {
        object::copy(spec, spec_object, nullptr, false, nullptr);
    } else if (type_of(spec) == TYPE_BLOCK) {
        const Cell* parts = system_object::field({system_object::STANDARD, STANDARD_URL_PARTS});
        if (!parts || type_of(parts) != TYPE_OBJECT) fire(ERR_internal_not_done);
        *spec_object = *parts;
        object::make(spec_object, stack::push(spec), TYPE_OBJECT);
    } else {
        raise::bad_make_arg(TYPE_PORT, spec);
    }
    if (object::count_words(spec_object) < 1 || type_of(object::get_values(spec_object)) != TYPE_WORD)
        fire(ERR_access_no_scheme, spec_object);
    Cell scheme_word = *object::get_values(spec_object);

    // The field's cell lies in the system object's values, which the copy's
    // allocations may move: the copy reads a cell of its own.
    const Cell* standard_port = system_object::field({system_object::STANDARD, STANDARD_PORT});
    if (!standard_port || type_of(standard_port) != TYPE_OBJECT) fire(ERR_internal_not_done);
    Cell* prototype = stack::push(standard_port);
    Cell* port = stack::push(&none::g_none);
    object::copy(prototype, port, nullptr, false, nullptr);
    cell::set_type(port, TYPE_PORT);
    *field_of(port, dispatch::PORT_SPEC) = *spec_object;
    *field_of(port, dispatch::PORT_SCHEME) = scheme_word;

    // The scheme: the value after the first word of system/schemes equal to
    // the scheme word.
    const Cell* schemes = system_object::field({system_object::SCHEMES});
    Cell scheme = none::g_none;
    if (schemes && type_of(schemes) == TYPE_BLOCK) {
        Cell list = *schemes;
        int32_t head = int32_t(list.data1), n = block::length_q(&list);
        for (int32_t i = 0; i < n; i++) {
            Cell* c = block::abs_at(&list, head + i);
            if (type_of(c) == TYPE_WORD && symbol::resolve(c->data2) == symbol::resolve(scheme_word.data2)) {
                if (i + 1 < n) scheme = *block::abs_at(&list, head + i + 1);
                break;
            }
        }
    }
    if (type_of(&scheme) != TYPE_OBJECT) fire(ERR_access_unknown_scheme, &scheme_word);
    if (object::count_words(&scheme) <= SCHEME_ACTOR) fire(ERR_access_invalid_actor);
    Cell actor = *field_of(&scheme, SCHEME_ACTOR);
    if (type_of(&actor) != TYPE_OBJECT && type_of(&actor) != TYPE_HANDLE) fire(ERR_access_invalid_actor);
    *field_of(port, dispatch::PORT_ACTOR) = actor;
    *proto = *port;
    return proto;
}

int mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, int part, int indent) {
    return object::mold_as(value, buffer, "make port! [", only, all, flat, part, indent);
}

int form(Cell* value, Cell* buffer, int part) { return mold(value, buffer, false, false, false, part, 0); }

// As objects compare, against ports only.
int compare(Cell* value1, Cell* value2, int op) {
    if (type_of(value2) != TYPE_PORT) return -2;
    return object::compare_fields(value1, value2, op);
}

// ---- URLs of port schemes -----------------------------------------------------------------

// The library's parse-url, a function of the url-parser object.
Cell parse_url_function() {
    Cell parser_word = word::load("url-parser");
    Cell parser = *context::get(&parser_word);
    Cell name = word::load("parse-url");
    if (type_of(&parser) == TYPE_OBJECT) {
        int32_t i = context::find_word(object::context_of(&parser), name.data2, false);
        if (i >= 0) return object::get_values(&parser)[i];
    }
    return none::g_none;
}

// parse-url of the URL, then make port! of its answer: the port into `url`.
void port_of_url(Cell* url) {
    stack::TopScope scope;
    Cell* target = stack::push(url);
    Cell function = parse_url_function();
    if (type_of(&function) != TYPE_FUNCTION) fire(ERR_script_invalid_arg, target);
    Cell parse_url = word::load("parse-url");
    if (Exit e = interpreter::call_with(&function, target, 1, &parse_url)) exits::raise_exit(e);
    Cell* parts = stack::top() - 1;
    if (type_of(parts) != TYPE_OBJECT) fire(ERR_script_invalid_arg, target);
    Cell type;
    cell::set(&type, TYPE_DATATYPE, TYPE_PORT);
    Cell* made = stack::push(&type);
    make(made, parts, TYPE_PORT);
    *url = *made;
}

void check_handle(const Cell* port) {
    if (type_of(field_of(port, dispatch::PORT_ACTOR)) == TYPE_HANDLE) fire(ERR_access_invalid_port);
}

}  // namespace

bool forwarded(int action) { return action > 0 && action <= ACTION_COUNT && g_forwarded[action]; }

Exit forward(const Cell* action, const int32_t* slots) {
    int id = int(action->data1);
    Cell* port = stack::arguments();
    check_handle(port);
    Cell result{};
    gc::root keep(&result);
    if (id == ACT_READ) {
        read_port(port, refinement_argument(action, slots, "part"), refinement_argument(action, slots, "seek"),
                  &result);
    } else if (id == ACT_WRITE) {
        write_port(port, port + 1, refinement_argument(action, slots, "part"),
                   refinement_argument(action, slots, "seek"), &result);
    } else {
        Cell arguments[MAX_ARGS];
        int fixed = 0;
        Node cache = interpreter::arg_cache(action).data2;
        const Cell* items = function::cache_items(cache);
        for (int32_t k = 0; k < function::cache_length(cache) && type_of(items + k) == TYPE_TYPESET; k++)
            if (interpreter::arg_kind(items + k) != interpreter::ARG_RETURN) fixed++;
        int n = arguments_of(action, stack::arguments(), fixed,
                             [&](int ordinal, uint32_t) {
                                 int32_t at = slots[ordinal - 1];
                                 return at < 0 ? Refined{false, nullptr} : Refined{true, stack::arguments() + at};
                             },
                             arguments);
        call_actor(port, id, arguments, n, &result);
        if (id == ACT_LENGTH_Q) {
            Cell type;
            cell::set(&type, TYPE_DATATYPE, TYPE_INTEGER);
            dispatch::to(&result, &type, &result);
        }
    }
    *stack::arguments() = result;
    return Exit{};
}

void init() {
    for (int action : {ACT_AT, ACT_BACK, ACT_HEAD, ACT_HEAD_Q, ACT_INDEX_Q, ACT_LENGTH_Q, ACT_NEXT, ACT_PICK,
                       ACT_SKIP, ACT_TAIL, ACT_TAIL_Q, ACT_APPEND, ACT_CHANGE, ACT_CLEAR, ACT_INSERT, ACT_MOVE,
                       ACT_POKE, ACT_PUT, ACT_REMOVE, ACT_REVERSE, ACT_SORT, ACT_SWAP, ACT_TAKE, ACT_TRIM, ACT_FIND,
                       ACT_SELECT, ACT_COPY, ACT_CREATE, ACT_CLOSE, ACT_DELETE, ACT_MODIFY, ACT_OPEN, ACT_QUERY,
                       ACT_RENAME, ACT_UPDATE, ACT_READ, ACT_WRITE})
        g_forwarded[action] = true;
    datatype::TypeRecord r(TYPE_PORT, TYPE_OBJECT, "port!");
    r.set<ACT_MAKE>(make).set<ACT_FORM>(form).set<ACT_MOLD>(mold).set<ACT_COMPARE>(compare);
    for (int action : {ACT_REFLECT, ACT_EVAL_PATH}) r.inherit(action);
    datatype::register_type(r);
    url::g_ports = {
        [](Cell* url, Cell* part, Cell* seek) {
            port_of_url(url);
            check_handle(url);
            read_port(url, part, seek != nullptr, url);
        },
        [](Cell* url, Cell* data, Cell* part, Cell* seek) {
            port_of_url(url);
            check_handle(url);
            write_port(url, data, part, seek != nullptr, url);
        },
        [](Cell* url, bool new_, bool read, bool write, bool seek, Cell* access) {
            port_of_url(url);
            check_handle(url);
            Cell port = *url;
            gc::root keep(&port);
            Use uses[5];
            int n = 0;
            if (new_) uses[n++] = {"new", nullptr};
            if (read) uses[n++] = {"read", nullptr};
            if (write) uses[n++] = {"write", nullptr};
            if (seek) uses[n++] = {"seek", nullptr};
            if (access) uses[n++] = {"allow", access};
            call_with_uses(&port, ACT_OPEN, {}, uses, n, url);
        },
    };
}

}  // namespace zel::port
