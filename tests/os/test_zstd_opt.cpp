// The zstd encoder's binary-tree finder, optimal parsers and block
// splitter, against the finders' interface alone: the tree offers the
// longest match a brute-force search finds; parsed sequences, replayed as
// the decoder would (repeat offsets included), give back the input; the
// splitter's partitions cover the block and, re-encoded against the repeat
// offsets the decoder holds at each start (a stored partition keeping
// those it began with), replay too.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "os/workers.h"
#include "os/zstd.h"
#include "os/zstd_encode.h"
#include "os/zstd_encode_opt.h"
#include "os/zstd_encode_split.h"

using namespace zel::zstd::enc;

namespace {

using Bytes = std::vector<uint8_t>;

uint32_t next_random(uint32_t& s) {
    s ^= s << 13, s ^= s >> 17, s ^= s << 5;
    return s;
}

// Inputs of the kinds an encoder meets.
Bytes text(size_t n, uint32_t seed) {
    static const char* words[] = {"the ",       "zstd ",    "frame ",   "block ",  "of ",
                                  "sequences ", "literal ", "and ",     "offset ", "window ",
                                  "match\n",    "length ",  "Huffman ", "table, ", "state. "};
    Bytes b;
    while (b.size() < n) {
        const char* w = words[next_random(seed) % 15];
        b.insert(b.end(), w, w + std::strlen(w));
    }
    b.resize(n);
    return b;
}
Bytes random_bytes(size_t n, uint32_t seed) {
    Bytes b(n);
    for (uint8_t& c : b) c = uint8_t(next_random(seed));
    return b;
}
Bytes runs(size_t n, uint32_t seed) {
    Bytes b;
    while (b.size() < n)
        b.insert(b.end(), 1 + next_random(seed) % 3000, uint8_t(next_random(seed) % 4));
    b.resize(n);
    return b;
}
// Records with counters, a few strings and noise; then text; then random.
Bytes mixed(size_t n, uint32_t seed) {
    Bytes b;
    for (uint32_t i = 0; b.size() < n / 3; i++) {
        uint8_t rec[16] = {
            uint8_t(i), uint8_t(i >> 8), 0, 0, 'R', 'E', 'C', uint8_t(next_random(seed) % 7)};
        for (int k = 8; k < 16; k++) rec[k] = uint8_t(k * (i % 5));
        b.insert(b.end(), rec, rec + 16);
    }
    Bytes t = text(n / 3, seed), r = random_bytes(n, seed);
    b.insert(b.end(), t.begin(), t.end());
    b.insert(b.end(), r.begin(), r.begin() + long(n - b.size()));
    return b;
}

// A call's finder state over tables of its own.
struct Finder {
    Params p;
    std::vector<uint32_t> hash, chain, hash3, extra;
    MatchState ms;

