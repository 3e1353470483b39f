// Fuzz target: GIF files (and what mutation makes of them) through the
// image back-end's decode-memory (see image_fuzz.h).
#include "fuzz/image_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return zel::fuzz::decode_image(data, size); }
