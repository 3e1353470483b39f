// zstd encoding: the binary-tree match finder and the optimal parsers.
//
// The tree keeps every position of the last 2^(chain log - 1) in a binary
// search tree ordered by the bytes that follow it (two links a position in
// the chain table, the hash table holding each bucket's newest position as
// its root). Entering a position walks down from the root, re-hanging the
// nodes met on the new position's two sides, and meets on the way the
// longest matches the bucket holds.
//
// The optimal parser prices, from a start position, every way to reach
// each of the next positions (a literal, or a match of each length the
// finder offers) in 1/256 bit from the statistics of what was chosen so
// far, and keeps the cheapest path to the farthest position reached.
#include "os/zstd_encode_opt.h"

#include <cassert>
#include <cstring>

#include "os/zstd_encode_entropy.h"
#include "os/zstd_encode_finder.h"

namespace zel::zstd::enc {

namespace {

// A position is entered only with 8 bytes after it, which the hash may read.
constexpr size_t HASH_READ = 8;

inline uint32_t hash3_at(const uint8_t* p, uint8_t log) {
    return ((read32(p) << 8) * 0x9E3779B1u) >> (32 - log);
}

inline size_t window_low(const MatchState& ms, size_t pos) {
    size_t w = size_t(1) << ms.p.window_log;
    return pos > w ? pos - w : 0;
}

// The matches of a position already in the tree: its nearest neighbours
// in order lie down the inner edges of its two subtrees.
size_t tree_neighbours(MatchState& ms, size_t pos, size_t end, size_t low, uint32_t best,
                       MatchCandidate* out) {
    const uint8_t* base = ms.base;
    uint32_t mask = (1u << (ms.p.chain_log - 1)) - 1;
    const uint32_t* tree = ms.chain_table;
    size_t n = 0;
    for (int side = 0; side < 2; side++) {
        uint32_t cand = tree[2 * (pos & mask) + side];
        for (uint32_t attempts = 1u << ms.p.search_log; cand != 0 && attempts > 0; attempts--) {
            size_t c = cand - 1;
            if (c < low || c >= pos) break;
            size_t len = match_length(base + pos, base + c, base + end);
            if (out && len > best) {
                best = uint32_t(len);
                out[n++] = {uint32_t(len), uint32_t(pos - c)};
            }
            cand = tree[2 * (c & mask) + 1 - side];
        }
    }
    return n;
}

// Enters `pos` in the tree (unless `insert` is false, when the walk only
// reads), collecting into `out` (when not null) the matches longer than
// `best`. Bytes are compared up to `end`: a node equal to the new position
// that far is replaced by it (taking its two subtrees), which keeps the
// order true as far as any walk compares and bounds the work a position
// costs inside long repeats.
size_t tree_walk(MatchState& ms, size_t pos, size_t end, uint32_t best, MatchCandidate* out,
                 bool insert) {
    const uint8_t* base = ms.base;
    const uint8_t* in_end = base + end;
    uint32_t mask = (1u << (ms.p.chain_log - 1)) - 1;
    uint32_t* tree = ms.chain_table;
    size_t low = window_low(ms, pos);
    if (pos > mask && pos - mask > low) low = pos - mask;
    if (!insert) return tree_neighbours(ms, pos, end, low, best, out);
    uint32_t h = hash_at(base + pos, hash_mask(ms.p.min_match), ms.p.hash_log);
    uint32_t cand = ms.hash_table[h];
    ms.hash_table[h] = uint32_t(pos + 1);
    uint32_t* smaller = &tree[2 * (pos & mask)];
    uint32_t* larger = smaller + 1;
    size_t common_smaller = 0, common_larger = 0;
    uint32_t attempts = 1u << ms.p.search_log;
    size_t n = 0;
    while (cand != 0 && attempts-- > 0) {
        size_t c = cand - 1;
        if (c < low || c >= pos) break;
        size_t skip = common_smaller < common_larger ? common_smaller : common_larger;
        size_t len = skip + match_length(base + pos + skip, base + c + skip, in_end);
        if (out && len > best) {
            // The skipped common prefix is only as sound as the order, which
            // walks of different reach keep approximately: a match is
            // counted afresh before it is offered.
            size_t real = skip ? match_length(base + pos, base + c, in_end) : len;
            if (real > best) {
                best = uint32_t(real);
                out[n++] = {uint32_t(real), uint32_t(pos - c)};
            }
        }
        uint32_t* links = &tree[2 * (c & mask)];
        if (base + pos + len == in_end) {
            *smaller = links[0];
            *larger = links[1];
            return n;
        }
        if (base[c + len] < base[pos + len]) {
            *smaller = cand;
            common_smaller = len;
            smaller = links + 1;
            cand = links[1];
        } else {
            *larger = cand;
            common_larger = len;
            larger = links;
            cand = links[0];
        }
    }
    *smaller = 0;
    *larger = 0;
    return n;
}

// How far a position entered without a search is compared.
constexpr size_t INSERT_REACH = 512;

// Enters the positions before `pos` not yet in the tree (and the 3-byte table).
void update_tree(MatchState& ms, size_t pos) {
    for (size_t i = ms.next_to_update; i < pos; i++) {
        if (i + HASH_READ > ms.size) break;
        tree_walk(ms, i, i + INSERT_REACH < ms.size ? i + INSERT_REACH : ms.size, 0, nullptr, true);
        if (ms.hash3_table) ms.hash3_table[hash3_at(ms.base + i, ms.hash3_log)] = uint32_t(i + 1);
    }
    if (ms.next_to_update < pos) ms.next_to_update = pos;
}

size_t candidate_room(const Params& p) { return (size_t(1) << p.search_log) + 4; }

}  // namespace

size_t tree_extra_words(const Params& p) {
    size_t words = 2 * candidate_room(p);
    if (p.strategy >= 5) words += 33169;
    return words;
}

size_t tree_matches(MatchState& ms, size_t pos, size_t end, MatchCandidate* out) {
    if (pos + HASH_READ > ms.size || pos >= end) return 0;
    update_tree(ms, pos);
    bool insert = pos == ms.next_to_update;
    size_t n = tree_walk(ms, pos, end, 0, out, insert);
    if (insert) ms.next_to_update = pos + 1;
    return n;
}

size_t tree_best_match(MatchState& ms, size_t pos, size_t end, uint32_t* off_code) {
    auto* cands = reinterpret_cast<MatchCandidate*>(ms.extra);
    size_t n = tree_matches(ms, pos, end, cands);
    // A longer match is worth it only when its extra length pays for the
    // extra bits its offset needs.
    uint32_t best_len = 0, best_code = 999999999;
    for (size_t i = 0; i < n; i++) {
        uint32_t l = cands[i].len, f = cands[i].off;
        if (l < 4) continue;
        if (4 * (int64_t(l) - best_len) > int64_t(hb(f + 1)) - int64_t(hb(best_code))) {
            best_len = l;
            best_code = f + 3;
        }
    }
    *off_code = best_code;
    return best_len;
}

// ---------------------------------------------------------------------------
// The optimal parser.

namespace {

constexpr int32_t UNREACHED = 1 << 30;
constexpr size_t MAX_PASS = 4095;  // positions one forward pass covers
constexpr size_t NODES = 4098;
constexpr int32_t MATCH_SURCHARGE = 51;

// The cheapest way found to a position of the pass: its price, the match
// that ends here (mlen 0: a literal), the literals since the last match on
// the path, and the repeat offsets the decoder holds after it. `next`
// links the chosen path forwards once it is known.
struct Node {
    int32_t price;
    uint32_t off;
    uint32_t mlen;
    uint32_t litlen;
    Reps reps;
    uint32_t next;
};
static_assert(sizeof(Node) == 32, "eight words a position");

// Frequencies of what was chosen, the prices' source.
struct Stats {
    uint32_t lit[256], ll[36], ml[53], of[32];
    uint32_t lit_total, ll_total, ml_total, of_total;
    uint32_t ready;
    uint32_t spare[3];
};
static_assert(sizeof(Stats) == 385 * 4, "the statistics' words");
static_assert(NODES * 8 + 385 == 33169, "the parser's words");

// Prices of one pass in 1/256 bit.
struct Prices {
    const Stats* st;
    bool fractional;
    bool large_offsets;  // strategy 5's surcharge on offsets of 2^20 and more
    int32_t w_lit, w_ll, w_ml, w_of;

