// string! search and comparison: compare, find, select, path access, the
// set operations on texts and the matchers PARSE uses. file!, url!, tag!,
// email! and ref! inherit these handlers, and so do binary! and vector!
// where they have none of their own (their branches are marked).
//
// Text compares case-insensitively by mapping both characters to upper case
// (case_folding::change_char) unless a case-sensitive mode is asked for;
// binary! and vector! series always compare exactly.
//
// No Zel code runs during a search: a value that has to be formed is formed
// and read out before the searched buffer is looked at, so the addresses
// taken for the scan stay valid to its end.
//
// Relies on: the string storage operations, case folding, the series!
// handlers (pick, poke, /part arguments), the registry (form), the argument
// stack, the symbol table (a word's name) and the vector module (elements
// as numbers).
#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include <emmintrin.h>

#include "foundation/compare.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "scalars/char.h"
#include "series/any_value.h"
#include "series/bitset.h"
#include "series/case_folding.h"
#include "series/series.h"
#include "series/string.h"
#include "series/vector.h"
#include "words/symbol.h"

namespace zel::string {

using namespace compare;

namespace {

// A text as comparisons read it: its first unit in use, its unit, the head
// (an absolute unit index) and the characters from the head. Valid until
// the next allocation.
struct Run {
    const uint8_t* base;
    int unit;
    int64_t head;
    int64_t length;
    uint32_t at(int64_t i) const { return get_char(base + i * unit, unit); }
};

// A symbol! entry's name starts at 0; a text slice holds at most its count.
Run run_of(const Cell* value) {
    Series* s = memory::series_of(value->data2);
    int unit = s->unit();
    int64_t total = int64_t(s->used()) / unit;
    int64_t head = type_of(value) == TYPE_SYMBOL ? 0 : std::clamp<int64_t>(int32_t(value->data1), 0, total);
    int64_t length = total - head;
    if (type_of(value) == TYPE_TEXT_SLICE) length = std::clamp<int64_t>(int32_t(value->data3), 0, length);
    return {s->head(), unit, head, length};
}

inline uint32_t upper(uint32_t cp) { return case_folding::change_char(cp, true); }

bool equality_op(int op) {
    return op == COMP_EQUAL || op == COMP_NOT_EQUAL || op == COMP_STRICT_EQUAL || op == COMP_FIND;
}

// Restores the argument stack's top on every way out.
struct StackMark {
    Cell* top = stack::g_top;
    ~StackMark() { stack::g_top = top; }
};

// ---- find ---------------------------------------------------------------------------------

// Where a search runs, in absolute unit indexes: forwards from `start` while
// below `upper`, or backwards from `start` while at or above `lower`.
struct Span {
    int64_t start;
    int64_t lower;
    int64_t upper;
    int64_t step;
    bool backward;
};

// What a search looks for. Patterns and characters are folded already when
// the search folds.
struct Target {
    enum Kind { CHAR, BITSET, PATTERN, NUMBER } kind = CHAR;
    uint32_t cp = 0;
    const Cell* bitset = nullptr;
    std::vector<uint32_t> pattern;
    double number = 0;
};

// The first position from the span's start where `test` holds; once: only
// the start is tried.
template <typename Test>
int64_t scan_units(const Span& sp, bool once, Test test) {
    if (!sp.backward) {
        for (int64_t p = sp.start; p < sp.upper; p += sp.step) {
            if (test(p)) return p;
            if (once) break;
        }
    } else {
        for (int64_t p = sp.start; p >= sp.lower; p -= sp.step) {
            if (test(p)) return p;
            if (once) break;
        }
    }
    return -1;
}

// Where the pattern starts at a position of the span: forwards the match
// begins at the position, backwards it ends there. The text running out
// before the pattern does is a miss, and so is every later position.
template <typename T, bool Fold>
int64_t scan_pattern(const uint8_t* base, const Span& sp, const uint32_t* pat, int64_t m, bool once) {
    auto read = [base](int64_t i) {
        T unit;
        std::memcpy(&unit, base + i * int64_t(sizeof(T)), sizeof(T));
        return Fold ? upper(uint32_t(unit)) : uint32_t(unit);
    };
    auto matches = [&](int64_t from) {
        int64_t k = 0;
        while (k < m && read(from + k) == pat[k]) k++;
        return k == m;
    };
    if (!sp.backward) {
        for (int64_t p = sp.start; p + m <= sp.upper; p += sp.step) {
            if (read(p) == pat[0] && matches(p)) return p;
            if (once) break;
        }
    } else {
        for (int64_t p = sp.start; p >= sp.lower; p -= sp.step) {
            int64_t from = p - m + 1;
            if (from < sp.lower) break;
            if (matches(from)) return from;
            if (once) break;
        }
    }
    return -1;
}

template <bool Fold>
int64_t scan_pattern_unit(const Run& t, const Span& sp, const uint32_t* pat, int64_t m, bool once) {
    switch (t.unit) {
        case 1: return scan_pattern<uint8_t, Fold>(t.base, sp, pat, m, once);
        case 2: return scan_pattern<uint16_t, Fold>(t.base, sp, pat, m, once);
        default: return scan_pattern<uint32_t, Fold>(t.base, sp, pat, m, once);
    }
}

// Folded forward byte text: the byte forms of the pattern's first character
// (at most three; -2 asks the caller to scan otherwise) are looked for 16
// bytes at a time, and each one found is checked through the folding table.
int64_t scan_folded_bytes(const Run& t, const Span& sp, const std::vector<uint32_t>& pat) {
    uint32_t byte_upper[256];
    uint8_t forms[3];
    int n = 0;
    for (uint32_t b = 0; b < 256; b++) {
        byte_upper[b] = upper(b);
        if (byte_upper[b] != pat[0]) continue;
        if (n == 3) return -2;
        forms[n++] = uint8_t(b);
    }
    if (n == 0) return -1;
    for (int i = n; i < 3; i++) forms[i] = forms[0];
    const uint8_t* base = t.base;
    int64_t m = int64_t(pat.size()), last = sp.upper - m;
    auto matches = [&](int64_t at) {
        int64_t k = 1;
        while (k < m && byte_upper[base[at + k]] == pat[size_t(k)]) k++;
        return k == m;
    };
    __m128i f0 = _mm_set1_epi8(char(forms[0])), f1 = _mm_set1_epi8(char(forms[1])), f2 = _mm_set1_epi8(char(forms[2]));
    int64_t p = sp.start;
    for (; p + 16 <= last + 1; p += 16) {
        __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + p));
        __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(chunk, f0), _mm_cmpeq_epi8(chunk, f1)),
                                    _mm_cmpeq_epi8(chunk, f2));
        for (uint32_t mask = uint32_t(_mm_movemask_epi8(hits)); mask; mask &= mask - 1)
            if (matches(p + __builtin_ctz(mask))) return p + __builtin_ctz(mask);
    }
    for (; p <= last; p++)
        if (byte_upper[base[p]] == pat[0] && matches(p)) return p;
    return -1;
}

