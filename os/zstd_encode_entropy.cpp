// The zstd encoder's entropy stage: a block's literals section (raw, RLE or
// Huffman with one or four streams) and its sequences section (three FSE
// tables, each RLE, predefined or described, and the sequences written
// backwards so that the decoder reads them forwards).
#include <algorithm>

#include "os/huffman_lengths.h"
#include "os/zstd_encode_entropy.h"

namespace zel::zstd::enc {

namespace {

constexpr int LL_MAX = 35, ML_MAX = 52, OF_MAX = 31;
constexpr int FSE_MAX_LOG = 9;
constexpr int LL_MAX_LOG = 9, OF_MAX_LOG = 8, ML_MAX_LOG = 9, WEIGHT_MAX_LOG = 6;
constexpr int HUF_MAX_LEN = 11;
// Rounding thresholds (in 1/1024) of the small normalized counts.
constexpr uint32_t RAISE[8] = {0, 462, 492, 508, 537, 683, 732, 810};

// Per symbol: the state count where one bit more is written, the bits then
// written, and where its states start in `next`.
struct FseSym {
    int32_t delta;  // start - count: (state >> bits) + delta indexes `next`
    uint32_t min_state_plus;
    uint16_t max_bits;
    uint16_t start;
};

// An encoding table: states run from 2^log to 2^(log+1) - 1.
struct FseTable {
    int log;
    uint16_t next[1 << FSE_MAX_LOG];
    FseSym sym[ML_MAX + 1];
};

struct Work {
    uint32_t lit_count[256];
    uint8_t lengths[256];
    uint16_t codes[256];
    uint8_t weights[256];
    uint32_t count[ML_MAX + 1];
    int16_t norm[ML_MAX + 1];
    uint8_t spread[1 << FSE_MAX_LOG];
    FseTable table[3];  // literal lengths, offsets, match lengths; first the weights' table
};
static_assert(sizeof(Work) <= ENTROPY_WORK_BYTES, "the entropy stage's tables outgrow their room");

void build_table(FseTable& t, const int16_t* norm, int max_sym, int log, uint8_t* spread) {
    uint32_t size = 1u << log, mask = size - 1, high = size - 1;
    for (int s = 0; s <= max_sym; s++)
        if (norm[s] == -1) spread[high--] = uint8_t(s);
    uint32_t pos = 0, step = (size >> 1) + (size >> 3) + 3;
    for (int s = 0; s <= max_sym; s++)
        for (int i = 0; i < norm[s]; i++) {
            spread[pos] = uint8_t(s);
            do pos = (pos + step) & mask;
            while (pos > high);
        }
    uint16_t fill[ML_MAX + 1];
    uint32_t start = 0;
    for (int s = 0; s <= max_sym; s++) {
        uint32_t c = norm[s] == -1 ? 1 : uint32_t(norm[s]);
        fill[s] = uint16_t(start);
        FseSym& e = t.sym[s];
        e.start = uint16_t(start);
        e.delta = int32_t(start) - int32_t(c);
        e.max_bits = uint16_t(c > 1 ? log - hb(c - 1) : log);
        e.min_state_plus = c << e.max_bits;
        start += c;
    }
    // The decoder hands out a symbol's states in table order, counting from
    // its normalized count: the encoder's `next` follows that order.
    for (uint32_t u = 0; u < size; u++) t.next[fill[spread[u]]++] = uint16_t(size + u);
    t.log = log;
}

struct FseState {
    uint32_t x;
    const FseTable* t;

