// The DEFLATE codec and its zlib and gzip framings at the entry points:
// fixed vectors, the decoder's answers to streams built bit by bit (codes
// that are over-subscribed, incomplete, or allowed though incomplete;
// reserved symbols; cut-short input), the framings' header and trailer
// checks, and the measuring protocol (null destination, too small).
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "os/deflate.h"
#include "os/huffman_lengths.h"

using namespace zel;

namespace {

using Bytes = std::vector<uint8_t>;
using Compressor = int (*)(uint8_t*, int64_t*, const uint8_t*, int64_t, int);
using Decompressor = int (*)(uint8_t*, int64_t*, const uint8_t*, int64_t);

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes random_bytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& x : b) x = uint8_t(rng());
    return b;
}

struct Coded {
    int result;
    Bytes bytes;
};

// The encoder given the first attempt's bound.
Coded encode(Compressor c, const Bytes& in, int level) {
    int64_t size = int64_t(in.size()) + int64_t(in.size()) / 2048 + 32;
    Bytes out(static_cast<size_t>(size));
    int r = c(out.data(), &size, in.data(), int64_t(in.size()), level);
    out.resize(r == 0 ? size_t(size) : 0);
    return {r, out};
}

// Measured first, then decoded into exactly the size measured.
Coded decode(Decompressor d, const Bytes& in) {
    int64_t size = 0;
    int r = d(nullptr, &size, in.data(), int64_t(in.size()));
    if (r != 0 && r != 1) return {r, {}};
    Bytes out(static_cast<size_t>(size));
    r = d(out.data(), &size, in.data(), int64_t(in.size()));
    out.resize(r == 0 ? size_t(size) : 0);
    return {r, out};
}

// Bits least significant first, as DEFLATE packs them; codes go most
// significant bit first.
struct Bits {
    Bytes bytes;
    int used = 0;
    Bits& put(uint32_t value, int count) {
        for (int i = 0; i < count; i++, used++) {
            if (used % 8 == 0) bytes.push_back(0);
            bytes.back() |= uint8_t(((value >> i) & 1) << (used % 8));
        }
        return *this;
    }
    Bits& code(uint32_t code, int length) {
        for (int i = length - 1; i >= 0; i--) put((code >> i) & 1, 1);
        return *this;
    }
};

// A final dynamic block whose code-length code gives 0 to 12 four bits and
// 13 to 18 five (a complete code); the lengths and the body are the
// caller's.
struct Dynamic {
    Bits bits;
    uint8_t cl_lengths[19];
    uint16_t cl_codes[19];
    Dynamic(int hlit, int hdist) {
        for (int s = 0; s < 19; s++) cl_lengths[s] = s < 13 ? 4 : 5;
        huffman::canonical_codes(cl_lengths, 19, cl_codes);
        bits.put(1, 1).put(2, 2).put(uint32_t(hlit - 257), 5).put(uint32_t(hdist - 1), 5).put(15, 4);
        const int order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
        for (int s : order) bits.put(cl_lengths[s], 3);
    }
    // A code-length symbol with its extra bits.
    Dynamic& length(int symbol, uint32_t extra = 0) {
        bits.code(cl_codes[symbol], cl_lengths[symbol]);
        if (symbol >= 16) bits.put(extra, symbol == 16 ? 2 : symbol == 17 ? 3 : 7);
        return *this;
    }
    Dynamic& lengths(const std::vector<int>& ls) {
        for (int l : ls) length(l);
        return *this;
    }
};

// A literal/length length list: `count` entries, the given symbols set.
std::vector<int> with(int count, std::initializer_list<std::pair<int, int>> set) {
    std::vector<int> ls(size_t(count), 0);
    for (auto [s, l] : set) ls[size_t(s)] = l;
    return ls;
}

void put_symbol(Bits& bits, const std::vector<int>& ls, int symbol) {
    std::vector<uint8_t> l8(ls.begin(), ls.end());
    std::vector<uint16_t> codes(ls.size());
    huffman::canonical_codes(l8.data(), int(l8.size()), codes.data());
    bits.code(codes[size_t(symbol)], ls[size_t(symbol)]);
}

}  // namespace

