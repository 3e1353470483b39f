// zstd encoding: the block splitter. A range of sequences is halved at its
// middle sequence; when the two halves as blocks of their own (each with
// its 3-byte header, stored when it would not compress) come out smaller
// than the range as one, the cut is kept and each half is examined the
// same way, the left one first.
#include "os/zstd_encode_split.h"

#include <algorithm>

namespace zel::zstd::enc {

namespace {

constexpr size_t BLOCK_HEADER = 3;

struct Splitter {
    SeqStore& st;
    const uint32_t* offsets;
    SplitMeasure measurer;
    uint32_t* points;
    size_t n_points = 0;

    // The size as a block of sequences [a, b), whose literals start at
    // `lit`: compressed when that fits, else stored. `reps` is advanced
    // past the range as the decoder will: a stored block leaves them as
    // they were, so what follows it is measured as it will be written.
    // *lits_out receives the range's literal count.
    size_t measure(size_t a, size_t b, size_t lit, Reps& reps, size_t* lits_out) {
        Sequence* s = st.seqs + a;
        const Reps at_start = reps;
        encode_partition(s, offsets + a, b - a, reps);
        size_t lits = 0, bytes = 0;
        for (size_t i = 0; i < b - a; i++)
            lits += s[i].lit_len, bytes += s[i].lit_len + s[i].match_len;
        *lits_out = lits;
        if (b == st.count) {  // the last range carries the trailing literals
            lits = st.lit_count - lit;
            bytes += lits - *lits_out;
        }
        SeqStore part{s, b - a, b - a, st.literals + lit, lits};
        size_t size = measurer.size(measurer.ctx, part, bytes);
        if (!size) reps = at_start;
        return BLOCK_HEADER + (size ? size : bytes);
    }

    void examine(size_t a, size_t b, size_t lit, const Reps& reps, size_t whole) {
        if (b - a < SPLIT_MIN_SEQUENCES || n_points >= SPLIT_MAX_POINTS) return;
        size_t mid = a + (b - a) / 2;
        Reps after_left = reps;
        size_t left_lits, right_lits;
        size_t left = measure(a, mid, lit, after_left, &left_lits);
        Reps after_right = after_left;
        size_t right = measure(mid, b, lit + left_lits, after_right, &right_lits);
        if (left + right >= whole) return;
        points[n_points++] = uint32_t(mid);
        examine(a, mid, lit, reps, left);
        examine(mid, b, lit + left_lits, after_left, right);
    }
};

}  // namespace

void encode_partition(Sequence* seqs, const uint32_t* offsets, size_t n, Reps& reps) {
    for (size_t i = 0; i < n; i++)
        seqs[i].off_value = encode_offset(reps, offsets[i], seqs[i].lit_len);
}

size_t split_block(SeqStore& st, const Reps& reps, uint32_t* offsets, SplitMeasure measure,
                   uint32_t* points) {
    Reps r = reps;
    for (size_t i = 0; i < st.count; i++)
        offsets[i] = resolve_offset(r, st.seqs[i].off_value, st.seqs[i].lit_len);
    if (st.count < SPLIT_MIN_SEQUENCES) return 0;
    Splitter sp{st, offsets, measure, points};
    r = reps;
    size_t lits;
    size_t whole = sp.measure(0, st.count, 0, r, &lits);
    sp.examine(0, st.count, 0, reps, whole);
    std::sort(points, points + sp.n_points);
    return sp.n_points;
}

}  // namespace zel::zstd::enc
