// The zstd decoder: one frame walker run in three modes. Writing fills the
// destination; sizing adds up the content sizes frames declare (walking
// their block headers only) and counts the others; counting decodes every
// frame and writes nothing. All positions and sizes are 64-bit; a bad input
// of any shape ends in the corrupt code.
#include <cstring>

#include "os/workers.h"
#include "os/xxhash64.h"
#include "os/zstd.h"
#include "os/zstd_tables.h"

namespace zel::zstd {

namespace {

using workers::CORRUPT;
using workers::DONE;
using workers::TOO_SMALL;

constexpr uint32_t FRAME_MAGIC = 0xFD2FB528;
constexpr uint32_t SKIPPABLE_MAGIC = 0x184D2A50;  // to 0x184D2A5F
constexpr int64_t BLOCK_MAX = 128 * 1024;
constexpr int64_t UNLIMITED = INT64_MAX;
// The largest output a measuring pass counts: sizes are 32-bit counts.
constexpr int64_t COUNT_MAX = INT32_MAX;
// Totals the sizes frames declare may reach before they are checked by
// counting: below 16 MB and below 32 times the input.
constexpr int64_t TRUSTED_TOTAL = int64_t(1) << 24;

constexpr int LL_MAX_LOG = 9, OF_MAX_LOG = 8, ML_MAX_LOG = 9;
constexpr int LL_MAX_CODE = 35, ML_MAX_CODE = 52, OF_MAX_CODE = 31;
constexpr int HUF_MAX_BITS = 12;

enum Mode { WRITE, SIZE, COUNT };

struct Fail {
    int code;
};

[[noreturn]] void fail(int code = CORRUPT) { throw Fail{code}; }

uint32_t le16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t le24(const uint8_t* p) { return le16(p) | uint32_t(p[2]) << 16; }
uint32_t le32(const uint8_t* p) { return le16(p) | le16(p + 2) << 16; }

int high_bit(uint64_t x) { return 63 - __builtin_clzll(x); }

// ---- Bit streams ---------------------------------------------------------------------------

// A forward stream, least significant bit first (FSE table descriptions).
// Bits past the end read as zeros; the caller checks how many it used.
struct ForwardBits {
    const uint8_t* p;
    int64_t len;
    int64_t bit = 0;

    uint32_t peek(int n) const {
        uint64_t v = 0;
        int64_t byte = bit >> 3;
        for (int i = 0; i < 5; i++)
            if (byte + i < len) v |= uint64_t(p[byte + i]) << (8 * i);
        return uint32_t(v >> (bit & 7)) & ((1u << n) - 1);
    }
    void skip(int n) { bit += n; }
    int64_t bytes_used() const { return (bit + 7) >> 3; }
};

// A backward stream (Huffman streams, FSE-coded weights and sequences):
// read from its end, behind the padding bit of its last byte. `bit` counts
// the bits still unread; reading past the start gives zeros and leaves it
// negative, which the callers treat as corrupt where it matters.
struct BackBits {
    const uint8_t* p;
    int64_t len;
    int64_t bit;

