// Text helpers for tests: strings from UTF-8 or from code points at a
// chosen unit, and their content read back.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "foundation/memory.h"
#include "series/string.h"
#include "series/unicode.h"

namespace zel::test {

// A string! over the UTF-8 text, in the narrowest unit.
inline Cell text(const char* utf8) {
    Cell c;
    string::make_from_utf8(&c, reinterpret_cast<const uint8_t*>(utf8), int64_t(std::strlen(utf8)));
    return c;
}

// A string! holding the code points in units of exactly `unit` bytes.
inline Cell chars(const std::vector<uint32_t>& cps, int unit) {
    Cell c;
    string::make_at_unit(&c, int(cps.size()), unit);
    Series* s = string::buffer_of(&c);
    for (uint32_t cp : cps) {
        string::put_char(s->tail_ptr(), unit, cp);
        s->tail += uint32_t(unit);
    }
    return c;
}

inline int unit_of(const Cell& c) { return string::buffer_of(&c)->unit(); }

// The code points from the head to the tail.
inline std::vector<uint32_t> code_points(Cell c) {
    std::vector<uint32_t> out;
    int n = string::length_q(&c);
    int unit = unit_of(c);
    const uint8_t* p = string::head(&c);
    for (int i = 0; i < n; i++) out.push_back(string::get_char(p + i * unit, unit));
    return out;
}

// The text from the head as UTF-8.
inline std::string utf8_of(Cell c) {
    int limit = -1;
    char* p = unicode::to_utf8(&c, limit);
    return std::string(p, size_t(limit));
}

inline const uint8_t* bytes(const char* s) { return reinterpret_cast<const uint8_t*>(s); }

}  // namespace zel::test
