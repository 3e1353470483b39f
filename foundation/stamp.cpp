// Change stamps: the global counter and, in sanitizer builds, the checking
// mode that catches a writer of a block's cells that did not touch it. Its
// report molds the block through the datatype registry's handler, so it
// needs no module above the foundation.
#include "foundation/stamp.h"

#ifdef ZEL_SANITIZE
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>

#include "foundation/collector.h"
#include "foundation/datatype.h"
#include "foundation/utf8.h"
#endif

namespace zel::memory {

uint32_t g_stamp = 0;
uint32_t g_stamp_wraps = 0;

uint32_t stamp_wrapped() {
    g_stamp_wraps++;
    g_stamp = 1;
    return 1;
}

}  // namespace zel::memory

#ifdef ZEL_SANITIZE
namespace zel::stamp {
namespace {

struct Entry {
    uint32_t stamp;
    uint64_t sum;
};

int g_check = -1;  // -1: the environment not read yet
std::unordered_map<Node, Entry> g_seen;

// FNV-1a over the offset, the used length and every byte of the cells in use.
uint64_t checksum(Series* s) {
    uint64_t h = 1469598103934665603ull;
    auto mix = [&h](const uint8_t* p, size_t n) {
        for (size_t i = 0; i < n; i++) h = (h ^ p[i]) * 1099511628211ull;
    };
    uint32_t bounds[2] = {s->offset, s->used()};
    mix(reinterpret_cast<const uint8_t*>(bounds), sizeof bounds);
    mix(s->head(), s->used());
    return h;
}

// The block's mold, at most 60 characters, as UTF-8. The registry's mold
// handler writes into a string! made here: payload 2 its node, one byte a
// unit until a character needs a wider one (the handler widens it).
std::string molded(const Cell* block) {
    Cell value = *block;
    value.data1 = 0;
    auto mold = datatype::handler<ACT_MOLD>(type_of(&value));
    if (!mold) return "(not molded)";
    Cell buffer;
    cell::set(&buffer, TYPE_STRING, 0, memory::alloc_series(64, 1, 0), 0);
    mold(&value, &buffer, false, false, false, 60, 0);
    Series* s = memory::series_of(buffer.data2);
    int unit = s->unit();
    if (unit != 1 && unit != 2 && unit != 4) return "(not molded)";
    std::string text;
    uint8_t bytes[4];
    for (uint32_t at = s->offset; at < s->tail; at += uint32_t(unit)) {
        size_t n = utf8::encode(memory::unit_value(s->data() + at, unit), bytes);
        text.append(reinterpret_cast<const char*>(bytes), n);
    }
    return text;
}

[[noreturn]] void missed_touch(const Cell* block) {
    std::string text;
    try {
        collector::set_active(false);  // about to stop: nothing may move now
        text = molded(block);
    } catch (...) {
        text = "(not molded)";
    }
    if (text.size() > 60) text.resize(60);
    std::fprintf(stderr, "*** stamp check: block changed without a new stamp (node %u): %s\n", block->data2,
                 text.c_str());
    std::fflush(stderr);
    std::abort();
}

}  // namespace

void set_check(bool on) {
    g_check = on ? 1 : 0;
    g_seen.clear();
}

bool checking() {
    if (g_check < 0) {
        const char* text = std::getenv("ZEL_STAMP_CHECK");
        g_check = text && *text && std::strcmp(text, "0") != 0 ? 1 : 0;
    }
    return g_check == 1;
}

void check_entry(const Cell* block) {
    if (!checking()) return;
    Node node = block->data2;
    Series* s = memory::series_of(node);
    if (s->unit() != int(sizeof(Cell))) return;
    uint64_t sum = checksum(s);
    auto [it, fresh] = g_seen.try_emplace(node, Entry{s->stamp, sum});
    if (fresh) return;
    Entry& e = it->second;
    if (e.stamp == s->stamp && e.sum != sum) missed_touch(block);
    e = Entry{s->stamp, sum};
}

}  // namespace zel::stamp
#endif