TEST(Deflate, EmptyInputVectors) {
    EXPECT_EQ(encode(deflate::compress, {}, -1).bytes, (Bytes{0x03, 0x00}));
    EXPECT_EQ(encode(deflate::zlib_compress, {}, -1).bytes, (Bytes{0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01}));
    for (auto d : {deflate::decompress, deflate::zlib_decompress, deflate::gzip_decompress}) {
        Compressor c = d == deflate::decompress ? deflate::compress : d == deflate::zlib_decompress ? deflate::zlib_compress
                                                                                                   : deflate::gzip_compress;
        Coded back = decode(d, encode(c, {}, 5).bytes);
        EXPECT_EQ(back.result, 0);
        EXPECT_TRUE(back.bytes.empty());
    }
}

// Inputs of 0 and 1 bytes sit in buffers of exactly their size (none at
// all for the empty one): the hash must not start on bytes that are not
// there.
TEST(Deflate, ShortInputsAreNotReadPastTheirEnd) {
    std::unique_ptr<uint8_t[]> one(new uint8_t[1]{0x41});
    for (int level = -1; level <= 9; level++) {
        uint8_t out[64];
        int64_t size = sizeof out;
        EXPECT_EQ(deflate::compress(out, &size, nullptr, 0, level), 0);
        EXPECT_EQ(Bytes(out, out + size), (Bytes{0x03, 0x00}));
        size = sizeof out;
        ASSERT_EQ(deflate::compress(out, &size, one.get(), 1, level), 0);
        Coded back = decode(deflate::decompress, Bytes(out, out + size));
        EXPECT_EQ(back.bytes, Bytes{0x41});
    }
}

TEST(Deflate, RoundTripsAtEveryLevelInEveryFraming) {
    Bytes mixed = text(std::string(3000, 'a') + "abcabcabcabc the quick brown fox");
    Bytes noise = random_bytes(40000, 1);
    mixed.insert(mixed.end(), noise.begin(), noise.end());
    for (int i = 0; i < 50000; i++) mixed.push_back(uint8_t("zel series block "[i % 17] + (i / 5000)));
    const std::pair<Compressor, Decompressor> codecs[] = {{deflate::compress, deflate::decompress},
                                                          {deflate::zlib_compress, deflate::zlib_decompress},
                                                          {deflate::gzip_compress, deflate::gzip_decompress}};
    for (const Bytes& in : {text("a"), text("ab"), text("abc"), mixed, Bytes(70000, 0)})
        for (auto [c, d] : codecs)
            for (int level = -1; level <= 9; level++) {
                Coded coded = encode(c, in, level);
                ASSERT_EQ(coded.result, 0) << "level " << level << ", " << in.size() << " bytes";
                Coded back = decode(d, coded.bytes);
                EXPECT_EQ(back.result, 0);
                EXPECT_TRUE(back.bytes == in) << "level " << level << ", " << in.size() << " bytes";
            }
}

// Incompressible data: 16,384-literal blocks, each cheaper stored, within
// the first attempt's bound at every level.
TEST(Deflate, IncompressibleInputIsStoredWithinTheBound) {
    const Bytes noise = random_bytes(100000, 7);
    for (auto c : {deflate::compress, deflate::zlib_compress, deflate::gzip_compress})
        for (int level = 1; level <= 9; level++) EXPECT_EQ(encode(c, noise, level).result, 0) << "level " << level;
    Bytes out = encode(deflate::compress, noise, 6).bytes;
    // A non-final stored block first: header bits 000, LEN (16,384
    // symbols, a few of them chance matches), NLEN.
    ASSERT_GE(out.size(), 5u);
    EXPECT_EQ(out[0], 0x00);
    const int len = out[1] | out[2] << 8;
    EXPECT_GE(len, 16384);
    EXPECT_LT(len, 16384 + 100);
    EXPECT_EQ(out[3] | out[4] << 8, 0xFFFF ^ len);
}