    Prices(const Stats* s, int strategy)
        : st(s), fractional(strategy >= 6), large_offsets(strategy == 5) {
        w_lit = W(s->lit_total), w_ll = W(s->ll_total), w_ml = W(s->ml_total),
        w_of = W(s->of_total);
    }
    int32_t W(uint32_t x) const {
        uint32_t b = uint32_t(hb(x + 1));
        int32_t w = int32_t(256 * b);
        if (fractional) w += int32_t((uint64_t(x) + 1) * 256 >> b);
        return w;
    }
    int32_t literal(uint8_t c) const { return w_lit - W(st->lit[c]); }
    int32_t lit_length(uint32_t ll) const {
        uint32_t c = ll_code(ll);
        return w_ll - W(st->ll[c]) + 256 * LL_BITS[c];
    }
    int32_t match(uint32_t value, uint32_t ml) const {
        uint32_t oc = uint32_t(hb(value)), mc = ml_code(ml);
        int32_t p =
            w_of - W(st->of[oc]) + int32_t(256 * oc) + w_ml - W(st->ml[mc]) + 256 * ML_BITS[mc];
        p += MATCH_SURCHARGE;
        if (large_offsets && value >= (1u << 20)) p += int32_t(512 * (oc - 19));
        return p;
    }
};

struct Area {
    MatchCandidate* cands;
    Node* nodes;
    Stats* stats;
};

Area area_of(MatchState& ms) {
    assert(ms.extra_size >= tree_extra_words(ms.p) * 4);
    auto* words = reinterpret_cast<uint32_t*>(ms.extra);
    size_t room = candidate_room(ms.p);
    Area a;
    a.cands = reinterpret_cast<MatchCandidate*>(words);
    a.nodes = reinterpret_cast<Node*>(words + 2 * room);
    a.stats = reinterpret_cast<Stats*>(words + 2 * room + NODES * 8);
    return a;
}

template <size_t N>
uint32_t sum(const uint32_t (&f)[N]) {
    uint32_t t = 0;
    for (uint32_t v : f) t += v;
    return t;
}

template <size_t N>
uint32_t scale_down(uint32_t (&f)[N], uint32_t total, int shift_bits) {
    uint32_t q = total >> shift_bits;
    if (q <= 1) return total;
    uint32_t s = uint32_t(hb(q));
    for (uint32_t& v : f) v = (v >> s) + 1;
    return sum(f);
}

// The first block's statistics come from its bytes and a fixed guess of
// the codes; later blocks start from the last ones, scaled down so what
// follows weighs in.
void prepare_stats(Stats* st, const uint8_t* block, size_t len) {
    if (!st->ready) {
        uint32_t counts[256] = {};
        for (size_t i = 0; i < len; i++) counts[block[i]]++;
        for (int c = 0; c < 256; c++) st->lit[c] = counts[c] ? (counts[c] >> 8) + 1 : 0;
        for (uint32_t& v : st->ll) v = 1;
        st->ll[0] = 4, st->ll[1] = 2;
        for (uint32_t& v : st->ml) v = 1;
        static const uint8_t of_start[11] = {6, 2, 1, 1, 2, 3, 4, 4, 4, 3, 2};
        for (int c = 0; c < 32; c++) st->of[c] = c < 11 ? of_start[c] : 1;
        st->lit_total = sum(st->lit), st->ll_total = sum(st->ll);
        st->ml_total = sum(st->ml), st->of_total = sum(st->of);
        st->ready = 1;
        return;
    }
    st->lit_total = scale_down(st->lit, st->lit_total, 12);
    st->ll_total = scale_down(st->ll, st->ll_total, 11);
    st->ml_total = scale_down(st->ml, st->ml_total, 11);
    st->of_total = scale_down(st->of, st->of_total, 11);
}

class Parser {
  public:
    Parser(MatchState& ms, size_t start, size_t end, Reps& reps, SeqStore& out)
        : ms_(ms),
          a_(area_of(ms)),
          end_(end),
          anchor_(start),
          reps_(reps),
          out_(out),
          min_len_(ms.hash3_table ? 3 : (ms.p.min_match < 4 ? 4 : ms.p.min_match)),
          target_(ms.p.target_length ? ms.p.target_length : 1) {}

