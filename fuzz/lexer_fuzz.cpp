// Fuzz target: random bytes through the lexer in every mode. The first byte
// chooses the mode; the rest is the text. Any syntax error is a fine answer;
// a crash, a leak of the scan chain or a report past the text is not.
//
// Built with libFuzzer (cmake -DZEL_FUZZ=ON, clang) or linked with
// replay_main.cpp, which runs the committed corpus as a test.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/fresh_runtime.h"
#include "interpreter/error.h"
#include "lexer/lexer.h"
#include "lexer/lexer_state.h"
#include "series/string.h"

namespace {

using namespace zel;

constexpr unsigned MODES[] = {
    0,
    lexer::ONE_VALUE,
    lexer::ONE_VALUE | lexer::WHOLE_BLOCK,
    lexer::PRESCAN,
    lexer::SCAN_ONLY,
    lexer::SCAN_ONLY | lexer::ONE_VALUE,
};
constexpr unsigned MODE_COUNT = sizeof MODES / sizeof MODES[0];

void check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    fuzz::fresh_runtime(runtime::init);
    const unsigned choice = data[0];
    const unsigned flags = MODES[choice % MODE_COUNT];
    const bool from_string = (choice / MODE_COUNT) % 2 == 1;
    data++;
    size--;
    Cell result;
    int64_t consumed = -1;
    try {
        if (from_string) {
            Cell text;
            string::make_from_utf8(&text, data, int64_t(size));
            int64_t chars = string::length_q(&text);
            lexer::scan_string(&result, &text, -1, flags, &consumed);
            check(consumed >= 0 && consumed <= chars);
        } else {
            lexer::scan(&result, data, int64_t(size), flags, &consumed);
            check(consumed >= 0 && consumed <= int64_t(size));
        }
    } catch (const ErrorThrow& e) {
        // Syntax errors, and invalid UTF-8 refused as a string.
        check(e.category() == ERR_CAT_syntax || e.id == ERR_access_invalid_utf8 ||
              e.id == ERR_internal_not_done);
    }
    check(lexer::utf8_buffer_used() == 0);
    return 0;
}
