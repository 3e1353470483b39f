// object!: the handlers that read and write single fields (paths, select,
// put, modify), reflection, form and mold, and comparison.
#include <cstring>

#include "foundation/collector.h"
#include "foundation/compare.h"
#include "foundation/raise.h"
#include "foundation/stamp.h"
#include "interpreter/dispatch.h"
#include "interpreter/object.h"
#include "scalars/simple_types.h"
#include "series/block.h"
#include "series/cell_text.h"
#include "series/ownership.h"
#include "series/string.h"
#include "words/context.h"
#include "words/symbol.h"
#include "words/word.h"
#include "words/words.h"

namespace zel::object {

namespace {

Cell* values_in(Node ctx) { return context::values_of(context::cell_of(ctx)); }

bool same_symbol(uint32_t symbol, uint32_t other) { return symbol::resolve(symbol) == symbol::resolve(other); }
bool is_field(int field, words::Sym name) { return same_symbol(uint32_t(field), words::symbol(name)); }
bool is_field(int field, words::Word name) { return same_symbol(uint32_t(field), words::symbol(name)); }

bool handler_word(const Cell* word) {
    return same_symbol(word->data2, words::symbol(words::Word::on_change_star)) ||
           same_symbol(word->data2, words::symbol(words::Word::on_deep_change_star));
}

bool path_element(int type) {
    return type == TYPE_WORD || type == TYPE_SET_WORD || type == TYPE_GET_WORD || type == TYPE_LIT_WORD;
}

int append_text(Cell* buffer, const char* text, int part) {
    string::append_c_string(buffer, text);
    return part - int(std::strlen(text));
}

// The field index the element names: its own index when it is bound to
// this object, else looked up by symbol; -1 when the object has no such field.
// A word of the path found so is bound to the object in the path itself, so
// that the next walk through it finds the field at once.
int32_t field_of(Node ctx, const Cell* element, Cell* path, int index) {
    if (element->data1 == ctx && int32_t(element->data3) >= 0) return int32_t(element->data3);
    int32_t i = context::find_word(ctx, element->data2, true);
    if (i < 0 || !path) return i;
    int32_t at = (int32_t(path->data1) < 0 ? 0 : int32_t(path->data1)) + index;
    if (at < block::length_q(path) + int32_t(path->data1)) {
        Cell* in_path = block::abs_at(path, at);
        if (in_path->header == element->header && in_path->data2 == element->data2) {
            in_path->data1 = ctx;
            in_path->data3 = uint32_t(i);
            memory::touch(path);
        }
    }
    return i;
}

void for_each_field(const Cell* object, void (*each)(const Cell* value, const Cell* owner, const Cell* word),
                    const Cell* owner, const Cell* word) {
    Node ctx = object->data1;
    for (int32_t i = 0; i < context::word_count(ctx); i++) {
        Cell value = values_in(ctx)[i], field = get_word(ctx, i);
        each(&value, owner ? owner : object, word ? word : &field);
    }
}

}  // namespace

int compare_fields(Cell* value1, Cell* value2, int op) {
    Node ctx1 = value1->data1, ctx2 = value2->data1;
    if (ctx1 == ctx2) return 0;
    if (op == compare::COMP_SAME) return -1;
    if (cell::cycle_find(ctx1)) return cell::cycle_find(ctx2) ? 0 : -1;
    int32_t n1 = context::word_count(ctx1), n2 = context::word_count(ctx2);
    if (n1 != n2) return n1 > n2 ? 1 : -1;
    cell::CycleScope scope;
    cell::cycle_push(ctx1);
    cell::cycle_push(ctx2);
    int result = 0;
    for (int32_t i = 0; i < n1 && result == 0; i++) {
        uint32_t s1 = symbol::resolve(context::word_at(ctx1, i)->data2);
        uint32_t s2 = symbol::resolve(context::word_at(ctx2, i)->data2);
        if (s1 != s2) {
            result = s1 < s2 ? -1 : 1;
            break;
        }
        Cell a = values_in(ctx1)[i], b = values_in(ctx2)[i];
        int t1 = type_of(&a), t2 = type_of(&b);
        auto number = [](int t) { return t == TYPE_INTEGER || t == TYPE_FLOAT || t == TYPE_PERCENT; };
        if (t1 == t2 || (word::any_word_type_q(t1) && word::any_word_type_q(t2)) || (number(t1) && number(t2)))
            result = compare::compare_value(&a, &b, op);
        else
            result = t1 < t2 ? -1 : 1;
    }
    return result;
}

// ---- Paths, select, put ---------------------------------------------------------------

Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path, Cell*, Cell*, int index, bool, bool, bool) {
    const Cell* whole = path ? path : &none::g_none;
    if (!path_element(type_of(element))) fire(ERR_script_invalid_path, whole, element);
    Node ctx = parent->data1;
    int32_t i = field_of(ctx, element, path, index);
    if (value) {
        if (i < 0) fire(ERR_script_invalid_path, whole, element);
        Cell word = get_word(ctx, i);
        context::set_in(&word, value, ctx, true);
        return value;
    }
    if (i < 0 || type_of(values_in(ctx) + i) == TYPE_UNSET) fire(ERR_script_unset_path, whole, element);
    return values_in(ctx) + i;
}