    void init(const FseTable& table, int sym) {
        t = &table;
        x = table.next[table.sym[sym].start];
    }
    void encode(BitWriter& w, int sym) {
        const FseSym& e = t->sym[sym];
        uint32_t k = e.max_bits - (x < e.min_state_plus);
        w.add(x & ((1u << k) - 1), k);
        x = t->next[int32_t(x >> k) + e.delta];
    }
    void finish(BitWriter& w) const { w.add(x & ((1u << t->log) - 1), unsigned(t->log)); }
};

int accuracy_log(uint32_t total, int max_code, int max_log) {
    int log = std::max(std::min(max_log, hb(total - 1) - 2), std::min(hb(uint32_t(std::max(max_code, 1))) + 2, hb(total) + 1));
    return std::max(log, 5);
}

// Normalized counts summing to 2^log; every code seen gets at least 1.
void normalize(int16_t* norm, const uint32_t* count, int max_sym, uint32_t total, int log) {
    int32_t size = 1 << log;
    uint32_t low = total >> log;
    int32_t sum = 0;
    int largest = -1, seen = 0;
    for (int s = 0; s <= max_sym; s++) {
        uint32_t f = count[s];
        norm[s] = 0;
        if (!f) continue;
        seen++;
        int32_t g = 1;
        if (f > low) {
            uint64_t scaled = uint64_t(f) << log;
            g = int32_t(scaled / total);
            if (g < 8 && uint64_t(total) * RAISE[g] < 1024 * (scaled % total)) g++;
        }
        norm[s] = int16_t(g);
        sum += g;
        if (largest < 0 || g > norm[largest]) largest = s;
    }
    int32_t diff = size - sum;
    if (diff >= 0 || -2 * diff < norm[largest]) {
        norm[largest] = int16_t(norm[largest] + diff);
        return;
    }
    sum = 0;
    largest = -1;
    for (int s = 0; s <= max_sym; s++) {
        if (!count[s]) continue;
        int32_t g = int32_t(uint64_t(size - seen) * count[s] / total) + 1;
        norm[s] = int16_t(g);
        sum += g;
        if (largest < 0 || g > norm[largest]) largest = s;
    }
    norm[largest] = int16_t(norm[largest] + size - sum);
}

// The table description (RFC 8878 section 4.1.1): a forward bit stream.
void write_description(BitWriter& w, const int16_t* norm, int max_sym, int log) {
    w.add(uint32_t(log - 5), 4);
    int32_t remaining = (1 << log) + 1, threshold = 1 << log;
    int bits = log + 1, s = 0;
    while (remaining > 1 && s <= max_sym) {
        int32_t count = norm[s++];
        int32_t value = count + 1, max = 2 * threshold - 1 - remaining;
        if (value < max) w.add(uint32_t(value), unsigned(bits - 1));
        else if (value < threshold) w.add(uint32_t(value), unsigned(bits));
        else w.add(uint32_t(value + max), unsigned(bits));
        remaining -= count < 0 ? -count : count;
        while (remaining < threshold) {
            bits--;
            threshold >>= 1;
        }
        w.flush();
        if (count == 0) {
            int zeros = 0;
            while (s + zeros <= max_sym && norm[s + zeros] == 0) zeros++;
            s += zeros;
            for (; zeros >= 3; zeros -= 3) {
                w.add(3, 2);
                w.flush();
            }
            w.add(uint32_t(zeros), 2);
        }
    }
    w.finish();
}

// ---- Literals --------------------------------------------------------------------------------

// The header of a raw or RLE literals section: its size.
size_t plain_header(uint8_t* dst, int type, size_t n) {
    if (n <= 31) {
        dst[0] = uint8_t(type | n << 3);
        return 1;
    }
    if (n <= 4095) {
        uint32_t h = uint32_t(type | 1 << 2 | n << 4);
        dst[0] = uint8_t(h), dst[1] = uint8_t(h >> 8);
        return 2;
    }
    uint32_t h = uint32_t(type | 3 << 2 | n << 4);
    dst[0] = uint8_t(h), dst[1] = uint8_t(h >> 8), dst[2] = uint8_t(h >> 16);
    return 3;
}

size_t plain_header_size(size_t n) { return n <= 31 ? 1 : n <= 4095 ? 2 : 3; }

size_t raw_literals(uint8_t* dst, size_t room, const uint8_t* lits, size_t n) {
    size_t h = plain_header_size(n);
    if (h + n > room) return 0;
    plain_header(dst, 0, n);
    if (n) std::memcpy(dst + h, lits, n);
    return h + n;
}

// The Huffman weights of the symbols below the last one present, FSE-coded
// with two interleaved states: the size of the description (header byte
// included), 0 when this form cannot carry them.
size_t fse_weights(uint8_t* out, const uint8_t* weights, int n, Work& w) {
    if (n < 2) return 0;
    uint32_t* count = w.count;
    std::fill(count, count + HUF_MAX_LEN + 2, 0u);
    int max_w = 0, distinct = 0;
    for (int i = 0; i < n; i++) {
        if (!count[weights[i]]++) distinct++;
        max_w = std::max(max_w, int(weights[i]));
    }
    // One weight value alone leaves the decoder no bits to stop on.
    if (distinct < 2) return 0;
    int log = accuracy_log(uint32_t(n), max_w, WEIGHT_MAX_LOG);
    normalize(w.norm, count, max_w, uint32_t(n), log);
    FseTable& t = w.table[0];
    build_table(t, w.norm, max_w, log, w.spread);
    BitWriter head(out + 1, out + 128);
    write_description(head, w.norm, max_w, log);
    BitWriter bits(head.p, out + 128);
    // The decoder stops when the state of the last weight but one asks
    // for bits the stream no longer has: its first state always does.
    FseState st[2];
    st[(n - 1) & 1].init(t, weights[n - 1]);
    st[(n - 2) & 1].init(t, weights[n - 2]);
    for (int i = n - 3; i >= 0; i--) {
        st[i & 1].encode(bits, weights[i]);
        bits.flush();
    }
    st[1].finish(bits);
    st[0].finish(bits);
    bits.close();
    if (head.over || bits.over) return 0;
    size_t total = size_t(bits.p - (out + 1));
    out[0] = uint8_t(total);
    return total + 1;
}

// A Huffman stream of lits[from, to): written last to first.
size_t huffman_stream(uint8_t* dst, uint8_t* end, const uint8_t* lits, size_t from, size_t to, const Work& w) {
    BitWriter b(dst, end);
    size_t i = to;
    while (i - from >= 4) {
        for (int k = 0; k < 4; k++) {
            uint8_t c = lits[--i];
            b.add(w.codes[c], w.lengths[c]);
        }
        b.flush();
    }
    while (i > from) {
        uint8_t c = lits[--i];
        b.add(w.codes[c], w.lengths[c]);
    }
    size_t n = b.close();
    return b.over ? 0 : n;
}

size_t huffman_literals(uint8_t* dst, size_t room, const uint8_t* lits, size_t n, int k, Work& w) {
    size_t header = n <= 1023 ? 3 : n <= 16383 ? 4 : 5;
    int limit = std::max(std::min(HUF_MAX_LEN, hb(uint32_t(n - 1)) - 1), std::min(hb(uint32_t(n)) + 1, hb(uint32_t(k - 1)) + 2));
    huffman::build_lengths(w.lit_count, k, limit, w.lengths);
    int max_len = 0;
    uint64_t total_bits = 0;
    for (int s = 0; s < k; s++) {
        max_len = std::max(max_len, int(w.lengths[s]));
        total_bits += uint64_t(w.lengths[s]) * w.lit_count[s];
    }
    for (int s = 0; s < k; s++) w.weights[s] = uint8_t(w.lengths[s] ? max_len - w.lengths[s] + 1 : 0);
    // Codes by weight, then symbol: the lightest take the lowest slots.
    uint32_t slot = 0;
    for (int weight = 1; weight <= max_len; weight++)
        for (int s = 0; s < k; s++)
            if (w.weights[s] == weight) {
                w.codes[s] = uint16_t(slot >> (weight - 1));
                slot += 1u << (weight - 1);
            }
    // The weights: FSE-coded when that is possible and shorter, else 4 bits each.
    int n_weights = k - 1;
    uint8_t fse[136];
    size_t fse_size = fse_weights(fse, w.weights, n_weights, w);
    size_t direct_size = n_weights <= 128 ? size_t(1 + (n_weights + 1) / 2) : 0;
    size_t desc = fse_size && (!direct_size || fse_size < direct_size) ? fse_size : direct_size;
    if (!desc) return 0;
    bool four = n > 255;
    size_t estimate = desc + total_bits / 8 + 1 + (four ? 9 : 0);
    if (estimate >= n - n / 64 - 2 || header + estimate > room) return 0;
    uint8_t* end = dst + room;
    uint8_t* p = dst + header;
    if (desc == fse_size) {
        std::memcpy(p, fse, fse_size);
    } else {
        p[0] = uint8_t(127 + n_weights);
        for (int i = 0; i < n_weights; i += 2)
            p[1 + i / 2] = uint8_t(w.weights[i] << 4 | (i + 1 < n_weights ? w.weights[i + 1] : 0));
    }
    p += desc;
    if (!four) {
        size_t s = huffman_stream(p, end, lits, 0, n, w);
        if (!s) return 0;
        p += s;
    } else {
        if (end - p < 6) return 0;
        uint8_t* jump = p;
        p += 6;
        size_t seg = (n + 3) / 4;
        for (int i = 0; i < 4; i++) {
            size_t from = seg * size_t(i), to = i == 3 ? n : from + seg;
            size_t s = huffman_stream(p, end, lits, from, to, w);
            if (!s || s > 65535) return 0;
            if (i < 3) jump[2 * i] = uint8_t(s), jump[2 * i + 1] = uint8_t(s >> 8);
            p += s;
        }
    }
    uint64_t compressed = uint64_t(p - dst) - header;
    unsigned field = header == 3 ? 10 : header == 4 ? 14 : 18;
    if (compressed >= (uint64_t(1) << field)) return 0;
    uint64_t h = 2 | uint64_t(header == 3 ? (four ? 1 : 0) : header == 4 ? 2 : 3) << 2 | uint64_t(n) << 4 |
                 compressed << (4 + field);
    for (size_t i = 0; i < header; i++) dst[i] = uint8_t(h >> (8 * i));
    return size_t(p - dst);
}

size_t write_literals(uint8_t* dst, size_t room, const uint8_t* lits, size_t n, Work& w) {
    if (n <= 63) return raw_literals(dst, room, lits, n);
    uint32_t* count = w.lit_count;
    std::fill(count, count + 256, 0u);
    for (size_t i = 0; i < n; i++) count[lits[i]]++;
    int k = 256;
    while (!count[k - 1]) k--;
    uint32_t most = *std::max_element(count, count + k);
    if (most == n) {
        size_t h = plain_header_size(n);
        if (h + 1 > room) return 0;
        plain_header(dst, 1, n);
        dst[h] = lits[0];
        return h + 1;
    }
    size_t header = n <= 1023 ? 3 : n <= 16383 ? 4 : 5;
    if (most > n / 128 + 4 && room > header + 140)
        if (size_t s = huffman_literals(dst, room, lits, n, k, w)) return s;
    return raw_literals(dst, room, lits, n);
}

// ---- Sequences -------------------------------------------------------------------------------

enum Mode { PREDEFINED = 0, RLE = 1, COMPRESSED = 2 };

struct TableKind {
    const int16_t* defaults;
    int default_max;
    int default_log;
    int max_log;
};
const TableKind KINDS[3] = {{LL_DEFAULT, 35, LL_DEFAULT_LOG, LL_MAX_LOG},
                            {OF_DEFAULT, 28, OF_DEFAULT_LOG, OF_MAX_LOG},
                            {ML_DEFAULT, 52, ML_DEFAULT_LOG, ML_MAX_LOG}};

// Chooses and writes one table's mode and description; 0 when out of room.
bool prepare_table(int kind, const uint8_t* codes, size_t n, uint8_t*& p, uint8_t* end, int& mode, Work& w) {
    const TableKind& t = KINDS[kind];
    uint32_t* count = w.count;
    std::fill(count, count + ML_MAX + 1, 0u);
    int max_code = 0;
    for (size_t i = 0; i < n; i++) {
        count[codes[i]]++;
        max_code = std::max(max_code, int(codes[i]));
    }
    uint32_t most = *std::max_element(count, count + max_code + 1);
    bool fits_default = max_code <= t.default_max;
    FseTable& table = w.table[kind];
    if (most == n && (n > 2 || !fits_default)) {
        if (p == end) return false;
        *p++ = uint8_t(max_code);
        mode = RLE;
        w.norm[max_code] = 1;
        for (int s = 0; s < max_code; s++) w.norm[s] = 0;
        build_table(table, w.norm, max_code, 0, w.spread);
        return true;
    }
    bool small = n < (size_t(1) << t.default_log) || most < (n >> (t.default_log - 1));
    if (fits_default && (small || end - p < 128)) {
        mode = PREDEFINED;
        build_table(table, t.defaults, t.default_max, t.default_log, w.spread);
        return true;
    }
    int log = accuracy_log(uint32_t(n), max_code, t.max_log);
    normalize(w.norm, count, max_code, uint32_t(n), log);
    BitWriter b(p, end);
    write_description(b, w.norm, max_code, log);
    if (b.over) return false;
    p = b.p;
    mode = COMPRESSED;
    build_table(table, w.norm, max_code, log, w.spread);
    return true;
}

size_t write_sequences(uint8_t* dst, uint8_t* end, const SeqStore& store, uint8_t* codes, Work& w) {
    size_t n = store.count;
    uint8_t* p = dst;
    if (end - p < 4) return 0;
    if (n < 128) {
        *p++ = uint8_t(n);
    } else if (n < 0x7F00) {
        *p++ = uint8_t((n >> 8) + 128);
        *p++ = uint8_t(n);
    } else {
        *p++ = 0xFF;
        *p++ = uint8_t(n - 0x7F00);
        *p++ = uint8_t((n - 0x7F00) >> 8);
    }
    if (!n) return size_t(p - dst);
    uint8_t *ll = codes, *of = codes + n, *ml = codes + 2 * n;
    const Sequence* seqs = store.seqs;
    for (size_t i = 0; i < n; i++) {
        ll[i] = ll_code(seqs[i].lit_len);
        of[i] = uint8_t(hb(seqs[i].off_value));
        ml[i] = ml_code(seqs[i].match_len);
    }
    uint8_t* modes = p++;
    int mode[3];
    if (!prepare_table(0, ll, n, p, end, mode[0], w) || !prepare_table(1, of, n, p, end, mode[1], w) ||
        !prepare_table(2, ml, n, p, end, mode[2], w))
        return 0;
    *modes = uint8_t(mode[0] << 6 | mode[1] << 4 | mode[2] << 2);
    BitWriter b(p, end);
    FseState s_ll, s_of, s_ml;
    size_t last = n - 1;
    s_ll.init(w.table[0], ll[last]);
    s_of.init(w.table[1], of[last]);
    s_ml.init(w.table[2], ml[last]);
    auto extra = [&](size_t i) {
        const Sequence& q = seqs[i];
        b.add(q.lit_len - LL_BASE[ll[i]], LL_BITS[ll[i]]);
        b.add(q.match_len - ML_BASE[ml[i]], ML_BITS[ml[i]]);
        b.flush();
        b.add(q.off_value - (1u << of[i]), of[i]);
        b.flush();
    };
    extra(last);
    for (size_t i = last; i-- > 0;) {
        s_of.encode(b, of[i]);
        s_ml.encode(b, ml[i]);
        s_ll.encode(b, ll[i]);
        b.flush();
        extra(i);
    }
    s_ml.finish(b);
    s_of.finish(b);
    s_ll.finish(b);
    b.close();
    if (b.over) return 0;
    return size_t(b.p - dst);
}

}  // namespace

size_t write_block_body(uint8_t* dst, size_t cap, const SeqStore& store, uint8_t* codes, void* work) {
    Work& w = *static_cast<Work*>(work);
    if (cap < 2) return 0;
    size_t lits = write_literals(dst, cap - 1, store.literals, store.lit_count, w);
    if (!lits) return 0;
    size_t seqs = write_sequences(dst + lits, dst + cap, store, codes, w);
    return seqs ? lits + seqs : 0;
}

}  // namespace zel::zstd::enc
