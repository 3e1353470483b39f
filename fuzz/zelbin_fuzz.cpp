// Fuzz target: random bytes through the Zelbin decoder in codec mode, in
// the boot environment (natives, actions and datatype words defined). Any
// language error is a fine answer; a crash, a read past the input or a huge
// allocation is not. What decodes is molded, encoded again in both forms
// and decoded again, so that values the decoder lets through are ones the
// rest of the run-time can take.
//
// Built with libFuzzer (cmake -DZEL_FUZZ=ON, clang) or linked with
// replay_main.cpp, which runs the committed corpus as a test.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "boot/zelbin/format.h"
#include "fuzz/fresh_runtime.h"
#include "series/binary.h"
#include "tests/support/boot_env.h"

namespace {

using namespace zel;

// Runs the step; a language error ends it quietly, the stack as it was.
template <typename Step>
bool attempt(Step step) {
    Cell* top = stack::g_top;
    Cell* arguments = stack::g_arguments;
    try {
        step();
        return true;
    } catch (const ErrorThrow&) {
        exits::end_throw();
        stack::g_top = top;
        stack::g_arguments = arguments;
        return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::fresh_runtime(test::boot_environment);
    test::empty_both_stacks();
    Cell* input = stack::push_new();
    binary::make_at(input, int64_t(size));
    Series* s = memory::series_of(input->data2);
    if (size) std::memcpy(s->head(), data, size);
    s->tail = s->offset + uint32_t(size);
    Cell* block = stack::push_new();
    if (!attempt([&] { zelbin::decode(input, block); })) return 0;
    attempt([&] { test::mold_of(*block); });
    for (bool compact : {true, false}) {
        Cell* again = stack::push_new();
        zelbin::Options options;
        options.compact = compact;
        if (!attempt([&] { zelbin::encode(block, options, again); })) continue;
        Cell* back = stack::push_new();
        attempt([&] { zelbin::decode(again, back); });
    }
    test::empty_both_stacks();
    return 0;
}