    Finder(Params prm, const Bytes& in, bool with_hash3) : p(prm) {
        hash.assign(size_t(1) << p.hash_log, 0);
        chain.assign(size_t(1) << p.chain_log, 0);
        extra.assign(tree_extra_words(p), 0);
        ms.p = p;
        ms.base = in.data();
        ms.size = in.size();
        ms.hash_table = hash.data();
        ms.chain_table = chain.data();
        if (with_hash3) {
            ms.hash3_log = 14;
            hash3.assign(size_t(1) << ms.hash3_log, 0);
            ms.hash3_table = hash3.data();
        }
        ms.extra = reinterpret_cast<uint8_t*>(extra.data());
        ms.extra_size = extra.size() * 4;
    }
};

// One block's sequences and literals.
struct Block {
    size_t start, end;
    std::vector<Sequence> seqs;
    Bytes lits;
};

constexpr size_t BLOCK = 131072;

// Parses the input in blocks of 128 KB, repeat offsets running on.
std::vector<Block> parse(Finder& f, const Bytes& in) {
    std::vector<Block> blocks;
    Reps reps;
    for (size_t start = 0; start < in.size(); start += BLOCK) {
        size_t end = std::min(in.size(), start + BLOCK);
        Block b{start, end, std::vector<Sequence>((end - start) / 3 + 2), Bytes(end - start)};
        SeqStore st{b.seqs.data(), 0, b.seqs.size(), b.lits.data(), 0};
        parse_optimal(f.ms, start, end, reps, st);
        b.seqs.resize(st.count);
        b.lits.resize(st.lit_count);
        blocks.push_back(std::move(b));
    }
    return blocks;
}

// Replays sequences as the decoder does, appending to `out`; a failure
// names the first fault.
std::string replay(const Sequence* seqs, size_t n, const uint8_t* lits, size_t n_lits, Reps& reps,
                   Bytes& out, uint32_t window) {
    size_t used = 0;
    for (size_t i = 0; i < n; i++) {
        const Sequence& s = seqs[i];
        if (used + s.lit_len > n_lits) return "literals overrun at sequence " + std::to_string(i);
        out.insert(out.end(), lits + used, lits + used + s.lit_len);
        used += s.lit_len;
        uint32_t off = resolve_offset(reps, s.off_value, s.lit_len);
        if (s.match_len < 3) return "short match at sequence " + std::to_string(i);
        if (off == 0 || off > out.size() || off > window)
            return "bad offset at sequence " + std::to_string(i);
        for (uint32_t k = 0; k < s.match_len; k++) out.push_back(out[out.size() - off]);
    }
    out.insert(out.end(), lits + used, lits + n_lits);
    return "";
}

// The blocks of a frame of ours (no dictionary, no checksum): their
// count, -1 when the frame does not hold together.
int count_blocks(const Bytes& f) {
    if (f.size() < 6) return -1;
    bool single = f[4] & 0x20;
    const size_t size_bytes[4] = {single ? 1u : 0u, 2, 4, 8};
    size_t p = 5 + (single ? 0 : 1) + size_bytes[f[4] >> 6];
    for (int n = 1; p + 3 <= f.size(); n++) {
        uint32_t h = f[p] | f[p + 1] << 8 | f[p + 2] << 16;
        p += 3 + ((h >> 1 & 3) == 1 ? 1 : h >> 3);
        if (h & 1) return p == f.size() ? n : -1;
    }
    return -1;
}

Bytes compress(const Bytes& in, int level) {
    int64_t size = 0;
    zel::zstd::compress(nullptr, &size, in.data(), int64_t(in.size()), level);
    Bytes out(static_cast<size_t>(size));
    EXPECT_EQ(zel::workers::DONE,
              zel::zstd::compress(out.data(), &size, in.data(), int64_t(in.size()), level));
    out.resize(size_t(size));
    Bytes back(in.size());
    int64_t got = int64_t(back.size());
    EXPECT_EQ(zel::workers::DONE,
              zel::zstd::decompress(back.data(), &got, out.data(), int64_t(out.size())));
    EXPECT_TRUE(back == in);
    return out;
}

size_t measure_size(void*, const SeqStore& part, size_t part_len) {
    Bytes scratch(compressed_size_scratch(part.count, part_len));
    return compressed_size(part.seqs, part.count, part.literals, part.lit_count, part_len,
                           scratch.data(), scratch.size());
}
const SplitMeasure MEASURE = {measure_size, nullptr};

}  // namespace

