// The zstd encoder's frame stage: the level table, the parameters derived
// from it and the input's size, the call's one work area, the frame header
// and the choice of each block's form (compressed, RLE or raw), a block
// the splitter cuts written as several.
#include <algorithm>
#include <cassert>

#include "foundation/platform.h"
#include "os/workers.h"
#include "os/zstd.h"
#include "os/zstd_encode_entropy.h"
#include "os/zstd_encode_opt.h"
#include "os/zstd_encode_split.h"

namespace zel::zstd::enc {

void find_double_fast(MatchState& ms, size_t start, size_t end, Reps& reps, SeqStore& out);
void find_greedy(MatchState& ms, size_t start, size_t end, Reps& reps, SeqStore& out);
void find_lazy1(MatchState& ms, size_t start, size_t end, Reps& reps, SeqStore& out);
void find_lazy2(MatchState& ms, size_t start, size_t end, Reps& reps, SeqStore& out);
void find_tree_lazy2(MatchState& ms, size_t start, size_t end, Reps& reps, SeqStore& out);

namespace {

constexpr size_t BLOCK = 128 * 1024;
constexpr size_t STACK_WORK = 32 * 1024;

// Window log, chain log, hash log, search log, minimum match, strategy,
// target length / 4; one row per level, four size classes (above 256 KB,
// up to 256 KB, up to 128 KB, up to 16 KB).
//
// The rows marked * are fixed points; the others were filled in between
// them: window logs as the class allows, table logs and search depth grown
// a step every level or two, the strategy raised where the next fixed row
// needs it, and the minimum match lowered towards 3 as the searches deepen
// (the finders pay for a shorter minimum with more candidates).
constexpr uint8_t LEVELS[4 * 19][7] = {
    // above 256 KB
    {19, 13, 14, 1, 7, 0, 0},  // 1 *
    {20, 15, 16, 1, 6, 0, 0},
    {21, 16, 17, 1, 5, 0, 0},  // 3 *
    {21, 17, 18, 2, 5, 1, 0},
    {21, 18, 19, 3, 5, 1, 0},  // 5 *
    {21, 18, 19, 3, 5, 2, 0},
    {21, 19, 19, 4, 5, 2, 0},
    {22, 19, 20, 4, 5, 3, 0},
    {22, 20, 21, 4, 5, 3, 0},
    {22, 21, 22, 5, 5, 3, 0},
    {22, 21, 22, 6, 5, 3, 0},
    {22, 22, 22, 6, 5, 3, 0},
    {22, 22, 22, 4, 5, 4, 0},  // 13 *
    {22, 22, 22, 5, 5, 4, 0},
    {22, 23, 22, 6, 5, 4, 0},
    {22, 22, 22, 5, 5, 5, 12},  // 16 *
    {23, 23, 22, 6, 4, 6, 32},
    {23, 23, 22, 6, 3, 6, 64},
    {23, 24, 22, 7, 3, 7, 64},  // 19 *
    // up to 256 KB
    {18, 13, 14, 1, 6, 0, 0},
    {18, 14, 14, 1, 5, 0, 0},
    {18, 16, 16, 1, 4, 0, 0},
    {18, 16, 17, 2, 5, 1, 0},
    {18, 18, 18, 3, 5, 1, 0},
    {18, 18, 19, 3, 5, 2, 0},
    {18, 18, 19, 4, 4, 2, 0},
    {18, 18, 19, 4, 4, 3, 0},
    {18, 18, 19, 5, 4, 3, 0},
    {18, 18, 19, 6, 4, 3, 0},
    {18, 18, 19, 5, 4, 4, 0},
    {18, 18, 19, 6, 4, 4, 0},
    {18, 18, 19, 4, 4, 5, 4},  // 13 *
    {18, 18, 18, 4, 3, 5, 4},
    {18, 18, 18, 5, 3, 5, 8},
    {18, 18, 18, 6, 3, 6, 16},
    {18, 18, 18, 7, 3, 6, 32},
    {18, 18, 18, 8, 3, 6, 64},
    {18, 18, 18, 10, 3, 7, 128},
    // up to 128 KB
    {17, 12, 12, 1, 6, 0, 0},
    {17, 12, 13, 1, 5, 0, 0},
    {17, 13, 15, 1, 5, 0, 0},
    {17, 15, 16, 2, 5, 1, 0},
    {17, 17, 17, 2, 4, 1, 0},
    {17, 16, 17, 3, 4, 2, 0},
    {17, 17, 17, 3, 4, 2, 0},
    {17, 17, 17, 3, 4, 3, 0},
    {17, 17, 17, 5, 4, 3, 0},
    {17, 17, 17, 6, 4, 3, 0},
    {17, 17, 17, 5, 4, 4, 0},
    {17, 17, 17, 6, 4, 4, 0},
    {17, 17, 17, 7, 4, 4, 0},
    {17, 17, 17, 5, 4, 5, 4},
    {17, 17, 17, 6, 3, 5, 8},
    {17, 18, 17, 6, 3, 6, 16},
    {17, 18, 17, 7, 3, 6, 32},
    {17, 18, 17, 10, 3, 6, 128},  // 18 *
    {17, 18, 17, 10, 3, 7, 128},
    // up to 16 KB
    {14, 14, 15, 1, 5, 0, 0},  // 1 *
    {14, 14, 15, 1, 4, 0, 0},
    {14, 14, 15, 2, 4, 1, 0},
    {14, 14, 15, 3, 4, 2, 0},
    {14, 14, 15, 4, 4, 2, 0},
    {14, 14, 15, 4, 4, 3, 0},
    {14, 14, 15, 5, 4, 3, 0},
    {14, 14, 15, 6, 4, 3, 0},
    {14, 14, 15, 7, 4, 3, 0},
    {14, 14, 15, 8, 4, 3, 0},
    {14, 14, 15, 5, 4, 4, 0},
    {14, 14, 15, 6, 4, 4, 0},
    {14, 14, 15, 7, 4, 4, 0},
    {14, 15, 15, 5, 3, 5, 4},
    {14, 15, 15, 6, 3, 5, 8},
    {14, 15, 15, 6, 3, 6, 16},
    {14, 15, 15, 7, 3, 6, 32},
    {14, 15, 15, 8, 3, 6, 64},
    {14, 15, 15, 8, 3, 7, 64},  // 19 *
};

// The call's parameters and the sizes of the work area's parts (in 32-bit
// words for the tables, bytes for the rest).
struct Plan {
    Params p;
    bool splitter = false;
    uint64_t hash_words, chain_words, hash3_words, max_seqs, extra_words;
    uint64_t block_bytes;