    void run() {
        size_t limit = end_ - anchor_ > HASH_READ ? end_ - HASH_READ : anchor_;
        size_t ip = anchor_;
        while (ip < limit) ip = pass(ip, limit);
        emit_tail(out_, ms_.base + anchor_, end_ - anchor_);
    }

  private:
    MatchState& ms_;
    Area a_;
    size_t end_;
    size_t anchor_;  // first byte not yet in a sequence
    Reps& reps_;
    SeqStore& out_;
    uint32_t min_len_;
    uint32_t target_;

    // Every match at `pos` after `lit_len` literals with repeat offsets
    // `rep`, each longer than the one before.
    size_t matches(size_t pos, uint32_t lit_len, const Reps& reps) {
        MatchCandidate* out = a_.cands;
        const uint8_t* base = ms_.base;
        size_t n = 0;
        uint32_t best = min_len_ - 1;
        size_t low = window_low(ms_, pos);
        for (uint32_t v = 1; v <= 3; v++) {
            Reps r = reps;
            uint32_t o = resolve_offset(r, v, lit_len);
            if (o == 0 || o > pos - low) continue;
            size_t len = match_length(base + pos, base + pos - o, base + end_);
            if (len > best) out[n++] = {best = uint32_t(len), o};
        }
        update_tree(ms_, pos);
        bool fresh = pos == ms_.next_to_update;
        if (ms_.hash3_table && fresh) {
            uint32_t& slot = ms_.hash3_table[hash3_at(base + pos, ms_.hash3_log)];
            size_t c = slot;
            slot = uint32_t(pos + 1);
            if (c != 0 && c - 1 >= low && best < 3) {
                size_t len = match_length(base + pos, base + c - 1, base + end_);
                if (len > best) out[n++] = {best = uint32_t(len), uint32_t(pos - (c - 1))};
            }
        }
        n += tree_walk(ms_, pos, end_, best, out + n, fresh);
        if (fresh) ms_.next_to_update = pos + 1;
        return n;
    }

