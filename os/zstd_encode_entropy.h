// The zstd encoder's entropy stage, as the frame stage and the finders see
// it: the bit writer, the code of a literal or match length, and the body
// (literals section, then sequences section) of one compressed block.
//
// Relies on: the encoder's interface (os/zstd_encode.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "os/zstd_encode.h"
#include "os/zstd_tables.h"

namespace zel::zstd::enc {

constexpr int hb(uint32_t x) { return 31 - __builtin_clz(x); }  // floor(log2 x), x > 0

// A forward bit stream, least significant bit first. Bits go into a 64-bit
// accumulator; flush() stores whole bytes, eight at a time while there is
// room for that and one at a time near the end. Running out of room sets
// `over` and writes nothing past `end`.
struct BitWriter {
    uint64_t acc = 0;
    unsigned bits = 0;
    uint8_t* start;
    uint8_t* p;
    uint8_t* end;
    bool over = false;

    BitWriter(uint8_t* at, uint8_t* limit) : start(at), p(at), end(limit) { if (p > end) over = true, p = end; }
    // `v` holds no bits above the n lowest; the caller flushes before the
    // accumulator would pass 64 bits.
    void add(uint64_t v, unsigned n) {
        acc |= v << bits;
        bits += n;
    }
    void flush() {
        unsigned bytes = bits >> 3;
        if (end - p >= 8) {
            std::memcpy(p, &acc, 8);
            p += bytes;
        } else {
            for (unsigned i = 0; i < bytes; i++) {
                if (p == end) {
                    over = true;
                    break;
                }
                *p++ = uint8_t(acc >> (8 * i));
            }
        }
        acc = bytes ? (bytes == 8 ? 0 : acc >> (8 * bytes)) : acc;
        bits &= 7;
    }
    // Whole bytes up to the last bit (zero padded): the size written.
    size_t finish() {
        flush();
        if (bits) {
            if (p == end) over = true;
            else *p++ = uint8_t(acc);
        }
        acc = 0;
        bits = 0;
        return size_t(p - start);
    }
    // A stream read backwards ends with a 1 bit that marks its end.
    size_t close() {
        add(1, 1);
        return finish();
    }
};

// Codes of the small lengths by table, built from the format's baselines.
struct LengthCodes {
    uint8_t ll[64];
    uint8_t ml[128];
};
inline constexpr LengthCodes LENGTH_CODES = [] {
    LengthCodes t{};
    for (uint32_t c = 0; c < 36; c++)
        for (uint32_t v = LL_BASE[c]; v < LL_BASE[c] + (1u << LL_BITS[c]) && v < 64; v++) t.ll[v] = uint8_t(c);
    for (uint32_t c = 0; c < 53; c++)
        for (uint32_t v = ML_BASE[c] - 3; v < ML_BASE[c] - 3 + (1u << ML_BITS[c]) && v < 128; v++) t.ml[v] = uint8_t(c);
    return t;
}();

inline uint8_t ll_code(uint32_t lit_len) {
    return lit_len < 64 ? LENGTH_CODES.ll[lit_len] : uint8_t(hb(lit_len) + 19);
}
inline uint8_t ml_code(uint32_t match_len) {
    uint32_t base = match_len - 3;
    return base < 128 ? LENGTH_CODES.ml[base] : uint8_t(hb(base) + 36);
}

// The room the entropy stage needs besides its output: tables and counts.
struct EntropyWork;
constexpr size_t ENTROPY_WORK_BYTES = 3524 * 4;

// The literals and sequences sections of a block into [dst, dst + cap):
// their size, or 0 when they do not fit. `codes` has room for 3 bytes per
// sequence; `work` for ENTROPY_WORK_BYTES.
size_t write_block_body(uint8_t* dst, size_t cap, const SeqStore& store, uint8_t* codes, void* work);

}  // namespace zel::zstd::enc
