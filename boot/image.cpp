// The boot image in its text form: loading the sources, the word-with-value
// records, the library-code flag, and running a loaded block.
#include "boot/image.h"

#include <cstdlib>
#include <vector>

#include "core/context.h"
#include "core/dispatch.h"
#include "core/error.h"
#include "core/eval.h"
#include "core/frames.h"
#include "core/memory.h"
#include "core/platform.h"
#include "core/root.h"
#include "core/stack.h"
#include "core/symbol.h"
#include "core/word.h"
#include "lexer/lexer.h"
#include "series/block.h"
#include "series/series.h"

namespace zel::boot::image {

namespace {

constexpr int HEADER_CELLS = 2;

Cell* cells_of(const Cell* block) { return memory::series_of(block->data2)->cells(); }
int32_t total_of(const Cell* block) { return int32_t(memory::series_of(block->data2)->used() / sizeof(Cell)); }

bool has_header(const Cell* block) {
    if (total_of(block) < HEADER_CELLS) return false;
    const Cell* c = cells_of(block);
    if (type_of(c) != TYPE_WORD || type_of(c + 1) != TYPE_BLOCK) return false;
    return symbol::resolve(c->data2) == symbol::resolve(symbol::make("Zel"));
}

// The datatype words: the names of the types in id order.
void define_datatype_words(Sources sources) {
    Cell code = load(sources, DATATYPES);
    int32_t head = int32_t(code.data1);
    if (total_of(&code) - head != TYPE_LAST) fail(DATATYPES);
    for (int t = 1; t <= TYPE_LAST; t++) {
        Cell word = cells_of(&code)[head + t - 1];
        if (type_of(&word) != TYPE_WORD) fail(DATATYPES);
        Cell datatype;
        cell::set(&datatype, TYPE_DATATYPE, uint32_t(t));
        context::set(&word, &datatype);
    }
}

void define_records_of(Sources sources, const char* path) {
    Cell code = load(sources, path);
    int32_t n = total_of(&code);
    for (int32_t i = int32_t(code.data1); i < n; i += 4) {
        if (i + 3 >= n) fail(path);
        const Cell* cells = cells_of(&code);
        Cell word = cells[i], type = *context::get(cells + i + 2), arg = cells[i + 3];
        if (type_of(&word) != TYPE_SET_WORD || type_of(&type) != TYPE_DATATYPE) fail(path);
        if (type_of(&arg) == TYPE_GET_WORD) arg = *context::get(&arg);
        Cell value;
        actions::make(&value, &type, &arg);
        context::set(&word, &value);
    }
}

}  // namespace

// Records `word: make type! argument` (an argument that is a get-word
// stands for its value): each word gets the value made from its argument.
void define_records(Sources sources, const char* path) {
    try {
        define_records_of(sources, path);
    } catch (const ErrorThrow&) {
        fail(path);
    }
}

void fail(const char* path) {
    platform::print_line({"Error: Not a valid boot image: ", path});
    platform::restore_terminal();
    memory::heap_free_all();
    std::exit(BAD_IMAGE_STATUS);
}

void load_records(Sources sources) {
    const char* path = DATATYPES;
    try {
        define_datatype_words(sources);
        path = NATIVES;
        define_records_of(sources, path);
        path = ACTIONS;
        define_records_of(sources, path);
    } catch (const ErrorThrow&) {
        fail(path);
    }
}

Cell load(Sources sources, const char* path) {
    const Source* source = find_source(sources, path);
    if (!source) fail(path);
    Cell code;
    try {
        lexer::scan(&code, reinterpret_cast<const uint8_t*>(source->text), int64_t(source->size), 0);
    } catch (const ErrorThrow&) {
        fail(path);
    }
    if (type_of(&code) != TYPE_BLOCK || !has_header(&code)) fail(path);
    code.data1 = HEADER_CELLS;
    mark_library(&code);
    return *root::append(&code);
}

void mark_library(const Cell* block) {
    std::vector<Node> work{block->data2};
    while (!work.empty()) {
        Series* s = memory::series_of(work.back());
        work.pop_back();
        if (s->flags & SERIES_LIBRARY) continue;
        s->flags |= SERIES_LIBRARY;
        for (Cell* c = reinterpret_cast<Cell*>(s->data()); c < s->cell_tail(); c++)
            if (series::any_block(type_of(c))) work.push_back(c->data2);
    }
}

Cell run(const Cell& block) {
    Cell* at = stack::push(&block);
    if (stack::Exit e = interpreter::eval_block(at, true)) stack::raise_exit(e);
    Cell result = *stack::bottom();
    stack::g_arguments = stack::g_top = stack::g_bottom;
    return result;
}

}  // namespace zel::boot::image