// Too small: the size needed, and the bytes that fit are the stream's own.
TEST(Deflate, TooSmallCountsOnAndWritesOnlyWhatFits) {
    Bytes in = text("to be or not to be, that is the question; to be or not to be");
    for (auto c : {deflate::compress, deflate::zlib_compress, deflate::gzip_compress}) {
        Bytes full = encode(c, in, 9).bytes;
        Bytes part(full.size() - 3, 0xEE);
        part.push_back(0xEE);
        int64_t size = int64_t(full.size()) - 3;
        EXPECT_EQ(c(part.data(), &size, in.data(), int64_t(in.size()), 9), 1);
        EXPECT_EQ(size, int64_t(full.size()));
        EXPECT_EQ(part.back(), 0xEE);
    }
    Bytes stream = encode(deflate::compress, in, 9).bytes;
    Bytes out(10);
    int64_t size = 10;
    EXPECT_EQ(deflate::decompress(out.data(), &size, stream.data(), int64_t(stream.size())), 1);
    EXPECT_EQ(size, int64_t(in.size()));
    EXPECT_EQ(out, Bytes(in.begin(), in.begin() + 10));
}

// Hand-made raw streams and what the decoder answers.
TEST(Deflate, DecoderAnswersToHandMadeStreams) {
    struct Case {
        const char* what;
        Bytes stream;
        int result;
        Bytes output;
    };
    // Fixed-code pieces: 'a' is 0x30 + 0x61 in 8 bits, 257 is 0000001, the
    // length symbol 286 is 11000110, distance codes are 5 bits.
    Bits fixed_286;
    fixed_286.put(1, 1).put(1, 2).code(0x30 + 'a', 8).code(0xC6, 8).code(0, 7);
    Bits fixed_dist30;
    fixed_dist30.put(1, 1).put(1, 2).code(0x30 + 'a', 8).code(1, 7).code(30, 5).code(0, 7);
    // Distance 2 after one byte.
    Bits too_far;
    too_far.put(1, 1).put(1, 2).code(0x30 + 'a', 8).code(1, 7).code(1, 5).code(0, 7);
    Bits fixed_ok;
    fixed_ok.put(1, 1).put(1, 2).code(0x30 + 'a', 8).code(1, 7).code(0, 5).code(0, 7);
    const Case cases[] = {
        {"empty input", {}, 2, {}},
        {"reserved block type", {0x07}, deflate::RESERVED_BLOCK, {}},
        {"stored block past the input", {0x01, 0x05, 0x00, 0xFA, 0xFF, 'a', 'b'}, deflate::STORED_PAST_END, {}},
        {"stored block, NLEN not LEN's complement", {0x01, 0x03, 0x00, 0x00, 0x00, 'a', 'b', 'c'}, 0, text("abc")},
        {"stored block, header cut short", {0x01, 0x03, 0x00}, 2, {}},
        {"input after the final block is ignored", {0x03, 0x00, 0xFF, 0xFF}, 0, {}},
        {"non-final empty stored blocks, never a final one",
         {0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF}, 2, {}},
        {"a complete non-final stored block, then nothing", {0x00, 0x02, 0x00, 0xFD, 0xFF, 'h', 'i'}, 2, {}},
        {"fixed block cut before its end-of-block", Bytes(fixed_ok.bytes.begin(), fixed_ok.bytes.end() - 1), 2, {}},
        {"fixed block: a literal and a match", fixed_ok.bytes, 0, text("aaaa")},
        {"length symbol 286", fixed_286.bytes, 2, {}},
        {"distance code 30", fixed_dist30.bytes, 2, {}},
    };
    for (const Case& c : cases) {
        Coded got = decode(deflate::decompress, c.stream);
        EXPECT_EQ(got.result, c.result) << c.what;
        if (c.result == 0) {
            EXPECT_EQ(got.bytes, c.output) << c.what;
        }
    }
    // A match reaching before the output's start: result 5, the bytes made
    // so far counted.
    Bits before;
    before.put(1, 1).put(1, 2).code(1, 7).code(0, 5).code(0, 7);
    int64_t size = 0;
    EXPECT_EQ(deflate::decompress(nullptr, &size, before.bytes.data(), int64_t(before.bytes.size())),
              deflate::DISTANCE_TOO_FAR);
    EXPECT_EQ(size, 0);
    size = 0;
    EXPECT_EQ(deflate::decompress(nullptr, &size, too_far.bytes.data(), int64_t(too_far.bytes.size())),
              deflate::DISTANCE_TOO_FAR);
    EXPECT_EQ(size, 1);
}

