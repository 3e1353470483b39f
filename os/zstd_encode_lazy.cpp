// The zstd encoder's hash-chain finders (strategies 1 to 3): greedy, and
// lazy with one or two positions of look-ahead; strategy 4 is the two-step
// lazy parse searching the binary tree instead. A match found further on
// replaces the one in hand when its gain in length outweighs the cost of
// its offset (about a bit per doubling).
#include "os/zstd_encode_entropy.h"
#include "os/zstd_encode_finder.h"
#include "os/zstd_encode_opt.h"

namespace zel::zstd::enc {

namespace {

struct Chain {
    const uint8_t* base;
    const uint8_t* iend;
    uint32_t* head;
    uint32_t* links;
    size_t& next_to_update;
    uint32_t link_mask;
    uint32_t mask;
    unsigned log;
    uint32_t attempts;
    size_t window, span;

    // Enters every position before `ip`, then follows the chain from ip's
    // hash: the longest match (4 bytes or more) and its offset; 0 for none.
    size_t search(size_t ip, uint32_t& offset) {
        for (size_t p = next_to_update; p < ip; p++) {
            uint32_t h = hash_at(base + p, mask, log);
            links[p & link_mask] = head[h];
            head[h] = uint32_t(p);
        }
        if (next_to_update < ip) next_to_update = ip;
        size_t low = 0;
        if (ip >= window) low = ip - window + 1;
        if (ip >= span && ip - span + 1 > low) low = ip - span + 1;
        size_t cand = head[hash_at(base + ip, mask, log)];
        size_t best = 3, room = size_t(iend - (base + ip));
        const uint8_t* in = base + ip;
        for (uint32_t tries = attempts; tries && cand >= low && cand < ip; tries--) {
            const uint8_t* m = base + cand;
            if (m[best] == in[best] && read32(m) == read32(in)) {
                size_t len = 4 + match_length(in + 4, m + 4, iend);
                if (len > best) {
                    best = len;
                    offset = uint32_t(ip - cand);
                    if (len == room) break;
                }
            }
            size_t next = links[cand & link_mask];
            if (next >= cand) break;
            cand = next;
        }
        return best > 3 ? best : 0;
    }
};

// The lazy parse over a searcher: the hash chains, or the binary tree.
template <int Depth, class Search>
void parse_lazy(MatchState& ms, size_t start, size_t end, Reps& reps, SeqStore& out,
                Search& chain);

template <int Depth>
void find_lazy(MatchState& ms, size_t start, size_t end, Reps& reps, SeqStore& out) {
    const uint8_t* base = ms.base;
    Chain chain{base,
                base + end,
                ms.hash_table,
                ms.chain_table,
                ms.next_to_update,
                (1u << ms.p.chain_log) - 1,
                hash_mask(ms.p.min_match),
                ms.p.hash_log,
                1u << ms.p.search_log,
                size_t(1) << ms.p.window_log,
                size_t(1) << ms.p.chain_log};
    parse_lazy<Depth>(ms, start, end, reps, out, chain);
}

template <int Depth, class Search>
void parse_lazy(MatchState& ms, size_t start, size_t end, Reps& reps, SeqStore& out,
                Search& chain) {
    const uint8_t* base = ms.base;
    const uint8_t* iend = base + end;
    size_t anchor = start;
    if (end - start >= 9) {
        const size_t limit = end - 8;
        size_t ip = start;
        // A repeat of the last offset at p: its length, 0 for none.
        auto repeat_at = [&](size_t p) -> size_t {
            uint32_t rep = reps.rep[0];
            if (rep > p || read32(base + p) != read32(base + p - rep)) return 0;
            return 4 + match_length(base + p + 4, base + p + 4 - rep, iend);
        };
        while (ip < limit) {
            size_t len = 0, at = ip;
            uint32_t offset = 0, code = 0;  // code: the offset as coded (1 for the repeat)
            if (size_t r = repeat_at(ip + 1)) len = r, at = ip + 1, offset = reps.rep[0], code = 1;
            if (Depth > 0 || !len) {
                uint32_t found = 0;
                size_t l2 = chain.search(ip, found);
                if (l2 > len) len = l2, at = ip, offset = found, code = found + 3;
                if (len < 4) {
                    ip += ((ip - anchor) >> 8) + 1;
                    continue;
                }
                // Look-ahead: a match one (or two) bytes on replaces the one
                // in hand when it gains enough to pay for its offset.
                while (Depth > 0 && ip + 1 < limit) {
                    ip++;
                    int gain = 4 * int(len) - hb(code);
                    if (size_t r = repeat_at(ip); r && 3 * int(r) > 3 * int(len) - hb(code) + 1)
                        len = r, at = ip, offset = reps.rep[0], code = 1, gain = 4 * int(len);
                    uint32_t f = 0;
                    size_t l2 = chain.search(ip, f);
                    if (l2 && 4 * int(l2) - hb(f + 3) > gain + 4) {
                        len = l2, at = ip, offset = f, code = f + 3;
                        continue;
                    }
                    if (Depth == 2 && ip + 1 < limit) {
                        ip++;
                        gain = 4 * int(len) - hb(code);
                        if (size_t r = repeat_at(ip); r && 4 * int(r) > gain + 1)
                            len = r, at = ip, offset = reps.rep[0], code = 1, gain = 4 * int(len);
                        l2 = chain.search(ip, f);
                        if (l2 && 4 * int(l2) - hb(f + 3) > gain + 7) {
                            len = l2, at = ip, offset = f, code = f + 3;
                            continue;
                        }
                    }
                    break;
                }
            }
            if (code > 3)
                while (at > anchor && at > offset && base[at - 1] == base[at - 1 - offset]) at--, len++;
            emit(out, reps, base + anchor, at - anchor, offset, len);
            ip = anchor = at + len;
        }
    }
    emit_tail(out, base + anchor, end - anchor);
}

}  // namespace

void find_greedy(MatchState& ms, size_t start, size_t end, Reps& reps, SeqStore& out) {
    find_lazy<0>(ms, start, end, reps, out);
}
void find_lazy1(MatchState& ms, size_t start, size_t end, Reps& reps, SeqStore& out) {
    find_lazy<1>(ms, start, end, reps, out);
}
void find_lazy2(MatchState& ms, size_t start, size_t end, Reps& reps, SeqStore& out) {
    find_lazy<2>(ms, start, end, reps, out);
}
void find_tree_lazy2(MatchState& ms, size_t start, size_t end, Reps& reps, SeqStore& out) {
    TreeSearch tree{ms, end};
    parse_lazy<2>(ms, start, end, reps, out, tree);
}

}  // namespace zel::zstd::enc
