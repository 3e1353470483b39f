// Fuzz target: random bytes through the natives' path, `decompress` with
// `deflate`, `zlib` or `gzip`, without a size and with sizes below, at and
// above the input's length: the size probe, the allocation it sizes and the
// second attempt. The first byte chooses the method and the size; the rest
// is the input. An error is a fine answer; a crash, an access outside a
// buffer, or a result other than the codec's own output is not.
//
// Built with libFuzzer (cmake -DZEL_FUZZ=ON, clang) or linked with
// replay_main.cpp, which runs the committed corpus as a test.
#include <memory>
#include <string>

#include "fuzz/deflate_fuzz.h"
#include "fuzz/fresh_runtime.h"
#include "series/binary.h"
#include "tests/support/boot_env.h"

namespace {

using namespace zel;

const char* const METHODS[] = {"deflate", "zlib", "gzip"};
const fuzz::Decompressor DECODERS[] = {deflate::decompress, deflate::zlib_decompress, deflate::gzip_decompress};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    fuzz::fresh_runtime(test::boot_environment);
    test::empty_both_stacks();
    const unsigned method = data[0] % 3, sizing = data[0] / 3 % 6;
    data++;
    size--;
    Cell input{TYPE_NONE, 0, 0, 0};
    gc::root keep(&input);
    binary::make_at(&input, int64_t(size));
    Series* s = memory::series_of(input.data2);
    if (size) std::memcpy(s->head(), data, size);
    s->tail = s->offset + uint32_t(size);
    test::set_global("input", input);
    // No size, a negative one, below the input's length, the length, just
    // above it, far above it.
    const int64_t sizes[] = {0, -5, int64_t(size) / 2, int64_t(size), int64_t(size) + 3, int64_t(size) * 40 + 100};
    std::string code = "decompress";
    if (sizing) code += "/size";
    code += " input '";
    code += METHODS[method];
    if (sizing) code += " " + std::to_string(sizes[sizing]);
    Cell result{TYPE_NONE, 0, 0, 0};
    gc::root keep_result(&result);
    try {
        result = test::run(test::load_text(code));
    } catch (const ErrorThrow&) {
        test::empty_both_stacks();
        return 0;
    }
    fuzz::check(type_of(&result) == TYPE_BINARY);
    const int64_t got = binary::length_q(&result);
    fuzz::check(got <= deflate::MOST_EXPANSION * int64_t(size));
    std::unique_ptr<uint8_t[]> expected(new uint8_t[size_t(got) + 1]);
    int64_t expected_size = got;
    fuzz::check(DECODERS[method](expected.get(), &expected_size, data, int64_t(size)) == 0 && expected_size == got);
    fuzz::check(got == 0 || std::memcmp(expected.get(), binary::head(&result), size_t(got)) == 0);
    test::empty_both_stacks();
    return 0;
}
