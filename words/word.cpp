// Words: making words from names and other values, reading and writing
// their values, and the handlers and registration of the six word types.
#include "words/word.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "foundation/compare.h"
#include "foundation/datatype.h"
#include "foundation/raise.h"
#include "scalars/simple_types.h"
#include "series/string.h"
#include "series/unicode.h"
#include "words/symbol.h"
#include "words/words.h"

namespace zel::word {

NameCheck g_name_check = nullptr;

namespace {

[[noreturn]] void raise_bad_to(int type, const Cell* spec) {
    Cell target;
    cell::set(&target, TYPE_DATATYPE, uint32_t(type));
    fire(ERR_script_bad_to_arg, &target, spec);
}

bool digit(uint8_t b) { return b >= '0' && b <= '9'; }

// Characters that delimit values or begin other datatypes.
bool plain_char(uint8_t b) {
    if (b <= 0x20 || b == 0x7F) return false;
    return b >= 0x80 || std::strchr("[](){}\";/\\:'#$%@,^<>`", b) == nullptr;
}

bool plain_word(const uint8_t* p, int32_t n) {
    if (n <= 0 || digit(p[0])) return false;
    if ((p[0] == '+' || p[0] == '-' || p[0] == '.') && n > 1 && digit(p[1])) return false;
    return std::all_of(p, p + n, plain_char);
}

bool ascii_space(uint8_t b) { return b == ' ' || b == '\t' || b == '\r' || b == '\n'; }

// The name of a word loaded from text: the text less its decoration.
std::string undecorated(int type, const std::string& text) {
    switch (type) {
        case TYPE_WORD: return text;
        case TYPE_SET_WORD: return text.substr(0, text.size() - 1);
        default: return text.substr(1);
    }
}

// The result of loading the text as one value, which must be a word of any
// of the six types; the word is bound in the global context.
void load_word(std::string text, Cell* result) {
    auto first = std::find_if_not(text.begin(), text.end(), [](char c) { return ascii_space(uint8_t(c)); });
    auto last = std::find_if_not(text.rbegin(), text.rend(), [](char c) { return ascii_space(uint8_t(c)); });
    text = first < last.base() ? std::string(first, last.base()) : std::string();
    int type = name_type(reinterpret_cast<const uint8_t*>(text.data()), int32_t(text.size()));
    if (!any_word_type_q(type)) fire(ERR_script_invalid_chars);
    std::string name = undecorated(type, text);
    uint32_t id = symbol::make_from_buffer(reinterpret_cast<const uint8_t*>(name.data()), int32_t(name.size()));
    result->header = TYPE_WORD;
    make_at(id, result);
}

std::string text_of_string(Cell* str) {
    int limit = -1;
    char* p = unicode::to_utf8(str, limit);
    return std::string(p, size_t(limit));
}

std::string text_of_char(const Cell* c) {
    uint8_t bytes[4];
    int n = unicode::cp_to_utf8(c->data2, bytes);
    return std::string(reinterpret_cast<char*>(bytes), size_t(n));
}

// The name appended through the string! form handler; answers the part
// budget less the name's length.
int form_name(uint32_t symbol, Cell* buffer, int part) {
    Cell name;
    cell::set(&name, TYPE_STRING, 0, symbol::name_string(symbol));
    int length = string::length_q(&name);
    string::form(&name, buffer, std::max(part, 0));
    return part - length;
}

// A decorated form: each decoration counts one character against the limit.
int mold_decorated(Cell* value, Cell* buffer, int part, const char* before, const char* after) {
    if (before) {
        string::append_c_string(buffer, before);
        part--;
    }
    part = form_name(value->data2, buffer, part);
    if (after) {
        string::append_c_string(buffer, after);
        part--;
    }
    return part;
}

Cell* stored_value(Node ctx, int32_t n) {
    Cell* values = context::values_of(context::cell_of(ctx));
    if (!values) fire(ERR_script_not_defined, context::word_at(ctx, n));
    return values + n;
}

Cell* store_at(Node ctx, int32_t n, const Cell* value) {
    Cell* slot = stored_value(ctx, n);
    if (context::kind_of(ctx) == context::KIND_OBJECT) context::mark_changed(ctx, n);
    return copy_cell(value, slot);
}

}  // namespace

// ---- The lexer's word check ----------------------------------------------------------

int plain_name_type(const uint8_t* p, int32_t n) {
    if (n <= 0) return 0;
    if (n > 1) {
        switch (p[0]) {
            case '\'': return plain_word(p + 1, n - 1) ? TYPE_LIT_WORD : 0;
            case ':': return plain_word(p + 1, n - 1) ? TYPE_GET_WORD : 0;
            case '/': return plain_word(p + 1, n - 1) ? TYPE_REFINEMENT : 0;
            case '#': return plain_word(p + 1, n - 1) ? TYPE_ISSUE : 0;
            default: break;
        }
        if (p[n - 1] == ':') return plain_word(p, n - 1) ? TYPE_SET_WORD : 0;
    }
    return plain_word(p, n) ? TYPE_WORD : 0;
}

int name_type(const uint8_t* text, int32_t length) {
    return g_name_check ? g_name_check(text, length) : plain_name_type(text, length);
}

// ---- Making words --------------------------------------------------------------------

Cell load(const char* name) { return context::find_or_add_global(symbol::make(name), true, true); }

Cell* make_at(uint32_t symbol, Cell* target) {
    int32_t index = context::ensure_symbol(context::g_global, symbol);
    cell::set_type(target, TYPE_WORD);
    target->data1 = context::g_global;
    target->data2 = symbol;
    target->data3 = uint32_t(index);
    return target;
}

Cell* make_in(uint32_t symbol, Cell* block) {
    Cell w;
    w.header = TYPE_WORD;
    make_at(symbol, &w);
    return copy_cell(&w, cell::alloc_tail(block));
}

Cell* make_from_name_in(const char* name, Cell* block) { return make_in(symbol::make(name), block); }

Cell* push_global(uint32_t symbol) {
    Cell w;
    w.header = TYPE_WORD;
    make_at(symbol, &w);
    return stack::push(&w);
}

Cell* make_type_name_at(int type, Cell* target) {
    datatype::TypeName& name = datatype::g_type_names[type];
    if (name.symbol == 0) name.symbol = words::make_type_name_symbol(name.name, name.length + 1);
    return make_at(name.symbol, target);
}

Cell in_context_or_global(Node ctx, uint32_t symbol) {
    int32_t found = context::find_word(ctx, symbol, false);
    if (found < 0) return context::add_global(symbol);
    Cell word = *context::word_at(ctx, found);
    word.data1 = ctx;  // a shared table's words name no context
    return word;
}

Cell* symbol_entry(const Cell* word) { return symbol::get(word->data2); }

Cell* push_name(const Cell* word) {
    Cell* c = stack::push(&none::g_none);
    Node name = symbol::name_string(word->data2);
    // A copy: the caller may change the string, never the symbol's own name.
    Node copy = memory::copy_series(memory::series_of(name));
    cell::set(c, TYPE_STRING, 0, copy);
    return c;
}

Cell* push_as(const Cell* word, int type) {
    Cell* c = stack::push(word);
    cell::set_type(c, type);
    return c;
}

Cell* push_local_as(Node ctx, int32_t n, int type) { return push_as(local_at(ctx, n), type); }

// ---- Reading and writing values ------------------------------------------------------

Cell* get(const Cell* word) {
    Cell* value = context::get(word);
    if (type_of(value) == TYPE_UNSET) fire(ERR_script_no_value, word);
    return stack::push(value);
}

Cell* get_in(Node ctx, int32_t n) { return stored_value(ctx, n); }

Cell* push_value_at(Node ctx, int32_t n) { return stack::push(stored_value(ctx, n)); }

Cell* set_checked() {
    Cell* args = stack::arguments();
    if (type_of(args + 1) == TYPE_UNSET) fire(ERR_script_need_value, args);
    context::set(args, args + 1);
    return stack::set_last(args + 1);
}

Cell* set_in(Node ctx, int32_t n) {
    Cell value = *stack::get_top();
    return store_at(ctx, n, &value);
}

Cell* set_in_push(Node ctx, int32_t n) {
    Cell value = *stack::get_top();
    Cell* old = stack::push(stored_value(ctx, n));
    store_at(ctx, n, &value);
    return old;
}

// ---- Handlers ----------------------------------------------------------------------------

Cell* make(Cell* proto, Cell* spec, int type) {
    Cell result{};
    switch (type_of(spec)) {
        case TYPE_WORD: case TYPE_SET_WORD: case TYPE_GET_WORD: case TYPE_LIT_WORD:
            result = *spec;
            break;
        case TYPE_ISSUE: case TYPE_REFINEMENT: {
            int32_t n = 0;
            const uint8_t* p = symbol::utf8(spec->data2, n);
            int loaded = name_type(p, n);
            if (loaded < TYPE_WORD || loaded > TYPE_GET_WORD) raise_bad_to(type, spec);
            result = *spec;
            context::bind_word(context::g_global, &result);
            break;
        }
        case TYPE_STRING:
            load_word(text_of_string(spec), &result);
            break;
        case TYPE_CHAR:
            load_word(text_of_char(spec), &result);
            break;
        case TYPE_DATATYPE:
            if (!datatype::registered(int(spec->data1))) raise_bad_to(type, spec);
            result.header = TYPE_WORD;
            make_type_name_at(int(spec->data1), &result);
            break;
        case TYPE_LOGIC:
            result.header = TYPE_WORD;
            make_at(words::symbol(logic::get(spec) ? words::Sym::true_ : words::Sym::false_), &result);
            break;
        default:
            raise_bad_to(type, spec);
    }
    result.header = uint32_t(type);
    return copy_cell(&result, proto);
}

int form(Cell* value, Cell* buffer, int part) { return form_name(value->data2, buffer, part); }

int mold(Cell* value, Cell* buffer, bool, bool, bool, int part, int) { return form(value, buffer, part); }

static int mold_lit_word(Cell* value, Cell* buffer, bool, bool, bool, int part, int) {
    return mold_decorated(value, buffer, part, "'", nullptr);
}
static int mold_set_word(Cell* value, Cell* buffer, bool, bool, bool, int part, int) {
    return mold_decorated(value, buffer, part, nullptr, ":");
}
static int mold_get_word(Cell* value, Cell* buffer, bool, bool, bool, int part, int) {
    return mold_decorated(value, buffer, part, ":", nullptr);
}
static int mold_refinement(Cell* value, Cell* buffer, bool, bool, bool, int part, int) {
    return mold_decorated(value, buffer, part, "/", nullptr);
}
static int mold_issue(Cell* value, Cell* buffer, bool, bool, bool, int part, int) {
    return mold_decorated(value, buffer, part, "#", nullptr);
}

int compare(Cell* value1, Cell* value2, int op) {
    int t1 = type_of(value1), t2 = type_of(value2);
    if ((t2 == TYPE_ISSUE && t1 != TYPE_ISSUE) || !any_word_type_q(t2)) return -2;
    uint32_t s1 = value1->data2, s2 = value2->data2;
    bool same_canonical = symbol::resolve(s1) == symbol::resolve(s2);
    // A word! and a lit-word! of one name are alike under the word equalities.
    bool word_pair = (t1 == TYPE_WORD && t2 == TYPE_LIT_WORD) || (t1 == TYPE_LIT_WORD && t2 == TYPE_WORD);
    switch (op) {
        case compare::COMP_EQUAL: case compare::COMP_NOT_EQUAL: case compare::COMP_FIND:
            return same_canonical ? 0 : 1;
        case compare::COMP_STRICT_EQUAL:
            return t1 == t2 && s1 == s2 ? 0 : 1;
        case compare::COMP_SAME:
            return s1 == s2 && value1->data1 == value2->data1 && t1 == t2 ? 0 : 1;
        case compare::COMP_EQUAL_WORD:
            return (word_pair || t1 == t2) && s1 == s2 ? 0 : 1;
        case compare::COMP_EQUAL_WORD_CI:
            return (word_pair || t1 == t2) && same_canonical ? 0 : 1;
        default:
            return symbol::compare_names(s1, s2, op);
    }
}

Cell* index_q() {
    Cell* value = stack::arguments();
    int32_t index = int32_t(value->data3);
    if (index < 0) cell::set(value, TYPE_NONE);
    else cell::set(value, TYPE_INTEGER, 0, uint32_t(index + 1));
    return value;
}

void init() {
    datatype::TypeRecord r(TYPE_WORD, TYPE_SYMBOL, "word!");
    r.set<ACT_MAKE>(make).set<ACT_TO>(make).set<ACT_FORM>(form).set<ACT_MOLD>(mold);
    r.set<ACT_COMPARE>(compare).set<ACT_INDEX_Q>(index_q);
    datatype::register_type(r);
}

// The word types with their own mold: make, to, form, compare and index?
// come from word!.
static void register_child(int type, const char* name, action::MoldFn mold_fn, bool index) {
    datatype::TypeRecord r(type, TYPE_WORD, name);
    r.inherit(ACT_MAKE).inherit(ACT_TO).inherit(ACT_FORM).inherit(ACT_COMPARE);
    if (index) r.inherit(ACT_INDEX_Q);
    r.set<ACT_MOLD>(mold_fn);
    datatype::register_type(r);
}

}  // namespace zel::word