    uint64_t total() const {
        return 4 * (hash_words + chain_words + hash3_words + 3 * max_seqs + extra_words + 3524) + 3 * max_seqs +
               block_bytes + 512;
    }
};

Plan plan(uint64_t n, int level) {
    int size_class = n <= 16384 ? 3 : n <= 131072 ? 2 : n <= 262144 ? 1 : 0;
    const uint8_t* row = LEVELS[size_class * 19 + level - 1];
    Plan pl;
    Params& p = pl.p;
    p = {row[0], row[1], row[2], row[3], row[4], row[5], uint32_t(row[6]) * 4};
    uint8_t src_log = uint8_t(n <= 64 ? 6 : 64 - __builtin_clzll(n - 1));
    pl.hash3_words = 0;
    if (p.strategy >= 4) {
        uint8_t s = std::min(src_log, p.window_log);
        p.hash_log = std::min<uint8_t>(p.hash_log, s + 1);
        p.chain_log = std::min<uint8_t>(p.chain_log, s + 1);
        if (p.min_match == 3 && p.strategy >= 5) pl.hash3_words = uint64_t(1) << std::min<uint8_t>(17, s);
        pl.splitter = p.strategy >= 5 && s >= 17;
    } else if (p.strategy >= 1) {
        p.hash_log = std::min(p.hash_log, src_log);
        p.chain_log = std::min(p.chain_log, std::min(src_log, p.window_log));
    } else {
        p.hash_log = std::min(p.hash_log, src_log);
        p.chain_log = std::min<uint8_t>(p.chain_log, src_log - 1);
    }
    pl.block_bytes = std::min<uint64_t>(n, BLOCK);
    pl.max_seqs = pl.block_bytes / (p.min_match >= 4 ? 4 : 3) + 2;
    pl.hash_words = uint64_t(1) << p.hash_log;
    pl.chain_words = uint64_t(1) << p.chain_log;
    pl.extra_words = 0;
    if (p.strategy >= 4) {
        pl.extra_words = 2 * ((uint64_t(1) << p.search_log) + 4);
        if (p.strategy >= 5) pl.extra_words += 33169;
        if (pl.splitter) pl.extra_words += pl.max_seqs;
    }
    return pl;
}

// The work area: on the stack when small, else whole OS pages, released
// when the call ends.
class WorkArea {
public:
    explicit WorkArea(uint64_t size) : size_(size) {
        if (size <= STACK_WORK) {
            bytes_ = stack_;
        } else if (size <= SIZE_MAX) {
            pages_ = platform::alloc_pages(size_t(size));
            bytes_ = static_cast<uint8_t*>(pages_);
        }
    }
    ~WorkArea() {
        if (pages_) platform::free_pages(pages_, size_t(size_));
    }
    WorkArea(const WorkArea&) = delete;
    WorkArea& operator=(const WorkArea&) = delete;
    uint8_t* bytes() const { return bytes_; }
    bool on_stack() const { return bytes_ == stack_; }

private:
    uint64_t size_;
    void* pages_ = nullptr;
    uint8_t* bytes_ = nullptr;
    alignas(64) uint8_t stack_[STACK_WORK];
};

void le(uint8_t*& o, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; i++) *o++ = uint8_t(v >> (8 * i));
}

void block_header(uint8_t*& o, bool last, int type, size_t size) { le(o, uint64_t(last) | uint64_t(type) << 1 | uint64_t(size) << 3, 3); }

bool all_equal(const uint8_t* p, size_t n) {
    for (size_t i = 1; i < n; i++)
        if (p[i] != p[0]) return false;
    return true;
}

// The room of a block's compressed form: it must save more than 1/64 of
// the block and the header's 3 bytes.
int64_t budget(size_t len) { return int64_t(len) - int64_t(len / 64) - 3; }

int compress(uint8_t* dst, int64_t* size, const uint8_t* src, int64_t n_signed, int level) {
    if (level < 1) level = 3;
    if (level > 19) level = 19;
    uint64_t n = uint64_t(n_signed < 0 ? 0 : n_signed);
    uint64_t blocks = std::max<uint64_t>(1, (n + BLOCK - 1) / BLOCK);
    int64_t bound = int64_t(3 * blocks + n + 10);
    if (!dst || *size < bound) {
        *size = bound;
        return workers::TOO_SMALL;
    }
    Plan pl = plan(n, level);
    const Params& p = pl.p;
    WorkArea area(pl.total());
    uint8_t* w = area.bytes();
    MatchState ms;
    ms.p = p;
    ms.base = src;
    ms.size = size_t(n);
    SeqStore store;
    uint8_t* codes = nullptr;
    void* entropy = nullptr;
    MatchFinder finder = finder_for(p.strategy);
    if (w) {
        uint32_t* words = reinterpret_cast<uint32_t*>(w);
        ms.hash_table = words;
        words += pl.hash_words;
        ms.chain_table = words;
        words += pl.chain_words;
        if (pl.hash3_words) {
            ms.hash3_table = words;
            ms.hash3_log = uint8_t(__builtin_ctzll(pl.hash3_words));
            words += pl.hash3_words;
        }
        if (area.on_stack()) std::fill(reinterpret_cast<uint32_t*>(w), words, 0u);
        store.seqs = reinterpret_cast<Sequence*>(words);
        store.capacity = size_t(pl.max_seqs);
        words += 3 * pl.max_seqs;
        ms.extra = reinterpret_cast<uint8_t*>(words);
        ms.extra_size = size_t(4 * pl.extra_words);
        words += pl.extra_words;
        entropy = words;
        words += 3524;
        codes = reinterpret_cast<uint8_t*>(words);
        store.literals = codes + 3 * pl.max_seqs;
    }

    uint8_t* o = dst;
    le(o, 0xFD2FB528, 4);
    if ((uint64_t(1) << p.window_log) < n) {
        *o++ = 0x80;
        *o++ = uint8_t((p.window_log - 10) << 3);
        le(o, n, 4);
    } else if (n <= 255) {
        *o++ = 0x20;
        *o++ = uint8_t(n);
    } else if (n <= 65791) {
        *o++ = 0x60;
        le(o, n - 256, 2);
    } else {
        *o++ = 0xA0;
        le(o, n, 4);
    }
    if (n == 0) block_header(o, true, 0, 0);
    Reps reps;
    // One block of `len` bytes from `from` (its sequences in `s`, or none):
    // compressed when that fits, else RLE when its bytes are all equal,
    // else stored; a block not compressed leaves the decoder's repeat
    // offsets as they were.
    auto write_block = [&](const SeqStore* s, const uint8_t* from, size_t len, bool last,
                           const Reps& began) {
        size_t written = 0;
        int64_t room = budget(len);
        if (s && room > 0) written = write_block_body(o + 3, size_t(room), *s, codes, entropy);
        if ((!written || written <= 24) && all_equal(from, len)) {
            block_header(o, last, 1, len);
            *o++ = *from;
            reps = began;
        } else if (!written) {
            block_header(o, last, 0, len);
            std::memcpy(o, from, len);
            o += len;
            reps = began;
        } else {
            block_header(o, last, 2, written);
            o += written;
        }
    };
    for (size_t pos = 0; pos < n; pos += BLOCK) {
        size_t len = std::min<size_t>(BLOCK, size_t(n) - pos);
        bool last = pos + len == n;
        Reps began = reps;
        if (!w || budget(len) <= 0) {
            write_block(nullptr, src + pos, len, last, began);
            continue;
        }
        SeqStore s = store;
        if (len >= 5) {
            finder(ms, pos, pos + len, reps, s);
        } else {
            s.literals = const_cast<uint8_t*>(src + pos);
            s.lit_count = len;
        }
        if (!pl.splitter || s.count < SPLIT_MIN_SEQUENCES) {
            write_block(&s, src + pos, len, last, began);
            continue;
        }
        // The splitter measures its candidates where the block will go.
        struct Measure {
            uint8_t* out;
            uint8_t* codes;
            void* entropy;
            static size_t size(void* ctx, const SeqStore& part, size_t part_len) {
                auto* m = static_cast<Measure*>(ctx);
                int64_t room = budget(part_len);
                if (room <= 0) return 0;
                return write_block_body(m->out, size_t(room), part, m->codes, m->entropy);
            }
        } measure{o + 3, codes, entropy};
        uint32_t* offsets = split_offsets(ms);
        assert(ms.extra_size >= 4 * (tree_extra_words(p) + s.count));
        uint32_t points[SPLIT_MAX_POINTS];
        size_t n_points = split_block(s, began, offsets, {Measure::size, &measure}, points);
        reps = began;
        size_t first = 0, lit = 0, at = pos;
        for (size_t i = 0; i <= n_points; i++) {
            size_t end = i < n_points ? points[i] : s.count;
            SeqStore part{s.seqs + first, end - first, end - first, s.literals + lit, 0};
            size_t bytes = 0;
            for (size_t k = first; k < end; k++) {
                part.lit_count += s.seqs[k].lit_len;
                bytes += s.seqs[k].match_len;
            }
            if (end == s.count) part.lit_count = s.lit_count - lit;
            bytes += part.lit_count;
            Reps start = reps;
            encode_partition(part.seqs, offsets + first, part.count, reps);
            write_block(&part, src + at, bytes, last && end == s.count, start);
            first = end, lit += part.lit_count, at += bytes;
        }
    }
    *size = int64_t(o - dst);
    return workers::DONE;
}

}  // namespace

