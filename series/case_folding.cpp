// Case folding. ASCII only until the Unicode tables are generated.
#include "series/case_folding.h"

namespace zel::case_folding {

void init() {}

uint32_t change_char(uint32_t cp, bool upper) {
    if (upper) return cp >= 'a' && cp <= 'z' ? cp - 32 : cp;
    return cp >= 'A' && cp <= 'Z' ? cp + 32 : cp;
}

uint32_t upper_char(uint32_t cp) { return change_char(cp, true); }

uint32_t toggle_char(uint32_t cp) {
    uint32_t up = change_char(cp, true);
    return up != cp ? up : change_char(cp, false);
}

}  // namespace zel::case_folding