    BackBits(const uint8_t* data, int64_t n) : p(data), len(n) {
        if (n < 1 || data[n - 1] == 0) fail();
        bit = (n - 1) * 8 + high_bit(data[n - 1]);
    }
    // The n bits (n <= 56) starting at bit position `at`, zeros outside.
    uint64_t bits_at(int64_t at, int n) const {
        if (n == 0) return 0;
        if (at < 0) {
            if (n + at <= 0) return 0;
            return bits_at(0, int(n + at)) << -at;
        }
        int64_t byte = at >> 3;
        uint64_t v;
        if (byte + 8 <= len) {
            std::memcpy(&v, p + byte, 8);
        } else {
            v = 0;
            for (int i = 0; byte + i < len && i < 8; i++) v |= uint64_t(p[byte + i]) << (8 * i);
        }
        return (v >> (at & 7)) & ((uint64_t(1) << n) - 1);
    }
    uint64_t read(int n) {
        bit -= n;
        return bits_at(bit, n);
    }
    // The next n bits without using them (a Huffman look-up).
    uint32_t peek(int n) const { return uint32_t(bits_at(bit - n, n)); }
};

// ---- FSE tables ----------------------------------------------------------------------------

struct FseEntry {
    uint16_t baseline;
    uint8_t symbol;
    uint8_t bits;
};

struct FseTable {
    int log = 0;
    bool present = false;
    FseEntry entries[1 << 9];
};

// Symbol spreading and state baselines from normalized counts (-1: a
// probability below one).
void build_fse(FseTable& t, const int16_t* norm, int symbols, int log) {
    int size = 1 << log, high = size - 1;
    uint16_t next[256];
    for (int s = 0; s < symbols; s++) {
        if (norm[s] == -1) {
            t.entries[high--].symbol = uint8_t(s);
            next[s] = 1;
        } else {
            next[s] = uint16_t(norm[s]);
        }
    }
    int step = (size >> 1) + (size >> 3) + 3, mask = size - 1, pos = 0;
    for (int s = 0; s < symbols; s++)
        for (int i = 0; i < norm[s]; i++) {
            t.entries[pos].symbol = uint8_t(s);
            do pos = (pos + step) & mask;
            while (pos > high);
        }
    if (pos != 0) fail();
    for (int u = 0; u < size; u++) {
        int s = t.entries[u].symbol;
        int state = next[s]++;
        int bits = log - high_bit(uint64_t(state));
        t.entries[u].bits = uint8_t(bits);
        t.entries[u].baseline = uint16_t((state << bits) - size);
    }
    t.log = log;
    t.present = true;
}

// An FSE table description: answers the bytes it took.
int64_t read_fse(FseTable& t, const uint8_t* p, int64_t len, int max_symbol, int max_log) {
    ForwardBits in{p, len};
    int log = int(in.peek(4)) + 5;
    in.skip(4);
    if (log > max_log) fail();
    int16_t norm[256] = {};
    int remaining = (1 << log) + 1, threshold = 1 << log, bits = log + 1, symbol = 0;
    bool zero_before = false;
    while (remaining > 1 && symbol <= max_symbol) {
        if (zero_before) {
            int repeat;
            do {
                repeat = int(in.peek(2));
                in.skip(2);
                symbol += repeat;
                if (in.bit > len * 8) fail();
            } while (repeat == 3);
            if (symbol > max_symbol) break;
        }
        int max = (2 * threshold - 1) - remaining;
        int count;
        uint32_t low = in.peek(bits - 1);
        if (int(low & uint32_t(threshold - 1)) < max) {
            count = int(low & uint32_t(threshold - 1));
            in.skip(bits - 1);
        } else {
            count = int(in.peek(bits) & uint32_t(2 * threshold - 1));
            if (count >= threshold) count -= max;
            in.skip(bits);
        }
        count--;
        remaining -= count < 0 ? -count : count;
        norm[symbol++] = int16_t(count);
        zero_before = count == 0;
        while (remaining < threshold) {
            bits--;
            threshold >>= 1;
        }
    }
    if (remaining != 1 || symbol > max_symbol + 1 || in.bytes_used() > len) fail();
    build_fse(t, norm, symbol, log);
    return in.bytes_used();
}

void rle_fse(FseTable& t, int symbol) {
    t.entries[0] = {0, uint8_t(symbol), 0};
    t.log = 0;
    t.present = true;
}

// ---- Huffman tables ------------------------------------------------------------------------

struct HufEntry {
    uint8_t symbol;
    uint8_t bits;
};

struct HufTable {
    int max_bits = 0;
    bool present = false;
    HufEntry entries[1 << HUF_MAX_BITS];
};

// The work record of one call: everything the decoder needs besides the
// input and the destination.
struct Work {
    FseTable ll, of, ml;
    FseTable scratch;  // predefined tables and the Huffman weights' table
    HufTable huf;
    uint64_t rep[3];
};

// A Huffman tree description: answers the bytes it took.
int64_t read_huffman(Work& w, const uint8_t* p, int64_t len) {
    if (len < 1) fail();
    uint8_t weights[260] = {};
    int count = 0;
    int64_t used;
    int header = p[0];
    if (header < 128) {
        // FSE-coded weights, two interleaved states.
        used = 1 + header;
        if (header == 0 || used > len) fail();
        int64_t table_bytes = read_fse(w.scratch, p + 1, header, 12, 6);
        if (table_bytes >= header) fail();
        BackBits in(p + 1 + table_bytes, header - table_bytes);
        const FseTable& t = w.scratch;
        uint32_t s1 = uint32_t(in.read(t.log)), s2 = uint32_t(in.read(t.log));
        if (in.bit < 0) fail();
        for (;;) {
            if (count > 253) fail();
            weights[count++] = t.entries[s1].symbol;
            s1 = t.entries[s1].baseline + uint32_t(in.read(t.entries[s1].bits));
            if (in.bit < 0) {
                weights[count++] = t.entries[s2].symbol;
                break;
            }
            weights[count++] = t.entries[s2].symbol;
            s2 = t.entries[s2].baseline + uint32_t(in.read(t.entries[s2].bits));
            if (in.bit < 0) {
                weights[count++] = t.entries[s1].symbol;
                break;
            }
        }
        if (count > 255) fail();
    } else {
        count = header - 127;
        used = 1 + (count + 1) / 2;
        if (used > len) fail();
        for (int i = 0; i < count; i++) weights[i] = uint8_t(i & 1 ? p[1 + i / 2] & 15 : p[1 + i / 2] >> 4);
    }
    uint64_t sum = 0;
    for (int i = 0; i < count; i++) {
        if (weights[i] > HUF_MAX_BITS) fail();
        if (weights[i]) sum += uint64_t(1) << (weights[i] - 1);
    }
    if (sum == 0) fail();
    int max_bits = high_bit(sum) + 1;
    uint64_t left = (uint64_t(1) << max_bits) - sum;
    if (max_bits > HUF_MAX_BITS || (left & (left - 1)) != 0) fail();
    weights[count++] = uint8_t(high_bit(left) + 1);
    HufTable& h = w.huf;
    int pos = 0;
    for (int weight = 1; weight <= max_bits; weight++)
        for (int s = 0; s < count; s++)
            if (weights[s] == weight) {
                int span = 1 << (weight - 1);
                for (int i = 0; i < span; i++) h.entries[pos + i] = {uint8_t(s), uint8_t(max_bits + 1 - weight)};
                pos += span;
            }
    h.max_bits = max_bits;
    h.present = true;
    return used;
}

// One Huffman stream of `n` symbols into `out` (null: decoded and dropped);
// it must end exactly on its padding bit.
void decode_stream(const HufTable& h, const uint8_t* p, int64_t len, uint8_t* out, int64_t n) {
    BackBits in(p, len);
    int max_bits = h.max_bits;
    for (int64_t i = 0; i < n; i++) {
        const HufEntry& e = h.entries[in.peek(max_bits)];
        in.bit -= e.bits;
        if (in.bit < 0) fail();
        if (out) out[i] = e.symbol;
    }
    if (in.bit != 0) fail();
}

// ---- Frames --------------------------------------------------------------------------------

struct Walker {
    Work& w;
    Mode mode;
    uint8_t* dst;
    int64_t cap;
    const uint8_t* src;
    int64_t n;
    int64_t pos = 0;             // output position (bytes produced or counted)
    bool from_header = false;    // some frame's size was taken from its header

