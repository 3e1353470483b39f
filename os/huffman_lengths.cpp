// Length-limited code lengths: the used symbols are sorted by frequency,
// minimum-redundancy lengths are computed in place (Moffat and Katajainen),
// lengths past the limit are folded in with a Kraft fix-up, and the
// lengths are dealt from the shortest to the most frequent symbols.
//
// Relies on: nothing.
#include "os/huffman_lengths.h"

#include <algorithm>
#include <cstring>

namespace zel::huffman {

namespace {

// Minimum-redundancy code lengths in place: `a` holds n weights in
// ascending order and receives the depth of each leaf (non-increasing).
void minimum_redundancy(uint64_t* a, int n) {
    if (n == 1) {
        a[0] = 0;
        return;
    }
    // Left to right: internal nodes' weights, parent pointers in the slots
    // of the nodes combined.
    a[0] += a[1];
    int root = 0, leaf = 2;
    for (int next = 1; next < n - 1; next++) {
        if (leaf >= n || a[root] < a[leaf]) {
            a[next] = a[root];
            a[root++] = uint64_t(next);
        } else {
            a[next] = a[leaf++];
        }
        if (leaf >= n || (root < next && a[root] < a[leaf])) {
            a[next] += a[root];
            a[root++] = uint64_t(next);
        } else {
            a[next] += a[leaf++];
        }
    }
    // Right to left: internal nodes' depths.
    a[n - 2] = 0;
    for (int next = n - 3; next >= 0; next--) a[next] = a[a[next]] + 1;
    // Right to left: leaves' depths.
    int available = 1, used = 0, depth = 0, root_at = n - 2, next = n - 1;
    while (available > 0) {
        while (root_at >= 0 && a[root_at] == uint64_t(depth)) {
            used++;
            root_at--;
        }
        while (available > used) {
            a[next--] = uint64_t(depth);
            available--;
        }
        available = 2 * used;
        depth++;
        used = 0;
    }
}

}  // namespace

void build_lengths(const uint32_t* freq, int count, int limit, uint8_t* lengths) {
    std::memset(lengths, 0, size_t(count));
    uint16_t symbols[MAX_SYMBOLS];
    int used = 0;
    for (int s = 0; s < count; s++)
        if (freq[s]) symbols[used++] = uint16_t(s);
    if (used < 2) {
        lengths[0] = lengths[1] = 1;
        if (used == 1 && symbols[0] >= 2) {
            lengths[1] = 0;
            lengths[symbols[0]] = 1;
        }
        return;
    }
    std::stable_sort(symbols, symbols + used, [&](uint16_t a, uint16_t b) { return freq[a] < freq[b]; });
    // Sums of frequencies need more than 32 bits.
    uint64_t depth[MAX_SYMBOLS];
    for (int i = 0; i < used; i++) depth[i] = freq[symbols[i]];
    minimum_redundancy(depth, used);

    // Codes per length, the ones past the limit counted at the limit.
    uint32_t per_length[16] = {};
    for (int i = 0; i < used; i++) per_length[std::min<uint64_t>(depth[i], uint64_t(limit))]++;
    // Kraft sum in units of 2^-limit; over 2^limit the code is
    // over-subscribed: each step removes one code at the limit and splits
    // the longest shorter one, one unit less each time.
    uint64_t kraft = 0;
    for (int len = 1; len <= limit; len++) kraft += uint64_t(per_length[len]) << (limit - len);
    while (kraft > (uint64_t(1) << limit)) {
        per_length[limit]--;
        for (int j = limit - 1; j > 0; j--) {
            if (per_length[j]) {
                per_length[j]--;
                per_length[j + 1] += 2;
                break;
            }
        }
        kraft--;
    }
    // The most frequent symbols (the end of the order) get the shortest.
    int at = used;
    for (int len = 1; len <= limit; len++)
        for (uint32_t k = per_length[len]; k > 0; k--) lengths[symbols[--at]] = uint8_t(len);
}

void canonical_codes(const uint8_t* lengths, int count, uint16_t* codes) {
    uint16_t per_length[16] = {}, next[16] = {};
    for (int s = 0; s < count; s++) per_length[lengths[s]]++;
    per_length[0] = 0;
    uint16_t code = 0;
    for (int len = 1; len < 16; len++) {
        code = uint16_t((code + per_length[len - 1]) << 1);
        next[len] = code;
    }
    for (int s = 0; s < count; s++) codes[s] = lengths[s] ? next[lengths[s]]++ : 0;
}

}  // namespace zel::huffman