// Code-length sets: over-subscribed and incomplete ones refused, but a
// single code of length 1 and no distance codes in a block without
// matches, which RFC 1951 allows.
TEST(Deflate, DecoderChecksCodeSets) {
    struct Case {
        const char* what;
        std::vector<int> lit, dist;
        std::vector<int> body;  // literal/length symbols; a length is followed by distance symbol 0
        int result;
        Bytes output;
    };
    const Case cases[] = {
        {"complete", with(258, {{'A', 1}, {256, 2}, {257, 2}}), {1, 1}, {'A', 257, 256}, 0, text("AAAA")},
        {"one distance code of length 1", with(258, {{'A', 1}, {256, 2}, {257, 2}}), {1}, {'A', 257, 256}, 0,
         text("AAAA")},
        {"no distance codes, no matches", with(257, {{'A', 1}, {256, 1}}), {0}, {'A', 256}, 0, text("A")},
        {"only an end-of-block code of length 1", with(257, {{256, 1}}), {0}, {256}, 0, {}},
        {"no distance codes but a match", with(258, {{'A', 1}, {256, 2}, {257, 2}}), {0}, {'A', 257, 256}, 2, {}},
        {"one distance code of length 2", with(258, {{'A', 1}, {256, 2}, {257, 2}}), {2}, {'A', 257, 256}, 2, {}},
        {"over-subscribed literals", with(257, {{'A', 1}, {'B', 1}, {256, 1}}), {1, 1}, {'A', 256}, 2, {}},
        {"incomplete literals", with(257, {{'A', 2}, {'B', 2}, {256, 2}}), {1, 1}, {'A', 256}, 2, {}},
        {"over-subscribed distances", with(258, {{'A', 1}, {256, 2}, {257, 2}}), {1, 1, 1}, {'A', 256}, 2, {}},
        {"no end-of-block code", with(257, {{'A', 1}, {'B', 1}}), {1, 1}, {'A'}, 2, {}},
    };
    for (const Case& c : cases) {
        Dynamic block(int(c.lit.size()), int(c.dist.size()));
        block.lengths(c.lit).lengths(c.dist);
        for (int s : c.body) {
            put_symbol(block.bits, c.lit, s);
            if (s > 256) {
                int one = 0;
                for (int l : c.dist) one += l != 0;
                if (one) put_symbol(block.bits, c.dist, 0);
            }
        }
        Coded got = decode(deflate::decompress, block.bits.bytes);
        EXPECT_EQ(got.result, c.result) << c.what;
        if (c.result == 0) {
            EXPECT_EQ(got.bytes, c.output) << c.what;
        }
    }
}

TEST(Deflate, DecoderChecksLengthRuns) {
    struct Case {
        const char* what;
        std::vector<std::pair<int, uint32_t>> runs;  // code-length symbols with their extra bits
        int result;
    };
    // 257 literal/length lengths and 1 distance length: 'A' and 256 of
    // length 1, everything else 0.
    const Case cases[] = {
        // 65 zeros, 'A', 138 + 42 + 10 zeros, 256, no distance code.
        {"zero runs and plain lengths", {{18, 65 - 11}, {1, 0}, {18, 138 - 11}, {18, 42 - 11}, {17, 10 - 3}, {1, 0}, {0, 0}}, 0},
        {"a repeat with no length before it", {{16, 0}, {18, 127}}, 2},
        {"a zero run past the last length", {{18, 127}, {18, 127}}, 2},
        {"a repeat past the last length", {{18, 127}, {18, 108}, {1, 0}, {16, 0}}, 2},
    };
    for (const Case& c : cases) {
        Dynamic block(257, 1);
        for (auto [s, extra] : c.runs) block.length(s, extra);
        // The body: 'A' then end-of-block, each one bit (A is 0, 256 is 1).
        block.bits.put(0, 1).put(1, 1);
        EXPECT_EQ(decode(deflate::decompress, block.bits.bytes).result, c.result) << c.what;
    }
}

