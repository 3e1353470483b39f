// What a value's cell holds, read and set by name. Tests that are not about
// the cell layout go through these (or through the run-time's own
// accessors), so that a change of layout is mended here and in the tests of
// the layout, not across every test.
#pragma once

#include <cstdint>

#include "foundation/cell.h"
#include "foundation/memory.h"

namespace zel::test {

// ---- Words: the context bound to, the symbol, the index in the context -----------------

// The context node a word is bound to; 0 when unbound.
inline Node binding_of(const Cell& word) { return word.data1; }
inline uint32_t symbol_of(const Cell& word) { return word.data2; }
// The index of the word's value in its context; -1 when not known.
inline int32_t slot_of(const Cell& word) { return int32_t(word.data3); }

// The word bound to the context (or unbound, with 0) at the index.
inline Cell bound_to(Cell word, Node ctx, int32_t slot) {
    word.data1 = ctx;
    word.data3 = uint32_t(slot);
    return word;
}

// ---- Series: the head index and the buffer's node ---------------------------------------

// The head as stored, not brought back within the tail.
inline int32_t head_of(const Cell& series) { return int32_t(series.data1); }
inline Node node_of(const Cell& series) { return series.data2; }

// The same series at another head.
inline Cell at_head(Cell series, int head) {
    series.data1 = uint32_t(head);
    return series;
}

// ---- Objects: the context is read through object::context_of ---------------------------

// The class id of an object! (or error!, port!), as object::set_class gives it.
inline int32_t class_of(const Cell& object) { return int32_t(object.data2); }

// ---- Functions -------------------------------------------------------------------------

// The context of a function!'s arguments and locals.
inline Node function_context_of(const Cell& function) { return function.data1; }

// ---- Scalars kept in a payload word -----------------------------------------------------

// The type a datatype! value names.
inline int type_named_by(const Cell& datatype) { return int(datatype.data1); }
inline bool logic_value(const Cell& logic) { return logic.data1 != 0; }

}  // namespace zel::test
