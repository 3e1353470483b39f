// hash!: making, conversion, molding and copying, and the type's row:
// everything else a block does, except what the row refuses.
//
// Cell: {header (type 36), head index, node of the cell block, node of the
// kind-0 table over every cell of the block}.
#include "series/hash.h"

#include <algorithm>

#include "foundation/datatype.h"
#include "foundation/stack.h"
#include "series/block.h"
#include "series/block_cells.h"
#include "series/hash_table.h"
#include "series/string.h"

namespace zel::hash {

namespace {

// The block in `result` (at its first cell) becomes a hash! indexing it,
// the table sized for `size` cells.
Cell* index_block(Cell* result, int64_t size) {
    Node table = hash_table::init(int32_t(size), result, hash_table::KIND_HASH, 1);
    cell::set(result, TYPE_HASH, 0, result->data2, table);
    return result;
}

int64_t cells_of(const Cell* block) { return block::total_of(block); }

}  // namespace

Cell* make(Cell* proto, Cell* spec, int type) {
    switch (type_of(spec)) {
        case TYPE_INTEGER:
        case TYPE_FLOAT: {
            int32_t room = std::max(cell::number_to_int(spec), 1);
            block::make_at(proto, room);
            return index_block(proto, room);
        }
        case TYPE_BLOCK: {
            *proto = *block::clone(spec, false, false);
            stack::pop(1);
            return index_block(proto, cells_of(proto));
        }
        case TYPE_HASH: return copy(spec, proto, nullptr, false, nullptr);
        default: return to(proto, spec, type);
    }
}

Cell* to(Cell* proto, Cell* spec, int) {
    if (type_of(spec) == TYPE_HASH) return copy(spec, proto, nullptr, false, nullptr);
    Cell value = *spec;
    block::to(proto, &value, TYPE_BLOCK);
    return index_block(proto, cells_of(proto));
}

int mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, int part, int indent) {
    if (!only) {
        string::append_c_string(buffer, "make hash! ");
        part -= 11;
    }
    return block::mold(value, buffer, only, all, flat, part, indent);
}

Cell* copy(Cell* value, Cell* result, Cell* part, bool deep, Cell* types) {
    Cell source = *value;
    block::copy(&source, result, part, deep, types);
    bool whole = int32_t(source.data1) == 0 && !part && !deep && !types;
    Node table = whole ? hash_table::copy(source.data3, result->data2)
                       : hash_table::init(int32_t(cells_of(result)), result, hash_table::KIND_HASH, 1);
    result->data3 = table;
    cell::set_type(result, TYPE_HASH);
    return result;
}

void init() {
    datatype::TypeRecord r(TYPE_HASH, TYPE_BLOCK, "hash!", true);
    r.set<ACT_MAKE>(make).set<ACT_TO>(to).set<ACT_MOLD>(mold).set<ACT_COPY>(copy);
    r.unsupported(ACT_RANDOM).unsupported(ACT_SET_PATH);
    for (int action = ACT_ABSOLUTE; action <= ACT_XOR_T; action++) r.unsupported(action);
    for (int action : {ACT_CREATE, ACT_CLOSE, ACT_DELETE}) r.unsupported(action);
    for (int action = ACT_OPEN; action <= ACT_WRITE; action++) r.unsupported(action);
    datatype::register_type(r);
}

}  // namespace zel::hash
