// The DEFLATE encoder: one lazy-matching pass over the whole input for
// every level, with a hash of 2^8 to 2^15 heads sized to the input, blocks
// of 16,384 symbols, each written stored, with the fixed code or with its
// own code, whichever its bit count makes smallest. Its bytes are fixed by
// these rules, so any change here changes what `compress` gives.
//
// Relies on: the shared DEFLATE tables, the length-limited code builder.
#include <algorithm>
#include <cstring>
#include <memory>

#include "os/deflate.h"
#include "os/deflate_tables.h"
#include "os/huffman_lengths.h"

namespace zel::deflate {

namespace {

struct Level {
    int good;   // a previous match this long quarters the chain walked
    int lazy;   // a previous match this long is taken without a search
    int nice;   // a match this long ends the search
    int chain;  // candidates compared at most
};
constexpr Level LEVELS[10] = {{8, 16, 128, 128},  {4, 4, 8, 4},       {4, 5, 16, 8},      {4, 6, 32, 32},
                              {4, 4, 16, 16},     {8, 16, 32, 32},    {8, 16, 128, 128},  {8, 32, 128, 256},
                              {32, 128, 258, 1024}, {32, 258, 258, 4096}};

constexpr int BLOCK_SYMBOLS = 16384;
constexpr int TOO_FAR = 4096;  // a match of 3 farther back costs more than its literals

struct LengthCodes {
    uint8_t code[256];  // by length - 3
    constexpr LengthCodes() : code() {
        for (int c = 0; c < 28; c++)
            for (int k = 0; k < (1 << LENGTH_EXTRA[c]); k++) code[LENGTH_BASE[c] - 3 + k] = uint8_t(c);
        code[MAX_MATCH - 3] = 28;  // 258 has a code of its own
    }
};
constexpr LengthCodes LENGTH_CODES;

int distance_code(uint32_t distance) {
    uint32_t x = distance - 1;
    if (x < 4) return int(x);
    int top = 31 - __builtin_clz(x);
    return 2 * top + int((x >> (top - 1)) & 1);
}

uint32_t reversed(uint32_t code, int length) {
    uint32_t r = 0;
    for (int i = 0; i < length; i++, code >>= 1) r = (r << 1) | (code & 1);
    return r;
}

// Bits least significant first; past the capacity bytes are counted but
// not written, so the caller learns the size needed.
class BitWriter {
public:
    BitWriter(uint8_t* dst, int64_t capacity) : dst_(dst), capacity_(capacity) {}

    void put(uint32_t bits, int count) {
        buffer_ |= uint64_t(bits) << count_;
        count_ += count;
        if (count_ >= 32) {
            if (written_ + 4 <= capacity_) {
                uint32_t word = uint32_t(buffer_);
                std::memcpy(dst_ + written_, &word, 4);
                written_ += 4;
            } else {
                for (int i = 0; i < 4; i++) byte(uint8_t(buffer_ >> (8 * i)));
            }
            buffer_ >>= 32;
            count_ -= 32;
        }
    }
    // Zero bits up to the next byte boundary, and every whole byte out.
    void align() {
        count_ = (count_ + 7) & ~7;
        for (; count_ > 0; count_ -= 8, buffer_ >>= 8) byte(uint8_t(buffer_));
        buffer_ = 0;
        count_ = 0;
    }
    void bytes(const uint8_t* p, int64_t n) {
        if (written_ < capacity_) std::memcpy(dst_ + written_, p, size_t(std::min(n, capacity_ - written_)));
        written_ += n;
    }
    int bit_in_byte() const { return count_ & 7; }
    int64_t written() const { return written_; }

private:
    void byte(uint8_t b) {
        if (written_ < capacity_) dst_[written_] = b;
        written_++;
    }
    uint8_t* dst_;
    int64_t capacity_, written_ = 0;
    uint64_t buffer_ = 0;
    int count_ = 0;
};

// The encoder's work area: hash heads and chain links as positions
// counted from 1 (0: none), the block's symbols and their frequencies.
struct Work {
    uint32_t head[WINDOW];
    uint32_t link[WINDOW];
    uint32_t symbols[BLOCK_SYMBOLS];
    uint32_t lit_freq[LITLEN_CODES];
    uint32_t dist_freq[DIST_CODES];
};

class Encoder {
public:
    Encoder(const uint8_t* src, int64_t n, int level, uint8_t* dst, int64_t capacity)
        : src_(src), n_(n), level_(LEVELS[level]), work_(new Work), out_(dst, capacity) {
        int bits = 8;
        while (bits < 15 && (int64_t(1) << bits) < n) bits++;
        mask_ = (1u << bits) - 1;
        std::memset(work_->head, 0, sizeof(uint32_t) << bits);
        clear_frequencies();
    }