    // The pass from `ip`; returns where the next one starts.
    size_t pass(size_t ip, size_t limit) {
        Node* node = a_.nodes;
        Prices price(a_.stats, ms_.p.strategy);
        uint32_t lit0 = uint32_t(ip - anchor_);
        size_t n = matches(ip, lit0, reps_);
        if (n == 0) return ip + 1;
        MatchCandidate longest = a_.cands[n - 1];
        if (longest.len > target_ || longest.len > MAX_PASS || ip + longest.len >= end_) {
            emit(ip, longest.off, longest.len);
            return ip + longest.len;
        }
        node[0] = {price.lit_length(lit0), 0, 0, lit0, reps_, 0};
        size_t last = 0;
        add_matches(0, n, last, price);
        MatchCandidate forced = {0, 0};
        for (size_t cur = 1; cur <= last; cur++) {
            Node& prev = node[cur - 1];
            Node& here = node[cur];
            int32_t lp = prev.price + price.literal(ms_.base[ip + cur - 1]) +
                         price.lit_length(prev.litlen + 1) - price.lit_length(prev.litlen);
            if (lp < here.price) here = {lp, 0, 0, prev.litlen + 1, prev.reps, 0};
            if (here.mlen) {
                const Node& from = node[cur - here.mlen];
                here.reps = from.reps;
                encode_offset(here.reps, here.off, from.litlen);
            }
            if (cur == last || ip + cur >= limit) continue;
            n = matches(ip + cur, here.litlen, here.reps);
            if (n == 0) continue;
            MatchCandidate m = a_.cands[n - 1];
            // A long match, one beyond the pass's reach or one that ends
            // the block is taken as it is: the path stops where it starts.
            if (m.len > target_ || cur + m.len > MAX_PASS || ip + cur + m.len >= end_) {
                forced = m;
                last = cur;
                break;
            }
            add_matches(cur, n, last, price);
        }
        emit_path(ip, last);
        if (forced.len) {
            emit(ip + last, forced.off, forced.len);
            return ip + last + forced.len;
        }
        return ip + last;
    }

