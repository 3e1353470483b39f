// tag!, email! and ref!: registration, form and mold, the parts of an
// address.
//
// Cell layout: as string! (see text_types.h).
//
// Relies on: strings, the predefined symbols.
#include "series/text_types.h"

#include "foundation/collector.h"
#include "foundation/datatype.h"
#include "foundation/raise.h"
#include "series/string.h"
#include "words/symbol.h"
#include "words/words.h"

namespace zel::text_types {

namespace {

// "<", the text, ">": a tag forms and molds alike, so that it loads back.
// Each bracket takes one character of the budget.
int tag_form(Cell* value, Cell* buffer, int part) {
    string::append_char(string::buffer_of(buffer), '<');
    part = string::form(value, buffer, part - 1);
    string::append_char(string::buffer_of(buffer), '>');
    return part - 1;
}

int tag_mold(Cell* value, Cell* buffer, bool, bool, bool, int part, int) { return tag_form(value, buffer, part); }

// An address loads back from its bare text.
int email_mold(Cell* value, Cell* buffer, bool, bool, bool, int part, int) {
    return string::form(value, buffer, part);
}

int ref_mold(Cell* value, Cell* buffer, bool, bool, bool, int part, int) {
    string::append_char(string::buffer_of(buffer), '@');
    return string::form(value, buffer, part - 1);
}

enum class AddressPart { none, user, host };

// user or host in any letter case: words compare by their canonical symbols.
AddressPart address_part(const Cell* element) {
    if (type_of(element) != TYPE_WORD) return AddressPart::none;
    uint32_t sym = symbol::resolve(element->data2);
    if (sym == symbol::resolve(words::symbol(words::Sym::user))) return AddressPart::user;
    if (sym == symbol::resolve(words::symbol(words::Sym::host))) return AddressPart::host;
    return AddressPart::none;
}

// address/user, address/host: the text before the first "@" (all of it
// when there is none) or after it, as a new string!; a set changes that
// part of the address in place. An integer picks or pokes a character as in
// a string.
Cell* email_eval_path(Cell* parent, Cell* element, Cell* value, Cell* path, Cell* owner, Cell* prev, int index,
                      bool case_, bool tail, bool notify) {
    if (type_of(element) == TYPE_INTEGER)
        return string::eval_path(parent, element, value, path, owner, prev, index, case_, tail, notify);
    AddressPart which = address_part(element);
    if (which == AddressPart::none) fire(ERR_script_invalid_path, path, element);
    Cell text = *parent;
    gc::root keep_text(&text);
    int n = string::length_q(&text);
    int at = string::find_char(&text, '@');
    int split = at < 0 ? n : at;
    int start = which == AddressPart::user ? 0 : (split < n ? split + 1 : n);
    int count = which == AddressPart::user ? split : n - start;
    text.data1 += uint32_t(start);
    if (value) {
        string::change(&text, value, count, false, 1);
        return value;
    }
    static Cell result;
    result = Cell{};  // what the last call made may be gone
    gc::root keep_result(&result);
    string::make_at(&result, count);
    string::concatenate(&result, &text, count, 0, true, string::CONCAT_APPEND);
    return &result;
}

// What none of the three takes: random, set-path, the maths, put, sort,
// trim, and the actions of files and ports.
void refuse_common(datatype::TypeRecord& r) {
    for (int action : {ACT_RANDOM, ACT_SET_PATH, ACT_PUT, ACT_SORT, ACT_TRIM, ACT_CREATE, ACT_CLOSE, ACT_DELETE})
        r.unsupported(action);
    for (int action = ACT_ABSOLUTE; action <= ACT_XOR_T; action++) r.unsupported(action);
    for (int action = ACT_OPEN; action <= ACT_WRITE; action++) r.unsupported(action);
}

}  // namespace

void init() {
    datatype::TypeRecord tag(TYPE_TAG, TYPE_STRING, "tag!", true);
    refuse_common(tag);
    tag.set<ACT_FORM>(tag_form).set<ACT_MOLD>(tag_mold);
    datatype::register_type(tag);

    datatype::TypeRecord email(TYPE_EMAIL, TYPE_STRING, "email!", true);
    refuse_common(email);
    email.set<ACT_MOLD>(email_mold).set<ACT_EVAL_PATH>(email_eval_path);
    datatype::register_type(email);

    datatype::TypeRecord ref(TYPE_REF, TYPE_STRING, "ref!", true);
    refuse_common(ref);
    ref.set<ACT_MOLD>(ref_mold);
    ref.unsupported(ACT_EVAL_PATH).unsupported(ACT_APPEND);
    datatype::register_type(ref);
}

}  // namespace zel::text_types
