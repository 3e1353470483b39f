// zstd encoding: the block splitter of the optimal strategies. A block
// whose statistics change along the way costs less as several blocks, each
// with tables of its own; the splitter finds where by halving the block's
// sequences and measuring the halves through the entropy stage.
//
// Relies on: the match finders' interface (zstd_encode.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "os/zstd_encode.h"

namespace zel::zstd::enc {

constexpr size_t SPLIT_MIN_SEQUENCES = 300;  // a shorter range is never halved
constexpr size_t SPLIT_MAX_POINTS = 196;

// How the splitter learns the size of a candidate block: the compressed
// form of `part` (its off_values set) covering `part_len` bytes, 0 when it
// would not fit.
struct SplitMeasure {
    size_t (*size)(void* ctx, const SeqStore& part, size_t part_len);
    void* ctx;
};

// Chooses where the block in `st` (whose off_values were chosen against
// `reps`, the decoder's at the block's start) is cut. Every sequence's
// actual offset goes to `offsets` (room for st.count); the cuts (indices of
// the sequences that start a partition, ascending, at most
// SPLIT_MAX_POINTS) to `points`; returns their number. The off_values in
// `st` are left re-encoded for the measures: each partition's must be set
// by encode_partition before it is written.
size_t split_block(SeqStore& st, const Reps& reps, uint32_t* offsets, SplitMeasure measure,
                   uint32_t* points);

// Sets the off_values of `n` sequences from their actual offsets against
// `reps`, the repeat offsets the decoder holds at their start (updated).
void encode_partition(Sequence* seqs, const uint32_t* offsets, size_t n, Reps& reps);

}  // namespace zel::zstd::enc