// Every cut of a valid stream is refused, at every length short of whole.
TEST(Deflate, CutShortStreamsAreCorrupt) {
    Bytes in = text("cut short, cut short, cut short: nothing is decoded from half a stream");
    Bytes noise = random_bytes(300, 3);
    in.insert(in.end(), noise.begin(), noise.end());
    const std::pair<Compressor, Decompressor> codecs[] = {{deflate::compress, deflate::decompress},
                                                          {deflate::zlib_compress, deflate::zlib_decompress},
                                                          {deflate::gzip_compress, deflate::gzip_decompress}};
    for (auto [c, d] : codecs)
        for (int level : {1, 9}) {
            Bytes stream = encode(c, in, level).bytes;
            for (size_t cut = 0; cut < stream.size(); cut++) {
                Coded got = decode(d, Bytes(stream.begin(), stream.begin() + long(cut)));
                EXPECT_GE(got.result, 2) << "cut at " << cut << " of " << stream.size();
            }
        }
}

TEST(Zlib, HeaderByLevelAndHeaderChecks) {
    const std::pair<int, uint8_t> flags[] = {{-1, 0x9C}, {1, 0x01}, {2, 0x5E}, {5, 0x5E},
                                             {6, 0x9C}, {7, 0xDA}, {9, 0xDA}};
    for (auto [level, flg] : flags) {
        Bytes out = encode(deflate::zlib_compress, text("x"), level).bytes;
        EXPECT_EQ(out[0], 0x78);
        EXPECT_EQ(out[1], flg) << "level " << level;
    }
    const Bytes good = encode(deflate::zlib_compress, text("zlib framing"), 6).bytes;
    auto changed = [&](size_t at, uint8_t value) {
        Bytes b = good;
        b[at] = value;
        return b;
    };
    const std::pair<const char*, Bytes> bad[] = {
        {"FDICT", changed(1, 0xBC)},          // 0x78BC is a multiple of 31
        {"FCHECK", changed(1, 0x9D)},
        {"CM 7", {0x77, 0x85, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01}},
        {"CINFO 8", {0x88, 0x98, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01}},
        {"Adler-32", changed(good.size() - 1, uint8_t(good.back() ^ 1))},
        {"five bytes", {0x78, 0x9C, 0x03, 0x00, 0x00}},
    };
    for (const auto& [what, stream] : bad) EXPECT_EQ(decode(deflate::zlib_decompress, stream).result, 2) << what;
    EXPECT_EQ(decode(deflate::zlib_decompress, good).bytes, text("zlib framing"));
}

TEST(Gzip, HeaderByLevel) {
    const std::pair<int, uint8_t> xfl[] = {{-1, 0}, {1, 4}, {2, 0}, {6, 0}, {8, 0}, {9, 2}};
    for (auto [level, x] : xfl) {
        Bytes out = encode(deflate::gzip_compress, text("x"), level).bytes;
        EXPECT_EQ(Bytes(out.begin(), out.begin() + 8), (Bytes{0x1F, 0x8B, 8, 0, 0, 0, 0, 0}));
        EXPECT_EQ(out[8], x) << "level " << level;
        EXPECT_EQ(out[9], 4);
    }
}

// Data that already looks like a gzip member is wrapped like any other.
TEST(Gzip, MemberLikeInputIsWrapped) {
    Bytes in = encode(deflate::gzip_compress, text("inner"), 6).bytes;
    Bytes out = encode(deflate::gzip_compress, in, 6).bytes;
    EXPECT_NE(out, in);
    EXPECT_EQ(decode(deflate::gzip_decompress, out).bytes, in);
}

