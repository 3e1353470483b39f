// handle!: an opaque operating-system handle with a class tag. The language
// only shows, compares and passes it on; OS services make them.
//
// Cell: {header (type 46), the class, the handle value (32 bits), -1}.
#pragma once

#include <cstdint>

#include "foundation/cell.h"

namespace zel::handle {

// Classes, named by mold/all.
enum Class : uint32_t {
    CLASS_NONE = 0,
    CLASS_FD = 1,
    CLASS_MONITOR = 2,
    CLASS_WINDOW = 3,
    CLASS_FONT = 4,
    CLASS_RICH_TEXT = 5,
};

inline int32_t get(const Cell* c) { return int32_t(c->data2); }
inline uint32_t class_of(const Cell* c) { return c->data1; }

Cell* make_at(Cell* cell, int32_t value, uint32_t cls);
// The first argument cell becomes the handle.
Cell* box(int32_t value, uint32_t cls);
Cell* push(int32_t value, uint32_t cls);
// Value 0, class 0: what the global word null-handle holds.
Cell* push_null();
Cell* make_in(Cell* block, int32_t value, uint32_t cls);

void init();

}  // namespace zel::handle
