// zlib and gzip framings: a header, raw DEFLATE, a trailer with the
// checksum of the uncompressed data (Adler-32 big-endian for zlib; CRC-32
// and the length modulo 2^32, little-endian, for gzip). A gzip member's
// length is trusted for sizing only when DEFLATE data of the member's size
// could give it.
//
// Relies on: the DEFLATE encoder and decoder, the checksums, the workers'
// codec slots.
#include "os/zlib_gzip.h"

#include <algorithm>

#include "os/checksum.h"
#include "os/workers.h"

namespace zel::deflate {

namespace {

constexpr int DONE = 0, TOO_SMALL = 1, CORRUPT = 2;
constexpr int ZLIB_HEADER = 2, ZLIB_TRAILER = 4, GZIP_HEADER = 10, GZIP_TRAILER = 8;

int effective(int level) { return level < 1 ? 6 : level; }

uint32_t big_endian(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
uint32_t little_endian(const uint8_t* p) { return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]; }
void put_little_endian(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; i++) p[i] = uint8_t(v >> (8 * i));
}

// Header bytes, raw DEFLATE after them, room for the trailer: the result
// and the size of the whole framed stream; `trailer` fills the trailer
// when everything fits.
template <typename Trailer>
int framed(uint8_t* dst, int64_t* size, const uint8_t* src, int64_t n, int level, const uint8_t* header,
           int header_size, int trailer_size, Trailer trailer) {
    const int64_t capacity = dst ? *size : 0;
    const bool header_fits = capacity >= header_size;
    if (header_fits) std::copy(header, header + header_size, dst);
    int64_t inner = std::max<int64_t>(capacity - header_size, 0);
    int result = compress(header_fits ? dst + header_size : nullptr, &inner, src, n, level);
    *size = inner + header_size + trailer_size;
    if (result != DONE) return result;
    if (*size > capacity) return TOO_SMALL;
    trailer(dst + header_size + inner);
    return DONE;
}

}  // namespace

int zlib_compress(uint8_t* dst, int64_t* size, const uint8_t* src, int64_t n, int level) {
    const int l = effective(level);
    // CM 8, a 32 KB window; FLEVEL from the level, FCHECK making the pair
    // a multiple of 31.
    const uint8_t header[ZLIB_HEADER] = {0x78, uint8_t(l == 1 ? 0x01 : l <= 5 ? 0x5E : l == 6 ? 0x9C : 0xDA)};
    return framed(dst, size, src, n, level, header, ZLIB_HEADER, ZLIB_TRAILER, [&](uint8_t* p) {
        uint32_t sum = uint32_t(checksum::adler32(src, size_t(n)));
        for (int i = 0; i < 4; i++) p[i] = uint8_t(sum >> (24 - 8 * i));
    });
}

int zlib_decompress(uint8_t* dst, int64_t* size, const uint8_t* src, int64_t n) {
    if (n < ZLIB_HEADER + ZLIB_TRAILER) return CORRUPT;
    const uint32_t cmf = src[0], flg = src[1];
    // No preset dictionary: none can be given here.
    if ((cmf * 256 + flg) % 31 || (cmf & 15) != 8 || (cmf & 0x80) || (flg & 0x20)) return CORRUPT;
    int result = decompress(dst, size, src + ZLIB_HEADER, n - ZLIB_HEADER - ZLIB_TRAILER);
    if (result != DONE) return result;
    const uint8_t* data = dst ? dst : src;  // no destination: no output either
    if (uint32_t(checksum::adler32(data, size_t(*size))) != big_endian(src + n - ZLIB_TRAILER)) return CORRUPT;
    return DONE;
}

int gzip_compress(uint8_t* dst, int64_t* size, const uint8_t* src, int64_t n, int level) {
    const int l = effective(level);
    // No flags, no time; XFL says fastest (4) or best (2); OS 4.
    const uint8_t header[GZIP_HEADER] = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, uint8_t(l == 1 ? 4 : l == 9 ? 2 : 0), 4};
    return framed(dst, size, src, n, level, header, GZIP_HEADER, GZIP_TRAILER, [&](uint8_t* p) {
        put_little_endian(p, uint32_t(checksum::crc32(src, size_t(n))));
        put_little_endian(p + 4, uint32_t(n));
    });
}

int gzip_decompress(uint8_t* dst, int64_t* size, const uint8_t* src, int64_t n) {
    if (n < GZIP_HEADER + GZIP_TRAILER || src[0] != 0x1F || src[1] != 0x8B || src[2] != 8 || (src[3] & 0xE0))
        return CORRUPT;
    const int flags = src[3];
    int64_t at = GZIP_HEADER;
    if (flags & 4) {  // FEXTRA
        int64_t extra = src[10] | src[11] << 8;
        if (extra > n - 12) return CORRUPT;
        at = 12 + extra;
    }
    for (int field : {8, 16}) {  // FNAME, FCOMMENT: zero-terminated
        if (!(flags & field)) continue;
        while (at < n && src[at]) at++;
        if (at >= n) return CORRUPT;
        at++;
    }
    if (flags & 2) {  // FHCRC: the low half of the header's CRC-32
        if (at >= n - 2) return CORRUPT;
        if ((uint32_t(checksum::crc32(src, size_t(at))) & 0xFFFF) != uint32_t(src[at] | src[at + 1] << 8)) return CORRUPT;
        at += 2;
    }
    if (at > n - GZIP_TRAILER) return CORRUPT;
    const int64_t data = n - GZIP_TRAILER - at;
    const int64_t isize = little_endian(src + n - 4);
    // A length no DEFLATE data of this size can give is refused before
    // anyone allocates for it.
    if (isize >= int64_t(1) << 31 || isize > MOST_EXPANSION * data) return CORRUPT;
    const int64_t capacity = dst ? *size : 0;
    if (capacity < isize) {
        *size = isize;
        return TOO_SMALL;
    }
    int64_t produced = capacity;
    int result = decompress(dst, &produced, src + at, data);
    // More than the length said (past a capacity that held it) is as
    // wrong as less.
    if (result == TOO_SMALL) return CORRUPT;
    if (result != DONE) {
        *size = produced;
        return result;
    }
    if (produced != isize) return CORRUPT;
    *size = isize;
    if (uint32_t(checksum::crc32(dst ? dst : src, size_t(isize))) != little_endian(src + n - GZIP_TRAILER)) return CORRUPT;
    return DONE;
}

void init() {
    workers::g_codecs[workers::ZLIB] = {zlib_compress, zlib_decompress};
    workers::g_codecs[workers::DEFLATE] = {compress, decompress};
    workers::g_codecs[workers::GZIP] = {gzip_compress, gzip_decompress};
}

}  // namespace zel::deflate
