// Case folding tables. The pair lists are generated data (case_tables.inc,
// from tools/gen_case_tables.py). The BMP arrays live on the tracked heap and
// are filled at start-up: some 2,400 stores, cheaper than carrying half a
// megabyte of mostly zero data in the binary.
#include "series/case_folding.h"

#include <span>

#include "core/memory.h"
#include "series/case_tables.inc"

namespace zel::case_folding {

namespace detail {
uint32_t* g_to_upper = nullptr;
uint32_t* g_to_lower = nullptr;
}  // namespace detail

namespace {

using Pairs = std::span<const uint32_t[2]>;

constexpr int BMP_SIZE = 0x10000;

uint32_t* filled_array(Pairs pairs) {
    auto* array = static_cast<uint32_t*>(memory::heap_alloc_zeroed(int64_t(BMP_SIZE) * 4));
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
    detail::g_to_upper = filled_array(case_tables::BMP_TO_UPPER);
    detail::g_to_lower = filled_array(case_tables::BMP_TO_LOWER);
}

uint32_t detail::change_supplementary(uint32_t cp, bool upper) {
    return upper ? look_up(case_tables::SUPPLEMENTARY_TO_UPPER, cp)
                 : look_up(case_tables::SUPPLEMENTARY_TO_LOWER, cp);
}

}  // namespace zel::case_folding