TEST(Gzip, OptionalFieldsAndTheirChecks) {
    // FEXTRA, FNAME, FCOMMENT and FHCRC before the data of "xyz".
    const Bytes data = encode(deflate::compress, text("xyz"), 6).bytes;
    auto member = [&](uint8_t flags, const Bytes& fields, bool good_crc, uint32_t isize) {
        Bytes m = {0x1F, 0x8B, 8, flags, 1, 2, 3, 4, 0, 3};
        m.insert(m.end(), fields.begin(), fields.end());
        if (flags & 2) {
            int64_t size = 0;
            uint32_t crc = 0xFFFFFFFF;
            for (uint8_t b : m) {
                crc ^= b;
                for (int k = 0; k < 8; k++) crc = crc & 1 ? 0xEDB88320 ^ (crc >> 1) : crc >> 1;
            }
            crc = ~crc ^ (good_crc ? 0 : 1);
            (void)size;
            m.push_back(uint8_t(crc));
            m.push_back(uint8_t(crc >> 8));
        }
        m.insert(m.end(), data.begin(), data.end());
        // CRC-32 of "xyz" and the length.
        for (uint32_t v : {0xEB8EBA67u, isize})
            for (int i = 0; i < 4; i++) m.push_back(uint8_t(v >> (8 * i)));
        return m;
    };
    const Bytes fields = {2, 0, 'e', 'x', 'n', 'a', 'm', 'e', 0, 'c', 0};
    struct Case {
        const char* what;
        Bytes member;
        int result;
    };
    const Case cases[] = {
        {"every field", member(0x1F, fields, true, 3), 0},
        {"no field", member(0, {}, true, 3), 0},
        {"bad header CRC", member(0x1E, fields, false, 3), 2},
        {"ISIZE too small", member(0, {}, true, 2), 2},
        {"ISIZE too large", member(0, {}, true, 4), 2},
        {"FEXTRA longer than the member", member(4, {0xFF, 0x00}, true, 3), 2},
        {"FNAME without its end", member(8, {'n', 'a', 'm', 'e'}, true, 3), 2},
        {"reserved flag", member(0x20, {}, true, 3), 2},
    };
    for (const Case& c : cases) {
        Coded got = decode(deflate::gzip_decompress, c.member);
        EXPECT_EQ(got.result, c.result) << c.what;
        if (c.result == 0) {
            EXPECT_EQ(got.bytes, text("xyz")) << c.what;
        }
    }
    // A member whose header fields leave no room for the data.
    Bytes cut = {0x1F, 0x8B, 8, 8, 0, 0, 0, 0, 0, 3, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0};
    EXPECT_EQ(decode(deflate::gzip_decompress, cut).result, 2);
}

// The probe answers the trailer's length without decoding, but only one
// that DEFLATE data of the member's size can give.
TEST(Gzip, ProbeRefusesLengthsNoDataCouldGive) {
    Bytes member = encode(deflate::gzip_compress, Bytes(100000, 'z'), 9).bytes;
    const int64_t data = int64_t(member.size()) - 18;
    auto with_isize = [&](uint32_t isize) {
        Bytes m = member;
        for (int i = 0; i < 4; i++) m[m.size() - 4 + size_t(i)] = uint8_t(isize >> (8 * i));
        int64_t size = 0;
        int r = deflate::gzip_decompress(nullptr, &size, m.data(), int64_t(m.size()));
        return std::pair{r, size};
    };
    EXPECT_EQ(with_isize(100000), (std::pair{1, int64_t(100000)}));
    EXPECT_EQ(with_isize(uint32_t(1032 * data)), (std::pair{1, 1032 * data}));
    EXPECT_EQ(with_isize(uint32_t(1032 * data + 1)).first, 2);
    EXPECT_EQ(with_isize(0x80000000u).first, 2);
    EXPECT_EQ(with_isize(0xFFFFFFFFu).first, 2);
}
