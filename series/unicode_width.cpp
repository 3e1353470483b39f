// Display widths from range tables. The tables are generated data
// (width_tables.inc, from tools/gen_case_tables.py); lookups run once per
// character drawn, so a linear scan with a quick rejection is enough.
#include "series/unicode_width.h"

#include "series/width_tables.inc"

namespace zel::unicode {

namespace {

template <size_t N>
bool in_table(uint32_t cp, const uint32_t (&table)[N]) {
    return in_ranges_q(cp, table, N);
}

bool control_q(uint32_t cp) { return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F); }

}  // namespace

bool in_ranges_q(uint32_t cp, const uint32_t* table, size_t words) {
    if (words < 2 || cp < table[0] || cp > table[words - 1]) return false;
    for (size_t i = 0; i + 1 < words; i += 2) {
        if (cp < table[i]) return false;
        if (cp <= table[i + 1]) return true;
    }
    return false;
}

int char_width(uint32_t cp) {
    if (cp == 0) return 0;
    if (control_q(cp)) return 1;
    if (in_table(cp, width_tables::ZERO_WIDTH)) return 0;
    if (in_table(cp, width_tables::WIDE)) return 2;
    return 1;
}

int char_width_cjk(uint32_t cp) {
    return in_table(cp, width_tables::AMBIGUOUS) ? 2 : char_width(cp);
}

}  // namespace zel::unicode
