// Natives that build, convert or inspect values and words: transcode
// (values loaded from UTF-8 or string source, one value or all of them, a
// type guess, and traced scans), construct (an object from an unevaluated
// spec), value?, unset, context?, uppercase and lowercase, the as-
// constructors, extend, to-local-file, new-line, new-line? and as.
//
// Relies on: the lexer (lexer.h), binaries and strings (lengths, heads), the
// object constructor, contexts, case folding, maps, local paths, the pair,
// point and money cells.
#include "foundation/collector.h"
#include "foundation/memory.h"
#include "foundation/raise.h"
#include "foundation/stamp.h"
#include "interpreter/natives.h"
#include "interpreter/object.h"
#include "lexer/lexer.h"
#include "scalars/float.h"
#include "scalars/integer.h"
#include "scalars/money.h"
#include "scalars/pair.h"
#include "scalars/point.h"
#include "scalars/simple_types.h"
#include "series/binary.h"
#include "series/block.h"
#include "series/case_folding.h"
#include "series/file.h"
#include "series/map.h"
#include "series/series.h"
#include "series/string.h"
#include "words/context.h"

namespace zel::natives {

namespace {

// transcode's refinement slots, in spec order.
enum TranscodeRefinement { T_NEXT, T_ONE, T_PRESCAN, T_SCAN, T_PART, T_INTO, T_TRACE };

int64_t length_of(const Cell* src) {
    return type_of(src) == TYPE_BINARY ? binary::length_q(src) : int64_t(string::length_q(src));
}

// The /part length: an integer!, or a position in a series of the source's
// own type (as far as the two indexes lie apart); never below 0, never past
// what the source holds.
int64_t part_length(const Cell* src, const Cell* length, int64_t available) {
    int64_t n;
    if (type_of(length) == TYPE_INTEGER) {
        n = cell::get_int(length);
    } else if (type_of(length) == type_of(src)) {
        // A position in another series would measure nothing of this one.
        if (length->data2 != src->data2) series::bad_refinement("part", length);
        n = int64_t(int32_t(length->data1)) - int64_t(int32_t(src->data1));
    } else {
        fire(ERR_script_not_same_type);
    }
    return n < 0 ? 0 : n > available ? available : n;
}

// A binary of more than 2 bytes beginning with the UTF-8 byte-order mark
// starts after it.
void skip_byte_order_mark(Cell* src, int64_t& length) {
    if (type_of(src) != TYPE_BINARY || binary::length_q(src) <= 2) return;
    const uint8_t* p = binary::head(src);
    if (p[0] != 0xEF || p[1] != 0xBB || p[2] != 0xBF) return;
    src->data1 += 3;
    length = length < 3 ? 0 : length - 3;
}

Exit transcode(bool, const int32_t* r) {
    Cell* src = arg(0);
    int64_t total = type_of(src) == TYPE_BINARY ? int64_t(memory::series_of(src->data2)->used())
                                                 : int64_t(string::abs_length_q(src));
    if (int64_t(src->data1) > total) src->data1 = uint32_t(total);
    int64_t available = length_of(src);
    int64_t length = has(r, T_PART) ? part_length(src, refinement_arg(r, T_PART), available) : available;
    skip_byte_order_mark(src, length);
    bool next = has(r, T_NEXT), one = has(r, T_ONE), prescan = has(r, T_PRESCAN), scan_only = has(r, T_SCAN);
    unsigned flags = 0;
    if (next || one || scan_only) flags |= lexer::ONE_VALUE;
    if (prescan) flags |= lexer::PRESCAN;
    if (scan_only) flags |= lexer::SCAN_ONLY;
    Cell* into = refinement_arg(r, T_INTO);
    const Cell* callback = refinement_arg(r, T_TRACE);
    Cell* result = stack::push(&unset::g_unset);
    int64_t consumed = 0;
    int type;
    if (type_of(src) == TYPE_BINARY) {
        type = lexer::scan_binary(result, src, length, flags, &consumed, callback, into);
    } else {
        type = lexer::scan_string(result, src, length, flags, &consumed, callback, into);
    }
    if (prescan || scan_only) {
        if (length == 0 || type == 0) cell::set(result, TYPE_NONE);
        else cell::set(result, TYPE_DATATYPE, uint32_t(type < 0 ? TYPE_ERROR : type));
    }
    if (next && !(one && !scan_only)) {
        Cell value = *result, rest = *src;
        gc::root keep(&value);  // the result cell becomes the block
        rest.data1 += uint32_t(consumed);
        block::make_at(result, 2);
        block::append_cell(result, &value);
        block::append_cell(result, &rest);
    }
    stack::set_last_only(into && !next ? into : result);
    return Exit{};
}

// construct block /with object /only.
Exit construct(bool, const int32_t* r) {
    Cell spec = *arg(0);
    const Cell* prototype = refinement_arg(r, 0);
    Cell made = *object::construct(&spec, prototype, has(r, 1));
    stack::set_last_only(&made);
    return Exit{};
}

// ---- Words ----------------------------------------------------------------------------------------

// A word without a context, or not in it, has no value.
Exit value_q(bool, const int32_t*) {
    Cell* word = arg(0);
    bool has_value = word->data1 != 0 && int32_t(word->data3) >= 0 && type_of(context::get(word)) != TYPE_UNSET;
    logic::set(word, has_value);
    return Exit{};
}

// A word, or each word! item of a block (set-words and the rest skipped),
// is set to unset in its own context.
Exit unset_(bool, const int32_t*) {
    Cell target = *arg(0);
    gc::root keep(&target);
    if (type_of(&target) == TYPE_WORD) {
        context::set(&target, &unset::g_unset);
    } else {
        // An object's change handler may run and shorten the block: its
        // length is read again at each step.
        for (int32_t i = 0; i < block::length_q(&target); i++) {
            Cell item = *block::abs_at(&target, int32_t(target.data1) + i);
            if (type_of(&item) == TYPE_WORD) context::set(&item, &unset::g_unset);
        }
    }
    stack::set_last_only(&unset::g_unset);
    return Exit{};
}

// The object or function owning the word's context; none for a word
// without one.
Exit context_q(bool, const int32_t*) {
    Node ctx = arg(0)->data1;
    Cell owner = ctx ? *context::owner_of(ctx) : none::g_none;
    if (type_of(&owner) == TYPE_UNSET) owner = none::g_none;
    *arg(0) = owner;
    return Exit{};
}

// ---- Text -----------------------------------------------------------------------------------------

// /part is refinement slot 0; its argument follows the string.
template <bool UPPER>
Exit change_case(bool, const int32_t* r) {
    case_folding::change(arg(0), has(r, 0) ? r[0] : 0, UPPER);
    return Exit{};
}

Exit to_local_file(bool, const int32_t* r) {
    Cell path = *arg(0), result{};
    gc::root keep_path(&path), keep_result(&result);
    file::to_local_path(&path, &result, has(r, 0));
    *arg(0) = result;
    return Exit{};
}

// ---- The as- constructors --------------------------------------------------------------------------

// A float is truncated toward zero; NaN, an infinity or a float beyond 32
// bits raises script invalid-arg with it.
int32_t pair_coordinate(const Cell* v) {
    if (type_of(v) == TYPE_INTEGER) return integer::get(v);
    return integer::from_float(cell::get_float(v), ERR_script_invalid_arg, v);
}

Exit as_pair(bool, const int32_t*) {
    int32_t x = pair_coordinate(arg(0)), y = pair_coordinate(arg(1));
    pair::make_at(arg(0), x, y);
    return Exit{};
}

Exit as_point2d(bool, const int32_t*) {
    point2d::make_at(arg(0), float(float_::number_of(arg(0))), float(float_::number_of(arg(1))));
    return Exit{};
}

Exit as_point3d(bool, const int32_t*) {
    point3d::make_at(arg(0), float(float_::number_of(arg(0))), float(float_::number_of(arg(1))), float(float_::number_of(arg(2))));
    return Exit{};
}

Exit as_money(bool, const int32_t*) {
    int currency = money::currency_index_of_word(arg(0));
    if (currency < 0) fire(ERR_script_bad_denom, arg(0));
    Cell amount = *arg(1);
    if (type_of(&amount) == TYPE_INTEGER)
        money::from_integer(arg(0), integer::get(&amount));
    else
        money::from_float(arg(0), cell::get_float(&amount), false);
    money::set_currency(arg(0), currency);
    return Exit{};
}

// ---- Maps, objects and lists ---------------------------------------------------------------------

// /case is refinement slot 0.
Exit extend(bool, const int32_t* r) {
    if (type_of(arg(0)) != TYPE_MAP) fire(ERR_internal_not_done);
    map::extend(arg(0), arg(1), has(r, 0));
    return Exit{};
}

// new-line position value /all /skip size: the marker on the cell at the
// position, or on every size-th cell from it with the others given the
// opposite.
Exit new_line(bool, const int32_t* r) {
    Cell* position = arg(0);
    bool value = !logic::is_false(arg(1));
    int32_t size = 0;
    if (has(r, 0)) size = 1;
    if (const Cell* skip = refinement_arg(r, 1)) {
        size = integer::get(skip);
        if (size <= 0) fire(ERR_script_out_of_range, skip);
    }
    int32_t n = block::length_q(position);
    int32_t head = int32_t(position->data1);
    for (int32_t i = 0; i < (size ? n : std::min(n, 1)); i++) {
        Cell* c = block::abs_at(position, head + i);
        bool marked = size == 0 || i % size == 0 ? value : !value;
        c->header = marked ? c->header | FLAG_NEW_LINE : c->header & ~FLAG_NEW_LINE;
    }
    if (n > 0) memory::touch(memory::series_of(position->data2));
    return Exit{};
}

Exit new_line_q(bool, const int32_t*) {
    Cell* position = arg(0);
    bool marked = block::length_q(position) > 0 && cell::new_line(block::abs_at(position, int32_t(position->data1)));
    logic::set(position, marked);
    return Exit{};
}

bool list_family_q(int type) { return type == TYPE_BLOCK || type == TYPE_PAREN || (type >= TYPE_PATH && type <= TYPE_GET_PATH); }
bool string_family_q(int type) {
    return type == TYPE_STRING || type == TYPE_FILE || type == TYPE_URL || type == TYPE_TAG || type == TYPE_EMAIL ||
           type == TYPE_REF;
}

// The series itself under another type of its family: the buffer is shared.
Exit as_(bool, const int32_t*) {
    int target = type_of(arg(0)) == TYPE_DATATYPE ? int(arg(0)->data1) : type_of(arg(0));
    Cell* spec = arg(1);
    int from = type_of(spec);
    bool same_family = (list_family_q(target) && list_family_q(from)) || (string_family_q(target) && string_family_q(from));
    if (!same_family) {
        Cell from_type = raise::datatype_arg(from), to_type = raise::datatype_arg(target);
        fire(ERR_script_not_same_class, &from_type, &to_type);
    }
    Cell result = *spec;
    cell::set_type(&result, target);
    *arg(0) = result;
    return Exit{};
}

}  // namespace

void register_values() {
    set(Native::transcode, transcode);
    set(Native::construct, construct);
    set(Native::value_q, value_q);
    set(Native::unset_, unset_);
    set(Native::context_q, context_q);
    set(Native::uppercase, change_case<true>);
    set(Native::lowercase, change_case<false>);
    set(Native::to_local_file, to_local_file);
    set(Native::as_pair, as_pair);
    set(Native::as_point2d, as_point2d);
    set(Native::as_point3d, as_point3d);
    set(Native::as_money, as_money);
    set(Native::extend, extend);
    set(Native::new_line, new_line);
    set(Native::new_line_q, new_line_q);
    set(Native::as_, as_);
}

}  // namespace zel::natives