    // Frame state.
    int64_t frame_start = 0, limit = 0, window = 0, block_max = 0;
    bool declared = false, writing = false;

    // Output that will not fit: too small only while writing a frame that
    // declared no size, else corrupt.
    [[noreturn]] void overflow() const { fail(writing && !declared ? TOO_SMALL : CORRUPT); }

    void walk() {
        int64_t at = 0;
        while (at < n) at = frame(at);
    }

    int64_t frame(int64_t at) {
        if (n - at < 4) fail();
        uint32_t magic = le32(src + at);
        if ((magic & 0xFFFFFFF0u) == SKIPPABLE_MAGIC) {
            if (n - at < 8) fail();
            uint32_t length = le32(src + at + 4);
            if (length >= 0x80000000u || int64_t(length) > n - at - 8) fail();
            return at + 8 + length;
        }
        if (magic != FRAME_MAGIC || n - at < 5) fail();
        int64_t p = at + 4;
        uint8_t fhd = src[p++];
        int size_flag = fhd >> 6, dict_flag = fhd & 3;
        bool single = fhd & 0x20, checksum = fhd & 4;
        if (fhd & 8) fail();
        int size_bytes = size_flag == 0 ? (single ? 1 : 0) : 1 << size_flag;
        int dict_bytes = dict_flag == 3 ? 4 : dict_flag;
        int64_t header = (single ? 0 : 1) + dict_bytes + size_bytes;
        if (header > n - p) fail();
        window = UNLIMITED;
        if (!single) {
            int exponent = src[p] >> 3, mantissa = src[p] & 7;
            p++;
            if (exponent > 21) fail();
            if (exponent < 21) {
                int64_t base = int64_t(1) << (10 + exponent);
                window = base + base / 8 * mantissa;
            }
        }
        uint64_t dict = 0;
        for (int i = 0; i < dict_bytes; i++) dict |= uint64_t(src[p + i]) << (8 * i);
        p += dict_bytes;
        if (dict != 0) fail();
        declared = size_bytes > 0;
        int64_t content = -1;
        if (declared) {
            uint64_t v = 0;
            for (int i = 0; i < size_bytes; i++) v |= uint64_t(src[p + i]) << (8 * i);
            if (size_bytes == 2) v += 256;
            if (size_bytes >= 4 && v >= 0x80000000u) fail();
            content = int64_t(v);
            p += size_bytes;
        }
        block_max = BLOCK_MAX;
        if (single) {
            if (content < block_max) block_max = content;
        } else if (window < block_max) {
            block_max = window;
        }
        bool skim = mode == SIZE && declared;
        writing = mode == WRITE;
        int64_t room = writing ? cap : COUNT_MAX;
        frame_start = pos;
        if (declared) {
            if (!skim && content > room - pos) fail(writing ? TOO_SMALL : CORRUPT);
            limit = pos + content;
        } else {
            limit = room;
        }
        w.rep[0] = 1, w.rep[1] = 4, w.rep[2] = 8;
        w.ll.present = w.of.present = w.ml.present = w.huf.present = false;

        int64_t counted = 0;
        for (bool last = false; !last;) {
            if (n - p < 3) fail();
            uint32_t bh = le24(src + p);
            p += 3;
            last = bh & 1;
            int type = bh >> 1 & 3;
            int64_t size = bh >> 3;
            if (type == 3 || size > block_max) fail();
            int64_t stored = type == 1 ? 1 : size;
            if (stored > n - p) fail();
            if (skim) {
                counted += type == 2 ? block_max : size;
            } else if (type == 0 || type == 1) {
                if (size > limit - pos) overflow();
                if (writing) {
                    if (type == 0)
                        std::memcpy(dst + pos, src + p, size_t(size));
                    else
                        std::memset(dst + pos, src[p], size_t(size));
                }
                pos += size;
            } else {
                if (size < 2) fail();
                compressed_block(src + p, size);
            }
            p += stored;
        }
        if (checksum) {
            if (n - p < 4) fail();
            if (writing) {
                uint64_t h = xxhash64::hash(dst + frame_start, size_t(pos - frame_start));
                if (uint32_t(h) != le32(src + p)) fail();
            }
            p += 4;
        }
        if (skim) {
            if (counted < content) fail();
            pos += content;
            from_header = true;
        } else if (declared && pos - frame_start != content) {
            fail();
        }
        return p;
    }

