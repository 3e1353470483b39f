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
#include "series/binary.h"
#include "tests/support/boot_env.h"

namespace {

using namespace zel;

// The run-time keeps everything decoded until it quits; starting it afresh
// now and then keeps a long fuzzing run within its memory.
constexpr int RUNS_PER_START = 2000;
int g_runs = 0;

void fresh_runtime() {
    if (g_runs++ % RUNS_PER_START != 0) return;
    if (runtime::initialized()) runtime::shutdown();
    test::boot_environment();
}

// Runs the step; a language error ends it quietly.
template <typename Step>
bool attempt(Step step) {
    try {
        step();
        return true;
    } catch (const ErrorThrow&) {
        test::empty_both_stacks();
        return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fresh_runtime();
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
