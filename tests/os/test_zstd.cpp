// The zstd decoder at its entry point, over frames made byte by byte: the
// frame header's refusals, the checksum, frames back to back, offsets that
// would reach into an earlier frame, and the measuring protocol (a size
// declared by a header is trusted only when small beside the input). XXH64
// against known values. Frames of the zstd program are checked by
// tests/checks/zstd_interop.py.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "os/workers.h"
#include "os/xxhash64.h"
#include "os/zstd.h"

using namespace zel;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes le32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

const Bytes MAGIC = {0x28, 0xB5, 0x2F, 0xFD};

// A 3-byte block header.
Bytes block(bool last, int type, uint32_t size) {
    uint32_t h = (last ? 1 : 0) | type << 1 | size << 3;
    return {uint8_t(h), uint8_t(h >> 8), uint8_t(h >> 16)};
}

// A single-segment frame with a 1-byte content size of raw blocks.
Bytes raw_frame(const Bytes& content) { return cat({MAGIC, {0x20, uint8_t(content.size())}, block(true, 0, uint32_t(content.size())), content}); }

// A compressed block's content: no literals, one sequence (no literals, a
// match of 4 bytes at offset 4), its three tables given in RLE mode.
const Bytes MATCH_4_AT_4 = {0x00, 0x01, 0x54, 0x00, 0x02, 0x01, 0x07};

struct Decoded {
    int code;
    Bytes bytes;
};

// The native's protocol: measure, then decode into exactly that room.
Decoded decode(const Bytes& in) {
    int64_t size = 0;
    int code = zstd::decompress(nullptr, &size, in.data(), int64_t(in.size()));
    if (code != workers::DONE && code != workers::TOO_SMALL) return {code, {}};
    Bytes out(size_t(size) + 1);
    int64_t written = size;
    code = zstd::decompress(out.data(), &written, in.data(), int64_t(in.size()));
    out.resize(code == workers::DONE ? size_t(written) : 0);
    return {code, out};
}

}  // namespace

TEST(Xxhash64, KnownValues) {
    const uint8_t abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(xxhash64::hash(abc, 0), 0xEF46DB3751D8E999ULL);
    EXPECT_EQ(xxhash64::hash(abc, 3), 0x44BC2CF5AD770999ULL);
    // Low halves as the zstd program writes them, over bytes 7i + 1: every
    // tail (1, 4 and 8 bytes) with and without whole stripes.
    struct Case {
        size_t length;
        uint32_t low;
    } cases[] = {{1, 0x1b21e730}, {3, 0xc2fd373a}, {4, 0x6af4c124},  {7, 0xa233a751},  {8, 0x5e0b3222},
                 {31, 0x29f50073}, {32, 0xe9ecd3d1}, {33, 0x7bb9c183}, {100, 0x208b0b16}};
    for (const Case& c : cases) {
        Bytes b(c.length);
        for (size_t i = 0; i < c.length; i++) b[i] = uint8_t(i * 7 + 1);
        EXPECT_EQ(uint32_t(xxhash64::hash(b.data(), b.size())), c.low) << c.length;
    }
}

TEST(Zstd, FrameHeaderAnswers) {
    const Bytes abcd = {'A', 'B', 'C', 'D'};
    struct Case {
        const char* what;
        Bytes frame;
        int code;
        Bytes out;
    } cases[] = {
        {"empty input", {}, workers::DONE, {}},
        {"size 0, one empty raw block", cat({MAGIC, {0x20, 0x00}, block(true, 0, 0)}), workers::DONE, {}},
        {"raw block", raw_frame(abcd), workers::DONE, abcd},
        {"RLE block", cat({MAGIC, {0x20, 5}, block(true, 1, 5), {'z'}}), workers::DONE, Bytes(5, 'z')},
        {"reserved bit", cat({MAGIC, {0x28, 0x00}, block(true, 0, 0)}), workers::CORRUPT, {}},
        {"unused bit ignored", cat({MAGIC, {0x30, 0x00}, block(true, 0, 0)}), workers::DONE, {}},
        {"dictionary ID", cat({MAGIC, {0x21, 0x05, 0x00}, block(true, 0, 0)}), workers::CORRUPT, {}},
        {"dictionary ID 0", cat({MAGIC, {0x21, 0x00, 0x00}, block(true, 0, 0)}), workers::DONE, {}},
        {"window exponent 22", cat({MAGIC, {0x00, 22 << 3}, block(true, 0, 0)}), workers::CORRUPT, {}},
        {"window exponent 21", cat({MAGIC, {0x00, 21 << 3}, block(true, 1, 3), {'q'}}), workers::DONE, Bytes(3, 'q')},
        {"content size of 2^31", cat({MAGIC, {0xA0}, le32(0x80000000u), block(true, 0, 0)}), workers::CORRUPT, {}},
        {"block type 3", cat({MAGIC, {0x20, 0x00}, block(true, 3, 0)}), workers::CORRUPT, {}},
        {"block past the content size", cat({MAGIC, {0x20, 2}, block(true, 0, 4), abcd}), workers::CORRUPT, {}},
        {"raw block cut short", cat({MAGIC, {0x20, 4}, block(true, 0, 4), {'A'}}), workers::CORRUPT, {}},
        {"fewer bytes than declared", cat({MAGIC, {0x20, 5}, block(true, 0, 4), abcd}), workers::CORRUPT, {}},
        {"no last block", cat({MAGIC, {0x20, 4}, block(false, 0, 4), abcd}), workers::CORRUPT, {}},
        {"bad magic", {0x27, 0xB5, 0x2F, 0xFD, 0x20, 0x00, 0x01, 0x00, 0x00}, workers::CORRUPT, {}},
        {"three bytes", {0x28, 0xB5, 0x2F}, workers::CORRUPT, {}},
        // A treeless literals section needs a Huffman table from an earlier
        // block of the frame.
        {"treeless literals first",
         cat({MAGIC, {0x20, 4}, block(true, 2, 6), {0x43, 0x80, 0x00, 0xFF, 0xFF, 0x00}}), workers::CORRUPT, {}},
        {"reserved bits of the modes byte",
         cat({MAGIC, {0x20, 8}, block(false, 0, 4), abcd, block(true, 2, 7), {0x00, 0x01, 0x55, 0x00, 0x02, 0x01, 0x07}}),
         workers::CORRUPT, {}},
        {"match within the frame",
         cat({MAGIC, {0x20, 8}, block(false, 0, 4), abcd, block(true, 2, 7), MATCH_4_AT_4}), workers::DONE,
         {'A', 'B', 'C', 'D', 'A', 'B', 'C', 'D'}},
        // The same match in a frame of its own, after a frame that produced
        // the bytes it would reach.
        {"match into the earlier frame", cat({raw_frame(abcd), MAGIC, {0x20, 4}, block(true, 2, 7), MATCH_4_AT_4}),
         workers::CORRUPT, {}},
        {"sequence bits left over",
         cat({MAGIC, {0x20, 8}, block(false, 0, 4), abcd, block(true, 2, 7), {0x00, 0x01, 0x54, 0x00, 0x02, 0x01, 0x0F}}),
         workers::CORRUPT, {}},
    };
    for (const Case& c : cases) {
        Decoded d = decode(c.frame);
        EXPECT_EQ(d.code, c.code) << c.what;
        if (c.code == workers::DONE) {
            EXPECT_EQ(d.bytes, c.out) << c.what;
        }
    }
}

