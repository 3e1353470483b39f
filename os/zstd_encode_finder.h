// What the zstd encoder's match finders share: unaligned reads, the two
// position hashes, the length of a match, and appending a sequence to a
// block's store (its offset coded against the repeat offsets).
//
// Relies on: the encoder's interface (os/zstd_encode.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "os/zstd_encode.h"

namespace zel::zstd::enc {

inline uint32_t read32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline uint64_t read64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// The bytes beyond the fourth that a minimum match of `min_match` covers,
// as a mask over the next four.
inline uint32_t hash_mask(int min_match) {
    return min_match <= 4 ? 0 : min_match >= 8 ? 0xFFFFFFFFu : (1u << (8 * (min_match - 4))) - 1;
}

// A hash of the 8 bytes at p (mask all ones) or of the bytes a minimum
// match covers, `log` bits wide. Reads 8 bytes.
inline uint32_t hash_at(const uint8_t* p, uint32_t mask, unsigned log) {
    uint32_t h1 = read32(p) * 0x9E3779B1u;
    return ((read32(p + 4) & mask) * 0x85EBCA77u ^ h1) >> (32 - log);
}

// The common length of the bytes at ip and at match (an earlier position),
// up to end.
inline size_t match_length(const uint8_t* ip, const uint8_t* match, const uint8_t* end) {
    const uint8_t* from = ip;
    while (end - ip >= 8) {
        uint64_t d = read64(ip) ^ read64(match);
        if (d) return size_t(ip - from) + size_t(__builtin_ctzll(d) >> 3);
        ip += 8;
        match += 8;
    }
    while (ip < end && *ip == *match) ip++, match++;
    return size_t(ip - from);
}

// A sequence of `lit_len` literals from `lits`, then a match.
inline void emit(SeqStore& out, Reps& reps, const uint8_t* lits, size_t lit_len, uint32_t offset, size_t match_len) {
    std::memcpy(out.literals + out.lit_count, lits, lit_len);
    out.lit_count += lit_len;
    out.seqs[out.count++] = {uint32_t(lit_len), encode_offset(reps, offset, uint32_t(lit_len)), uint32_t(match_len)};
}

// The literals after the last sequence.
inline void emit_tail(SeqStore& out, const uint8_t* lits, size_t n) {
    std::memcpy(out.literals + out.lit_count, lits, n);
    out.lit_count += n;
}

}  // namespace zel::zstd::enc