TEST(ZstdTree, OffersTheLongestMatch) {
    // A large search budget: the walk down the tree must meet the
    // position's nearest neighbours in order, so the longest match.
    Bytes in = text(3000, 7);
    Bytes r = random_bytes(600, 9);
    in.insert(in.begin() + 1500, r.begin(), r.end());
    Finder f({16, 13, 12, 12, 4, 4, 0}, in, false);
    std::vector<MatchCandidate> cands(tree_extra_words(f.p));
    for (size_t pos = 0; pos + 8 <= in.size(); pos++) {
        size_t n = tree_matches(f.ms, pos, in.size(), cands.data());
        uint32_t longest = 0;
        for (size_t i = 0; i < n; i++) {
            ASSERT_GT(cands[i].len, longest) << pos;
            ASSERT_TRUE(cands[i].off >= 1 && cands[i].off <= pos) << pos;
            ASSERT_EQ(0, std::memcmp(&in[pos], &in[pos - cands[i].off], cands[i].len)) << pos;
            longest = cands[i].len;
        }
        size_t brute = 0;
        for (size_t c = 0; c < pos; c++) {
            size_t l = 0;
            while (pos + l < in.size() && in[c + l] == in[pos + l]) l++;
            brute = std::max(brute, l);
        }
        if (brute >= 4) {
            ASSERT_EQ(brute, longest) << pos;
        }
    }
}

TEST(ZstdTree, BestMatchWeighsOffsets) {
    // "abcdefgh" recurs near (5 bytes equal) and far (6 bytes): one more
    // byte does not pay for an offset 256 times as long.
    Bytes in = random_bytes(70000, 3);
    const char far[] = "abcdefXY", near[] = "abcdeZZZ", probe[] = "abcdefQQ";
    std::memcpy(&in[100], far, 8);
    std::memcpy(&in[69000], near, 8);
    std::memcpy(&in[69100], probe, 8);
    Finder f({17, 18, 17, 6, 4, 4, 0}, in, false);
    uint32_t code = 0;
    size_t len = 0;
    for (size_t pos = 0; pos <= 69100; pos++) len = tree_best_match(f.ms, pos, in.size(), &code);
    EXPECT_EQ(5u, len);
    EXPECT_EQ(100u + 3, code);
    // Searched again (already entered), the position gives the same answer.
    EXPECT_EQ(5u, tree_best_match(f.ms, 69100, in.size(), &code));
    EXPECT_EQ(103u, code);
}

TEST(ZstdOptimal, SequencesReplayTheInput) {
    struct Kind {
        const char* name;
        Bytes in;
    } kinds[] = {{"text", text(300000, 1)},
                 {"random", random_bytes(140000, 2)},
                 {"runs", runs(300000, 3)},
                 {"mixed", mixed(280000, 4)},
                 {"tiny", text(12, 5)}};
    // Strategies 5 to 7, with the 3-byte table (minimum 3) and without
    // (minimum 4 and 5); a window smaller than the input.
    struct Row {
        Params p;
        bool hash3;
    } rows[] = {{{17, 18, 17, 5, 3, 5, 48}, true},
                {{17, 18, 17, 6, 4, 6, 16}, false},
                {{19, 19, 18, 7, 3, 7, 256}, true},
                {{19, 19, 18, 4, 5, 5, 48}, false}};
    for (const Kind& k : kinds) {
        for (const Row& row : rows) {
            Finder f(row.p, k.in, row.hash3);
            std::vector<Block> blocks = parse(f, k.in);
            Bytes out;
            Reps reps;
            size_t matched = 0;
            for (const Block& b : blocks) {
                std::string fault = replay(b.seqs.data(), b.seqs.size(), b.lits.data(),
                                           b.lits.size(), reps, out, 1u << row.p.window_log);
                ASSERT_EQ("", fault) << k.name << " strategy " << int(row.p.strategy);
                ASSERT_EQ(b.end, out.size()) << k.name << " strategy " << int(row.p.strategy);
                matched += b.end - b.start - b.lits.size();
            }
            ASSERT_TRUE(out == k.in) << k.name << " strategy " << int(row.p.strategy);
            if (std::string(k.name) == "text" || std::string(k.name) == "runs") {
                EXPECT_GT(matched, k.in.size() * 9 / 10)
                    << k.name << " strategy " << int(row.p.strategy);
            }
        }
    }
}

