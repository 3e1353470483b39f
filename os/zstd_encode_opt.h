// zstd encoding: the binary-tree match finder (strategy 4, searched from
// the lazy parser) and the optimal parsers (strategies 5 to 7), which price
// every path over a stretch of the block and keep the cheapest.
//
// Their working records live in MatchState::extra, laid out as
//   candidates   2 x (2^search log + 4) words  (strategies 4 to 7)
//   path nodes   4,098 x 8 words, statistics 385 words  (5 to 7)
//   offsets      a word per sequence  (with the block splitter)
// so the frame stage's work area holds them without a second allocation.
//
// Relies on: the match finders' interface (zstd_encode.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "os/zstd_encode.h"

namespace zel::zstd::enc {

// A match a finder found: `len` bytes at distance `off`.
struct MatchCandidate {
    uint32_t len;
    uint32_t off;
};

// Words of MatchState::extra the tree and optimal finders use.
size_t tree_extra_words(const Params& p);

// The block splitter's words in MatchState::extra.
inline uint32_t* split_offsets(MatchState& ms) {
    return reinterpret_cast<uint32_t*>(ms.extra) + tree_extra_words(ms.p);
}

// Enters every position from ms.next_to_update up to `pos` in the tree,
// then `pos` itself, and writes to `out` the matches met on the way down
// whose length (counted up to `end`) exceeds all before it: at most
// 2^search log of them, shortest first. A position already entered is only
// searched. Returns how many were written.
size_t tree_matches(MatchState& ms, size_t pos, size_t end, MatchCandidate* out);

// The lazy parser's search over the tree: the best of tree_matches by the
// length gained against the offset's extra bits. Returns its length (0 when
// shorter than 4 bytes) and its offset + 3 in *off_code.
size_t tree_best_match(MatchState& ms, size_t pos, size_t end, uint32_t* off_code);

// The tree as the lazy parser's searcher: the best match at `ip` within
// the block ending at `end`, its length (0 for none) and offset.
struct TreeSearch {
    MatchState& ms;
    size_t end;
    size_t search(size_t ip, uint32_t& offset) {
        uint32_t code = 0;
        size_t len = tree_best_match(ms, ip, end, &code);
        if (len) offset = code - 3;
        return len;
    }
};

// The optimal parsers: strategy 5 (whole-bit prices), 6 (fractional
// prices) and 7 (as 6, the frame's first block parsed twice). Statistics
// run on across the blocks of a call through ms.opt (null at the start).
void parse_optimal(MatchState& ms, size_t block_start, size_t block_end, Reps& reps, SeqStore& out);

}  // namespace zel::zstd::enc
