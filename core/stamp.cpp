// Change stamps: the global counter and, in sanitizer builds, the checking
// mode that catches a writer of a block's cells that did not touch it.
#include "core/stamp.h"

#ifdef ZEL_SANITIZE
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>

#include "core/dispatch.h"
#include "core/collector.h"
#include "series/string.h"
#include "series/unicode.h"
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

[[noreturn]] void missed_touch(const Cell* block) {
    std::string text;
    try {
        Cell value = *block;
        value.data1 = 0;
        Cell buffer{TYPE_NONE, 0, 0, 0};
        collector::set_active(false);  // about to stop: nothing may move now
        string::make_at(&buffer, 64);
        actions::mold(&value, &buffer, false, false, false, 60, 0);
        int limit = -1;
        char* p = unicode::to_utf8(&buffer, limit);
        text.assign(p, size_t(limit));
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