uint32_t resolve_offset(Reps& reps, uint32_t off_value, uint32_t lit_len) {
    uint32_t* r = reps.rep;
    if (off_value > 3) {
        r[2] = r[1], r[1] = r[0], r[0] = off_value - 3;
        return r[0];
    }
    uint32_t index = off_value - 1 + (lit_len == 0);
    if (index == 0) return r[0];
    uint32_t offset = index == 3 ? r[0] - 1 : r[index];
    if (index != 1) r[2] = r[1];
    r[1] = r[0];
    r[0] = offset;
    return offset;
}

uint32_t encode_offset(Reps& reps, uint32_t offset, uint32_t lit_len) {
    const uint32_t* r = reps.rep;
    uint32_t value;
    if (lit_len) value = offset == r[0] ? 1 : offset == r[1] ? 2 : offset == r[2] ? 3 : offset + 3;
    else value = offset == r[1] ? 1 : offset == r[2] ? 2 : offset == r[0] - 1 ? 3 : offset + 3;
    resolve_offset(reps, value, lit_len);
    return value;
}

MatchFinder finder_for(int strategy) {
    switch (strategy) {
    case 0: return find_double_fast;
    case 1: return find_greedy;
    case 2: return find_lazy1;
    case 3: return find_lazy2;
    case 4: return find_tree_lazy2;
    default: return parse_optimal;
    }
}