// Plain forward byte text: the C library's substring search.
int64_t scan_bytes(const Run& t, const Span& sp, const std::vector<uint32_t>& pat) {
    if (std::any_of(pat.begin(), pat.end(), [](uint32_t c) { return c > 0xFF; })) return -1;
    std::vector<uint8_t> needle(pat.begin(), pat.end());
    const uint8_t* from = t.base + sp.start;
    int64_t room = sp.upper - sp.start;
    if (room < int64_t(needle.size())) return -1;
    const void* hit = memmem(from, size_t(room), needle.data(), needle.size());
    return hit ? static_cast<const uint8_t*>(hit) - t.base : -1;
}

int64_t scan_for_pattern(const Run& t, const Span& sp, const std::vector<uint32_t>& pat, bool fold, bool once) {
    int64_t m = int64_t(pat.size());
    bool forward_bytes = t.unit == 1 && !sp.backward && sp.step == 1 && !once;
    if (forward_bytes && !fold) return scan_bytes(t, sp, pat);
    if (forward_bytes) {
        int64_t hit = scan_folded_bytes(t, sp, pat);
        if (hit != -2) return hit;
    }
    return fold ? scan_pattern_unit<true>(t, sp, pat.data(), m, once)
                : scan_pattern_unit<false>(t, sp, pat.data(), m, once);
}