Cell* select(Cell* object, Cell* key, Cell*, bool, bool, bool, bool, Cell*, Cell*, bool, bool) {
    if (!word::any_word_type_q(type_of(key))) {
        Cell type = raise::datatype_arg(type_of(key));
        fire(ERR_script_invalid_type, &type);
    }
    return const_cast<Cell*>(select_word(object, key));
}

Cell* put(Cell* object, Cell* key, Cell* value, bool) {
    if (type_of(key) != TYPE_WORD) {
        Cell type = raise::datatype_arg(type_of(key));
        fire(ERR_script_invalid_key_type, &type);
    }
    return eval_path(object, key, value, nullptr, nullptr, nullptr, 0, false, true, false);
}

// ---- Reflection and modification --------------------------------------------------------

Cell* reflect(Cell* value, int field) {
    Cell object = *value;
    gc::root keep(&object);  // the answer replaces the value
    Node ctx = object.data1;
    int32_t n = context::word_count(ctx);
    if (is_field(field, words::Sym::class_)) {
        cell::set(value, TYPE_INTEGER, 0, object.data2);
    } else if (is_field(field, words::Sym::owner)) {
        logic::set(value, (context::cell_of(ctx)->header & FLAG_OWNER) != 0);
    } else if (is_field(field, words::Sym::events_q)) {
        logic::set(value, object.data3 != 0);
    } else if (is_field(field, words::Word::changed)) {
        block::make_at(value, n > 0 ? n : 1);
        for (int32_t i = 0; i < n; i++) {
            if (!context::changed_q(ctx, i)) continue;
            Cell word = get_word(ctx, i);
            block::append_cell(value, &word);
        }
    } else if (is_field(field, words::Sym::words)) {
        block::make_at(value, n > 0 ? n : 1);
        for (int32_t i = 0; i < n; i++) {
            Cell word = get_word(ctx, i);
            block::append_cell(value, &word);
        }
    } else if (is_field(field, words::Sym::values)) {
        block::make_at(value, n > 0 ? n : 1);
        for (int32_t i = 0; i < n; i++) {
            Cell v = values_in(ctx)[i];
            block::append_cell(value, &v);
        }
    } else if (is_field(field, words::Sym::body)) {
        block::make_at(value, n > 0 ? 2 * n : 1);
        for (int32_t i = 0; i < n; i++) {
            Cell word = get_word(ctx, i), v = values_in(ctx)[i];
            word.header = TYPE_SET_WORD | FLAG_NEW_LINE;
            if (type_of(&v) == TYPE_WORD) cell::set_type(&v, TYPE_LIT_WORD);
            else if (type_of(&v) == TYPE_PATH) cell::set_type(&v, TYPE_LIT_PATH);
            block::append_cell(value, &word);
            block::append_cell(value, &v);
        }
    } else {
        fire(ERR_internal_not_done);
    }
    return value;
}

