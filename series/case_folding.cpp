// Case folding tables and the case-changing natives' body. The pair lists
// are generated data (case_tables.inc, from tools/gen_case_tables.py). The
// Basic Multilingual Plane's tables are made from them when the program is
// compiled, in two levels (case_folding.h): constant data that start-up
// neither fills nor touches, of which a run reads only the pages of the
// letters it meets.
#include "series/case_folding.h"

#include <algorithm>
#include <span>

#include "series/case_tables.inc"
#include "series/ownership.h"
#include "series/series.h"
#include "series/string.h"

namespace zel::case_folding {

namespace {

using Pairs = std::span<const uint32_t[2]>;

// The pages of 256 code points that hold a mapping, plus the page of none.
template <const auto& PAIRS>
constexpr int page_count() {
    bool seen[256] = {};
    int n = 1;
    for (const auto& pair : PAIRS) {
        if (!seen[pair[0] >> 8]) n++;
        seen[pair[0] >> 8] = true;
    }
    return n;
}

template <int PAGES>
struct TwoLevel {
    uint8_t index[256];  // the page of each high byte; 0: no mapping on it
    uint32_t pages[PAGES][256];
};

template <const auto& PAIRS>
constexpr TwoLevel<page_count<PAIRS>()> two_level() {
    TwoLevel<page_count<PAIRS>()> t{};
    int next = 1;
    for (const auto& pair : PAIRS) {
        uint32_t high = pair[0] >> 8;
        if (!t.index[high]) t.index[high] = uint8_t(next++);
        t.pages[t.index[high]][pair[0] & 0xFF] = pair[1];
    }
    return t;
}

constexpr auto UPPER = two_level<case_tables::BMP_TO_UPPER>();
constexpr auto LOWER = two_level<case_tables::BMP_TO_LOWER>();
static_assert(page_count<case_tables::BMP_TO_UPPER>() <= 256 && page_count<case_tables::BMP_TO_LOWER>() <= 256);

}  // namespace

const detail::Table detail::g_to_upper = {UPPER.index, UPPER.pages};
const detail::Table detail::g_to_lower = {LOWER.index, LOWER.pages};

namespace {

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