int64_t scan_for_one(Cell* series, const Run& t, const Span& sp, const Target& target, bool fold, bool once) {
    switch (target.kind) {
        case Target::BITSET:
            return scan_units(sp, once, [&](int64_t p) { return bitset::has(target.bitset, t.at(p)); });
        case Target::NUMBER: {
            int type = type_of(series);
            uint32_t element_type = series->data3;
            return scan_units(sp, once, [&](int64_t p) {
                const uint8_t* at = t.base + p * t.unit;
                double n = type == TYPE_BINARY ? double(*at) : vector::element_number(at, t.unit, int(element_type));
                return n == target.number;
            });
        }
        default:
            if (!fold && t.unit == 1 && !sp.backward && sp.step == 1 && !once) {
                if (target.cp > 0xFF || sp.start >= sp.upper) return -1;
                const void* hit = std::memchr(t.base + sp.start, int(target.cp), size_t(sp.upper - sp.start));
                return hit ? static_cast<const uint8_t*>(hit) - t.base : -1;
            }
            if (fold) return scan_units(sp, once, [&](int64_t p) { return upper(t.at(p)) == target.cp; });
            return scan_units(sp, once, [&](int64_t p) { return t.at(p) == target.cp; });
    }
}

// The characters of a text value from its head, folded when asked.
std::vector<uint32_t> characters_of(const Cell* value, bool fold) {
    Run r = run_of(value);
    std::vector<uint32_t> out(size_t(r.length));
    for (int64_t i = 0; i < r.length; i++) out[size_t(i)] = fold ? upper(r.at(r.head + i)) : r.at(r.head + i);
    return out;
}

bool pattern_type(int type) {
    return type == TYPE_STRING || type == TYPE_FILE || type == TYPE_URL || type == TYPE_EMAIL ||
           type == TYPE_REF || type == TYPE_BINARY;
}

// What the value asks to find in the series.
Target target_of(Cell* series, Cell* value, bool fold) {
    Target target;
    int stype = type_of(series), vtype = type_of(value);
    bool numbers = stype == TYPE_BINARY || stype == TYPE_VECTOR;
    if (vtype == TYPE_CHAR) {
        target.cp = fold ? upper(char_::get(value)) : char_::get(value);
    } else if (vtype == TYPE_BITSET) {
        target.kind = Target::BITSET;
        target.bitset = value;
    } else if (pattern_type(vtype)) {
        if (vtype == TYPE_BINARY && stype != TYPE_BINARY) fire(ERR_script_invalid_arg, value);
        target.kind = Target::PATTERN;
        target.pattern = characters_of(value, fold);
    } else if (vtype == TYPE_WORD) {
        Cell name = *symbol::get(value->data2);
        target.kind = Target::PATTERN;
        target.pattern = characters_of(&name, fold);
    } else if (numbers && (vtype == TYPE_INTEGER || vtype == TYPE_FLOAT)) {
        target.kind = Target::NUMBER;
        target.number = vtype == TYPE_INTEGER ? double(cell::get_int(value)) : cell::get_float(value);
    } else {
        StackMark mark;
        Cell* formed = make_at(stack::push_new(), 16);
        any_value::form(value, formed, INT_MAX);
        target.kind = Target::PATTERN;
        target.pattern = characters_of(formed, fold);
    }
    return target;
}

// A hit: the position find answers and the length of what matched; a
// negative position when nothing was found.
struct Hit {
    int64_t position = -1;
    int64_t length = 0;
};

Hit locate(Cell* series, Cell* value, Cell* part, bool case_, bool same, bool any, Cell* with, Cell* skip,
           bool last, bool reverse, bool tail, bool match) {
    Series* s = memory::series_of(series->data2);
    if (s->used() == 0) return {};
    int64_t total = int64_t(s->used()) / s->unit();
    int64_t head = std::clamp<int64_t>(int32_t(series->data1), 0, total);
    if (!reverse && head >= total) return {};
    if (any || with) fire(ERR_internal_not_done);
    int64_t step = 1;
    if (skip) {
        if (type_of(skip) != TYPE_INTEGER) series::bad_refinement("skip", skip);
        step = cell::get_int(skip);
        if (step < 1) fire(ERR_script_out_of_range, skip);
    }
    bool backward_only = reverse && !last;
    int64_t count = -1;
    if (part) {
        count = series::part_count(series, part);
        if (count < 1) return {};
        // Searching back from the head, the text before it is what there is.
        count = std::min(count, backward_only ? head : total - head);
    }
    Span sp{};
    sp.step = step;
    if (last) {
        sp.lower = head;
        sp.upper = count < 0 ? total : head + count;
        sp.start = sp.upper - 1;
        sp.backward = true;
    } else if (reverse) {
        sp.lower = count < 0 ? 0 : head - count;
        sp.upper = head;
        sp.start = head - 1;
        sp.backward = true;
        if (sp.start < sp.lower || match) return {};
    } else {
        sp.start = sp.lower = head;
        sp.upper = count < 0 ? total : head + count;
    }
    bool fold = series::any_string(type_of(series)) && !case_ && !same;
    Target target = target_of(series, value, fold);
    if (target.kind == Target::PATTERN && target.pattern.empty()) return {};

    Run t = run_of(series);
    Hit hit;
    if (target.kind == Target::PATTERN) {
        hit.length = int64_t(target.pattern.size());
        hit.position = scan_for_pattern(t, sp, target.pattern, fold, match);
    } else {
        hit.length = 1;
        hit.position = scan_for_one(series, t, sp, target, fold, match);
    }
    if (hit.position >= 0 && tail) hit.position += hit.length;
    return hit;
}