    // Prices the matches found at `cur` for every length they offer.
    void add_matches(size_t cur, size_t n, size_t& last, const Prices& price) {
        Node* node = a_.nodes;
        const Node& from = node[cur];
        uint32_t len = min_len_;
        int32_t next_lits = price.lit_length(0);
        for (size_t i = 0; i < n; i++) {
            MatchCandidate m = a_.cands[i];
            Reps r = from.reps;
            uint32_t value = encode_offset(r, m.off, from.litlen);
            size_t reach = cur + m.len;
            for (; last < reach; last++) node[last + 1].price = UNREACHED;
            for (; len <= m.len; len++) {
                int32_t p = from.price + price.match(value, len) + next_lits;
                Node& to = node[cur + len];
                if (p < to.price) to = {p, m.off, len, 0, {}, 0};
            }
        }
    }

    // Follows the cheapest path to `last` back, then writes its matches.
    void emit_path(size_t ip, size_t last) {
        Node* node = a_.nodes;
        for (size_t p = last; p > 0;) {
            size_t from = node[p].mlen ? p - node[p].mlen : p - 1;
            node[from].next = uint32_t(p);
            p = from;
        }
        for (size_t q = 0; q < last;) {
            size_t to = node[q].next;
            if (to - q > 1) emit(ip + q, node[to].off, node[to].mlen);
            q = to;
        }
    }

    // A sequence: the literals since the anchor, then the match at `pos`;
    // what it uses joins the statistics.
    void emit(size_t pos, uint32_t off, uint32_t len) {
        Stats* st = a_.stats;
        uint32_t lit_len = uint32_t(pos - anchor_);
        for (size_t i = anchor_; i < pos; i++) st->lit[ms_.base[i]] += 2;
        st->lit_total += 2 * lit_len;
        assert(out_.count < out_.capacity);
        enc::emit(out_, reps_, ms_.base + anchor_, lit_len, off, len);
        anchor_ = pos + len;
        st->ll[ll_code(lit_len)]++, st->ll_total++;
        st->ml[ml_code(len)]++, st->ml_total++;
        st->of[hb(out_.seqs[out_.count - 1].off_value)]++, st->of_total++;
    }
};

void reset_tables(MatchState& ms) {
    std::memset(ms.hash_table, 0, sizeof(uint32_t) << ms.p.hash_log);
    std::memset(ms.chain_table, 0, sizeof(uint32_t) << ms.p.chain_log);
    if (ms.hash3_table) std::memset(ms.hash3_table, 0, sizeof(uint32_t) << ms.hash3_log);
    ms.next_to_update = 0;
}

}  // namespace

void parse_optimal(MatchState& ms, size_t block_start, size_t block_end, Reps& reps,
                   SeqStore& out) {
    Area a = area_of(ms);
    bool first = ms.opt == nullptr;
    if (first) {
        ms.opt = a.stats;
        a.stats->ready = 0;
    }
    prepare_stats(a.stats, ms.base + block_start, block_end - block_start);
    // Strategy 7 parses the first block once for its statistics alone,
    // then from a clean start with them.
    if (first && ms.p.strategy == 7 && block_end - block_start >= 9) {
        Reps saved = reps;
        size_t count = out.count, lits = out.lit_count;
        Parser(ms, block_start, block_end, reps, out).run();
        out.count = count, out.lit_count = lits;
        reps = saved;
        reset_tables(ms);
        prepare_stats(a.stats, ms.base + block_start, block_end - block_start);
    }
    Parser(ms, block_start, block_end, reps, out).run();
}

}  // namespace zel::zstd::enc