namespace zel::lit_word {
void init() { word::register_child(TYPE_LIT_WORD, "lit-word!", word::mold_lit_word, true); }
}  // namespace zel::lit_word

namespace zel::set_word {
void init() { word::register_child(TYPE_SET_WORD, "set-word!", word::mold_set_word, true); }
}  // namespace zel::set_word

namespace zel::get_word {
Cell* get(const Cell* w) { return stack::push(context::get(w)); }
void init() { word::register_child(TYPE_GET_WORD, "get-word!", word::mold_get_word, true); }
}  // namespace zel::get_word

namespace zel::refinement {
Cell load(const char* name) {
    Cell r;
    cell::set(&r, TYPE_REFINEMENT, 0, symbol::make(name), uint32_t(-1));
    return r;
}
void init() { word::register_child(TYPE_REFINEMENT, "refinement!", word::mold_refinement, false); }
}  // namespace zel::refinement

namespace zel::issue {

Cell load(const char* name) {
    Cell c;
    return *make_at(&c, symbol::make(name));
}

Cell* make_at(Cell* target, uint32_t symbol) {
    cell::set(target, TYPE_ISSUE, context::g_global, symbol, uint32_t(-1));
    return target;
}

Cell* make(Cell* proto, Cell* spec, int type) {
    Cell result{};
    switch (type_of(spec)) {
        case TYPE_WORD: case TYPE_SET_WORD: case TYPE_LIT_WORD: case TYPE_GET_WORD:
        case TYPE_REFINEMENT: case TYPE_ISSUE:
            result = *spec;
            break;
        case TYPE_STRING:
            make_at(&result, symbol::make_from_string(spec, -1));
            break;
        case TYPE_CHAR: {
            std::string text = word::text_of_char(spec);
            make_at(&result, symbol::make_from_buffer(reinterpret_cast<const uint8_t*>(text.data()),
                                                      int32_t(text.size())));
            break;
        }
        default:
            word::make(&result, spec, type);
            break;
    }
    result.header = uint32_t(type);
    return copy_cell(&result, proto);
}

int compare(Cell* value1, Cell* value2, int op) {
    return type_of(value2) == TYPE_ISSUE ? word::compare(value1, value2, op) : -2;
}

void init() {
    datatype::TypeRecord r(TYPE_ISSUE, TYPE_WORD, "issue!");
    r.set<ACT_MAKE>(make).set<ACT_TO>(make).inherit(ACT_FORM).set<ACT_MOLD>(word::mold_issue);
    r.set<ACT_COMPARE>(compare);
    datatype::register_type(r);
}

}  // namespace zel::issue
