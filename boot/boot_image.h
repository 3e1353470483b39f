// The boot image embedded in zel: the compact Zelbin boot stream that
// zel-mkboot writes at build time from the library sources (see
// tools/mkboot.cpp for what it holds, in order). Defined by the generated
// source linked into zel and the tests (library zelboot), not by the
// run-time library, which the tool itself is linked with.
#pragma once

#include <cstdint>

namespace zel::boot_image {

extern const uint8_t g_image[];
extern const int64_t g_image_size;

}  // namespace zel::boot_image
