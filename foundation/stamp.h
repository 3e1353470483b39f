// Change stamps of series: a 32-bit number in each series header that
// changes whenever the series' contents may have changed, so that anything
// derived from a block's cells (a pre-decoded plan of its code) can tell
// whether it still holds by comparing one number.
//
// A global counter hands out stamps: a new buffer (a new series, or the
// buffer that replaces one on expansion) takes a fresh one, and every C++
// writer of the cells of a block-like series (block!, paren!, the paths,
// hash!) calls `touch` after (or while) it writes. Reads never touch. The
// collector's compaction moves whole headers, so a stamp travels with its
// series; a stamp never goes back to a value seen before for that series.
//
// Stamps are never 0 (0 can mean "no plan"). The counter wraps after 2^32
// stamps; the wrap skips 0 and counts itself in g_stamp_wraps, so that a
// cache that must not mistake an old stamp for a new one after a wrap can
// drop everything it holds when that count changes.
//
// The checking mode (sanitizer builds only, environment variable
// ZEL_STAMP_CHECK=1 read at the first check): at every entry of the
// evaluator into a block, `check_entry` records the block's stamp and a
// checksum of its cells and used length, keyed by its node; entering it again
// with the same stamp but another checksum means a writer forgot to touch
// it, and the program stops at once naming the block. The side table keeps
// no series alive; an entry whose stamp differs (the series changed, or its
// node was freed and reused by a new series, which has a fresh stamp) is
// simply replaced.
#pragma once

#include <cstdint>

#include "foundation/cell.h"
#include "foundation/memory.h"

namespace zel::memory {

extern uint32_t g_stamp;        // the last stamp handed out
extern uint32_t g_stamp_wraps;  // times the counter wrapped

// Out of line, reached once per 2^32 stamps: counts the wrap, answers 1.
uint32_t stamp_wrapped();

inline uint32_t next_stamp() {
    uint32_t v = ++g_stamp;
    if (v == 0) [[unlikely]]
        v = stamp_wrapped();
    return v;
}

// The series' cells (or length) changed: a new stamp.
inline void touch(Series* s) { s->stamp = next_stamp(); }
inline void touch(Node n) { touch(series_of(n)); }
// The series of a series value (its node in data2).
inline void touch(const Cell* series) { touch(series_of(series->data2)); }

inline uint32_t stamp_of(Node n) { return series_of(n)->stamp; }

}  // namespace zel::memory

namespace zel::stamp {

#ifdef ZEL_SANITIZE
// Switches the checking mode (the environment variable sets it at the
// first check); forgets every recorded entry.
void set_check(bool on);
bool checking();
// The evaluator enters the block: records or compares (see above).
void check_entry(const Cell* block);
#else
inline void check_entry(const Cell*) {}
#endif

}  // namespace zel::stamp
