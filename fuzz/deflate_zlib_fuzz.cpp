// Fuzz target: random bytes through the zlib decoder (size probe, exact
// and short destinations), and the same bytes through the zlib encoder at
// the level the first byte chooses and back. A corrupt answer is fine; a
// crash, an access outside a buffer, a size past what DEFLATE can expand
// to, or a round trip that changes the data is not.
//
// Built with libFuzzer (cmake -DZEL_FUZZ=ON, clang) or linked with
// replay_main.cpp, which runs the committed corpus as a test.
#include "fuzz/deflate_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zel;
    return fuzz::check_codec(deflate::zlib_compress, deflate::zlib_decompress, true, false, data, size);
}