size_t compressed_size(const Sequence* seqs, size_t n, const uint8_t* lits, size_t n_lits, size_t block_len,
                       uint8_t* scratch, size_t scratch_cap) {
    int64_t room = budget(block_len);
    if (room <= 0) return 0;
    auto aligned = reinterpret_cast<uint8_t*>((reinterpret_cast<uintptr_t>(scratch) + 7) & ~uintptr_t(7));
    size_t skip = size_t(aligned - scratch);
    if (scratch_cap < skip + compressed_size_scratch(n, block_len) - 8) return 0;
    uint8_t* codes = aligned + ENTROPY_WORK_BYTES;
    uint8_t* out = codes + 3 * n;
    SeqStore s;
    s.seqs = const_cast<Sequence*>(seqs);
    s.count = s.capacity = n;
    s.literals = const_cast<uint8_t*>(lits);
    s.lit_count = n_lits;
    return write_block_body(out, size_t(room), s, codes, aligned);
}

size_t compressed_size_scratch(size_t n, size_t block_len) { return 8 + ENTROPY_WORK_BYTES + 3 * n + block_len; }

}  // namespace zel::zstd::enc

namespace zel::zstd {

int compress(uint8_t* dst, int64_t* size, const uint8_t* src, int64_t n, int level) {
    return enc::compress(dst, size, src, n, level);
}

}  // namespace zel::zstd
