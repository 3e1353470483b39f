// Fuzz target: random text, binary and loaded-block input through PARSE,
// in the boot environment, against a fixed set of rule blocks that search
// (to, thru), collect and keep, change the input as they go (change,
// insert, remove) and descend into nested blocks. The first byte chooses
// the rules, the input's class and the refinement (none, /case, /part);
// the rest is the input. Any language error is a fine answer; a crash, or
// a parse that leaves cells on the engine's stacks, is not.
//
// Built with libFuzzer (cmake -DZEL_FUZZ=ON, clang) or linked with
// replay_main.cpp, which runs the committed corpus as a test.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/fresh_runtime.h"
#include "interpreter/parse.h"
#include "series/binary.h"
#include "tests/support/boot_env.h"

namespace {

using namespace zel;

const char* const RULES[] = {
    "[any [to #\"a\" thru \"b\" | skip]]",
    "[any [thru [\"x\" | \"y\"] | to end]]",
    "[collect [any [keep to #\",\" skip | keep copy x some digit | skip]]]",
    "[collect [any [keep pick 2 skip | keep skip | collect [keep skip]]]]",
    "[collect into out [any [keep pick 2 skip | keep (n: n + 1) skip]]]",
    "[collect after out [any [keep 1 3 skip | skip]]]",
    "[collect set c [any [keep copy x [skip skip] | skip]] to end]",
    // Each alternative consumes what it leaves behind: a rule that inserts
    // and then fails would be run again over its own insertion forever.
    "[any [change \"ab\" \"xyz\" | remove \"c\" | \"d\" insert \"-\" | change only \"e\" (n: n + 1) | skip]]",
    "[any [p: 2 skip change p \"Q\" | remove digit | skip]]",
    "[any [into [any [to word! skip | integer! | into [some skip] | skip]] | skip]]",
    "[any [integer! | word! | string! | block! | skip]]",
    "[any [p: skip :p skip | ahead skip not end skip | set v skip]]",
    "[while [to [\",\" | end] skip] | some [1 3 \"ab\" | 2 skip | none skip]]",
    "[any [case yes [\"A\" | #\"b\"] | opt \"a\" skip | break]]",
};
constexpr unsigned RULE_COUNT = sizeof RULES / sizeof RULES[0];

void check(bool ok) {
    if (!ok) std::abort();
}

// The input of the chosen class, into `input`; false when the bytes make
// none (text that is not UTF-8, source that does not load).
bool make_input(unsigned kind, const uint8_t* data, size_t size, Cell* input) {
    try {
        if (kind == 0) {
            string::make_from_utf8(input, data, int64_t(size));
        } else if (kind == 1) {
            binary::make_at(input, int64_t(size));
            Series* s = memory::series_of(input->data2);
            if (size) std::memcpy(s->head(), data, size);
            s->tail = s->offset + uint32_t(size);
        } else {
            lexer::scan(input, data, int64_t(size), 0);
        }
    } catch (const ErrorThrow&) {
        test::empty_both_stacks();
        return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    fuzz::fresh_runtime(test::boot_environment);
    test::empty_both_stacks();
    const unsigned choice = data[0];
    const unsigned rules = choice % RULE_COUNT;
    const unsigned kind = (choice / RULE_COUNT) % 3;
    const unsigned refinement = (choice / RULE_COUNT / 3) % 3;
    Cell input{TYPE_NONE, 0, 0, 0};
    gc::root keep(&input);
    if (!make_input(kind, data + 1, size - 1, &input)) return 0;
    test::set_global("input", input);
    std::string code = kind == 2 ? "out: copy [] " : "out: copy \"\" ";
    code += "n: 0 yes: true digit: make bitset! \"0123456789\" parse";
    code += refinement == 1 ? "/case" : refinement == 2 ? "/part" : "";
    code += " input ";
    code += RULES[rules];
    if (refinement == 2) code += " 3";
    try {
        test::run(test::load_text(code));
    } catch (const ErrorThrow&) {
    }
    check(parser::input_stack_cells() == 0 && parser::rule_stack_cells() == 0);
    test::empty_both_stacks();
    return 0;
}
