// Typed arrays: growable arrays of fixed-width items (bytes or 32-bit
// words) kept in a garbage-collected byte series, reached through its node.
//
// The series' unit field holds the item width (1 or 4); items lie from the
// series offset to its tail. Items are addressed with 1-based indexes or with
// byte offsets from the first item. The index operations do no bound checks:
// callers pass indexes between 1 and the length.
//
// The hash tables keep their bucket arrays and chains in these; the terminal
// back-end keeps its lists of widgets and handles in them.
//
// Relies on: memory (series buffers and tail reservation).
#pragma once

#include <cstdint>

#include "foundation/memory.h"

namespace zel::typed_array {

// A new array with room for `count` items of `width` bytes.
Node make(int32_t count, int width);
int32_t length_q(Node array);
void clear(Node array);
// Keeps n - 1 items: the tail stands at 1-based position n.
void truncate(Node array, int32_t n);
Node copy(Node array);
// The buffer's flags word, the width in its low 5 bits.
uint32_t get_flags(Node array);

void append_byte(Node array, uint8_t byte);
void append_bytes(Node array, const void* source, int32_t n);
uint8_t pick_byte(Node array, int32_t index);

void append_ptr(Node array, uint32_t value);
// Opens room at the 0-based index and stores the value there.
void insert_ptr(Node array, int32_t index, uint32_t value);
// Byte offset of the first item equal to the value, or -1.
int32_t find_ptr(Node array, uint32_t value);
uint32_t pick_ptr(Node array, int32_t index);
void poke_ptr(Node array, int32_t index, uint32_t value);

// Removes n bytes at a byte offset, moving the rest down.
void remove_at(Node array, int32_t offset, int32_t n);
// Removes the first item equal to the value; answers its byte offset, or -1
// (and changes nothing) when absent.
int32_t remove_ptr(Node array, uint32_t value);

// The first item, as 32-bit words; valid until the next allocation.
inline uint32_t* words(Node array) {
    return reinterpret_cast<uint32_t*>(memory::series_of(array)->head());
}

}  // namespace zel::typed_array