    int64_t run() {
        // The rolling hash starts on the first two bytes, when there are two.
        uint32_t hash = n_ >= 2 ? uint32_t(src_[0]) << 5 ^ src_[1] : 0;
        int prev_length = MIN_MATCH - 1, prev_distance = 0;
        bool pending = false;
        int64_t p = 0;
        while (p < n_) {
            uint32_t candidate = p <= n_ - 3 ? insert(p, hash) : 0;
            int length = MIN_MATCH - 1, distance = 0;
            if (candidate && p - (candidate - 1) < WINDOW && prev_length < level_.lazy)
                search(p, candidate - 1, prev_length, &length, &distance);
            if (prev_length >= MIN_MATCH && length <= prev_length) {
                int64_t end = p - 1 + prev_length;
                emit_match(prev_length, prev_distance);
                for (int64_t q = p + 1; q < end; q++)
                    if (q <= n_ - 3) insert(q, hash);
                p = end;
                prev_length = MIN_MATCH - 1;
                pending = false;
            } else {
                if (pending) emit_literal(src_[p - 1]);
                pending = true;
                prev_length = length;
                prev_distance = distance;
                p++;
            }
        }
        if (pending) emit_literal(src_[n_ - 1]);
        write_block(true);
        out_.align();
        return out_.written();
    }

private:
    uint32_t insert(int64_t p, uint32_t& hash) {
        hash = ((hash << 5) ^ src_[p + 2]) & mask_;
        uint32_t candidate = work_->head[hash];
        work_->head[hash] = uint32_t(p + 1);
        work_->link[p & (WINDOW - 1)] = candidate;
        return candidate;
    }

    // The longest match at p along the chain from `c`, when longer than the
    // previous position's match; a length of 3 too far back is no match.
    void search(int64_t p, int64_t c, int prev_length, int* length, int* distance) {
        int best = prev_length;
        const int most = int(std::min<int64_t>(MAX_MATCH, n_ - p));
        if (best >= most) return;
        const int nice = std::min(level_.nice, most);
        int chain = prev_length >= level_.good ? level_.chain >> 2 : level_.chain;
        const uint8_t* s = src_ + p;
        int found = 0, found_distance = 0;
        for (;;) {
            const uint8_t* m = src_ + c;
            if (m[best] == s[best] && m[best - 1] == s[best - 1] && m[0] == s[0] && m[1] == s[1]) {
                int run = 2;
                while (run < most && m[run] == s[run]) run++;
                if (run > best) {
                    best = found = run;
                    found_distance = int(p - c);
                    if (run >= nice) break;
                }
            }
            uint32_t next = work_->link[c & (WINDOW - 1)];
            if (--chain == 0 || next == 0 || p - (next - 1) >= WINDOW) break;
            c = next - 1;
        }
        if (found == MIN_MATCH && found_distance > TOO_FAR) found = 0;
        if (found) {
            *length = found;
            *distance = found_distance;
        }
    }

    void emit_literal(uint8_t byte) {
        work_->symbols[count_++] = byte;
        work_->lit_freq[byte]++;
        covered_++;
        if (count_ == BLOCK_SYMBOLS) write_block(false);
    }

    void emit_match(int length, int distance) {
        work_->symbols[count_++] = uint32_t(distance) << 8 | uint32_t(length - MIN_MATCH);
        work_->lit_freq[END_OF_BLOCK + 1 + LENGTH_CODES.code[length - MIN_MATCH]]++;
        work_->dist_freq[distance_code(uint32_t(distance))]++;
        covered_ += length;
        if (count_ == BLOCK_SYMBOLS) write_block(false);
    }

    void clear_frequencies() {
        std::memset(work_->lit_freq, 0, sizeof work_->lit_freq);
        std::memset(work_->dist_freq, 0, sizeof work_->dist_freq);
    }