Cell* modify(Cell* object, Cell* field, Cell* value, bool) {
    int name = int(field->data2);
    if (is_field(name, words::Word::changed)) {
        if (type_of(value) != TYPE_NONE) fire(ERR_script_invalid_arg, value);
        context::clear_changed(object->data1);
    } else if (is_field(name, words::Sym::owner)) {
        for_each_field(object, ownership::set_owner, nullptr, nullptr);
        context::cell_of(object->data1)->header |= FLAG_OWNER;
    } else if (is_field(name, words::Sym::owned)) {
        if (type_of(value) == TYPE_NONE) {
            Node ctx = object->data1;
            for (int32_t i = 0; i < context::word_count(ctx); i++) {
                Cell v = values_in(ctx)[i];
                ownership::unbind(&v);
            }
        } else {
            Cell owner_cell, word;
            ownership::owner_of_spec(value, &owner_cell, &word);
            for_each_field(object, ownership::set_owner, &owner_cell, &word);
        }
    } else {
        fire(ERR_script_invalid_arg, field);
    }
    return value;
}

// ---- Form and mold ----------------------------------------------------------------------

int serialize(Cell* value, Cell* buffer, bool only, bool all, bool flat, int part, bool indent, int level,
              bool mold_mode) {
    Node ctx = value->data1;
    int32_t n = context::word_count(ctx);
    if (n == 0) return part;
    const char* separator = flat ? " " : "\n";
    bool indented = !flat && indent && mold_mode && !only;
    if (indented) part = append_text(buffer, "\n", part);
    cell::CycleScope scope;
    cell::cycle_push(ctx);
    bool first = true;
    for (int32_t i = 0; i < n; i++) {
        if (part <= 0) break;
        Cell word = get_word(ctx, i);
        if (!all && handler_word(&word)) continue;
        if (!indented && !first) part = append_text(buffer, separator, part);
        first = false;
        if (indented) part = cell_text::mold_indent(buffer, level, part);
        part = dispatch::mold(&word, buffer, false, false, false, part, level);
        part = append_text(buffer, ": ", part);
        Cell v = values_in(ctx)[i];
        if (type_of(&v) == TYPE_NONE_ID) cell::set(&v, TYPE_UNSET);
        if (type_of(&v) == TYPE_WORD) part = append_text(buffer, "'", part);
        part = dispatch::mold(&v, buffer, false, all, flat, part, level);
        if (indented) part = append_text(buffer, separator, part);
    }
    return part;
}

int mold_as(Cell* value, Cell* buffer, const char* opening, bool only, bool all, bool flat, int part, int indent) {
    if (cell_text::cycle_detect_q(value, buffer, part, true)) return part;
    if (!only) part = append_text(buffer, opening, part);
    part = serialize(value, buffer, only, all, flat, part, true, indent + 1, true);
    // The closing bracket of a nested object's lines stands at its own level.
    if (!flat && indent >= 1 && count_words(value) > 0) part = cell_text::mold_indent(buffer, indent, part);
    if (!only) part = append_text(buffer, "]", part);
    return part;
}

int mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, int part, int indent) {
    return mold_as(value, buffer, "make object! [", only, all, flat, part, indent);
}

int form(Cell* value, Cell* buffer, int part) {
    if (cell_text::cycle_detect_q(value, buffer, part, false)) return part;
    return serialize(value, buffer, false, false, false, part, false, 0, false);
}

// ---- Comparison ---------------------------------------------------------------------------

int compare(Cell* value1, Cell* value2, int op) {
    if (type_of(value2) != TYPE_OBJECT) return -2;
    return compare_fields(value1, value2, op);
}

}  // namespace zel::object