TEST(ZstdOptimal, SmallerThanGreedyAndLazy) {
    // One block parsed greedily, lazily over the hash chains, lazily over
    // the tree, and optimally (once, and twice): each finder's block is
    // smaller than the simpler ones', as the entropy stage writes them.
    auto block_size = [](const Bytes& in, Params p, MatchFinder finder) {
        Finder f(p, in, p.strategy >= 5 && p.min_match == 3);
        std::vector<Sequence> seqs(in.size() / 3 + 2);
        Bytes lits(in.size());
        SeqStore st{seqs.data(), 0, seqs.size(), lits.data(), 0};
        Reps reps;
        finder(f.ms, 0, in.size(), reps, st);
        Bytes scratch(compressed_size_scratch(st.count, in.size()));
        return compressed_size(st.seqs, st.count, st.literals, st.lit_count, in.size(),
                               scratch.data(), scratch.size());
    };
    for (const Bytes& in : {text(BLOCK, 21), mixed(BLOCK, 22)}) {
        size_t greedy = block_size(in, {17, 17, 17, 4, 4, 1, 0}, finder_for(1));
        size_t lazy = block_size(in, {17, 17, 17, 4, 4, 3, 0}, finder_for(3));
        size_t tree = block_size(in, {17, 18, 18, 4, 4, 4, 0}, finder_for(4));
        size_t optimal = block_size(in, {17, 18, 18, 6, 3, 6, 128}, finder_for(6));
        size_t twice = block_size(in, {17, 18, 18, 6, 3, 7, 128}, finder_for(7));
        ASSERT_GT(optimal, 0u);
        EXPECT_LE(lazy, greedy);
        EXPECT_LT(tree, lazy);
        EXPECT_LT(optimal, lazy);
        // The first block's statistics are a guess until it is parsed
        // once: the second parse beats both.
        EXPECT_LT(twice, optimal);
        EXPECT_LT(twice, tree);
    }
}

TEST(ZstdSplitter, PartitionsCoverTheBlockAndReplay) {
    // Text, then records, then random bytes in one block: their statistics
    // differ, so cutting pays.
    Bytes in = mixed(BLOCK, 11);
    Finder f({17, 18, 17, 5, 3, 6, 64}, in, true);
    std::vector<Block> blocks = parse(f, in);
    ASSERT_EQ(1u, blocks.size());
    Block& b = blocks[0];
    ASSERT_GE(b.seqs.size(), SPLIT_MIN_SEQUENCES);
    SeqStore st{b.seqs.data(), b.seqs.size(), b.seqs.size(), b.lits.data(), b.lits.size()};
    std::vector<uint32_t> offsets(st.count), points(SPLIT_MAX_POINTS);
    size_t n_points = split_block(st, Reps{}, offsets.data(), MEASURE, points.data());
    ASSERT_GT(n_points, 0u);
    ASSERT_LE(n_points, SPLIT_MAX_POINTS);
    // Every other partition is stored instead: the decoder then keeps the
    // repeat offsets it had at that partition's start.
    for (int stored_first = 0; stored_first < 2; stored_first++) {
        Reps reps;
        Bytes out;
        size_t lit = 0, prev = 0;
        for (size_t i = 0; i <= n_points; i++) {
            size_t next = i < n_points ? points[i] : st.count;
            ASSERT_LT(prev, next);
            size_t lits = 0, bytes = 0;
            for (size_t s = prev; s < next; s++)
                lits += st.seqs[s].lit_len, bytes += st.seqs[s].lit_len + st.seqs[s].match_len;
            if (next == st.count) bytes += st.lit_count - lit - lits, lits = st.lit_count - lit;
            if ((i + stored_first) % 2 == 0) {
                size_t at = out.size();
                out.insert(out.end(), in.begin() + long(at), in.begin() + long(at + bytes));
            } else {
                Reps encoded = reps;
                encode_partition(st.seqs + prev, offsets.data() + prev, next - prev, encoded);
                ASSERT_EQ("", replay(st.seqs + prev, next - prev, st.literals + lit, lits, reps,
                                     out, 1u << 17));
                ASSERT_EQ(0, std::memcmp(encoded.rep, reps.rep, sizeof reps.rep));
            }
            lit += lits;
            prev = next;
        }
        ASSERT_TRUE(out == in) << stored_first;
    }
    // A block of fewer sequences is never cut, and keeps its off_values.
    std::vector<Sequence> before(b.seqs.begin(), b.seqs.begin() + 299);
    Reps reps;
    encode_partition(before.data(), offsets.data(), 299, reps);
    std::vector<Sequence> few = before;
    SeqStore small{few.data(), 299, 299, b.lits.data(), b.lits.size()};
    EXPECT_EQ(0u, split_block(small, Reps{}, offsets.data(), MEASURE, points.data()));
    for (size_t i = 0; i < 299; i++) EXPECT_EQ(before[i].off_value, few[i].off_value);
}

