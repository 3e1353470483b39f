// Molded text loads back: every input of the lexer's fuzz corpus that loads
// is molded value by value, and each text loads again as a value equal to
// the first. The corpus holds the odd literals the fuzzer found, so this
// catches mold forms the lexer does not read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "foundation/collector.h"
#include "foundation/compare.h"
#include "foundation/datatype.h"
#include "foundation/raise.h"
#include "lexer/lexer.h"
#include "tests/support/loaded.h"
#include "tests/support/runtime_env.h"
#include "tests/support/locale_months.h"

namespace zel::lexer {
namespace {

// Series types whose cells are values that mold one by one.
bool block_like(int type) {
    switch (type) {
        case TYPE_BLOCK: case TYPE_PAREN: case TYPE_PATH: case TYPE_LIT_PATH: case TYPE_SET_PATH:
        case TYPE_GET_PATH: case TYPE_MAP: return true;
        default: return false;
    }
}

// Whether the value, or any value inside it, is one the test holds.
template <typename Test>
bool holds(const Cell& value, Test test) {
    Cell v = value;
    if (test(v)) return true;
    if (!block_like(type_of(&v))) return false;
    Series* s = memory::series_of(test::node_of(v));
    uint32_t n = s->used() / uint32_t(sizeof(Cell));
    for (uint32_t i = uint32_t(test::head_of(v)); i < n; i++)
        if (holds(s->cells()[i], test)) return true;
    return false;
}

// tag!, email!, ref!, binary! and bitset! are loaded but have no mold
// handler yet: a value holding one of them cannot be molded at all, so it is
// left out rather than failed.
bool unmoldable(const Cell& v) {
    int type = type_of(&v);
    return !block_like(type) && !(datatype::registered(type) && datatype::handler<ACT_MOLD>(type));
}

// Plain mold writes these as the words they are named by, and money cut to
// system/options/money-digits; only mold/all writes them in full, in forms
// that load them back.
bool shortened_by_plain_mold(const Cell& v) {
    int type = type_of(&v);
    return type == TYPE_LOGIC || type == TYPE_NONE || type == TYPE_UNSET || type == TYPE_DATATYPE ||
           type == TYPE_MONEY;
}

// NaN is equal to nothing, itself included: such values are compared by
// their molded text.
bool not_a_number(const Cell& v) {
    int type = type_of(&v);
    double d = cell::get_float(&v);
    if (type == TYPE_FLOAT || type == TYPE_PERCENT || type == TYPE_TIME) return d != d;
    return false;
}

std::vector<std::filesystem::path> corpus_files() {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(ZEL_SOURCE_DIR "/fuzz/corpus/lexer"))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::string file_bytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// What went wrong with one value molded (with /all or without): "" when its
// text loads back equal.
std::string round_trip_fault(Cell value, bool all) {
    std::string text = test::molded(value, false, all);
    Cell again{};
    std::string error = test::error_of([&] { again = test::loaded(text); });
    if (!error.empty()) return "molded as " + text + ", which does not load: " + error;
    if (test::total_cells(again) != 1) return "molded as " + text + ", which loads as several values";
    Cell back = test::cells_of(again)[0];
    bool equal = holds(value, not_a_number) ? test::molded(back, false, all) == text
                                            : compare::compare(&value, &back, compare::COMP_STRICT_EQUAL);
    return equal ? "" : "molded as " + text + ", which loads as " + test::molded(back, false, all);
}

TEST(MoldRoundTrip, EveryLoadedCorpusInputMoldsToTextThatLoadsEqual) {
    int loaded = 0, checked = 0;
    for (const auto& file : corpus_files()) {
        std::string bytes = file_bytes(file);
        if (bytes.empty()) continue;
        std::string text = bytes.substr(1);  // the fuzz target's first byte picks its mode
        Cell block;
        if (!test::error_of([&] { block = test::loaded(text); }).empty()) continue;
        loaded++;
        gc::root keep(&block);
        for (int i = 0; i < test::total_cells(block); i++) {
            Cell value = test::cells_of(block)[i];
            if (holds(value, unmoldable)) continue;
            checked++;
            EXPECT_EQ(round_trip_fault(value, true), "") << file.filename() << ": value " << i + 1 << " (mold/all)";
            if (!holds(value, shortened_by_plain_mold)) {
                EXPECT_EQ(round_trip_fault(value, false), "") << file.filename() << ": value " << i + 1;
            }
        }
    }
    EXPECT_GT(checked, 50) << loaded << " inputs loaded";
}

}  // namespace
}  // namespace zel::lexer
