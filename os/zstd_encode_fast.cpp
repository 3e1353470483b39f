// The zstd encoder's fastest finder (strategy 0): two hash tables, one of
// 8-byte hashes and one of the minimum match's, a repeat-offset check before
// each look-up, and steps that grow in stretches without matches.
#include "os/zstd_encode_finder.h"

namespace zel::zstd::enc {

void find_double_fast(MatchState& ms, size_t start, size_t end, Reps& reps, SeqStore& out) {
    const uint8_t* base = ms.base;
    uint32_t* longs = ms.hash_table;
    uint32_t* shorts = ms.chain_table;
    const unsigned long_log = ms.p.hash_log, short_log = ms.p.chain_log;
    const uint32_t mask = hash_mask(ms.p.min_match);
    const size_t window = size_t(1) << ms.p.window_log;
    const uint8_t* iend = base + end;
    size_t anchor = start;
    if (end - start >= 9) {
        const size_t limit = end - 8;  // positions from here on are literals
        size_t ip = start;
        auto near = [&](size_t cand, size_t at) { return cand < at && at - cand < window; };
        while (ip < limit) {
            uint32_t hl = hash_at(base + ip, 0xFFFFFFFFu, long_log), hs = hash_at(base + ip, mask, short_log);
            size_t cand_long = longs[hl], cand_short = shorts[hs];
            longs[hl] = shorts[hs] = uint32_t(ip);
            size_t at, len;
            uint32_t offset;
            size_t next = ip + 1;
            uint32_t rep = reps.rep[0];
            if (rep <= next && read32(base + next) == read32(base + next - rep)) {
                at = next;
                offset = rep;
                len = 4 + match_length(base + next + 4, base + next + 4 - rep, iend);
            } else {
                if (near(cand_long, ip) && read64(base + cand_long) == read64(base + ip)) {
                    at = ip;
                    offset = uint32_t(ip - cand_long);
                    len = 8 + match_length(base + ip + 8, base + cand_long + 8, iend);
                } else if (near(cand_short, ip) && read32(base + cand_short) == read32(base + ip)) {
                    // A longer match one byte on beats the short one here.
                    uint32_t h1 = hash_at(base + next, 0xFFFFFFFFu, long_log);
                    size_t cand_next = longs[h1];
                    longs[h1] = uint32_t(next);
                    if (near(cand_next, next) && read64(base + cand_next) == read64(base + next)) {
                        at = next;
                        offset = uint32_t(next - cand_next);
                        len = 8 + match_length(base + next + 8, base + cand_next + 8, iend);
                    } else {
                        at = ip;
                        offset = uint32_t(ip - cand_short);
                        len = 4 + match_length(base + ip + 4, base + cand_short + 4, iend);
                    }
                } else {
                    ip += ((ip - anchor) >> 8) + 1;
                    continue;
                }
                while (at > anchor && at > offset && base[at - 1] == base[at - 1 - offset]) at--, len++;
            }
            emit(out, reps, base + anchor, at - anchor, offset, len);
            size_t searched = ip;
            ip = anchor = at + len;
            if (ip > limit) break;
            longs[hash_at(base + searched + 2, 0xFFFFFFFFu, long_log)] = uint32_t(searched + 2);
            shorts[hash_at(base + searched + 2, mask, short_log)] = uint32_t(searched + 2);
            longs[hash_at(base + ip - 2, 0xFFFFFFFFu, long_log)] = uint32_t(ip - 2);
            shorts[hash_at(base + ip - 1, mask, short_log)] = uint32_t(ip - 1);
            // Runs that repeat the second offset go out at once, without literals.
            while (ip <= limit) {
                uint32_t rep2 = reps.rep[1];
                if (rep2 > ip || read32(base + ip) != read32(base + ip - rep2)) break;
                size_t n = 4 + match_length(base + ip + 4, base + ip + 4 - rep2, iend);
                emit(out, reps, base + ip, 0, rep2, n);
                longs[hash_at(base + ip, 0xFFFFFFFFu, long_log)] = uint32_t(ip);
                shorts[hash_at(base + ip, mask, short_log)] = uint32_t(ip);
                ip = anchor = ip + n;
            }
        }
    }
    emit_tail(out, base + anchor, end - anchor);
}

}  // namespace zel::zstd::enc
