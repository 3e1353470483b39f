// Typed arrays over byte series.
#include "series/typed_array.h"

#include <cstring>

namespace zel::typed_array {

namespace {

Series* buffer(Node array) { return memory::series_of(array); }

// Address of the 4-byte item at a 1-based index.
uint8_t* item_at(Node array, int32_t index) {
    return buffer(array)->head() + int64_t(index - 1) * 4;
}

}  // namespace

Node make(int32_t count, int width) { return memory::alloc_series(count, width, 0); }

int32_t length_q(Node array) {
    Series* s = buffer(array);
    return int32_t(s->used() / uint32_t(s->unit()));
}

void clear(Node array) {
    Series* s = buffer(array);
    s->tail = s->offset;
}

void truncate(Node array, int32_t n) {
    Series* s = buffer(array);
    s->tail = s->offset + uint32_t(n - 1) * uint32_t(s->unit());
}

Node copy(Node array) { return memory::copy_series(buffer(array)); }

uint32_t get_flags(Node array) { return buffer(array)->flags; }

void append_byte(Node array, uint8_t byte) {
    uint32_t at = memory::alloc_tail_bytes(array, 1);
    buffer(array)->data()[at] = byte;
}

void append_bytes(Node array, const void* source, int32_t n) {
    uint32_t at = memory::alloc_tail_bytes(array, n);
    if (n > 0) std::memcpy(buffer(array)->data() + at, source, size_t(n));
}

uint8_t pick_byte(Node array, int32_t index) { return buffer(array)->head()[index - 1]; }

void append_ptr(Node array, uint32_t value) {
    uint32_t at = memory::alloc_tail_bytes(array, 4);
    std::memcpy(buffer(array)->data() + at, &value, 4);
}

void insert_ptr(Node array, int32_t index, uint32_t value) {
    memory::alloc_tail_bytes(array, 4);  // doubles a full buffer
    Series* s = buffer(array);
    uint8_t* at = s->head() + int64_t(index) * 4;
    std::memmove(at + 4, at, size_t(s->tail_ptr() - 4 - at));
    std::memcpy(at, &value, 4);
}

int32_t find_ptr(Node array, uint32_t value) {
    Series* s = buffer(array);
    uint32_t n = s->used() / 4;
    const uint8_t* head = s->head();
    for (uint32_t i = 0; i < n; i++) {
        uint32_t item;
        std::memcpy(&item, head + i * 4, 4);
        if (item == value) return int32_t(i * 4);
    }
    return -1;
}

uint32_t pick_ptr(Node array, int32_t index) {
    uint32_t item;
    std::memcpy(&item, item_at(array, index), 4);
    return item;
}

void poke_ptr(Node array, int32_t index, uint32_t value) {
    std::memcpy(item_at(array, index), &value, 4);
}

void remove_at(Node array, int32_t offset, int32_t n) {
    Series* s = buffer(array);
    uint8_t* at = s->head() + offset;
    std::memmove(at, at + n, size_t(s->tail_ptr() - (at + n)));
    s->tail -= uint32_t(n);
}

int32_t remove_ptr(Node array, uint32_t value) {
    int32_t offset = find_ptr(array, value);
    if (offset >= 0) remove_at(array, offset, 4);
    return offset;
}

}  // namespace zel::typed_array
