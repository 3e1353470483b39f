// Value cells: the 16-byte record every Zel value lives in.
//
// A cell is a 32-bit header (type id in the low byte, flags above) and
// three 32-bit payload words whose meaning depends on the type. A double
// sits in payload words 2-3, at offset 8, so it is naturally aligned.
// Cells never hold machine addresses: series are reached through 32-bit
// node ids (see memory.h), so cells can be copied by value anywhere.
#pragma once

#include <cstdint>
#include <cstring>

namespace zel {

// Datatype ids. Parents come from the registry (datatype.h); the numbers
// are stored in cells, in saved binary data and in the boot image, so they
// never change.
enum TypeId : int {
    TYPE_NONE_ID = 0,  // no type: the empty slot of the registry
    TYPE_DATATYPE = 1,
    TYPE_UNSET = 2,
    TYPE_NONE = 3,
    TYPE_LOGIC = 4,
    TYPE_BLOCK = 5,
    TYPE_PAREN = 6,
    TYPE_STRING = 7,
    TYPE_FILE = 8,
    TYPE_URL = 9,
    TYPE_CHAR = 10,
    TYPE_INTEGER = 11,
    TYPE_FLOAT = 12,
    TYPE_SYMBOL = 13,
    TYPE_CONTEXT = 14,
    TYPE_WORD = 15,
    TYPE_SET_WORD = 16,
    TYPE_LIT_WORD = 17,
    TYPE_GET_WORD = 18,
    TYPE_REFINEMENT = 19,
    TYPE_ISSUE = 20,
    TYPE_NATIVE = 21,
    TYPE_ACTION = 22,
    TYPE_OP = 23,
    TYPE_FUNCTION = 24,
    TYPE_PATH = 25,
    TYPE_LIT_PATH = 26,
    TYPE_SET_PATH = 27,
    TYPE_GET_PATH = 28,
    TYPE_ROUTINE = 29,
    TYPE_BITSET = 30,
    TYPE_TRIPLE = 31,
    TYPE_OBJECT = 32,
    TYPE_TYPESET = 33,
    TYPE_ERROR = 34,
    TYPE_VECTOR = 35,
    TYPE_HASH = 36,
    TYPE_PAIR = 37,
    TYPE_PERCENT = 38,
    TYPE_TUPLE = 39,
    TYPE_MAP = 40,
    TYPE_BINARY = 41,
    TYPE_SERIES = 42,
    TYPE_TIME = 43,
    TYPE_TAG = 44,
    TYPE_EMAIL = 45,
    TYPE_HANDLE = 46,
    TYPE_DATE = 47,
    TYPE_PORT = 48,
    TYPE_MONEY = 49,
    TYPE_REF = 50,
    TYPE_POINT2D = 51,
    TYPE_POINT3D = 52,
    TYPE_IMAGE = 53,
    TYPE_EVENT = 54,
};

// Rows of the registry: ids 0..56 (55 and 56 are spare rows).
constexpr int TYPE_ROWS = 57;
constexpr int TYPE_LAST = TYPE_EVENT;

// Header flags shared across the run-time.
constexpr uint32_t HEADER_TYPE_MASK = 0xFF;
constexpr uint32_t FLAG_NEW_LINE = 0x40000000;   // a line break precedes the value in a block
constexpr uint32_t FLAG_CTX_ON_STACK = 0x00400000;  // context values live on the argument stack
constexpr uint32_t FLAG_FIELD_CHANGED = 0x00002000;  // object field set since last cleared
constexpr uint32_t FLAG_EVENT_BLOCK = 0x00001000;    // event! payload 2 holds a block node

struct alignas(16) Cell {
    uint32_t header;
    uint32_t data1;
    uint32_t data2;
    uint32_t data3;
};
static_assert(sizeof(Cell) == 16, "a cell is four 32-bit words");

inline int type_of(const Cell* c) { return int(c->header & HEADER_TYPE_MASK); }

namespace cell {

// Replaces the type id, keeping the flags.
inline void set_type(Cell* c, int type) {
    c->header = (c->header & ~HEADER_TYPE_MASK) | uint32_t(type);
}
inline void clear_new_line(Cell* c) { c->header &= ~FLAG_NEW_LINE; }
inline bool new_line(const Cell* c) { return (c->header & FLAG_NEW_LINE) != 0; }

inline void set(Cell* c, int type, uint32_t d1 = 0, uint32_t d2 = 0, uint32_t d3 = 0) {
    c->header = uint32_t(type);
    c->data1 = d1;
    c->data2 = d2;
    c->data3 = d3;
}

inline double get_float(const Cell* c) {
    double d;
    std::memcpy(&d, &c->data2, sizeof d);
    return d;
}
inline void put_float(Cell* c, double d) { std::memcpy(&c->data2, &d, sizeof d); }

inline int32_t get_int(const Cell* c) { return int32_t(c->data2); }

// Whether the double, truncated toward zero, fits the 32-bit payload of an
// integer!: false for NaN and the infinities too.
inline bool fits_int32(double d) { return d >= -2147483648.0 && d <= 2147483647.0; }

}  // namespace cell

// Copies the four words unless source and destination are the same cell.
inline Cell* copy_cell(const Cell* src, Cell* dst) {
    if (src != dst) *dst = *src;
    return dst;
}

// Cells of blocks and shared helpers (cell.cpp).
namespace cell {

// Appends a cell to a block (payload 1 head index, payload 2 node): the
// buffer doubles when full; the new cell is unset!, its payload words left
// as they were. Answers the new cell, valid until the next allocation.
Cell* alloc_tail(const Cell* block);
Cell* alloc_tail_in_buffer(uint32_t node);

// The 32-bit value of an integer!, or a float! truncated toward zero; a float
// out of the 32-bit range, or NaN, raises script out-of-range.
int32_t number_to_int(const Cell* c);

// Cycle detection for deep walks (mold, form, compare, copy): the nodes of
// the series and object contexts the walk is inside.
constexpr int CYCLE_DEPTH = 1000;
void cycle_push(uint32_t node);
void cycle_pop();
void cycle_pop_n(int n);
void cycle_reset();
bool cycle_find(uint32_t node);
int cycle_depth();
// The node a value is walked by: the context of an object, the series node
// otherwise.
uint32_t cycle_node(const Cell* value);

// Keeps the cycle-detection stack as deep as it was, also when an error
// passes through a walk.
class CycleScope {
public:
    CycleScope() : depth_(cycle_depth()) {}
    ~CycleScope() {
        int now = cycle_depth();
        if (now > depth_) cycle_pop_n(now - depth_);
    }
    CycleScope(const CycleScope&) = delete;
    CycleScope& operator=(const CycleScope&) = delete;

private:
    int depth_;
};

}  // namespace cell

}  // namespace zel
