// lz-blob packing and unpacking. The compressor's choices (hash heads of 3
// and 4 bytes, a 256-step chain, the distance penalty, 1 MB chunks) decide
// its output bytes; the unpacker checks every size and position against
// the blob before using it.
#include "os/lz.h"

#include <algorithm>
#include <cstring>

#include "foundation/memory.h"

namespace zel::lz {

namespace {

uint32_t le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; i++) p[i] = uint8_t(v >> (8 * i));
}

// ---- Unpacking -------------------------------------------------------------------------------

// Bits from `bit` on (counted from the blob's first byte) up to `end`
// bytes; reading past the end marks the stream bad.
struct BitReader {
    const uint8_t* p;
    int64_t end;
    int64_t bit;
    bool bad = false;

    uint32_t read(int n) {
        int64_t byte = bit >> 3;
        if (((bit + n + 7) >> 3) > end) {
            bad = true;
            return 0;
        }
        uint32_t v = 0;
        if (byte + 4 <= end) {
            v = le32(p + byte);
        } else {
            for (int i = 0; byte + i < end; i++) v |= uint32_t(p[byte + i]) << (8 * i);
        }
        v = (v >> (bit & 7)) & ((1u << n) - 1);
        bit += n;
        return v;
    }
};

// One chunk's tokens into out[0 .. length).
bool unpack_chunk(BitReader& in, uint8_t* out, int64_t length) {
    int64_t made = 0;
    while (made < length) {
        if (in.read(1) == 0) {
            out[made++] = uint8_t(in.read(8));
        } else {
            int n;
            if (in.read(1)) n = int(in.read(2));
            else if (in.read(1)) n = 4 + int(in.read(2));
            else if (in.read(1)) n = 8 + int(in.read(2));
            else if (in.read(1)) n = 12 + int(in.read(3));
            else if (in.read(1)) n = 20 + int(in.read(5));
            else n = 52 + int(in.read(9));
            int j = int(in.read(4)) + 2;
            int64_t distance = (j == 2 ? int64_t(in.read(3)) : (int64_t(1) << j) + in.read(j)) + 1;
            int64_t match = n + 3;
            if (in.bad || distance > made || match > length - made) return false;
            uint8_t* to = out + made;
            const uint8_t* from = to - distance;
            if (distance >= match) std::memcpy(to, from, size_t(match));
            else
                for (int64_t i = 0; i < match; i++) to[i] = from[i];
            made += match;
        }
        if (in.bad) return false;
    }
    return true;
}

// ---- Packing -----------------------------------------------------------------------------------

constexpr int HASH3_ENTRIES = 524288, HASH4_ENTRIES = 1048576;
constexpr int64_t CHAIN_STEPS = 256;

// Bits into dest[.. limit), least significant first; a byte that would go
// at or past the limit marks the output full.
struct BitWriter {
    uint8_t* dest;
    int64_t limit;
    int64_t pos;
    uint64_t acc = 0;
    int count = 0;
    bool full = false;

    void put(uint32_t v, int n) {
        acc |= uint64_t(v) << count;
        count += n;
        while (count >= 8) {
            byte(uint8_t(acc));
            acc >>= 8;
            count -= 8;
        }
    }
    void byte(uint8_t b) {
        if (pos >= limit) {
            full = true;
            return;
        }
        dest[pos++] = b;
    }
    void pad() {
        if (count > 0) byte(uint8_t(acc));
        acc = 0, count = 0;
    }
};

// The position's 3- and 4-byte hashes (bytes past the chunk count as 0).
uint32_t hash3(const uint8_t* c, int64_t p, int64_t length) {
    uint32_t h = 0;
    for (int i = 0; i < 3; i++) h = ((h << 7) + (p + i < length ? c[p + i] : 0)) & 0x7FFFF;
    return h;
}

uint32_t hash4(const uint8_t* c, int64_t p, int64_t length) {
    uint32_t h = 0;
    for (int i = 0; i < 4; i++) h = ((h << 5) + (p + i < length ? c[p + i] : 0)) & 0xFFFFF;
    return h;
}

int64_t common_run(const uint8_t* a, const uint8_t* b, int64_t most) {
    int64_t r = 0;
    while (r < most && a[r] == b[r]) r++;
    return r;
}

void put_match(BitWriter& w, int64_t length, int64_t distance) {
    w.put(1, 1);
    int n = int(length - 3);
    if (n < 4) w.put(1 | n << 1, 3);
    else if (n < 8) w.put(2 | (n - 4) << 2, 4);
    else if (n < 12) w.put(4 | (n - 8) << 3, 5);
    else if (n < 20) w.put(8 | (n - 12) << 4, 7);
    else if (n < 52) w.put(16 | (n - 20) << 5, 10);
    else {
        w.put(0, 5);
        w.put(uint32_t(n - 52), 9);
    }
    uint32_t d = uint32_t(distance - 1);
    int j = 2;
    while (d >= (1u << (j + 1))) j++;
    w.put(uint32_t(j - 2), 4);
    if (j == 2) w.put(d, 3);
    else w.put(d - (1u << j), j);
}

