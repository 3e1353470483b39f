// Values for tests of words, contexts and typesets: blocks of cells, words
// of any type by name, integers and datatypes, and the text a form or mold
// handler wrote.
#pragma once

#include <climits>
#include <string>
#include <vector>

#include "foundation/cell.h"
#include "foundation/memory.h"
#include "foundation/stack.h"
#include "series/string.h"
#include "tests/support/fields.h"
#include "tests/support/text.h"
#include "words/word.h"

namespace zel::test {

inline Cell integer(int32_t v) {
    Cell c;
    cell::set(&c, TYPE_INTEGER, 0, uint32_t(v));
    return c;
}

inline Cell datatype_of(int type) {
    Cell c;
    cell::set(&c, TYPE_DATATYPE, uint32_t(type));
    return c;
}

// A block! (or another block type) holding copies of the cells. Test
// programs hold many test files: a helper is defined once, here.
inline Cell block_of(const std::vector<Cell>& items, int type = TYPE_BLOCK) {
    Cell b;
    cell::set(&b, type, 0, memory::alloc_cells(int64_t(items.size()) + 1));
    for (const Cell& item : items) *cell::alloc_tail(&b) = item;
    return b;
}

// The same block! at a later head.
inline Cell block_at(const std::vector<Cell>& items, int head) {
    return at_head(block_of(items), head);
}

inline Cell pair_cell(int32_t x, int32_t y) {
    Cell c;
    cell::set(&c, TYPE_PAIR, 0, uint32_t(x), uint32_t(y));
    return c;
}

// The cells of a block from its first (not from its head), and their number.
inline Cell* cells_of(const Cell& block) { return memory::series_of(node_of(block))->cells(); }
inline int total_cells(const Cell& block) { return int(memory::series_of(node_of(block))->used() / sizeof(Cell)); }

// A word of the name bound in the global context, retyped.
inline Cell word_named(const char* name, int type = TYPE_WORD) {
    Cell w = word::load(name);
    cell::set_type(&w, type);
    return w;
}

// An empty string! to form or mold into, and what was written.
inline Cell buffer() {
    Cell b;
    string::make_at(&b, 16);
    return b;
}

template <typename Handler, typename... Args>
std::string text_written(Handler handler, Cell value, Args... args) {
    Cell out = buffer();
    handler(&value, &out, args...);
    return utf8_of(out);
}

// Runs a handler that reads its arguments from the argument stack: the cells
// are pushed as a call's arguments; answers a copy of the result cell. The
// stack is as it was afterwards, also when the handler raises.
template <typename Body>
Cell call_with(std::initializer_list<Cell> arguments, Body body) {
    struct Restore {
        Cell* arguments = stack::g_arguments;
        Cell* top = stack::g_top;
        ~Restore() {
            stack::g_arguments = arguments;
            stack::g_top = top;
        }
    } restore;
    stack::g_arguments = stack::g_top;
    for (const Cell& c : arguments) stack::push(&c);
    return *body();
}

}  // namespace zel::test
