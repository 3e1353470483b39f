// The text-encoding natives: dehex and enhex, percent escapes in and out of
// any string value, with the same workers the lexer and url! use.
//
// Relies on: the URL escapes (url::encode, url::decode), binaries and
// strings.
#include "foundation/collector.h"
#include "interpreter/natives.h"
#include "series/binary.h"
#include "series/file.h"
#include "series/string.h"

namespace zel::natives {

namespace {

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

}  // namespace

void register_encoding() {
    set(Native::dehex, dehex);
    set(Native::enhex, enhex);
}

}  // namespace zel::natives