    // ---- Compressed blocks ----

    void compressed_block(const uint8_t* p, int64_t len) {
        int64_t block_start = pos;
        const uint8_t* end = p + len;
        // Literals section.
        int type = p[0] & 3, format = p[0] >> 2 & 3;
        int64_t regen, compressed = 0, header;
        bool four = false;
        if (type < 2) {
            if (format == 0 || format == 2) {
                header = 1, regen = p[0] >> 3;
            } else if (format == 1) {
                header = 2;
                if (len < 2) fail();
                regen = (p[0] >> 4) + (int64_t(p[1]) << 4);
            } else {
                header = 3;
                if (len < 3) fail();
                regen = (p[0] >> 4) + (int64_t(p[1]) << 4) + (int64_t(p[2]) << 12);
            }
        } else {
            header = format < 2 ? 3 : format + 2;
            if (len < header) fail();
            four = format != 0;
            if (header == 3) {
                uint32_t c = le24(p);
                regen = c >> 4 & 0x3FF, compressed = c >> 14;
            } else if (header == 4) {
                uint32_t c = le32(p);
                regen = c >> 4 & 0x3FFF, compressed = c >> 18;
            } else {
                uint64_t c = le32(p) | uint64_t(p[4]) << 32;
                regen = int64_t(c >> 4 & 0x3FFFF), compressed = int64_t(c >> 22);
            }
        }
        if (regen > block_max) fail();
        p += header;
        const uint8_t* lit = nullptr;  // the literals not yet consumed
        if (type == 0) {
            if (regen > end - p) fail();
            lit = p;
            p += regen;
        } else {
            int64_t stored = type == 1 ? 1 : compressed;
            if (stored > end - p) fail();
            if (regen > limit - pos) overflow();
            uint8_t* staged = writing ? dst + (limit - regen) : nullptr;
            if (type == 1) {
                if (staged) std::memset(staged, p[0], size_t(regen));
            } else {
                huffman_literals(p, compressed, type == 3, four, staged, regen);
            }
            lit = staged;
            p += stored;
        }
        sequences(p, end, lit, regen);
        if (pos - block_start > block_max) fail();
    }