    // The code-length sequence of one alphabet, run-length coded: zero runs
    // by 17 and 18, repeats of a length by 16 after the length itself.
    struct LengthRuns {
        uint8_t symbol[LITLEN_CODES + DIST_CODES];
        uint8_t extra[LITLEN_CODES + DIST_CODES];
        int count = 0;
        uint32_t freq[CODELEN_CODES] = {};

        void add(int symbol_, int extra_) {
            symbol[count] = uint8_t(symbol_);
            extra[count++] = uint8_t(extra_);
            freq[symbol_]++;
        }
        void scan(const uint8_t* lengths, int n) {
            int prev = -1, next = lengths[0], run = 0;
            int most = next ? 7 : 138, least = next ? 4 : 3;
            for (int i = 0; i < n; i++) {
                int cur = next;
                next = i + 1 < n ? lengths[i + 1] : -1;
                if (++run < most && cur == next) continue;
                if (run < least) {
                    for (; run > 0; run--) add(cur, 0);
                } else if (cur != 0) {
                    if (cur != prev) {
                        add(cur, 0);
                        run--;
                    }
                    add(16, run - 3);
                } else if (run <= 10) {
                    add(17, run - 3);
                } else {
                    add(18, run - 11);
                }
                run = 0;
                prev = cur;
                if (next == 0) {
                    most = 138;
                    least = 3;
                } else if (cur == next) {
                    most = 6;
                    least = 3;
                } else {
                    most = 7;
                    least = 4;
                }
            }
        }
    };

    void write_block(bool final) {
        Work& w = *work_;
        w.lit_freq[END_OF_BLOCK] = 1;
        uint8_t lit_len[LITLEN_CODES], dist_len[DIST_CODES], cl_len[CODELEN_CODES];
        huffman::build_lengths(w.lit_freq, LITLEN_CODES, 15, lit_len);
        huffman::build_lengths(w.dist_freq, DIST_CODES, 15, dist_len);
        int hlit = LITLEN_CODES, hdist = DIST_CODES;
        while (hlit > 257 && !lit_len[hlit - 1]) hlit--;
        while (hdist > 1 && !dist_len[hdist - 1]) hdist--;
        LengthRuns runs;
        runs.scan(lit_len, hlit);
        runs.scan(dist_len, hdist);
        huffman::build_lengths(runs.freq, CODELEN_CODES, 7, cl_len);
        int hclen = CODELEN_CODES;
        while (hclen > 4 && !cl_len[CODELEN_ORDER[hclen - 1]]) hclen--;

        uint64_t extra = 0, dynamic = 3 * uint64_t(hclen) + 17, fixed = 3;
        for (int c = 0; c < CODELEN_CODES; c++) dynamic += uint64_t(runs.freq[c]) * cl_len[c];
        dynamic += 2 * uint64_t(runs.freq[16]) + 3 * uint64_t(runs.freq[17]) + 7 * uint64_t(runs.freq[18]);
        for (int s = 0; s < LITLEN_CODES; s++) {
            dynamic += uint64_t(w.lit_freq[s]) * lit_len[s];
            fixed += uint64_t(w.lit_freq[s]) * uint64_t(fixed_length(s));
            if (s > END_OF_BLOCK) extra += uint64_t(w.lit_freq[s]) * LENGTH_EXTRA[s - END_OF_BLOCK - 1];
        }
        for (int d = 0; d < DIST_CODES; d++) {
            dynamic += uint64_t(w.dist_freq[d]) * dist_len[d];
            fixed += uint64_t(w.dist_freq[d]) * 5;
            extra += uint64_t(w.dist_freq[d]) * DIST_EXTRA[d];
        }
        dynamic += extra;
        fixed += extra;
        const int64_t bytes = covered_ - block_start_;
        const int64_t pieces = std::max<int64_t>(1, (bytes + MAX_STORED - 1) / MAX_STORED);
        const int bit = out_.bit_in_byte();
        const uint64_t header = uint64_t(((bit + 3 + 7) & ~7) - bit);
        const uint64_t stored = uint64_t(pieces) * 40 + header + 32 + 8 * uint64_t(bytes) - 40;

        if (fixed >= stored && dynamic >= stored) {
            write_stored(final, bytes);
        } else if (dynamic < fixed) {
            out_.put(final, 1);
            out_.put(2, 2);
            out_.put(uint32_t(hlit - 257), 5);
            out_.put(uint32_t(hdist - 1), 5);
            out_.put(uint32_t(hclen - 4), 4);
            for (int i = 0; i < hclen; i++) out_.put(cl_len[CODELEN_ORDER[i]], 3);
            uint16_t cl_code[CODELEN_CODES];
            reverse_codes(cl_len, CODELEN_CODES, cl_code);
            for (int i = 0; i < runs.count; i++) {
                int s = runs.symbol[i];
                out_.put(cl_code[s], cl_len[s]);
                if (s >= 16) out_.put(runs.extra[i], s == 16 ? 2 : s == 17 ? 3 : 7);
            }
            uint16_t lit_code[LITLEN_CODES], dist_code[DIST_CODES];
            reverse_codes(lit_len, LITLEN_CODES, lit_code);
            reverse_codes(dist_len, DIST_CODES, dist_code);
            write_symbols(lit_code, lit_len, dist_code, dist_len);
        } else {
            out_.put(final, 1);
            out_.put(1, 2);
            write_symbols(FIXED.lit_code, FIXED.lit_len, FIXED.dist_code, FIXED.dist_len);
        }
        count_ = 0;
        block_start_ = covered_;
        clear_frequencies();
    }