// Path results that are read: the caller copies the cell at once.
Cell g_path_result;

}  // namespace

// ---- Comparing -----------------------------------------------------------------------------

Cell text_slice(const Cell* str, int count) {
    Cell c;
    cell::set(&c, TYPE_TEXT_SLICE, str->data1, str->data2, uint32_t(count));
    return c;
}

int compare_strings(const Cell* value1, const Cell* value2, int op, bool match) {
    int64_t h1 = type_of(value1) == TYPE_SYMBOL ? 0 : int32_t(value1->data1);
    int64_t h2 = type_of(value2) == TYPE_SYMBOL ? 0 : int32_t(value2->data1);
    bool same_place = value1->data2 == value2->data2 && h1 == h2;
    if (op == COMP_SAME) return same_place ? 0 : -1;
    if (same_place && equality_op(op) && type_of(value2) != TYPE_TEXT_SLICE) return 0;
    Run a = run_of(value1), b = run_of(value2);
    bool fold = op != COMP_STRICT_EQUAL && op != COMP_CASE_SORT;
    int64_t n;
    if (match) {
        if (b.length == 0) return op == COMP_FIND ? 1 : 0;
        if (a.length < b.length) return 1;
        n = b.length;
    } else {
        if (a.length != b.length && (equality_op(op) || b.length == 0)) return 1;
        n = std::min(a.length, b.length);
    }
    for (int64_t i = 0; i < n; i++) {
        uint32_t c1 = a.at(a.head + i), c2 = b.at(b.head + i);
        if (fold) {
            c1 = upper(c1);
            c2 = upper(c2);
        }
        if (c1 != c2) return c1 > c2 ? 1 : -1;
    }
    if (match || a.length == b.length) return 0;
    return a.length > b.length ? 1 : -1;
}

// Texts of different types are only ever equal or not.
int compare(Cell* value1, Cell* value2, int op) {
    int t2 = type_of(value2);
    if (type_of(value1) != t2 && !(series::any_string(t2) && (op == COMP_EQUAL || op == COMP_NOT_EQUAL)))
        return -2;
    return compare_strings(value1, value2, op, false);
}

bool find_char_stride(const Cell* str, uint32_t cp, int stride, bool case_) {
    Run r = run_of(str);
    if (!case_) cp = upper(cp);
    for (int64_t i = 0; i < r.length; i += std::max(stride, 1)) {
        uint32_t c = r.at(r.head + i);
        if ((case_ ? c : upper(c)) == cp) return true;
    }
    return false;
}

// ---- Matching for PARSE ----------------------------------------------------------------------

bool match_bitset_q(const Cell* str, const Cell* bitset) {
    Run r = run_of(str);
    return r.length > 0 && bitset::has(bitset, r.at(r.head));
}

bool match_tag_q(const Cell* str, const Cell* tag) {
    Run r = run_of(str);
    int64_t n = run_of(tag).length;
    return r.length >= n + 2 && r.at(r.head) == '<' && r.at(r.head + n + 1) == '>';
}

bool match_q(const Cell* str, const Cell* value, int mode) {
    int type = type_of(value);
    if (type == TYPE_CHAR) {
        Run r = run_of(str);
        if (r.length == 0) return false;
        uint32_t c = r.at(r.head), cp = char_::get(value);
        return mode == COMP_STRICT_EQUAL ? c == cp : upper(c) == upper(cp);
    }
    if (type == TYPE_TAG) {
        if (!match_tag_q(str, value)) return false;
        Cell inside = *str;
        inside.data1 = uint32_t(run_of(str).head + 1);
        return compare_strings(&inside, value, mode, true) == 0;
    }
    return series::any_string(type) && compare_strings(str, value, mode, true) == 0;
}

