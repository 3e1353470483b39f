// Number values and action calls for tests of the scalar types: cells built
// directly, handlers called through the registry with their arguments on the
// argument stack, and the text that form and mold write.
#pragma once

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/collector.h"
#include "foundation/datatype.h"
#include "foundation/memory.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "scalars/pair.h"
#include "scalars/point.h"
#include "scalars/text_to_number.h"
#include "scalars/time.h"
#include "series/string.h"
#include "tests/support/held.h"
#include "tests/support/text.h"
#include "tests/support/values.h"

namespace zel::test {

inline Cell value_of(int type, uint32_t d1 = 0, uint32_t d2 = 0, uint32_t d3 = 0) {
    Cell c;
    cell::set(&c, type, d1, d2, d3);
    return c;
}

inline Cell int_cell(int32_t v, int type = TYPE_INTEGER) { return value_of(type, 0, uint32_t(v)); }

inline Cell float_cell(double d, int type = TYPE_FLOAT) {
    Cell c = value_of(type);
    cell::put_float(&c, d);
    return c;
}

inline Cell percent_cell(double fraction) { return float_cell(fraction, TYPE_PERCENT); }

inline Cell point2(float x, float y) {
    Cell c;
    return *point2d::make_at(&c, x, y);
}

inline Cell point3(float x, float y, float z) {
    Cell c;
    return *point3d::make_at(&c, x, y, z);
}

inline Cell time_cell(double seconds) {
    Cell c;
    return *time::make_at(&c, seconds);
}

// The money! of money text ("-USD$1'000.25"), as `to money!` reads it; none!
// when the text is refused.
inline Cell money_cell(const char* money_text) {
    Cell m = value_of(TYPE_NONE);
    int error = text_to_number::TEXT_OK;
    text_to_number::text_to_money(bytes(money_text), int(std::strlen(money_text)), 1, error, &m);
    return m;
}

// A block (or paren, hash) of integer! values, kept from the collector
// (tables of cases make their values before the first is used).
inline Cell ints(const std::vector<int32_t>& values, int type = TYPE_BLOCK) {
    std::vector<Cell> items;
    for (int32_t v : values) items.push_back(int_cell(v));
    return held(block_of(items, type));
}

// A binary! of the bytes, kept from the collector.
inline Cell binary_of(const std::vector<uint8_t>& bytes) {
    Node node = memory::alloc_bytes(int64_t(bytes.size()) + 1);
    Series* s = memory::series_of(node);
    if (!bytes.empty()) std::memcpy(s->tail_ptr(), bytes.data(), bytes.size());
    s->tail += uint32_t(bytes.size());
    return held(value_of(TYPE_BINARY, 0, node));
}

// Runs the class-D handler of an action (add, power, absolute ...) for the
// first argument's type with the arguments on the stack, as the action
// dispatcher will; answers the result cell.
inline Cell stack_action(int action, std::vector<Cell> args) {
    auto handler =
        reinterpret_cast<action::StackFn>(datatype::raw_handler(type_of(&args[0]), action));
    stack::reset();
    for (const Cell& arg : args) stack::push(&arg);
    Cell result = *handler();
    stack::reset();
    return result;
}

// round of the value with /to scale (none when null) and the refinement
// named ("even", "down", "half-down", "floor", "ceiling", "half-ceiling" or "").
inline Cell round_of(Cell value, const Cell* scale, const std::string& refinement) {
    const std::string& r = refinement;
    Cell s = scale ? *scale : Cell{};
    return *datatype::handler<ACT_ROUND>(type_of(&value))(
        &value, scale ? &s : nullptr, r == "even", r == "down", r == "half-down", r == "floor",
        r == "ceiling", r == "half-ceiling");
}

// The text form or mold writes, and the part budget it answers for the
// part given. The value and the buffer are kept from the collector while
// the handler allocates.
struct Written {
    std::string text;
    int budget;
};

inline Written written_by_form(Cell value, int part = 1000) {
    Cell buffer{TYPE_NONE, 0, 0, 0};
    gc::root keep_value(&value), keep_buffer(&buffer);
    string::make_at(&buffer, 16);
    int budget = datatype::handler<ACT_FORM>(type_of(&value))(&value, &buffer, part);
    return {utf8_of(buffer), budget};
}

inline Written written_by_mold(Cell value, bool all = false, int part = 1000) {
    Cell buffer{TYPE_NONE, 0, 0, 0};
    gc::root keep_value(&value), keep_buffer(&buffer);
    string::make_at(&buffer, 16);
    int budget =
        datatype::handler<ACT_MOLD>(type_of(&value))(&value, &buffer, false, all, false, part, 0);
    return {utf8_of(buffer), budget};
}

// The text of a type whose form and mold write the same: that text when
// both wrote it and took its length off the budget, else what each wrote.
inline std::string form_and_mold(Cell value) {
    Written f = written_by_form(value), m = written_by_mold(value);
    int expected = 1000 - int(f.text.size());
    if (f.text == m.text && f.budget == expected && m.budget == expected) return f.text;
    return "form " + f.text + " (" + std::to_string(f.budget) + "), mold " + m.text + " (" +
           std::to_string(m.budget) + ")";
}

// The type name and the molded text of a value: "float! 3.5"; only the type
// id for a type that cannot mold yet: "type 43".
inline std::string typed_mold(Cell value) {
    int type = type_of(&value);
    if (!datatype::raw_handler(type, ACT_MOLD)) return "type " + std::to_string(type);
    return std::string(datatype::type_name(type)) + " " + written_by_mold(value).text;
}

// make (ACT_MAKE) or to (ACT_TO) of the spec into the type: the result as
// typed_mold() writes it, or the error's "category/id". The spec and the
// result are kept from the collector until the result is molded.
inline std::string make_outcome(int action, int type, Cell spec) {
    auto handler = reinterpret_cast<action::MakeFn>(datatype::raw_handler(type, action));
    Cell result = value_of(TYPE_DATATYPE, uint32_t(type));
    gc::root keep_spec(&spec), keep_result(&result);
    try {
        result = *handler(&result, &spec, type);
        return typed_mold(result);
    } catch (const ErrorThrow& e) {
        return std::string(e.category_name()) + "/" + e.id_name();
    }
}

// What make and to both make of the spec, or both answers when they differ.
inline std::string make_and_to(int type, Cell spec) {
    std::string make = make_outcome(ACT_MAKE, type, spec), to = make_outcome(ACT_TO, type, spec);
    return make == to ? make : "make " + make + ", to " + to;
}

}  // namespace zel::test
