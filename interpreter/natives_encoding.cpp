// The encoding natives: percent escapes (dehex, enhex), the base-N text of
// binaries (debase, enbase), and the bit-level helpers on integers (shift,
// to-hex).
//
// Relies on: the URL escapes (url::encode, url::decode), the binary codecs,
// strings, integers and symbols.
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <string>

#include "foundation/collector.h"
#include "foundation/raise.h"
#include "interpreter/natives.h"
#include "scalars/integer.h"
#include "scalars/simple_types.h"
#include "series/binary.h"
#include "series/binary_codec.h"
#include "series/file.h"
#include "series/string.h"
#include "series/unicode.h"
#include "words/symbol.h"
#include "words/word.h"

namespace zel::natives {

namespace {

// ---- Percent escapes ----------------------------------------------------------------------------

Exit dehex(bool, const int32_t*) {
    Cell value = *arg(0), result{};
    gc::root keep_value(&value), keep_result(&result);
    url::decode(&value, &result);
    *arg(0) = result;
    return Exit{};
}

// A string! takes the component class (a "/" escaped), the other string
// types the URL class.
Exit enhex(bool, const int32_t*) {
    Cell value = *arg(0), bytes{}, result{};
    gc::root keep_value(&value), keep_bytes(&bytes), keep_result(&result);
    url::encode(&value, &bytes, type_of(&value) == TYPE_STRING ? url::COMPONENT : url::URL);
    string::make_from_utf8(&result, binary::head(&bytes), binary::length_q(&bytes));
    *arg(0) = result;
    return Exit{};
}

// ---- Base-N text ----------------------------------------------------------------------------------

// The base of the /base refinement (slot 0), 64 without it; any base but
// 2, 16, 58 and 64 raises script invalid-arg.
int base_of(const int32_t* r) {
    const Cell* given = refinement_arg(r, 0);
    if (!given) return 64;
    int32_t base = integer::get(given);
    if (base != 2 && base != 16 && base != 58 && base != 64) fire(ERR_script_invalid_arg, given);
    return base;
}

// Text that is not valid in the base gives none.
Exit debase(bool, const int32_t* r) {
    int base = base_of(r);
    Cell text = *arg(0);
    Series* s = string::buffer_of(&text);
    int unit = s->unit();
    int64_t count = string::length_q(&text);
    // The decoders allocate their output before they read, and an
    // allocation may move the string's buffer: they read a copy.
    std::string units(reinterpret_cast<const char*>(s->head()) + int64_t(int32_t(text.data1)) * unit,
                      size_t(count * unit));
    auto p = reinterpret_cast<const uint8_t*>(units.data());
    Node node = base == 2    ? binary::decode_base2(p, count, unit)
                : base == 16 ? binary::decode_base16(p, count, unit)
                : base == 58 ? binary::decode_base58(p, count, unit)
                             : binary::decode_base64(p, count, unit);
    if (!node) {
        *arg(0) = none::g_none;
        return Exit{};
    }
    binary::make_over(arg(0), node);
    return Exit{};
}

// The room the text of n bytes is given: more than any encoder writes, and
// the measure of what is too long to encode.
int64_t enbase_room(int base, int64_t n) {
    switch (base) {
        case 64: return 4 * (n / 3) + (4 * (n % 3)) / 3 + 2 * (n / 32) + 5;
        case 58: return 2 * n;
        case 16: return 2 * n + n / 32 + 32;
        default: return 8 * n + 2 * (n / 8) + 4;
    }
}

// A string! is encoded as its UTF-8 bytes, a binary! from its position.
Exit enbase(bool, const int32_t* r) {
    int base = base_of(r);
    Cell value = *arg(0), result{};
    gc::root keep_value(&value), keep_result(&result);
    std::string utf8;
    const uint8_t* bytes;
    int64_t n;
    if (type_of(&value) == TYPE_BINARY) {
        bytes = binary::head(&value);
        n = binary::length_q(&value);
    } else {
        int limit = -1;
        const char* text = unicode::to_utf8(&value, limit);
        utf8.assign(text, size_t(limit));
        bytes = reinterpret_cast<const uint8_t*>(utf8.data());
        n = limit;
    }
    int64_t room = enbase_room(base, n);
    if (room > INT32_MAX) fire(ERR_script_too_long);
    room = std::max(room, binary::encoded_capacity(base, n));
    string::make_at(&result, int(room));
    if (type_of(&value) == TYPE_BINARY) bytes = binary::head(&value);  // the allocation may have moved it
    Series* s = string::buffer_of(&result);
    uint8_t* out = s->head();
    uint8_t* end = base == 2    ? binary::encode_base2(out, bytes, n)
                   : base == 16 ? binary::encode_base16(out, bytes, n)
                   : base == 58 ? binary::encode_base58(out, bytes, n)
                                : binary::encode_base64(out, bytes, n);
    s->tail = s->offset + uint32_t(end - out);
    *arg(0) = result;
    return Exit{};
}

// ---- Integers -------------------------------------------------------------------------------------

// shift's refinement slots: /left, /logical.
Exit shift(bool, const int32_t* r) {
    integer::make_at(arg(0), integer::shift(integer::get(arg(0)), integer::get(arg(1)), has(r, 0), has(r, 1)));
    return Exit{};
}

// Eight upper-case hexadecimal digits (two's complement), the last `length`
// of them with /size.
Exit to_hex(bool, const int32_t* r) {
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08X", uint32_t(integer::get(arg(0))));
    int keep = 8;
    if (const Cell* length = refinement_arg(r, 0)) {
        int32_t n = integer::get(length);
        if (n <= 0) fire(ERR_script_invalid_arg, length);
        if (n < 8) keep = n;
    }
    issue::make_at(arg(0), symbol::make_from_buffer(reinterpret_cast<const uint8_t*>(digits + 8 - keep), keep));
    return Exit{};
}

}  // namespace

void register_encoding() {
    set(Native::dehex, dehex);
    set(Native::enhex, enhex);
    set(Native::debase, debase);
    set(Native::enbase, enbase);
    set(Native::shift, shift);
    set(Native::to_hex, to_hex);
}

}  // namespace zel::natives
