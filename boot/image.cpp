// The boot image at start-up: its load into the root block, its library
// blocks, and running one.
#include "boot/image.h"

#include "boot/records.h"
#include "boot/zelbin/format.h"
#include "foundation/memory.h"
#include "foundation/platform.h"
#include "foundation/raise.h"
#include "foundation/root.h"
#include "foundation/stack.h"
#include "interpreter/eval.h"
#include "interpreter/exits.h"
#include "series/block.h"
#include "words/context.h"
#include "words/symbol.h"

namespace zel::boot::image {

namespace {

constexpr int HEADER_CELLS = 2;

// The image's own block, a sub-block of the root block (which the words
// start-up collects also grow), and the index of its first library block.
Cell g_blocks = {TYPE_NONE, 0, 0, 0};
int32_t g_first = -1;
int32_t g_count = 0;

Cell* cells_of(const Cell* block) { return memory::series_of(block->data2)->cells(); }
int32_t total_of(const Cell* block) { return int32_t(memory::series_of(block->data2)->used() / sizeof(Cell)); }

bool has_header(const Cell* block) {
    if (total_of(block) < HEADER_CELLS) return false;
    const Cell* c = cells_of(block);
    if (type_of(c) != TYPE_WORD || type_of(c + 1) != TYPE_BLOCK) return false;
    return symbol::resolve(c->data2) == symbol::resolve(symbol::make("Zel"));
}

void define_word(void*, const Cell* word, const Cell* value) {
    Cell w = *word;
    context::set(&w, value);
}

}  // namespace

void fail(const char* what) {
    platform::print_line({"Error: Not a valid boot image: ", what});
    platform::quit(BAD_IMAGE_STATUS);
}

void load(const uint8_t* data, int64_t size) {
    g_blocks = *block::make_in(&root::g_block, 64);
    try {
        g_first = zelbin::load_boot_image(data, size, &g_blocks);
    } catch (const ErrorThrow& e) {
        fail(e.id_name());
    }
    g_count = block::length_q(&g_blocks) - g_first;
}

int32_t block_count() { return g_count; }

Cell library_block(int32_t n, const char* source) {
    if (g_first < 0 || n >= g_count) fail(source);
    Cell code = memory::series_of(g_blocks.data2)->cells()[g_first + n];
    if (type_of(&code) != TYPE_BLOCK || !zelbin::library_code_q(code.data2) || !has_header(&code)) fail(source);
    code.data1 = HEADER_CELLS;
    return code;
}

void define_records(const Cell& block) {
    Cell records = block;
    records.data1 = 0;
    make_records(&records, define_word, nullptr);
}

Cell run(const Cell& block) {
    Cell* at = stack::push(&block);
    if (exits::Exit e = interpreter::eval_block(at, true)) exits::raise_exit(e);
    Cell result = *stack::bottom();
    stack::g_arguments = stack::g_top = stack::g_bottom;
    return result;
}

}  // namespace zel::boot::image