struct Work {
    int32_t* head3;
    int32_t* head4;
    int32_t* chain;
};

void pack_chunk(Work& work, BitWriter& w, const uint8_t* c, int64_t length) {
    std::fill(work.head3, work.head3 + HASH3_ENTRIES, -1);
    std::fill(work.head4, work.head4 + HASH4_ENTRIES, -1);
    auto enter = [&](int64_t q) {
        work.head3[hash3(c, q, length)] = int32_t(q);
        uint32_t h4 = hash4(c, q, length);
        work.chain[q & (DISTANCE_MAX - 1)] = work.head4[h4];
        work.head4[h4] = int32_t(q);
    };
    for (int64_t p = 0; p < length && !w.full;) {
        int64_t most = std::min(MATCH_MAX, length - p);
        int64_t window = std::max<int64_t>(0, p - DISTANCE_MAX);
        int64_t best = 2, distance = 0;
        if (most >= 3) {
            int64_t cand = work.head3[hash3(c, p, length)];
            if (cand >= window) {
                int64_t r = common_run(c + cand, c + p, most);
                if (r > best) best = r, distance = p - cand;
            }
            cand = work.head4[hash4(c, p, length)];
            for (int64_t steps = 0; best < most && steps < CHAIN_STEPS && cand >= window; steps++) {
                if (c[cand + best] == c[p + best] && c[cand] == c[p]) {
                    int64_t r = common_run(c + cand, c + p, most), d = p - cand;
                    int64_t penalty = 0;
                    for (int64_t x = d / 16; x > distance; x /= 8) penalty++;
                    if (r > best + penalty) best = r, distance = d;
                    if (r >= most) break;
                }
                cand = work.chain[cand & (DISTANCE_MAX - 1)];
            }
        }
        if (best == 3 && distance > 65536) best = 2;
        int64_t covered = 1;
        if (best < 3) {
            w.put(uint32_t(c[p]) << 1, 9);
        } else {
            put_match(w, best, distance);
            covered = best;
        }
        for (int64_t q = p; q < p + covered; q++) enter(q);
        p += covered;
    }
    w.pad();
}

}  // namespace

uint8_t* decompress(const uint8_t* blob, int64_t available, int64_t* count) {
    *count = 0;
    if (available < HEADER_BYTES) return nullptr;
    int64_t packed = le32(blob), unpacked = le32(blob + 4);
    if (packed > available - HEADER_BYTES || unpacked > packed * MOST_EXPANSION || unpacked > SERIES_MAX_BYTES)
        return nullptr;
    auto* out = static_cast<uint8_t*>(memory::heap_alloc(unpacked + HEADER_BYTES));
    int64_t made = 0, at = HEADER_BYTES, end = HEADER_BYTES + packed;
    while (at < end) {
        if (end - at < 4) break;
        int64_t length = le32(blob + at);
        if (length == 0 || length > CHUNK_MAX || length > unpacked - made) break;
        BitReader in{blob, end, (at + 4) * 8};
        if (!unpack_chunk(in, out + made, length)) break;
        made += length;
        at = (in.bit + 7) >> 3;
    }
    if (at < end || made != unpacked) {
        memory::heap_free(out);
        return nullptr;
    }
    *count = made;
    return out;
}

void free_buffer(uint8_t* buffer) { memory::heap_free(buffer); }

int64_t compress(const uint8_t* source, int64_t n, uint8_t* dest) {
    if (n <= 127 || n > int64_t(UINT32_MAX)) return -1;
    Work work;
    work.head3 = static_cast<int32_t*>(memory::heap_alloc(HASH3_ENTRIES * 4));
    work.head4 = static_cast<int32_t*>(memory::heap_alloc(HASH4_ENTRIES * 4));
    work.chain = static_cast<int32_t*>(memory::heap_alloc(DISTANCE_MAX * 4));
    BitWriter w{dest, n, HEADER_BYTES};
    for (int64_t start = 0; start < n && !w.full; start += CHUNK_MAX) {
        int64_t length = std::min(CHUNK_MAX, n - start);
        for (int i = 0; i < 4; i++) w.byte(uint8_t(length >> (8 * i)));
        pack_chunk(work, w, source + start, length);
    }
    memory::heap_free(work.head3);
    memory::heap_free(work.head4);
    memory::heap_free(work.chain);
    if (w.full) return -1;
    put32(dest, uint32_t(w.pos - HEADER_BYTES));
    put32(dest + 4, uint32_t(n));
    return w.pos;
}

}  // namespace zel::lz
