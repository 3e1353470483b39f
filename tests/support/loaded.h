// Loading text for tests, and a readable text of every value the lexer
// makes: the molded text where the datatype molds, and the cell's contents
// (type name, then what it holds) where it does not yet.
#pragma once

#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

#include "core/datatype.h"
#include "core/symbol.h"
#include "lexer/lexer.h"
#include "series/binary.h"
#include "tests/support/blocks.h"
#include "tests/support/text.h"

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

inline std::string float_of_word(uint32_t word) {
    float f;
    std::memcpy(&f, &word, 4);
    return number_text(f);
}

inline std::string shown(const Cell& value);

inline std::string shown_items(const Cell& series, const char* separator) {
    std::string out;
    Series* s = memory::series_of(series.data2);
    uint32_t n = s->used() / uint32_t(sizeof(Cell));
    for (uint32_t i = series.data1; i < n; i++) {
        if (i > series.data1) out += separator;
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
        case TYPE_CHAR: return "char " + std::to_string(v.data2);
        case TYPE_PAIR: return "pair " + std::to_string(int32_t(v.data2)) + "x" + std::to_string(int32_t(v.data3));
        case TYPE_POINT2D: return "point " + float_of_word(v.data1) + "," + float_of_word(v.data2);
        case TYPE_POINT3D:
            return "point " + float_of_word(v.data1) + "," + float_of_word(v.data2) + "," +
                   float_of_word(v.data3);
        case TYPE_TUPLE: {
            std::string out = "tuple";
            int n = int(v.header >> 19 & 0xF);
            const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&v.data1);
            for (int i = 0; i < n; i++) out += (i ? "." : " ") + std::to_string(bytes[i]);
            return out;
        }
        case TYPE_TIME: return "time " + number_text(cell::get_float(&v));
        case TYPE_DATE: {
            int32_t packed = int32_t(v.data1);
            std::string out = "date " + std::to_string(packed >> 17) + "-" +
                              std::to_string(packed >> 12 & 0xF) + "-" + std::to_string(packed >> 7 & 0x1F);
            if (packed & 0x10000) {
                int zone = packed & 0x7F;
                int quarters = zone & 0x3F;
                out += " " + number_text(cell::get_float(&v)) + " zone " + (zone & 0x40 ? "-" : "+") +
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
        case TYPE_LOGIC: return v.data1 ? "true" : "false";
        case TYPE_NONE: return "none";
        case TYPE_UNSET: return "unset";
        case TYPE_DATATYPE: return datatype::type_name(int(v.data1));
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
