// The zstd encoder's internals: the repeat-offset coding against the
// decoder's rules, the capacity protocol (the bound asked before anything
// is written), the frame header's windowed form, and round trips through
// our decoder over inputs that reach the entropy stage's forms (Huffman
// weights coded both ways, four streams, all three sequence table modes)
// and blocks that fall back to raw or RLE between compressed ones. Frames
// are checked against the zstd program by tests/checks/zstd_encode_interop.py.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "os/workers.h"
#include "os/zstd.h"
#include "os/zstd_encode.h"

using namespace zel;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes encode(const Bytes& in, int level) {
    int64_t size = 0;
    EXPECT_EQ(zstd::compress(nullptr, &size, in.data(), int64_t(in.size()), level), workers::TOO_SMALL);
    Bytes out(static_cast<size_t>(size));
    EXPECT_EQ(zstd::compress(out.data(), &size, in.data(), int64_t(in.size()), level), workers::DONE);
    out.resize(size_t(size));
    return out;
}

Bytes decode(const Bytes& frame) {
    int64_t size = 0;
    int code = zstd::decompress(nullptr, &size, frame.data(), int64_t(frame.size()));
    EXPECT_TRUE(code == workers::DONE || code == workers::TOO_SMALL);
    Bytes out(size_t(size) + 1);
    EXPECT_EQ(zstd::decompress(out.data(), &size, frame.data(), int64_t(frame.size())), workers::DONE);
    out.resize(size_t(size));
    return out;
}

// The block types of a frame without a checksum, in order.
std::vector<int> block_types(const Bytes& f) {
    size_t p = 4, fhd = f[p++];
    bool single = fhd & 0x20;
    if (!single) p++;
    static const int fcs_bytes[4] = {0, 2, 4, 8};
    p += (fhd >> 6) == 0 && single ? 1 : fcs_bytes[fhd >> 6];
    std::vector<int> types;
    for (;;) {
        uint32_t h = uint32_t(f[p]) | uint32_t(f[p + 1]) << 8 | uint32_t(f[p + 2]) << 16;
        int type = int(h >> 1 & 3);
        types.push_back(type);
        p += 3 + (type == 1 ? 1 : h >> 3);
        if (h & 1) break;
    }
    EXPECT_EQ(p, f.size());
    return types;
}

Bytes text(size_t n, uint32_t seed, uint8_t high = 0) {
    static const char* const words[] = {"zel ", "block ", "series ", "word ", "frame\n", "literal ", "match "};
    std::mt19937 rng(seed);
    Bytes out;
    while (out.size() < n) {
        for (const char* c = words[rng() % 7]; *c; c++) out.push_back(uint8_t(*c));
        if (high) out.push_back(uint8_t(high + rng() % (256 - high)));
    }
    out.resize(n);
    return out;
}

Bytes noise(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes out(n);
    for (uint8_t& b : out) b = uint8_t(rng());
    return out;
}

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

}  // namespace

TEST(ZstdEncode, RepeatOffsetsFollowTheDecoder) {
    // (offset, literals) -> coded value and the repeat offsets after, from 1, 4, 8.
    struct Case {
        uint32_t offset, lit_len, value;
        uint32_t after[3];
    } cases[] = {
        {1, 5, 1, {1, 4, 8}},   {4, 5, 2, {4, 1, 8}},  {8, 5, 3, {8, 1, 4}},   {9, 5, 12, {9, 1, 4}},
        {4, 0, 1, {4, 1, 8}},   {8, 0, 2, {8, 1, 4}},  {1, 0, 4, {1, 1, 4}},   // offset 0 is not 1 - 1
        {100, 0, 103, {100, 1, 4}},
    };
    for (const Case& c : cases) {
        zstd::enc::Reps reps;
        EXPECT_EQ(zstd::enc::encode_offset(reps, c.offset, c.lit_len), c.value) << c.offset << " " << c.lit_len;
        EXPECT_EQ(reps.rep[0], c.after[0]);
        EXPECT_EQ(reps.rep[1], c.after[1]);
        EXPECT_EQ(reps.rep[2], c.after[2]);
    }
    // Without literals, 3 names the first repeat offset less one.
    zstd::enc::Reps reps;
    reps.rep[0] = 10;
    EXPECT_EQ(zstd::enc::encode_offset(reps, 9, 0), 3u);
    EXPECT_EQ(reps.rep[0], 9u);
    EXPECT_EQ(reps.rep[1], 10u);
    EXPECT_EQ(reps.rep[2], 4u);
    zstd::enc::Reps again;
    again.rep[0] = 10;
    EXPECT_EQ(zstd::enc::resolve_offset(again, 3, 0), 9u);
}

