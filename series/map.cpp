// map! construction.
#include "series/map.h"

#include "core/memory.h"
#include "series/hash_table.h"

namespace zel::map {

namespace {

constexpr int VALID_KEYS[] = {
    TYPE_STRING, TYPE_FILE,    TYPE_URL,   TYPE_CHAR,    TYPE_INTEGER,   TYPE_FLOAT,
    TYPE_WORD,   TYPE_SET_WORD, TYPE_LIT_WORD, TYPE_GET_WORD, TYPE_REFINEMENT, TYPE_ISSUE,
    TYPE_PAIR,   TYPE_PERCENT, TYPE_TUPLE, TYPE_BINARY,  TYPE_TIME,      TYPE_TAG,
    TYPE_EMAIL,  TYPE_DATE,    TYPE_MONEY, TYPE_REF,     TYPE_POINT2D,   TYPE_POINT3D,
};

}  // namespace

Cell* make_at(Cell* cell, const Cell* block, int capacity) {
    Cell keys;
    if (block) {
        keys = *block;
    } else {
        cell::set(&keys, TYPE_BLOCK, 0, memory::alloc_cells(capacity > 0 ? capacity : 1));
    }
    int32_t pairs = int32_t(memory::series_of(keys.data2)->used() / sizeof(Cell)) / 2;
    Node table = hash_table::init(pairs > capacity / 2 ? pairs : capacity / 2, &keys,
                                  hash_table::KIND_MAP, 0);
    uint32_t flags = cell->header & ~HEADER_TYPE_MASK;
    cell::set(cell, TYPE_MAP, keys.data1, keys.data2, table);
    cell->header |= flags;
    return cell;
}

bool valid_key_q(int type) {
    for (int t : VALID_KEYS)
        if (t == type) return true;
    return false;
}

}  // namespace zel::map