    void write_stored(bool final, int64_t bytes) {
        const uint8_t* p = src_ + block_start_;
        do {
            const int64_t piece = std::min<int64_t>(bytes, MAX_STORED);
            bytes -= piece;
            out_.put(final && bytes == 0, 1);
            out_.put(0, 2);
            out_.align();
            out_.put(uint32_t(piece), 16);
            out_.put(uint32_t(~piece) & 0xFFFF, 16);
            out_.align();
            out_.bytes(p, piece);
            p += piece;
        } while (bytes > 0);
    }

    void write_symbols(const uint16_t* lit_code, const uint8_t* lit_len, const uint16_t* dist_code,
                       const uint8_t* dist_len) {
        for (int i = 0; i < count_; i++) {
            uint32_t s = work_->symbols[i];
            if (s < 256) {
                out_.put(lit_code[s], lit_len[s]);
                continue;
            }
            int length = int(s & 255), distance = int(s >> 8);
            int lc = LENGTH_CODES.code[length];
            out_.put(lit_code[END_OF_BLOCK + 1 + lc], lit_len[END_OF_BLOCK + 1 + lc]);
            out_.put(uint32_t(length + MIN_MATCH - LENGTH_BASE[lc]), LENGTH_EXTRA[lc]);
            int dc = distance_code(uint32_t(distance));
            out_.put(dist_code[dc], dist_len[dc]);
            out_.put(uint32_t(distance - DIST_BASE[dc]), DIST_EXTRA[dc]);
        }
        out_.put(lit_code[END_OF_BLOCK], lit_len[END_OF_BLOCK]);
    }

    static void reverse_codes(const uint8_t* lengths, int n, uint16_t* codes) {
        huffman::canonical_codes(lengths, n, codes);
        for (int s = 0; s < n; s++) codes[s] = uint16_t(reversed(codes[s], lengths[s]));
    }

    struct FixedCode {
        uint8_t lit_len[288], dist_len[DIST_CODES];
        uint16_t lit_code[288], dist_code[DIST_CODES];
        FixedCode() {
            for (int s = 0; s < 288; s++) lit_len[s] = uint8_t(fixed_length(s));
            for (int d = 0; d < DIST_CODES; d++) dist_len[d] = 5;
            reverse_codes(lit_len, 288, lit_code);
            reverse_codes(dist_len, DIST_CODES, dist_code);
        }
    };
    static const FixedCode FIXED;

    const uint8_t* src_;
    int64_t n_;
    Level level_;
    std::unique_ptr<Work> work_;
    BitWriter out_;
    uint32_t mask_;
    int count_ = 0;
    int64_t covered_ = 0, block_start_ = 0;
};

const Encoder::FixedCode Encoder::FIXED;

}  // namespace

int compress(uint8_t* dst, int64_t* size, const uint8_t* src, int64_t n, int level) {
    if (level < 1) level = 6;
    if (level > 9) level = 9;
    const int64_t capacity = dst ? *size : 0;
    Encoder encoder(src, n, level, dst, capacity);
    *size = encoder.run();
    return *size > capacity ? 1 : 0;
}

}  // namespace zel::deflate
