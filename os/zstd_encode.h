// zstd (RFC 8878) encoding: one frame per call, levels 1 to 19, nothing
// kept between calls. The frame and entropy stages (zstd_encode.cpp and
// its neighbours) and the match finders meet here: a finder turns a block
// into sequences, the entropy stage writes them.
//
// Relies on: the workers' codec protocol, the shared code-length builder.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zel::zstd::enc {

// One row of the level table.
struct Params {
    uint8_t window_log;
    uint8_t chain_log;
    uint8_t hash_log;
    uint8_t search_log;
    uint8_t min_match;
    uint8_t strategy;       // 0 double fast, 1 greedy, 2 lazy, 3 lazy2, 4 binary tree, 5-7 optimal
    uint32_t target_length; // optimal strategies only
};

// One sequence as the decoder reads it: `lit_len` literals, then
// `match_len` bytes copied from the offset named by `off_value` (RFC 8878
// section 3.1.1.5: 1 to 3 are repeat offsets, read with the lit_len == 0
// shift; above 3 the offset is off_value - 3).
struct Sequence {
    uint32_t lit_len;
    uint32_t off_value;
    uint32_t match_len;
};

// The decoder's three repeat offsets; they run on across blocks.
struct Reps {
    uint32_t rep[3] = {1, 4, 8};
};

// The actual offset a sequence names, updating `reps` as the decoder does.
uint32_t resolve_offset(Reps& reps, uint32_t off_value, uint32_t lit_len);

// The off_value that names `offset` given `reps` and the sequence's
// literal count, updating `reps` as the decoder will (the inverse of
// resolve_offset).
uint32_t encode_offset(Reps& reps, uint32_t offset, uint32_t lit_len);

// A block's sequences and literals. Literals are stored in order; those
// after the last sequence are the block's trailing literals.
struct SeqStore {
    Sequence* seqs = nullptr;
    size_t count = 0;
    size_t capacity = 0;
    uint8_t* literals = nullptr;
    size_t lit_count = 0;
};

// Match-finder state for one call: the tables live in the call's one work
// area (sized by the frame stage from the level row and the input size).
struct MatchState {
    Params p;
    const uint8_t* base = nullptr;  // the whole input; positions are offsets into it
    size_t size = 0;                // the input's length
    uint32_t* hash_table = nullptr; // 2^hash_log entries
    uint32_t* chain_table = nullptr;// 2^chain_log entries
    uint32_t* hash3_table = nullptr;// 2^hash3_log entries, or null
    uint8_t hash3_log = 0;
    size_t next_to_update = 0;      // first position not yet entered in the tables
    // Scratch for the binary-tree and optimal finders (E and the optimal
    // parser's records), and the statistics that run on across blocks.
    uint8_t* extra = nullptr;
    size_t extra_size = 0;
    void* opt = nullptr;
};

// A match finder: parses [block_start, block_end) of ms.base (earlier bytes
// within the window are history), appending sequences and literals to `out`
// and updating `reps` as the decoder will.
using MatchFinder = void (*)(MatchState& ms, size_t block_start, size_t block_end, Reps& reps, SeqStore& out);

MatchFinder finder_for(int strategy);

// The entropy stage's size of a compressed block holding `n` sequences
// from `seqs` and `n_lits` literals (0 when it would not fit in `block_len`
// - block_len / 64 - 3 bytes): the block splitter's measure.
size_t compressed_size(const Sequence* seqs, size_t n, const uint8_t* lits, size_t n_lits, size_t block_len,
                       uint8_t* scratch, size_t scratch_cap);

// The scratch bytes compressed_size needs for `n` sequences and a block of
// `block_len` bytes: the entropy stage's tables, its codes and its output.
size_t compressed_size_scratch(size_t n, size_t block_len);

}  // namespace zel::zstd::enc