TEST(ZstdEncode, CapacityIsAskedBeforeWriting) {
    // The bound: n + 3 per 128 KB block (one at least) + 10.
    for (auto [n, bound] : {std::pair<size_t, int64_t>{0, 13}, {131072, 131085}, {131073, 131089}}) {
        Bytes in = text(n, 1);
        int64_t size = 0;
        EXPECT_EQ(zstd::compress(nullptr, &size, in.data(), int64_t(n), 3), workers::TOO_SMALL);
        EXPECT_EQ(size, bound);
        Bytes out(size_t(bound), 0xEE);
        size = bound - 1;
        EXPECT_EQ(zstd::compress(out.data(), &size, in.data(), int64_t(n), 3), workers::TOO_SMALL);
        EXPECT_EQ(size, bound);
        EXPECT_EQ(out, Bytes(size_t(bound), 0xEE)) << "written before the bound was checked";
        size = bound;
        EXPECT_EQ(zstd::compress(out.data(), &size, in.data(), int64_t(n), 3), workers::DONE);
    }
}

TEST(ZstdEncode, FrameForms) {
    // Above the window (level 1 above 256 KB: 2^19) the frame is windowed:
    // descriptor 0x80, window byte (19 - 10) x 8, a 4-byte size.
    Bytes big = join({text(400000, 2), noise(200000, 3)});
    Bytes f = encode(big, 1);
    EXPECT_EQ(Bytes(f.begin() + 4, f.begin() + 10), (Bytes{0x80, 0x48, 0xC0, 0x27, 0x09, 0x00}));
    EXPECT_EQ(decode(f), big);
    // Level 19 up to 16 KB: one block; below 1 means level 3.
    Bytes small = text(16384, 4);
    EXPECT_EQ(block_types(encode(small, 19)), std::vector<int>{2});
    EXPECT_EQ(encode(small, 0), encode(small, 3));
    EXPECT_EQ(encode(small, -1), encode(small, 3));
}

TEST(ZstdEncode, RoundTripsAndBlockForms) {
    const size_t B = 128 * 1024;
    struct Case {
        const char* name;
        Bytes in;
        std::vector<int> types;  // expected block types at level 3, or empty
    } cases[] = {
        // Raw blocks between compressed ones restore the repeat offsets
        // they began with; an RLE block likewise.
        {"text, noise, text", join({text(B, 5), noise(B, 6), text(B, 5)}), {2, 0, 2}},
        {"text, run, text", join({text(B, 7), Bytes(B, 'r'), text(B, 7)}), {2, 1, 2}},
        {"short last block", join({text(B, 8), Bytes(3, 'x')}), {2, 1}},
        {"four bytes", Bytes{1, 2, 3, 4}, {0}},
        // Literals with byte values up to 255: Huffman weights FSE-coded
        // (more than 128 of them); below 128, either form.
        {"high literals", text(50000, 9, 128), {}},
        {"low literals", text(3000, 10), {}},
        {"one stream", text(200, 11), {}},
        {"runs and noise", join({Bytes(5000, 0), noise(3000, 12), Bytes(7000, 0xFF), noise(20, 13)}), {}},
    };
    for (const Case& c : cases) {
        for (int level : {1, 2, 3, 5, 8, 12, 19}) {
            Bytes f = encode(c.in, level);
            EXPECT_EQ(decode(f), c.in) << c.name << " at level " << level;
            if (level == 3 && !c.types.empty()) {
                EXPECT_EQ(block_types(f), c.types) << c.name;
            }
        }
    }
}

TEST(ZstdEncode, CompressedSizeMeasuresABlock) {
    // "abc", then 297 bytes copied from 3 back, then "xyz": 303 bytes.
    const zstd::enc::Sequence seq = {3, 3 + 3, 297};
    const uint8_t lits[] = {'a', 'b', 'c', 'x', 'y', 'z'};
    std::vector<uint8_t> scratch(zstd::enc::compressed_size_scratch(1, 303));
    size_t size = zstd::enc::compressed_size(&seq, 1, lits, 6, 303, scratch.data(), scratch.size());
    // Raw literals (1 + 6), the count, the modes byte, three predefined
    // tables' worth of bits: a dozen bytes at most.
    EXPECT_GT(size, 9u);
    EXPECT_LE(size, 14u);
    EXPECT_EQ(zstd::enc::compressed_size(&seq, 1, lits, 6, 303, scratch.data(), scratch.size() - 9), 0u)
        << "scratch too small";
    // A block that does not save 1/64 of itself and 3 bytes has no size.
    EXPECT_EQ(zstd::enc::compressed_size(&seq, 1, lits, 6, 12, scratch.data(), scratch.size()), 0u);
}
