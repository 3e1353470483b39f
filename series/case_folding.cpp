// Case folding tables and the case-changing natives' body. The pair lists
// are generated data (case_tables.inc, from tools/gen_case_tables.py). The
// BMP arrays are zero-initialised static storage filled at start-up: some
// 2,400 stores touch only the pages that hold letters, where a zeroed
// allocation would clear half a megabyte first and a filled array would
// carry it in the binary.
#include "series/case_folding.h"

#include <algorithm>
#include <span>

#include "core/ownership.h"
#include "series/series.h"
#include "series/string.h"
#include "series/case_tables.inc"

namespace zel::case_folding {

namespace detail {
uint32_t* g_to_upper = nullptr;
uint32_t* g_to_lower = nullptr;
}  // namespace detail

namespace {

using Pairs = std::span<const uint32_t[2]>;

constexpr int BMP_SIZE = 0x10000;

uint32_t g_upper_array[BMP_SIZE];
uint32_t g_lower_array[BMP_SIZE];

uint32_t* filled_array(uint32_t* array, Pairs pairs) {
    for (const auto& pair : pairs) array[pair[0]] = pair[1];
    return array;
}

// The list is sorted by `from`, so the scan stops at the first larger key.
uint32_t look_up(Pairs pairs, uint32_t cp) {
    if (cp < pairs.front()[0] || cp > pairs.back()[0]) return cp;
    for (const auto& pair : pairs) {
        if (pair[0] > cp) break;
        if (pair[0] == cp) return pair[1];
    }
    return cp;
}

}  // namespace

void init() {
    detail::g_to_upper = filled_array(g_upper_array, case_tables::BMP_TO_UPPER);
    detail::g_to_lower = filled_array(g_lower_array, case_tables::BMP_TO_LOWER);
}

uint32_t detail::change_supplementary(uint32_t cp, bool upper) {
    return upper ? look_up(case_tables::SUPPLEMENTARY_TO_UPPER, cp)
                 : look_up(case_tables::SUPPLEMENTARY_TO_LOWER, cp);
}

// Each character is read afresh: a store that widens the text replaces its
// buffer and changes its unit.
Cell* change(Cell* args, int part_index, bool upper) {
    Cell* value = args;
    if (type_of(value) == TYPE_CHAR) {
        value->data2 = change_char(value->data2, upper);
        return value;
    }
    string::head(value);  // a head past the tail comes back to it
    int64_t head = std::max<int32_t>(int32_t(value->data1), 0);
    int64_t count = string::length_q(value);
    if (part_index) count = std::clamp<int64_t>(series::part_count(value, args + part_index), 0, count);
    for (int64_t i = head; i < head + count; i++) {
        Series* s = string::buffer_of(value);
        uint32_t c = string::get_char(s->head() + i * s->unit(), s->unit());
        uint32_t mapped = change_char(c, upper);
        if (mapped != c) string::poke_char(s, int(i), mapped);
    }
    ownership::check(value, upper ? ownership::UPPERCASE : ownership::LOWERCASE, nullptr, int(head), int(count));
    return value;
}

}  // namespace zel::case_folding
