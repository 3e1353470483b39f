// Reading the definition records of the boot sources.
#include "boot/records.h"

#include "core/context.h"
#include "core/dispatch.h"
#include "core/error.h"
#include "core/simple_types.h"
#include "core/stack.h"
#include "lexer/lexer.h"
#include "series/block.h"

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

void make_records(const Cell* source, Define define, void* context) {
    stack::TopScope scope;
    Cell* kept = stack::push(source);
    int32_t n = block::length_q(kept);
    for (int32_t i = body_start(kept); i < n; i += 4) {
        if (i + 3 >= n) bad_record(kept, i);
        const Cell* cells = cells_of(kept);
        Cell word = cells[i], type = *context::get(cells + i + 2), arg = cells[i + 3];
        if (type_of(&arg) == TYPE_GET_WORD) arg = *context::get(&arg);
        if (type_of(&word) != TYPE_SET_WORD || type_of(&type) != TYPE_DATATYPE) bad_record(kept, i);
        Cell* value = stack::push(&none::g_none);
        actions::make(value, &type, &arg);
        define(context, &word, value);
        stack::pop(1);
    }
}

void make_operators(const Cell* source, Define define, void* context) {
    stack::TopScope scope;
    Cell* kept = stack::push(source);
    int32_t n = block::length_q(kept);
    for (int32_t i = body_start(kept); i < n; i += 2) {
        if (i + 1 >= n) bad_record(kept, i);
        const Cell* cells = cells_of(kept);
        Cell word = cells[i], target = *context::get(cells + i + 1), type;
        cell::set(&type, TYPE_DATATYPE, TYPE_OP);
        Cell* value = stack::push(&none::g_none);
        actions::make(value, &type, &target);
        define(context, &word, value);
        stack::pop(1);
    }
}

}  // namespace zel::boot
