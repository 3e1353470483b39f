// Raising errors: the names of the run-time's errors, bare errors, the
// maker the error module installs, and the errors about types every
// datatype raises.
#include "foundation/raise.h"

namespace zel {

const char* error_category_name(int category) {
    static const char* const names[] = {
#define ZEL_CAT_NAME(name, pos) #name,
        ZEL_ERROR_CATEGORIES(ZEL_CAT_NAME)
#undef ZEL_CAT_NAME
    };
    return category >= 0 && category < int(sizeof names / sizeof names[0]) ? names[category] : "?";
}

const char* error_id_name(ErrorId id) {
    switch (id) {
#define ZEL_ERR_NAME(cat, cname, word, pos) \
    case ERR_##cat##_##cname: return word;
        ZEL_ERROR_LIST(ZEL_ERR_NAME)
#undef ZEL_ERR_NAME
    }
    return "?";
}

namespace raise {

namespace {
Hooks g_hooks{};
}  // namespace

void install(const Hooks& hooks) { g_hooks = hooks; }

ErrorThrow bare(ErrorId id, const Cell* const given[3]) {
    ErrorThrow t{};
    t.code = THROW_ERROR;
    cell::set(&t.value, TYPE_NONE);
    t.id = id;
    t.argc = 0;
    for (int i = 0; i < 3; i++) {
        if (given[i]) {
            t.args[i] = *given[i];
            t.argc = i + 1;
        } else {
            cell::set(t.args + i, TYPE_NONE);
        }
    }
    cell::set(&t.where, TYPE_NONE);
    cell::set(&t.stack_position, TYPE_NONE);
    return t;
}

Cell datatype_arg(int type) {
    Cell t;
    cell::set(&t, TYPE_DATATYPE, uint32_t(type));
    return t;
}

void bad_make_arg(int type, const Cell* spec) {
    Cell t = datatype_arg(type);
    fire(ERR_script_bad_make_arg, &t, spec);
}

void bad_to_arg(int type, const Cell* value) {
    Cell t = datatype_arg(type);
    fire(ERR_script_bad_to_arg, &t, value);
}

void expect_arg(const Cell* value, int position) {
    Cell function, type, argument;
    cell::set(&function, TYPE_NONE);
    cell::set(&argument, TYPE_NONE);
    if (g_hooks.expect_arg_words) g_hooks.expect_arg_words(position, &function, &argument);
    cell::set(&type, TYPE_DATATYPE, uint32_t(type_of(value)));
    fire(ERR_script_expect_arg, &function, &type, &argument);
}

}  // namespace raise

void fire(ErrorId id, const Cell* arg1, const Cell* arg2, const Cell* arg3) {
    if (raise::g_hooks.fire) raise::g_hooks.fire(id, arg1, arg2, arg3);
    // No maker yet, or it declined (no prototype made): the error travels bare.
    const Cell* given[3] = {arg1, arg2, arg3};
    throw raise::bare(id, given);
}

}  // namespace zel
