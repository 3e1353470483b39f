// Reading the definition records of the boot sources.
#include "boot/records.h"

#include "foundation/collector.h"
#include "foundation/raise.h"
#include "foundation/stack.h"
#include "interpreter/dispatch.h"
#include "lexer/lexer.h"
#include "scalars/simple_types.h"
#include "series/block.h"
#include "words/context.h"

namespace zel::boot {

namespace {

const Cell* cells_of(const Cell* block) { return memory::series_of(block->data2)->cells(); }

[[noreturn]] void bad_record(const Cell* source, int32_t i) {
    Cell item = cells_of(source)[i];
    fire(ERR_script_invalid_arg, &item);
}

}  // namespace

Cell load_source(const std::string& text) {
    Cell block;
    lexer::scan(&block, reinterpret_cast<const uint8_t*>(text.data()), int64_t(text.size()), 0);
    return block;
}

int32_t body_start(const Cell* source) {
    const Cell* cells = cells_of(source);
    return block::length_q(source) >= 2 && type_of(cells) == TYPE_WORD && type_of(cells + 1) == TYPE_BLOCK ? 2 : 0;
}

namespace {

// Each group of `size` cells after the header: `make` makes the value of
// the group at i into `value`, which the group's first cell defines.
template <typename Make>
void each_group(const Cell* source, int32_t size, Define define, void* context, Make make) {
    stack::TopScope scope;
    Cell* kept = stack::push(source);
    int32_t n = block::length_q(kept);
    for (int32_t i = body_start(kept); i < n; i += size) {
        if (i + size > n) bad_record(kept, i);
        Cell* value = stack::push(&none::g_none);
        make(cells_of(kept) + i, value);
        Cell word = cells_of(kept)[i];
        define(context, &word, value);
        stack::pop(1);
    }
}

}  // namespace

void make_records(const Cell* source, Define define, void* context) {
    each_group(source, 4, define, context, [&](const Cell* group, Cell* value) {
        // make builds the value in its type cell, allocating as it goes.
        Cell type = *context::get(group + 2), arg = group[3];
        gc::root keep_type(&type), keep_arg(&arg);
        if (type_of(&arg) == TYPE_GET_WORD) arg = *context::get(&arg);
        if (type_of(group) != TYPE_SET_WORD || type_of(&type) != TYPE_DATATYPE) fire(ERR_script_invalid_arg, group);
        dispatch::make(value, &type, &arg);
    });
}

}  // namespace zel::boot