TEST(Zstd, FramesBackToBackAndSkippableFrames) {
    Bytes skippable = cat({{0x5A, 0x2A, 0x4D, 0x18}, le32(3), {1, 2, 3}});
    Decoded d = decode(cat({raw_frame({'a', 'b'}), skippable, raw_frame({'c'})}));
    EXPECT_EQ(d.code, workers::DONE);
    EXPECT_EQ(d.bytes, (Bytes{'a', 'b', 'c'}));
    // A skippable frame whose size runs past the input, or has bit 31 set.
    EXPECT_EQ(decode(cat({raw_frame({'a'}), {0x50, 0x2A, 0x4D, 0x18}, le32(4), {1, 2, 3}})).code, workers::CORRUPT);
    EXPECT_EQ(decode(cat({{0x50, 0x2A, 0x4D, 0x18}, le32(0x80000000u)})).code, workers::CORRUPT);
}

TEST(Zstd, ContentChecksum) {
    const Bytes content = {'z', 'e', 'l'};
    uint32_t sum = uint32_t(xxhash64::hash(content.data(), content.size()));
    Bytes good = cat({MAGIC, {0x24, 3}, block(true, 0, 3), content, le32(sum)});
    Bytes bad = cat({MAGIC, {0x24, 3}, block(true, 0, 3), content, le32(sum ^ 0x100)});
    Bytes missing = cat({MAGIC, {0x24, 3}, block(true, 0, 3), content});
    EXPECT_EQ(decode(good).bytes, content);
    EXPECT_EQ(decode(bad).code, workers::CORRUPT);
    EXPECT_EQ(decode(missing).code, workers::CORRUPT);
    // Without the flag no checksum is read: four more bytes would be a
    // frame of their own.
    EXPECT_EQ(decode(cat({MAGIC, {0x20, 3}, block(true, 0, 3), content, le32(sum)})).code, workers::CORRUPT);
}

TEST(Zstd, MeasuringAndTooSmall) {
    // A frame without a content size (window descriptor only): the measure
    // decodes it; a destination too small answers the size needed.
    Bytes frame = cat({MAGIC, {0x00, 0x00}, block(false, 1, 1000), {'x'}, block(true, 1, 24), {'y'}});
    int64_t size = 0;
    EXPECT_EQ(zstd::decompress(nullptr, &size, frame.data(), int64_t(frame.size())), workers::TOO_SMALL);
    EXPECT_EQ(size, 1024);
    Bytes out(100, 0xEE);
    size = 10;
    EXPECT_EQ(zstd::decompress(out.data(), &size, frame.data(), int64_t(frame.size())), workers::TOO_SMALL);
    EXPECT_EQ(size, 1024);
    EXPECT_EQ(out[10], 0xEE) << "written beyond the capacity";

    // 100 MB declared over 13 bytes: refused without trusting the header.
    Bytes huge = cat({MAGIC, {0xA0}, le32(100000000), block(true, 1, 128 * 1024), {0}});
    size = 0;
    EXPECT_EQ(zstd::decompress(nullptr, &size, huge.data(), int64_t(huge.size())), workers::CORRUPT);

    // 20 MB declared over compressed blocks that hold nothing: the sizing
    // pass would accept it (each counts as a full block), the count finds
    // the truth.
    Bytes empty_blocks = cat({MAGIC, {0xA0}, le32(20000000)});
    for (int i = 0; i < 160; i++) empty_blocks = cat({empty_blocks, block(i == 159, 2, 2), {0x00, 0x00}});
    size = 0;
    EXPECT_EQ(zstd::decompress(nullptr, &size, empty_blocks.data(), int64_t(empty_blocks.size())), workers::CORRUPT);
}