    void huffman_literals(const uint8_t* p, int64_t len, bool treeless, bool four, uint8_t* out, int64_t regen) {
        if (treeless) {
            if (!w.huf.present) fail();
        } else {
            int64_t used = read_huffman(w, p, len);
            p += used, len -= used;
        }
        if (!four) {
            decode_stream(w.huf, p, len, out, regen);
            return;
        }
        if (regen < 6 || len < 10) fail();
        int64_t s1 = le16(p), s2 = le16(p + 2), s3 = le16(p + 4);
        int64_t s4 = len - 6 - s1 - s2 - s3;
        if (s4 < 1) fail();
        int64_t quarter = (regen + 3) / 4;
        const uint8_t* q = p + 6;
        int64_t sizes[4] = {s1, s2, s3, s4};
        for (int i = 0; i < 4; i++) {
            int64_t count = i < 3 ? quarter : regen - 3 * quarter;
            decode_stream(w.huf, q, sizes[i], out ? out + i * quarter : nullptr, count);
            q += sizes[i];
        }
    }

    void table(FseTable& t, int mode_bits, const int16_t* defaults, int default_symbols, int default_log,
               int max_symbol, int max_log, const uint8_t*& p, const uint8_t* end) {
        switch (mode_bits) {
        case 0:
            build_fse(t, defaults, default_symbols, default_log);
            break;
        case 1:
            if (end - p < 1 || p[0] > max_symbol) fail();
            rle_fse(t, p[0]);
            p++;
            break;
        case 2:
            p += read_fse(t, p, end - p, max_symbol, max_log);
            break;
        default:
            if (!t.present) fail();
        }
    }

