// The library's Zel sources as the build embeds them in the program: the
// text of every .zel file of the subsystem folders, under its path relative
// to the source tree ("boot/base/natives.zel"). This is the boot image in its
// text form: start-up loads the sources it names, in boot order, from here.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace zel::boot {

struct Source {
    const char* path;
    const char* text;  // NUL-terminated; `size` bytes before the NUL
    size_t size;
};

// Written by the build (tools/embed_sources.cmake).
extern const Source g_embedded_sources[];
extern const int g_embedded_count;

// A set of sources to boot from: the embedded ones, or another set (tests
// boot from a damaged one).
using Sources = std::span<const Source>;
inline Sources embedded_sources() { return Sources(g_embedded_sources, size_t(g_embedded_count)); }

// The source of a path, or null.
inline const Source* find_source(Sources sources, std::string_view path) {
    for (const Source& s : sources)
        if (path == s.path) return &s;
    return nullptr;
}

}  // namespace zel::boot
