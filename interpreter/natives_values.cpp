// Natives that build values from text or specs: transcode (values loaded
// from UTF-8 or string source, one value or all of them, a type guess, and
// traced scans) and construct (an object from an unevaluated spec).
//
// Relies on: the lexer (lexer.h), binaries and strings (lengths, heads), the
// object constructor.
#include "foundation/collector.h"
#include "foundation/memory.h"
#include "foundation/raise.h"
#include "interpreter/natives.h"
#include "interpreter/object.h"
#include "lexer/lexer.h"
#include "scalars/simple_types.h"
#include "series/binary.h"
#include "series/block.h"
#include "series/string.h"

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

}  // namespace

void register_values() {
    set(Native::transcode, transcode);
    set(Native::construct, construct);
}

}  // namespace zel::natives