TEST(ZstdSplitter, AStoredHalfLeavesTheRepeatOffsets) {
    // 400 sequences (a literal, then 4 bytes from 100 back): the first half
    // measures as stored, the rest compresses. The decoder leaves a stored
    // block's repeat offsets as they were, so the right half's first match
    // must be measured with its offset spelt out (100 + 3), not as the
    // repeat the stored half would have left behind (1): else its measured
    // size is not the size written, and the cuts kept can outgrow the bound.
    std::vector<Sequence> seqs(400);
    std::vector<uint8_t> lits(400, 'x');
    Reps coded;
    for (Sequence& q : seqs) q = {1, encode_offset(coded, 100, 1), 4};
    struct Seen {
        const Sequence* base;
        uint32_t right_first = 0;
        static size_t size(void* ctx, const SeqStore& part, size_t) {
            auto* seen = static_cast<Seen*>(ctx);
            size_t first = size_t(part.seqs - seen->base);
            if (first == 200) seen->right_first = part.seqs[0].off_value;
            return first == 0 ? 0 : 10;  // every range from the start is stored
        }
    } seen{seqs.data()};
    SeqStore st{seqs.data(), 400, 400, lits.data(), lits.size()};
    std::vector<uint32_t> offsets(400), points(SPLIT_MAX_POINTS);
    size_t n_points = split_block(st, Reps{}, offsets.data(), {Seen::size, &seen}, points.data());
    ASSERT_GT(n_points, 0u);
    EXPECT_EQ(200u, points[n_points - 1]);
    EXPECT_EQ(103u, seen.right_first);
}

TEST(ZstdSplitter, CutsOnlyLargeInputsAtTheOptimalLevels) {
    // Content that changes inside every block: the splitter cuts at level
    // 16 over 1 MB (more blocks than the 8 of 128 KB); never at level 19
    // on 16 KB, nor at a lazy level.
    Bytes big;
    for (uint32_t seed = 1; big.size() < (1u << 20); seed++) {
        Bytes part = seed % 3 == 0   ? random_bytes(9000, seed)
                     : seed % 3 == 1 ? text(30000, seed)
                                     : mixed(20000, seed);
        big.insert(big.end(), part.begin(), part.end());
    }
    big.resize(1u << 20);
    EXPECT_GT(count_blocks(compress(big, 16)), 8);
    EXPECT_EQ(8, count_blocks(compress(big, 12)));
    // 16 KB whose halves differ (letters, then high bytes; a repeat every
    // 20 literals): cut were the splitter on.
    Bytes small;
    uint32_t seed = 5;
    for (int half = 0; half < 2; half++) {
        size_t start = small.size();
        while (small.size() < start + 8192) {
            for (int i = 0; i < 20; i++)
                small.push_back(
                    uint8_t(half ? 128 + next_random(seed) % 128 : 'a' + next_random(seed) % 26));
            size_t from = start + next_random(seed) % (small.size() - start - 8);
            for (int i = 0; i < 8; i++) small.push_back(small[from + i]);
        }
    }
    small.resize(16384);
    EXPECT_EQ(1, count_blocks(compress(small, 19)));
}
