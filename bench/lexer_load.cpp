// Loading a whole source file: text to a block of values, in MB/s, best of
// five. The script beside this program compares it with Lua and Python
// compiling the same program written in their languages.
//
//   bench_lexer_load <file>
// Prints
//   load <MB/s> <values in the top block>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "boot/runtime.h"
#include "foundation/memory.h"
#include "interpreter/error.h"
#include "lexer/lexer.h"

using namespace zel;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_lexer_load <file>\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    runtime::init();
    double best = 1e30;
    uint32_t values = 0;
    for (int round = 0; round < 5; round++) {
        auto start = std::chrono::steady_clock::now();
        Cell block;
        try {
            lexer::scan(&block, reinterpret_cast<const uint8_t*>(text.data()), int64_t(text.size()), 0);
        } catch (const ErrorThrow& e) {
            std::fprintf(stderr, "the file does not load: %s/%s\n", e.category_name(), e.id_name());
            return 1;
        }
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        values = memory::series_of(block.data2)->used() / uint32_t(sizeof(Cell));
    }
    std::printf("load %.1f %u\n", double(text.size()) / 1e6 / best, values);
    return 0;
}
