// XXH64: 32-byte stripes through four lanes, then the 8-, 4- and 1-byte
// tails, then the avalanche.
#include "os/xxhash64.h"

#include <cstring>

namespace zel::xxhash64 {

namespace {

constexpr uint64_t P1 = 0x9E3779B185EBCA87ULL, P2 = 0xC2B2AE3D27D4EB4FULL, P3 = 0x165667B19E3779F9ULL,
                   P4 = 0x85EBCA77C2B2AE63ULL, P5 = 0x27D4EB2F165667C5ULL;

uint64_t rotl(uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }

uint64_t read64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

uint32_t read32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

uint64_t round(uint64_t acc, uint64_t input) { return rotl(acc + input * P2, 31) * P1; }

uint64_t merge(uint64_t acc, uint64_t lane) { return (acc ^ round(0, lane)) * P1 + P4; }

}  // namespace

uint64_t hash(const uint8_t* p, size_t length, uint64_t seed) {
    const uint8_t* end = p + length;
    uint64_t h;
    if (length >= 32) {
        uint64_t v1 = seed + P1 + P2, v2 = seed + P2, v3 = seed, v4 = seed - P1;
        for (; end - p >= 32; p += 32) {
            v1 = round(v1, read64(p));
            v2 = round(v2, read64(p + 8));
            v3 = round(v3, read64(p + 16));
            v4 = round(v4, read64(p + 24));
        }
        h = rotl(v1, 1) + rotl(v2, 7) + rotl(v3, 12) + rotl(v4, 18);
        h = merge(merge(merge(merge(h, v1), v2), v3), v4);
    } else {
        h = seed + P5;
    }
    h += length;
    for (; end - p >= 8; p += 8) h = rotl(h ^ round(0, read64(p)), 27) * P1 + P4;
    if (end - p >= 4) {
        h = rotl(h ^ uint64_t(read32(p)) * P1, 23) * P2 + P3;
        p += 4;
    }
    for (; p < end; p++) h = rotl(h ^ *p * P5, 11) * P1;
    h ^= h >> 33;
    h *= P2;
    h ^= h >> 29;
    h *= P3;
    h ^= h >> 32;
    return h;
}

}  // namespace zel::xxhash64