// ---- Handlers ----------------------------------------------------------------------------------

Cell* find(Cell* series, Cell* value, Cell* part, bool, bool case_, bool same, bool any, Cell* with,
           Cell* skip, bool last, bool reverse, bool tail, bool match) {
    Hit hit = locate(series, value, part, case_, same, any, with, skip, last, reverse, tail, match);
    if (hit.position < 0) cell::set(series, TYPE_NONE);
    else series->data1 = uint32_t(hit.position);
    return series;
}

// The element just after the whole matched text: a char! of text, an
// integer! of a binary!, a vector!'s element; none past the tail.
Cell* select(Cell* series, Cell* value, Cell* part, bool, bool case_, bool same, bool any, Cell* with,
             Cell* skip, bool last, bool reverse) {
    Hit hit = locate(series, value, part, case_, same, any, with, skip, last, reverse, false, false);
    if (hit.position < 0) {
        cell::set(series, TYPE_NONE);
        return series;
    }
    series->data1 = uint32_t(hit.position);
    return series::pick(series, int(hit.length) + 1, nullptr);
}

// An integer! picks or pokes; a word! is refused; any other key selects, and
// setting writes the character that selecting reads: the one after the
// whole key.
Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path, Cell*, Cell*, int, bool case_, bool,
                bool) {
    int type = type_of(element);
    if (type == TYPE_WORD) fire(ERR_script_invalid_path, path, element);
    if (type == TYPE_INTEGER) {
        if (value) return series::poke(parent, cell::get_int(element), value, element);
        g_path_result = *parent;
        return series::pick(&g_path_result, cell::get_int(element), element);
    }
    g_path_result = *parent;
    Hit hit = locate(&g_path_result, element, nullptr, case_, false, false, nullptr, nullptr, false, false,
                     false, false);
    if (hit.position >= 0) g_path_result.data1 = uint32_t(hit.position);
    if (!value) {
        if (hit.position < 0) cell::set(&g_path_result, TYPE_NONE);
        else series::pick(&g_path_result, int(hit.length) + 1, nullptr);
        return &g_path_result;
    }
    if (hit.position < 0) fire(ERR_script_bad_path_set, path, element);
    series::poke(&g_path_result, int(hit.length) + 1, value, nullptr);
    return value;
}

// ---- Set operations ------------------------------------------------------------------------------

Cell* do_set_op(bool case_, const Cell* skip, int op) {
    Cell* args = stack::arguments();
    int size = 1;
    if (skip) {
        if (type_of(skip) != TYPE_INTEGER || cell::get_int(skip) < 1) series::bad_refinement("skip", skip);
        size = cell::get_int(skip);
    }
    bool two = op != SET_UNIQUE;
    head(&args[0]);
    if (two) head(&args[1]);
    int64_t capacity = length_q(&args[0]) + (op == SET_UNION ? length_q(&args[1]) : 0);
    Cell* result = make_at(stack::push_new(), int(std::min<int64_t>(capacity, INT_MAX)));
    cell::set_type(result, type_of(&args[0]));

    // Records of `from` whose first character passes the test against
    // `other` (when given) and is not in the result yet.
    auto keep_records = [&](const Cell* from, const Cell* other, bool must_occur) {
        int64_t length = length_q(from);
        for (int64_t i = 0; i < length; i += size) {
            uint32_t first = run_of(from).at(run_of(from).head + i);
            if (other && find_char_stride(other, first, size, case_) != must_occur) continue;
            if (find_char_stride(result, first, size, case_)) continue;
            for (int64_t k = i; k < std::min<int64_t>(i + size, length); k++) {
                Run r = run_of(from);
                append_char(buffer_of(result), r.at(r.head + k));
            }
        }
    };
    switch (op) {
        case SET_UNIQUE: keep_records(&args[0], nullptr, false); break;
        case SET_UNION:
            keep_records(&args[0], nullptr, false);
            keep_records(&args[1], nullptr, false);
            break;
        case SET_INTERSECT: keep_records(&args[0], &args[1], true); break;
        case SET_EXCLUDE: keep_records(&args[0], &args[1], false); break;
        default:
            keep_records(&args[0], &args[1], false);
            keep_records(&args[1], &args[0], false);
            break;
    }
    args[0] = *result;
    stack::pop(1);
    return args;
}

}  // namespace zel::string
