// Libraries opened at their first use with dlopen instead of being linked:
// each linked library costs every start-up its loading and relocation,
// which the programs that never read a URL, a digest or an image should
// not pay.
//
// A library's functions are gathered in a table; open_once opens the
// library and fills the table at the first call and answers it, or null,
// then and ever after, when the library or one of its functions is
// missing (or `opened`, run once on the filled table, answers false).
#pragma once

#include <dlfcn.h>

namespace zel::dynamic_library {

template <typename F>
bool find(void* library, const char* name, F& f) {
    f = reinterpret_cast<F>(dlsym(library, name));
    return f != nullptr;
}

template <typename Table>
const Table* open_once(const char* soname, bool (*fill)(void* library, Table& table),
                       bool (*opened)(Table& table) = nullptr) {
    static bool tried = false;
    static Table table;
    static const Table* found = nullptr;
    if (tried) return found;
    tried = true;
    void* library = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    if (!library || !fill(library, table)) return nullptr;
    if (opened && !opened(table)) return nullptr;
    found = &table;
    return found;
}

}  // namespace zel::dynamic_library