    void sequences(const uint8_t* p, const uint8_t* end, const uint8_t* lit, int64_t lit_left) {
        if (end - p < 1) fail();
        int64_t count = p[0];
        if (count < 128) {
            p += 1;
        } else if (count < 255) {
            if (end - p < 2) fail();
            count = ((count - 128) << 8) + p[1];
            p += 2;
        } else {
            if (end - p < 3) fail();
            count = le16(p + 1) + 0x7F00;
            p += 3;
        }
        if (count == 0) {
            if (p != end) fail();
            copy_literals(lit, lit_left);
            return;
        }
        if (end - p < 1) fail();
        int modes = *p++;
        if (modes & 3) fail();
        table(w.ll, modes >> 6, LL_DEFAULT, 36, 6, LL_MAX_CODE, LL_MAX_LOG, p, end);
        table(w.of, modes >> 4 & 3, OF_DEFAULT, 29, 5, OF_MAX_CODE, OF_MAX_LOG, p, end);
        table(w.ml, modes >> 2 & 3, ML_DEFAULT, 53, 6, ML_MAX_CODE, ML_MAX_LOG, p, end);
        BackBits in(p, end - p);
        uint32_t ll_state = uint32_t(in.read(w.ll.log)), of_state = uint32_t(in.read(w.of.log)),
                 ml_state = uint32_t(in.read(w.ml.log));
        for (int64_t i = 0; i < count; i++) {
            int of_code = w.of.entries[of_state].symbol, ll_code = w.ll.entries[ll_state].symbol,
                ml_code = w.ml.entries[ml_state].symbol;
            if (ll_code > LL_MAX_CODE || ml_code > ML_MAX_CODE || of_code > OF_MAX_CODE) fail();
            uint64_t offset_value = (uint64_t(1) << of_code) + in.read(of_code);
            int64_t match = ML_BASE[ml_code] + int64_t(in.read(ML_BITS[ml_code]));
            int64_t literals = LL_BASE[ll_code] + int64_t(in.read(LL_BITS[ll_code]));
            if (i + 1 < count) {
                const FseEntry& l = w.ll.entries[ll_state];
                ll_state = l.baseline + uint32_t(in.read(l.bits));
                const FseEntry& m = w.ml.entries[ml_state];
                ml_state = m.baseline + uint32_t(in.read(m.bits));
                const FseEntry& o = w.of.entries[of_state];
                of_state = o.baseline + uint32_t(in.read(o.bits));
            }
            if (in.bit < 0) fail();
            uint64_t offset = repeat_offset(offset_value, literals);
            if (literals > lit_left) fail();
            copy_literals(lit, literals);
            if (lit) lit += literals;
            lit_left -= literals;
            if (offset == 0 || offset > uint64_t(pos - frame_start) || int64_t(offset) > window) fail();
            if (match > limit - pos - lit_left) overflow();
            if (writing) {
                uint8_t* out = dst + pos;
                const uint8_t* from = out - offset;
                if (int64_t(offset) >= match) {
                    std::memcpy(out, from, size_t(match));
                } else {
                    for (int64_t k = 0; k < match; k++) out[k] = from[k];
                }
            }
            pos += match;
        }
        if (in.bit != 0) fail();
        copy_literals(lit, lit_left);
    }

    uint64_t repeat_offset(uint64_t value, int64_t literals) {
        uint64_t* rep = w.rep;
        if (value > 3) {
            rep[2] = rep[1], rep[1] = rep[0], rep[0] = value - 3;
            return rep[0];
        }
        int index = int(value) - 1 + (literals == 0 ? 1 : 0);
        if (index == 0) return rep[0];
        uint64_t offset = index == 3 ? rep[0] - 1 : rep[index];
        if (index != 1) rep[2] = rep[1];
        rep[1] = rep[0], rep[0] = offset;
        return offset;
    }

    // Literals go forward from their staging place (never behind the
    // output position) or from the input.
    void copy_literals(const uint8_t* lit, int64_t count) {
        if (count == 0) return;
        if (count > limit - pos) overflow();
        if (writing) std::memmove(dst + pos, lit, size_t(count));
        pos += count;
    }
};

int run(Work& w, Mode mode, uint8_t* dst, int64_t cap, const uint8_t* src, int64_t n, int64_t* out,
        bool* from_header) {
    Walker walker{w, mode, dst, cap, src, n};
    try {
        walker.walk();
    } catch (const Fail& f) {
        *out = walker.pos;
        return f.code;
    }
    *out = walker.pos;
    if (from_header) *from_header = walker.from_header;
    return DONE;
}

}  // namespace

int decompress(uint8_t* dst, int64_t* size, const uint8_t* src, int64_t n) {
    Work work;
    int64_t cap = dst ? *size : 0;
    if (dst) {
        int code = run(work, WRITE, dst, cap, src, n, size, nullptr);
        if (code != TOO_SMALL) return code;
    }
    int64_t total = 0;
    bool from_header = false;
    int code = run(work, SIZE, nullptr, 0, src, n, &total, &from_header);
    if (code == DONE && from_header && !(total / 32 < n && total < TRUSTED_TOTAL))
        code = run(work, COUNT, nullptr, 0, src, n, &total, nullptr);
    if (code != DONE) return code == TOO_SMALL ? CORRUPT : code;
    if (total > COUNT_MAX) return CORRUPT;
    if (dst && total <= cap) return CORRUPT;
    *size = total;
    return total > 0 ? TOO_SMALL : DONE;
}

void init() {
    workers::g_codecs[workers::ZSTD].decompress = decompress;
    workers::g_codecs[workers::ZSTD].compress = compress;
}

}  // namespace zel::zstd
