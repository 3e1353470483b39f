// Fuzz target: random bytes as the text of url::decode. Text that is not
// UTF-8 is refused when the string is made, and malformed UTF-8 inside
// escapes is an access error: both are fine answers. A crash is not, nor a
// result with more characters than the text, nor one that, encoded in
// either class and decoded again, does not give itself back.
//
// Built with libFuzzer (cmake -DZEL_FUZZ=ON, clang) or linked with
// replay_main.cpp, which runs the committed corpus as a test.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "foundation/raise.h"
#include "fuzz/fresh_runtime.h"
#include "series/binary.h"
#include "series/file.h"
#include "series/string.h"

namespace {

using namespace zel;

void check(bool ok) {
    if (!ok) std::abort();
}

// The text, encoded in `mode`'s class, decoded again.
Cell round_trip(Cell text, int mode) {
    Cell bytes, escaped, back;
    url::encode(&text, &bytes, mode);
    string::make_from_utf8(&escaped, binary::head(&bytes), binary::length_q(&bytes));
    url::decode(&escaped, &back);
    return back;
}

bool same_text(Cell a, Cell b) {
    int n = string::length_q(&a);
    if (n != string::length_q(&b)) return false;
    for (int i = 0; i < n; i++)
        if (string::abs_at(&a, int32_t(a.data1) + i) != string::abs_at(&b, int32_t(b.data1) + i)) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::fresh_runtime(runtime::init);
    Cell text, decoded;
    try {
        string::make_from_utf8(&text, data, int64_t(size));
        url::decode(&text, &decoded);
    } catch (const ErrorThrow&) {
        return 0;
    }
    check(string::length_q(&decoded) <= string::length_q(&text));
    for (int mode : {0, url::COMPONENT}) check(same_text(round_trip(decoded, mode), decoded));
    return 0;
}
