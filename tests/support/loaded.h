// Loading text for tests, and a readable text of every value the lexer
// makes: the molded text where the datatype molds, and the cell's contents
// (type name, then what it holds) where it does not yet.
#pragma once

#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

#include "foundation/datatype.h"
#include "lexer/lexer.h"
#include "scalars/char.h"
#include "scalars/date.h"
#include "scalars/pair.h"
#include "scalars/point.h"
#include "scalars/tuple.h"
#include "series/binary.h"
#include "tests/support/blocks.h"
#include "tests/support/text.h"
#include "words/symbol.h"

namespace zel::test {

// The block of values the text loads as.
inline Cell loaded(std::string_view text) {
    Cell result;
    lexer::scan(&result, reinterpret_cast<const uint8_t*>(text.data()), int64_t(text.size()), 0);
    return result;
}

inline std::string number_text(double d) {
    char out[32];
    std::snprintf(out, sizeof out, "%g", d);
    return out;
}

inline std::string shown(const Cell& value);

inline std::string shown_items(const Cell& series, const char* separator) {
    std::string out;
    Series* s = memory::series_of(node_of(series));
    int32_t n = int32_t(s->used() / sizeof(Cell));
    for (int32_t i = head_of(series); i < n; i++) {
        if (i > head_of(series)) out += separator;
        out += shown(s->cells()[i]);
    }
    return out;
}

// What a value holds, for types that do not mold yet.
inline std::string contents(const Cell& value) {
    Cell v = value;
    switch (type_of(&v)) {
        case TYPE_BLOCK: return "[" + shown_items(v, " ") + "]";
        case TYPE_PAREN: return "(" + shown_items(v, " ") + ")";
        case TYPE_PATH: return "path " + shown_items(v, "/");
        case TYPE_LIT_PATH: return "lit-path " + shown_items(v, "/");
        case TYPE_GET_PATH: return "get-path " + shown_items(v, "/");
        case TYPE_SET_PATH: return "set-path " + shown_items(v, "/");
        case TYPE_MAP: return "map [" + shown_items(v, " ") + "]";
        case TYPE_FILE: return "file " + utf8_of(v);
        case TYPE_URL: return "url " + utf8_of(v);
        case TYPE_TAG: return "tag " + utf8_of(v);
        case TYPE_EMAIL: return "email " + utf8_of(v);
        case TYPE_REF: return "ref " + utf8_of(v);
        case TYPE_CHAR: return "char " + std::to_string(char_::get(&v));
        case TYPE_PAIR: return "pair " + std::to_string(pair::x_of(&v)) + "x" + std::to_string(pair::y_of(&v));
        case TYPE_POINT2D: return "point " + number_text(point::get(&v, 0)) + "," + number_text(point::get(&v, 1));
        case TYPE_POINT3D:
            return "point " + number_text(point::get(&v, 0)) + "," + number_text(point::get(&v, 1)) + "," +
                   number_text(point::get(&v, 2));
        case TYPE_TUPLE: {
            std::string out = "tuple";
            for (int i = 0; i < tuple::length_of(&v); i++) out += (i ? "." : " ") + std::to_string(tuple::bytes_of(&v)[i]);
            return out;
        }
        case TYPE_TIME: return "time " + number_text(cell::get_float(&v));
        case TYPE_DATE: {
            uint32_t packed = date::word_of(&v);
            std::string out = "date " + std::to_string(date::year_of(packed)) + "-" +
                              std::to_string(date::month_of(packed)) + "-" + std::to_string(date::day_of(packed));
            if (date::has_time(packed)) {
                int zone = int(date::zone_of(packed));
                int quarters = zone & 0x3F;
                out += " " + number_text(date::time_of(&v)) + " zone " + (zone & 0x40 ? "-" : "+") +
                       std::to_string(quarters / 4) + ":" + std::to_string(quarters % 4 * 15);
            }
            return out;
        }
        case TYPE_BINARY: {
            std::string out = "binary";
            int64_t n = binary::length_q(&v);
            for (int64_t i = 0; i < n; i++) out += std::string(i ? "" : " ") + string::byte_to_hex(binary::head(&v)[i]);
            return out;
        }
        case TYPE_LOGIC: return logic_value(v) ? "true" : "false";
        case TYPE_NONE: return "none";
        case TYPE_UNSET: return "unset";
        case TYPE_DATATYPE: return datatype::type_name(type_named_by(v));
        default: return "type " + std::to_string(type_of(&v));
    }
}

inline std::string shown(const Cell& value) {
    Cell v = value;
    switch (type_of(&v)) {
        case TYPE_BLOCK: case TYPE_PAREN: case TYPE_PATH: case TYPE_LIT_PATH: case TYPE_GET_PATH:
        case TYPE_SET_PATH: case TYPE_MAP:
            return contents(v);  // nested values shown the same way, on one line
        default:
            if (datatype::registered(type_of(&v)) && datatype::handler<ACT_MOLD>(type_of(&v))) return molded(v);
            return contents(v);
    }
}

}  // namespace zel::test
